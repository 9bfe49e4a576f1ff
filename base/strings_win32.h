// Localised texts from the program's string table.
#ifndef KELVRA_BASE_STRINGS_H
#define KELVRA_BASE_STRINGS_H

#include <windows.h>

#include <string>

#include "base/codepage.h"

// Replaces `target` with the text of `id` in the language the platform picks
// for the user interface, as narrow text of the process's ANSI code page
// (CP_ACP), the one in which the ANSI functions show it. An id without a
// text leaves `target` exactly as it was.
void LoadText(std::string& target, UINT id);

// The lead bytes of the process's ANSI code page (CP_ACP), not the
// thread's: every narrow text the program scans for a backslash or a
// placeholder comes from or goes to an ANSI function of Windows (window
// texts, module and file paths, the registry), and those convert with the
// process's code page whatever the thread's locale says. Decodes with the
// same code page.
LeadBytes AnsiLeadBytes();

// Replace() with the lead bytes of AnsiLeadBytes().
int Replace(std::string& text, const std::string& oldText, const std::string& newText);

// LoadText into `target`, then every "%s" replaced by `name`.
void LoadTextWithName(std::string& target, UINT id, const std::string& name);

#endif
