#include "tools/mediatool/json.h"

#include "base/ascii_text.h"

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
    return HexOf(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}
