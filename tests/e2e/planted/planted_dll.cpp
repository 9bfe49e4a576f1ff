// A DLL to plant beside setup.exe under the name of a system DLL. When any
// process loads it, it leaves "<its own path>.loaded" holding the path of
// that process, so a test can tell that the planted copy was taken.
#include <windows.h>

namespace {

void LeaveMarker(HINSTANCE self)
{
    char own[MAX_PATH + 8] = {};
    const DWORD n = ::GetModuleFileNameA(self, own, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    ::lstrcatA(own, ".loaded");
    char exe[MAX_PATH] = {};
    const DWORD len = ::GetModuleFileNameA(nullptr, exe, MAX_PATH);
    const HANDLE f = ::CreateFileA(own, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(f, exe, len, &written, nullptr);
    ::CloseHandle(f);
}

} // namespace

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) LeaveMarker(self);
    return TRUE;
}
