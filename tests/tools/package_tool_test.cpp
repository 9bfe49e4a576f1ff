// mediatool pack / list / unpack / verify, run as a program on real trees.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

#include "tests/tools/tool_support.h"

using namespace tooltest;

namespace {

class PackageTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = FreshRoot("pkg");
    }
    void TearDown() override { fs::remove_all(root_); }

    // Nested folders, empty files, Chinese names (乗 has the trail byte 5C
    // in code page 936) and a 5 MB file.
    fs::path MakeTree(const std::string& name)
    {
        const fs::path t = root_ / name;
        Put(t / "readme.txt", "Kelvra\r\n");
        Put(t / "empty.dat", "");
        Put(t / "bin" / "Kelvra.exe", "MZ\x90");
        Put(t / "bin" / "plugins" / "none.ini", "");
        Put(t / u8"文件" / u8"乗.txt", "gbk");
        std::string big(5 * 1024 * 1024, '\0');
        for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 131) >> 3);
        Put(t / "data" / "big.bin", big);
        return t;
    }

    fs::path root_;
};

TEST_F(PackageTool, SmallTreeGivesTheExpectedBytes)
{
    const fs::path t = root_ / "small";
    Put(t / "b.txt", "xy");
    Put(t / "a" / u8"乗", "");
    const fs::path pkg = root_ / "small.pkg";
    const ToolRun r = Tool("pack " + Q(t) + " -o " + Q(pkg));
    ASSERT_EQ(r.status, 0) << r.out;
    // Written out by hand: "a\乗" (61 5C 81 5C) sorts before "b.txt".
    const std::string expected = std::string("\x04\0\0\0", 4) + "a\\\x81\x5C" + std::string(4, '\0') +
                                 std::string("\x05\0\0\0", 4) + "b.txt" + std::string("\x02\0\0\0", 4) + "xy";
    EXPECT_EQ(Get(pkg), expected);
    EXPECT_NE(r.out.find("packed 2 files (2 bytes of data)"), std::string::npos) << r.out;

    // The same names in code page 1252 cannot hold 乗.
    const ToolRun latin = Tool("pack " + Q(t) + " -o " + Q(root_ / "latin.pkg") + " --codepage 1252");
    EXPECT_EQ(latin.status, 1);
    EXPECT_NE(latin.out.find("cannot be written in code page 1252"), std::string::npos) << latin.out;

    const fs::path c = root_ / "cafe";
    Put(c / u8"café.txt", "1");
    ASSERT_EQ(Tool("pack " + Q(c) + " -o " + Q(root_ / "cafe.pkg") + " --codepage 1252").status, 0);
    EXPECT_EQ(Get(root_ / "cafe.pkg"),
              std::string("\x08\0\0\0", 4) + "caf\xE9.txt" + std::string("\x01\0\0\0", 4) + "1");
}

TEST_F(PackageTool, RoundTrip)
{
    const fs::path t = MakeTree("tree");
    const fs::path pkg = root_ / "Setup.pkg";
    const fs::path manifest = root_ / "Setup.manifest";

    const ToolRun pack = Tool("pack " + Q(t) + " -o " + Q(pkg) + " --manifest " + Q(manifest));
    ASSERT_EQ(pack.status, 0) << pack.out;
    EXPECT_NE(pack.out.find("packed 6 files"), std::string::npos) << pack.out;
    EXPECT_FALSE(fs::exists(root_ / "Setup.pkg.part"));

    const ToolRun list = Tool("list " + Q(pkg));
    EXPECT_EQ(list.status, 0) << list.out;
    for (const char* name : {"bin\\Kelvra.exe", "bin\\plugins\\none.ini", "data\\big.bin", "empty.dat",
                             "readme.txt", u8"文件\\乗.txt"})
        EXPECT_NE(list.out.find(name), std::string::npos) << name << "\n" << list.out;
    EXPECT_NE(list.out.find("6 files, 5242894 bytes of data"), std::string::npos) << list.out;

    const ToolRun json = Tool("list --json " + Q(pkg));
    EXPECT_EQ(json.status, 0);
    EXPECT_NE(json.out.find("\"complete\": true"), std::string::npos) << json.out;
    EXPECT_NE(json.out.find(u8"{\"offset\": 0, \"size\": 3, \"name\": \"bin\\\\Kelvra.exe\", "
                            "\"name_hex\": \"62696e5c4b656c7672612e657865\"}"),
              std::string::npos)
        << json.out;

    const ToolRun verify = Tool("verify " + Q(pkg) + " --against " + Q(t) + " --manifest " + Q(manifest));
    EXPECT_EQ(verify.status, 0) << verify.out;

    // The manifest's package digest is what sha256sum says.
    const std::string sum = RunCommand("sha256sum " + Q(pkg)).out.substr(0, 64);
    const std::string text = Get(manifest);
    EXPECT_NE(text.find("package " + sum + " "), std::string::npos) << text;
    EXPECT_NE(text.find("records 6\n"), std::string::npos) << text;
    const std::string emptySum = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
    EXPECT_NE(text.find("file " + emptySum + " 0 empty.dat\n"), std::string::npos) << text;

    const fs::path out = root_ / "out";
    const ToolRun unpack = Tool("unpack " + Q(pkg) + " " + Q(out));
    ASSERT_EQ(unpack.status, 0) << unpack.out;
    EXPECT_EQ(RunCommand("diff -r " + Q(t) + " " + Q(out) + " && echo same").out, "same\n");
}

