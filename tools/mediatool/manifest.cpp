#include "tools/mediatool/manifest.h"

#include <cstdio>
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

} // namespace

bool ReadManifest(const fs::path& p, Manifest& m, std::string& why)
{
    FileOwner f(OpenFile(p, "rb"));
    if (!f) {
        why = "cannot be opened";
        return false;
    }
    std::string text;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) text.append(buf, n);

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
        if (havePackage) {
            if (line.empty()) continue;
            why = where + "text after the package line";
            return false;
        }
        if (!haveHeader) {
            if (line != "kelvra-setup-manifest 1") {
                why = where + "not a Kelvra setup manifest";
                return false;
            }
            haveHeader = true;
        } else if (line.compare(0, 9, "codepage ") == 0 && !haveCodePage) {
            if (!ParseCodePage(line.substr(9), m.codePage)) {
                why = where + "unknown code page";
                return false;
            }
            haveCodePage = true;
        } else if (line.compare(0, 8, "records ") == 0 && !haveCount) {
            if (!ParseSize(line.substr(8), announced)) {
                why = where + "bad record count";
                return false;
            }
            haveCount = true;
        } else if (line.compare(0, 5, "file ") == 0 && haveCount) {
            // file SHA SIZE NAME; the name is the rest of the line.
            ManifestEntry e;
            const std::size_t a = 5, b = line.find(' ', a);
            const std::size_t c = b == std::string::npos ? b : line.find(' ', b + 1);
            if (c == std::string::npos) {
                why = where + "a file line needs a digest, a size and a name";
                return false;
            }
            e.sha256 = line.substr(a, b - a);
            e.name = line.substr(c + 1);
            if (!IsSha256Hex(e.sha256) || !ParseSize(line.substr(b + 1, c - b - 1), e.size) || e.name.empty()) {
                why = where + "bad file line";
                return false;
            }
            m.records.push_back(e);
        } else if (line.compare(0, 8, "package ") == 0 && haveCount) {
            const std::size_t b = line.find(' ', 8);
            if (b == std::string::npos) {
                why = where + "bad package line";
                return false;
            }
            m.packageSha256 = line.substr(8, b - 8);
            if (!IsSha256Hex(m.packageSha256) || !ParseSize(line.substr(b + 1), m.packageSize)) {
                why = where + "bad package line";
                return false;
            }
            havePackage = true;
        } else {
            why = where + "unexpected line";
            return false;
        }
    }
    if (!haveHeader || !haveCodePage || !haveCount || !havePackage) {
        why = "incomplete manifest: it must end with a package line";
        return false;
    }
    if (announced != m.records.size()) {
        why = "the manifest announces " + std::to_string(announced) + " records but lists " +
              std::to_string(m.records.size());
        return false;
    }
    return true;
}
