// Entry point: process-wide services, then the main dialog and its run loop.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <clocale>
#include <memory>

#include "base/dll_safety_win32.h"
#include "base/handles_win32.h"
#include "base/module_win32.h"
#include "ui/main_dlg.h"

namespace {

int ShowCommand()
{
    STARTUPINFOA si{};
    si.cb = sizeof si;
    ::GetStartupInfoA(&si);
    return (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : SW_SHOWDEFAULT;
}

} // namespace

// Runs the main dialog until quit; the command line carries no options.
int RunMainDialog(LPSTR /*commandLine*/, int showCommand)
{
    CMessageLoop loop;
    g_Module.AddMessageLoop(&loop);

    int result = 0;
    {
        CMainDlg dlg;
        if (!dlg.Create(nullptr)) return 0;     // the registry entry goes with Term()
        ::ShowWindow(dlg.m_hWnd, showCommand);
        result = loop.Run();
        g_Module.RemoveMessageLoop();
    }
    return result;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    // First of all: no DLL may come from the medium folder beside us.
    RestrictDllSearch();
    std::setlocale(LC_ALL, "chinese-simplified");
    const ComScope com;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&icc);
    g_Module.Init(instance);

    const int result = RunMainDialog(commandLine, ShowCommand());

    g_Module.Term();
    return result;
}
