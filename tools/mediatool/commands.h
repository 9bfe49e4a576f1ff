// The media tool's subcommands. Each takes the arguments after its name and
// returns the process exit status: 0 done, 1 input refused, 2 usage error.
#ifndef KELVRA_MEDIATOOL_COMMANDS_H
#define KELVRA_MEDIATOOL_COMMANDS_H

#include <string>
#include <vector>

using Args = std::vector<std::string>;

enum ExitStatus { kExitOk = 0, kExitRefused = 1, kExitUsage = 2 };

struct Command {
    const char* name;
    const char* synopsis;   // one line for the overview
    int (*run)(const Args& args);
    void (*help)();         // full usage text on standard output
};

// The command table, in the order the overview lists them.
const std::vector<Command>& Commands();

#endif
