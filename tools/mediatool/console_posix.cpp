// The console on POSIX: arguments as given, output as it is.
#include "tools/mediatool/console.h"

#include <unistd.h>

std::vector<std::string> ProgramArguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

void PrepareConsole() {}

bool IsTerminal(std::FILE* f) { return isatty(fileno(f)) != 0; }
