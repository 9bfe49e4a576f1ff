#include "tools/mediatool/commands.h"

#include <string>

#include "media/medium.h"
#include "tools/mediatool/cmd_stamp.h"
#include "tools/mediatool/cmd_package.h"
#include "tools/mediatool/cmd_assemble.h"

// Each command lives in its own cmd_*.cpp; add its row here.
const std::vector<Command>& Commands()
{
    static const std::string packSynopsis =
        std::string("pack a folder tree into a setup package (") + medium::kPackageName + ")";
    static const std::vector<Command> table = {
        {"pack", packSynopsis.c_str(), RunPack, HelpPack},
        {"list", "list the records of a setup package", RunList, HelpList},
        {"unpack", "extract a setup package into a folder as setup would", RunUnpack, HelpUnpack},
        {"verify", "check a whole medium, or a package against a folder or a manifest", RunVerify, HelpVerify},
        {"stamp", "write the digest stamp setup needs to show a splash picture", RunStamp, HelpStamp},
        {"check-stamp", "tell whether setup accepts a file's digest stamp", RunCheckStamp, HelpCheckStamp},
        {"assemble", "lay out a complete installation medium from a payload folder", RunAssemble, HelpAssemble},
    };
    return table;
}
