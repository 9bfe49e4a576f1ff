// The bound that the package format allows: a bare loop that makes exactly
// the calls the record loop needs and nothing else. One 260-byte buffer for
// the name and the data, CreateDirectoryA on every level of the target path
// from the root down, CreateFileA, WriteFile of what each ReadFile gave,
// CloseHandle, one PBM_SETPOS per record. No allocation, no name checks.
//
//   reference_loop PACKAGE FOLDER [DATA_BUFFER_BYTES]
//
// A larger data buffer (64 KiB) shows what the fixed 260 bytes cost.
// Prints seconds, records and the bar's last position, like extract_bench.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_win32.h"

namespace {

const DWORD kNameBufferSize = 260;   // 259 name bytes and a zero
const DWORD kMaxNameLength = kNameBufferSize - 1;
const DWORD kMaxDataBuffer = 16u << 20;
const int kProgressCap = 500;

struct Outcome {
    bool ok = true;
    unsigned records = 0;
};

Outcome Run(HANDLE package, DWORD size, const std::string& folder, HWND bar, DWORD dataBufferSize)
{
    Outcome out;
    std::vector<char> data(dataBufferSize > kNameBufferSize ? dataBufferSize : 0);
    char small[kNameBufferSize];
    char* const buffer = data.empty() ? small : data.data();
    char path[MAX_PATH * 2];
    char level[MAX_PATH * 2];
    const std::size_t folderLength = folder.size();
    std::memcpy(path, folder.c_str(), folderLength);

    int position = 0;
    DWORD consumed = 0;
    for (;;) {
        position = position + 1 > kProgressCap ? kProgressCap : position + 1;
        ::SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);

        DWORD got = 0;
        DWORD nameLength = 0;
        ::ReadFile(package, &nameLength, sizeof nameLength, &got, nullptr);
        consumed += got;
        if (got != sizeof nameLength || nameLength > kMaxNameLength) return out.ok = false, out;
        std::memset(small, 0, sizeof small);
        ::ReadFile(package, small, nameLength, &got, nullptr);
        consumed += got;
        std::memcpy(path + folderLength, small, kNameBufferSize);

        // Every level before the last backslash, from the root down.
        for (std::size_t i = 0; path[i]; ++i) {
            if (path[i] != '\\') continue;
            std::memcpy(level, path, i + 1);
            level[i + 1] = '\0';
            ::CreateDirectoryA(level, nullptr);
        }

        DWORD dataSize = 0;
        ::ReadFile(package, &dataSize, sizeof dataSize, &got, nullptr);
        consumed += got;
        bench::Handle file(::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) return out.ok = false, out;
        const DWORD chunk = dataBufferSize > kNameBufferSize ? dataBufferSize : kNameBufferSize;
        for (DWORD copied = 0; copied < dataSize;) {
            const DWORD want = dataSize - copied < chunk ? dataSize - copied : chunk;
            ::ReadFile(package, buffer, want, &got, nullptr);
            if (got == 0) break;
            DWORD written = 0;
            ::WriteFile(file.get(), buffer, got, &written, nullptr);
            copied += got;
            consumed += got;
        }
        file.Close();
        ++out.records;
        if (consumed >= size) return out;
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: reference_loop PACKAGE FOLDER [DATA_BUFFER_BYTES]\n");
        return 2;
    }
    const unsigned long bufferSize = argc == 4 ? std::strtoul(argv[3], nullptr, 10) : kNameBufferSize;
    if (bufferSize < kNameBufferSize || bufferSize > kMaxDataBuffer) {
        std::fprintf(stderr, "reference_loop: the data buffer takes %lu to %lu bytes\n",
                     static_cast<unsigned long>(kNameBufferSize), static_cast<unsigned long>(kMaxDataBuffer));
        return 2;
    }
    bench::OpenPackage package(argv[1]);
    if (package.size < 0) {
        std::fprintf(stderr, "reference_loop: cannot open %s\n", argv[1]);
        return 1;
    }
    bench::HiddenProgressBar bar;
    if (!bar.valid()) {
        std::fprintf(stderr, "reference_loop: no progress bar\n");
        return 1;
    }
    const std::string folder = bench::WithBackslash(argv[2]);
    if (package.size < 1) {
        std::printf("0.000000 0 0\n");
        return 0;
    }

    const bench::Stopwatch watch;
    const Outcome r = Run(package.file.get(), static_cast<DWORD>(package.size), folder, bar.get(),
                          static_cast<DWORD>(bufferSize));
    const double seconds = watch.Seconds();
    if (!r.ok) {
        std::fprintf(stderr, "reference_loop: stopped after %u records\n", r.records);
        return 1;
    }
    std::printf("%.6f %u %d\n", seconds, r.records, bar.Position());
    return 0;
}
