#include "base/text_replace.h"

namespace {

// Multibyte-aware substring search: candidates start only at character
// boundaries.
std::size_t FindMb(const std::string& s, const std::string& what, std::size_t from, const LeadBytes& lb)
{
    for (std::size_t i = from; i < s.size();) {
        if (s.compare(i, what.size(), what) == 0) return i;
        i += (lb.IsLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
    }
    return std::string::npos;
}

} // namespace

int Replace(std::string& text, const std::string& oldText, const std::string& newText,
            const LeadBytes& lb)
{
    if (oldText.empty()) return 0;

    int count = 0;
    for (std::size_t at = FindMb(text, oldText, 0, lb); at != std::string::npos;
         at = FindMb(text, oldText, at + oldText.size(), lb))
        ++count;
    if (count == 0) return 0;

    std::string out;
    out.reserve(text.size() + count * newText.size());
    std::size_t copied = 0;
    for (std::size_t at = FindMb(text, oldText, 0, lb); at != std::string::npos;
         at = FindMb(text, oldText, at + oldText.size(), lb)) {
        out.append(text, copied, at - copied);
        out += newText;
        copied = at + oldText.size();
    }
    out.append(text, copied, std::string::npos);
    text.swap(out);
    return count;
}
