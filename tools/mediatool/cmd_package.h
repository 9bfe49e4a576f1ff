// mediatool pack / list / unpack / verify: making and checking Setup.pkg.
#ifndef KELVRA_MEDIATOOL_CMD_PACKAGE_H
#define KELVRA_MEDIATOOL_CMD_PACKAGE_H

#include <cstdint>
#include <string>
#include <vector>

#include "tools/mediatool/code_page.h"
#include "tools/mediatool/commands.h"

int RunPack(const Args& args);
void HelpPack();

struct PackOptions {
    fs::path dir;
    fs::path out;
    bool toStdout = false;        // the package goes to standard output, not to `out`
    fs::path manifest;            // none when empty
    unsigned cp = kDefaultCodePage;
    bool skipEmptyDirs = false;
    bool packageDigest = false;   // the package's SHA-256 even without a manifest
};
// What packing computed, so that no caller reads the package again.
struct PackedRecord {
    std::string name;   // in the code page, as in the package
    std::uint64_t size = 0;
};
struct PackSummary {
    std::vector<PackedRecord> records;   // in package order
    std::uint64_t packageSize = 0;
    std::uint64_t dataSize = 0;
    std::string packageSha256;           // lower-case hex, when computed
};
// Packs as 'mediatool pack' does, with its messages; returns its exit status.
int PackFolder(const PackOptions& options, PackSummary& summary);

int RunList(const Args& args);
void HelpList();

int RunUnpack(const Args& args);
void HelpUnpack();

int RunVerify(const Args& args);
void HelpVerify();

#endif
