// Temporary files on Windows: a console handler removes them; flushes and
// renames written through.
#include "tools/mediatool/temp_files.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include "base/handles_win32.h"

#include <cerrno>
#include <cstring>

#include "tools/mediatool/temp_files_slots.h"

namespace tempfiles {

namespace detail {

namespace {
CRITICAL_SECTION g_hold;
bool g_installed = false;

bool Ours(const Slot& s) { return s.handle && s.handle != INVALID_HANDLE_VALUE; }

BOOL WINAPI OnConsoleEvent(DWORD)
{
    // Waits while a medium is being put in place.
    EnterCriticalSection(&g_hold);
    for (Slot& s : g_slots)
        if (s.used && !s.folder && Ours(s)) CloseHandle(static_cast<HANDLE>(s.handle));
    for (Slot& s : g_slots)
        if (s.used && !s.folder) DeleteFileW(s.path);
    for (int i = kSlots - 1; i >= 0; --i)
        if (g_slots[i].used && g_slots[i].folder) RemoveDirectoryW(g_slots[i].path);
    TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
    return TRUE;
}
} // namespace

void Install()
{
    if (g_installed) return;
    g_installed = true;
    InitializeCriticalSection(&g_hold);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

unsigned long ProcessId() { return GetCurrentProcessId(); }

} // namespace detail

using namespace detail;

std::string LastOsError()
{
    const DWORD code = GetLastError();
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string s = text ? text : "error " + std::to_string(code);
    if (text) LocalFree(text);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == '.')) s.pop_back();
    return s;
}

std::FILE* CreateBeside(const fs::path& target, fs::path& temporary, std::string& why)
{
    const std::string stem = target.filename().u8string();
    for (unsigned n = 0; n < 1000; ++n) {
        temporary = target.parent_path() / fs::u8path(Numbered(stem, n, ".part"));
        HoldInterrupts hold;   // created and registered as one step
        // Shared for deletion, so that Ctrl-C can remove it while it is open.
        HANDLE h = CreateFileW(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS) continue;
            why = LastOsError();
            return nullptr;
        }
        const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY | _O_WRONLY);
        std::FILE* f = fd < 0 ? nullptr : _fdopen(fd, "wb");
        if (!f) {
            why = std::strerror(errno);
            if (fd >= 0) _close(fd);
            else CloseHandle(h);
            DeleteFileW(temporary.c_str());
            return nullptr;
        }
        Register(temporary, false, h);
        return f;
    }
    why = "no free temporary name";
    return nullptr;
}

HoldInterrupts::HoldInterrupts()
{
    Install();
    EnterCriticalSection(&g_hold);
}
HoldInterrupts::~HoldInterrupts() { LeaveCriticalSection(&g_hold); }

bool FlushToDevice(const fs::path& p, bool folder, std::string& why)
{
    // Folder entries are written through by MoveOver.
    if (folder) return true;
    HANDLE h = CreateFileW(p.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        why = LastOsError();
        return false;
    }
    const bool ok = FlushFileBuffers(h) != 0;
    if (!ok) why = LastOsError();
    CloseHandle(h);
    return ok;
}

bool MoveOver(const fs::path& from, const fs::path& to, std::string& why)
{
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    why = LastOsError();
    return false;
}

bool ProcessRunning(unsigned long pid)
{
    ProcessHandle h(OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid)));
    if (!h) return GetLastError() == ERROR_ACCESS_DENIED;
    return WaitForSingleObject(h.get(), 0) == WAIT_TIMEOUT;
}

} // namespace tempfiles
