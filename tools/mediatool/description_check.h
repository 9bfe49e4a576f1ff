// The setup description file judged as setup reads it: the file goes
// through setup's own parser (media/setup_description.h), whose report of
// each line is turned into what a release engineer must fix.
#ifndef KELVRA_MEDIATOOL_DESCRIPTION_CHECK_H
#define KELVRA_MEDIATOOL_DESCRIPTION_CHECK_H

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

struct DescriptionFinding {
    std::size_t line = 0;     // 1-based
    std::size_t column = 0;   // 1-based, in characters; 0 for the whole line
    bool error = false;       // a warning otherwise
    std::string text;

    // ":LINE[:COLUMN]", to follow the file's name.
    std::string Where() const;
};

struct DescriptionCheck {
    bool read = false;   // false: `problem` says why the file could not be read
    std::string problem;
    std::string name, title;   // as setup takes them, in the code page
    std::vector<DescriptionFinding> findings;
};

// Checks the description file at `file`, written in code page `cp`: a Name
// that setup passes over (empty, or not one file name), keys setup does not
// know, bytes the code page does not decode, zero bytes, and a line longer
// than setup reads.
DescriptionCheck CheckDescription(const std::filesystem::path& file, unsigned cp);

// In UTF-8 text, where the first character lies that code page `cp` cannot
// write. False when every character can be written.
bool FindUnwritable(const std::string& utf8, unsigned cp, std::size_t& line, std::size_t& column);

#endif
