#include "tools/mediatool/checksums.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/file_owner.h"
#include "media/sha256.h"
#include "tools/mediatool/host_file.h"

namespace checksums {

bool FileSha256(const fs::path& p, std::string& hex, std::string& why)
{
    FileOwner f(OpenFile(p, "rb"));
    if (!f) {
        why = std::strerror(errno);
        return false;
    }
    Sha256 h;
    std::vector<unsigned char> buf(kStreamBufferSize);
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), f.get())) > 0) h.Update(buf.data(), n);
    if (std::ferror(f.get())) {
        why = std::strerror(errno);
        return false;
    }
    hex = Sha256::Hex(h.Finish());
    return true;
}

std::vector<std::string> Check(const fs::path& dir, const std::vector<Entry>& entries, bool digests)
{
    std::vector<std::string> problems;
    for (const Entry& e : entries) {
        std::string name;
        if (!NormalName(e.name, name)) {
            problems.push_back(e.name + ": the name reaches outside the medium");
            continue;
        }
        const fs::path p = dir / fs::u8path(name);
        std::error_code ec;
        if (!fs::is_regular_file(p, ec)) {
            problems.push_back(e.name + ": " + (fs::exists(p, ec) ? "not a regular file" : "missing"));
            continue;
        }
        std::string hex, why;
        if (!digests) continue;
        if (!FileSha256(p, hex, why)) problems.push_back(e.name + ": cannot be read: " + why);
        else if (hex != e.sha256) problems.push_back(e.name + ": differs from its checksum (SHA-256 " + hex + ")");
    }
    return problems;
}

bool ReadFile(const fs::path& dir, std::string& text, std::string& problem)
{
    FileOwner f(OpenFile(dir / kFileName, "rb"));
    if (!f) return problem = std::string(kFileName) + ": cannot be read: " + std::strerror(errno), false;
    text.clear();
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f.get())) > 0;) text.append(buf, n);
    if (std::ferror(f.get())) return problem = std::string(kFileName) + ": cannot be read: " + std::strerror(errno), false;
    return true;
}

std::vector<std::string> CheckMedium(const fs::path& dir)
{
    std::string text, why;
    if (!ReadFile(dir, text, why)) return {why};
    std::vector<Entry> entries;
    if (!Parse(text, entries, why)) return {std::string(kFileName) + ": " + why};
    if (entries.empty()) return {std::string(kFileName) + ": lists no file"};
    return Check(dir, entries);
}

} // namespace checksums
