// Textual replacement of placeholders in narrow (ANSI) texts.
#ifndef KELVRA_BASE_TEXT_REPLACE_H
#define KELVRA_BASE_TEXT_REPLACE_H

#include <string>

#include "base/codepage.h"

// Replaces every occurrence of `oldText` in `text` by `newText`, left to
// right. Occurrences never start inside a double-byte character, and the
// inserted text is never searched again. Returns the number of replacements;
// an empty `oldText` replaces nothing.
int Replace(std::string& text, const std::string& oldText, const std::string& newText,
            const LeadBytes& lb);

#endif
