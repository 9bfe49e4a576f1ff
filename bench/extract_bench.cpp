// Times the product's own ExtractPackage on one package, with a real (hidden)
// progress bar, and nothing else: no process start, no clean-up.
//
//   extract_bench PACKAGE FOLDER
//
// Prints the seconds the call took and the records written. FOLDER should
// not exist yet; removing it afterwards is the caller's business.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "base/strings_win32.h"
#include "bench/bench_win32.h"
#include "media/extract_win32.h"

namespace {

// The bar moved as the main dialog moves it.
class BarProgress : public ExtractProgress {
public:
    explicit BarProgress(HWND bar) : bar_(bar) {}
    void SetProgress(int position) override { ::SendMessageA(bar_, PBM_SETPOS, static_cast<WPARAM>(position), 0); }

private:
    HWND bar_;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: extract_bench PACKAGE FOLDER\n");
        return 2;
    }
    bench::OpenPackage package(argv[1]);
    if (package.size < 0) {
        std::fprintf(stderr, "extract_bench: cannot open %s\n", argv[1]);
        return 1;
    }
    bench::HiddenProgressBar bar;
    if (!bar.valid()) {
        std::fprintf(stderr, "extract_bench: no progress bar\n");
        return 1;
    }
    const std::string folder = bench::WithBackslash(argv[2]);
    const LeadBytes lb = AnsiLeadBytes();
    BarProgress progress(bar.get());

    const bench::Stopwatch watch;
    const ExtractResult r = ExtractPackage(package.file.get(), package.size, folder, lb, progress);
    const double seconds = watch.Seconds();

    if (!r.ok) {
        std::fprintf(stderr, "extract_bench: %s: %s\n", r.failedPath.c_str(), DescribeExtractFailure(r).c_str());
        return 1;
    }
    std::printf("%.6f %u %d\n", seconds, r.records, bar.Position());
    return 0;
}
