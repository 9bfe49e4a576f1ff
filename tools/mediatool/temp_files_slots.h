// The slots of what an interruption removes, shared by the portable part
// of temp_files and each platform's handler.
#ifndef KELVRA_MEDIATOOL_TEMP_FILES_SLOTS_H
#define KELVRA_MEDIATOOL_TEMP_FILES_SLOTS_H

#include <csignal>
#include <filesystem>
#include <string>

namespace tempfiles::detail {

namespace fs = std::filesystem;

// Fixed storage: the handler may not allocate, and on POSIX may call only
// async-signal-safe functions.
constexpr int kSlots = 32;
constexpr std::size_t kPathMax = 4096;
struct Slot {
    volatile std::sig_atomic_t used;
    bool folder;
    fs::path::value_type path[kPathMax];
    void* handle;   // Windows: our own handle to the file, closed before deleting it; or null
};
extern Slot g_slots[kSlots];

// Each platform's: the handler that empties the slots, the process id.
void Install();
unsigned long ProcessId();

// Registers `p`; `handle` is ours to close first on Windows.
void Register(const fs::path& p, bool folder, void* handle);
// "STEM.<pid>SUFFIX", or "STEM.<pid>-N SUFFIX" after the first.
std::string Numbered(const std::string& stem, unsigned n, const char* suffix);

} // namespace tempfiles::detail

#endif
