// Times a whole installation from outside, as a user would see it: starts
// setup.exe from a medium folder, waits for the main dialog, sets the
// install folder, presses Install and waits for the completion dialog,
// then leaves through its exit button.
//
//   install_bench SETUP.EXE INSTALL_FOLDER
//
// Prints one line of key=value pairs:
//   main      start to the main dialog (holds the 2000 ms splash)
//   install   Install pressed to the completion dialog (holds the two
//             300 ms pauses)
//   total     start to process exit
//   peak      setup.exe's peak working set in bytes, read when the
//             completion dialog is up (after the extraction)
#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <functional>
#include <string>

#include "bench/bench_win32.h"
#include "res/resource.h"
#include "tests/e2e/driver.h"

namespace {

// Polled far more often than the driver's own waits, so that the figures
// are not rounded up to its 50 ms steps.
const DWORD kPollMilliseconds = 5;
const DWORD kStartTimeoutMs = 60000;
const DWORD kInstallTimeoutMs = 300000;
const DWORD kExitTimeoutMs = 30000;
const wchar_t kDialogClass[] = L"#32770";
const int kMessageBoxIconId = 0x440;

bool IsVisibleDialogWith(HWND hwnd, int id)
{
    return ::IsWindowVisible(hwnd) && e2e::ClassName(hwnd) == kDialogClass && ::GetDlgItem(hwnd, id);
}

// The first window of the process that matches, or nullptr on time-out or
// when the process is gone. `failed` is set when a message box shows up.
HWND WaitFor(const e2e::Process& p, int id, DWORD timeoutMs, bool& failed)
{
    const bench::Stopwatch watch;
    for (;;) {
        for (HWND h : p.Windows()) {
            if (IsVisibleDialogWith(h, id)) return h;
            if (IsVisibleDialogWith(h, kMessageBoxIconId)) {
                std::fprintf(stderr, "install_bench: message box: %s\n",
                             e2e::Utf8(e2e::MessageBoxText(h)).c_str());
                failed = true;
                return nullptr;
            }
        }
        if (watch.Seconds() * 1000 > timeoutMs || !p.Running()) return nullptr;
        ::Sleep(kPollMilliseconds);
    }
}

SIZE_T PeakWorkingSet(DWORD pid)
{
    bench::Handle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    if (!process.valid()) return 0;
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    if (!::GetProcessMemoryInfo(process.get(), &pmc, sizeof pmc)) return 0;
    return pmc.PeakWorkingSetSize;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: install_bench SETUP.EXE INSTALL_FOLDER\n");
        return 2;
    }
    const bench::Stopwatch total;
    e2e::Process setup;
    if (!setup.Start(argv[1])) {
        std::fprintf(stderr, "install_bench: cannot start %s\n", argv[1]);
        return 1;
    }
    bool failed = false;
    HWND main = WaitFor(setup, IDC_INSTALL, kStartTimeoutMs, failed);
    const double toMain = total.Seconds();
    if (!main) {
        std::fprintf(stderr, "install_bench: the main dialog did not appear\n");
        return 1;
    }
    if (!e2e::SetItemText(main, IDC_FOLDER_EDIT, e2e::Widen(argv[2]))) {
        std::fprintf(stderr, "install_bench: cannot set the install folder\n");
        return 1;
    }

    const bench::Stopwatch install;
    e2e::PostCommand(main, IDC_INSTALL);
    HWND done = WaitFor(setup, IDC_EXIT, kInstallTimeoutMs, failed);
    const double installSeconds = install.Seconds();
    if (!done) {
        std::fprintf(stderr, "install_bench: the completion dialog did not appear%s\n",
                     failed ? " (an error was shown)" : "");
        return 1;
    }
    const SIZE_T peak = PeakWorkingSet(setup.Id());

    e2e::PostCommand(done, IDC_EXIT);
    const DWORD code = setup.WaitExit(kExitTimeoutMs);
    const double totalSeconds = total.Seconds();
    if (code != 1) {
        std::fprintf(stderr, "install_bench: setup.exe ended with %lu, not 1\n", static_cast<unsigned long>(code));
        return 1;
    }
    std::printf("main=%.6f install=%.6f total=%.6f peak=%lu\n", toMain, installSeconds, totalSeconds,
                static_cast<unsigned long>(peak));
    return 0;
}
