#include "base/ascii_text.h"

std::string AsciiLower(std::string s, const LeadBytes& lb)
{
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (lb.IsLead(static_cast<unsigned char>(s[i]))) ++i;
        else s[i] = AsciiLower(s[i]);
    }
    return s;
}

bool EqualsIgnoringAsciiCase(const std::string& a, const char* b)
{
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return i == a.size() && b[i] == '\0';
}

std::string HexOf(const unsigned char* bytes, std::size_t n, bool upper)
{
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string s;
    s.reserve(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        s += digits[bytes[i] >> 4];
        s += digits[bytes[i] & 15];
    }
    return s;
}

std::string EscapeControls(const std::string& text)
{
    std::string s;
    s.reserve(text.size());
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c != 0x7F) {
            s += ch;
            continue;
        }
        static const char kNamed[] = "\aa\bb\tt\nn\vv\ff\rr";
        s += '\\';
        std::size_t k = 0;
        while (kNamed[k] && kNamed[k] != ch) k += 2;
        if (kNamed[k]) {
            s += kNamed[k + 1];
        } else {
            s += static_cast<char>('0' + (c >> 6));
            s += static_cast<char>('0' + ((c >> 3) & 7));
            s += static_cast<char>('0' + (c & 7));
        }
    }
    return s;
}
