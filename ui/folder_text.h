// The install folder as the main dialog proposes and reads it. The edit
// holds wide text, so that what the user sees is the folder Windows named;
// the narrow text is made from it exactly or not at all.
#ifndef KELVRA_UI_FOLDER_TEXT_H
#define KELVRA_UI_FOLDER_TEXT_H

#include <windows.h>

#include <string>

// The Program Files folder, a backslash and `name` (narrow, ANSI code page).
std::wstring ProposedInstallFolder(const std::string& name);

// The edit's text, at most 259 characters, in the ANSI code page. False when
// the code page cannot hold it, or its full path, exactly; `text` is then
// that path with '?' for what it lacks, for the message.
bool ReadFolderText(HWND edit, std::string& text);

#endif
