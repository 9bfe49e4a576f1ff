#include "ui/main_dlg.h"

#include <commctrl.h>
#include <shlobj.h>

#include "media/setup_description.h"
#include "base/ansi_win32.h"
#include "base/strings_win32.h"
#include "install/install_platform_win32.h"
#include "media/extract.h"
#include "media/medium.h"
#include "ui/center_window.h"
#include "ui/dialog_texts.h"
#include "ui/done_dlg.h"
#include "ui/folder_text.h"
#include "ui/splash_wnd.h"

namespace {

const DWORD kSplashMilliseconds = 2000;

// Disabled while an installation runs, in this order.
const int kInstallControls[] = {IDC_FOLDER_EDIT, IDC_BROWSE, IDC_INSTALL};

} // namespace

BOOL CMainDlg::ProcessWindowMessage(HWND, UINT msg, WPARAM wParam, LPARAM, LRESULT& result)
{
    switch (msg) {
    case WM_INITDIALOG:
        result = OnInitDialog();
        return TRUE;
    case WM_COMMAND:
        if (CommandId(wParam) == IDCANCEL) {
            result = OnCancel();
            return TRUE;
        }
        if (CommandId(wParam) == IDC_INSTALL && CommandCode(wParam) == BN_CLICKED) {
            result = OnInstall();
            return TRUE;
        }
        if (CommandId(wParam) == IDC_BROWSE && CommandCode(wParam) == BN_CLICKED) {
            result = OnBrowse();
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

LRESULT CMainDlg::OnInitDialog()
{
    CenterWindow(m_hWnd);
    SetIcons();
    RegisterWithLoop();

    progress_ = GetDlgItem(IDC_PROGRESS);
    ::SendMessageA(progress_, PBM_SETRANGE, 0, MAKELPARAM(0, kProgressRange));
    ::SendMessageA(progress_, PBM_SETSTEP, 1, 0);

    // With a window, the splash object deletes itself after the window's
    // last message; without one it is still ours and goes here.
    HWND splash = nullptr;
    std::unique_ptr<CSplashWnd> splashWnd(new CSplashWnd);
    if (splashWnd->ShowSplash()) {
        CSplashWnd* const shown = splashWnd.release();
        splash = shown->m_hWnd;
        shown->SetStatusText("");
    }

    name_ = medium::kDefaultProductName;
    ReadSetupDescription();
    FillTexts();
    ProposeInstallFolder();

    // The splash window stays up this long while the dialog prepares itself.
    ::Sleep(kSplashMilliseconds);
    if (splash) ::SendMessageA(splash, WM_CLOSE, 0, 0);
    return TRUE;
}

void CMainDlg::SetIcons()
{
    const HINSTANCE inst = g_Module.GetResourceInstance();
    bigIcon_.reset(static_cast<HICON>(::LoadImageA(inst, MAKEINTRESOURCEA(IDI_KELVRA), IMAGE_ICON,
        ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR)));
    smallIcon_.reset(static_cast<HICON>(::LoadImageA(inst, MAKEINTRESOURCEA(IDI_KELVRA), IMAGE_ICON,
        ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR)));
    if (bigIcon_) ::SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
    if (smallIcon_) ::SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
}

void CMainDlg::RegisterWithLoop()
{
    CMessageLoop* loop = g_Module.GetMessageLoop();
    if (!loop) return;
    loop->AddMessageFilter(this);
    loop->AddIdleHandler(this);
}

// Name and Title from the .ini named after the program, when there is one.
void CMainDlg::ReadSetupDescription()
{
    std::string path;
    if (!GetProgramPath(path)) return;
    LoadSetupDescription(medium::DescriptionPathFor(path), AnsiLeadBytes(), name_, title_);
}

void CMainDlg::FillTexts()
{
    static const DialogText kTexts[] = {
        {IDS_MAIN_INTRO, IDC_INTRO},
        {IDS_FOLDER_PROMPT, IDC_FOLDER_PROMPT},
        {IDS_WIZARD_TITLE, IDC_FOOTER},
    };
    FillDialogTexts(m_hWnd, kTexts, name_);
}

void CMainDlg::ProposeInstallFolder()
{
    ::SetDlgItemTextW(m_hWnd, IDC_FOLDER_EDIT, ProposedInstallFolder(name_).c_str());
}

LRESULT CMainDlg::OnCancel()
{
    progress_ = nullptr;
    ::DestroyWindow(m_hWnd);
    ::PostQuitMessage(1);
    return 0;
}

LRESULT CMainDlg::OnBrowse()
{
    BROWSEINFOA info{};
    info.hwndOwner = m_hWnd;
    info.lpszTitle = "";
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    // The item list that the folder browser hands back.
    CoTaskMemPtr<ITEMIDLIST> item(::SHBrowseForFolderA(&info));
    if (!item.get()) return 0;

    wchar_t path[MAX_PATH] = {};
    if (!::SHGetPathFromIDListW(item.get(), path)) return 0;
    // A folder the code page cannot name is refused now, while the user
    // still chooses.
    std::string narrow;
    if (NarrowExact(path, narrow)) ::SetDlgItemTextW(m_hWnd, IDC_FOLDER_EDIT, path);
    else ShowError(IDS_ERR_CREATE_FILE, &narrow);
    return 0;
}

BOOL CMainDlg::PreTranslateMessage(MSG* msg)
{
    return ::IsDialogMessageA(m_hWnd, msg);
}

BOOL CMainDlg::OnIdle()
{
    return FALSE;
}

LRESULT CMainDlg::OnInstall()
{
    std::string text;
    if (!ReadFolderText(GetDlgItem(IDC_FOLDER_EDIT), text)) {
        ShowError(IDS_ERR_CREATE_FILE, &text);
        return 0;
    }
    const InstallRequest request{text, name_, title_, AnsiLeadBytes()};
    Win32InstallPlatform platform(m_hWnd, request.leadBytes);
    std::string folder;
    if (RunInstall(request, *this, platform, folder) != InstallOutcome::kCompleted) return 0;

    // No quit here: the completion dialog posts it when the user leaves.
    ::DestroyWindow(m_hWnd);

    CDoneDlg done;
    done.SetInstallFolder(folder);
    done.SetName(name_);
    // A dialog that cannot be shown would leave a program without a window
    // and without an end.
    if (done.DoModal(::GetActiveWindow(), 0) == -1) ::PostQuitMessage(CDoneDlg::kExitCode);
    return 0;
}

void CMainDlg::SetProgress(int position)
{
    ::SendMessageA(progress_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void CMainDlg::EnableControls(bool enable)
{
    for (int id : kInstallControls) ::EnableWindow(GetDlgItem(id), enable ? TRUE : FALSE);
}

void CMainDlg::ShowWaitCursor()
{
    previousCursor_ = ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
}

void CMainDlg::RestoreCursor()
{
    ::SetCursor(previousCursor_);
}

void CMainDlg::ShowError(unsigned textId, const std::string* path)
{
    std::string caption;
    LoadText(caption, IDS_ERROR_CAPTION);
    std::string text;
    LoadText(text, textId);
    if (path) {
        text += '\n';
        text += *path;
    }
    ::MessageBoxA(m_hWnd, text.c_str(), caption.c_str(), MB_ICONERROR | MB_OK);
}
