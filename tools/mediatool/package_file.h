// A package file as list, unpack and verify take it.
#ifndef KELVRA_MEDIATOOL_PACKAGE_FILE_H
#define KELVRA_MEDIATOOL_PACKAGE_FILE_H

#include <cstdint>
#include <filesystem>
#include <string>

#include "base/file_owner.h"
#include "media/package_format.h"

namespace fs = std::filesystem;

// A package file open for reading through a large buffer, and its size.
struct PackageFile {
    FileOwner file;
    std::uint64_t size = 0;
};

// Opens a file that can be a package. False, with the reason, for one that
// is missing, is no regular file, cannot be opened or is too large for setup.
bool OpenPackage(const fs::path& p, PackageFile& package, std::string& why);

// "broken at offset N: why (record NAME)" for a walker stopped by an error.
std::string DescribeBreak(const PackageWalker& walker, unsigned cp);

#endif
