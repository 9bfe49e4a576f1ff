// The two shortcuts to the installed program: programs menu and desktop.
#ifndef KELVRA_INSTALL_SHORTCUTS_H
#define KELVRA_INSTALL_SHORTCUTS_H

#include <windows.h>
#include <shlobj.h>

#include <string>

enum class ShortcutResult {
    kDone,            // whatever could be saved is saved
    kNoLinkObject,    // the shell link object could not be created
};

// Creates "<Name>.lnk" in the current user's programs menu and on the
// desktop, pointing at `installFolder` (ending in a backslash) plus
// "Kelvra.exe". Shows no message.
ShortcutResult CreateShortcuts(const std::string& installFolder, const std::string& name, HWND owner);

// Sets the properties of `link` and saves it into both folders. A folder that
// cannot be looked up, or whose shortcut path would not fit MAX_PATH, is
// skipped; without IPersistFile nothing is saved.
void FillAndSaveShortcuts(IShellLinkA* link, const std::string& installFolder,
                          const std::string& name, HWND owner);

// `folder`, a backslash, `name` and ".lnk" into `path`. False, with `path`
// empty, when `folder` is empty or the path has more than 259 characters.
bool ShortcutFilePath(const std::wstring& folder, const std::wstring& name, std::wstring& path);

#endif
