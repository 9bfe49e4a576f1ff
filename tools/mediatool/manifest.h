// The text manifest written by pack --manifest and read by verify.
#ifndef KELVRA_MEDIATOOL_MANIFEST_H
#define KELVRA_MEDIATOOL_MANIFEST_H

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/mediatool/code_page.h"

struct ManifestEntry {
    std::string name;      // DisplayName of the record name
    std::uint64_t size = 0;
    std::string sha256;    // lower-case hex
};
struct Manifest {
    unsigned codePage = kDefaultCodePage;
    std::vector<ManifestEntry> records;
    std::uint64_t packageSize = 0;
    std::string packageSha256;
};
bool WriteManifest(const fs::path& p, const Manifest& m);
// False, with `why` naming the line, when the file is not a manifest.
bool ReadManifest(const fs::path& p, Manifest& m, std::string& why);

#endif
