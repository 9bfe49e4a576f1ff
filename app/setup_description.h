// The setup description file: an .ini beside the setup program that sets the
// product name and title, one key=value per line.
#ifndef KELVRA_APP_SETUP_DESCRIPTION_H
#define KELVRA_APP_SETUP_DESCRIPTION_H

#include <cstddef>
#include <cstdio>
#include <string>

// Longest line the reader takes, line end not counted.
constexpr std::size_t kSetupDescriptionMaxLine = 4095;

// How the reading ended.
enum class SetupDescriptionEnd {
    kEndOfFile,     // every line read
    kLineTooLong,   // a line of more than 4095 characters; the rest was skipped
    kReadError,     // the stream failed; values assigned so far stay
    kNotOpened,     // no file (LoadSetupDescription only)
};

// Whether a program path that the platform wrote into a buffer of
// `bufferSize` characters, answering `returned`, is whole. A path that fills
// the buffer may have been cut and would name another file.
bool ProgramPathIsWhole(unsigned long returned, std::size_t bufferSize);

// Reads lines from `f` and overwrites `name` and `title` where a line says
// so; the last occurrence wins. A carriage return right before a line feed
// is dropped, so CRLF and LF files read alike whether the stream is in text
// or binary mode. Does not close `f`.
SetupDescriptionEnd ParseSetupDescription(std::FILE* f, std::string& name, std::string& title);

// Opens `path` (shared with other readers and writers) and parses it. No file
// leaves the values alone.
SetupDescriptionEnd LoadSetupDescription(const std::string& path, std::string& name, std::string& title);

#endif
