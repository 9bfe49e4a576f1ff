// The source directory as Windows gives it.
#ifndef KELVRA_MEDIA_SOURCE_DIR_WIN32_H
#define KELVRA_MEDIA_SOURCE_DIR_WIN32_H

#include <string>

#include "media/source_dir.h"

// Empties `directory` and fills it with the source directory. False, with
// `directory` left empty, when the program's own path cannot be obtained
// whole (GetProgramPath).
bool GetSourceDirectory(std::string& directory);

#endif
