// mediatool assemble: a complete installation medium in one call.
#ifndef KELVRA_MEDIATOOL_CMD_ASSEMBLE_H
#define KELVRA_MEDIATOOL_CMD_ASSEMBLE_H

#include "tools/mediatool/commands.h"

int RunAssemble(const Args& args);
void HelpAssemble();

#endif
