#include "tools/mediatool/manifest.h"

#include <cstdio>
#include <cstring>
#include <sstream>

#include "tools/mediatool/host_file.h"

bool WriteManifest(const fs::path& p, const Manifest& m)
{
    FileOwner f(OpenFile(p, "wb"));
    if (!f) return false;
    std::fprintf(f.get(), "kelvra-setup-manifest 1\n");
    std::fprintf(f.get(), "codepage %u\n", m.codePage);
    std::fprintf(f.get(), "records %zu\n", m.records.size());
    for (const ManifestEntry& e : m.records)
        std::fprintf(f.get(), "file %s %llu %s\n", e.sha256.c_str(), static_cast<unsigned long long>(e.size),
                     e.name.c_str());
    std::fprintf(f.get(), "package %s %llu\n", m.packageSha256.c_str(),
                 static_cast<unsigned long long>(m.packageSize));
    return f.Close();
}

namespace {

bool IsSha256Hex(const std::string& s)
{
    if (s.size() != 64) return false;
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

bool ParseSize(const std::string& s, std::uint64_t& v)
{
    if (s.empty() || s.size() > 19) return false;
    v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    return true;
}

// "file SHA SIZE NAME"; the name is the rest of the line. False, with what
// is wrong.
bool ParseFileLine(const std::string& line, ManifestEntry& e, std::string& wrong)
{
    const std::size_t a = 5, b = line.find(' ', a);
    const std::size_t c = b == std::string::npos ? b : line.find(' ', b + 1);
    if (c == std::string::npos) return wrong = "a file line needs a digest, a size and a name", false;
    e.sha256 = line.substr(a, b - a);
    e.name = line.substr(c + 1);
    if (!IsSha256Hex(e.sha256) || !ParseSize(line.substr(b + 1, c - b - 1), e.size) || e.name.empty())
        return wrong = "bad file line", false;
    return true;
}

// "package SHA SIZE"
bool ParsePackageLine(const std::string& line, Manifest& m)
{
    const std::size_t b = line.find(' ', 8);
    if (b == std::string::npos) return false;
    m.packageSha256 = line.substr(8, b - 8);
    return IsSha256Hex(m.packageSha256) && ParseSize(line.substr(b + 1), m.packageSize);
}

bool StartsWith(const std::string& s, const char* head) { return s.compare(0, std::strlen(head), head) == 0; }

} // namespace

bool ReadManifest(const fs::path& p, Manifest& m, std::string& why)
{
    std::string text;
    if (!ReadWholeFile(p, text, why)) return why = "cannot be opened: " + why, false;
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    std::uint64_t announced = 0;
    bool haveHeader = false, haveCodePage = false, haveCount = false, havePackage = false;
    m = Manifest();
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string where = "line " + std::to_string(lineNo) + ": ";
        ManifestEntry e;
        if (havePackage) {
            if (!line.empty()) return why = where + "text after the package line", false;
        } else if (!haveHeader) {
            if (line != "kelvra-setup-manifest 1") return why = where + "not a Kelvra setup manifest", false;
            haveHeader = true;
        } else if (StartsWith(line, "codepage ") && !haveCodePage) {
            if (!ParseCodePage(line.substr(9), m.codePage)) return why = where + "unknown code page", false;
            haveCodePage = true;
        } else if (StartsWith(line, "records ") && !haveCount) {
            if (!ParseSize(line.substr(8), announced)) return why = where + "bad record count", false;
            haveCount = true;
        } else if (StartsWith(line, "file ") && haveCount) {
            std::string wrong;
            if (!ParseFileLine(line, e, wrong)) return why = where + wrong, false;
            m.records.push_back(e);
        } else if (StartsWith(line, "package ") && haveCount) {
            if (!ParsePackageLine(line, m)) return why = where + "bad package line", false;
            havePackage = true;
        } else {
            return why = where + "unexpected line", false;
        }
    }
    if (!haveHeader || !haveCodePage || !haveCount || !havePackage)
        return why = "incomplete manifest: it must end with a package line", false;
    if (announced != m.records.size())
        return why = "the manifest announces " + std::to_string(announced) + " records but lists " +
                     std::to_string(m.records.size()),
               false;
    return true;
}
