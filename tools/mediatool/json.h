// JSON output of list --json.
#ifndef KELVRA_MEDIATOOL_JSON_H
#define KELVRA_MEDIATOOL_JSON_H

#include <string>

// A JSON string literal, quotes included, for UTF-8 text.
std::string JsonString(const std::string& utf8);

// Bytes as lower-case hex, two digits each: a name's exact bytes beside its
// text, which shows bytes the code page does not decode as "\xNN".
std::string HexBytes(const std::string& bytes);

#endif
