// Replace against plain models. Input layout:
//   byte 0   flags: bit 0 = code page 936 (else 1252), bit 1 = old is "%s"
//   byte 1   length of old (when bit 1 is clear), byte 2 length of new
//   then old, new, and the rest is the text.
// Single-byte code page: naive left-to-right replacement with
// std::string::find. Code page 936: when old ends on a character boundary,
// the same naive replacement over a list of whole characters; otherwise the
// invariants that hold for any input.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "base/text_replace.h"

namespace {

std::string NaiveReplace(const std::string& text, const std::string& oldText, const std::string& newText,
                         int& count)
{
    count = 0;
    std::string out;
    std::size_t from = 0;
    for (std::size_t at = text.find(oldText); at != std::string::npos; at = text.find(oldText, from)) {
        out += text.substr(from, at - from) + newText;
        from = at + oldText.size();
        ++count;
    }
    return out + text.substr(from);
}

bool IsGbkLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// Whole characters: a lead byte with the byte after it, or one byte (a lead
// byte at the very end stands alone).
std::vector<std::string> Characters(const std::string& s)
{
    std::vector<std::string> out;
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = IsGbkLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
        out.push_back(s.substr(i, n));
        i += n;
    }
    return out;
}

std::string CharacterReplace(const std::string& text, const std::string& oldText, const std::string& newText,
                             int& count)
{
    const std::vector<std::string> t = Characters(text), o = Characters(oldText);
    count = 0;
    std::string out;
    for (std::size_t i = 0; i < t.size();) {
        bool match = i + o.size() <= t.size();
        for (std::size_t k = 0; match && k < o.size(); ++k) match = t[i + k] == o[k];
        if (match) {
            out += newText;
            i += o.size();
            ++count;
        } else {
            out += t[i++];
        }
    }
    return out;
}

// Old ends with a lead byte that has no trail byte of its own.
bool EndsInsideCharacter(const std::string& s)
{
    const std::vector<std::string> c = Characters(s);
    return !c.empty() && c.back().size() == 1 && IsGbkLead(static_cast<unsigned char>(c.back()[0]));
}

void Check(bool ok)
{
    if (!ok) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3) return 0;
    const bool gbk = data[0] & 1;
    const bool placeholder = data[0] & 2;
    std::size_t oldLen = placeholder ? 0 : data[1];
    std::size_t newLen = data[2];
    std::size_t at = 3;
    oldLen = oldLen < size - at ? oldLen : size - at;
    std::string oldText = placeholder ? std::string("%s")
                                      : std::string(reinterpret_cast<const char*>(data + at), oldLen);
    at += oldLen;
    newLen = newLen < size - at ? newLen : size - at;
    const std::string newText(reinterpret_cast<const char*>(data + at), newLen);
    at += newLen;
    const std::string text(reinterpret_cast<const char*>(data + at), size - at);

    const LeadBytes lb = LeadBytes::ForCodePage(gbk ? 936 : 1252);
    std::string result = text;
    const int count = Replace(result, oldText, newText, lb);

    // Whatever the input: empty old replaces nothing, the length follows the
    // count, nothing replaced means nothing changed, and replacing old by
    // itself finds the same occurrences and changes nothing.
    Check(count >= 0);
    if (oldText.empty()) Check(count == 0 && result == text);
    Check(result.size() == text.size() + count * newText.size() - count * oldText.size());
    if (count == 0) Check(result == text);
    std::string same = text;
    Check(Replace(same, oldText, oldText, lb) == count && same == text);

    if (oldText.empty()) return 0;
    int expectedCount = 0;
    std::string expected;
    if (!gbk) {
        expected = NaiveReplace(text, oldText, newText, expectedCount);
    } else if (!EndsInsideCharacter(oldText)) {
        expected = CharacterReplace(text, oldText, newText, expectedCount);
    } else {
        return 0;
    }
    Check(count == expectedCount && result == expected);
    return 0;
}
