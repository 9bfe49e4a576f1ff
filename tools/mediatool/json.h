// JSON output of list --json.
#ifndef KELVRA_MEDIATOOL_JSON_H
#define KELVRA_MEDIATOOL_JSON_H

#include <string>

// A JSON string literal, quotes included, for UTF-8 text.
std::string JsonString(const std::string& utf8);

#endif
