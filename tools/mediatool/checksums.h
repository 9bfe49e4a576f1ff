// SHA256SUMS: the checksum file of a medium, in the form `sha256sum -c`
// reads ("<64 lower-case hex>  <name>", LF). Names are relative to the
// medium, with forward slashes, in UTF-8 (what a Linux file system and
// mediatool.exe both give); a name holding a backslash or a line break is
// written as GNU sha256sum writes it: the line starts with '\', and those
// characters appear as "\\" and "\n".
#ifndef KELVRA_MEDIATOOL_CHECKSUMS_H
#define KELVRA_MEDIATOOL_CHECKSUMS_H

#include <filesystem>
#include <string>
#include <vector>

#include "media/medium.h"

namespace checksums {

namespace fs = std::filesystem;

constexpr const char* kFileName = medium::kChecksumsName;

struct Entry {
    std::string sha256;   // 64 lower-case hex digits
    std::string name;     // UTF-8, forward slashes
};

// The file's text, lines in the byte order of the names.
std::string Format(std::vector<Entry> entries);

// Reads a checksum file. False, with `why` naming the line, when one is not
// of the form above (binary-mode "<hex> *<name>" lines are accepted).
bool Parse(const std::string& text, std::vector<Entry>& entries, std::string& why);

// The SHA-256 of a file as hex; false, with the OS reason, when unreadable.
bool FileSha256(const fs::path& p, std::string& hex, std::string& why);

// Checks the files a checksum file lists below `dir`: each problem as
// "NAME: reason" (missing, unreadable with the reason, differs, or a name
// that reaches outside the medium). Empty when every file holds.
std::vector<std::string> Check(const fs::path& dir, const std::vector<Entry>& entries);

// Reads DIR/SHA256SUMS and checks it; a problem when it is absent or broken.
std::vector<std::string> CheckMedium(const fs::path& dir);

} // namespace checksums

#endif
