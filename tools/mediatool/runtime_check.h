// The runtime files of a medium: the manifest must name the runtime
// assembly and its version, and each DLL must be a 32-bit DLL whose version
// resource carries that version. A labelled placeholder, which assemble
// --placeholder-runtime writes for demonstrations, is told apart from a
// stand-in. Returns findings and never prints.
#ifndef KELVRA_MEDIATOOL_RUNTIME_CHECK_H
#define KELVRA_MEDIATOOL_RUNTIME_CHECK_H

#include <filesystem>
#include <string>
#include <vector>

namespace runtime {

namespace fs = std::filesystem;

// The first line of every placeholder.
constexpr char kPlaceholderMark[] = "PLACEHOLDER - NOT THE REAL FILE.";

// The labelled placeholder for the runtime file `name`.
std::string PlaceholderText(const char* name);

struct File {
    std::string name;   // the medium's name for it (media/medium.h)
    fs::path path;      // where it is
};

struct Finding {
    std::string name;   // the file's medium name
    std::string why;
    bool placeholder = false;   // a labelled placeholder: not for release
};

// Checks the runtime files as setup and Windows will use them; nothing
// found when they hold. Missing files are the caller's to report.
std::vector<Finding> CheckFiles(const std::vector<File>& files);

// The runtime files of the medium in `dir`.
std::vector<File> MediumFiles(const fs::path& dir);

// What a manifest's text and a DLL's bytes say, for the checks above and
// their fuzzing: empty when they hold.
std::string CheckManifest(const std::string& text);
std::string CheckDll(const std::string& bytes);

} // namespace runtime

#endif
