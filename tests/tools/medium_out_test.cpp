// Where mediatool writes: assemble replaces only a medium's files and never
// what it is made from, stages inside the target (a mount root, '.'),
// leaves nothing partial when interrupted, writes SHA256SUMS as sha256sum
// reads it, and signs setup.exe with osslsigncode.
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "tests/tools/tool_support.h"
#include "tools/mediatool/checksums.h"
#include "tools/mediatool/signing.h"

using namespace tooltest;

namespace {

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Every entry below `dir`: folders with a '/', files with their bytes (or
// their size, when large).
std::map<std::string, std::string> Snapshot(const fs::path& dir)
{
    std::map<std::string, std::string> s;
    std::error_code ec;
    // Files may come and go while a tool runs: no step may throw.
    for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string rel = it->path().lexically_relative(dir).string();
        std::error_code ignored;
        const std::uintmax_t size = it->file_size(ignored);
        if (it->is_directory(ignored)) s[rel + "/"] = "";
        else s[rel] = size < 65536 ? Get(it->path()) : "size " + std::to_string(size);
    }
    return s;
}

// Whether a ".part" file not in `before` lies below `dir`. Names only: reading
// the growing file would let the tool finish before the signal comes.
bool HasNewPart(const fs::path& dir, const std::map<std::string, std::string>& before)
{
    std::error_code ec;
    for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().lexically_relative(dir).string();
        if (!before.count(name) && name.size() > 5 && name.compare(name.size() - 5, 5, ".part") == 0) return true;
    }
    return false;
}

// The entries of a snapshot outside `folder` ("stick/").
std::map<std::string, std::string> Outside(std::map<std::string, std::string> s, const std::string& folder)
{
    for (auto it = s.begin(); it != s.end();)
        it = it->first.rfind(folder, 0) == 0 && it->first != folder ? s.erase(it) : std::next(it);
    return s;
}

class MediumOut : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = FreshRoot("mout");
        Put(root_ / "payload" / "Kelvra.exe", "MZprogram");
        Put(root_ / "payload" / "data" / "a.txt", "data");
        Put(root_ / "setup.exe", SmallPe());
        PutRuntime(root_ / "rt");
    }
    void TearDown() override { fs::remove_all(root_); }

    std::string Assemble(const fs::path& out, const std::string& extra = " --placeholder-runtime") const
    {
        return "assemble --payload " + Q(root_ / "payload") + " --setup " + Q(root_ / "setup.exe") + " --out " +
               Q(out) + extra;
    }

    fs::path root_;
};

// `mkdir -p usb/photos; ... touch usb/Setup.pkg; assemble --replace` once
// removed the photos and the notes.
TEST_F(MediumOut, ReplaceKeepsWhatIsNotTheMedium)
{
    const fs::path usb = root_ / "usb";
    Put(usb / "photos" / "a.jpg", "x");
    Put(usb / "notes.pdf", "y");
    Put(usb / "Setup.pkg", "");
    Put(usb / "icon.ico", "the previous medium's icon");
    Put(usb / "SHA256SUMS", std::string(64, '0') + "  ./icon.ico\n");   // what goes is what it lists
    Put(usb / "Setup.pkg.part", "a user's file that looks temporary");
    const ToolRun r = Tool(Assemble(usb, " --placeholder-runtime --replace"));
    ASSERT_EQ(r.status, 0) << r.out;

    std::map<std::string, std::string> want = {
        {"photos/", ""}, {"photos/a.jpg", "x"}, {"notes.pdf", "y"},
        {"Setup.pkg.part", "a user's file that looks temporary"}};
    std::map<std::string, std::string> got = Snapshot(usb);
    for (const char* medium : {"Setup.pkg", "setup.exe", "SHA256SUMS", "Microsoft.VC80.CRT.manifest", "msvcp80.dll",
                               "msvcr80.dll"}) {
        EXPECT_EQ(got.erase(medium), 1u) << medium;
    }
    EXPECT_EQ(got, want);   // no icon.ico, no staging left behind
    for (const char* line : {"kept (not part of the medium): notes.pdf", "kept (not part of the medium): photos/",
                             "kept (not part of the medium): Setup.pkg.part",
                             "removed from the previous medium: icon.ico"})
        EXPECT_TRUE(Has(r.out, line)) << line << "\n" << r.out;
}

