#include "tools/mediatool/host_file.h"

#include <cstring>
#include <string>

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
    std::error_code ec;
    const auto s = fs::file_size(p, ec);
    if (ec) return false;
    size = static_cast<std::uint64_t>(s);
    return true;
}
