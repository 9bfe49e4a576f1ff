// A package file as list, unpack and verify take it.
#ifndef KELVRA_MEDIATOOL_PACKAGE_FILE_H
#define KELVRA_MEDIATOOL_PACKAGE_FILE_H

#include <cstdint>
#include <filesystem>
#include <string>

#include "base/file_owner.h"
#include "media/package_format.h"
#include "media/sha256.h"

namespace fs = std::filesystem;

// A package file open for reading through a large buffer, and its size.
struct PackageFile {
    FileOwner file;
    std::uint64_t size = 0;
};

// Opens a file that can be a package. False, with the reason, for one that
// is missing, is no regular file, cannot be opened or is too large for setup.
bool OpenPackage(const fs::path& p, PackageFile& package, std::string& why);

// Passes reads through and hashes what they bring, when asked to: the
// package's digest taken on the one read that walks it.
class HashingSource : public ByteSource {
public:
    HashingSource(ByteSource& inner, bool hashing) : inner_(inner), hashing_(hashing) {}
    std::size_t Read(unsigned char* dst, std::size_t n) override
    {
        const std::size_t got = inner_.Read(dst, n);
        if (hashing_) hash_.Update(dst, got);
        return got;
    }
    // Reads what the walk left unread, so that the digest covers the file.
    void Drain()
    {
        unsigned char buf[65536];
        while (Read(buf, sizeof buf) > 0) {
        }
    }
    Sha256 hash_;

private:
    ByteSource& inner_;
    bool hashing_;
};

// "broken at offset N: why (record NAME)" for a walker stopped by an error.
std::string DescribeBreak(const PackageWalker& walker, unsigned cp);

#endif
