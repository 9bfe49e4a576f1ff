#include "tools/mediatool/host_file.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

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

bool CopyFileContents(const fs::path& from, const fs::path& to, std::string& why)
{
    FileOwner in(OpenFile(from, "rb"));
    if (!in) return why = std::strerror(errno), false;
    FileOwner out(OpenFile(to, "wb"));
    if (!out) return why = std::strerror(errno), false;
    std::vector<char> buffer(kStreamBufferSize);
    for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), in.get())) > 0;)
        if (!WriteFully(out.get(), buffer.data(), n, why)) return false;
    if (std::ferror(in.get())) return why = std::strerror(errno), false;
    if (!out.Close()) return why = std::strerror(errno), false;
    std::error_code ec;
    fs::permissions(to, fs::status(from, ec).permissions(), ec);
    return true;
}

bool ReadWholeFile(const fs::path& p, std::string& bytes, std::string& why)
{
    FileOwner f(OpenFile(p, "rb"));
    if (!f) return why = std::strerror(errno), false;
    bytes.clear();
    char buf[65536];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f.get())) > 0;) bytes.append(buf, n);
    if (std::ferror(f.get())) return why = std::strerror(errno), false;
    return true;
}
