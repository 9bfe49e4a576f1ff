// Extraction of the setup package into the install folder (Win32).
#ifndef KELVRA_MEDIA_EXTRACT_WIN32_H
#define KELVRA_MEDIA_EXTRACT_WIN32_H

#include <windows.h>

#include <cstdint>
#include <string>

#include "media/extract.h"

// Unpacks the package `package` (open for reading at offset 0; the caller
// closes it) of `packageSize` bytes below `installFolder` (ending in a
// backslash), stepping the progress bar `progress` once per record, capped
// at 500. Shows no message. On failure, `failedPath` is the full target
// path of the record that could not be written.
ExtractResult ExtractPackage(HANDLE package, std::int32_t packageSize,
                             const std::string& installFolder, HWND progress);

#endif
