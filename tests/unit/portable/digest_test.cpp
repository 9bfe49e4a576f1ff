#include "media/digest.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include "tests/common/bytes.h"
#include "tests/common/files.h"
#include "tests/common/temp_dir.h"

namespace {

using testbytes::FromHex;
using testbytes::Pattern;

using Bytes = std::vector<unsigned char>;

// Expected digests were computed apart from this code, with
//   python3 -c "import hashlib; salts=b'kavudeno 15720846391'+b'rafuli 15092736418'
//     +bytes([0x3A,0x91,0x5C,0x07,0xE2,0x4D,0xB8,0x16,0x6F,0xC3,0x28,0x9A]);
//     print(hashlib.md5(bytes((i*7+3)%256 for i in range(N))+salts).hexdigest())"
// and cross-checked with `cat body salts.bin | md5sum`.
const char kSaltsOnly[] = "6693f0114fe93a876873f769cb00cc73";
struct BodyCase {
    std::size_t bodyLength;
    const char* digest;
};
const BodyCase kBodies[] = {
    {1, "af0879f55d5a5b34a31abc5daeb75289"},
    {1023, "ba273e02d4f4bc3c32560708c94cbcd0"},  // one short chunk
    {1024, "3c69d9b2c735754680bd7d7f2ed6c66e"},  // exactly one chunk
    {1025, "e462363a61595bf995c56a119c4da3bf"},  // one chunk and one byte
    {3000, "297407592480347c86a115ebca4fb17e"},  // two chunks and a short one
};

// Body, then a 512-byte trailer of filler with the stamp at offset 158.
Bytes StampedFile(const Bytes& body, const char* stampHex)
{
    Bytes file = body;
    Bytes trailer(512, 0xEE);
    const Bytes stamp = FromHex(stampHex);
    std::memcpy(trailer.data() + 158, stamp.data(), stamp.size());
    file.insert(file.end(), trailer.begin(), trailer.end());
    return file;
}

std::string TempPath(const std::string& name)
{
    return testtemp::Path(name);
}

std::string WriteFile(const std::string& name, const Bytes& data)
{
    const std::string path = TempPath(name);
    EXPECT_TRUE(testfiles::WriteWhole(path, data)) << path;
    return path;
}

} // namespace

TEST(CheckFileDigest, AcceptsStampedBodiesOfEveryChunking)
{
    for (const BodyCase& c : kBodies) {
        const std::string path =
            WriteFile("body" + std::to_string(c.bodyLength), StampedFile(Pattern(c.bodyLength), c.digest));
        EXPECT_TRUE(CheckFileDigest(path.c_str())) << c.bodyLength << "-byte body";
        std::remove(path.c_str());
    }
}

// A stamp made for another body length (one byte off) never passes: the
// whole body, and only the body, is digested.
TEST(CheckFileDigest, RefusesStampOfNeighbouringLength)
{
    const struct {
        std::size_t bodyLength;
        const char* digestOf;
    } cases[] = {
        {1024, "ba273e02d4f4bc3c32560708c94cbcd0"},  // stamp of 1023 bytes
        {1023, "3c69d9b2c735754680bd7d7f2ed6c66e"},  // stamp of 1024 bytes
        {1025, "3c69d9b2c735754680bd7d7f2ed6c66e"},
        {1, kSaltsOnly},
    };
    for (const auto& c : cases) {
        const std::string path = WriteFile("neighbour", StampedFile(Pattern(c.bodyLength), c.digestOf));
        EXPECT_EQ(VerifyFileDigest(path.c_str()), DigestVerdict::kMismatch) << c.bodyLength;
        std::remove(path.c_str());
    }
}

// Files of 174 to 512 bytes have an empty body: the stamp at file offsets
// 158..173 is the digest of the salts alone.
TEST(CheckFileDigest, ShortFilesDigestTheSaltsAlone)
{
    const Bytes stamp = FromHex(kSaltsOnly);
    for (std::size_t size : {512u, 511u, 300u, 175u, 174u}) {
        Bytes file(size, 0x41);
        std::memcpy(file.data() + 158, stamp.data(), stamp.size());
        const std::string path = WriteFile("short" + std::to_string(size), file);
        EXPECT_TRUE(CheckFileDigest(path.c_str())) << size << " bytes";

        file[158 + 15] ^= 0x01;
        WriteFile("short" + std::to_string(size), file);
        EXPECT_FALSE(CheckFileDigest(path.c_str())) << size << " bytes, last stamp byte changed";
        std::remove(path.c_str());
    }
}

// Under 174 bytes the stamp cannot be read whole; the 15 bytes that are
// there, though right, must not carry the answer.
TEST(CheckFileDigest, RefusesFilesShorterThan174Bytes)
{
    const Bytes stamp = FromHex(kSaltsOnly);
    for (std::size_t size : {173u, 170u, 159u, 158u, 100u, 1u, 0u}) {
        Bytes file(size, 0x41);
        for (std::size_t i = 158; i < size; ++i) file[i] = stamp[i - 158];
        const std::string path = WriteFile("tiny" + std::to_string(size), file);
        EXPECT_EQ(VerifyFileDigest(path.c_str()), DigestVerdict::kTooShort) << size << " bytes";
        EXPECT_FALSE(CheckFileDigest(path.c_str())) << size << " bytes";
        std::remove(path.c_str());
    }
}

