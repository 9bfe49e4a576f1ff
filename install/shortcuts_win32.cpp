#include "install/shortcuts_win32.h"

#include <shlwapi.h>

#include "base/ansi_win32.h"
#include "base/codepage.h"
#include "base/handles_win32.h"
#include "base/strings_win32.h"
#include "media/medium.h"
#include "res/resource.h"

namespace {

const wchar_t kShortcutExtension[] = L".lnk";

// Programs menu first, then the desktop.
const int kShortcutFolders[] = {CSIDL_PROGRAMS, CSIDL_DESKTOPDIRECTORY};

// The path is made wide from the wide folder and never goes through a
// narrow text: the folder may hold characters the code page lacks (a user
// name), and Save takes UTF-16 anyway.
void SaveShortcut(IPersistFile* file, int folderId, const std::wstring& name, HWND owner)
{
    wchar_t folder[MAX_PATH] = {};
    // A failed lookup would leave "\Name.lnk" at the root of the current drive.
    if (!::SHGetSpecialFolderPathW(owner, folder, folderId, FALSE)) return;
    std::wstring path;
    if (!ShortcutFilePath(folder, name, path)) return;
    file->Save(path.c_str(), TRUE);
}

} // namespace

bool ShortcutFilePath(const std::wstring& folder, const std::wstring& name, std::wstring& path)
{
    path.clear();
    if (folder.empty()) return false;
    const std::size_t length = folder.size() + 1 + name.size() + (sizeof kShortcutExtension / sizeof(wchar_t) - 1);
    if (length > kMaxPathChars) return false;
    path = folder + L'\\' + name + kShortcutExtension;
    return true;
}

void FillAndSaveShortcuts(IShellLinkA* link, const std::string& installFolder,
                          const std::string& name, HWND owner)
{
    link->SetPath((installFolder + medium::kProgramName).c_str());
    link->SetWorkingDirectory(installFolder.c_str());

    std::string description;
    LoadTextWithName(description, IDS_SHORTCUT_DESC, name);
    link->SetDescription(description.c_str());

    const std::string icon = installFolder + medium::kIconName;
    if (::PathFileExistsA(icon.c_str())) link->SetIconLocation(icon.c_str(), 0);

    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.PutVoid())) || !file) return;
    // In the code page that judged the name and names the install folder.
    const std::wstring wideName = WidenAnsi(name);
    if (wideName.empty()) return;
    for (int folderId : kShortcutFolders) SaveShortcut(file.get(), folderId, wideName, owner);
}

ShortcutResult CreateShortcuts(const std::string& installFolder, const std::string& name, HWND owner)
{
    ComPtr<IShellLinkA> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  link.PutVoid())) || !link)
        return ShortcutResult::kNoLinkObject;
    FillAndSaveShortcuts(link.get(), installFolder, name, owner);
    return ShortcutResult::kDone;
}
