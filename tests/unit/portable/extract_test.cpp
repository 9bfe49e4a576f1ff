// The record loop of the extraction, with an in-memory file system.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "media/extract.h"
#include "tests/common/bytes.h"

namespace {

using testbytes::Record;
using testbytes::U32;

class MemoryTarget : public ExtractTarget, public ExtractProgress {
public:
    void SetProgress(int position) override { progress.push_back(position); }
    void CreateFolders(const std::string& path) override { folderCalls.push_back(path); }
    bool CreateTargetFile(const std::string& path) override
    {
        if (refuse.count(path)) return false;
        open = path;
        files[path].clear();
        return true;
    }
    bool WriteTarget(const unsigned char* data, std::size_t n) override
    {
        chunkSizes.push_back(n);
        if (open == failWrite) return false;
        files[open].append(reinterpret_cast<const char*>(data), n);
        return true;
    }
    bool CloseTargetFile() override
    {
        closed.push_back(open);
        const bool ok = open != failClose;
        open.clear();
        return ok;
    }

    std::vector<int> progress;
    std::vector<std::string> folderCalls;
    std::map<std::string, std::string> files;
    std::vector<std::size_t> chunkSizes;
    std::vector<std::string> closed;
    std::set<std::string> refuse;
    std::string failWrite;
    std::string failClose;   // its content cannot be completed (a full disk)
    std::string open;
};

const std::string kFolder = "C:\\Kelvra\\";

ExtractResult Unpack(const std::string& package, MemoryTarget& target,
                  const LeadBytes& lb = LeadBytes::ForCodePage(936))
{
    MemorySource src(reinterpret_cast<const unsigned char*>(package.data()), package.size());
    return RunExtraction(src, static_cast<std::int32_t>(package.size()), kFolder, lb, target, &target);
}

TEST(Extraction, EmptyPackageDoesNothing)
{
    for (std::int32_t size : {0, -1, INT32_MIN}) {
        MemoryTarget t;
        MemorySource src(nullptr, 0);
        const ExtractResult r = RunExtraction(src, size, kFolder, LeadBytes(), t, &t);
        EXPECT_TRUE(r.ok);
        EXPECT_TRUE(t.progress.empty());
        EXPECT_TRUE(t.files.empty());
    }
}

TEST(Extraction, RecordsInOrderLaterWins)
{
    MemoryTarget t;
    const std::string pkg = Record("a.txt", "first") + Record("bin\\k.exe", "MZ") + Record("empty", "") +
                            Record("a.txt", "second");
    const ExtractResult r = Unpack(pkg, t);
    ASSERT_TRUE(r.ok) << r.failedPath;
    EXPECT_EQ(r.records, 4u);
    EXPECT_EQ(t.progress, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(t.files, (std::map<std::string, std::string>{{kFolder + "a.txt", "second"},
                                                           {kFolder + "bin\\k.exe", "MZ"},
                                                           {kFolder + "empty", ""}}));
    EXPECT_EQ(t.folderCalls, (std::vector<std::string>{kFolder + "a.txt", kFolder + "bin\\k.exe",
                                                       kFolder + "empty", kFolder + "a.txt"}));
    EXPECT_EQ(t.closed.size(), 4u);
}

TEST(Extraction, DataMovesInChunksOf260)
{
    const struct { std::size_t size; std::vector<std::size_t> chunks; } cases[] = {
        {0, {}}, {260, {260}}, {261, {260, 1}}, {520, {260, 260}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        std::string data;
        for (std::size_t i = 0; i < c.size; ++i) data += static_cast<char>('a' + i % 26);
        MemoryTarget t;
        const ExtractResult r = Unpack(Record("f.bin", data), t);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(t.chunkSizes, c.chunks);
        EXPECT_EQ(t.files[kFolder + "f.bin"], data);
    }
}

TEST(Extraction, ProgressStopsAt500)
{
    std::string pkg;
    for (int i = 0; i < 600; ++i) pkg += Record("f" + std::to_string(i), "");
    MemoryTarget t;
    ASSERT_TRUE(Unpack(pkg, t).ok);
    ASSERT_EQ(t.progress.size(), 600u);
    for (int i = 0; i < 600; ++i) EXPECT_EQ(t.progress[i], i < 500 ? i + 1 : 500) << i;
}

TEST(Extraction, StopsAtTheFileThatCannotBeCreated)
{
    std::string pkg;
    for (int i = 1; i <= 5; ++i) pkg += Record("d\\f" + std::to_string(i), "data" + std::to_string(i));
    MemoryTarget t;
    t.refuse.insert(kFolder + "d\\f3");
    const ExtractResult r = Unpack(pkg, t);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failure, ExtractFailure::kCreateFailed);
    EXPECT_EQ(r.failedPath, kFolder + "d\\f3");
    EXPECT_EQ(r.records, 2u);
    EXPECT_EQ(t.files, (std::map<std::string, std::string>{{kFolder + "d\\f1", "data1"},
                                                           {kFolder + "d\\f2", "data2"}}));
    EXPECT_EQ(t.progress, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(t.folderCalls.size(), 3u);   // record 3's folders were attempted
}

// Packages that are not whole, and the zero-length name: every one fails,
// nothing is created for the broken record, and the path is the record's
// (or the install folder's where no name could be read).
TEST(Extraction, BrokenPackagesFail)
{
    const std::string good = Record("ok.txt", "fine");
    const struct {
        const char* what;
        std::string tail;
        ExtractFailure failure;
        PackageError packageError;
        std::string path;
    } cases[] = {
        {"two stray bytes", std::string("\x01\x02", 2), ExtractFailure::kBrokenPackage,
         PackageError::kShortNameLength, kFolder},
        {"name length 260", U32(260) + std::string(260, 'n') + U32(0), ExtractFailure::kBrokenPackage,
         PackageError::kNameTooLong, kFolder},
        {"name length 2^32-1", U32(0xFFFFFFFF) + "abc", ExtractFailure::kBrokenPackage,
         PackageError::kNameTooLong, kFolder},
        {"name cut", U32(10) + "part", ExtractFailure::kBrokenPackage, PackageError::kShortName,
         kFolder + "part"},
        {"size cut", U32(3) + "abc" + "\x05", ExtractFailure::kBrokenPackage, PackageError::kShortDataSize,
         kFolder + "abc"},
        {"negative size", U32(3) + "abc" + U32(0xFFFFFFF0), ExtractFailure::kBrokenPackage,
         PackageError::kNegativeDataSize, kFolder + "abc"},
        {"data cut", U32(3) + "abc" + U32(100) + "only this", ExtractFailure::kBrokenPackage,
         PackageError::kShortData, kFolder + "abc"},
        {"name length 0", U32(0) + U32(0), ExtractFailure::kBadName, PackageError::kNone, kFolder},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryTarget t;
        const ExtractResult r = Unpack(good + c.tail, t);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.failure, c.failure);
        EXPECT_EQ(r.packageError, c.packageError);
        EXPECT_EQ(r.failedPath, c.path);
        EXPECT_EQ(r.recordOffset, good.size());
        EXPECT_EQ(t.files, (std::map<std::string, std::string>{{kFolder + "ok.txt", "fine"}}));
        EXPECT_EQ(t.folderCalls.size(), 1u);
        EXPECT_EQ(t.progress, (std::vector<int>{1, 2}));
    }
}

TEST(Extraction, SizeLargerThanTheSourceFails)
{
    // The caller's size says more than the file holds: no success.
    const std::string pkg = Record("a", "12345");
    MemoryTarget t;
    MemorySource src(reinterpret_cast<const unsigned char*>(pkg.data()), pkg.size() - 2);
    const ExtractResult r = RunExtraction(src, static_cast<std::int32_t>(pkg.size()), kFolder, LeadBytes(), t, &t);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.packageError, PackageError::kShortData);
    EXPECT_EQ(r.failedPath, kFolder + "a");
    EXPECT_EQ(t.closed, (std::vector<std::string>{kFolder + "a"}));
}

// A refused name stops the extraction; nothing is made for it.
TEST(Extraction, RefusedNamesStopBeforeAnythingIsWritten)
{
    const struct { std::string name; NameError error; } cases[] = {
        {"..\\evil.dll", NameError::kParentStep},
        {"a\\..\\..\\evil.dll", NameError::kParentStep},
        {"\\Windows\\evil.dll", NameError::kLeadingSeparator},
        {"C:\\evil.dll", NameError::kDrive},
        {"a.txt:ads", NameError::kColon},
        {"dir.\\x", NameError::kTrailingDotOrSpace},
        {"nul.txt", NameError::kReservedDevice},
        {"a\nb", NameError::kControlCharacter},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryTarget t;
        const ExtractResult r = Unpack(Record("first", "1") + Record(c.name, "x") + Record("last", "3"), t);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.failure, ExtractFailure::kBadName);
        EXPECT_EQ(r.nameError, c.error);
        EXPECT_EQ(r.failedPath, kFolder + c.name);
        EXPECT_EQ(t.files, (std::map<std::string, std::string>{{kFolder + "first", "1"}}));
        EXPECT_EQ(t.folderCalls, (std::vector<std::string>{kFolder + "first"}));
    }
}

