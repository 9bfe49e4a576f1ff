#include "tools/mediatool/temp_files.h"

#include <cerrno>
#include <csignal>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include "base/handles_win32.h"
#include <io.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tempfiles {

namespace {

// What an interruption removes. Fixed storage: the handler may not
// allocate, and on POSIX may call only async-signal-safe functions.
#ifdef _WIN32
using PathChar = wchar_t;
#else
using PathChar = char;
#endif
constexpr int kSlots = 32;
constexpr std::size_t kPathMax = 4096;
struct Slot {
    volatile std::sig_atomic_t used;
    bool folder;
    PathChar path[kPathMax];
#ifdef _WIN32
    HANDLE handle;   // our own handle to the file, closed before deleting it
#endif
};
Slot g_slots[kSlots];

bool SamePath(const PathChar* a, const fs::path::string_type& b)
{
    return fs::path::string_type(a) == b;
}

#ifdef _WIN32
CRITICAL_SECTION g_hold;
bool g_installed = false;

BOOL WINAPI OnConsoleEvent(DWORD)
{
    // Waits while a medium is being put in place.
    EnterCriticalSection(&g_hold);
    for (Slot& s : g_slots)
        if (s.used && !s.folder && s.handle != INVALID_HANDLE_VALUE) CloseHandle(s.handle);
    for (Slot& s : g_slots)
        if (s.used && !s.folder) DeleteFileW(s.path);
    for (int i = kSlots - 1; i >= 0; --i)
        if (g_slots[i].used && g_slots[i].folder) RemoveDirectoryW(g_slots[i].path);
    TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
    return TRUE;
}

void Install()
{
    if (g_installed) return;
    g_installed = true;
    InitializeCriticalSection(&g_hold);
    for (Slot& s : g_slots) s.handle = INVALID_HANDLE_VALUE;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}
#else
const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
bool g_installed = false;

extern "C" void OnSignal(int sig)
{
    const int saved = errno;
    for (Slot& s : g_slots)
        if (s.used && !s.folder) unlink(s.path);
    // Inner folders first: they were registered last.
    for (int i = kSlots - 1; i >= 0; --i)
        if (g_slots[i].used && g_slots[i].folder) rmdir(g_slots[i].path);
    errno = saved;
    // The handler was reset on entry: the signal, delivered again once this
    // returns, ends the process as it would have without us.
    raise(sig);
}

void Install()
{
    if (g_installed) return;
    g_installed = true;
    for (int sig : kSignals) {
        struct sigaction old;
        // A signal the caller ignores (nohup, a background job) stays ignored.
        if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        struct sigaction sa;
        std::memset(&sa, 0, sizeof sa);
        sa.sa_handler = OnSignal;
        sigemptyset(&sa.sa_mask);
        for (int other : kSignals) sigaddset(&sa.sa_mask, other);
        sa.sa_flags = SA_RESETHAND;
        sigaction(sig, &sa, nullptr);
    }
}
#endif

// Registers `p`; `handle` is ours to close first on Windows.
void Register(const fs::path& p, bool folder, void* handle)
{
    Install();
    const fs::path::string_type& s = p.native();
    if (s.size() >= kPathMax) return;   // left behind on an interruption; never seen in practice
    for (Slot& slot : g_slots) {
        if (slot.used) continue;
        std::memcpy(slot.path, s.c_str(), (s.size() + 1) * sizeof(PathChar));
        slot.folder = folder;
#ifdef _WIN32
        slot.handle = handle ? static_cast<HANDLE>(handle) : INVALID_HANDLE_VALUE;
#else
        (void)handle;
#endif
        slot.used = 1;
        return;
    }
}

std::string Numbered(const std::string& stem, unsigned n, const char* suffix)
{
#ifdef _WIN32
    const unsigned long pid = GetCurrentProcessId();
#else
    const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
    return stem + "." + std::to_string(pid) + (n ? "-" + std::to_string(n) : std::string()) + suffix;
}

} // namespace

std::string LastOsError()
{
#ifdef _WIN32
    const DWORD code = GetLastError();
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string s = text ? text : "error " + std::to_string(code);
    if (text) LocalFree(text);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == '.')) s.pop_back();
    return s;
#else
    return std::strerror(errno);
#endif
}

