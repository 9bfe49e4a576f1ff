// Start-up's first act, and the one way the program loads a DLL at run time:
// from the system folder only, never from beside setup.exe.
#ifndef KELVRA_BASE_DLL_SAFETY_H
#define KELVRA_BASE_DLL_SAFETY_H

#include <windows.h>

#include <string>
#include <vector>

#include "base/dll_policy.h"

// Restricts the DLL search of the whole process to the system folder, as
// far as the running Windows allows (see base/dll_policy.h), and answers the
// mode applied. Call before anything else in WinMain.
DllSearchMode RestrictDllSearch();

// Whether kernel32 has SetDefaultDllDirectories, and with it the
// LOAD_LIBRARY_SEARCH_SYSTEM32 flag.
bool HaveSystemFolderSearch();

// The running Windows version as the kernel tells it (RtlGetVersion), which
// unlike GetVersionEx does not depend on the program's manifest.
void WindowsVersion(unsigned long& major, unsigned long& minor);

// The file names under the running system's KnownDLLs registry key; empty
// where it has none (Wine). Its other value, DllDirectory, names a folder.
std::vector<std::string> KnownDlls();

// Loads every DLL of kPreloadedSystemDlls that is not a known DLL of the
// running system by its full path in the system folder; answers how many
// were loaded. They stay loaded until the process ends, so that later loads
// by name find them in memory.
int PreloadSystemDlls();

// Loads a DLL by bare name ("gdiplus.dll") from the system folder only.
// nullptr when it cannot; a name with folder parts is refused with
// ERROR_INVALID_PARAMETER. Free with FreeLibrary, or hold a ModuleHandle
// (base/handles_win32.h).
HMODULE LoadSystemLibrary(const char* name);

// Loads a DLL of a side-by-side assembly ("gdiplus.dll", which Windows XP
// keeps only in its side-by-side store) through an activation context made
// for this load from the program's manifest resource `manifestId`, which
// names the assembly: where the context redirects the name, the loader
// takes it from the assembly's folder; where the assembly is missing, it
// comes from the system folder as with LoadSystemLibrary. Never from beside
// the program.
HMODULE LoadAssemblyLibrary(const char* name, unsigned manifestId);

#endif
