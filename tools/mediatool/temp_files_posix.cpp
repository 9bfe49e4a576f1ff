// Temporary files on POSIX: signals remove them; fsync and rename.
#include "tools/mediatool/temp_files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tools/mediatool/temp_files_slots.h"

namespace tempfiles {

namespace detail {

namespace {
const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
bool g_installed = false;
sigset_t g_held;
int g_holdDepth = 0;
} // namespace

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

unsigned long ProcessId() { return static_cast<unsigned long>(getpid()); }

} // namespace detail

using namespace detail;

std::string LastOsError() { return std::strerror(errno); }

std::FILE* CreateBeside(const fs::path& target, fs::path& temporary, std::string& why)
{
    const std::string stem = target.filename().u8string();
    for (unsigned n = 0; n < 1000; ++n) {
        temporary = target.parent_path() / fs::u8path(Numbered(stem, n, ".part"));
        HoldInterrupts hold;   // created and registered as one step
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
    }
    why = "no free temporary name";
    return nullptr;
}

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

bool FlushToDevice(const fs::path& p, bool folder, std::string& why)
{
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
}

bool MoveOver(const fs::path& from, const fs::path& to, std::string& why)
{
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    why = std::strerror(errno);
    return false;
}

bool ProcessRunning(unsigned long pid)
{
    return pid != 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

} // namespace tempfiles
