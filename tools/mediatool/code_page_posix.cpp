// Code pages on POSIX: iconv.
#include "tools/mediatool/code_page.h"

#include <iconv.h>

#include <array>
#include <map>
#include <utility>

namespace {

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

} // namespace

bool LevelToCodePage(const fs::path::string_type& level, unsigned cp, std::string& out)
{
    // Most names are ASCII, which every supported code page writes as it
    // is; the converter only for the rest.
    if (AsciiSame(level, cp)) return out = level, true;
    std::string encoded, back;
    if (!Iconv(level, IconvName(cp), "UTF-8", encoded)) return false;
    if (!Iconv(encoded, "UTF-8", IconvName(cp), back) || back != level) return false;
    out = encoded;
    return true;
}

bool LevelFromCodePage(const std::string& bytes, unsigned cp, fs::path& out)
{
    std::string utf8;
    if (!Iconv(bytes, "UTF-8", IconvName(cp), utf8)) return false;
    out = fs::path(utf8);
    return true;
}

fs::path ArgPath(const std::string& arg)
{
    return fs::path(arg);
}
