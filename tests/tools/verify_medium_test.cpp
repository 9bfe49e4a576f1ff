// mediatool verify on a whole medium and on a lone package: each fault a
// release must not ship with is named, all of them in one run.
#include <unistd.h>

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "tests/tools/tool_support.h"

using namespace tooltest;

namespace {

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Two records with empty data, written by hand.
std::string TwoNames(const std::string& a, const std::string& b)
{
    return U32(static_cast<std::uint32_t>(a.size())) + a + U32(0) + U32(static_cast<std::uint32_t>(b.size())) + b +
           U32(0);
}

// The record the shortcuts need, so that a package fault stands alone.
std::string Program() { return U32(10) + "Kelvra.exe" + U32(0); }

void FlipByte(const fs::path& p, std::size_t at)
{
    std::string bytes = Get(p);
    bytes[at] = static_cast<char>(bytes[at] ^ 0x01);
    Put(p, bytes);
}

class VerifyMedium : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = FreshRoot("vmed");
        Put(root_ / "payload" / "Kelvra.exe", "MZprogram");
        Put(root_ / "payload" / "data" / "a.txt", "data");
        Put(root_ / "setup.exe", SmallPe());
        Put(root_ / "setup.ini", "Name=Kelvra\r\nTitle=T\r\n");
        Put(root_ / "splash.bmp", "BM" + std::string(700, 'p'));
        PutRuntime(root_ / "rt");
        medium_ = root_ / "m";
    }
    void TearDown() override { fs::remove_all(root_); }

    ToolRun Assemble(const std::string& runtime = " --runtime RT") const
    {
        std::string extra = runtime;
        if (extra == " --runtime RT") extra = " --runtime " + Q(root_ / "rt");
        return Tool("assemble --payload " + Q(root_ / "payload") + " --setup " + Q(root_ / "setup.exe") + " --out " +
                    Q(medium_) + " --ini " + Q(root_ / "setup.ini") + " --splash " + Q(root_ / "splash.bmp") + extra);
    }

    fs::path root_, medium_;
};

TEST_F(VerifyMedium, SoundMediumPasses)
{
    ASSERT_EQ(Assemble().status, 0);
    const ToolRun r = Tool("verify " + Q(medium_));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "setup.exe: a 32-bit Windows GUI program, unsigned")) << r.out;
    EXPECT_TRUE(Has(r.out, "ready for release (code page 936)")) << r.out;
    EXPECT_EQ(Tool("verify -q " + Q(medium_)).out, "") << "nothing, as its help says";
}

