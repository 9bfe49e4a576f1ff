// Host files on POSIX: paths are bytes, streams carry bytes as they are.
#include "tools/mediatool/host_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

std::FILE* OpenFile(const fs::path& p, const char* mode) { return std::fopen(p.c_str(), mode); }

void SetBinaryStdout() {}

bool WriteFully(std::FILE* f, const void* data, std::size_t n, std::string& why)
{
    const int fd = fileno(f);
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        const ssize_t w = write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w < 0) return why = std::strerror(errno), false;
        // A device that takes nothing and names no reason is full.
        if (w == 0) return why = std::strerror(ENOSPC), false;
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}
