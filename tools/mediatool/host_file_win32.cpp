// Host files on Windows: wide paths, binary streams.
#include "tools/mediatool/host_file.h"

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <climits>
#include <cstring>

std::FILE* OpenFile(const fs::path& p, const char* mode)
{
    std::wstring wmode(mode, mode + std::strlen(mode));
    return _wfopen(p.c_str(), wmode.c_str());
}

void SetBinaryStdout() { _setmode(_fileno(stdout), _O_BINARY); }

bool WriteFully(std::FILE* f, const void* data, std::size_t n, std::string& why)
{
    const int fd = _fileno(f);
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        const int w = _write(fd, p, static_cast<unsigned>(n > INT_MAX ? INT_MAX : n));
        if (w < 0) return why = std::strerror(errno), false;
        if (w == 0) return why = std::strerror(ENOSPC), false;
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}
