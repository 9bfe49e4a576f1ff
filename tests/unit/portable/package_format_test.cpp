// The record reader over hand-written byte layouts.
#include <gtest/gtest.h>

#include <string>

#include "media/package_format.h"

namespace {

struct ReadCase {
    const char* what;
    std::string bytes;
    PackageError nameError;
    std::uint32_t nameLength;
    std::uint32_t nameRead;
    PackageError sizeError;   // only looked at when the name was read
    std::int32_t dataSize;
};

std::string B(const char* s, std::size_t n) { return std::string(s, n); }

TEST(PackageReader, HeaderFieldsTable)
{
    const ReadCase cases[] = {
        {"whole record", B("\x05\0\0\0" "a.txt" "\x03\0\0\0" "abc", 16), PackageError::kNone, 5, 5,
         PackageError::kNone, 3},
        {"empty data", B("\x01\0\0\0" "x" "\0\0\0\0", 9), PackageError::kNone, 1, 1, PackageError::kNone, 0},
        {"three bytes only", B("\x05\0\0", 3), PackageError::kShortNameLength, 0, 0, PackageError::kNone, 0},
        {"name length 260", B("\x04\x01\0\0" "abcd", 8), PackageError::kNameTooLong, 260, 0,
         PackageError::kNone, 0},
        {"name length 2^32-1", B("\xff\xff\xff\xff" "abcd", 8), PackageError::kNameTooLong, 0xFFFFFFFFu, 0,
         PackageError::kNone, 0},
        {"name cut short", B("\x05\0\0\0" "a.t", 7), PackageError::kShortName, 5, 3, PackageError::kNone, 0},
        {"size field cut", B("\x01\0\0\0" "x" "\x03\0", 7), PackageError::kNone, 1, 1,
         PackageError::kShortDataSize, 0},
        {"negative size", B("\x01\0\0\0" "x" "\xff\xff\xff\xff", 9), PackageError::kNone, 1, 1,
         PackageError::kNegativeDataSize, -1},
        {"size 2^31", B("\x01\0\0\0" "x" "\0\0\0\x80", 9), PackageError::kNone, 1, 1,
         PackageError::kNegativeDataSize, INT32_MIN},
        {"data past the end", B("\x01\0\0\0" "x" "\x04\0\0\0" "abc", 12), PackageError::kNone, 1, 1,
         PackageError::kShortData, 4},
        {"largest size, nothing there", B("\x01\0\0\0" "x" "\xff\xff\xff\x7f", 9), PackageError::kNone, 1,
         1, PackageError::kShortData, 0x7FFFFFFF},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.what);
        MemorySource src(reinterpret_cast<const unsigned char*>(c.bytes.data()), c.bytes.size());
        PackageReader reader(src, static_cast<std::uint32_t>(c.bytes.size()));
        unsigned char buffer[kTransferBufferSize];
        std::uint32_t nameLength = 99, nameRead = 99;
        EXPECT_EQ(reader.ReadName(buffer, nameLength, nameRead), c.nameError);
        EXPECT_EQ(nameLength, c.nameLength);
        EXPECT_EQ(nameRead, c.nameRead);
        EXPECT_EQ(buffer[nameRead], 0);   // always a terminating zero
        if (c.nameError != PackageError::kNone) continue;
        std::int32_t dataSize = 99;
        EXPECT_EQ(reader.ReadDataSize(dataSize), c.sizeError);
        EXPECT_EQ(dataSize, c.dataSize);
    }
}

TEST(PackageReader, ChunksOf260AndTheRest)
{
    // Data of 260, 261 and 520 bytes: 260; 260+1; 260+260.
    const struct { std::uint32_t size; std::vector<std::size_t> chunks; } cases[] = {
        {1, {1}}, {259, {259}}, {260, {260}}, {261, {260, 1}}, {520, {260, 260}}, {521, {260, 260, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        std::string bytes = B("\x01\0\0\0" "f", 5);
        bytes += static_cast<char>(c.size & 0xFF);
        bytes += static_cast<char>(c.size >> 8);
        bytes += B("\0\0", 2);
        for (std::uint32_t i = 0; i < c.size; ++i) bytes += static_cast<char>(i * 7);
        MemorySource src(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        PackageReader reader(src, static_cast<std::uint32_t>(bytes.size()));
        unsigned char buffer[kTransferBufferSize];
        std::uint32_t n = 0, r = 0;
        std::int32_t size = 0;
        ASSERT_EQ(reader.ReadName(buffer, n, r), PackageError::kNone);
        ASSERT_EQ(reader.ReadDataSize(size), PackageError::kNone);
        std::vector<std::size_t> chunks;
        std::string data;
        for (;;) {
            std::size_t got = 0;
            ASSERT_EQ(reader.ReadChunk(buffer, got), PackageError::kNone);
            if (!got) break;
            chunks.push_back(got);
            data.append(reinterpret_cast<const char*>(buffer), got);
        }
        EXPECT_EQ(chunks, c.chunks);
        EXPECT_EQ(data, bytes.substr(9));
        EXPECT_TRUE(reader.AtEnd());
        EXPECT_EQ(reader.Consumed(), bytes.size());
    }
}

TEST(PackageReader, NeverReadsPastTheAnnouncedSize)
{
    // The source holds more than the package size says; the record that
    // would need those bytes is short.
    const std::string bytes = B("\x01\0\0\0" "x" "\x04\0\0\0" "abcd", 13);
    MemorySource src(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    PackageReader reader(src, 11);
    unsigned char buffer[kTransferBufferSize];
    std::uint32_t n = 0, r = 0;
    std::int32_t size = 0;
    ASSERT_EQ(reader.ReadName(buffer, n, r), PackageError::kNone);
    EXPECT_EQ(reader.ReadDataSize(size), PackageError::kShortData);
    EXPECT_EQ(reader.Consumed(), 9u);
}

TEST(PackageReader, SourceShorterThanAnnouncedSize)
{
    // The caller's size is larger than what the file delivers.
    const std::string bytes = B("\x01\0\0\0" "x" "\x04\0\0\0" "ab", 11);
    MemorySource src(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    PackageReader reader(src, 13);
    unsigned char buffer[kTransferBufferSize];
    std::uint32_t n = 0, r = 0;
    std::int32_t size = 0;
    ASSERT_EQ(reader.ReadName(buffer, n, r), PackageError::kNone);
    ASSERT_EQ(reader.ReadDataSize(size), PackageError::kNone);
    std::size_t got = 0;
    EXPECT_EQ(reader.ReadChunk(buffer, got), PackageError::kShortData);
    EXPECT_EQ(got, 2u);
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
