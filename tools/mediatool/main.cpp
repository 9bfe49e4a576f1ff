// mediatool: prepares Kelvra installation media.
#include <cstdio>
#include <cstring>

#include "tools/mediatool/commands.h"
#include "tools/mediatool/console.h"
#include "tools/mediatool/options.h"

namespace {

void PrintOverview(std::FILE* out)
{
    std::fprintf(out,
                 "mediatool %s - prepares Kelvra installation media\n\n"
                 "usage: mediatool COMMAND [OPTIONS] [ARGS...]\n"
                 "       mediatool help [COMMAND]\n"
                 "       mediatool -V | --version\n\n"
                 "commands:\n",
                 KELVRA_VERSION_STR);
    for (const Command& c : Commands())
        std::fprintf(out, "  %-12s %s\n", c.name, c.synopsis);
    std::fprintf(out,
                 "\nEvery command takes --opt=value or --opt value (-ovalue or -o value),\n"
                 "'--' to end the options, and -q/--quiet (no progress, no summary when all\n"
                 "went well). Commands that write take -o/--output; '-' is standard output\n"
                 "where a stream makes sense (pack -o -).\n\n"
                 "Output is UTF-8 on every system; on Windows a console is switched to code\n"
                 "page 65001 for it, and arguments are read as Unicode, so names in any\n"
                 "language work whatever the ANSI code page.\n\n"
                 "Exit status: 0 done, 1 input refused, 2 usage error.\n");
}

const Command* Find(const std::string& name)
{
    for (const Command& c : Commands())
        if (name == c.name) return &c;
    return nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    const Args all = ProgramArguments(argc, argv);
    PrepareConsole();
    if (all.size() < 2) {
        PrintOverview(stderr);
        return kExitUsage;
    }
    const std::string& name = all[1];
    if (name == "--help" || name == "-h" || name == "help") {
        if (name == "help" && all.size() > 2) {
            const Command* c = all.size() == 3 ? Find(all[2]) : nullptr;
            if (!c) {
                std::fprintf(stderr, "mediatool help: %s '%s' (see 'mediatool help')\n",
                             all.size() == 3 ? "unknown command" : "one command only after", all[2].c_str());
                return kExitUsage;
            }
            c->help();
            return kExitOk;
        }
        PrintOverview(stdout);
        return kExitOk;
    }
    if (name == "--version" || name == "-V") {
        std::printf("mediatool %s\n", KELVRA_VERSION_STR);
        return kExitOk;
    }
    const Command* c = Find(name);
    if (!c) {
        std::fprintf(stderr, "mediatool: unknown command '%s' (see 'mediatool help')\n", name.c_str());
        return kExitUsage;
    }
    const Args args(all.begin() + 2, all.end());
    // Help wins wherever it stands among the options; after "--" it is a name.
    const std::size_t end = EndOfOptions(args);
    for (std::size_t i = 0; i < end; ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            c->help();
            return kExitOk;
        }
    }
    return c->run(args);
}
