// The source directory and the ANSI lead bytes, as Windows gives them.
#ifndef KELVRA_MEDIA_SOURCE_DIR_WIN32_H
#define KELVRA_MEDIA_SOURCE_DIR_WIN32_H

#include <string>

#include "media/source_dir.h"

// Empties `directory` and fills it with the source directory. False, with
// `directory` left empty, when the program's own path cannot be obtained.
bool GetSourceDirectory(std::string& directory);

// The lead bytes of the thread's ANSI code page, from GetCPInfo(CP_ACP).
LeadBytes AnsiLeadBytes();

#endif
