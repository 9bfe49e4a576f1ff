#include "tools/mediatool/checksums.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "media/sha256.h"
#include "base/file_owner.h"
#include "tools/mediatool/code_page.h"
#include "tools/mediatool/console.h"
#include "tools/mediatool/host_file.h"

namespace checksums {

namespace {

bool IsHex(const std::string& s)
{
    if (s.size() != 64) return false;
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
    return true;
}

// A name may not leave the medium: no root, no drive, no "..".
bool StaysInside(const std::string& name)
{
    if (name.empty() || name[0] == '/' || name.find(':') != std::string::npos) return false;
#ifdef _WIN32
    // A folder separator there too.
    if (name.find('\\') != std::string::npos) return false;
#endif
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = name.find('/', start);
        const std::string level = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (level.empty() || level == "." || level == "..") return false;
        if (end == std::string::npos) return true;
        start = end + 1;
    }
}

} // namespace

std::string Format(std::vector<Entry> entries)
{
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    std::string text;
    for (const Entry& e : entries) {
        std::string name;
        bool escaped = false;
        for (char c : e.name) {
            if (c == '\\') name += "\\\\";
            else if (c == '\n') name += "\\n";
            else if (c == '\r') name += "\\r";
            else {
                name += c;
                continue;
            }
            escaped = true;
        }
        text += (escaped ? "\\" : "") + e.sha256 + "  " + name + "\n";
    }
    return text;
}

bool Parse(const std::string& text, std::vector<Entry>& entries, std::string& why)
{
    entries.clear();
    std::size_t start = 0, lineNo = 0;
    while (start < text.size()) {
        ++lineNo;
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        auto broken = [&](const char* what) {
            why = "line " + std::to_string(lineNo) + ": " + what;
            return false;
        };
        const bool escaped = !line.empty() && line[0] == '\\';
        if (escaped) line.erase(0, 1);
        if (line.size() < 67 || !IsHex(line.substr(0, 64)) || line[64] != ' ' ||
            (line[65] != ' ' && line[65] != '*'))
            return broken("not \"<64 hex digits>  <name>\"");
        Entry e;
        e.sha256 = line.substr(0, 64);
        std::transform(e.sha256.begin(), e.sha256.end(), e.sha256.begin(),
                       [](char c) { return static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c); });
        const std::string raw = line.substr(66);
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (!escaped || raw[i] != '\\') {
                e.name += raw[i];
                continue;
            }
            const char next = i + 1 < raw.size() ? raw[++i] : '\0';
            if (next == '\\') e.name += '\\';
            else if (next == 'n') e.name += '\n';
            else if (next == 'r') e.name += '\r';
            else return broken("a name with an unknown escape");
        }
        entries.push_back(e);
    }
    return true;
}

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

std::vector<std::string> Check(const fs::path& dir, const std::vector<Entry>& entries)
{
    std::vector<std::string> problems;
    for (const Entry& e : entries) {
        if (!StaysInside(e.name)) {
            problems.push_back(e.name + ": the name reaches outside the medium");
            continue;
        }
        const fs::path p = dir / fs::u8path(e.name);
        std::error_code ec;
        if (!fs::is_regular_file(p, ec)) {
            problems.push_back(e.name + ": " + (fs::exists(p, ec) ? "not a regular file" : "missing"));
            continue;
        }
        std::string hex, why;
        if (!FileSha256(p, hex, why)) problems.push_back(e.name + ": cannot be read: " + why);
        else if (hex != e.sha256) problems.push_back(e.name + ": differs from its checksum (SHA-256 " + hex + ")");
    }
    return problems;
}

std::vector<std::string> CheckMedium(const fs::path& dir)
{
    const fs::path sums = dir / kFileName;
    FileOwner f(OpenFile(sums, "rb"));
    if (!f) return {std::string(kFileName) + ": cannot be read: " + std::strerror(errno)};
    std::string text;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) text.append(buf, n);
    if (std::ferror(f.get())) return {std::string(kFileName) + ": cannot be read: " + std::strerror(errno)};
    std::vector<Entry> entries;
    std::string why;
    if (!Parse(text, entries, why)) return {std::string(kFileName) + ": " + why};
    if (entries.empty()) return {std::string(kFileName) + ": lists no file"};
    return Check(dir, entries);
}

} // namespace checksums
