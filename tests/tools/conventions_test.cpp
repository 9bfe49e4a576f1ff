// The command-line conventions every mediatool command shares: option
// spellings, "--", "-" for standard output, -q, help CMD, and errors that
// name the path and the system's reason.
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tests/tools/tool_support.h"

using namespace tooltest;

namespace {

class Conventions : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = FreshRoot("conv");
        // Open to everyone: one case runs the tool as an unprivileged user.
        fs::permissions(root_, fs::perms::all);
        // A tree whose name starts with '-', so that only "--" lets it through.
        Put(root_ / "-tree" / "b.txt", "xy");
        Put(root_ / "a.txt", "not a folder");
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::permissions(root_ / "pl" / "data", fs::perms::owner_all, ec);
        fs::remove_all(root_);
    }
    // The tool run in root_, with standard error folded into the output.
    ToolRun Here(const std::string& args)
    {
        return RunCommand("cd " + Q(root_) + " && { '" + std::string(MEDIATOOL_PATH) + "' " + args + "; }");
    }

    fs::path root_;
};

// The one record "b.txt" holding "xy", written out by hand.
const std::string kTreePackage = std::string("\x05\0\0\0", 4) + "b.txt" + std::string("\x02\0\0\0", 4) + "xy";

TEST_F(Conventions, EverySpellingOfAnOptionWritesTheSamePackage)
{
    const struct {
        const char* args;
        bool silent;   // nothing on standard output or error
    } cases[] = {
        {"pack -o out.pkg -- -tree", false},
        {"pack --output=out.pkg --codepage=936 -- -tree", false},
        {"pack --output out.pkg --codepage 936 -- -tree", false},
        {"pack -oout.pkg -- -tree", false},
        {"pack -qo out.pkg -- -tree", true},
        {"pack --quiet -o out.pkg ./-tree", true},
        // The package on standard output, the summary (if any) on standard error.
        {"pack -o - -- -tree > out.pkg", false},
        {"pack -q -o - -- -tree > out.pkg", true},
    };
    for (const auto& c : cases) {
        fs::remove(root_ / "out.pkg");
        const ToolRun r = Here(c.args);
        EXPECT_EQ(r.status, 0) << c.args << "\n" << r.out;
        EXPECT_EQ(Get(root_ / "out.pkg"), kTreePackage) << c.args;
        if (c.silent) EXPECT_EQ(r.out, "") << c.args;
        else EXPECT_NE(r.out.find("packed 1 files"), std::string::npos) << c.args << "\n" << r.out;
        EXPECT_FALSE(fs::exists(root_ / "-")) << c.args << ": '-' is standard output, not a file";
    }
}

TEST_F(Conventions, QuietCommandsSayNothingOnSuccess)
{
    Put(root_ / "pkg", kTreePackage);
    Put(root_ / "pic.bmp", std::string(600, 'P'));
    for (const char* args : {"list -q pkg", "verify -q pkg", "unpack -q pkg -o out", "unpack --quiet pkg out2",
                             "stamp -q pic.bmp", "check-stamp -q pic.bmp"}) {
        const ToolRun r = Here(args);
        EXPECT_EQ(r.status, 0) << args << "\n" << r.out;
        if (std::string(args).rfind("list", 0) == 0)
            EXPECT_EQ(r.out.find("files,"), std::string::npos) << args << ": the totals are a summary";
        else
            EXPECT_EQ(r.out, "") << args;
    }
    EXPECT_EQ(Get(root_ / "out" / "b.txt"), "xy");
    EXPECT_EQ(Get(root_ / "out2" / "b.txt"), "xy");
}

