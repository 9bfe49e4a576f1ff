#include "tools/mediatool/package_io.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#include <io.h>
#define KELVRA_ISATTY(fd) _isatty(fd)
#define KELVRA_FILENO(f) _fileno(f)
#else
#include <iconv.h>
#include <unistd.h>
#define KELVRA_ISATTY(fd) isatty(fd)
#define KELVRA_FILENO(f) fileno(f)
#endif

#include "media/split.h"

namespace {

const unsigned kCodePages[] = {437, 850, 852, 866, 874, 932, 936, 949, 950,
                               1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};

#ifndef _WIN32
// Converts all of `in`; false on any character without a counterpart.
bool Iconv(const std::string& in, const std::string& to, const std::string& from, std::string& out)
{
    out.clear();
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::string buffer(in.size() * 4 + 16, '\0');
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char* dst = &buffer[0];
    std::size_t dstLeft = buffer.size();
    const std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    const bool ok = r != static_cast<std::size_t>(-1) && srcLeft == 0 &&
                    iconv(cd, nullptr, nullptr, &dst, &dstLeft) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    if (!ok) return false;
    out.assign(buffer.data(), buffer.size() - dstLeft);
    return true;
}

std::string IconvName(unsigned cp) { return "CP" + std::to_string(cp); }
#else
bool WideToCodePage(const std::wstring& in, unsigned cp, std::string& out)
{
    out.clear();
    if (in.empty()) return true;
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(cp, WC_NO_BEST_FIT_CHARS, in.data(), static_cast<int>(in.size()),
                                      nullptr, 0, nullptr, &usedDefault);
    if (n <= 0 || usedDefault) return false;
    out.resize(n);
    WideCharToMultiByte(cp, WC_NO_BEST_FIT_CHARS, in.data(), static_cast<int>(in.size()), &out[0], n,
                        nullptr, &usedDefault);
    return !usedDefault;
}

bool CodePageToWide(const std::string& in, unsigned cp, std::wstring& out)
{
    out.clear();
    if (in.empty()) return true;
    const int n = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()),
                                      nullptr, 0);
    if (n <= 0) return false;
    out.resize(n);
    MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()), &out[0], n);
    return true;
}
#endif

std::string Utf8Of(const fs::path& p)
{
    const auto u = p.u8string();
    return std::string(u.begin(), u.end());
}

} // namespace

bool ParseCodePage(const std::string& text, unsigned& cp)
{
    if (text.empty() || text.size() > 5) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    const unsigned value = static_cast<unsigned>(std::stoul(text));
    for (unsigned known : kCodePages) {
        if (known != value) continue;
        cp = value;
        return true;
    }
    return false;
}

const char* SupportedCodePages()
{
    return "437, 850, 852, 866, 874, 932, 936, 949, 950, 1250-1258";
}

bool LevelToCodePage(const fs::path& level, unsigned cp, std::string& out)
{
#ifdef _WIN32
    std::string encoded;
    if (!WideToCodePage(level.wstring(), cp, encoded)) return false;
    // The way back must give the same name, or the file would be another.
    std::wstring back;
    if (!CodePageToWide(encoded, cp, back) || back != level.wstring()) return false;
    out = encoded;
    return true;
#else
    std::string encoded, back;
    if (!Iconv(level.native(), IconvName(cp), "UTF-8", encoded)) return false;
    if (!Iconv(encoded, "UTF-8", IconvName(cp), back) || back != level.native()) return false;
    out = encoded;
    return true;
#endif
}

bool LevelFromCodePage(const std::string& bytes, unsigned cp, fs::path& out)
{
#ifdef _WIN32
    std::wstring wide;
    if (!CodePageToWide(bytes, cp, wide)) return false;
    out = fs::path(wide);
    return true;
#else
    std::string utf8;
    if (!Iconv(bytes, "UTF-8", IconvName(cp), utf8)) return false;
    out = fs::path(utf8);
    return true;
#endif
}

std::string DisplayName(const std::string& name, unsigned cp)
{
    fs::path p;
    if (LevelFromCodePage(name, cp, p)) {
        std::string s = Utf8Of(p);
        bool plain = true;
        for (unsigned char c : s)
            if (c < 0x20 || c == 0x7F) plain = false;
        if (plain) return s;
    }
    static const char kDigits[] = "0123456789ABCDEF";
    std::string s;
    for (unsigned char c : name) {
        if (c >= 0x20 && c < 0x7F) {
            s += static_cast<char>(c);
        } else {
            s += "\\x";
            s += kDigits[c >> 4];
            s += kDigits[c & 15];
        }
    }
    return s;
}

