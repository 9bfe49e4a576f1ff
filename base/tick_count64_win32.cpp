// GetTickCount64 for the statically linked threads library, which imports
// it; Windows XP has no such export and would refuse to start the program.
// Defining the import slot here binds the library's calls to this function,
// so the program imports no GetTickCount64 at all. Linked as an object into
// every program that must start on XP (a library member would be scanned
// before the threads library asks for it).
#include <windows.h>

#include <atomic>
#include <cstdint>

#include "base/tick_count.h"

namespace {

using TickCount64Fn = ULONGLONG(WINAPI*)();

std::atomic<std::uint64_t> g_lastTick{0};

ULONGLONG WINAPI ExtendedTickCount()
{
    std::uint64_t last = g_lastTick.load();
    for (;;) {
        const std::uint64_t now = ExtendTickCount(last, ::GetTickCount());
        if (g_lastTick.compare_exchange_weak(last, now)) return now;
    }
}

// kernel32's own where it has one (Vista and later).
ULONGLONG WINAPI TickCount64()
{
    const HMODULE kernel32 = ::GetModuleHandleA("kernel32.dll");
    const auto real = kernel32 ? reinterpret_cast<TickCount64Fn>(reinterpret_cast<void*>(
                                     ::GetProcAddress(kernel32, "GetTickCount64")))
                               : nullptr;
    return real ? real() : ExtendedTickCount();
}

} // namespace

// The import slot that kernel32's import library would otherwise supply.
extern "C" __attribute__((used)) TickCount64Fn const kelvraTickCount64Slot __asm__("__imp__GetTickCount64@0") =
    TickCount64;
