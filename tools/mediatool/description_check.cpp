#include "tools/mediatool/description_check.h"

#include "base/ascii_text.h"
#include "base/codepage.h"
#include "media/setup_description.h"
#include "media/name_rules.h"
#include "tools/mediatool/code_page.h"

namespace {

const char kEndOfFileMark = 0x1A;

std::string TrimSpaces(const std::string& s)
{
    const std::size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

bool KeyIs(const std::string& key, const char* want)
{
    return EqualsIgnoringAsciiCase(key, want);
}

std::string Hex(unsigned char c)
{
    return "0x" + HexOf(&c, 1, true);
}

// The first character of `text` the code page does not decode, as a
// finding; false when all decode.
bool FindUndecodable(const std::string& text, unsigned cp, const LeadBytes& lb, DescriptionFinding& f)
{
    std::size_t column = 0;
    for (std::size_t i = 0; i < text.size(); ++column) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const std::size_t n = lb.IsLead(c) && i + 1 < text.size() ? 2 : 1;
        fs::path decoded;
        if (c >= 0x80 && !LevelFromCodePage(text.substr(i, n), cp, decoded)) {
            f.column = column + 1;
            f.text = "byte " + Hex(c) + (n == 2 ? " " + Hex(static_cast<unsigned char>(text[i + 1])) : "") +
                     " is not a character of code page " + std::to_string(cp);
            return true;
        }
        i += n;
    }
    return false;
}

} // namespace

std::string DescriptionFinding::Describe(const std::string& file) const
{
    std::string s = file + ":" + std::to_string(line);
    if (column) s += ":" + std::to_string(column);
    return s + ": " + text;
}

std::vector<DescriptionFinding> CheckDescription(const std::string& bytes, unsigned cp)
{
    const LeadBytes lb = LeadBytes::ForCodePage(cp);
    std::vector<DescriptionFinding> found;
    auto add = [&found](std::size_t line, std::size_t column, bool error, const std::string& text) {
        found.push_back({line, column, error, false, text});
    };
    const std::size_t end = std::min(bytes.find(kEndOfFileMark), bytes.size());
    std::size_t nameLine = 0;   // the line whose Name setup keeps
    std::string name;
    std::size_t lineNo = 0;
    for (std::size_t at = 0; at < end;) {
        ++lineNo;
        std::size_t stop = bytes.find('\n', at);
        if (stop == std::string::npos || stop > end) stop = end;
        std::string line = bytes.substr(at, stop - at);
        if (stop < end && !line.empty() && line.back() == '\r') line.pop_back();
        at = stop + 1;
        if (line.size() > kSetupDescriptionMaxLine) {
            add(lineNo, 0, false, "longer than " + std::to_string(kSetupDescriptionMaxLine) +
                                      " characters; setup stops reading the file here");
            break;
        }
        const std::size_t zero = line.find('\0');
        if (zero != std::string::npos) {
            add(lineNo, zero + 1, false, "a zero byte; setup reads the line only up to it");
            line.resize(zero);
        }
        DescriptionFinding bad{lineNo, 0, true, false, ""};
        if (FindUndecodable(line, cp, lb, bad)) found.push_back(bad);

        if (line.compare(0, 2, "//") == 0) continue;
        const std::string entry = TrimSpaces(line);
        if (entry.empty()) continue;
        std::size_t eq = std::string::npos;
        for (std::size_t i = 0; i < entry.size() && eq == std::string::npos; ++i)
            if (entry[i] == '=' && (i == 0 || entry[i - 1] != '\\')) eq = i;
        const std::string key = TrimSpaces(entry.substr(0, eq));
        const std::string value = eq == std::string::npos ? std::string() : TrimSpaces(entry.substr(eq + 1));
        if (KeyIs(key, "name")) {
            const NameError e = CheckFileNameComponent(value, lb);
            if (value.empty() || e == NameError::kNone) {
                name = value;
                nameLine = lineNo;
            } else {
                add(lineNo, 0, false, "Name \"" + DisplayName(value, cp) + "\": " + DescribeNameError(e) +
                                          "; setup passes the line over");
                found.back().refusedName = true;
            }
        } else if (!KeyIs(key, "title")) {
            add(lineNo, 0, false,
                eq == std::string::npos
                    ? "\"" + DisplayName(entry, cp) + "\" is not key=value; setup ignores the line"
                    : "unknown key \"" + DisplayName(key, cp) + "\"; setup reads only Name and Title");
        }
    }
    if (nameLine && name.empty())
        add(nameLine, 0, true, "Name is empty; setup would name the install folder and the shortcuts \"\"");
    return found;
}

bool FindUnwritable(const std::string& utf8, unsigned cp, std::size_t& line, std::size_t& column)
{
    line = 1;
    column = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : 4;
        if (n > utf8.size() - i) n = utf8.size() - i;
        ++column;
        if (c == '\n') {
            ++line;
            column = 0;
        }
        std::string out;
        if (c >= 0x80 && !LevelToCodePage(fs::u8path(utf8.substr(i, n)), cp, out)) return true;
        i += n;
    }
    return false;
}
