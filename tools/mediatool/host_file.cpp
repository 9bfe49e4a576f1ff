#include "tools/mediatool/host_file.h"

#include <cstring>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

std::FILE* OpenFile(const fs::path& p, const char* mode)
{
#ifdef _WIN32
    std::wstring wmode(mode, mode + std::strlen(mode));
    return _wfopen(p.c_str(), wmode.c_str());
#else
    return std::fopen(p.c_str(), mode);
#endif
}

std::size_t FileSource::Read(unsigned char* dst, std::size_t n)
{
    return std::fread(dst, 1, n, f_);
}

bool FileSize(const fs::path& p, std::uint64_t& size)
{
    std::string why;
    return FileSize(p, size, why);
}

bool FileSize(const fs::path& p, std::uint64_t& size, std::string& why)
{
    std::error_code ec;
    const auto s = fs::file_size(p, ec);
    if (ec) {
        why = "cannot read its size: " + ec.message();
        return false;
    }
    size = static_cast<std::uint64_t>(s);
    return true;
}

bool IsFolder(const fs::path& p, std::string& why)
{
    std::error_code ec;
    const fs::file_status st = fs::status(p, ec);
    if (fs::is_directory(st)) return true;
    if (fs::exists(st)) why = "not a folder";
    else if (st.type() == fs::file_type::not_found) why = "no such folder";
    else why = "cannot be reached: " + ec.message();
    return false;
}

void SetBinaryStdout()
{
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
}
