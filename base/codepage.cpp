#include "base/codepage.h"

void LeadBytes::SetRange(unsigned char first, unsigned char last)
{
    for (unsigned c = first; c <= last; ++c) table_[c] = true;
}

LeadBytes LeadBytes::ForCodePage(unsigned codePage)
{
    LeadBytes lb;
    switch (codePage) {
    case 932:                       // Japanese Shift-JIS
        lb.SetRange(0x81, 0x9F);
        lb.SetRange(0xE0, 0xFC);
        break;
    case 936:                       // Simplified Chinese GBK
    case 949:                       // Korean
    case 950:                       // Traditional Chinese Big5
        lb.SetRange(0x81, 0xFE);
        break;
    default:
        break;
    }
    return lb;
}

std::size_t FindCharMb(const std::string& s, char ch, std::size_t from, const LeadBytes& lb)
{
    for (std::size_t i = from; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (s[i] == ch) return i;
        // A lead byte with a trail byte after it: skip the pair.
        if (lb.IsLead(c) && i + 1 < s.size()) ++i;
    }
    return std::string::npos;
}

std::size_t FindLastCharMb(const std::string& s, char ch, const LeadBytes& lb)
{
    std::size_t last = std::string::npos;
    for (std::size_t i = FindCharMb(s, ch, 0, lb); i != std::string::npos;
         i = FindCharMb(s, ch, i + 1, lb))
        last = i;
    return last;
}

bool EndsWithCharMb(const std::string& s, char ch, const LeadBytes& lb)
{
    return !s.empty() && FindLastCharMb(s, ch, lb) == s.size() - 1;
}

std::size_t CharCount(const std::string& s, const LeadBytes& lb)
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size(); ++i, ++n)
        if (lb.IsLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ++i;
    return n;
}