TEST_F(Conventions, UsageAndHelp)
{
    const struct {
        const char* args;
        int status;
        const char* says;
    } cases[] = {
        {"help pack", 0, "usage: mediatool pack"},
        {"help assemble", 0, "usage: mediatool assemble"},
        {"help check-stamp", 0, "usage: mediatool check-stamp"},
        {"help", 0, "mediatool help [COMMAND]"},
        {"help nothing", 2, "unknown command 'nothing'"},
        {"-V", 0, "mediatool "},
        {"--version", 0, "mediatool "},
        {"pack -o out.pkg -tree", 2, "unknown option '-t'"},
        {"pack --output", 2, "--output needs a value"},
        {"pack --output= -- -tree", 2, "--output needs a value"},
        {"pack --skip-empty-dirs=yes -o out.pkg -- -tree", 2, "--skip-empty-dirs takes no value"},
        {"list --codepage=65001 pkg", 2, "--codepage takes one of"},
        {"verify --nonsense pkg", 2, "unknown option '--nonsense'"},
        {"unpack pkg -o -", 2, "'-' cannot stand for one"},
        {"assemble --payload p --setup s -o -", 2, "'-' cannot stand for it"},
        // After "--", --help is a name like any other.
        {"pack -o out.pkg -- --help", 1, "--help: no such folder"},
        {"stamp -- -q", 1, "-q: cannot open"},
    };
    for (const auto& c : cases) {
        const ToolRun r = Here(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.out;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << c.args << "\n" << r.out;
    }
}

// Each refusal names the path and gives the system's reason.
TEST_F(Conventions, ErrorsNameThePathAndTheReason)
{
    const struct {
        const char* args;
        const char* says;
    } cases[] = {
        {"pack a.txt -o out.pkg", "a.txt: not a folder"},
        {"pack nothere -o out.pkg", "nothere: no such folder"},
        {"verify --against a.txt nothere.pkg", "a.txt: not a folder"},
        {"check-stamp nothere.bmp", "nothere.bmp: cannot be opened: No such file or directory"},
        {"list nothere.pkg", "nothere.pkg: no such file"},
        {"unpack pkg -o a.txt/x", "a.txt/x: cannot be made a folder: Not a directory"},
    };
    Put(root_ / "pkg", kTreePackage);
    for (const auto& c : cases) {
        const ToolRun r = Here(c.args);
        EXPECT_EQ(r.status, 1) << c.args << "\n" << r.out;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << c.args << "\n" << r.out;
    }
}

// A folder that cannot be listed is named itself, not the folder packed.
TEST_F(Conventions, UnreadableSubfolderIsNamedWithTheReason)
{
    Put(root_ / "pl" / "a", "1");
    Put(root_ / "pl" / "data" / "x", "2");
    fs::permissions(root_ / "pl", fs::perms::all);
    fs::permissions(root_ / "pl" / "data", fs::perms::none);
    // Root reads any folder: the tool then runs as "nobody".
    std::string as;
    if (geteuid() == 0) {
        if (RunCommand("command -v setpriv").status != 0) GTEST_SKIP() << "running as root without setpriv";
        as = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    }
    const ToolRun r = RunCommand("cd " + Q(root_) + " && " + as + "'" + MEDIATOOL_PATH + "' pack pl -o -");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("pl/data: cannot be read: Permission denied"), std::string::npos) << r.out;
}

} // namespace

namespace {

// Every option a command's help names is in the man page and is offered by
// the bash completion for that command.
TEST(Documentation, ManPageAndCompletionKnowEveryOption)
{
    const std::string man = Get(fs::path(KELVRA_SOURCE_DIR) / "docs" / "mediatool.1");
    const std::string completion = fs::path(KELVRA_SOURCE_DIR) / "scripts" / "mediatool-completion.bash";
    ASSERT_FALSE(man.empty());
    for (const char* command : {"pack", "list", "unpack", "verify", "stamp", "check-stamp", "assemble"}) {
        const ToolRun help = Tool(std::string("help ") + command);
        ASSERT_EQ(help.status, 0) << command;
        const ToolRun offered = RunCommand("bash -c 'source " + Q(completion) + "; COMP_WORDS=(mediatool " +
                                           command + " --); COMP_CWORD=2; _mediatool; echo \" ${COMPREPLY[*]} \"'");
        std::size_t options = 0;
        for (std::size_t p = help.out.find("--"); p != std::string::npos; p = help.out.find("--", p + 2)) {
            std::size_t e = p + 2;
            while (e < help.out.size() && (std::isalpha(static_cast<unsigned char>(help.out[e])) || help.out[e] == '-'))
                ++e;
            const std::string option = help.out.substr(p, e - p);
            if (option.size() < 3) continue;
            ++options;
            std::string roff;
            for (char c : option) roff += c == '-' ? std::string("\\-") : std::string(1, c);
            EXPECT_NE(man.find(roff), std::string::npos) << command << " " << option << " is not in the man page";
            EXPECT_NE(offered.out.find(" " + option + " "), std::string::npos)
                << command << " " << option << " is not completed:" << offered.out;
        }
        EXPECT_GT(options, 0u) << command;
    }
}

} // namespace

// As tar: no package onto a terminal; a full disk is told as such, and no
// partial package stays. The tmpfs rows need the right to mount.
TEST_F(Conventions, TerminalsAndFullDisks)
{
    const std::string tool = std::string("'") + MEDIATOOL_PATH + "'";
    ToolRun r = RunCommand("script -qec \"" + tool + " pack " + Q(root_ / "-tree") + " -o -\" /dev/null");
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_NE(r.out.find("refusing to write a package to a terminal"), std::string::npos) << r.out;
    r = RunCommand("{ " + tool + " pack " + Q(root_ / "-tree") + " -o - >/dev/full; }");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("standard output: cannot be written completely: No space left on device"), std::string::npos)
        << r.out;

    const fs::path full = root_ / "full";
    fs::create_directories(full);
    Put(root_ / "big" / "Kelvra.exe", std::string(300000, 'k'));
    Put(root_ / "small" / "Kelvra.exe", "MZ");
    Put(root_ / "setup.exe", "MZ" + std::string(300000, 's'));
    if (RunCommand("mount -t tmpfs -o size=128k tmpfs " + Q(full)).status != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here; the full-disk rows did not run";
    const struct { const char* args; const char* message; } cases[] = {
        {" pack big -o full/p.pkg", "full/p.pkg: cannot be written completely: No space left on device"},
        {" assemble --payload small --setup setup.exe --out full/m --placeholder-runtime",
         "setup.exe: cannot be copied: No space left on device"},
    };
    for (const auto& c : cases) {
        r = Here(c.args);
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
        EXPECT_TRUE(fs::is_empty(full)) << c.args;
    }
    RunCommand("umount " + Q(full));
}