// With an input inside the output folder, replacing the medium once deleted
// the payload itself.
TEST_F(MediumOut, RefusesAnOutputThatTouchesAnInput)
{
    const fs::path m = root_ / "m";
    const struct {
        const char* what;
        std::function<std::string(const fs::path&)> args;   // given the root
        const char* message;
    } cases[] = {
        {"payload inside", [](const fs::path& r) {
             fs::copy(r / "payload", r / "m" / "payload", fs::copy_options::recursive);
             return "assemble --payload " + Q(r / "m" / "payload") + " --setup " + Q(r / "setup.exe");
         }, "holds the payload folder"},
        {"setup program inside", [](const fs::path& r) {
             fs::copy_file(r / "setup.exe", r / "m" / "setup.exe");
             return "assemble --payload " + Q(r / "payload") + " --setup " + Q(r / "m" / "setup.exe");
         }, "holds the setup program"},
        {"description inside", [](const fs::path& r) {
             Put(r / "m" / "text" / "setup.ini", "Name=X\n");
             return "assemble --payload " + Q(r / "payload") + " --setup " + Q(r / "setup.exe") + " --ini " +
                    Q(r / "m" / "text" / "setup.ini");
         }, "holds the description file"},
        {"output inside the runtime folder", [](const fs::path& r) {
             fs::copy(r / "rt", r, fs::copy_options::recursive);
             return "assemble --payload " + Q(r / "payload") + " --setup " + Q(r / "setup.exe") + " --runtime " +
                    Q(r);
         }, "lies inside the runtime folder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        Put(m / "Setup.pkg", "old");
        std::string args = c.args(root_) + " --out " + Q(m) + " --replace";
        if (!Has(args, "--runtime")) args += " --placeholder-runtime";
        const auto before = Snapshot(root_);
        const ToolRun r = Tool(args);
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_TRUE(Has(r.out, c.message)) << r.out;
        EXPECT_TRUE(Has(r.out, "nothing written")) << r.out;
        EXPECT_EQ(Snapshot(root_), before);
    }
}

// `--out .` once staged in "..assembling" and then removed "." itself.
TEST_F(MediumOut, OutputIsTheCurrentFolder)
{
    const fs::path stick = root_ / "stick";
    Put(stick / "mine.txt", "keep");
    Put(stick / "Setup.pkg", "old");
    const auto besideBefore = Snapshot(root_);
    const ToolRun r = RunCommand("cd " + Q(stick) + " && '" MEDIATOOL_PATH "' assemble --payload ../payload "
                                 "--setup ../setup.exe --out . --placeholder-runtime --replace");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(Get(stick / "mine.txt"), "keep");
    EXPECT_EQ(RunCommand("cd " + Q(stick) + " && sha256sum -c SHA256SUMS").status, 0);
    // Nothing was staged beside the target: outside it, all is as before.
    EXPECT_EQ(Outside(Snapshot(root_), "stick/"), Outside(besideBefore, "stick/"));
}

// The root of a mounted file system: a staging folder in the parent lay on
// another device, and the final rename failed.
TEST_F(MediumOut, OutputIsTheRootOfAMountedFileSystem)
{
    const fs::path usb = root_ / "usb";
    fs::create_directories(usb);
    if (mount("kelvra-test", usb.c_str(), "tmpfs", 0, "size=4m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno) << "); needs root";
    struct Unmount {
        fs::path p;
        ~Unmount() { umount2(p.c_str(), MNT_DETACH); }
    } unmount{usb};
    const ToolRun r = Tool(Assemble(usb));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(RunCommand("cd " + Q(usb) + " && sha256sum -c SHA256SUMS").status, 0);
    EXPECT_EQ(Snapshot(usb).size(), 6u) << "the medium's files and nothing else";
}

// An interrupted pack once left Setup.pkg.part, and assemble its staging.
TEST_F(MediumOut, InterruptedRunsLeaveNothingPartial)
{
    // Sparse files: large enough that the tool is caught at work.
    for (int i = 0; i < 3; ++i) {
        Put(root_ / "payload" / ("big" + std::to_string(i) + ".bin"), "");
        fs::resize_file(root_ / "payload" / ("big" + std::to_string(i) + ".bin"), 600u << 20);
    }
    const fs::path out = root_ / "out";
    const struct {
        const char* what;
        int sig;
        std::vector<std::string> args;
    } cases[] = {
        {"pack, SIGINT", SIGINT, {"pack", (root_ / "payload").string(), "-o", (out / "Setup.pkg").string()}},
        {"pack, SIGTERM", SIGTERM, {"pack", (root_ / "payload").string(), "-o", (out / "Setup.pkg").string()}},
        {"assemble, SIGINT", SIGINT, {"assemble", "--payload", (root_ / "payload").string(), "--setup",
                                      (root_ / "setup.exe").string(), "--out", out.string(), "--placeholder-runtime",
                                      "--replace"}},
        {"assemble, SIGTERM", SIGTERM, {"assemble", "--payload", (root_ / "payload").string(), "--setup",
                                        (root_ / "setup.exe").string(), "--out", out.string(), "--placeholder-runtime",
                                        "--replace"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(out);
        Put(out / "Setup.pkg", "the previous package");
        Put(out / "notes.pdf", "mine");
        Put(out / "Setup.pkg.part", "mine too");
        const auto before = Snapshot(out);
        bool caught = false;
        for (int attempt = 0; attempt < 3 && !caught; ++attempt) {
            const pid_t pid = fork();
            ASSERT_GE(pid, 0);
            if (pid == 0) {
                (void)!freopen("/dev/null", "w", stdout);
                (void)!freopen("/dev/null", "w", stderr);
                std::vector<char*> argv = {const_cast<char*>(MEDIATOOL_PATH)};
                for (const std::string& a : c.args) argv.push_back(const_cast<char*>(a.c_str()));
                argv.push_back(nullptr);
                execv(MEDIATOOL_PATH, argv.data());
                _exit(127);
            }
            // Waits until the package is being written, then interrupts.
            int raw = 0;
            bool ended = false;
            while (!caught && !ended) {
                caught = HasNewPart(out, before);
                if (caught) kill(pid, c.sig);
                else ended = waitpid(pid, &raw, WNOHANG) == pid;
                if (!caught && !ended) usleep(1000);
            }
            if (!caught) continue;   // it finished first; again
            ASSERT_EQ(waitpid(pid, &raw, 0), pid);
            EXPECT_TRUE(WIFSIGNALED(raw) && WTERMSIG(raw) == c.sig) << "status " << raw;
            EXPECT_EQ(Snapshot(out), before);
        }
        EXPECT_TRUE(caught) << "the tool always finished before it could be interrupted";
    }
}

class Checksums : public MediumOut {};

// SHA256SUMS is read by coreutils' own sha256sum -c, non-ASCII names too.
TEST_F(Checksums, Sha256sumChecksTheMedium)
{
    const fs::path m = root_ / "m";
    fs::rename(root_ / "setup.exe", root_ / u8"安装.exe");
    Put(root_ / "setup.ini", "Name=K\n");
    Put(root_ / "splash.bmp", "BM picture");
    const ToolRun r = Tool("assemble --payload " + Q(root_ / "payload") + " --setup " + Q(root_ / u8"安装.exe") +
                           " --out " + Q(m) + " --runtime " + Q(root_ / "rt") + " --ini " + Q(root_ / "setup.ini") +
                           " --splash " + Q(root_ / "splash.bmp"));
    ASSERT_EQ(r.status, 0) << r.out;
    const ToolRun check = RunCommand("cd " + Q(m) + " && sha256sum -c --strict SHA256SUMS");
    EXPECT_EQ(check.status, 0) << check.out;
    for (const char* name : {u8"安装.exe", u8"安装.ini", "Setup.pkg", "Splash.bmp", "Microsoft.VC80.CRT.manifest",
                             "msvcp80.dll", "msvcr80.dll"})
        EXPECT_TRUE(Has(check.out, std::string(name) + ": OK")) << name << "\n" << check.out;
    EXPECT_EQ(std::count(check.out.begin(), check.out.end(), '\n'), 7) << check.out;
    EXPECT_TRUE(checksums::CheckMedium(m).empty());

    // The reader, on what sha256sum itself writes, and the check.
    Put(m / "back\\slash", "b");
    Put(m / "line\nbreak", "n");
    ASSERT_EQ(Resum(m), 0);
    EXPECT_TRUE(checksums::CheckMedium(m).empty());
    std::vector<checksums::Entry> entries;
    std::string why;
    ASSERT_TRUE(checksums::Parse(Get(m / "SHA256SUMS"), entries, why)) << why;
    EXPECT_EQ(checksums::Format(entries), Get(m / "SHA256SUMS")) << "written as sha256sum writes it";
    const struct {
        const char* what;
        std::function<void(const fs::path&)> change;
        const char* problem;
    } cases[] = {
        {"a flipped byte", [](const fs::path& d) { Put(d / "Setup.pkg", Get(d / "Setup.pkg") + "x"); },
         "Setup.pkg: differs from its checksum"},
        {"a missing file", [](const fs::path& d) { fs::remove(d / "msvcr80.dll"); }, "msvcr80.dll: missing"},
        {"a name outside", [](const fs::path& d) {
             Put(d / "SHA256SUMS", Get(d / "SHA256SUMS") + std::string(64, '0') + "  ../payload/Kelvra.exe\n");
         }, "../payload/Kelvra.exe: the name reaches outside the medium"},
        {"a broken line", [](const fs::path& d) { Put(d / "SHA256SUMS", Get(d / "SHA256SUMS") + "abc  x\n"); },
         "SHA256SUMS: line "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.change(m);
        const std::vector<std::string> problems = checksums::CheckMedium(m);
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_TRUE(Has(problems[0], c.problem)) << problems[0];
        ASSERT_EQ(Resum(m), 0);
    }
}

class Signing : public MediumOut {
protected:
    void SetUp() override
    {
        MediumOut::SetUp();
        if (RunCommand("command -v osslsigncode && command -v openssl").status != 0)
            GTEST_SKIP() << "osslsigncode or openssl is not installed (scripts/install-deps.sh installs them)";
        // A throw-away certificate, made here and never committed.
        const ToolRun cert = RunCommand(
            "(cd " + Q(root_) + " && openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem "
            "-days 2 -subj '/CN=Kelvra Test Signer/O=Kelvra Test Ltd' -addext basicConstraints=critical,CA:FALSE "
            "-addext extendedKeyUsage=codeSigning && openssl pkcs12 -export -inkey key.pem "
            "-in cert.pem -out cert.p12 -passout 'pass:s3cret pass')");
        ASSERT_EQ(cert.status, 0) << cert.out;
        Put(root_ / "password", "s3cret pass\n");
    }
    std::string Sign(const fs::path& out, const std::string& extra) const
    {
        return Assemble(out, " --placeholder-runtime --sign " + Q(root_ / "cert.p12") + extra);
    }
};

TEST_F(Signing, SignsTheMediumsSetupProgram)
{
    const ToolRun r = Tool(Sign(root_ / "m", " --sign-password-file " + Q(root_ / "password")));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "the setup program, signed by CN=Kelvra Test Signer, O=Kelvra Test Ltd")) << r.out;
    EXPECT_EQ(Get(root_ / "setup.exe"), SmallPe()) << "the input stays unsigned";
    const ToolRun verify = RunCommand("osslsigncode verify -CAfile " + Q(root_ / "cert.pem") + " " +
                                      Q(root_ / "m" / "setup.exe"));
    EXPECT_EQ(verify.status, 0) << verify.out;
    EXPECT_EQ(RunCommand("cd " + Q(root_ / "m") + " && sha256sum -c SHA256SUMS").status, 0)
        << "the checksums are of the signed program";

    signing::Signature s;
    std::string why;
    ASSERT_TRUE(signing::ReadSignature(root_ / "m" / "setup.exe", s, why)) << why;
    EXPECT_EQ(signing::Describe(s), "signed by CN=Kelvra Test Signer, O=Kelvra Test Ltd");
    ASSERT_TRUE(signing::ReadSignature(root_ / "setup.exe", s, why)) << why;
    EXPECT_EQ(signing::Describe(s), "unsigned");
    EXPECT_FALSE(signing::ReadSignature(root_ / "payload" / "Kelvra.exe", s, why));

    // --strict holds: the check takes the certificate just signed with as the
    // expected signer. An unsigned medium put over it takes the old signature away.
    const fs::path m = root_ / "strict";
    const ToolRun strict = Tool(Assemble(m, " --strict --runtime " + Q(root_ / "rt") + " --sign " +
                                                Q(root_ / "cert.p12") + " --sign-password-file " + Q(root_ / "password")));
    ASSERT_EQ(strict.status, 0) << strict.out;
    EXPECT_EQ(RunCommand("openssl cms -verify -binary -inform DER -noverify -in " + Q(m / "SHA256SUMS.p7s") +
                         " -content " + Q(m / "SHA256SUMS") + " -out /dev/null").status, 0);
    const ToolRun replaced = Tool(Assemble(m, " --replace --runtime " + Q(root_ / "rt")));
    ASSERT_EQ(replaced.status, 0) << replaced.out;
    EXPECT_TRUE(Has(replaced.out, "removed from the previous medium: SHA256SUMS.p7s")) << replaced.out;
    EXPECT_FALSE(fs::exists(m / "SHA256SUMS.p7s"));
}

// A fixed signing time gives the same signed medium twice.
TEST_F(Signing, FixedTimeIsReproducible)
{
    const std::string env = "MEDIATOOL_SIGN_PASSWORD='s3cret pass' ";
    for (const char* m : {"m1", "m2"}) {
        const ToolRun r = RunCommand(env + "SOURCE_DATE_EPOCH=1700000000 '" MEDIATOOL_PATH "' " + Sign(root_ / m, ""));
        ASSERT_EQ(r.status, 0) << r.out;
    }
    EXPECT_EQ(Get(root_ / "m1" / "SHA256SUMS"), Get(root_ / "m2" / "SHA256SUMS"));
    EXPECT_NE(Get(root_ / "m1" / "setup.exe"), SmallPe());
}

TEST_F(Signing, Refusals)
{
    const struct {
        const char* what;
        std::string args;
        int status;
        const char* message;
    } cases[] = {
        {"wrong password", Sign(root_ / "m", " --sign-password-file " + Q(root_ / "setup.exe")), 1,
         "cert.p12: cannot be opened with its password"},
        {"password on the command line", Sign(root_ / "m", " --sign-password x"), 2, "never taken from the command line"},
        {"no certificate", Assemble(root_ / "m", " --placeholder-runtime --sign " + Q(root_ / "none.p12")), 1,
         "none.p12: no such file (--sign)"},
        {"unreadable password file", Sign(root_ / "m", " --sign-password-file " + Q(root_ / "none")), 1,
         "none: cannot be read: No such file or directory"},
        {"timestamp without --sign", Assemble(root_ / "m", " --placeholder-runtime --timestamp-url http://x"), 2,
         "go with --sign CERT"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ToolRun r = Tool(c.args);
        EXPECT_EQ(r.status, c.status) << r.out;
        EXPECT_TRUE(Has(r.out, c.message)) << r.out;
        EXPECT_FALSE(fs::exists(root_ / "m")) << "nothing written";
    }
}

// A throw-away certificate made by openssl in `dir`: NAME.pem, NAME.p12
// (password "pw"); `options` adds to the request (extensions, days).
int MakeCertificate(const fs::path& dir, const std::string& name, const std::string& options)
{
    return RunCommand("cd " + Q(dir) + " && openssl req -x509 -newkey rsa:2048 -nodes -keyout " + name + ".key -out " +
                      name + ".pem -subj '/CN=" + name + "' " + options + " && openssl pkcs12 -export -inkey " + name +
                      ".key -in " + name + ".pem -out " + name + ".p12 -passout pass:pw")
        .status;
}

// What verify says of a signed medium after one change, next to what
// osslsigncode and openssl say of the same bytes.
TEST_F(Signing, VerifyChecksEverySignature)
{
    const std::string eku = "-addext basicConstraints=critical,CA:FALSE -addext extendedKeyUsage=codeSigning";
    ASSERT_EQ(MakeCertificate(root_, "Other", eku), 0);
    Put(root_ / "pw", "pw\n");
    const fs::path base = root_ / "base";
    // The key passes through the temporary folder and must not stay there.
    fs::create_directories(root_ / "tmp");
    const ToolRun a = RunCommand("TMPDIR=" + Q(root_ / "tmp") + " '" MEDIATOOL_PATH "' " +
                                 Assemble(base, " --runtime " + Q(root_ / "rt") + " --sign " + Q(root_ / "cert.p12") +
                                                    " --sign-password-file " + Q(root_ / "password")));
    ASSERT_EQ(a.status, 0) << a.out;
    EXPECT_TRUE(fs::is_empty(root_ / "tmp"));
    std::string fingerprint =
        RunCommand("openssl x509 -in " + Q(root_ / "cert.pem") + " -noout -fingerprint -sha256 | cut -d= -f2").out;
    fingerprint.erase(fingerprint.find_last_not_of("\n") + 1);
    // Another program, signed by another signer: its signature goes onto ours.
    Put(root_ / "other.exe", SmallPe().replace(0x201, 1, "\x90"));
    ASSERT_EQ(RunCommand("osslsigncode sign -pkcs12 " + Q(root_ / "Other.p12") + " -readpass " + Q(root_ / "pw") +
                         " -h sha256 -in " + Q(root_ / "other.exe") + " -out " + Q(root_ / "other.signed")).status, 0);
    const std::string me = " --expect-signer 'CN=Kelvra Test Signer, O=Kelvra Test Ltd'";
    const fs::path m = root_ / "m";
    const struct {
        const char* what;
        std::function<void()> change;
        std::string options;
        std::string message;   // in verify's output
        std::string independent;   // a command that must agree (0: holds)
        bool holds;
        bool resum = false;   // SHA256SUMS recomputed with sha256sum, as anyone can
    } cases[] = {
        {"pinned by subject", [] {}, me, "ready for release (code page 936; signer pinned (CN=Kelvra Test Signer, O=",
         "osslsigncode verify -CAfile " + Q(root_ / "cert.pem") + " -in " + Q(m / "setup.exe"), true},
        {"pinned by fingerprint", [] {}, " --expect-signer " + fingerprint, "signer pinned (" + fingerprint + ")", "true",
         true},
        {"chained", [] {}, " --trust " + Q(root_ / "cert.pem"), "ready for release (code page 936; chain checked", "true",
         true},
        {"neither pinned nor chained", [] {}, "", "signer neither pinned (--expect-signer) nor chained", "true", false},
        {"pinned to another signer", [] {}, " --expect-signer CN=Other", "not by the expected signer CN=Other", "true",
         false},
        {"chained to another CA", [] {}, " --trust " + Q(root_ / "Other.pem"), "the signer's certificate: ",
         "! osslsigncode verify -CAfile " + Q(root_ / "Other.pem") + " -in " + Q(m / "setup.exe"), false},
        {"one byte of setup.exe changed", [&] { Put(m / "setup.exe", Get(m / "setup.exe").replace(0x200, 1, "\xC2")); },
         me, "the program differs from what was signed",
         "osslsigncode verify -CAfile " + Q(root_ / "cert.pem") + " -in " + Q(m / "setup.exe") + " | grep MISMATCH", false,
         true},
        {"a signature copied from another program", [&] {
             Put(m / "setup.exe", Get(root_ / "other.signed").replace(0x200, 0x200, SmallPe().substr(0x200, 0x200)));
         }, " --expect-signer CN=Other", "the program differs from what was signed",
         "! osslsigncode verify -CAfile " + Q(root_ / "Other.pem") + " -in " + Q(m / "setup.exe"), false, true},
        {"a nested signature does not rescue the main one", [&] {
             RunCommand("osslsigncode sign -nest -pkcs12 " + Q(root_ / "Other.p12") + " -readpass " + Q(root_ / "pw") +
                        " -h sha256 -in " + Q(base / "setup.exe") + " -out " + Q(root_ / "nested") + " && mv " +
                        Q(root_ / "nested") + " " + Q(m / "setup.exe"));
         }, " --trust " + Q(root_ / "Other.pem"), "the signer's certificate: ",
         // osslsigncode's exit status says yes: only its report of each signature says no.
         "osslsigncode verify -CAfile " + Q(root_ / "Other.pem") + " -in " + Q(m / "setup.exe"), false, true},
        {"the checksum file's signature removed", [&] { fs::remove(m / "SHA256SUMS.p7s"); }, me,
         "SHA256SUMS.p7s: missing", "true", false},
        {"a line of SHA256SUMS deleted", [&] { Put(m / "SHA256SUMS", Get(m / "SHA256SUMS").substr(65 + 10)); }, me,
         "SHA256SUMS.p7s: does not hold over SHA256SUMS",
         "! openssl cms -verify -binary -inform DER -noverify -in " + Q(m / "SHA256SUMS.p7s") + " -content " +
             Q(m / "SHA256SUMS") + " -out /dev/null",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(m);
        fs::copy(base, m);
        c.change();
        if (c.resum) {
            ASSERT_EQ(Resum(m), 0);
        }
        const ToolRun r = Tool("verify --strict " + Q(m) + c.options);
        EXPECT_EQ(r.status, c.holds ? 0 : 1) << r.out;
        EXPECT_TRUE(Has(r.out, c.message)) << r.out;
        const ToolRun other = RunCommand(c.independent);
        EXPECT_EQ(other.status, 0) << c.independent << "\n" << other.out;
    }
}

// Certificates Windows refuses for programs are refused before anything is
// written, each with its reason.
TEST_F(Signing, RefusesCertificatesWindowsRefuses)
{
    Put(root_ / "ext", "basicConstraints=critical,CA:FALSE\nextendedKeyUsage=codeSigning\n");
    ASSERT_EQ(RunCommand("cd " + Q(root_) + " && openssl req -new -newkey rsa:2048 -nodes -keyout Old.key -subj /CN=Old "
                         "-out old.csr && openssl x509 -req -in old.csr -signkey Old.key -days -1 -extfile ext -out "
                         "Old.pem && openssl pkcs12 -export -inkey Old.key -in Old.pem -out Old.p12 -passout pass:pw")
                  .status, 0);
    ASSERT_EQ(MakeCertificate(root_, "Server", "-addext basicConstraints=critical,CA:FALSE -addext "
                                               "extendedKeyUsage=serverAuth"), 0);
    ASSERT_EQ(MakeCertificate(root_, "Ca", "-addext extendedKeyUsage=codeSigning"), 0);   // req -x509 makes a CA
    Put(root_ / "pw", "pw\n");
    const struct {
        const char* name;
        const char* reason;
    } cases[] = {
        {"Old", "certificate has expired; Windows refuses programs signed with it"},
        {"Server", "its extended key usage does not include code signing"},
        {"Ca", "a CA certificate (basic constraints CA:TRUE)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path p12 = root_ / (std::string(c.name) + ".p12");
        const ToolRun r = Tool(Assemble(root_ / "m", " --placeholder-runtime --sign " + Q(p12) +
                                                         " --sign-password-file " + Q(root_ / "pw")));
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_TRUE(Has(r.out, p12.string() + ": " + c.reason)) << r.out;
        EXPECT_FALSE(fs::exists(root_ / "m")) << "nothing written";
    }
}

} // namespace
