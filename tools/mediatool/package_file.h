// A package file as list, unpack and verify take it.
#ifndef KELVRA_MEDIATOOL_PACKAGE_FILE_H
#define KELVRA_MEDIATOOL_PACKAGE_FILE_H

#include <cstdint>
#include <filesystem>
#include <string>

#include "media/package_format.h"

namespace fs = std::filesystem;

// Refuses files that cannot be a package; prints the message itself.
// `command` names the subcommand for the message.
bool CheckPackageFile(const char* command, const fs::path& p, std::uint64_t& size);

// "broken at offset N: why (record NAME)" for a walker stopped by an error.
std::string DescribeBreak(const PackageWalker& walker, unsigned cp);

#endif
