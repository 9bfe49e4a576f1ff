// Drives setup.exe for the demonstration and saves what each screen shows.
//
//   demo_driver SETUP.EXE OUTDIR
//
// Saves OUTDIR\main.bmp of the main dialog, then closes it.
#include <windows.h>

#include <cstdio>
#include <string>

#include "res/resource.h"
#include "tests/e2e/driver.h"

using namespace e2e;

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: demo_driver SETUP.EXE OUTDIR\n");
        return 2;
    }
    const std::string setupExe = argv[1];
    const std::string out = std::string(argv[2]) + "\\";

    Process setup;
    if (!setup.Start(setupExe)) {
        std::fprintf(stderr, "demo: cannot start %s\n", setupExe.c_str());
        return 1;
    }
    HWND dlg = setup.WaitForDialogWith(IDC_INSTALL, 30000);
    if (!dlg) {
        std::fprintf(stderr, "demo: the main dialog did not appear\n");
        return 1;
    }
    Pause(500);     // let it paint
    std::printf("main dialog: \"%s\"\n", Utf8(WindowText(dlg)).c_str());
    std::printf("install folder: %s\n", Utf8(ItemText(dlg, IDC_FOLDER_EDIT)).c_str());
    if (!SaveWindowBitmap(dlg, out + "main.bmp")) std::fprintf(stderr, "demo: screenshot failed\n");

    PostCommand(dlg, IDCANCEL);
    const DWORD code = setup.WaitExit(10000);
    std::printf("setup.exe exit code: %lu\n", code);
    return code == 1 ? 0 : 1;
}
