#include "tools/mediatool/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

void CloseAll(std::initializer_list<int> fds)
{
    for (int fd : fds)
        if (fd >= 0) close(fd);
}

// Feeds `input` and drains both output streams together, so that a
// program that writes much before it reads cannot block us, nor we it.
void Exchange(int in, int out, int err, const std::string& input, ProgramRun& run)
{
    std::size_t sent = 0;
    if (input.empty()) close(in), in = -1;
    char buf[4096];
    while (out >= 0 || err >= 0) {
        pollfd fds[3] = {{out, POLLIN, 0}, {err, POLLIN, 0}, {in, POLLOUT, 0}};
        if (poll(fds, 3, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (in >= 0 && fds[2].revents) {
            const ssize_t n = write(in, input.data() + sent, input.size() - sent);
            if (n > 0) sent += static_cast<std::size_t>(n);
            if (n < 0 || sent == input.size()) close(in), in = -1;
        }
        for (int k = 0; k < 2; ++k) {
            int& fd = k == 0 ? out : err;
            if (fd < 0 || !fds[k].revents) continue;
            const ssize_t n = read(fd, buf, sizeof buf);
            if (n > 0) (k == 0 ? run.out : run.err).append(buf, static_cast<std::size_t>(n));
            else if (n == 0 || errno != EINTR) close(fd), fd = -1;
        }
    }
    CloseAll({in, out, err});
}

} // namespace

bool FindProgram(const char* name)
{
    const char* path = std::getenv("PATH");
    const std::string dirs = path ? path : "/usr/bin:/bin";
    for (std::size_t start = 0;;) {
        const std::size_t end = dirs.find(':', start);
        const std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (access(((dir.empty() ? "." : dir) + "/" + name).c_str(), X_OK) == 0) return true;
        if (end == std::string::npos) return false;
        start = end + 1;
    }
}

bool RunProgram(const std::vector<std::string>& argv, const std::string& input, ProgramRun& run, std::string& why)
{
    run = ProgramRun();
    int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        why = std::strerror(errno);
        CloseAll({in[0], in[1], out[0], out[1], err[0], err[1]});
        return false;
    }
    const pid_t pid = fork();
    if (pid < 0) {
        why = std::strerror(errno);
        CloseAll({in[0], in[1], out[0], out[1], err[0], err[1]});
        return false;
    }
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        const char* msg = std::strerror(errno);
        (void)!write(2, msg, std::strlen(msg));
        _exit(127);
    }
    CloseAll({in[0], out[1], err[1]});
    // A program that ends before reading its input must not end us.
    struct sigaction ignore, old;
    std::memset(&ignore, 0, sizeof ignore);
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &old);
    Exchange(in[1], out[0], err[0], input, run);
    sigaction(SIGPIPE, &old, nullptr);
    int raw = 0;
    while (waitpid(pid, &raw, 0) < 0)
        if (errno != EINTR) return why = std::strerror(errno), false;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return true;
}

std::string FirstLine(const std::string& text)
{
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (!line.empty()) return line;
        start = end + 1;
    }
    return std::string();
}
