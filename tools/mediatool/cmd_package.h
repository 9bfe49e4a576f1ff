// mediatool pack / list / unpack / verify: making and checking Setup.pkg.
#ifndef KELVRA_MEDIATOOL_CMD_PACKAGE_H
#define KELVRA_MEDIATOOL_CMD_PACKAGE_H

#include "tools/mediatool/commands.h"

int RunPack(const Args& args);
void HelpPack();

int RunList(const Args& args);
void HelpList();

int RunUnpack(const Args& args);
void HelpUnpack();

int RunVerify(const Args& args);
void HelpVerify();

#endif
