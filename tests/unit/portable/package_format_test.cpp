// The record walker over hand-written byte layouts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "media/package_format.h"
#include "tests/common/bytes.h"

namespace {

using testbytes::U32;

struct ReadCase {
    const char* what;
    std::string bytes;
    PackageError error;
    std::uint32_t nameLength;
    std::uint32_t nameRead;
    std::int32_t dataSize;
};

std::string B(const char* s, std::size_t n) { return std::string(s, n); }

// Reads one record's header; the data is left unread.
PackageError FirstRecord(const std::string& bytes, PackageRecord& record)
{
    MemorySource src(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    PackageWalker walker(src, static_cast<std::uint32_t>(bytes.size()));
    const bool read = walker.NextRecord();
    EXPECT_EQ(read, walker.Error() == PackageError::kNone);
    record = walker.Record();
    return walker.Error();
}

TEST(PackageWalker, HeaderFieldsTable)
{
    const ReadCase cases[] = {
        {"whole record", B("\x05\0\0\0" "a.txt" "\x03\0\0\0" "abc", 16), PackageError::kNone, 5, 5, 3},
        {"empty data", B("\x01\0\0\0" "x" "\0\0\0\0", 9), PackageError::kNone, 1, 1, 0},
        {"three bytes only", B("\x05\0\0", 3), PackageError::kShortNameLength, 0, 0, 0},
        {"name length 259", B("\x03\x01\0\0", 4) + std::string(259, 'n') + U32(1) + "d", PackageError::kNone, 259,
         259, 1},
        {"name length 260", B("\x04\x01\0\0" "abcd", 8), PackageError::kNameTooLong, 260, 0, 0},
        {"name length 2^32-1", B("\xff\xff\xff\xff" "abcd", 8), PackageError::kNameTooLong, 0xFFFFFFFFu, 0, 0},
        {"name cut short", B("\x05\0\0\0" "a.t", 7), PackageError::kShortName, 5, 3, 0},
        {"size field cut", B("\x01\0\0\0" "x" "\x03\0", 7), PackageError::kShortDataSize, 1, 1, 0},
        {"negative size", B("\x01\0\0\0" "x" "\xff\xff\xff\xff", 9), PackageError::kNegativeDataSize, 1, 1, -1},
        {"size 2^31", B("\x01\0\0\0" "x" "\0\0\0\x80", 9), PackageError::kNegativeDataSize, 1, 1, INT32_MIN},
        {"data past the end", B("\x01\0\0\0" "x" "\x04\0\0\0" "abc", 12), PackageError::kShortData, 1, 1, 4},
        {"largest size, nothing there", B("\x01\0\0\0" "x" "\xff\xff\xff\x7f", 9), PackageError::kShortData,
         1, 1, 0x7FFFFFFF},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.what);
        PackageRecord record;
        EXPECT_EQ(FirstRecord(c.bytes, record), c.error);
        EXPECT_EQ(record.offset, 0u);
        EXPECT_EQ(record.nameLength, c.nameLength);
        EXPECT_EQ(record.rawName, c.nameRead ? c.bytes.substr(4, c.nameRead) : std::string());
        EXPECT_EQ(record.dataSize, c.dataSize);
    }
}

// The name ends at its first zero byte; what follows up to N is padding.
TEST(PackageWalker, NameEndsAtItsFirstZeroByte)
{
    const struct {
        std::string name;   // the N bytes
        std::string cut;
    } cases[] = {
        {B("pad.txt\0\0\0", 10), "pad.txt"},
        {B("a\0b", 3), "a"},
        {B("\0abc", 4), ""},
        {B("\0", 1), ""},
        {"no zero", "no zero"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cut);
        const std::string bytes = testbytes::Record(c.name, "hi");
        PackageRecord record;
        EXPECT_EQ(FirstRecord(bytes, record), PackageError::kNone);
        EXPECT_EQ(record.rawName, c.name);
        EXPECT_EQ(record.name, c.cut);
        EXPECT_EQ(record.dataSize, 2);
    }
    // A name cut short by the end of the package is cut at its zero as well.
    PackageRecord record;
    EXPECT_EQ(FirstRecord(B("\x09\0\0\0" "ab\0cd", 9), record), PackageError::kShortName);
    EXPECT_EQ(record.name, "ab");
}

TEST(PackageWalker, ChunksOf260AndTheRest)
{
    // Data of 260, 261 and 520 bytes: 260; 260+1; 260+260. Capacity 0: the
    // transfer buffer's ReadChunk; others: the caller's block size.
    const struct { std::uint32_t size; std::size_t capacity; std::vector<std::size_t> chunks; } cases[] = {
        {1, 0, {1}}, {259, 0, {259}}, {260, 0, {260}}, {261, 0, {260, 1}}, {520, 0, {260, 260}},
        {521, 0, {260, 260, 1}},
        {521, 4096, {521}}, {4096, 4096, {4096}}, {9000, 4096, {4096, 4096, 808}}, {3, 1, {1, 1, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        SCOPED_TRACE(c.capacity);
        std::string bytes = B("\x01\0\0\0" "f", 5);
        bytes += static_cast<char>(c.size & 0xFF);
        bytes += static_cast<char>(c.size >> 8);
        bytes += B("\0\0", 2);
        for (std::uint32_t i = 0; i < c.size; ++i) bytes += static_cast<char>(i * 7);
        MemorySource src(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        PackageWalker walker(src, static_cast<std::uint32_t>(bytes.size()));
        // One byte more than a chunk may take, which must stay untouched.
        std::vector<unsigned char> buffer((c.capacity ? c.capacity : kTransferBufferSize) + 1, 0xA5);
        ASSERT_TRUE(walker.NextRecord());
        std::vector<std::size_t> chunks;
        std::string data;
        for (std::size_t got;
             (got = c.capacity ? walker.ReadChunk(buffer.data(), c.capacity) : walker.ReadChunk(buffer.data())) > 0;) {
            chunks.push_back(got);
            data.append(reinterpret_cast<const char*>(buffer.data()), got);
        }
        EXPECT_EQ(buffer.back(), 0xA5);
        EXPECT_EQ(walker.Error(), PackageError::kNone);
        EXPECT_EQ(chunks, c.chunks);
        EXPECT_EQ(data, bytes.substr(9));
        EXPECT_TRUE(walker.AtEnd());
        EXPECT_EQ(walker.Consumed(), bytes.size());
        EXPECT_FALSE(walker.NextRecord());
        EXPECT_EQ(walker.Error(), PackageError::kNone);
    }
}

// NextRecord reads through data the caller left, and the first error sticks
// with the broken record in view.
TEST(PackageWalker, SkipsUnreadDataAndKeepsTheFirstError)
{
    const std::string bytes = B("\x01\0\0\0" "a" "\x03\0\0\0" "xyz", 12) + B("\x01\0\0\0" "b" "\0\0\0\0", 9) +
                              B("\x02\0\0\0" "c", 5);
    MemorySource src(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    PackageWalker walker(src, static_cast<std::uint32_t>(bytes.size()));
    unsigned char buffer[kTransferBufferSize];
    ASSERT_TRUE(walker.NextRecord());
    EXPECT_EQ(walker.Record().name, "a");
    ASSERT_TRUE(walker.NextRecord());
    EXPECT_EQ(walker.Record().name, "b");
    EXPECT_EQ(walker.Record().offset, 12u);
    EXPECT_FALSE(walker.NextRecord());
    EXPECT_EQ(walker.Error(), PackageError::kShortName);
    EXPECT_EQ(walker.Record().offset, 21u);
    EXPECT_EQ(walker.Record().name, "c");
    EXPECT_FALSE(walker.AtEnd());
    EXPECT_FALSE(walker.NextRecord());
    EXPECT_EQ(walker.ReadChunk(buffer), 0u);
    EXPECT_EQ(walker.Error(), PackageError::kShortName);
}

TEST(PackageWalker, NeverReadsPastTheAnnouncedSize)
{
    // The source holds more than the package size says; the record that
    // would need those bytes is short.
    const std::string bytes = B("\x01\0\0\0" "x" "\x04\0\0\0" "abcd", 13);
    MemorySource src(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    PackageWalker walker(src, 11);
    EXPECT_FALSE(walker.NextRecord());
    EXPECT_EQ(walker.Error(), PackageError::kShortData);
    EXPECT_EQ(walker.Consumed(), 9u);
}

TEST(PackageWalker, SourceShorterThanAnnouncedSize)
{
    // The caller's size is larger than what the file delivers.
    const std::string bytes = B("\x01\0\0\0" "x" "\x04\0\0\0" "ab", 11);
    MemorySource src(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    PackageWalker walker(src, 13);
    unsigned char buffer[kTransferBufferSize];
    ASSERT_TRUE(walker.NextRecord());
    EXPECT_EQ(walker.ReadChunk(buffer), 2u);
    EXPECT_EQ(walker.Error(), PackageError::kShortData);
    EXPECT_EQ(walker.ReadChunk(buffer), 0u);

    // The same with a block far larger than the record: no wait for bytes
    // the package cannot hold.
    MemorySource again(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    PackageWalker large(again, 13);
    std::vector<unsigned char> block(1 << 16);
    ASSERT_TRUE(large.NextRecord());
    EXPECT_EQ(large.ReadChunk(block.data(), block.size()), 2u);
    EXPECT_EQ(large.Error(), PackageError::kShortData);
    EXPECT_EQ(large.ReadChunk(block.data(), block.size()), 0u);
}

TEST(PackageFormat, SizeFitsAndEncoding)
{
    EXPECT_TRUE(PackageSizeFits(0));
    EXPECT_TRUE(PackageSizeFits(0x7FFFFFFFull));
    EXPECT_FALSE(PackageSizeFits(0x80000000ull));
    EXPECT_FALSE(PackageSizeFits(0x100000005ull));   // low 32 bits would read as 5

    EXPECT_EQ(EncodeRecordHeader("ab", 0x01020304), B("\x02\0\0\0" "ab" "\x04\x03\x02\x01", 10));
    const unsigned char le[4] = {0x78, 0x56, 0x34, 0x12};
    EXPECT_EQ(DecodeU32(le), 0x12345678u);
}

} // namespace
