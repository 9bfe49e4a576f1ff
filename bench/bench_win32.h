// What the Win32 bench programs share: a hidden progress bar like the main
// dialog's, owned handles, and a stopwatch on the performance counter.
#ifndef KELVRA_BENCH_BENCH_WIN32_H
#define KELVRA_BENCH_BENCH_WIN32_H

#include <windows.h>

#include <cstdint>
#include <string>

namespace bench {

// The main dialog gives its bar this range and step.
constexpr int kProgressRangeMax = 800;
constexpr int kProgressStep = 1;

class Handle {
public:
    explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { Close(); }
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    bool Close();

private:
    HANDLE h_;
};

// A real msctls_progress32 in a hidden top-level window: the messages the
// extraction sends cost what they cost in setup.exe, minus the painting.
class HiddenProgressBar {
public:
    HiddenProgressBar();
    HiddenProgressBar(const HiddenProgressBar&) = delete;
    HiddenProgressBar& operator=(const HiddenProgressBar&) = delete;
    ~HiddenProgressBar();
    HWND get() const { return bar_; }
    bool valid() const { return bar_ != nullptr; }
    int Position() const;

private:
    HWND frame_ = nullptr;
    HWND bar_ = nullptr;
};

// A package opened as the install procedure opens it: read access, no
// sharing, must exist. Size -1 when it cannot be had or does not fit.
struct OpenPackage {
    Handle file;
    std::int32_t size = -1;
    explicit OpenPackage(const std::string& path);
};

class Stopwatch {
public:
    Stopwatch();
    double Seconds() const;

private:
    LARGE_INTEGER start_{};
    LARGE_INTEGER frequency_{};
};

// `folder` with a backslash appended when it lacks one.
std::string WithBackslash(std::string folder);

} // namespace bench

#endif
