// Byte-wise text helpers shared by setup and the media tool: ASCII case
// folding that steps over double-byte characters, hexadecimal digits, and
// control characters escaped for messages.
#ifndef KELVRA_BASE_ASCII_TEXT_H
#define KELVRA_BASE_ASCII_TEXT_H

#include <cstddef>
#include <string>

#include "base/codepage.h"

inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
inline char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// ASCII letters folded to lower case; a trail byte of a double-byte
// character is no letter and stays as it is. Windows compares file names so.
std::string AsciiLower(std::string s, const LeadBytes& lb = LeadBytes());

// Whether `a` equals `b` but for the case of ASCII letters.
bool EqualsIgnoringAsciiCase(const std::string& a, const char* b);

// The bytes as hexadecimal digits, two per byte.
std::string HexOf(const unsigned char* bytes, std::size_t n, bool upper = false);

// Control characters as tar shows them in a name: \n, \t and the other C
// escapes, every other one as three octal digits (\033, \177).
std::string EscapeControls(const std::string& text);

#endif
