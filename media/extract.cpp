#include "media/extract.h"

#include <cstring>

namespace {

ExtractResult Failed(ExtractFailure failure, const std::string& path, std::uint32_t offset,
                     std::uint32_t records)
{
    ExtractResult r;
    r.ok = false;
    r.failure = failure;
    r.failedPath = path;
    r.recordOffset = offset;
    r.records = records;
    return r;
}

} // namespace

std::string DescribeExtractFailure(const ExtractResult& r)
{
    switch (r.failure) {
    case ExtractFailure::kNone: return "no failure";
    case ExtractFailure::kBrokenPackage: return DescribePackageError(r.packageError);
    case ExtractFailure::kBadName: return DescribeNameError(r.nameError);
    case ExtractFailure::kPathTooLong: return "the target path is longer than 259 characters";
    case ExtractFailure::kCreateFailed: return "the file cannot be created";
    case ExtractFailure::kWriteFailed: return "the file cannot be written completely";
    }
    return "unknown failure";
}

ExtractResult RunExtraction(ByteSource& package, std::int32_t packageSize,
                            const std::string& installFolder, const LeadBytes& lb,
                            ExtractTarget& target)
{
    if (packageSize < 1) return ExtractResult();

    PackageReader reader(package, static_cast<std::uint32_t>(packageSize));
    // One buffer for the name and then the data chunks of the same record.
    unsigned char buffer[kTransferBufferSize];
    int position = 0;
    std::uint32_t records = 0;
    std::string targetPath;

    for (;;) {
        position = position + 1 > kProgressCap ? kProgressCap : position + 1;
        target.SetProgress(position);

        std::uint32_t nameLength = 0;
        std::uint32_t nameRead = 0;
        PackageError error = reader.ReadName(buffer, nameLength, nameRead);
        const std::uint32_t offset = reader.RecordOffset();
        // The buffer's text up to its first zero: it always holds one.
        targetPath = installFolder;
        targetPath += reinterpret_cast<const char*>(buffer);
        if (error == PackageError::kNone) {
            std::int32_t dataSize = 0;
            error = reader.ReadDataSize(dataSize);
        }
        if (error != PackageError::kNone) {
            ExtractResult r = Failed(ExtractFailure::kBrokenPackage, targetPath, offset, records);
            r.packageError = error;
            return r;
        }

        const NameError nameError =
            CheckName(reinterpret_cast<const char*>(buffer), nameLength, lb);
        if (nameError != NameError::kNone) {
            ExtractResult r = Failed(ExtractFailure::kBadName, targetPath, offset, records);
            r.nameError = nameError;
            return r;
        }
        if (CharCount(targetPath, lb) > kMaxPathChars)
            return Failed(ExtractFailure::kPathTooLong, targetPath, offset, records);

        target.CreateFolders(targetPath);
        if (!target.CreateTargetFile(targetPath))
            return Failed(ExtractFailure::kCreateFailed, targetPath, offset, records);

        bool written = true;
        for (;;) {
            std::size_t got = 0;
            error = reader.ReadChunk(buffer, got);
            if (got && !target.WriteTarget(buffer, got)) {
                written = false;
                break;
            }
            if (error != PackageError::kNone || got == 0) break;
        }
        const bool closed = target.CloseTargetFile();
        if (error != PackageError::kNone) {
            ExtractResult r = Failed(ExtractFailure::kBrokenPackage, targetPath, offset, records);
            r.packageError = error;
            return r;
        }
        if (!written || !closed)
            return Failed(ExtractFailure::kWriteFailed, targetPath, offset, records);
        ++records;

        if (reader.AtEnd()) {
            ExtractResult r;
            r.records = records;
            return r;
        }
    }
}
