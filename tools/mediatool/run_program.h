// Running the well-kept programs that mediatool leaves cryptography to
// (osslsigncode, openssl) on POSIX hosts. Not built into mediatool.exe.
#ifndef KELVRA_MEDIATOOL_RUN_PROGRAM_H
#define KELVRA_MEDIATOOL_RUN_PROGRAM_H

#include <string>
#include <vector>

struct ProgramRun {
    int status = -1;      // exit status; -1 when it did not exit normally
    std::string out;      // its standard output
    std::string err;      // its standard error
};

// Whether `name` is an executable file in PATH.
bool FindProgram(const char* name);

// Runs argv[0] (searched in PATH) with `input` on its standard input. False,
// with `why`, only when it cannot be started or waited for.
bool RunProgram(const std::vector<std::string>& argv, const std::string& input, ProgramRun& run, std::string& why);

// The first line of `text` that says something, without its line break.
std::string FirstLine(const std::string& text);

#endif
