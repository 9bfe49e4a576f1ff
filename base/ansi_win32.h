// Narrow text of the process's ANSI code page (CP_ACP), the code page in
// which every ANSI function of Windows reads and writes texts and paths.
// Paths that Windows hands over are taken wide and made narrow here, exactly
// or not at all: an ANSI function would put a best-fit look-alike in for a
// character the code page lacks (a fullwidth backslash becomes a backslash)
// and so name another file.
#ifndef KELVRA_BASE_ANSI_WIN32_H
#define KELVRA_BASE_ANSI_WIN32_H

#include <windows.h>

#include <string>

// `wide` in the ANSI code page. False when a character has no exact
// counterpart; `narrow` then shows it as '?', for a message.
bool NarrowExact(const std::wstring& wide, std::string& narrow);

// A narrow text of the ANSI code page as UTF-16; empty when it does not
// decode.
std::wstring WidenAnsi(const std::string& narrow);

// The full path of `path` as the file system resolves it, the current
// folder included; empty when it cannot be had.
std::wstring FullPathWide(const std::wstring& path);

#endif
