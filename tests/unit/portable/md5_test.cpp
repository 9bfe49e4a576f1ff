#include "media/md5.h"

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::string Hex(const unsigned char d[16])
{
    std::string s;
    char b[3];
    for (int i = 0; i < 16; ++i) {
        std::snprintf(b, sizeof b, "%02x", d[i]);
        s += b;
    }
    return s;
}

std::string Md5Hex(const std::string& data)
{
    MD5_CTX ctx;
    ctx.Update(data.data(), data.size());
    unsigned char d[16];
    ctx.Final(d);
    return Hex(d);
}

// Bytes (7*i + 3) mod 256; md5sum of the same 5000 bytes, written by
// python3 -c "...bytes((i*7+3)%256 for i in range(5000))", gave the value
// used below.
std::vector<unsigned char> Pattern(std::size_t n)
{
    std::vector<unsigned char> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<unsigned char>((i * 7 + 3) % 256);
    return v;
}
const char kPattern5000Md5[] = "33d9712cc5eb0bf18a41ed54a908e412";

} // namespace

// The test suite of RFC 1321, appendix A.5.
TEST(Md5, Rfc1321TestSuite)
{
    struct Case {
        const char* input;
        const char* md5;
    };
    const Case cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const Case& c : cases) EXPECT_EQ(Md5Hex(c.input), c.md5) << '"' << c.input << '"';
}

// Chunk boundaries that straddle, fill and overrun the 64-byte block must not
// change the digest.
TEST(Md5, ChunkedUpdatesMatchMd5sum)
{
    const std::vector<unsigned char> data = Pattern(5000);
    const std::size_t splits[][6] = {
        {5000, 0, 0, 0, 0, 0},
        {1, 63, 64, 65, 127, 4680},
        {55, 1, 8, 0, 56, 4880},
        {1024, 1024, 1024, 1024, 904, 0},
        {4999, 1, 0, 0, 0, 0},
    };
    for (const auto& split : splits) {
        MD5_CTX ctx;
        std::size_t at = 0;
        for (std::size_t n : split) {
            ctx.Update(data.data() + at, n);
            at += n;
        }
        ASSERT_EQ(at, data.size());
        unsigned char d[16];
        ctx.Final(d);
        EXPECT_EQ(Hex(d), kPattern5000Md5) << "first piece " << split[0] << ", second " << split[1];
    }
}

// One byte at a time across a million bytes: the length counter past 2^23
// bits and many padding boundaries (md5sum of a million "a").
TEST(Md5, MillionAsByteByByte)
{
    MD5_CTX ctx;
    const char a = 'a';
    for (int i = 0; i < 1000000; ++i) ctx.Update(&a, 1);
    unsigned char d[16];
    ctx.Final(d);
    EXPECT_EQ(Hex(d), "7707d6ae4e027c70eea2a935c2296f21");
}

// Lengths on either side of the padding limit (55/56/63/64 bytes) take one
// or two final blocks.
TEST(Md5, PaddingBoundaries)
{
    struct Case {
        std::size_t length;
        const char* md5;  // head -c LENGTH of the pattern file | md5sum
    };
    const Case cases[] = {
        {55, "52c0e574e1198de5fe3f8f11440dcb1b"},
        {56, "46c9907fc908ee68b1e7b8e71286a518"},
        {63, "a62f6d59e837867693f042f5b8f5a236"},
        {64, "7160b8fb5e9e4023d549c3971fbaeead"},
        {65, "70bd662e7aefbda85a0f7244167b7897"},
    };
    const std::vector<unsigned char> data = Pattern(65);
    for (const Case& c : cases) {
        MD5_CTX ctx;
        ctx.Update(data.data(), c.length);
        unsigned char d[16];
        ctx.Final(d);
        EXPECT_EQ(Hex(d), c.md5) << c.length << " bytes";
    }
}

TEST(Md5, ResetStartsAfresh)
{
    MD5_CTX ctx;
    ctx.Update("garbage", 7);
    ctx.Reset();
    ctx.Update("abc", 3);
    unsigned char d[16];
    ctx.Final(d);
    EXPECT_EQ(Hex(d), "900150983cd24fb0d6963f7d28e17f72");
}
