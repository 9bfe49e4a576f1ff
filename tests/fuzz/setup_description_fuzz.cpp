// Setup description parser against a plain model of the same rules: input
// cut at its first 0x1A, split at line feeds, one CR before each LF dropped,
// a line over 4095 characters ends the reading, a line's text cut at its
// first zero byte, a Name taken only when empty or one file name. The
// per-line report must not change what is read, and must agree with it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "media/setup_description.h"
#include "media/name_rules.h"

namespace {

std::string Trim(const std::string& s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ') ++b;
    while (e > b && s[e - 1] == ' ') --e;
    return s.substr(b, e - b);
}

bool KeyIs(const std::string& key, const std::string& want)
{
    if (key.size() != want.size()) return false;
    for (std::size_t i = 0; i < key.size(); ++i) {
        unsigned char a = static_cast<unsigned char>(key[i]);
        unsigned char b = static_cast<unsigned char>(want[i]);
        if (a >= 'A' && a <= 'Z') a += 32;
        if (b >= 'A' && b <= 'Z') b += 32;
        if (a != b) return false;
    }
    return true;
}

struct Model {
    std::string name = "Kelvra";
    std::string title;
    SetupDescriptionEnd end = SetupDescriptionEnd::kEndOfFile;
};

Model Run(const std::string& whole, const LeadBytes& lb)
{
    Model m;
    const std::string in = whole.substr(0, whole.find('\x1A'));
    std::size_t pos = 0;
    while (pos < in.size()) {
        const std::size_t lf = in.find('\n', pos);
        const bool last = lf == std::string::npos;
        std::string line = in.substr(pos, last ? std::string::npos : lf - pos);
        if (!last && !line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > 4095) {
            m.end = SetupDescriptionEnd::kLineTooLong;
            return m;
        }
        line = line.substr(0, line.find('\0'));
        if (!line.empty() && line.compare(0, 2, "//") != 0) {
            const std::string entry = Trim(line);
            std::size_t eq = 0;
            while (eq < entry.size() && !(entry[eq] == '=' && (eq == 0 || entry[eq - 1] != '\\'))) ++eq;
            const std::string key = Trim(entry.substr(0, eq));
            const std::string value = eq < entry.size() ? Trim(entry.substr(eq + 1)) : std::string();
            if (!entry.empty()) {
                if (KeyIs(key, "name")) {
                    if (CheckFileNameComponent(value, lb) == NameError::kNone) m.name = value;
                } else if (KeyIs(key, "title")) {
                    m.title = value;
                }
            }
        }
        if (last) break;
        pos = lf + 1;
    }
    return m;
}

// Parsed again with the report: the same values, lines numbered from one
// without a gap, the last Name and Title lines taken being the values.
void CheckReport(const std::string& in, const LeadBytes& lb, const std::string& name, const std::string& title,
                 SetupDescriptionEnd end)
{
    std::FILE* f = fmemopen(const_cast<char*>(in.data()), in.size(), "rb");
    if (!f) return;
    std::string reName = "Kelvra", reTitle;
    std::vector<SetupDescriptionLine> lines;
    const SetupDescriptionEnd reEnd = ParseSetupDescription(f, lb, reName, reTitle, nullptr, &lines);
    std::fclose(f);
    if (reName != name || reTitle != title || reEnd != end) std::abort();
    std::string lastName = "Kelvra", lastTitle;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const SetupDescriptionLine& l = lines[i];
        if (l.number != i + 1 || l.text.size() > kSetupDescriptionMaxLine) std::abort();
        if ((l.use == SetupDescriptionLine::Use::kTooLong) != (end == SetupDescriptionEnd::kLineTooLong && i + 1 == lines.size()))
            std::abort();
        if (l.zeroAt != std::string::npos && l.zeroAt != l.text.size()) std::abort();
        if (l.use != SetupDescriptionLine::Use::kApplied) continue;
        (KeyIs(l.key, "name") ? lastName : lastTitle) = l.value;
    }
    if (lastName != name || lastTitle != title) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    const std::string in(reinterpret_cast<const char*>(data), size);
    std::FILE* f = fmemopen(const_cast<char*>(in.data()), in.size(), "rb");
    if (!f) return 0;
    // The first byte picks the code page: double-byte or single-byte.
    const LeadBytes lb = LeadBytes::ForCodePage(data[0] & 1 ? 936 : 1252);
    std::string name = "Kelvra", title;
    const SetupDescriptionEnd end = ParseSetupDescription(f, lb, name, title);
    std::fclose(f);

    const Model m = Run(in, lb);
    if (name != m.name || title != m.title || end != m.end) std::abort();
    if (name.size() > kSetupDescriptionMaxLine || title.size() > kSetupDescriptionMaxLine) std::abort();
    CheckReport(in, lb, name, title, end);
    return 0;
}
