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

// Writes all of `n` bytes to the stream's file, past its buffer, going on
// after a short write, so that the reason of the one that fails is told
// ("No space left on device"). False, with `why`.
bool WriteFully(std::FILE* f, const void* data, std::size_t n, std::string& why);

// Copies a file's bytes and permissions over `to`. False, with the system's
// reason for the read or write that failed.
bool CopyFileContents(const fs::path& from, const fs::path& to, std::string& why);

// All of a file's bytes. False, with the system's reason.
bool ReadWholeFile(const fs::path& p, std::string& bytes, std::string& why);

// The size of a file, or false (with the system's reason in `why`).
bool FileSize(const fs::path& p, std::uint64_t& size);
bool FileSize(const fs::path& p, std::uint64_t& size, std::string& why);

#endif