// A failed write is a failure with the path, and the file is closed.
// A name padded with zero bytes is written under the name before its first
// zero; the name rules judge that name, and one left empty is refused.
TEST(Extraction, NameEndsAtItsFirstZeroByte)
{
    MemoryTarget t;
    const std::string padded = U32(10) + std::string("pad.txt\0\0\0", 10) + U32(2) + "ok";
    const ExtractResult r = Unpack(padded + Record("next", "2"), t);
    ASSERT_TRUE(r.ok) << DescribeExtractFailure(r);
    EXPECT_EQ(r.records, 2u);
    EXPECT_EQ(t.files, (std::map<std::string, std::string>{{kFolder + "pad.txt", "ok"}, {kFolder + "next", "2"}}));

    const struct {
        std::string name;
        NameError error;
        std::string path;
    } refused[] = {
        {std::string("\0abc", 4), NameError::kEmpty, kFolder},
        {std::string("\0", 1), NameError::kEmpty, kFolder},
        {std::string("..\0\\x", 4), NameError::kParentStep, kFolder + ".."},
        {std::string("ab:c\0", 5), NameError::kColon, kFolder + "ab:c"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.path);
        MemoryTarget t2;
        const ExtractResult r2 = Unpack(Record("first", "1") + Record(c.name, "x"), t2);
        EXPECT_FALSE(r2.ok);
        EXPECT_EQ(r2.failure, ExtractFailure::kBadName);
        EXPECT_EQ(r2.nameError, c.error);
        EXPECT_EQ(r2.failedPath, c.path);
        EXPECT_EQ(r2.recordOffset, Record("first", "1").size());
        EXPECT_EQ(t2.files, (std::map<std::string, std::string>{{kFolder + "first", "1"}}));
    }
}

