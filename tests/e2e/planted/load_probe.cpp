// The controls for the planted-DLL test. It imports the same DLLs as
// setup.exe and carries the same manifest, so that Wine resolves the same
// imports before its entry point runs. Without arguments it does nothing
// else: the planted copies it takes are the ones that Wine pulls in for
// those imports. With arguments it loads each DLL named by plain name, as
// a program without the start-up restriction would.
// Exit code: how many loaded. With --version alone: major * 100 + minor of
// what GetVersionEx answers under this manifest.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    // One function of each DLL that setup.exe imports, never called (argc
    // is never negative), so that the import table lists the same DLLs.
    if (argc < 0) {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES};
        ::InitCommonControlsEx(&icc);
        ::SHGetSpecialFolderPathA(nullptr, argv[0], CSIDL_DESKTOP, FALSE);
        ::CoInitialize(nullptr);
        ::PathFileExistsA(argv[0]);
        ::GetStockObject(WHITE_BRUSH);
        ::MessageBoxA(nullptr, argv[0], argv[0], MB_OK);
        ::RegCloseKey(HKEY_CURRENT_USER);
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = sizeof info;
        return ::GetVersionExA(&info) ? static_cast<int>(info.dwMajorVersion * 100 + info.dwMinorVersion) : -1;
    }
    int loaded = 0;
    for (int i = 1; i < argc; ++i) {
        const HMODULE m = ::LoadLibraryA(argv[i]);
        char path[MAX_PATH] = {};
        if (m) ::GetModuleFileNameA(m, path, MAX_PATH);
        std::printf("%s: %s\n", argv[i], m ? path : "not loaded");
        if (m) ++loaded;
    }
    return loaded;
}
