// The medium's rules as assemble and verify apply them: the checksum file
// read as sha256sum reads it, nothing on the medium that it does not cover,
// the same verdict from both commands, and what --replace removes.
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "tests/tools/tool_support.h"

using namespace tooltest;

namespace {

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string Replaced(std::string s, const std::string& from, const std::string& to)
{
    for (std::size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size()) s.replace(at, from.size(), to);
    return s;
}

class MediumRules : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = FreshRoot("rules");
        Put(root_ / "payload" / "Kelvra.exe", "MZprogram");
        Put(root_ / "setup.exe", SmallPe());
        Put(root_ / "setup.ini", "Name=Kelvra\n");
        PutRuntime(root_ / "rt");
        m_ = root_ / "m";
    }
    void TearDown() override { fs::remove_all(root_); }

    ToolRun Assemble(const std::string& extra = "", const fs::path& setup = {}) const
    {
        return Tool("assemble --payload " + Q(root_ / "payload") + " --setup " +
                    Q(setup.empty() ? root_ / "setup.exe" : setup) + " -o " + Q(m_) + " --ini " +
                    Q(root_ / "setup.ini") + " --runtime " + Q(root_ / "rt") + extra);
    }

    fs::path root_, m_;
};

// Each form of the checksum file that a user's editor or another sha256sum
// writes; `sha256sum --strict -c` gives the verdict verify must give.
TEST_F(MediumRules, ChecksumFileReadAsSha256sumReadsIt)
{
    const struct {
        const char* what;
        std::function<std::string(const std::string&)> edit;
    } forms[] = {
        {"as written", [](const std::string& s) { return s; }},
        {"CRLF line ends", [](const std::string& s) { return Replaced(s, "\n", "\r\n"); }},
        {"./ before each name", [](const std::string& s) { return Replaced(Replaced(s, "  ", "  ./"), "  ././", "  ./"); }},
        {"the binary marker", [](const std::string& s) { return Replaced(s, "  ", " *"); }},
        {"upper-case hex", [](std::string s) {
             bool digest = true;   // up to the first blank of each line
             for (char& c : s) {
                 if (c == ' ' || c == '\n') digest = c == '\n';
                 else if (digest && c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
             }
             return s;
         }},
        {"a comment and an empty line", [](const std::string& s) { return "# made by hand\n\n" + s; }},
        {"a changed digest", [](std::string s) { return s[0] = s[0] == '0' ? '1' : '0', s; }},
        {"a line that is no checksum", [](const std::string& s) { return s + "not a checksum line\n"; }},
        {"a bad escape", [](const std::string& s) { return Replaced(s, "\\\\", "\\q"); }},
    };
    ASSERT_EQ(Assemble().status, 0);
    Put(m_ / "read\\me.txt", "a name sha256sum escapes");
    ASSERT_EQ(Resum(m_), 0);
    ASSERT_TRUE(Has(Get(m_ / "SHA256SUMS"), "  read\\\\me.txt")) << "the escaped form is under test";
    const std::string sums = Get(m_ / "SHA256SUMS");
    for (const auto& f : forms) {
        SCOPED_TRACE(f.what);
        Put(m_ / "SHA256SUMS", f.edit(sums));
        const ToolRun reference = RunCommand("cd " + Q(m_) + " && sha256sum --strict -c SHA256SUMS");
        const ToolRun r = Tool("verify " + Q(m_));
        EXPECT_EQ(r.status == 0, reference.status == 0) << r.out << "\nsha256sum:\n" << reference.out;
    }
}

// Files beside the listed ones, and the listing itself: what Windows would
// load or run is a problem, anything else a warning (a problem with --strict).
TEST_F(MediumRules, WhatTheChecksumFileDoesNotCover)
{
    const struct {
        const char* what;
        std::function<void(const fs::path&)> harm;
        bool resum;
        int status, strict;
        const char* message;
    } cases[] = {
        {"a DLL Windows loads beside setup", [](const fs::path& m) { Put(m / "version.dll", "MZ"); }, false, 1, 1,
         "version.dll: not listed in SHA256SUMS; Windows may load or run it"},
        {"another program", [](const fs::path& m) { Put(m / "tool.exe", SmallPe()); }, false, 1, 1, "tool.exe: not listed"},
        {"autorun.inf", [](const fs::path& m) { Put(m / "autorun.inf", "[autorun]"); }, false, 1, 1, "autorun.inf: not listed"},
        {"a .local folder", [](const fs::path& m) { Put(m / "setup.exe.local" / "x", ""); }, false, 1, 1,
         "setup.exe.local: a folder not listed"},
        {"a program under another name", [](const fs::path& m) { Put(m / "notes.bin", SmallPe()); }, false, 1, 1,
         "a Windows program under another name"},
        {"a readme", [](const fs::path& m) { Put(m / "docs" / "readme.txt", ""); }, false, 0, 1, "docs: a folder not listed"},
        // Not an unlisted file, but judged as a signature: here it signs for an unsigned program.
        {"the checksum file's signature beside an unsigned program", [](const fs::path& m) { Put(m / "SHA256SUMS.p7s", ""); },
         false, 1, 1, "SHA256SUMS.p7s: signs the checksums of a medium whose setup program is unsigned"},
        {"a killed run's staging", [](const fs::path& m) { Put(m / ".mediatool.999999999.tmp" / "Setup.pkg", ""); }, false,
         1, 1, "the staging folder of an interrupted mediatool run"},
        {"the package left out of the listing", [](const fs::path& m) {
             Put(m / "SHA256SUMS", Replaced(Get(m / "SHA256SUMS"), "  Setup.pkg\n", "  Other.pkg\n"));
             Put(m / "Other.pkg", Get(m / "Setup.pkg"));
         }, false, 1, 1, "Setup.pkg: not listed in SHA256SUMS, though setup installs it"},
        {"the description left out", [](const fs::path& m) {
             Put(m / "SHA256SUMS", Replaced(Get(m / "SHA256SUMS"), "  setup.ini\n", "  setup.txt\n"));
             fs::copy_file(m / "setup.ini", m / "setup.txt");
         }, false, 1, 1, "setup.ini: not listed in SHA256SUMS, though setup reads it"},
        {"two programs listed", [](const fs::path& m) { Put(m / "tool.exe", SmallPe()); }, true, 1, 1,
         "lists 2 programs (setup.exe, tool.exe)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(m_);
        ASSERT_EQ(Assemble().status, 0);
        c.harm(m_);
        if (c.resum) {
            ASSERT_EQ(Resum(m_), 0);
        }
        const ToolRun r = Tool("verify " + Q(m_)), strict = Tool("verify --strict " + Q(m_));
        EXPECT_EQ(r.status, c.status) << r.out;
        EXPECT_EQ(strict.status, c.strict) << strict.out;
        EXPECT_TRUE(Has(r.out, c.message)) << r.out;
    }
}

// The installer is the program the checksum file lists; a console program
// planted as setup.exe beside it is a problem, not the one checked.
TEST_F(MediumRules, TheListedInstallerIsChecked)
{
    fs::copy_file(root_ / "setup.exe", root_ / "Install.exe");
    ASSERT_EQ(Tool("assemble --payload " + Q(root_ / "payload") + " --setup " + Q(root_ / "Install.exe") + " -o " +
                   Q(m_) + " --runtime " + Q(root_ / "rt")).status, 0);
    Put(m_ / "setup.exe", SmallPe().replace(0x58 + 68, 1, "\x03"));
    const ToolRun r = Tool("verify " + Q(m_));
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(Has(r.out, "Install.exe: a 32-bit Windows GUI program")) << r.out;
    EXPECT_TRUE(Has(r.out, "setup.exe: not listed in SHA256SUMS")) << r.out;
}

// The same input refused by assemble --strict and by verify --strict, for
// the same reason: `input` spoils what assemble reads, `medium` the same
// thing on a sound medium.
TEST_F(MediumRules, AssembleAndVerifyApplyOneRulebook)
{
    const std::string console = SmallPe().replace(0x58 + 68, 1, "\x03");
    const std::string longName = std::string(230, 'f');
    const struct {
        const char* what;
        std::function<void(const fs::path& root)> input;
        std::function<void(const fs::path& m, const fs::path& root)> medium;
        const char* message;
    } cases[] = {
        {"a console program", [&](const fs::path& r) { Put(r / "setup.exe", console); },
         [&](const fs::path& m, const fs::path&) { Put(m / "setup.exe", console); }, "not a GUI program (subsystem 3)"},
        {"no Kelvra.exe", [](const fs::path& r) { fs::rename(r / "payload" / "Kelvra.exe", r / "payload" / "Other.exe"); },
         [](const fs::path& m, const fs::path& r) {
             Put(r / "other" / "Other.exe", "MZ");
             RunCommand("'" MEDIATOOL_PATH "' pack -q " + Q(r / "other") + " -o " + Q(m / "Setup.pkg"));
         },
         "no Kelvra.exe at the top level"},
        {"a path over 259 characters", [&](const fs::path& r) { Put(r / "payload" / longName, ""); },
         [&](const fs::path& m, const fs::path& r) {
             Put(r / "long" / "Kelvra.exe", "MZ"), Put(r / "long" / longName, "");
             RunCommand("'" MEDIATOOL_PATH "' pack -q " + Q(r / "long") + " -o " + Q(m / "Setup.pkg"));
         },
         "the path takes 260 characters"},
        {"a payload file a side file replaces", [](const fs::path& r) { Put(r / "payload" / "MSVCR80.DLL", ""); },
         [](const fs::path& m, const fs::path& r) {
             Put(r / "side" / "Kelvra.exe", "MZ"), Put(r / "side" / "MSVCR80.DLL", "");
             RunCommand("'" MEDIATOOL_PATH "' pack -q " + Q(r / "side") + " -o " + Q(m / "Setup.pkg"));
         },
         "setup copies the medium's msvcr80.dll over it"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        ASSERT_EQ(Assemble().status, 0);
        c.medium(m_, root_);
        ASSERT_EQ(Resum(m_), 0);
        const ToolRun verify = Tool("verify --strict " + Q(m_));
        fs::remove_all(m_);
        c.input(root_);
        const ToolRun assemble = Assemble(" --strict");
        EXPECT_EQ(verify.status, 1) << verify.out;
        EXPECT_EQ(assemble.status, 1) << assemble.out;
        EXPECT_TRUE(Has(verify.out, c.message)) << verify.out;
        EXPECT_TRUE(Has(assemble.out, c.message)) << assemble.out;
        EXPECT_FALSE(fs::exists(m_ / "Setup.pkg")) << "refused: nothing written";
    }
}

// --replace takes away what the previous checksum file lists, among it an
// installer of another name and its description, and a killed run's staging.
TEST_F(MediumRules, ReplaceRemovesThePreviousMediumAndLeftovers)
{
    fs::copy_file(root_ / "setup.exe", root_ / "old.exe");
    ASSERT_EQ(Assemble("", root_ / "old.exe").status, 0);
    Put(m_ / "notes.txt", "the user's");
    Put(m_ / ".mediatool.999999999.tmp" / "Setup.pkg", "half");
    const ToolRun r = Assemble(" --replace");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_FALSE(fs::exists(m_ / "old.exe"));
    EXPECT_FALSE(fs::exists(m_ / "old.ini"));
    EXPECT_FALSE(fs::exists(m_ / ".mediatool.999999999.tmp"));
    EXPECT_EQ(Get(m_ / "notes.txt"), "the user's");
    EXPECT_TRUE(Has(r.out, "removed, left by an interrupted run: .mediatool.999999999.tmp/")) << r.out;
    EXPECT_TRUE(Has(r.out, "removed from the previous medium: old.exe")) << r.out;
    const ToolRun v = Tool("verify -q " + Q(m_));
    EXPECT_EQ(v.status, 0) << v.out;
    EXPECT_TRUE(Has(v.out, "notes.txt: not listed")) << v.out;

    // A folder that holds only a killed run's staging is no medium to replace.
    fs::remove_all(m_);
    Put(m_ / ".mediatool.999999999.tmp" / "Setup.pkg", "half");
    EXPECT_EQ(Assemble().status, 0);
    EXPECT_FALSE(fs::exists(m_ / ".mediatool.999999999.tmp"));
}

} // namespace
