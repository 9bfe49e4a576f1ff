// The install folder as the install procedure uses it.
#ifndef KELVRA_INSTALL_INSTALL_FOLDER_H
#define KELVRA_INSTALL_INSTALL_FOLDER_H

#include <string>

#include "base/codepage.h"

// The folder edit's text with a backslash appended unless its last
// character is one. A double-byte character whose trail byte is 0x5C (936:
// "乗" is 81 5C) is not a backslash. Blanks are kept: no trimming.
std::string InstallFolderFromText(const std::string& text, const LeadBytes& lb);

#endif
