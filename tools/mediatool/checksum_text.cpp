// The checksum file's text, apart from any file access, so that a fuzzer
// can drive the reader alone.
#include <algorithm>

#include "tools/mediatool/checksums.h"

namespace checksums {

namespace {

constexpr std::size_t kHexDigits = 64;

// mediatool.exe opens names through Windows, where '\' separates folders too.
#ifdef _WIN32
constexpr bool kBackslashSeparates = true;
#else
constexpr bool kBackslashSeparates = false;
#endif

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// sha256sum's unescaping: only \\, \n and \r; a lone or other backslash,
// and a zero byte, make the line malformed.
bool Unescape(const std::string& raw, bool escaped, std::string& name)
{
    name.clear();
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\0') return false;
        if (!escaped || raw[i] != '\\') {
            name += raw[i];
            continue;
        }
        if (++i == raw.size()) return false;
        if (raw[i] == '\\') name += '\\';
        else if (raw[i] == 'n') name += '\n';
        else if (raw[i] == 'r') name += '\r';
        else return false;
    }
    return true;
}

// One line without its line end; false when it is not a checksum line.
bool ParseLine(const std::string& line, Entry& e)
{
    std::size_t i = 0;
    while (i < line.size() && IsBlank(line[i])) ++i;
    const bool escaped = i < line.size() && line[i] == '\\';
    if (escaped) ++i;
    if (line.size() - i < kHexDigits + 3) return false;
    for (std::size_t k = 0; k < kHexDigits; ++k)
        if (!IsHexDigit(line[i + k])) return false;
    e.sha256 = line.substr(i, kHexDigits);
    std::transform(e.sha256.begin(), e.sha256.end(), e.sha256.begin(),
                   [](char c) { return static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c); });
    i += kHexDigits;
    if (!IsBlank(line[i]) || (line[i + 1] != ' ' && line[i + 1] != '*')) return false;
    std::string written;
    return Unescape(line.substr(i + 2), escaped, written) && !written.empty() && (e.name = written, true);
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
    why.clear();
    std::size_t start = 0, lineNo = 0;
    while (start < text.size()) {
        ++lineNo;
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line[0] == '#') continue;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        Entry e;
        e.line = lineNo;
        if (ParseLine(line, e)) entries.push_back(e);
        else if (why.empty()) why = "line " + std::to_string(lineNo) + ": not \"<64 hex digits>  <name>\"";
    }
    return why.empty();
}

bool NormalName(const std::string& written, std::string& name)
{
    name.clear();
    if (written.empty() || written[0] == '/' || written.find(':') != std::string::npos) return false;
    if (kBackslashSeparates && written.find('\\') != std::string::npos) return false;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = written.find('/', start);
        const std::string level = written.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (level == "..") return false;
        if (!level.empty() && level != ".") name += (name.empty() ? "" : "/") + level;
        if (end == std::string::npos) return !name.empty();
        start = end + 1;
    }
}

} // namespace checksums
