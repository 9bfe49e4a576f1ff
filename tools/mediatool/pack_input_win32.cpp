#include "tools/mediatool/pack_input.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace {

void Fill(const struct _stat64& s, InputStat& st)
{
    const unsigned type = s.st_mode & _S_IFMT;
    st.kind = type == _S_IFREG ? InputStat::kFile : type == _S_IFDIR ? InputStat::kFolder : InputStat::kOther;
    st.size = static_cast<std::uint64_t>(s.st_size);
    st.modified = static_cast<std::int64_t>(s.st_mtime);
}

} // namespace

InputFolder::~InputFolder() = default;

bool InputFolder::Open(const fs::path& dir, std::string&)
{
    dir_ = dir;
    return true;
}

bool InputFolder::LookAt(const fs::path::string_type& relative, bool follow, InputStat& st, std::string& why) const
{
    const fs::path p = dir_ / relative;
    std::error_code ec;
    if (!follow && fs::is_symlink(fs::symlink_status(p, ec))) {
        st = InputStat();
        st.kind = InputStat::kLink;
        return true;
    }
    struct _stat64 s;
    if (_wstat64(p.c_str(), &s) != 0) return why = std::strerror(errno), false;
    Fill(s, st);
    return true;
}

InputFile::~InputFile()
{
    if (fd_ >= 0) _close(fd_);
}

bool InputFile::Open(const InputFolder& folder, const fs::path::string_type& relative, std::string& why)
{
    fd_ = _wopen((folder.dir_ / relative).c_str(), _O_RDONLY | _O_BINARY);
    if (fd_ < 0) why = std::strerror(errno);
    return fd_ >= 0;
}

bool InputFile::Read(unsigned char* dst, std::size_t n, std::size_t& got, std::string& why)
{
    const int r = _read(fd_, dst, static_cast<unsigned>(n > INT_MAX ? INT_MAX : n));
    if (r < 0) return why = std::strerror(errno), false;
    got = static_cast<std::size_t>(r);
    return true;
}

bool InputFile::Look(InputStat& st, std::string& why)
{
    struct _stat64 s;
    if (_fstat64(fd_, &s) != 0) return why = std::strerror(errno), false;
    Fill(s, st);
    return true;
}
