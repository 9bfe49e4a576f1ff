// mediatool stamp / check-stamp, run as a program.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "media/digest.h"
#include "tests/tools/tool_support.h"
#include "tests/common/bytes.h"
#include "tests/common/files.h"

using tooltest::Tool;
using tooltest::ToolRun;

namespace {

using testbytes::FromHex;
using testbytes::Pattern;

using Bytes = std::vector<unsigned char>;

// Digests computed apart from this code with python3 hashlib over
// bytes((i*7+3)%256 for i in range(N)) followed by the three salts
// (b'kavudeno 15720846391', b'rafuli 15092736418', 3A 91 5C 07 E2 4D B8 16
// 6F C3 28 9A), cross-checked with md5sum.
const char kSaltsOnly[] = "6693f0114fe93a876873f769cb00cc73";
const char kBody1024[] = "3c69d9b2c735754680bd7d7f2ed6c66e";
const char kBody1025[] = "e462363a61595bf995c56a119c4da3bf";
const char kBody3000[] = "297407592480347c86a115ebca4fb17e";

std::string TempPath(const std::string& name)
{
    return testtemp::Path(name);
}

std::string Write(const std::string& name, const Bytes& data)
{
    const std::string path = TempPath(name);
    EXPECT_TRUE(testfiles::WriteWhole(path, data)) << path;
    return path;
}

using testfiles::ReadBytes;

std::string Quote(const std::string& s) { return "'" + s + "'"; }

} // namespace

// In place the file keeps its size and changes only at S-354..S-339.
TEST(MediatoolStamp, InPlaceWritesTheStampAndNothingElse)
{
    const struct {
        std::size_t bodyLength;
        const char* digest;
    } cases[] = {{0, kSaltsOnly}, {1024, kBody1024}, {1025, kBody1025}, {3000, kBody3000}};
    for (const auto& c : cases) {
        Bytes before = Pattern(c.bodyLength);
        before.resize(c.bodyLength + 512, 0x5A);
        const std::string path = Write("inplace.bmp", before);

        const ToolRun r = Tool("stamp " + Quote(path));
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_NE(r.out.find(c.digest), std::string::npos) << r.out;

        Bytes expected = before;
        const Bytes stamp = FromHex(c.digest);
        std::memcpy(expected.data() + c.bodyLength + 158, stamp.data(), 16);
        EXPECT_EQ(ReadBytes(path), expected) << c.bodyLength << "-byte body";
        EXPECT_TRUE(CheckFileDigest(path.c_str())) << c.bodyLength;
        std::remove(path.c_str());
    }
}

// --append keeps every existing byte and adds a zero trailer with the stamp.
TEST(MediatoolStamp, AppendAddsATrailer)
{
    const struct {
        std::size_t length;
        const char* digest;
    } cases[] = {{0, kSaltsOnly}, {1024, kBody1024}, {1025, kBody1025}, {3000, kBody3000}};
    for (const auto& c : cases) {
        const Bytes before = Pattern(c.length);
        const std::string path = Write("append.bmp", before);

        const ToolRun r = Tool("stamp --append " + Quote(path));
        EXPECT_EQ(r.status, 0) << r.out;

        Bytes expected = before;
        expected.resize(c.length + 512, 0);
        const Bytes stamp = FromHex(c.digest);
        std::memcpy(expected.data() + c.length + 158, stamp.data(), 16);
        EXPECT_EQ(ReadBytes(path), expected) << c.length << " bytes before";
        EXPECT_TRUE(CheckFileDigest(path.c_str())) << c.length;
        std::remove(path.c_str());
    }
}

TEST(MediatoolStamp, RefusesWhatItCannotStamp)
{
    const Bytes small = Pattern(511);
    const std::string path = Write("small.bmp", small);
    ToolRun r = Tool("stamp " + Quote(path));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find(path), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("512"), std::string::npos) << r.out;
    EXPECT_EQ(ReadBytes(path), small) << "a refused file stays as it was";
    std::remove(path.c_str());

    const std::string missing = TempPath("missing.bmp");
    std::remove(missing.c_str());
    r = Tool("stamp " + Quote(missing));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find(missing), std::string::npos) << r.out;
    EXPECT_EQ(ReadBytes(missing), Bytes()) << "no file is created";
}

TEST(MediatoolStamp, UsageErrors)
{
    const struct {
        const char* args;
        int status;
    } cases[] = {
        {"stamp", 2},
        {"stamp a.bmp b.bmp", 2},
        {"stamp --inplace a.bmp", 2},
        {"stamp ''", 2},
        {"check-stamp", 2},
        {"check-stamp --append a.bmp", 2},
        {"check-stamp a.bmp b.bmp", 2},
        {"stamp --help", 0},
        {"check-stamp --help", 0},
    };
    for (const auto& c : cases) {
        const ToolRun r = Tool(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.out;
        EXPECT_FALSE(r.out.empty()) << c.args;
    }
}

// A file stamped without the tool (digest pasted from python3 hashlib) is
// accepted; tampered or short ones are refused.
TEST(MediatoolCheckStamp, JudgesLikeSetup)
{
    Bytes good = Pattern(1024);
    good.resize(1024 + 512, 0x11);
    const Bytes stamp = FromHex(kBody1024);
    std::memcpy(good.data() + 1024 + 158, stamp.data(), 16);

    Bytes bodyChanged = good;
    bodyChanged[512] ^= 1;
    Bytes stampChanged = good;
    stampChanged[1024 + 170] ^= 1;
    Bytes trailerChanged = good;
    trailerChanged[1024 + 400] ^= 1;
    Bytes tooShort(173, 0);

    const struct {
        const char* what;
        const Bytes* data;
        int status;
        const char* word;
    } cases[] = {
        {"stamped", &good, 0, "accepted"},
        {"body changed", &bodyChanged, 1, "refused"},
        {"stamp changed", &stampChanged, 1, "refused"},
        {"other trailer byte changed", &trailerChanged, 0, "accepted"},
        {"173 bytes", &tooShort, 1, "refused"},
    };
    for (const auto& c : cases) {
        const std::string path = Write("check.bmp", *c.data);
        const ToolRun r = Tool("check-stamp " + Quote(path));
        EXPECT_EQ(r.status, c.status) << c.what << "\n" << r.out;
        EXPECT_NE(r.out.find(c.word), std::string::npos) << c.what << "\n" << r.out;
        EXPECT_NE(r.out.find(path), std::string::npos) << c.what;
        std::remove(path.c_str());
    }

    const std::string missing = TempPath("missing_check.bmp");
    std::remove(missing.c_str());
    const ToolRun r = Tool("check-stamp " + Quote(missing));
    EXPECT_EQ(r.status, 1) << r.out;
}

// Stamping again after an edit makes a refused file accepted again.
TEST(MediatoolStamp, RestampAfterEdit)
{
    Bytes data = Pattern(2000);
    const std::string path = Write("restamp.bmp", data);
    ASSERT_EQ(Tool("stamp " + Quote(path)).status, 0);
    EXPECT_EQ(Tool("check-stamp " + Quote(path)).status, 0);

    data = ReadBytes(path);
    data[7] ^= 0xFF;
    Write("restamp.bmp", data);
    EXPECT_EQ(Tool("check-stamp " + Quote(path)).status, 1);
    EXPECT_EQ(Tool("stamp " + Quote(path)).status, 0);
    EXPECT_EQ(Tool("check-stamp " + Quote(path)).status, 0);
    std::remove(path.c_str());
}