TEST_F(PackageTool, SameTreeSameBytes)
{
    const fs::path a = MakeTree("a");
    const fs::path b = root_ / "b";
    // The same files made in another order.
    Put(b / u8"文件" / u8"乗.txt", "gbk");
    Put(b / "data" / "big.bin", Get(a / "data" / "big.bin"));
    Put(b / "bin" / "plugins" / "none.ini", "");
    Put(b / "bin" / "Kelvra.exe", "MZ\x90");
    Put(b / "empty.dat", "");
    Put(b / "readme.txt", "Kelvra\r\n");
    ASSERT_EQ(Tool("pack " + Q(a) + " -o " + Q(root_ / "a.pkg")).status, 0);
    ASSERT_EQ(Tool("pack " + Q(b) + " -o " + Q(root_ / "b.pkg")).status, 0);
    ASSERT_EQ(Tool("pack " + Q(a) + " -o " + Q(root_ / "a2.pkg")).status, 0);
    EXPECT_EQ(RunCommand("cmp " + Q(root_ / "a.pkg") + " " + Q(root_ / "b.pkg") + " && echo same").out, "same\n");
    EXPECT_EQ(RunCommand("cmp " + Q(root_ / "a.pkg") + " " + Q(root_ / "a2.pkg") + " && echo same").out, "same\n");
}

