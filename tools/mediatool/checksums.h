// SHA256SUMS: the checksum file of a medium, in the form `sha256sum -c`
// reads ("<64 lower-case hex>  <name>", LF). Names are relative to the
// medium, with forward slashes, in UTF-8 (what a Linux file system and
// mediatool.exe both give); a name holding a backslash or a line break is
// written as GNU sha256sum writes it: the line starts with '\', and those
// characters appear as "\\" and "\n".
#ifndef KELVRA_MEDIATOOL_CHECKSUMS_H
#define KELVRA_MEDIATOOL_CHECKSUMS_H

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "media/medium.h"

namespace checksums {

namespace fs = std::filesystem;

constexpr const char* kFileName = medium::kChecksumsName;

struct Entry {
    std::string sha256;     // 64 lower-case hex digits
    std::string name;       // UTF-8, as written (unescaped); NormalName gives the medium's name
    std::size_t line = 0;   // 1-based, where read; 0 when made here
};

// The file's text, lines in the byte order of the names.
std::string Format(std::vector<Entry> entries);

// Reads a checksum file as GNU sha256sum -c does: CRLF or LF, '#' comment
// and empty lines skipped, blanks before the digest, either hex case, the
// '*' binary marker, backslash-escaped names (\\, \n, \r). Every well-formed
// line goes to `entries`; false, with `why` naming the first other line,
// when there is one.
bool Parse(const std::string& text, std::vector<Entry>& entries, std::string& why);

// A name as written, cut to its levels ("./a//b" -> "a/b"). False when it
// reaches outside the medium: a root, a drive, "..", nothing at all.
bool NormalName(const std::string& written, std::string& name);

// The SHA-256 of a file as hex; false, with the OS reason, when unreadable.
bool FileSha256(const fs::path& p, std::string& hex, std::string& why);

// Checks the files a checksum file lists below `dir`: each problem as
// "NAME: reason" (missing, unreadable with the reason, differs, or a name
// that reaches outside the medium). Empty when every file holds. Without
// `digests`, only that each file is there.
std::vector<std::string> Check(const fs::path& dir, const std::vector<Entry>& entries, bool digests = true);

// Reads DIR/SHA256SUMS: false, with the problem, when it is absent or
// cannot be read. Its lines are then for Parse.
bool ReadFile(const fs::path& dir, std::string& text, std::string& problem);

// Reads DIR/SHA256SUMS and checks it; a problem when it is absent or broken.
std::vector<std::string> CheckMedium(const fs::path& dir);

} // namespace checksums

#endif
