// mediatool assemble, run as a program: the medium it lays out, and each
// refusal and warning with its message.
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

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class AssembleTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = FreshRoot("asm");
        payload_ = root_ / "payload";
        Put(payload_ / "Kelvra.exe", "MZprogram");
        Put(payload_ / u8"文件" / u8"乗.txt", "gbk");
        Put(root_ / "setup.exe", SmallPe());
        // 600 bytes, not stamped.
        std::string bmp = "BM";
        for (int i = 0; i < 598; ++i) bmp += static_cast<char>(i * 7);
        Put(root_ / "splash.bmp", bmp);
        Put(root_ / "icon.ico", std::string("\0\0\1\0icon", 8));
        Put(root_ / "setup.ini", "Name=Kelvra\r\nTitle=\xE6\xA0\x87\xE9\xA2\x98\r\n");   // 标题 in UTF-8
        Put(root_ / "rt" / "Microsoft.VC80.CRT.manifest", RuntimeManifest());
        Put(root_ / "rt" / "MSVCP80.DLL", RuntimeDll());    // upper case, as some copies are named
        Put(root_ / "rt" / "msvcr80.dll", RuntimeDll());
    }
    void TearDown() override { fs::remove_all(root_); }

    std::string Base() const
    {
        return "assemble --payload " + Q(payload_) + " --setup " + Q(root_ / "setup.exe") + " --out " +
               Q(root_ / "medium");
    }
    std::string Full() const
    {
        return Base() + " --ini " + Q(root_ / "setup.ini") + " --splash " + Q(root_ / "splash.bmp") + " --icon " +
               Q(root_ / "icon.ico") + " --runtime " + Q(root_ / "rt");
    }

    fs::path root_, payload_;
};

TEST_F(AssembleTool, CompleteMedium)
{
    const ToolRun r = Tool(Full());
    ASSERT_EQ(r.status, 0) << r.out;
    const fs::path m = root_ / "medium";

    // Written out by hand: "Kelvra.exe" sorts before "文件\乗" (CE C4 BC FE 5C 81 5C ...).
    const std::string pkg = U32(10) + "Kelvra.exe" + U32(9) + "MZprogram" + U32(11) + "\xCE\xC4\xBC\xFE\\\x81\x5C.txt" +
                            U32(3) + "gbk";
    EXPECT_EQ(Get(m / "Setup.pkg"), pkg);
    EXPECT_EQ(Get(m / "setup.exe"), Get(root_ / "setup.exe"));
    // 标题 in code page 936 is B1 EA CC E2.
    EXPECT_EQ(Get(m / "setup.ini"), "Name=Kelvra\r\nTitle=\xB1\xEA\xCC\xE2\r\n");
    EXPECT_EQ(Get(m / "icon.ico"), Get(root_ / "icon.ico"));
    EXPECT_EQ(Get(m / "Microsoft.VC80.CRT.manifest"), RuntimeManifest());
    EXPECT_EQ(Get(m / "msvcp80.dll"), RuntimeDll());
    EXPECT_EQ(Get(m / "msvcr80.dll"), RuntimeDll());

    // The splash picture: the original bytes, then a trailer with the stamp,
    // which setup's own check (check-stamp) accepts; the input is untouched.
    const std::string splash = Get(m / "Splash.bmp");
    const std::string original = Get(root_ / "splash.bmp");
    ASSERT_EQ(splash.size(), original.size() + 512);
    EXPECT_EQ(splash.substr(0, original.size()), original);
    EXPECT_EQ(Tool("check-stamp " + Q(m / "Splash.bmp")).status, 0);
    EXPECT_NE(Tool("check-stamp " + Q(root_ / "splash.bmp")).status, 0);
    // Assembling again from the stamped copy leaves it alone.
    fs::copy_file(m / "Splash.bmp", root_ / "stamped.bmp");
    const ToolRun again = Tool(Base() + " --splash " + Q(root_ / "stamped.bmp") + " --placeholder-runtime --replace");
    ASSERT_EQ(again.status, 0) << again.out;
    EXPECT_EQ(Get(m / "Splash.bmp"), splash);
    EXPECT_TRUE(Has(again.out, "already stamped, copied as it is")) << again.out;

    // Exactly the medium's files, nothing left over.
    int files = 0;
    for (const auto& e : fs::directory_iterator(m)) files += e.is_regular_file();
    EXPECT_EQ(files, 7);   // with SHA256SUMS; the second run had no ini and no icon
    EXPECT_FALSE(fs::exists(root_ / "medium.assembling"));
    EXPECT_FALSE(fs::exists(m / "setup.ini")) << "the previous medium's description would name the product";

    for (const char* line : {"Setup.pkg", "2 files, 12 bytes of data", "Name \"Kelvra\", Title \"标题\"",
                             "UTF-8 converted to code page 936", "stamped (512-byte trailer appended)",
                             "default install folder: C:\\Program Files\\Kelvra\\",
                             "longest target path there: 57 of 259 characters (Microsoft.VC80.CRT.manifest)",
                             "assembled with 0 warnings"})
        EXPECT_TRUE(Has(r.out, line)) << line << "\n" << r.out;
    // The package's SHA-256, from sha256sum of the bytes above.
    EXPECT_TRUE(Has(r.out, "sha256 6bfbcfcf41fd2b27be268e4a328aedbf94cb646abe5822d0a63e4da6d97b5c56")) << r.out;
}

