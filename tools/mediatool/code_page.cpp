#include "tools/mediatool/code_page.h"

#include <vector>

#include "base/ascii_text.h"
#include "base/codepage.h"
#include "media/split.h"

namespace {

const unsigned kCodePages[] = {437, 850, 852, 866, 874, 932, 936, 949, 950,
                               1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};

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

std::string DisplayName(const std::string& name, unsigned cp)
{
    fs::path p;
    if (LevelFromCodePage(name, cp, p)) return EscapeControls(Utf8Of(p));
    std::string s;
    for (const char c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        s += u >= 0x20 && u < 0x7F ? std::string(1, c) : "\\x" + HexOf(&u, 1, true);
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