std::FILE* CreateBeside(const fs::path& target, fs::path& temporary, std::string& why)
{
    const std::string stem = target.filename().u8string();
    for (unsigned n = 0; n < 1000; ++n) {
        temporary = target.parent_path() / fs::u8path(Numbered(stem, n, ".part"));
        HoldInterrupts hold;   // created and registered as one step
#ifdef _WIN32
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
#else
        const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            why = std::strerror(errno);
            return nullptr;
        }
        std::FILE* f = fdopen(fd, "wb");
        if (!f) {
            why = std::strerror(errno);
            close(fd);
            unlink(temporary.c_str());
            return nullptr;
        }
        Register(temporary, false, nullptr);
        return f;
#endif
    }
    why = "no free temporary name";
    return nullptr;
}

bool CreateFolderIn(const fs::path& dir, fs::path& folder, std::string& why)
{
    for (unsigned n = 0; n < 1000; ++n) {
        folder = dir / Numbered(".mediatool", n, ".tmp");
        HoldInterrupts hold;
        std::error_code ec;
        if (fs::create_directory(folder, ec)) {
            Register(folder, true, nullptr);
            return true;
        }
        if (ec) {
            why = ec.message();
            return false;
        }
    }
    why = "no free temporary name";
    return false;
}

void RemoveOnInterrupt(const fs::path& p, bool folder)
{
    HoldInterrupts hold;
    Register(p, folder, nullptr);
}

void Forget(const fs::path& p)
{
    HoldInterrupts hold;
    for (Slot& slot : g_slots)
        if (slot.used && SamePath(slot.path, p.native())) slot.used = 0;
}

#ifdef _WIN32
HoldInterrupts::HoldInterrupts()
{
    Install();
    EnterCriticalSection(&g_hold);
}
HoldInterrupts::~HoldInterrupts() { LeaveCriticalSection(&g_hold); }
#else
namespace {
sigset_t g_held;
int g_holdDepth = 0;
} // namespace

HoldInterrupts::HoldInterrupts()
{
    if (g_holdDepth++ > 0) return;
    sigset_t block;
    sigemptyset(&block);
    for (int sig : kSignals) sigaddset(&block, sig);
    sigprocmask(SIG_BLOCK, &block, &g_held);
}
HoldInterrupts::~HoldInterrupts()
{
    if (--g_holdDepth == 0) sigprocmask(SIG_SETMASK, &g_held, nullptr);
}
#endif

bool FlushToDevice(const fs::path& p, bool folder, std::string& why)
{
#ifdef _WIN32
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
#else
    const int fd = open(p.c_str(), O_RDONLY | O_CLOEXEC | (folder ? O_DIRECTORY : 0));
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    bool ok = fsync(fd) == 0;
    // Some file systems cannot sync a folder; their entries go with the files.
    if (!ok && folder && (errno == EINVAL || errno == ENOTSUP)) ok = true;
    if (!ok) why = std::strerror(errno);
    close(fd);
    return ok;
#endif
}

bool MoveOver(const fs::path& from, const fs::path& to, std::string& why)
{
#ifdef _WIN32
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    why = LastOsError();
    return false;
#else
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    why = std::strerror(errno);
    return false;
#endif
}

bool IsStagingFolderName(const std::string& name, unsigned long& pid)
{
    const std::string stem = ".mediatool.", suffix = ".tmp";
    if (name.size() <= stem.size() + suffix.size() || name.compare(0, stem.size(), stem) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    const std::string middle = name.substr(stem.size(), name.size() - stem.size() - suffix.size());
    const std::size_t dash = middle.find('-');
    const std::string number = middle.substr(0, dash), count = dash == std::string::npos ? "0" : middle.substr(dash + 1);
    auto digits = [](const std::string& s) {
        return !s.empty() && s.size() <= 9 && s.find_first_not_of("0123456789") == std::string::npos;
    };
    if (!digits(number) || !digits(count)) return false;
    pid = std::stoul(number);
    return true;
}

#ifdef _WIN32
bool ProcessRunning(unsigned long pid)
{
    ProcessHandle h(OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid)));
    if (!h) return GetLastError() == ERROR_ACCESS_DENIED;
    return WaitForSingleObject(h.get(), 0) == WAIT_TIMEOUT;
}
#else
bool ProcessRunning(unsigned long pid)
{
    return pid != 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}
#endif

} // namespace tempfiles
