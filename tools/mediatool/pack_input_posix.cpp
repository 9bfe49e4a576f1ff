#include "tools/mediatool/pack_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

void Fill(const struct stat& s, InputStat& st)
{
    st.kind = S_ISREG(s.st_mode) ? InputStat::kFile
              : S_ISDIR(s.st_mode) ? InputStat::kFolder
              : S_ISLNK(s.st_mode) ? InputStat::kLink
                                   : InputStat::kOther;
    st.size = static_cast<std::uint64_t>(s.st_size);
    st.modified = static_cast<std::int64_t>(s.st_mtim.tv_sec) * 1000000000 + s.st_mtim.tv_nsec;
}

} // namespace

InputFolder::~InputFolder()
{
    if (fd_ >= 0) close(fd_);
}

bool InputFolder::Open(const fs::path& dir, std::string& why)
{
    fd_ = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) why = std::strerror(errno);
    return fd_ >= 0;
}

bool InputFolder::LookAt(const fs::path::string_type& relative, bool follow, InputStat& st, std::string& why) const
{
    struct stat s;
    if (fstatat(fd_, relative.c_str(), &s, follow ? 0 : AT_SYMLINK_NOFOLLOW) != 0)
        return why = std::strerror(errno), false;
    Fill(s, st);
    return true;
}

InputFile::~InputFile()
{
    if (fd_ >= 0) close(fd_);
}

bool InputFile::Open(const InputFolder& folder, const fs::path::string_type& relative, std::string& why)
{
    fd_ = openat(folder.fd_, relative.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) why = std::strerror(errno);
    return fd_ >= 0;
}

bool InputFile::Read(unsigned char* dst, std::size_t n, std::size_t& got, std::string& why)
{
    for (;;) {
        const ssize_t r = read(fd_, dst, n);
        if (r >= 0) return got = static_cast<std::size_t>(r), true;
        if (errno != EINTR) return why = std::strerror(errno), false;
    }
}

bool InputFile::Look(InputStat& st, std::string& why)
{
    struct stat s;
    if (fstat(fd_, &s) != 0) return why = std::strerror(errno), false;
    Fill(s, st);
    return true;
}
