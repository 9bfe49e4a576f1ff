// What the user sees of a command besides its output: refusals and usage
// errors on standard error, the console's code page, terminal progress.
#ifndef KELVRA_MEDIATOOL_CONSOLE_H
#define KELVRA_MEDIATOOL_CONSOLE_H

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

// "mediatool CMD: what: why" on standard error; control characters of
// `what`, a name, are shown escaped (see Shown).
void Refuse(const char* command, const std::string& what, const std::string& why);

// A path for a message, its control characters escaped as tar shows them.
std::string Shown(const std::filesystem::path& p);
// "mediatool CMD: why (see 'mediatool CMD --help')" on standard error, its
// control characters (an argument's) escaped.
void UsageError(const char* command, const std::string& why);

// For "--codepage N": reads N into `cp`. False, after the usage message,
// when N is not supported.
bool TakeCodePage(const char* command, const std::string& value, unsigned& cp);

// -q/--quiet: no progress, and no summary when all went well.
void SetQuiet(bool quiet);
bool Quiet();

// The command's arguments in UTF-8. Windows hands them over as Unicode
// (read from the wide command line), so any name reaches the tool whatever
// the ANSI code page.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Standard output shows UTF-8 (a Windows console is switched to it). Once,
// in main, before any command runs.
void PrepareConsole();

// Whether the stream is a terminal.
bool IsTerminal(std::FILE* f);

// Progress on standard error, only when it is a terminal and the work has
// gone on for a while.
class Progress {
public:
    Progress(const char* verb, std::uint64_t total);
    void SetTotal(std::uint64_t total) { total_ = total; }
    void Update(std::uint64_t done, std::uint64_t files);
    void Finish();

private:
    const char* verb_;
    std::uint64_t total_;
    bool terminal_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point last_;
};

double SecondsSince(std::chrono::steady_clock::time_point start);

#endif
