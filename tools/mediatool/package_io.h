// What pack, list, unpack and verify share: code page conversion of record
// names, files named by host paths, the package manifest, terminal progress.
#ifndef KELVRA_MEDIATOOL_PACKAGE_IO_H
#define KELVRA_MEDIATOOL_PACKAGE_IO_H

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/codepage.h"
#include "media/name_rules.h"
#include "media/package_format.h"

namespace fs = std::filesystem;

constexpr unsigned kDefaultCodePage = 936;
// Large buffers for streaming files in and out.
constexpr std::size_t kStreamBufferSize = 1 << 20;

// Whether `text` is a code page the tool can write names in (the lead-byte
// tables must know every double-byte one). Sets `cp`.
bool ParseCodePage(const std::string& text, unsigned& cp);
const char* SupportedCodePages();

// One level of a host path into the code page, and back. False when a
// character has no exact counterpart.
bool LevelToCodePage(const fs::path& level, unsigned cp, std::string& out);
bool LevelFromCodePage(const std::string& bytes, unsigned cp, fs::path& out);

// A record name for people: UTF-8, with \xNN for bytes the code page does
// not decode.
std::string DisplayName(const std::string& name, unsigned cp);

// The host path below `root` that a record name stands for. False, with
// `why` set, when a level cannot be converted.
bool NameToHostPath(const std::string& name, unsigned cp, const fs::path& root, fs::path& out,
                    std::string& why);

// A path given on the command line: UTF-8 on POSIX, the ANSI code page on
// Windows (where main's arguments come in it).
fs::path ArgPath(const std::string& arg);

// A path in UTF-8 for messages.
std::string PathText(const fs::path& p);

std::FILE* OpenFile(const fs::path& p, const char* mode);

// Closes its FILE when it goes.
class File {
public:
    File() = default;
    File(const fs::path& p, const char* mode) : f_(OpenFile(p, mode)) {}
    explicit File(std::FILE* f) : f_(f) {}
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() { Close(); }
    std::FILE* get() const { return f_; }
    explicit operator bool() const { return f_ != nullptr; }
    // False when anything written did not reach the file.
    bool Close();

private:
    std::FILE* f_ = nullptr;
};

// Package bytes from an open file.
class FileSource : public ByteSource {
public:
    explicit FileSource(std::FILE* f) : f_(f) {}
    std::size_t Read(unsigned char* dst, std::size_t n) override;

private:
    std::FILE* f_;
};

// The size of a file, or false.
bool FileSize(const fs::path& p, std::uint64_t& size);

// Refuses files that cannot be a package; prints the message itself.
// `command` names the subcommand for the message.
bool CheckPackageFile(const char* command, const fs::path& p, std::uint64_t& size);

// "mediatool CMD: what: why" on standard error.
void Refuse(const char* command, const std::string& what, const std::string& why);
void UsageError(const char* command, const std::string& why);

// For "--codepage N" at args[i]: reads N into `cp` and moves i onto it.
// False, after the usage message, when N is missing or not supported.
bool TakeCodePage(const char* command, const std::vector<std::string>& args, std::size_t& i,
                  unsigned& cp);

// Standard output shows UTF-8 (a Windows console is switched to it).
void PrepareConsole();

std::string JsonString(const std::string& utf8);

// One pass over a package's records, for list and verify.
struct RecordInfo {
    std::uint32_t offset = 0;
    std::string name;       // raw bytes in the code page
    std::uint32_t size = 0;
    NameError nameError = NameError::kNone;
};
class RecordVisitor {
public:
    virtual ~RecordVisitor() = default;
    virtual void Record(const RecordInfo& info) = 0;
    virtual void Data(const unsigned char* /*data*/, std::size_t /*n*/) {}
    virtual void EndRecord() {}
};
struct WalkResult {
    PackageError error = PackageError::kNone;
    std::uint32_t offset = 0;    // of the broken record
    std::string name;            // what of its name could be read
    std::uint32_t records = 0;
};
WalkResult WalkPackage(ByteSource& source, std::uint32_t size, unsigned cp, RecordVisitor& visitor);
std::string DescribeBreak(const WalkResult& r, unsigned cp);

// The text manifest written by pack --manifest and read by verify.
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

// Progress on standard error, only when it is a terminal and the work has
// gone on for a while.
class Progress {
public:
    Progress(const char* verb, std::uint64_t total);
    void Update(std::uint64_t done, std::uint64_t files);
    void Finish();

private:
    const char* verb_;
    std::uint64_t total_;
    bool terminal_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point last_;
};

double SecondsSince(std::chrono::steady_clock::time_point start);

#endif
