// The setup description file: an .ini beside the setup program that sets the
// product name and title, one key=value per line.
#ifndef KELVRA_MEDIA_SETUP_DESCRIPTION_H
#define KELVRA_MEDIA_SETUP_DESCRIPTION_H

#include <cstddef>
#include <cstdio>
#include <string>

#include "base/codepage.h"

// Longest line the reader takes, line end not counted.
constexpr std::size_t kSetupDescriptionMaxLine = 4095;

// How the reading ended.
enum class SetupDescriptionEnd {
    kEndOfFile,     // every line read
    kLineTooLong,   // a line of more than 4095 characters; the rest was skipped
    kReadError,     // the stream failed; values assigned so far stay
    kNotOpened,     // no file (LoadSetupDescription only)
};

// Reads lines from `f` and overwrites `name` and `title` where a line says
// so; the last occurrence wins. The file is read as the C runtime's text
// mode and string functions see it, whether the stream is in text or binary
// mode: a carriage return right before a line feed is dropped, a zero byte
// ends the line's text and a 0x1A byte ends the file. A Name that is empty
// or cannot be one file name in the code page of `lb` (see
// CheckFileNameComponent) is passed over like an unknown key; the last such
// value goes to `refusedName` when one is given. Does not close `f`.
SetupDescriptionEnd ParseSetupDescription(std::FILE* f, const LeadBytes& lb, std::string& name,
                                          std::string& title, std::string* refusedName = nullptr);

// Opens `path` (shared with other readers and writers) and parses it. No file
// leaves the values alone.
SetupDescriptionEnd LoadSetupDescription(const std::string& path, const LeadBytes& lb, std::string& name,
                                         std::string& title);

#endif
