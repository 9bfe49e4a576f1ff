// The source directory as Windows gives it.
#ifndef KELVRA_MEDIA_SOURCE_DIR_WIN32_H
#define KELVRA_MEDIA_SOURCE_DIR_WIN32_H

#include <string>

#include "media/source_dir.h"

// Empties `directory` and fills it with the source directory. False when
// the program's own path cannot be had whole and exactly (GetProgramPath);
// `directory` then holds that path as far as it could be had, for the
// message, or nothing.
bool GetSourceDirectory(std::string& directory);

#endif
