// Files the tool writes under a temporary name before they take their real
// one: names that are unique and never replace a user's file, removal when
// the run is interrupted (SIGINT, SIGTERM; Ctrl-C, Ctrl-Break on Windows),
// and flushing to the device before success is reported.
#ifndef KELVRA_MEDIATOOL_TEMP_FILES_H
#define KELVRA_MEDIATOOL_TEMP_FILES_H

#include <cstdio>
#include <filesystem>
#include <string>

namespace tempfiles {

namespace fs = std::filesystem;

// The operating system's reason for the last failed call (strerror or
// FormatMessage).
std::string LastOsError();

// Creates a new file beside `target` ("NAME.<pid>.part", numbered on when
// taken), open for binary writing. Removed when the run is interrupted
// until Forget is called. Null, with `why`, when none can be created.
std::FILE* CreateBeside(const fs::path& target, fs::path& temporary, std::string& why);

// Creates a new folder inside `dir` (".mediatool-<pid>.tmp", numbered on
// when taken). Removed, once empty, when the run is interrupted.
bool CreateFolderIn(const fs::path& dir, fs::path& folder, std::string& why);

// Whether `name` is one CreateFolderIn gives, and the process it names.
bool IsStagingFolderName(const std::string& name, unsigned long& pid);

// Whether a process of that number still runs (then its staging is its own).
bool ProcessRunning(unsigned long pid);

// `p` (a file that may not exist yet, or a folder, removed only when
// empty) goes when the run is interrupted; Forget ends that. Files go
// first, then folders, the last registered first.
void RemoveOnInterrupt(const fs::path& p, bool folder = false);
void Forget(const fs::path& p);

// Holds SIGINT and SIGTERM back while a medium is put in place, so that an
// interruption finds either the staging or the finished medium.
class HoldInterrupts {
public:
    HoldInterrupts();
    ~HoldInterrupts();
    HoldInterrupts(const HoldInterrupts&) = delete;
    HoldInterrupts& operator=(const HoldInterrupts&) = delete;
};

// Writes the file's data (or a folder's entries, where the system can) to
// the device. False, with `why`, when the device refuses.
bool FlushToDevice(const fs::path& p, bool folder, std::string& why);

// Renames `from` over `to`, written through to the device on Windows.
bool MoveOver(const fs::path& from, const fs::path& to, std::string& why);

} // namespace tempfiles

#endif
