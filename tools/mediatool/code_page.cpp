#include "tools/mediatool/code_page.h"

#include <array>
#include <map>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#include "base/ascii_text.h"
#include "base/codepage.h"
#include "media/split.h"

namespace {

const unsigned kCodePages[] = {437, 850, 852, 866, 874, 932, 936, 949, 950,
                               1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};

#ifndef _WIN32
// Converts all of `in`; false on any character without a counterpart. The
// converters are kept: opening one costs more than converting a name.
bool Iconv(const std::string& in, const std::string& to, const std::string& from, std::string& out)
{
    out.clear();
    static std::map<std::pair<std::string, std::string>, iconv_t> open;
    iconv_t& cd = open[{to, from}];
    if (!cd) cd = iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string buffer(in.size() * 4 + 16, '\0');
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char* dst = &buffer[0];
    std::size_t dstLeft = buffer.size();
    const std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    const bool ok = r != static_cast<std::size_t>(-1) && srcLeft == 0 &&
                    iconv(cd, nullptr, nullptr, &dst, &dstLeft) != static_cast<std::size_t>(-1);
    if (!ok) return false;
    out.assign(buffer.data(), buffer.size() - dstLeft);
    return true;
}

std::string IconvName(unsigned cp) { return "CP" + std::to_string(cp); }

// Whether `text` is ASCII that the code page writes byte for byte, both
// ways; found out once per code page from the converter itself.
bool AsciiSame(const std::string& text, unsigned cp)
{
    static std::map<unsigned, std::array<bool, 128>> known;
    auto it = known.find(cp);
    if (it == known.end()) {
        std::array<bool, 128> same{};
        for (int c = 1; c < 128; ++c) {
            const std::string one(1, static_cast<char>(c));
            std::string there, back;
            same[c] = Iconv(one, IconvName(cp), "UTF-8", there) && there == one &&
                      Iconv(there, "UTF-8", IconvName(cp), back) && back == one;
        }
        it = known.emplace(cp, same).first;
    }
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c >= 128 || !it->second[c]) return false;
    }
    return true;
}
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
    return LevelToCodePage(level.native(), cp, out);
}

bool LevelToCodePage(const fs::path::string_type& level, unsigned cp, std::string& out)
{
#ifdef _WIN32
    std::string encoded;
    if (!WideToCodePage(level, cp, encoded)) return false;
    // The way back must give the same name, or the file would be another.
    std::wstring back;
    if (!CodePageToWide(encoded, cp, back) || back != level) return false;
    out = encoded;
    return true;
#else
    // Most names are ASCII, which every supported code page writes as it
    // is; the converter only for the rest.
    if (AsciiSame(level, cp)) return out = level, true;
    std::string encoded, back;
    if (!Iconv(level, IconvName(cp), "UTF-8", encoded)) return false;
    if (!Iconv(encoded, "UTF-8", IconvName(cp), back) || back != level) return false;
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
        return EscapeControls(Utf8Of(p));
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
    return fs::u8path(arg);
#else
    return fs::path(arg);
#endif
}
