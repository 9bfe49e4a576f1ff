#include "ui/done_dlg.h"

#include <shellapi.h>

#include "media/medium.h"
#include "ui/center_window.h"
#include "ui/dialog_texts.h"

BOOL CDoneDlg::ProcessWindowMessage(HWND, UINT msg, WPARAM wParam, LPARAM, LRESULT& result)
{
    switch (msg) {
    case WM_INITDIALOG:
        result = OnInitDialog();
        return TRUE;
    case WM_COMMAND:
        // Escape and close requests leave like the exit button.
        if (CommandId(wParam) == IDCANCEL) {
            result = OnExit();
            return TRUE;
        }
        if (CommandCode(wParam) != BN_CLICKED) return FALSE;
        switch (CommandId(wParam)) {
        case IDC_DOTNET_INSTALL:
            result = OnInstallDotNet();
            return TRUE;
        case IDC_DRIVER_INSTALL:
            result = OnInstallDrivers();
            return TRUE;
        case IDC_EXIT:
            result = OnExit();
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

LRESULT CDoneDlg::OnInitDialog()
{
    CenterWindow(m_hWnd);

    static const DialogText kTexts[] = {
        {IDS_DONE_MESSAGE, IDC_DONE_MESSAGE},
        {IDS_DRIVER_NOTE, IDC_DRIVER_NOTE},
        {IDS_DOTNET_NOTE, IDC_DOTNET_NOTE},
        {IDS_WIZARD_TITLE, IDC_FOOTER},
    };
    FillDialogTexts(m_hWnd, kTexts, name_);
    return TRUE;
}

void CDoneDlg::StartInstaller(const char* relativePath)
{
    // Not waited for; whatever the shell reports is all the user sees.
    const std::string path = installFolder_ + relativePath;
    ::ShellExecuteA(m_hWnd, nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

LRESULT CDoneDlg::OnInstallDrivers()
{
    StartInstaller(medium::kDriverInstaller);
    return 0;
}

LRESULT CDoneDlg::OnInstallDotNet()
{
    StartInstaller(medium::kDotNetInstaller);
    return 0;
}

LRESULT CDoneDlg::OnExit()
{
    EndDialog(kExitCode);
    ::PostQuitMessage(kExitCode);
    return 0;
}
