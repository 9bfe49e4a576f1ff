// The setup description file: an .ini beside the setup program that sets the
// product name and title, one key=value per line.
#ifndef KELVRA_MEDIA_SETUP_DESCRIPTION_H
#define KELVRA_MEDIA_SETUP_DESCRIPTION_H

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "media/name_rules.h"

// Longest line the reader takes, line end not counted.
constexpr std::size_t kSetupDescriptionMaxLine = 4095;

// How the reading ended.
enum class SetupDescriptionEnd {
    kEndOfFile,     // every line read
    kLineTooLong,   // a line of more than 4095 characters; the rest was skipped
    kReadError,     // the stream failed; values assigned so far stay
    kNotOpened,     // no file (LoadSetupDescription only)
};

// How the reader took one line, for a tool that explains a file to its
// author. Setup itself never asks for it.
struct SetupDescriptionLine {
    enum class Use {
        kApplied,       // a Name or Title that took effect (until a later one)
        kBlank,         // empty or spaces only
        kComment,       // starts with "//"
        kNotKeyValue,   // no "=": passed over
        kUnknownKey,    // a key other than Name and Title: passed over
        kRefusedName,   // a Name that cannot be one file name: passed over
        kTooLong,       // longer than kSetupDescriptionMaxLine: reading ends here
    };
    std::size_t number = 0;                 // 1-based
    std::string text;                       // as read, up to a zero byte
    std::size_t zeroAt = std::string::npos; // where a zero byte cut the line
    std::string key, value;
    Use use = Use::kBlank;
    NameError nameError = NameError::kNone; // why a Name was refused
};

// Reads lines from `f` and overwrites `name` and `title` where a line says
// so; the last occurrence wins. The file is read as the C runtime's text
// mode and string functions see it, whether the stream is in text or binary
// mode: a carriage return right before a line feed is dropped, a zero byte
// ends the line's text and a 0x1A byte ends the file. A Name that is empty
// or cannot be one file name in the code page of `lb` (see
// CheckFileNameComponent) is passed over like an unknown key; the last such
// value goes to `refusedName` when one is given. With `report`, each line read
// is described there, in order. Does not close `f`.
SetupDescriptionEnd ParseSetupDescription(std::FILE* f, const LeadBytes& lb, std::string& name,
                                          std::string& title, std::string* refusedName = nullptr,
                                          std::vector<SetupDescriptionLine>* report = nullptr);

// Opens `path` (shared with other readers and writers) and parses it. No file
// leaves the values alone.
SetupDescriptionEnd LoadSetupDescription(const std::string& path, const LeadBytes& lb, std::string& name,
                                         std::string& title);

#endif
