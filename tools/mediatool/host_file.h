// Files named by host paths, and package bytes read from them.
#ifndef KELVRA_MEDIATOOL_HOST_FILE_H
#define KELVRA_MEDIATOOL_HOST_FILE_H

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "base/file_owner.h"
#include "media/package_format.h"

namespace fs = std::filesystem;

// Large buffers for streaming files in and out.
constexpr std::size_t kStreamBufferSize = 1 << 20;

// fopen for a host path (wide on Windows).
std::FILE* OpenFile(const fs::path& p, const char* mode);

// Package bytes from an open file.
class FileSource : public ByteSource {
public:
    explicit FileSource(std::FILE* f) : f_(f) {}
    std::size_t Read(unsigned char* dst, std::size_t n) override;

private:
    std::FILE* f_;
};

// Whether p is a folder; if not, `why` says so as the user needs it: "not a
// folder" for another kind of file, else the system's reason.
bool IsFolder(const fs::path& p, std::string& why);

// Standard output carries bytes as they are (no text translation on Windows).
void SetBinaryStdout();

// The size of a file, or false (with the system's reason in `why`).
bool FileSize(const fs::path& p, std::uint64_t& size);
bool FileSize(const fs::path& p, std::uint64_t& size, std::string& why);

#endif
