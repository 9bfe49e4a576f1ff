#include "media/extract.h"

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
                            ExtractTarget& target, ExtractProgress* progress)
{
    if (packageSize < 1) return ExtractResult();

    PackageWalker walker(package, static_cast<std::uint32_t>(packageSize));
    const PackageRecord& record = walker.Record();
    unsigned char buffer[kTransferBufferSize];
    std::uint32_t records = 0;
    std::string targetPath;
    auto broken = [&] {
        ExtractResult r = Failed(ExtractFailure::kBrokenPackage, targetPath, record.offset, records);
        r.packageError = walker.Error();
        return r;
    };

    do {
        if (progress) progress->SetProgress(ProgressForRecord(records + 1));

        const bool read = walker.NextRecord();
        // What of the name could be read, up to its first zero byte.
        targetPath = installFolder + record.name;
        if (!read) return broken();

        const NameError nameError = CheckName(record.name, lb);
        if (nameError != NameError::kNone) {
            ExtractResult r = Failed(ExtractFailure::kBadName, targetPath, record.offset, records);
            r.nameError = nameError;
            return r;
        }
        if (CharCount(targetPath, lb) > kMaxPathChars)
            return Failed(ExtractFailure::kPathTooLong, targetPath, record.offset, records);

        target.CreateFolders(targetPath);
        if (!target.CreateTargetFile(targetPath))
            return Failed(ExtractFailure::kCreateFailed, targetPath, record.offset, records);

        bool written = true;
        for (std::size_t got; written && (got = walker.ReadChunk(buffer)) > 0;)
            written = target.WriteTarget(buffer, got);
        const bool closed = target.CloseTargetFile();
        if (walker.Error() != PackageError::kNone) return broken();
        if (!written || !closed)
            return Failed(ExtractFailure::kWriteFailed, targetPath, record.offset, records);
        ++records;
    } while (!walker.AtEnd());

    ExtractResult r;
    r.records = records;
    return r;
}
