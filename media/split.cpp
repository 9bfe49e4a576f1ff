#include "media/split.h"

namespace {

// Whether the character that ends just before `pos` is `ch` on its own
// rather than the trail byte of a double-byte character.
bool CharBeforeIs(const std::string& s, std::size_t pos, char ch, const LeadBytes& lb)
{
    std::size_t start = 0;   // start of the character that ends before pos
    for (std::size_t i = 0; i < pos;) {
        start = i;
        i += (lb.IsLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
    }
    return start == pos - 1 && s[start] == ch;
}

} // namespace

void SplitAtSeparator(const std::string& source, char separator, std::vector<std::string>& parts,
                      char guard, const LeadBytes& lb)
{
    parts.clear();
    if (source.empty()) return;
    std::size_t partStart = 0;
    std::size_t searchStart = 0;
    for (;;) {
        const std::size_t p = FindCharMb(source, separator, searchStart, lb);
        if (p == std::string::npos) {
            parts.push_back(source.substr(partStart));
            return;
        }
        if (p == 0) {
            parts.emplace_back();
            partStart = searchStart = 1;
        } else if (CharBeforeIs(source, p, guard, lb)) {
            searchStart = p + 1;
        } else {
            parts.push_back(source.substr(partStart, p - partStart));
            partStart = searchStart = p + 1;
        }
    }
}

std::vector<std::string> ParentFolders(const std::string& path, const LeadBytes& lb)
{
    std::vector<std::string> folders;
    if (FindCharMb(path, '\\', 0, lb) == std::string::npos) return folders;
    std::vector<std::string> parts;
    SplitAtSeparator(path, '\\', parts, '\\', lb);
    std::string accumulator;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        accumulator += parts[i];
        accumulator += '\\';
        folders.push_back(accumulator);
    }
    return folders;
}
