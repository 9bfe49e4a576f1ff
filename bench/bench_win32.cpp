#include "bench/bench_win32.h"

#include <commctrl.h>

namespace bench {

namespace {

const char kFrameClass[] = "STATIC";
const int kBarWidth = 300;
const int kBarHeight = 20;

} // namespace

bool Handle::Close()
{
    if (!valid()) return true;
    const bool ok = ::CloseHandle(h_) != FALSE;
    h_ = INVALID_HANDLE_VALUE;
    return ok;
}

HiddenProgressBar::HiddenProgressBar()
{
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&icc);
    // Never shown: WS_VISIBLE is left off the frame.
    frame_ = ::CreateWindowExA(0, kFrameClass, "", WS_POPUP, 0, 0, kBarWidth, kBarHeight, nullptr,
                               nullptr, ::GetModuleHandleA(nullptr), nullptr);
    if (!frame_) return;
    bar_ = ::CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 0, 0, kBarWidth, kBarHeight,
                             frame_, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    if (!bar_) return;
    ::SendMessageA(bar_, PBM_SETRANGE32, 0, kProgressRangeMax);
    ::SendMessageA(bar_, PBM_SETSTEP, kProgressStep, 0);
}

HiddenProgressBar::~HiddenProgressBar()
{
    if (frame_) ::DestroyWindow(frame_);   // takes the bar with it
}

int HiddenProgressBar::Position() const
{
    return static_cast<int>(::SendMessageA(bar_, PBM_GETPOS, 0, 0));
}

OpenPackage::OpenPackage(const std::string& path)
    : file(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                         nullptr))
{
    if (!file.valid()) return;
    LARGE_INTEGER s{};
    if (!::GetFileSizeEx(file.get(), &s) || s.QuadPart > 0x7FFFFFFF) return;
    size = static_cast<std::int32_t>(s.QuadPart);
}

Stopwatch::Stopwatch()
{
    ::QueryPerformanceFrequency(&frequency_);
    ::QueryPerformanceCounter(&start_);
}

double Stopwatch::Seconds() const
{
    LARGE_INTEGER now{};
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - start_.QuadPart) / static_cast<double>(frequency_.QuadPart);
}

std::string WithBackslash(std::string folder)
{
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    return folder;
}

} // namespace bench
