// The setup package's extraction on Windows: the package file as a byte
// source, the disk as the target, and ExtractPackage over both.
#ifndef KELVRA_MEDIA_EXTRACT_WIN32_H
#define KELVRA_MEDIA_EXTRACT_WIN32_H

#include <windows.h>

#include <cstdint>
#include <string>

#include "base/handles_win32.h"
#include "media/extract.h"

// An open file, read strictly forwards; whoever opened it closes it.
class HandleSource : public ByteSource {
public:
    explicit HandleSource(HANDLE file = nullptr) : file_(file) {}
    std::size_t Read(unsigned char* dst, std::size_t n) override;

private:
    HANDLE file_;
};

// The records' folders and files on the disk. `lb` are the lead bytes of
// the code page the target paths are in, for finding their levels.
class DiskTarget : public ExtractTarget {
public:
    explicit DiskTarget(const LeadBytes& lb) : lb_(lb) {}

    void CreateFolders(const std::string& targetPath) override;
    bool CreateTargetFile(const std::string& targetPath) override;
    bool WriteTarget(const unsigned char* data, std::size_t n) override;
    bool CloseTargetFile() override;

private:
    LeadBytes lb_;
    FileHandle file_;
};

// Unpacks the package `package` (open for reading at offset 0; the caller
// closes it) of `packageSize` bytes below `installFolder` (ending in a
// backslash), its names in the code page of `lb`, telling `progress` once
// per record. Shows no message. On failure, `failedPath` is the full target
// path of the record that could not be written.
ExtractResult ExtractPackage(HANDLE package, std::int32_t packageSize, const std::string& installFolder,
                             const LeadBytes& lb, ExtractProgress& progress);

#endif
