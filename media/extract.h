// Unpacking a setup package: the record loop shared by the installer's run
// (RunInstall), ExtractPackage (extract_win32.h), the media tool and the
// fuzzers. Where the files go is up to an ExtractTarget; who shows the
// progress, up to an ExtractProgress.
#ifndef KELVRA_MEDIA_EXTRACT_H
#define KELVRA_MEDIA_EXTRACT_H

#include <cstdint>
#include <string>

#include "base/codepage.h"
#include "media/name_rules.h"
#include "media/package_format.h"

// The progress bar: its range, where the extraction stops moving it however
// many records the package holds, and where it stands when the main dialog
// closes. It never reaches the end of its range.
constexpr int kProgressRange = 800;
constexpr int kProgressCap = 500;
constexpr int kFinalProgress = 500;

// Where the bar stands while the n-th record (1, 2, ...) is read: one step a
// record, up to the cap.
constexpr int ProgressForRecord(std::uint32_t n)
{
    return n < static_cast<std::uint32_t>(kProgressCap) ? static_cast<int>(n) : kProgressCap;
}

// Told once per record, before the record is read: ProgressForRecord.
class ExtractProgress {
public:
    virtual void SetProgress(int position) = 0;

protected:
    ~ExtractProgress() = default;
};

// Makes the folders and files of the records, and nothing else.
class ExtractTarget {
public:
    virtual ~ExtractTarget() = default;
    // Creates the folders that `targetPath` names before its last level.
    // Failures are not reported; they show when the file cannot be created.
    virtual void CreateFolders(const std::string& targetPath) = 0;
    // Creates or empties the file (CREATE_ALWAYS).
    virtual bool CreateTargetFile(const std::string& targetPath) = 0;
    // False unless all n bytes were written.
    virtual bool WriteTarget(const unsigned char* data, std::size_t n) = 0;
    // False when the file's content could not be completed.
    virtual bool CloseTargetFile() = 0;
};

enum class ExtractFailure {
    kNone,
    kBrokenPackage,   // see ExtractResult::packageError
    kBadName,         // see ExtractResult::nameError
    kPathTooLong,     // install folder plus name over 259 characters
    kCreateFailed,
    kWriteFailed,
};

struct ExtractResult {
    bool ok = true;
    // On failure: the full target path of the record that stopped the
    // extraction; the install folder itself when no name could be read.
    std::string failedPath;
    ExtractFailure failure = ExtractFailure::kNone;
    PackageError packageError = PackageError::kNone;
    NameError nameError = NameError::kNone;
    std::uint32_t recordOffset = 0;   // where the failing record starts
    std::uint32_t records = 0;        // records written completely
};

// Text for a failure, naming the reason (not the path).
std::string DescribeExtractFailure(const ExtractResult& r);

// Unpacks every record of a package of `packageSize` bytes below
// `installFolder` (which ends in a backslash; the target path is plain
// concatenation). Stops at the first record that is broken, badly named or
// cannot be written; earlier files stay. A size below 1 is an empty package
// and moves no progress. Without `progress` nothing is told of it.
ExtractResult RunExtraction(ByteSource& package, std::int32_t packageSize,
                            const std::string& installFolder, const LeadBytes& lb,
                            ExtractTarget& target, ExtractProgress* progress = nullptr);

#endif
