// The install button: the whole installation in one synchronous run.
#include "ui/main_dlg.h"

#include <commctrl.h>

#include <cstdint>

#include "app/strings_win32.h"
#include "install/install_folder.h"
#include "install/registry_win32.h"
#include "install/shortcuts_win32.h"
#include "media/extract_win32.h"
#include "media/medium.h"
#include "media/package_format.h"
#include "media/source_dir_win32.h"
#include "ui/done_dlg.h"

namespace {

const char kRecordKey[] = "Software\\Kelvra";
const char kWindowsLayoutKey[] = "WindowsLayout";
const char kInstPathValue[] = "InstPath";
const char kNameValue[] = "Name";
const char kTitleValue[] = "Title";
const DWORD kPauseMilliseconds = 300;

// Disabled while the run works, in this order.
const int kInstallControls[] = {IDC_FOLDER_EDIT, IDC_BROWSE, IDC_INSTALL};

class FileHandle {
public:
    explicit FileHandle(HANDLE h) : h_(h) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle()
    {
        if (h_ != INVALID_HANDLE_VALUE) ::CloseHandle(h_);
    }
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

// What the user is told when a run stops: a text id, and for some texts a
// line feed and a path.
struct InstallError {
    UINT text = 0;
    bool hasPath = false;
    std::string path;
};

void EnableInstallControls(HWND dlg, BOOL enable)
{
    for (int id : kInstallControls) ::EnableWindow(::GetDlgItem(dlg, id), enable);
}

// The record under HKCU\Software\Kelvra. Nothing here stops the run.
void WriteInstallRecord(const std::string& folder, const std::string& name, const std::string& title)
{
    RegKey key;
    if (key.Open(HKEY_CURRENT_USER, kRecordKey) == ERROR_SUCCESS) {
        // A layout left by an earlier installation must not outlive it.
        DeleteKeyTree(key.get(), kWindowsLayoutKey);
    } else if (key.Create(HKEY_CURRENT_USER, kRecordKey) != ERROR_SUCCESS) {
        return;
    }
    key.SetString(kInstPathValue, folder);
    key.SetString(kNameValue, name);
    key.SetString(kTitleValue, title);
}

bool Unpack(const std::string& folder, HWND progress, InstallError& error)
{
    std::string source;
    GetSourceDirectory(source);
    const std::string packagePath = source + medium::kPackageName;
    FileHandle package(::CreateFileA(packagePath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    // A package of 2 GiB or more would read as a negative size, and so as
    // empty: the installation would go on without the product's files.
    DWORD high = 0;
    ::SetLastError(NO_ERROR);
    const DWORD low = package.valid() ? ::GetFileSize(package.get(), &high) : INVALID_FILE_SIZE;
    const bool sizeKnown = package.valid() && !(low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR);
    const std::uint64_t size = static_cast<std::uint64_t>(high) << 32 | low;
    if (!sizeKnown || !PackageSizeFits(size)) {
        error.text = IDS_ERR_OPEN_PACKAGE;
        return false;
    }

    const ExtractResult result =
        ExtractPackage(package.get(), static_cast<std::int32_t>(low), folder, progress);
    if (!result.ok) {
        error.text = IDS_ERR_CREATE_FILE;
        error.hasPath = true;
        error.path = result.failedPath;
        return false;
    }
    return true;
}

bool CopySideFiles(const std::string& folder, InstallError& error)
{
    std::string source;
    GetSourceDirectory(source);
    for (const medium::SideFile& file : medium::kSideFiles) {
        const std::string from = source + file.name;
        const std::string to = folder + file.name;
        if (::CopyFileA(from.c_str(), to.c_str(), FALSE) || !file.required) continue;
        error.text = IDS_ERR_COPY_FILE;
        error.hasPath = true;
        error.path = from;
        return false;
    }
    return true;
}

void ShowInstallError(HWND owner, const InstallError& error)
{
    std::string caption;
    LoadText(caption, IDS_ERROR_CAPTION);
    std::string text;
    LoadText(text, error.text);
    if (error.hasPath) {
        text += '\n';
        text += error.path;
    }
    ::MessageBoxA(owner, text.c_str(), caption.c_str(), MB_ICONERROR | MB_OK);
}

} // namespace

LRESULT CMainDlg::OnInstall()
{
    char text[MAX_PATH] = {};
    ::GetWindowTextA(GetDlgItem(IDC_FOLDER_EDIT), text, MAX_PATH);
    if (!text[0]) return 0;
    // The lead-byte rule of the code page that GetWindowTextA answered in.
    const std::string folder = InstallFolderFromText(text, SystemLeadBytes(CP_ACP));

    WriteInstallRecord(folder, name_, title_);

    EnableInstallControls(m_hWnd, FALSE);
    ::Sleep(kPauseMilliseconds);
    const HCURSOR previous = ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));

    InstallError error;
    bool ok = Unpack(folder, progress_, error) && CopySideFiles(folder, error);
    if (ok && CreateShortcuts(folder, name_, m_hWnd) == ShortcutResult::kNoLinkObject) {
        error.text = IDS_ERR_SHORTCUT;
        ok = false;
    }
    if (!ok) {
        EnableInstallControls(m_hWnd, TRUE);
        ::SetCursor(previous);
        ShowInstallError(m_hWnd, error);
        return 0;
    }

    ::SendMessageA(progress_, PBM_SETPOS, kFinalProgress, 0);
    EnableInstallControls(m_hWnd, TRUE);
    ::SetCursor(previous);
    ::Sleep(kPauseMilliseconds);
    // No quit here: the completion dialog posts it when the user leaves.
    ::DestroyWindow(m_hWnd);

    CDoneDlg done;
    done.SetInstallFolder(folder);
    done.SetName(name_);
    done.DoModal(::GetActiveWindow(), 0);
    return 0;
}