TEST_F(AssembleTool, PlaceholderRuntimeIsLabelled)
{
    const ToolRun r = Tool(Base() + " --placeholder-runtime");
    ASSERT_EQ(r.status, 0) << r.out;
    for (const char* name : {"Microsoft.VC80.CRT.manifest", "msvcp80.dll", "msvcr80.dll"}) {
        const std::string text = Get(root_ / "medium" / name);
        EXPECT_EQ(text.rfind("PLACEHOLDER - NOT THE REAL FILE.", 0), 0u) << name;
        EXPECT_TRUE(Has(text, std::string("stands in for \"") + name + "\"")) << name;
    }
    EXPECT_TRUE(Has(r.out, "the runtime files are placeholders")) << r.out;
    EXPECT_FALSE(fs::exists(root_ / "medium" / "setup.ini"));
    EXPECT_FALSE(fs::exists(root_ / "medium" / "Splash.bmp"));
}

// Setup reads the description byte for byte and knows no byte-order mark:
// with one, the first line's key would not be "Name".
TEST_F(AssembleTool, DescriptionEncodings)
{
    const struct {
        const char* what;
        std::string in;
        std::string out;
        const char* said;
    } cases[] = {
        {"UTF-8 with a mark", "\xEF\xBB\xBFName=Kelvra\r\n", "Name=Kelvra\r\n", "ASCII (byte-order mark removed)"},
        {"UTF-8 with a mark and Chinese", "\xEF\xBB\xBFName=\xE6\xA0\x87\n", "Name=\xB1\xEA\n", "UTF-8 converted to code page 936"},
        {"already in the code page", "Name=\xB1\xEA\n", "Name=\xB1\xEA\n", "taken as code page 936 (not UTF-8)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Put(root_ / "setup.ini", c.in);
        const ToolRun r = Tool(Base() + " --placeholder-runtime --replace --ini " + Q(root_ / "setup.ini"));
        ASSERT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(Get(root_ / "medium" / "setup.ini"), c.out);
        EXPECT_TRUE(Has(r.out, c.said)) << r.out;
        EXPECT_TRUE(Has(r.out, "Name \"标\"") || Has(r.out, "Name \"Kelvra\"")) << r.out;
    }
}

TEST_F(AssembleTool, Refusals)
{
    const struct {
        const char* what;
        void (*prepare)(const fs::path& root);
        const char* extra;
        const char* message;
    } cases[] = {
        {"no runtime files", nullptr, "", "runtime files: none given; setup stops with 'cannot copy file'"},
        {"runtime file missing", [](const fs::path& r) { fs::remove(r / "rt" / "msvcr80.dll"); },
         " --runtime RT", "rt/msvcr80.dll: missing; setup stops with 'cannot copy file' without it"},
        {"an HTML page saved as a runtime DLL", [](const fs::path& r) { Put(r / "rt" / "msvcr80.dll", "<html>404</html>"); },
         " --runtime RT", "rt/msvcr80.dll: not a Windows DLL (no PE header)"},
        {"payload name a package cannot hold", [](const fs::path& r) { Put(r / "payload" / "x" / "a:b", ""); },
         " --placeholder-runtime", "contains ':'"},
        {"payload name too long", [](const fs::path& r) { Put(r / "payload" / std::string(130, 'a') / std::string(129, 'b'), ""); },
         " --placeholder-runtime", "at most 259 fit"},
        {"no Kelvra.exe at the top", [](const fs::path& r) { fs::rename(r / "payload" / "Kelvra.exe", r / "payload" / u8"文件" / "Kelvra.exe"); },
         " --placeholder-runtime", "no Kelvra.exe at the top level"},
        {"setup is not a program", [](const fs::path& r) { Put(r / "setup.exe", "#!/bin/sh"); },
         " --placeholder-runtime", "setup.exe: not a Windows program (no MZ header)"},
        {"setup missing", [](const fs::path& r) { fs::remove(r / "setup.exe"); },
         " --placeholder-runtime", "setup.exe: no such file (the setup program)"},
        {"payload missing", [](const fs::path& r) { fs::remove_all(r / "payload"); },
         " --placeholder-runtime", "payload: no such folder (the payload)"},
        {"splash missing", nullptr, " --placeholder-runtime --splash nothere.bmp", "nothere.bmp: no such file (--splash)"},
        {"description not in code page", [](const fs::path& r) { Put(r / "setup.ini", "Name=\xF0\x9F\x98\x80\n"); },
         " --placeholder-runtime --ini INI", "holds characters that code page 936 cannot write (line 1, column 6)"},
        {"unwritable character, its line and column", [](const fs::path& r) { Put(r / "setup.ini", "Title=T\nName=ab\xF0\x9F\x98\x80\n"); },
         " --placeholder-runtime --ini INI", "cannot write (line 2, column 8)"},
        // Setup passes an empty Name over; --strict refuses what it passes over.
        {"strict: empty name", [](const fs::path& r) { Put(r / "setup.ini", "Name=\n"); },
         " --placeholder-runtime --strict --ini INI", "setup.ini:1: Name \"\": the name is empty"},
        {"strict: an empty name after a good one", [](const fs::path& r) { Put(r / "setup.ini", "Name=A\r\nTitle=T\r\nname = \r\n"); },
         " --placeholder-runtime --strict --ini INI", "setup.ini:3: Name \"\": the name is empty"},
        {"strict: an unknown key", [](const fs::path& r) { Put(r / "setup.ini", "Name=A\nNmae=B\n"); },
         " --placeholder-runtime --strict --ini INI", "--strict: 1 warnings count as errors"},
        {"description with a broken mark", [](const fs::path& r) { Put(r / "setup.ini", "\xEF\xBB\xBFName=\xB1\xEA\n"); },
         " --placeholder-runtime --ini INI", "starts with a UTF-8 byte-order mark but is not UTF-8"},
        {"medium exists", [](const fs::path& r) { Put(r / "medium" / "mine.txt", "keep"); },
         " --placeholder-runtime", "already exists and is not an empty folder (--replace replaces it)"},
        {"medium exists, not a medium", [](const fs::path& r) { Put(r / "medium" / "mine.txt", "keep"); },
         " --placeholder-runtime --replace", "does not look like a medium (no Setup.pkg), so it is not replaced"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        if (c.prepare) c.prepare(root_);
        std::string extra = c.extra;
        for (auto [key, path] : {std::pair<std::string, fs::path>{"RT", root_ / "rt"}, {"INI", root_ / "setup.ini"}}) {
            const std::size_t at = extra.find(key);
            if (at != std::string::npos) extra.replace(at, key.size(), Q(path));
        }
        const ToolRun r = Tool(Base() + extra);
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_TRUE(Has(r.out, c.message)) << r.out;
        EXPECT_TRUE(Has(r.out, "mediatool assemble: nothing written")) << r.out;
        EXPECT_FALSE(fs::exists(root_ / "medium" / "Setup.pkg"));
        EXPECT_FALSE(fs::exists(root_ / "medium.assembling"));
    }
    // A folder that is kept is kept whole.
    EXPECT_EQ(Get(root_ / "medium" / "mine.txt"), "keep");

    // A medium inside its own payload.
    const ToolRun inside = Tool("assemble --payload " + Q(payload_) + " --setup " + Q(root_ / "setup.exe") +
                                " --out " + Q(payload_ / "medium") + " --placeholder-runtime");
    EXPECT_EQ(inside.status, 1) << inside.out;
    EXPECT_TRUE(Has(inside.out, "lies inside the payload folder")) << inside.out;

    // A program without '.' has no fixed description file name.
    fs::copy_file(root_ / "setup.exe", root_ / "setup");
    const ToolRun nodot = Tool("assemble --payload " + Q(payload_) + " --setup " + Q(root_ / "setup") + " --out " +
                               Q(root_ / "m2") + " --placeholder-runtime --ini " + Q(root_ / "setup.ini"));
    EXPECT_EQ(nodot.status, 1) << nodot.out;
    EXPECT_TRUE(Has(nodot.out, "the program's name has no '.'")) << nodot.out;
}

TEST_F(AssembleTool, Warnings)
{
    const struct {
        const char* what;
        void (*prepare)(const fs::path& root);
        const char* message;
        const char* absent;   // must not be said
    } cases[] = {
        // 23 + 10 + 1 + 230 = 264 characters under "C:\Program Files (x86)\",
        // 17 + 10 + 1 + 230 = 258 under "C:\Program Files\".
        {"path too long on 64-bit Windows",
         [](const fs::path& r) { Put(r / "setup.ini", "Name=NNNNNNNNNN\n"); Put(r / "payload" / std::string(230, 'f'), ""); },
         "under C:\\Program Files (x86)\\NNNNNNNNNN\\ the path takes 264 characters; Windows allows 259",
         "under C:\\Program Files\\NNNNNNNNNN\\"},
        // 122 characters in 242 bytes: characters count, not bytes.
        {"double-byte names count characters",
         [](const fs::path& r) {
             std::string level;
             for (int i = 0; i < 40; ++i) level += u8"字";
             Put(r / "payload" / level / level / level, "");
         },
         "longest target path there: 152 of 259 characters", "warning:"},
        {"payload file replaced by a side file", [](const fs::path& r) { Put(r / "payload" / "ICON.ICO", ""); },
         "warning: payload ICON.ICO: setup copies the medium's icon.ico over it at install time", nullptr},
        {"name cannot name a folder", [](const fs::path& r) { Put(r / "setup.ini", "Name=A/B\n"); },
         "setup.ini:1: Name \"A/B\": the name contains a backslash or slash; it must be one file name; setup "
         "passes the line over and names the product \"Kelvra\"", nullptr},
        // Only "Name" and "Title" are read, in any case; a comment is no key.
        {"unknown key", [](const fs::path& r) { Put(r / "setup.ini", "// c\nNAME=A\r\nNmae=B\r\nTiTlE=T\n"); },
         "setup.ini:3: unknown key \"Nmae\"; setup reads only Name and Title", "setup.ini:2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        c.prepare(root_);
        const ToolRun r = Tool(Base() + " --placeholder-runtime --ini " + Q(root_ / "setup.ini"));
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_TRUE(Has(r.out, c.message)) << r.out;
        if (c.absent) {
            EXPECT_FALSE(Has(r.out, c.absent)) << r.out;
        }
        EXPECT_TRUE(fs::exists(root_ / "medium" / "Setup.pkg"));
    }
}

TEST_F(AssembleTool, UsageErrors)
{
    const std::string p = " --payload " + Q(payload_), s = " --setup " + Q(root_ / "setup.exe"),
                      o = " --out " + Q(root_ / "medium");
    const std::string cases[] = {
        "assemble", "assemble" + s + o, "assemble" + p + o, "assemble" + p + s,
        "assemble" + p + s + o + " --codepage 65001", "assemble" + p + s + o + " --ini",
        "assemble" + p + s + o + " --runtime x --placeholder-runtime", "assemble" + p + s + o + " stray",
    };
    for (const std::string& args : cases) {
        const ToolRun r = Tool(args);
        EXPECT_EQ(r.status, 2) << args << "\n" << r.out;
        EXPECT_TRUE(Has(r.out, "mediatool assemble: ")) << r.out;
        EXPECT_FALSE(fs::exists(root_ / "medium"));
    }
    const ToolRun help = Tool("assemble --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(Has(help.out, "usage: mediatool assemble --payload DIR")) << help.out;
}

} // namespace
