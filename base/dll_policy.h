// Where the setup program may take DLLs from. It runs from download folders
// where anyone can drop a DLL beside it, so every DLL it loads must come
// from the system folder. Portable: the decisions, not the calls.
#ifndef KELVRA_BASE_DLL_POLICY_H
#define KELVRA_BASE_DLL_POLICY_H

#include <cstddef>
#include <string>

// In both modes the DLLs of kPreloadedSystemDlls are loaded from the system
// folder at once, so that later loads by name find them in memory.
enum class DllSearchMode {
    // SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32): the whole
    // process searches the system folder only.
    kSystemFolderOnly,
    // SetDllDirectory("") only; the preloads are then the main defence.
    kPreloadFromSystemFolder,
};

// The mode for a Windows version and whether kernel32 has
// SetDefaultDllDirectories. Vista (6.0) never gets the process-wide
// restriction: the shell link object cannot be created after it, and the
// shortcuts matter more there.
DllSearchMode ChooseDllSearchMode(unsigned long major, unsigned long minor,
                                  bool haveSetDefaultDllDirectories);

// DLLs that Windows itself loads into the process later on and that are not
// known DLLs (so they would be searched for beside the program).
extern const char* const kPreloadedSystemDlls[];
extern const std::size_t kPreloadedSystemDllCount;

// Whether `name` is a bare file name that can only name a file inside the
// folder it is joined to: not empty, no drive, no folder separators, no
// "." or ".." of its own.
bool IsBareDllName(const std::string& name);

// The system folder joined with a bare name; empty when the name is not
// bare or the folder is empty.
std::string SystemFolderPath(const std::string& systemDir, const std::string& name);

#endif
