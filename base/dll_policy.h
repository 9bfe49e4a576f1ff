// Where the setup program may take DLLs from. It runs from download folders
// where anyone can drop a DLL beside it, so every DLL it loads must come
// from the system folder. Portable: the decisions, not the calls.
#ifndef KELVRA_BASE_DLL_POLICY_H
#define KELVRA_BASE_DLL_POLICY_H

#include <cstddef>
#include <string>
#include <vector>

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

// DLLs that the program or Windows on its behalf loads into the process
// after start-up, by name, so that the folder beside the program would be
// searched for them unless they are known DLLs of the running system.
extern const char* const kPreloadedSystemDlls[];
extern const std::size_t kPreloadedSystemDllCount;

// The names of kPreloadedSystemDlls that the running system's known DLLs
// (file names as its KnownDLLs registry key holds them, in any case) do not
// cover: Windows maps a known DLL from its system folder whatever lies
// beside the program. The KnownDLLs list differs from XP to 10, so it is
// read where the program runs.
std::vector<std::string> DllsToPreload(const std::vector<std::string>& knownDlls);

// Whether `name` is a bare file name that can only name a file inside the
// folder it is joined to: not empty, no drive, no folder separators, no
// "." or ".." of its own.
bool IsBareDllName(const std::string& name);

// The system folder joined with a bare name; empty when the name is not
// bare or the folder is empty.
std::string SystemFolderPath(const std::string& systemDir, const std::string& name);

#endif
