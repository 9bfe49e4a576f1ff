// Packing a folder tree into a setup package: the library under 'mediatool
// pack' and 'mediatool assemble'. It never prints; the caller reports.
#ifndef KELVRA_MEDIATOOL_PACK_H
#define KELVRA_MEDIATOOL_PACK_H

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "tools/mediatool/code_page.h"

struct PackOptions {
    fs::path dir;
    fs::path out;
    std::FILE* stream = nullptr;   // written here instead of to `out` when set
    fs::path manifest;             // none when empty
    unsigned cp = kDefaultCodePage;
    bool skipEmptyDirs = false;
    bool packageDigest = false;    // the package's SHA-256 even without a manifest
    // Called as the records are written: bytes so far, of all, files so far.
    std::function<void(std::uint64_t, std::uint64_t, std::uint64_t)> progress;
};

// One thing that stops the package: a path (in UTF-8) and the reason.
struct PackRefusal {
    std::string what;
    std::string why;
};

struct PackedRecord {
    std::string name;   // in the code page, as in the package
    std::uint64_t size = 0;
};

// What packing did. With refusals, nothing was written unless `written`
// says that the package is in place and only its manifest failed.
struct PackResult {
    std::vector<PackRefusal> refusals;
    std::vector<fs::path> leftOut;       // empty folders, with --skip-empty-dirs
    std::vector<PackedRecord> records;   // in package order
    std::uint64_t packageSize = 0;
    std::uint64_t dataSize = 0;
    std::string packageSha256;           // lower-case hex, when computed
    bool written = false;                // the package is in place (a manifest may have failed)
    bool Ok() const { return refusals.empty(); }
};

PackResult PackFolder(const PackOptions& options);

#endif
