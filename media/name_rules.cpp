#include "media/name_rules.h"

#include <vector>

#include "base/ascii_text.h"
#include "media/package_format.h"

namespace {

bool IsAsciiLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Superscript one, two and three of the single-byte Windows code pages:
// Windows takes "COM¹" for a device as well.
bool IsDeviceDigit(unsigned char c)
{
    return (c >= '1' && c <= '9') || c == 0xB9 || c == 0xB2 || c == 0xB3;
}

bool IsReservedCharacter(unsigned char c)
{
    return c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*';
}

bool IsControlCharacter(unsigned char c) { return c < 0x20 || c == 0x7F; }

// Every trail byte of the double-byte code pages is 0x40 or above; a lower
// one would hide ':', '.', '/' and the like.
bool IsWholeCharacter(const char* s, std::size_t i, std::size_t length)
{
    return i + 1 < length && static_cast<unsigned char>(s[i + 1]) >= 0x40;
}

NameError CheckLevel(const std::string& level, const LeadBytes& lb)
{
    if (level.empty()) return NameError::kEmptyLevel;
    if (level == "..") return NameError::kParentStep;
    const char last = level.back();
    if (last == '.' || last == ' ') return NameError::kTrailingDotOrSpace;
    if (IsReservedDeviceName(level, lb)) return NameError::kReservedDevice;
    return NameError::kNone;
}

} // namespace

const char* DescribeNameError(NameError e)
{
    switch (e) {
    case NameError::kNone: return "valid";
    case NameError::kEmpty: return "the name is empty";
    case NameError::kTooLong: return "the name is longer than 259 bytes";
    case NameError::kControlCharacter: return "the name contains a control character";
    case NameError::kLeadingSeparator: return "the name starts with a backslash or slash";
    case NameError::kDrive: return "the name carries a drive";
    case NameError::kColon: return "the name contains ':' (an alternate data stream)";
    case NameError::kSlash: return "the name contains '/'; only backslashes separate folders";
    case NameError::kReservedCharacter: return "the name contains one of < > \" | ? *";
    case NameError::kBrokenCharacter: return "the name holds a broken double-byte character";
    case NameError::kEmptyLevel: return "the name has an empty folder level (doubled or trailing backslash)";
    case NameError::kParentStep: return "the name has a '..' level and would leave the install folder";
    case NameError::kTrailingDotOrSpace: return "a level of the name ends in a dot or a space, which Windows strips";
    case NameError::kReservedDevice: return "a level of the name is a device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9...)";
    case NameError::kSeparator: return "the name contains a backslash or slash; it must be one file name";
    case NameError::kComponentTooLong: return "the name is longer than 255 characters";
    }
    return "unknown name error";
}

bool IsReservedDeviceName(const std::string& level, const LeadBytes& lb)
{
    // The device is named by the part before the first dot; spaces before
    // the dot are ignored as well ("CON .txt").
    std::size_t end = FindCharMb(level, '.', 0, lb);
    if (end == std::string::npos) end = level.size();
    while (end > 0 && level[end - 1] == ' ') --end;
    std::string base;
    for (std::size_t i = 0; i < end; ++i) base += AsciiUpper(level[i]);

    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" ||
        base == "CONOUT$")
        return true;
    if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0)) {
        const unsigned char d = static_cast<unsigned char>(base[3]);
        return IsDeviceDigit(d) && !lb.IsLead(d);
    }
    return false;
}

NameError CheckName(const char* name, std::size_t length, const LeadBytes& lb)
{
    if (length == 0) return NameError::kEmpty;
    if (length > kMaxNameLength) return NameError::kTooLong;
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (IsControlCharacter(c)) return NameError::kControlCharacter;
    }
    const unsigned char first = static_cast<unsigned char>(name[0]);
    if (first == '\\' || first == '/') return NameError::kLeadingSeparator;
    if (length >= 2 && IsAsciiLetter(first) && name[1] == ':') return NameError::kDrive;

    // Walk whole characters: split into levels at either separator (Windows
    // takes '/' as one too) and note the first refused character.
    std::vector<std::string> levels(1);
    NameError charError = NameError::kNone;
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (lb.IsLead(c)) {
            if (!IsWholeCharacter(name, i, length)) return NameError::kBrokenCharacter;
            levels.back().append(name + i, 2);
            ++i;
            continue;
        }
        if (c == ':') return NameError::kColon;
        if (c == '\\' || c == '/') {
            if (c == '/' && charError == NameError::kNone) charError = NameError::kSlash;
            levels.emplace_back();
            continue;
        }
        if (IsReservedCharacter(c) && charError == NameError::kNone)
            charError = NameError::kReservedCharacter;
        levels.back() += static_cast<char>(c);
    }
    // A step out of the folder weighs more than an empty level elsewhere.
    for (const std::string& level : levels)
        if (level == "..") return NameError::kParentStep;
    for (const std::string& level : levels) {
        const NameError e = CheckLevel(level, lb);
        if (e != NameError::kNone) return e;
    }
    return charError;
}

NameError CheckFileNameComponent(const std::string& name, const LeadBytes& lb)
{
    if (name.empty()) return NameError::kEmpty;
    if (CharCount(name, lb) > kMaxComponentChars) return NameError::kComponentTooLong;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (lb.IsLead(c)) {
            if (!IsWholeCharacter(name.data(), i, name.size())) return NameError::kBrokenCharacter;
            ++i;
            continue;
        }
        if (IsControlCharacter(c)) return NameError::kControlCharacter;
        if (c == '\\' || c == '/') return NameError::kSeparator;
        if (c == ':') return NameError::kColon;
        if (IsReservedCharacter(c)) return NameError::kReservedCharacter;
    }
    return CheckLevel(name, lb);
}

std::size_t CharCount(const std::string& s, const LeadBytes& lb)
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size(); ++i, ++n)
        if (lb.IsLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ++i;
    return n;
}