TEST_F(PackageTool, PackRefusals)
{
    const struct {
        const char* what;
        void (*make)(const fs::path&);
        const char* message;
    } cases[] = {
        {"device name", [](const fs::path& t) { Put(t / "con.txt", ""); }, "con.txt: a level of the name is a device name"},
        {"trailing dot", [](const fs::path& t) { Put(t / "d." / "x", ""); }, "ends in a dot or a space"},
        {"trailing space", [](const fs::path& t) { Put(t / "x ", ""); }, "ends in a dot or a space"},
        {"colon", [](const fs::path& t) { Put(t / "x" / "a:b", ""); }, "contains ':'"},
        {"backslash", [](const fs::path& t) { Put(t / "a\\b", ""); }, "contains a backslash"},
        {"control character", [](const fs::path& t) { Put(t / "a\tb", ""); }, "control character"},
        {"wildcard", [](const fs::path& t) { Put(t / "a?b", ""); }, "< > \" | ? *"},
        {"not in code page", [](const fs::path& t) { Put(t / u8"ก.txt", ""); }, "cannot be written in code page 936"},
        {"too long", [](const fs::path& t) { Put(t / std::string(130, 'a') / std::string(129, 'b'), ""); },
         "takes 260 bytes in code page 936; at most 259 fit"},
        {"letter case", [](const fs::path& t) { Put(t / "A.txt", ""); Put(t / "a.txt", ""); }, "only in letter case"},
        {"file and folder by case", [](const fs::path& t) { Put(t / "a", ""); Put(t / "A" / "x", ""); },
         "/a: differs from folder"},
        {"folders by case", [](const fs::path& t) { Put(t / "D" / "x", ""); Put(t / "d" / "y", ""); },
         "Windows would make them one folder"},
        {"link out of the folder", [](const fs::path& t) { Put(t.parent_path() / "out.txt", "x"); fs::create_symlink("../out.txt", t / "in.txt"); },
         "in.txt: a link to ../out.txt, which lies outside"},
        {"control characters shown escaped", [](const fs::path& t) { Put(t / "x\x1b[2J\ny", ""); }, "x\\033[2J\\ny: "},
        {"empty folder", [](const fs::path& t) { fs::create_directories(t / "logs"); }, "logs: empty folder"},
        {"link to a folder", [](const fs::path& t) { fs::create_directories(t / "real" ); Put(t / "real" / "f", ""); fs::create_directory_symlink("real", t / "link"); },
         "a link to a folder"},
        {"broken link", [](const fs::path& t) { fs::create_symlink("nowhere", t / "dangling"); }, "a link that leads to no file"},
        {"file of 2^31 bytes", [](const fs::path& t) { Put(t / "huge.bin", ""); fs::resize_file(t / "huge.bin", 0x80000000ull); },
         "huge.bin: the file is 2^31 bytes or larger"},
        {"package of 2^31 bytes", [](const fs::path& t) {
             Put(t / "h1", ""); fs::resize_file(t / "h1", 0x40000000ull);
             Put(t / "h2", ""); fs::resize_file(t / "h2", 0x3FFFFFF0ull); },
         "the package would be 2147483672 bytes"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path t = root_ / ("r" + std::to_string(++n));
        fs::create_directories(t);
        Put(t / "fine.txt", "fine");
        c.make(t);
        const fs::path pkg = root_ / ("r" + std::to_string(n) + ".pkg");
        const ToolRun r = Tool("pack " + Q(t) + " -o " + Q(pkg));
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
        EXPECT_FALSE(fs::exists(pkg));
        fs::remove_all(t);
    }

    // An empty folder may be left out on request.
    const fs::path t = root_ / "skip";
    Put(t / "f", "1");
    fs::create_directories(t / "logs");
    const ToolRun r = Tool("pack " + Q(t) + " -o " + Q(root_ / "skip.pkg") + " --skip-empty-dirs");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("logs: empty folder left out"), std::string::npos) << r.out;
}

