// mediatool: prepares Kelvra installation media.
#include <cstdio>
#include <cstring>

#include "tools/mediatool/commands.h"

namespace {

void PrintOverview(std::FILE* out)
{
    std::fprintf(out,
                 "mediatool %s - prepares Kelvra installation media\n\n"
                 "usage: mediatool COMMAND [ARGS...]\n"
                 "       mediatool COMMAND --help\n\n"
                 "commands:\n",
                 KELVRA_VERSION_STR);
    for (const Command& c : Commands())
        std::fprintf(out, "  %-12s %s\n", c.name, c.synopsis);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        PrintOverview(stderr);
        return kExitUsage;
    }
    const char* name = argv[1];
    if (!std::strcmp(name, "--help") || !std::strcmp(name, "-h") || !std::strcmp(name, "help")) {
        PrintOverview(stdout);
        return kExitOk;
    }
    if (!std::strcmp(name, "--version")) {
        std::printf("mediatool %s\n", KELVRA_VERSION_STR);
        return kExitOk;
    }
    for (const Command& c : Commands()) {
        if (std::strcmp(c.name, name) != 0) continue;
        Args args(argv + 2, argv + argc);
        for (const std::string& a : args) {
            if (a == "--help" || a == "-h") {
                c.help();
                return kExitOk;
            }
        }
        return c.run(args);
    }
    std::fprintf(stderr, "mediatool: unknown command '%s' (see 'mediatool --help')\n", name);
    return kExitUsage;
}