bool NameToHostPath(const std::string& name, unsigned cp, const fs::path& root, fs::path& out,
                    std::string& why)
{
    std::vector<std::string> levels;
    // Levels split at whole-character backslashes only; the name rules have
    // already refused doubled and leading ones.
    const LeadBytes lb = LeadBytes::ForCodePage(cp);
    std::size_t start = 0;
    for (std::size_t p = FindCharMb(name, '\\', 0, lb);; p = FindCharMb(name, '\\', start, lb)) {
        if (p == std::string::npos) {
            levels.push_back(name.substr(start));
            break;
        }
        levels.push_back(name.substr(start, p - start));
        start = p + 1;
    }
    out = root;
    for (const std::string& level : levels) {
        fs::path host;
        if (!LevelFromCodePage(level, cp, host)) {
            why = "the name is not valid text in code page " + std::to_string(cp);
            return false;
        }
        out /= host;
    }
    return true;
}

std::string PathText(const fs::path& p) { return Utf8Of(p); }

fs::path ArgPath(const std::string& arg)
{
#ifdef _WIN32
    std::wstring wide;
    if (CodePageToWide(arg, CP_ACP, wide)) return fs::path(wide);
    return fs::path(std::wstring(arg.begin(), arg.end()));
#else
    return fs::path(arg);
#endif
}

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

bool CheckPackageFile(const char* command, const fs::path& p, std::uint64_t& size)
{
    std::error_code ec;
    if (!fs::exists(p, ec)) {
        Refuse(command, PathText(p), "no such file");
        return false;
    }
    if (!fs::is_regular_file(p, ec)) {
        Refuse(command, PathText(p), "not a regular file");
        return false;
    }
    if (!FileSize(p, size)) {
        Refuse(command, PathText(p), "cannot read its size");
        return false;
    }
    if (!PackageSizeFits(size)) {
        Refuse(command, PathText(p),
               "the file is 2^31 bytes or larger; setup cannot read a package of that size");
        return false;
    }
    return true;
}

void Refuse(const char* command, const std::string& what, const std::string& why)
{
    std::fprintf(stderr, "mediatool %s: %s: %s\n", command, what.c_str(), why.c_str());
}

void UsageError(const char* command, const std::string& why)
{
    std::fprintf(stderr, "mediatool %s: %s (see 'mediatool %s --help')\n", command, why.c_str(), command);
}

bool TakeCodePage(const char* command, const std::vector<std::string>& args, std::size_t& i,
                  unsigned& cp)
{
    if (i + 1 >= args.size() || !ParseCodePage(args[i + 1], cp)) {
        UsageError(command, std::string("--codepage takes one of ") + SupportedCodePages());
        return false;
    }
    ++i;
    return true;
}

void PrepareConsole()
{
#ifdef _WIN32
    if (KELVRA_ISATTY(KELVRA_FILENO(stdout))) SetConsoleOutputCP(CP_UTF8);
#endif
}

std::string JsonString(const std::string& utf8)
{
    std::string s = "\"";
    for (unsigned char c : utf8) {
        switch (c) {
        case '"': s += "\\\""; break;
        case '\\': s += "\\\\"; break;
        case '\n': s += "\\n"; break;
        case '\r': s += "\\r"; break;
        case '\t': s += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                s += buf;
            } else {
                s += static_cast<char>(c);
            }
        }
    }
    return s + "\"";
}

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

std::string DescribeBreak(const PackageWalker& walker, unsigned cp)
{
    const PackageRecord& r = walker.Record();
    std::string s = "broken at offset " + std::to_string(r.offset) + ": " + DescribePackageError(walker.Error());
    if (!r.name.empty()) s += " (record " + DisplayName(r.name, cp) + ")";
    return s;
}

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

Progress::Progress(const char* verb, std::uint64_t total)
    : verb_(verb), total_(total), terminal_(KELVRA_ISATTY(KELVRA_FILENO(stderr)) != 0),
      start_(std::chrono::steady_clock::now()), last_(start_)
{
}

void Progress::Update(std::uint64_t done, std::uint64_t files)
{
    if (!terminal_) return;
    const auto now = std::chrono::steady_clock::now();
    // Quiet for short work; then a few updates a second.
    if (now - start_ < std::chrono::milliseconds(500) || now - last_ < std::chrono::milliseconds(200))
        return;
    last_ = now;
    shown_ = true;
    const unsigned percent = total_ ? static_cast<unsigned>(done * 100 / total_) : 100;
    std::fprintf(stderr, "\r%s: %3u%%  %llu files  %llu MB", verb_, percent,
                 static_cast<unsigned long long>(files), static_cast<unsigned long long>(done >> 20));
    std::fflush(stderr);
}

void Progress::Finish()
{
    if (shown_) std::fprintf(stderr, "\r%60s\r", "");
}
