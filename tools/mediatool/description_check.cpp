#include "tools/mediatool/description_check.h"

#include <cerrno>
#include <cstring>

#include "base/ascii_text.h"
#include "base/codepage.h"
#include "base/file_owner.h"
#include "media/medium.h"
#include "media/name_rules.h"
#include "media/setup_description.h"
#include "tools/mediatool/code_page.h"
#include "tools/mediatool/host_file.h"

namespace {

using Use = SetupDescriptionLine::Use;

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

// What a line the parser passed over, or cut, means for the medium.
void JudgeLine(const SetupDescriptionLine& l, unsigned cp, const LeadBytes& lb, const std::string& finalName,
               std::vector<DescriptionFinding>& found)
{
    auto add = [&](std::size_t column, bool error, const std::string& text) {
        found.push_back({l.number, column, error, text});
    };
    if (l.use == Use::kTooLong)
        return add(0, false, "longer than " + std::to_string(kSetupDescriptionMaxLine) +
                                 " characters; setup stops reading the file here");
    if (l.zeroAt != std::string::npos) add(l.zeroAt + 1, false, "a zero byte; setup reads the line only up to it");
    DescriptionFinding bad{l.number, 0, true, ""};
    if (FindUndecodable(l.text, cp, lb, bad)) found.push_back(bad);
    if (l.use == Use::kRefusedName)
        add(0, false, "Name \"" + DisplayName(l.value, cp) + "\": " + DescribeNameError(l.nameError) +
                          "; setup passes the line over and names the product \"" + DisplayName(finalName, cp) + "\"");
    else if (l.use == Use::kNotKeyValue)
        add(0, false, "\"" + DisplayName(l.key, cp) + "\" is not key=value; setup ignores the line");
    else if (l.use == Use::kUnknownKey)
        add(0, false, "unknown key \"" + DisplayName(l.key, cp) + "\"; setup reads only Name and Title");
}

} // namespace

std::string DescriptionFinding::Where() const
{
    return ":" + std::to_string(line) + (column ? ":" + std::to_string(column) : std::string());
}

DescriptionCheck CheckDescription(const fs::path& file, unsigned cp)
{
    DescriptionCheck c;
    FileOwner f(OpenFile(file, "rb"));
    if (!f) return c.problem = std::string("cannot be read: ") + std::strerror(errno), c;
    const LeadBytes lb = LeadBytes::ForCodePage(cp);
    std::vector<SetupDescriptionLine> lines;
    c.name = medium::kDefaultProductName;
    if (ParseSetupDescription(f.get(), lb, c.name, c.title, nullptr, &lines) == SetupDescriptionEnd::kReadError)
        return c.problem = std::string("cannot be read: ") + std::strerror(errno), c;
    c.read = true;
    for (const SetupDescriptionLine& l : lines) JudgeLine(l, cp, lb, c.name, c.findings);
    return c;
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
