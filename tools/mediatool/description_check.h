// The setup description file judged as setup reads it (media/setup_description.h):
// what a release engineer must fix before a medium ships.
#ifndef KELVRA_MEDIATOOL_DESCRIPTION_CHECK_H
#define KELVRA_MEDIATOOL_DESCRIPTION_CHECK_H

#include <cstddef>
#include <string>
#include <vector>

struct DescriptionFinding {
    std::size_t line = 0;     // 1-based
    std::size_t column = 0;   // 1-based, in characters; 0 for the whole line
    bool error = false;       // a warning otherwise
    bool refusedName = false; // a Name setup passes over
    std::string text;

    // "FILE:LINE[:COLUMN]: text"
    std::string Describe(const std::string& file) const;
};

// Checks a description file's bytes, written in code page `cp`: an empty
// Name (setup would name the folder and the shortcuts ""), a Name that
// cannot be one file name, keys setup does not know, bytes the code page
// does not decode, and a line longer than setup reads.
std::vector<DescriptionFinding> CheckDescription(const std::string& bytes, unsigned cp);

// In UTF-8 text, where the first character lies that code page `cp` cannot
// write. False when every character can be written.
bool FindUnwritable(const std::string& utf8, unsigned cp, std::size_t& line, std::size_t& column);

#endif