TEST(CheckFileDigest, RefusesWhatCannotBeRead)
{
    EXPECT_EQ(VerifyFileDigest(""), DigestVerdict::kEmptyPath);
    EXPECT_EQ(VerifyFileDigest(nullptr), DigestVerdict::kEmptyPath);
    EXPECT_FALSE(CheckFileDigest(""));

    const std::string missing = TempPath("does_not_exist.bmp");
    std::remove(missing.c_str());
    EXPECT_EQ(VerifyFileDigest(missing.c_str()), DigestVerdict::kCannotOpen);
    EXPECT_FALSE(CheckFileDigest(missing.c_str()));

    // A folder is no stamped file, whatever the platform's fopen makes of it.
    EXPECT_FALSE(CheckFileDigest(::testing::TempDir().c_str()));
}

// Every body byte and every stamp byte counts; the other 496 trailer bytes
// do not.
TEST(CheckFileDigest, TamperingWithBodyOrStampIsRefusedElsewhereIgnored)
{
    const Bytes good = StampedFile(Pattern(3000), "297407592480347c86a115ebca4fb17e");
    const std::string path = TempPath("tamper");

    struct Case {
        std::size_t offset;
        bool accepted;
        const char* what;
    };
    const Case cases[] = {
        {0, false, "first body byte"},
        {1023, false, "last byte of the first chunk"},
        {1024, false, "first byte of the second chunk"},
        {2999, false, "last body byte"},
        {3000 + 158, false, "first stamp byte"},
        {3000 + 165, false, "middle stamp byte"},
        {3000 + 173, false, "last stamp byte"},
        {3000, true, "first trailer byte"},
        {3000 + 157, true, "trailer byte before the stamp"},
        {3000 + 174, true, "trailer byte after the stamp"},
        {3000 + 511, true, "last trailer byte"},
    };
    for (const Case& c : cases) {
        Bytes file = good;
        file[c.offset] ^= 0x80;
        WriteFile("tamper", file);
        EXPECT_EQ(CheckFileDigest(path.c_str()), c.accepted) << c.what;
    }
    // Every stamp byte, one at a time.
    for (std::size_t i = 0; i < 16; ++i) {
        Bytes file = good;
        file[3000 + 158 + i] ^= 0x01;
        WriteFile("tamper", file);
        EXPECT_EQ(VerifyFileDigest(path.c_str()), DigestVerdict::kMismatch) << "stamp byte " << i;
    }
    std::remove(path.c_str());
}

// The media tool stamps with this: body = any prefix, salts after it.
TEST(DigestStreamBody, DigestsThePrefixAndLeavesTheStreamAfterIt)
{
    const Bytes data = Pattern(5000);
    const std::string path = WriteFile("stream", data);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);

    unsigned char d[16];
    ASSERT_TRUE(DigestStreamBody(f, 0, d));
    EXPECT_EQ(Bytes(d, d + 16), FromHex(kSaltsOnly));

    for (const BodyCase& c : kBodies) {
        ASSERT_TRUE(DigestStreamBody(f, static_cast<std::int64_t>(c.bodyLength), d)) << c.bodyLength;
        EXPECT_EQ(Bytes(d, d + 16), FromHex(c.digest)) << c.bodyLength;
        EXPECT_EQ(std::ftell(f), static_cast<long>(c.bodyLength));
    }
    // Asking for more than the stream holds fails rather than spinning.
    EXPECT_FALSE(DigestStreamBody(f, 5001, d));
    std::fclose(f);
    std::remove(path.c_str());
}

// Positions past 2 GiB: a sparse file of 2^31 + 1000 zero body bytes, with a
// 'K' at body offset 2^31 + 10. Digest by python3 hashlib over the same
// bytes and the salts.
TEST(CheckFileDigest, FilesPast2GiB)
{
    const std::string path = TempPath("large");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    // Seek in steps fseek can take everywhere (long may be 32 bits).
    bool ok = true;
    for (int i = 0; i < 4 && ok; ++i) ok = std::fseek(f, 1L << 29, SEEK_CUR) == 0;
    ok = ok && std::fseek(f, 10, SEEK_CUR) == 0 && std::fputc('K', f) == 'K';
    ok = ok && std::fseek(f, 1000 - 11, SEEK_CUR) == 0;
    const Bytes trailer = StampedFile(Bytes(), "189efb4b833de97f997af9cb2e2bff18");
    ok = ok && std::fwrite(trailer.data(), 1, trailer.size(), f) == trailer.size();
    ok = std::fclose(f) == 0 && ok;
    ASSERT_TRUE(ok) << "writing a sparse file past 2 GiB";
    EXPECT_EQ(VerifyFileDigest(path.c_str()), DigestVerdict::kAccepted);
    std::remove(path.c_str());
}
