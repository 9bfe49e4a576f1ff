// The command line of every subcommand, parsed the way GNU tools do:
// --name=value and --name value, -xVALUE and -x VALUE, flags grouped (-qx),
// "--" ends the options, and "-" alone is an operand (standard output where
// a command writes a stream). -q/--quiet is understood by every command.
#ifndef KELVRA_MEDIATOOL_OPTIONS_H
#define KELVRA_MEDIATOOL_OPTIONS_H

#include <string>
#include <utility>
#include <vector>

#include "tools/mediatool/commands.h"

struct OptionSpec {
    const char* name;   // long name without "--"
    char letter;        // short form, or 0
    bool takesValue;
};

struct ParsedArgs {
    std::vector<std::pair<std::string, std::string>> options;   // long name and value, in order
    std::vector<std::string> operands;
};

// False, after the usage message on standard error, for an unknown option,
// a missing or empty value, or a value given to a flag.
bool ParseCommandLine(const char* command, const Args& args, const std::vector<OptionSpec>& specs,
                      ParsedArgs& out);

// The index of "--" in args, or args.size(): what follows is never an option.
std::size_t EndOfOptions(const Args& args);

#endif
