// mediatool stamp / check-stamp: the digest stamp that setup needs to show a
// splash picture.
#ifndef KELVRA_MEDIATOOL_CMD_STAMP_H
#define KELVRA_MEDIATOOL_CMD_STAMP_H

#include "tools/mediatool/commands.h"

int RunStamp(const Args& args);
void HelpStamp();

int RunCheckStamp(const Args& args);
void HelpCheckStamp();

#endif