// Each fault alone; `resum` rewrites SHA256SUMS afterwards so that only the
// check under test can see it.
TEST_F(VerifyMedium, EachFaultIsNamed)
{
    const struct {
        const char* what;
        std::function<void(const fs::path& m)> harm;
        bool resum;
        const char* message;
    } cases[] = {
        // Plain verify of the lone package passes this one.
        {"a flipped byte in the package's data", [](const fs::path& m) { FlipByte(m / "Setup.pkg", 20); }, false,
         "Setup.pkg: differs from its checksum"},
        {"no checksum file", [](const fs::path& m) { fs::remove(m / "SHA256SUMS"); }, false, "SHA256SUMS: cannot be read"},
        {"a runtime file missing", [](const fs::path& m) { fs::remove(m / "msvcr80.dll"); }, true,
         "msvcr80.dll: missing; setup stops"},
        {"setup for x64", [](const fs::path& m) { Put(m / "setup.exe", SmallPe().replace(0x44, 2, "\x64\x86")); }, true,
         "not a 32-bit x86 program (machine 0x8664)"},
        {"setup a console program", [](const fs::path& m) { Put(m / "setup.exe", SmallPe().replace(0x58 + 68, 1, "\x03")); },
         true, "not a GUI program (subsystem 3)"},
        {"setup cut short", [](const fs::path& m) { Put(m / "setup.exe", SmallPe().substr(0, 0x50)); }, true,
         "not a Windows program (headers cut short)"},
        {"an empty package", [](const fs::path& m) { Put(m / "Setup.pkg", ""); }, true, "Setup.pkg: empty"},
        {"a package cut short", [](const fs::path& m) { Put(m / "Setup.pkg", Get(m / "Setup.pkg").substr(0, 30)); }, true,
         "Setup.pkg: broken at offset"},
        {"names equal but for case", [](const fs::path& m) { Put(m / "Setup.pkg", Program() + TwoNames("Dir\\a.txt", "dir\\A.TXT")); },
         true, "Dir\\a.txt and dir\\A.TXT are equal but for case"},
        {"a name setup refuses", [](const fs::path& m) { Put(m / "Setup.pkg", Program() + TwoNames("..\\x", "y")); }, true,
         "(..\\x): "},
        {"a byte the code page does not decode", [](const fs::path& m) { Put(m / "setup.ini", "Name=K\nTitle=ab\xFF\n"); },
         true, "setup.ini:2:9: byte 0xFF is not a character of code page 936"},
        // The runtime files: a hand-made DLL with one field changed each.
        {"an HTML page saved as msvcr80.dll", [](const fs::path& m) { Put(m / "msvcr80.dll", "<html>Not found</html>"); },
         true, "msvcr80.dll: not a Windows DLL (no PE header)"},
        {"a DLL of another version", [](const fs::path& m) { Put(m / "msvcp80.dll", RuntimeDll(8, 0, 50727, 42)); }, true,
         "msvcp80.dll: version 8.0.50727.42, not 8.0.50727.762"},
        {"a program, not a DLL", [](const fs::path& m) { Put(m / "msvcp80.dll", RuntimeDll().replace(testbytes::kDllCharacteristicsAt + 1, 1, "\x01")); },
         true, "msvcp80.dll: a program, not a DLL"},
        {"a 64-bit DLL", [](const fs::path& m) { Put(m / "msvcp80.dll", RuntimeDll().replace(testbytes::kDllMachineAt, 2, "\x64\x86")); },
         true, "msvcp80.dll: not a 32-bit x86 DLL"},
        {"no version resource", [](const fs::path& m) { Put(m / "msvcr80.dll", RuntimeDll().replace(testbytes::kDllResourceRvaAt, 4, U32(0))); },
         true, "msvcr80.dll: no version resource"},
        {"a version resource pointing outside", [](const fs::path& m) {
             Put(m / "msvcr80.dll", RuntimeDll().replace(testbytes::kDllVersionDataRvaAt, 4, U32(0x7FFFFFF0)));
         }, true, "msvcr80.dll: the resource table is broken"},
        {"the manifest of another version", [](const fs::path& m) {
             Put(m / "Microsoft.VC80.CRT.manifest", RuntimeManifest("8.0.50608.0"));
         }, true, "Microsoft.VC80.CRT.manifest: names version \"8.0.50608.0\" of Microsoft.VC80.CRT, not 8.0.50727.762"},
        {"the splash picture's stamp broken", [](const fs::path& m) { FlipByte(m / "Splash.bmp", 5); }, true,
         "Splash.bmp: setup will not show it"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(medium_);
        ASSERT_EQ(Assemble().status, 0);
        c.harm(medium_);
        if (c.resum) {
            ASSERT_EQ(Resum(medium_), 0);
        }
        const ToolRun r = Tool("verify " + Q(medium_));
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_TRUE(Has(r.out, c.message)) << r.out;
        EXPECT_TRUE(Has(r.out, "1 problem found; not ready for release")) << r.out;
    }
}

TEST_F(VerifyMedium, EveryProblemIsListedAndWarningsCountWhenStrict)
{
    ASSERT_EQ(Assemble(" --placeholder-runtime").status, 0);
    ToolRun r = Tool("verify " + Q(medium_));
    EXPECT_EQ(r.status, 1) << r.out;
    for (const char* f : {"Microsoft.VC80.CRT.manifest", "msvcp80.dll", "msvcr80.dll"})
        EXPECT_TRUE(Has(r.out, std::string(f) + ": a placeholder, not for release")) << f << "\n" << r.out;
    EXPECT_TRUE(Has(r.out, "3 problems found")) << r.out;

    fs::remove_all(medium_);
    ASSERT_EQ(Assemble().status, 0);
    // An empty Name is passed over as setup passes it over: a warning.
    Put(medium_ / "setup.ini", "Name=K\nNmae=L\nName=\n");
    ASSERT_EQ(Resum(medium_), 0);
    r = Tool("verify " + Q(medium_));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "warning: " + (medium_ / "setup.ini").string() + ":2: unknown key \"Nmae\"")) << r.out;
    EXPECT_TRUE(Has(r.out, "warning: " + (medium_ / "setup.ini").string() + ":3: Name \"\": the name is empty")) << r.out;
    r = Tool("verify --strict " + Q(medium_));
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(Has(r.out, "2 problems found")) << r.out;
}

TEST_F(VerifyMedium, LonePackage)
{
    const struct {
        const char* what;
        std::string package;
        int status;
        const char* message;
    } cases[] = {
        {"empty", "", 1, "empty: no records"},
        {"equal but for case", TwoNames("a.txt", "A.TXT"), 1, "a.txt and A.TXT are equal but for case"},
        // 0x81 0x41 and 0x81 0x61 are two characters of code page 936: a
        // trail byte is no letter.
        {"trail bytes are not folded", TwoNames("\x81\x41", "\x81\x61"), 0, "2 records"},
        {"the same name twice: the later wins", TwoNames("a.txt", "a.txt"), 0, "appears more than once"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Put(root_ / "x.pkg", c.package);
        const ToolRun r = Tool("verify " + Q(root_ / "x.pkg"));
        EXPECT_EQ(r.status, c.status) << r.out;
        EXPECT_TRUE(Has(r.out, c.message)) << r.out;
    }
    EXPECT_EQ(Tool("verify --strict " + Q(root_ / "x.pkg")).status, 2);
    EXPECT_EQ(Tool("verify " + Q(root_) + " --against " + Q(root_)).status, 2);
    EXPECT_TRUE(Has(Tool("verify --help").out, "can only be checked")) ;
}

} // namespace

namespace {

// A byte code page 936 does not decode shows as "\xFF" in the text, which a
// name could also hold literally; the hex beside it is exact.
TEST(ListJson, FormatAndNameBytes)
{
    const fs::path pkg = fs::path(testtemp::Path("list.pkg"));
    Put(pkg, TwoNames("a\xFF", "a\\xFF"));
    const ToolRun r = Tool("list --json " + Q(pkg));
    fs::remove(pkg);
    EXPECT_TRUE(Has(r.out, "{\n  \"format\": 1,\n  \"package\": ")) << r.out;
    EXPECT_TRUE(Has(r.out, "\"name\": \"a\\\\xFF\", \"name_hex\": \"61ff\"")) << r.out;
    EXPECT_TRUE(Has(r.out, "\"name\": \"a\\\\xFF\", \"name_hex\": \"615c784646\"")) << r.out;
}

} // namespace