TEST(Extraction, FailedWriteIsReported)
{
    MemoryTarget t;
    t.failWrite = kFolder + "big.bin";
    const ExtractResult r = Unpack(Record("a", "1") + Record("big.bin", std::string(1000, 'z')) + Record("c", "3"), t);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failure, ExtractFailure::kWriteFailed);
    EXPECT_EQ(r.failedPath, kFolder + "big.bin");
    EXPECT_EQ(t.closed, (std::vector<std::string>{kFolder + "a", kFolder + "big.bin"}));
    EXPECT_EQ(t.files.count(kFolder + "c"), 0u);
}

// A write or a close that fails stops the extraction at that file: no
// further write, the file closed, nothing after it.
TEST(Extraction, FailedWriteOrCloseStopsAtThatFile)
{
    const std::string big = kFolder + "big.bin";
    const struct { const char* what; bool write, close; std::vector<std::size_t> chunks; } cases[] = {
        {"write", true, false, {1, 260}},
        {"close", false, true, {1, 260, 260, 260, 220}},
        {"both", true, true, {1, 260}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryTarget t;
        if (c.write) t.failWrite = big;
        if (c.close) t.failClose = big;
        const ExtractResult r = Unpack(Record("a", "1") + Record("big.bin", std::string(1000, 'z')) + Record("c", "3"), t);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.failure, ExtractFailure::kWriteFailed);
        EXPECT_EQ(r.failedPath, big);
        EXPECT_EQ(r.records, 1u);
        EXPECT_EQ(t.chunkSizes, c.chunks);
        EXPECT_EQ(t.closed, (std::vector<std::string>{kFolder + "a", big}));
        EXPECT_EQ(t.files.count(kFolder + "c"), 0u);
    }
}

TEST(Extraction, PathOverTheLimitIsRefused)
{
    // 10 + 249 = 259 characters fit; one more does not.
    MemoryTarget t;
    EXPECT_TRUE(Unpack(Record(std::string(249, 'p'), ""), t).ok);
    const ExtractResult r = Unpack(Record(std::string(250, 'p'), ""), t);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failure, ExtractFailure::kPathTooLong);
    // Double-byte characters count once: 10 bytes of folder and 129 GBK
    // characters make 268 bytes but 139 characters.
    std::string wide;
    for (int i = 0; i < 129; ++i) wide += "\xD6\xD0";
    ASSERT_EQ(wide.size(), 258u);
    MemoryTarget t2;
    EXPECT_TRUE(Unpack(Record(wide, ""), t2).ok);
}

// GBK names whose trail byte is 0x5C make exactly their folders.
TEST(Extraction, ChineseNamesInCodePage936)
{
    const std::string jou = "\x81\x5C";                 // 乗
    const std::string wenjianjia = "\xCE\xC4\xBC\xFE\xBC\xD0";   // 文件夹
    MemoryTarget t;
    const std::string name = wenjianjia + "\\" + jou + "\\" + jou + ".txt";
    const ExtractResult r = Unpack(Record(name, "gbk"), t);
    ASSERT_TRUE(r.ok) << DescribeExtractFailure(r);
    EXPECT_EQ(t.files, (std::map<std::string, std::string>{{kFolder + name, "gbk"}}));
    // The same name in a single-byte code page has an empty level: refused.
    MemoryTarget t2;
    const ExtractResult r2 = Unpack(Record(jou + "\\x", "gbk"), t2, LeadBytes());
    EXPECT_FALSE(r2.ok);
    EXPECT_EQ(r2.nameError, NameError::kEmptyLevel);
}

} // namespace
