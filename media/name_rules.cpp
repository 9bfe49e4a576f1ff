#include "media/name_rules.h"

#include <initializer_list>
#include <vector>

#include "media/package_format.h"

namespace {

bool IsAsciiLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool IsAsciiAlnum(unsigned char c) { return IsAsciiLetter(c) || (c >= '0' && c <= '9'); }

// Superscript one, two and three: Windows takes "COM¹" for a device too.
bool IsDeviceDigit(char16_t c)
{
    return (c >= u'1' && c <= u'9') || c == 0xB9 || c == 0xB2 || c == 0xB3;
}

// The text as UTF-16. Without a decoder each single byte stands for the
// character of the same number (right for the superscripts of 1252 and its
// kin) and a double-byte character for none that a rule looks for.
std::u16string Wide(const std::string& text, const LeadBytes& lb)
{
    std::u16string wide;
    if (lb.Decode(text, wide)) return wide;
    wide.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (lb.IsLead(c) && i + 1 < text.size()) {
            wide += u'\uFFFD';
            ++i;
        } else {
            wide += static_cast<char16_t>(c);
        }
    }
    return wide;
}

// What Windows makes of a folder or file name: no trailing dots and blanks.
// Neither can be a trail byte, so the bytes can be cut as they are.
std::string StripTrailingDotsAndSpaces(const std::string& name)
{
    const std::size_t last = name.find_last_not_of(". ");
    return last == std::string::npos ? std::string() : name.substr(0, last + 1);
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
    case NameError::kNothingLeft: return "the name is only dots and spaces, which Windows strips to nothing";
    case NameError::kShortName: return "the name is shaped like an 8.3 short name (NAME~1), which can be another file's";
    }
    return "unknown name error";
}

bool IsReservedDeviceName(const std::string& level, const LeadBytes& lb)
{
    // Every device name starts with one of these ASCII letters, and no other
    // character decodes to one: most names are passed without decoding.
    const char first = level.empty() ? '\0' : static_cast<char>(level[0] & ~0x20);
    if (first != 'C' && first != 'P' && first != 'A' && first != 'N' && first != 'L') return false;
    // The device is named by the part before the first dot; spaces before
    // the dot are ignored as well ("CON .txt").
    const std::u16string wide = Wide(level, lb);
    std::size_t end = wide.find(u'.');
    if (end == std::u16string::npos) end = wide.size();
    while (end > 0 && wide[end - 1] == u' ') --end;
    std::u16string base;
    for (std::size_t i = 0; i < end; ++i)
        base += (wide[i] >= u'a' && wide[i] <= u'z') ? static_cast<char16_t>(wide[i] - u'a' + u'A') : wide[i];

    for (const char16_t* device : {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"})
        if (base == device) return true;
    return base.size() == 4 && (base.compare(0, 3, u"COM") == 0 || base.compare(0, 3, u"LPT") == 0) &&
           IsDeviceDigit(base[3]);
}

bool HasShortNameShape(const std::string& name, const LeadBytes& lb)
{
    const std::string s = StripTrailingDotsAndSpaces(name);
    const std::size_t dot = FindCharMb(s, '.', 0, lb);
    const std::string base = s.substr(0, dot);
    const std::string ext = dot == std::string::npos ? std::string() : s.substr(dot + 1);
    if (base.empty() || CharCount(base, lb) > 8 || CharCount(ext, lb) > 3) return false;
    if (FindCharMb(ext, '.', 0, lb) != std::string::npos) return false;
    const std::size_t tilde = FindLastCharMb(base, '~', lb);
    if (tilde == std::string::npos || tilde + 1 == base.size()) return false;
    for (std::size_t i = tilde + 1; i < base.size(); ++i)
        if (!IsAsciiAlnum(static_cast<unsigned char>(base[i]))) return false;
    return true;
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
    // A name that does not decode would name the folder and the shortcuts
    // differently, each by its own substitute.
    std::u16string wide;
    if (lb.CanDecode() && !lb.Decode(name, wide)) return NameError::kBrokenCharacter;
    if (name == "..") return NameError::kParentStep;
    // Windows strips trailing dots and blanks from the folder: what is left
    // must still be a name of its own.
    const std::string stripped = StripTrailingDotsAndSpaces(name);
    if (stripped.empty()) return NameError::kNothingLeft;
    if (IsReservedDeviceName(stripped, lb)) return NameError::kReservedDevice;
    if (HasShortNameShape(stripped, lb)) return NameError::kShortName;
    return NameError::kNone;
}
