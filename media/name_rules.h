// Which record names may be written below the install folder, and which
// texts can be one file name.
//
// The name is judged as text, character by character in its ANSI code page,
// never through the file system: a name is refused when it could leave the
// install folder, or when Windows would quietly write another file than the
// one it names (trailing dots and spaces are stripped, device names open
// devices, "a:b" opens a stream, "PROGRA~1" may be another file's short
// name). Device names are judged on the UTF-16 text when `lb` can decode.
#ifndef KELVRA_MEDIA_NAME_RULES_H
#define KELVRA_MEDIA_NAME_RULES_H

#include <cstddef>
#include <string>

#include "base/codepage.h"

enum class NameError {
    kNone,
    kEmpty,
    kTooLong,              // more than 259 bytes
    kControlCharacter,     // 0x00-0x1F or 0x7F
    kLeadingSeparator,     // starts with a backslash or slash
    kDrive,                // "C:..."
    kColon,                // ':' anywhere else (alternate data stream)
    kSlash,                // only the backslash separates levels
    kReservedCharacter,    // < > " | ? *
    kBrokenCharacter,      // a lead byte without a trail byte (0x40 or above)
    kEmptyLevel,           // doubled or trailing backslash
    kParentStep,           // a ".." level
    kTrailingDotOrSpace,   // a level ending in '.' or ' ' ("." included)
    kReservedDevice,       // CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM1-9, LPT1-9
    kSeparator,            // a backslash or slash where one file name is due
    kComponentTooLong,     // one file name of more than 255 characters
    kNothingLeft,          // only dots and spaces, which Windows strips
    kShortName,            // shaped like an 8.3 short name ("KELVRA~1")
};

const char* DescribeNameError(NameError e);

// Judges `length` bytes of a record name.
NameError CheckName(const char* name, std::size_t length, const LeadBytes& lb);
inline NameError CheckName(const std::string& name, const LeadBytes& lb)
{
    return CheckName(name.data(), name.size(), lb);
}

// Judges one file or folder name, such as a product name that becomes a
// folder and a shortcut file: no separator at all, at most 255 characters.
// Refused is only what escapes, aliases, empties or opens a device; a
// trailing dot or blank, which Windows strips from the folder alone, stays
// ("Kelvra Co., Ltd.").
NameError CheckFileNameComponent(const std::string& name, const LeadBytes& lb);

// Whether one folder or file name (no separators) is a device name in any
// letter case, with or without an extension.
bool IsReservedDeviceName(const std::string& level, const LeadBytes& lb);

// Whether a name, with its trailing dots and blanks stripped, could be
// another file's 8.3 short name: at most 8 characters, a tilde among them
// followed by letters or digits only, and at most one dot with at most 3
// characters after it.
bool HasShortNameShape(const std::string& name, const LeadBytes& lb);

// The file systems' limit on one file or folder name, in characters.
constexpr std::size_t kMaxComponentChars = 255;

#endif
