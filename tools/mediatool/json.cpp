#include "tools/mediatool/json.h"

#include <cstdio>

std::string JsonString(const std::string& utf8)
{
    std::string s = "\"";
    for (unsigned char c : utf8) {
        switch (c) {
        case '"': s += "\\\""; break;
        case '\\': s += "\\\\"; break;
        case '\n': s += "\\n"; break;
        case '\r': s += "\\r"; break;
        case '\t': s += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                s += buf;
            } else {
                s += static_cast<char>(c);
            }
        }
    }
    return s + "\"";
}

std::string HexBytes(const std::string& bytes)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string s;
    for (unsigned char c : bytes) {
        s += kDigits[c >> 4];
        s += kDigits[c & 15];
    }
    return s;
}
