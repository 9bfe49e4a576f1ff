// The source directory: the folder of the running setup program, ending in
// a backslash. The package, the splash picture and the side files are named
// by appending their names to it.
#ifndef KELVRA_MEDIA_SOURCE_DIR_H
#define KELVRA_MEDIA_SOURCE_DIR_H

#include <string>

#include "base/codepage.h"

// The program path cut right after its last backslash (the backslash
// stays); the whole path when it holds none. A trail byte 0x5C of a
// double-byte character is not a backslash.
std::string DirectoryOfProgramPath(const std::string& programPath, const LeadBytes& lb);

#endif