TEST_F(PackageTool, OutputInsideTheTreeIsNotPackedAndFailedOutputLeavesNothing)
{
    const fs::path t = root_ / "self";
    Put(t / "f.txt", "f");
    for (int run = 0; run < 2; ++run) {
        const ToolRun r = Tool("pack " + Q(t) + " -o " + Q(t / "Setup.pkg") + " --manifest " + Q(t / "m.txt"));
        ASSERT_EQ(r.status, 0) << r.out;
        EXPECT_NE(r.out.find("packed 1 files"), std::string::npos) << r.out;
    }
    EXPECT_EQ(Get(t / "Setup.pkg"), std::string("\x05\0\0\0", 4) + "f.txt" + std::string("\x01\0\0\0", 4) + "f");

    const ToolRun r = Tool("pack " + Q(t) + " -o " + Q(root_ / "no" / "such" / "x.pkg"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("x.pkg: cannot be created"), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(root_ / "no"));
}

TEST_F(PackageTool, UsageErrors)
{
    const char* cases[] = {
        "pack", "pack dir", "pack -o x.pkg", "pack dir -o", "pack dir -o x --codepage 65001",
        "pack dir -o x --codepage abc", "pack a b -o x", "list", "list a b", "list --bogus x",
        "unpack x", "unpack a b c", "verify", "verify x --against", "frobnicate",
    };
    for (const char* args : cases) {
        const ToolRun r = Tool(args);
        EXPECT_EQ(r.status, 2) << args << "\n" << r.out;
        EXPECT_FALSE(r.out.empty()) << args;
    }
    for (const char* args : {"pack --help", "list --help", "unpack -h", "verify --help"}) {
        const ToolRun r = Tool(args);
        EXPECT_EQ(r.status, 0) << args;
        EXPECT_NE(r.out.find("usage: mediatool"), std::string::npos) << args;
    }
}

TEST_F(PackageTool, BrokenPackagesAreListedUpToTheBreak)
{
    const std::string first = U32(5) + "a.txt" + U32(2) + "hi";
    const struct { const char* what; std::string tail; const char* message; } cases[] = {
        {"data cut", U32(5) + "b.txt" + U32(10) + "abc", "broken at offset 15: the package ends inside a record's data (record b.txt)"},
        {"stray bytes", "\x01\x02", "broken at offset 15: the package ends inside a record's name length"},
        {"name too long", U32(300) + "x", "broken at offset 15: a record's name length is 260 or more"},
        {"negative size", U32(1) + "z" + U32(0xFFFFFFFE), "broken at offset 15: a record's data size is negative"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path pkg = root_ / ("broken" + std::to_string(++n) + ".pkg");
        Put(pkg, first + c.tail);
        const ToolRun list = Tool("list " + Q(pkg));
        EXPECT_EQ(list.status, 1);
        EXPECT_NE(list.out.find("         0           2  a.txt"), std::string::npos) << list.out;
        EXPECT_NE(list.out.find(c.message), std::string::npos) << list.out;
        const ToolRun json = Tool("list --json " + Q(pkg));
        EXPECT_NE(json.out.find("\"complete\": false"), std::string::npos) << json.out;
        EXPECT_NE(json.out.find("\"error\": {\"offset\": 15"), std::string::npos) << json.out;
        const ToolRun verify = Tool("verify " + Q(pkg));
        EXPECT_EQ(verify.status, 1);
        EXPECT_NE(verify.out.find(c.message), std::string::npos) << verify.out;
        const fs::path out = root_ / ("bout" + std::to_string(n));
        const ToolRun unpack = Tool("unpack " + Q(pkg) + " " + Q(out));
        EXPECT_EQ(unpack.status, 1);
        EXPECT_NE(unpack.out.find("record at offset 15"), std::string::npos) << unpack.out;
        EXPECT_EQ(Get(out / "a.txt"), "hi");
    }
}

TEST_F(PackageTool, HostileNamesAreRefusedAndNothingLeaves)
{
    const struct { std::string name; const char* message; } cases[] = {
        {"..\\evil.txt", "'..' level"},
        {"a\\..\\..\\evil.txt", "'..' level"},
        {"\\evil.txt", "starts with a backslash"},
        {"C:\\evil.txt", "carries a drive"},
        {"a.txt:ads", "contains ':'"},
        {"nul", "device name"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path pkg = root_ / ("hostile" + std::to_string(++n) + ".pkg");
        Put(pkg, U32(2) + "ok" + U32(1) + "1" + U32(static_cast<std::uint32_t>(c.name.size())) + c.name +
                     U32(4) + "evil" + U32(4) + "last" + U32(1) + "3");
        const fs::path out = root_ / ("h" + std::to_string(n)) / "inst";
        const ToolRun unpack = Tool("unpack " + Q(pkg) + " " + Q(out));
        EXPECT_EQ(unpack.status, 1);
        EXPECT_NE(unpack.out.find(c.message), std::string::npos) << unpack.out;
        EXPECT_EQ(Get(out / "ok"), "1");
        EXPECT_FALSE(fs::exists(out / "last"));
        EXPECT_EQ(RunCommand("find " + Q(root_ / ("h" + std::to_string(n))) + " -type f | wc -l").out, "1\n");
        const ToolRun list = Tool("list " + Q(pkg));
        EXPECT_EQ(list.status, 1);
        EXPECT_NE(list.out.find("refused by setup"), std::string::npos) << list.out;
        EXPECT_NE(list.out.find("last"), std::string::npos) << list.out;
        const ToolRun verify = Tool("verify " + Q(pkg));
        EXPECT_EQ(verify.status, 1);
        EXPECT_NE(verify.out.find(c.message), std::string::npos) << verify.out;
    }
}

// A name padded with zero bytes is shown, compared and unpacked under the
// name setup uses: the bytes before the first zero.
TEST_F(PackageTool, PaddedNamesGoByTheirTextBeforeTheZero)
{
    const fs::path pkg = root_ / "padded.pkg";
    Put(pkg, U32(10) + std::string("pad.txt\0\0\0", 10) + U32(2) + "ok");
    const ToolRun list = Tool("list " + Q(pkg));
    EXPECT_EQ(list.status, 0) << list.out;
    EXPECT_NE(list.out.find("         0           2  pad.txt\n"), std::string::npos) << list.out;
    const fs::path tree = root_ / "padtree";
    Put(tree / "pad.txt", "ok");
    const ToolRun verify = Tool("verify " + Q(pkg) + " --against " + Q(tree));
    EXPECT_EQ(verify.status, 0) << verify.out;
    const ToolRun unpack = Tool("unpack " + Q(pkg) + " " + Q(root_ / "padout"));
    EXPECT_EQ(unpack.status, 0) << unpack.out;
    EXPECT_EQ(Get(root_ / "padout" / "pad.txt"), "ok");

    // Nothing before the zero: refused, as setup refuses it.
    Put(pkg, U32(4) + std::string("\0abc", 4) + U32(0));
    const ToolRun empty = Tool("list " + Q(pkg));
    EXPECT_EQ(empty.status, 1) << empty.out;
    EXPECT_NE(empty.out.find("refused by setup: the name is empty"), std::string::npos) << empty.out;
}

TEST_F(PackageTool, VerifySaysWhatDiffers)
{
    const fs::path t = root_ / "v";
    Put(t / "same.txt", "same");
    Put(t / "sub" / "changed.bin", "0123456789");
    Put(t / "gone.txt", "gone");
    const fs::path pkg = root_ / "v.pkg";
    const fs::path manifest = root_ / "v.manifest";
    ASSERT_EQ(Tool("pack " + Q(t) + " -o " + Q(pkg) + " --manifest " + Q(manifest)).status, 0);

    Put(t / "sub" / "changed.bin", "0123X56789");
    fs::remove(t / "gone.txt");
    Put(t / "new.txt", "new");
    Put(t / "same.txt", "same");
    const ToolRun r = Tool("verify " + Q(pkg) + " --against " + Q(t));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("differs: sub\\changed.bin: first difference at byte 4"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("missing from folder: gone.txt"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("only in folder: new.txt"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("same.txt"), std::string::npos) << r.out;
    Put(t / "sub" / "changed.bin", "short");
    EXPECT_NE(Tool("verify " + Q(pkg) + " --against " + Q(t)).out.find("10 bytes in the package, 5 in the folder"),
              std::string::npos);

    // A copy cut off exactly after a record looks whole; only the manifest
    // tells. Records: gone.txt (8+8+4=20), same.txt (20), sub\changed.bin.
    const std::string whole = Get(pkg);
    const fs::path cut = root_ / "cut.pkg";
    Put(cut, whole.substr(0, 40));
    EXPECT_EQ(Tool("verify " + Q(cut)).status, 0);
    const ToolRun m = Tool("verify " + Q(cut) + " --manifest " + Q(manifest));
    EXPECT_EQ(m.status, 1);
    EXPECT_NE(m.out.find("it lists 3 records, the package holds 2"), std::string::npos) << m.out;

    std::string flipped = whole;
    flipped[whole.size() - 1] ^= 1;
    Put(cut, flipped);
    const ToolRun f = Tool("verify " + Q(cut) + " --manifest " + Q(manifest));
    EXPECT_EQ(f.status, 1);
    EXPECT_NE(f.out.find("record 3 (sub\\changed.bin): content differs"), std::string::npos) << f.out;
    EXPECT_NE(f.out.find("the package's SHA-256 differs"), std::string::npos) << f.out;

    Put(root_ / "bad.manifest", "kelvra-setup-manifest 1\ncodepage 936\nrecords 1\n");
    const ToolRun bad = Tool("verify " + Q(pkg) + " --manifest " + Q(root_ / "bad.manifest"));
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.out.find("incomplete manifest"), std::string::npos) << bad.out;
}

} // namespace

// A file that changes while pack reads it is not packed (as tar's "file
// changed as we read it"). The reader at the other end of the pipe changes
// z.txt after the first block of a.bin arrives: pack has looked at z.txt
// before, and reads it after.
TEST_F(PackageTool, FileChangedWhileReadIsRefused)
{
    const struct { const char* what; const char* change; } cases[] = {
        {"grown", "echo more >> z.txt"},
        {"touched, same size", "touch -m -d 2001-01-01 z.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path t = root_ / "changing";
        fs::remove_all(t);
        Put(t / "a.bin", std::string(1 << 20, 'a'));
        Put(t / "z.txt", "z");
        const ToolRun r = RunCommand("cd " + Q(t) + " && ( { '" MEDIATOOL_PATH "' pack . -o - 2>&3; echo status=$? >&3; } | "
                                     "{ head -c 1 >/dev/null; " + c.change + "; cat >/dev/null; } ) 3>&1");
        EXPECT_NE(r.out.find("z.txt: file changed as we read it"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("status=1"), std::string::npos) << r.out;
    }
}

