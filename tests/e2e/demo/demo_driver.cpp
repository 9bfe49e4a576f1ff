// Drives setup.exe through a whole installation for the demonstration and
// saves what each screen shows; then reports what the installation left.
//
//   demo_driver SETUP.EXE OUTDIR
//   demo_driver --screens SETUP.EXE OUTDIR
//   demo_driver --report
//   demo_driver --reset
//
// Screens saved as OUTDIR\<screen>.bmp: splash, main, done, driver, app.
// Exit status 0 when every screen appeared and setup ended with code 1.
// --screens stops at the completion dialog (splash, main, done): the
// programs of a medium not our own are never started.
// --report only reports the installation recorded in the registry (after
// someone clicked through the wizard); --reset removes that installation
// (its folder and record) so that a report shows only the next one.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/e2e/driver.h"

using namespace e2e;

namespace {

const char kRecordKey[] = "Software\\Kelvra";
const char* const kRecordValues[] = {"InstPath", "Name", "Title"};
const char kProgramName[] = "Kelvra.exe";
const wchar_t kSplashClassPrefix[] = L"Kelvra:Wnd:";
const wchar_t kDriverCaptionWord[] = L"Corvane";
const wchar_t kAppClass[] = L"KelvraSampleApp";
const DWORD kStartTimeoutMs = 30000;
const DWORD kInstallTimeoutMs = 120000;
const DWORD kPaintMs = 600;
const DWORD kExitTimeoutMs = 15000;

int g_problems = 0;

void Problem(const char* text)
{
    std::fprintf(stderr, "demo: %s\n", text);
    ++g_problems;
}

std::string Acp(const std::string& narrow) { return Utf8(Widen(narrow)); }

void Shot(HWND hwnd, const std::string& out, const char* screen)
{
    if (SaveWindowBitmap(hwnd, out + screen + ".bmp"))
        std::printf("screen %-7s saved\n", screen);
    else
        Problem((std::string("could not save the screen ") + screen).c_str());
}

bool StartsWith(const std::wstring& s, const wchar_t* prefix) { return s.rfind(prefix, 0) == 0; }

struct FindState {
    DWORD skipPid;
    HWND found;
};

// A visible message box of another process whose caption names Corvane:
// the driver installer that the completion dialog started.
BOOL CALLBACK FindDriverBox(HWND hwnd, LPARAM lParam)
{
    auto* state = reinterpret_cast<FindState*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid != state->skipPid && ::IsWindowVisible(hwnd) && ClassName(hwnd) == L"#32770" &&
        WindowText(hwnd).find(kDriverCaptionWord) != std::wstring::npos) {
        state->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForDriverBox(DWORD setupPid)
{
    FindState state{setupPid, nullptr};
    WaitUntil([&] {
        ::EnumWindows(FindDriverBox, reinterpret_cast<LPARAM>(&state));
        return state.found != nullptr;
    }, kStartTimeoutMs);
    return state.found;
}

void ListFiles(const std::string& dir, const std::string& rel, std::vector<std::string>& out)
{
    WIN32_FIND_DATAA fd;
    HANDLE find = ::FindFirstFileA((dir + rel + "*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = fd.cFileName;
        if (name == "." || name == "..") continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ListFiles(dir, rel + name + "\\", out);
        } else {
            char size[32];
            std::snprintf(size, sizeof size, "%10lu  ", static_cast<unsigned long>(fd.nFileSizeLow));
            out.push_back(size + Acp(rel + name));
        }
    } while (::FindNextFileA(find, &fd));
    ::FindClose(find);
}

std::string RecordValue(const char* name)
{
    std::string text = ReadRegValue(HKEY_CURRENT_USER, kRecordKey, name).bytes;
    if (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

void Report(const std::string& folder, const std::string& name, const DWORD* exitCode)
{
    std::printf("\n== what the installation left\n");
    std::printf("install folder: %s\n", Acp(folder).c_str());
    std::vector<std::string> files;
    ListFiles(folder, "", files);
    for (const std::string& f : files) std::printf("  %s\n", f.c_str());
    std::printf("  (%u files)\n", static_cast<unsigned>(files.size()));

    std::printf("registry HKEY_CURRENT_USER\\%s:\n", kRecordKey);
    for (const char* value : kRecordValues) {
        const RegValue v = ReadRegValue(HKEY_CURRENT_USER, kRecordKey, value);
        std::string text = v.bytes;
        if (!text.empty() && text.back() == '\0') text.pop_back();
        std::printf("  %-8s %s\n", value, v.exists ? ("\"" + Acp(text) + "\"").c_str() : "(missing)");
    }

    std::printf("shortcuts:\n");
    const struct { const char* where; int csidl; } places[] = {
        {"programs menu", CSIDL_PROGRAMS}, {"desktop", CSIDL_DESKTOPDIRECTORY}};
    for (const auto& p : places) {
        const std::string lnk = SpecialFolder(p.csidl) + "\\" + name + ".lnk";
        const Shortcut s = ReadShortcut(lnk);
        if (!s.loaded) {
            std::printf("  %s: %s missing\n", p.where, Acp(lnk).c_str());
            Problem("a shortcut is missing");
            continue;
        }
        std::printf("  %s: %s\n    -> %s (in %s)\n    \"%s\"\n", p.where, Acp(lnk).c_str(), Acp(s.target).c_str(),
                    Acp(s.workingDir).c_str(), Acp(s.description).c_str());
    }
    if (exitCode) std::printf("setup.exe exit code: %lu\n", static_cast<unsigned long>(*exitCode));
}

// Leaves the completion dialog with Exit and reports what was installed.
int ExitAndReport(Process& setup, HWND done, const std::string& installFolder)
{
    std::printf("pressing Exit\n");
    PostCommand(done, IDC_EXIT);
    const DWORD code = setup.WaitExit(kExitTimeoutMs);
    if (code != 1) Problem("setup.exe did not end with exit code 1");
    Report(installFolder, RecordValue("Name"), &code);
    if (g_problems) std::fprintf(stderr, "demo: %d problem(s), see above\n", g_problems);
    return g_problems ? 1 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::string(argv[1]) == "--report") {
        const std::string folder = RecordValue("InstPath");
        if (folder.empty()) {
            std::fprintf(stderr, "demo: no installation is recorded (the wizard was closed before Install?)\n");
            return 1;
        }
        Report(folder, RecordValue("Name"), nullptr);
        return g_problems ? 1 : 0;
    }
    if (argc == 2 && std::string(argv[1]) == "--reset") {
        const std::string folder = RecordValue("InstPath");
        if (!folder.empty()) RemoveTree(folder.back() == '\\' ? folder.substr(0, folder.size() - 1) : folder);
        DeleteRegTree(HKEY_CURRENT_USER, kRecordKey);
        return 0;
    }
    const bool screensOnly = argc == 4 && std::string(argv[1]) == "--screens";
    if (argc != 3 && !screensOnly) {
        std::fprintf(stderr, "usage: demo_driver [--screens] SETUP.EXE OUTDIR | demo_driver --report | "
                             "demo_driver --reset\n");
        return 2;
    }
    const std::string setupExe = argv[argc - 2];
    const std::string out = std::string(argv[argc - 1]) + "\\";
    std::printf("interface: %s, ANSI code page %u\n", ChineseInterface() ? "Simplified Chinese" : "English",
                ::GetACP());

    Process setup;
    if (!setup.Start(setupExe)) {
        std::fprintf(stderr, "demo: cannot start %s\n", setupExe.c_str());
        return 1;
    }

    // The splash shows for two seconds while the main dialog prepares itself.
    HWND splash = setup.WaitForWindow([](HWND h) {
        return ::IsWindowVisible(h) && StartsWith(ClassName(h), kSplashClassPrefix);
    }, kStartTimeoutMs);
    if (splash) {
        Pause(kPaintMs);
        Shot(splash, out, "splash");
    } else {
        Problem("the splash window did not appear");
    }

    HWND dlg = setup.WaitForDialogWith(IDC_INSTALL, kStartTimeoutMs);
    if (!dlg) {
        Problem("the main dialog did not appear");
        return 1;
    }
    Pause(kPaintMs);
    std::printf("main dialog: \"%s\"\n", Utf8(WindowText(dlg)).c_str());
    const std::string folder = Narrow(ItemText(dlg, IDC_FOLDER_EDIT));
    std::printf("proposed install folder: %s\n", Acp(folder).c_str());
    Shot(dlg, out, "main");

    // A clean start: the previous run of the demo left its own installation.
    const std::string installFolder = folder.empty() || folder.back() == '\\' ? folder : folder + "\\";
    RemoveTree(folder);
    DeleteRegTree(HKEY_CURRENT_USER, kRecordKey);

    std::printf("pressing Install\n");
    PostCommand(dlg, IDC_INSTALL);
    HWND done = nullptr;
    HWND box = nullptr;
    WaitUntil([&] {
        done = setup.WaitForDialogWith(IDC_EXIT, 0);
        box = done ? nullptr : setup.WaitForMessageBox(0);
        return done || box || !setup.Running();
    }, kInstallTimeoutMs);
    if (box) {
        Pause(kPaintMs);
        Shot(box, out, "error");
        std::fprintf(stderr, "demo: setup reported: \"%s\" / \"%s\"\n", Utf8(WindowText(box)).c_str(),
                     Utf8(MessageBoxText(box)).c_str());
        return 1;
    }
    if (!done) {
        Problem(setup.Running() ? "the completion dialog did not appear" : "setup.exe ended during the installation");
        return 1;
    }
    Pause(kPaintMs);
    std::printf("completion dialog: \"%s\"\n", Utf8(WindowText(done)).c_str());
    Shot(done, out, "done");
    if (screensOnly) return ExitAndReport(setup, done, installFolder);

    std::printf("pressing the driver installer button\n");
    PostCommand(done, IDC_DRIVER_INSTALL);
    HWND driver = WaitForDriverBox(setup.Id());
    if (driver) {
        Pause(kPaintMs);
        std::printf("driver installer says: \"%s\"\n", Utf8(MessageBoxText(driver)).c_str());
        Shot(driver, out, "driver");
        PostCommand(driver, IDOK);
    } else {
        Problem("the driver installer did not show its message");
    }

    std::printf("pressing Exit\n");
    PostCommand(done, IDC_EXIT);
    const DWORD code = setup.WaitExit(kExitTimeoutMs);
    if (code != 1) Problem("setup.exe did not end with exit code 1");

    // The installed product itself.
    Process app;
    if (app.Start(installFolder + kProgramName)) {
        HWND window = app.WaitForWindow([](HWND h) { return ::IsWindowVisible(h) && ClassName(h) == kAppClass; },
                                        kStartTimeoutMs);
        if (window) {
            Pause(kPaintMs);
            Shot(window, out, "app");
            ::PostMessageW(window, WM_CLOSE, 0, 0);
            app.WaitExit(kExitTimeoutMs);
        } else {
            Problem("the installed Kelvra.exe showed no window");
        }
    } else {
        Problem("the installed Kelvra.exe cannot be started");
    }

    Report(installFolder, RecordValue("Name"), &code);
    if (g_problems) std::fprintf(stderr, "demo: %d problem(s), see above\n", g_problems);
    return g_problems ? 1 : 0;
}
