// Lays a medium out in a MediumWriter's staging: the description file in
// the code page, the packed payload, the setup program (signed when asked),
// the stamped picture, the icon and the runtime files. Quiet: a refusal
// comes back, packing's own refusals in `StagedMedium::packed`.
#ifndef KELVRA_MEDIATOOL_MEDIUM_ASSEMBLY_H
#define KELVRA_MEDIATOOL_MEDIUM_ASSEMBLY_H

#include <filesystem>
#include <string>
#include <vector>

#include "tools/mediatool/code_page.h"
#include "tools/mediatool/medium_writer.h"
#include "tools/mediatool/pack.h"
#include "tools/mediatool/signing.h"

namespace fs = std::filesystem;

struct AssembleOptions {
    std::string payload, setup, out, ini, splash, icon, runtime;
    bool placeholderRuntime = false, replace = false, skipEmptyDirs = false, strict = false;
    unsigned cp = kDefaultCodePage;
    std::string cpText = std::to_string(kDefaultCodePage);
    signing::Options sign;
};

// What the staging steps made, for the summary.
struct StagedMedium {
    std::string setupName, iniName;
    std::string encoding;      // how the description file was written
    std::string splashState;
    PackResult packed;
};

// The side files setup cannot do without: the runtime files.
std::vector<const char*> RuntimeFiles();

// The setup program's own description file name: its name cut after the
// last "." plus "ini". Empty when the name has no ".", because then the
// rule reaches into whatever folder the medium is copied to.
std::string DescriptionFileName(const std::string& setupName);

// Stages every file of the medium but the checksum file (the writer's Seal
// adds it). `runtime`: the runtime files found, in RuntimeFiles' order.
bool StageMedium(const AssembleOptions& o, const std::vector<fs::path>& runtime, MediumWriter& writer,
                 StagedMedium& st, MediumRefusal& refusal);

#endif
