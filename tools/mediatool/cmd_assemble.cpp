// mediatool assemble: lays out a medium that setup can install from, and
// refuses one that would stop halfway through an installation.
#include "media/name_rules.h"
#include "tools/mediatool/cmd_assemble.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "media/setup_description.h"
#include "media/digest.h"
#include "media/medium.h"
#include "media/sha256.h"
#include "tools/mediatool/checksums.h"
#include "tools/mediatool/cmd_package.h"
#include "tools/mediatool/code_page.h"
#include "tools/mediatool/console.h"
#include "tools/mediatool/description_check.h"
#include "tools/mediatool/host_file.h"
#include "tools/mediatool/medium_writer.h"
#include "tools/mediatool/options.h"
#include "tools/mediatool/runtime_check.h"
#include "tools/mediatool/signature_check.h"
#include "tools/mediatool/signing.h"

namespace {

const char kCmd[] = "assemble";
using medium::kIconName;
using medium::kPackageName;
using medium::kProgramName;
using medium::kSplashName;

// The side files setup cannot do without: the runtime files.
std::vector<const char*> RuntimeFiles()
{
    std::vector<const char*> names;
    for (const medium::SideFile& f : medium::kSideFiles)
        if (f.required) names.push_back(f.name);
    return names;
}
// "a, b and c" (or with another last separator).
std::string NameList(const std::vector<const char*>& names, const char* last)
{
    std::string s;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i) s += i + 1 == names.size() ? last : ", ";
        s += names[i];
    }
    return s;
}

// The default install folder is one of these, a product's Name and a
// backslash: 32-bit and 64-bit Windows.
const char* const kProgramFilesFolders[] = {"C:\\Program Files\\", "C:\\Program Files (x86)\\"};
const std::size_t kMaxListedWarnings = 20;
const unsigned char kUtf8Bom[] = {0xEF, 0xBB, 0xBF};

struct Options {
    std::string payload, setup, out, ini, splash, icon, runtime;
    bool placeholderRuntime = false, replace = false, skipEmptyDirs = false, strict = false;
    unsigned cp = kDefaultCodePage;
    std::string cpText = std::to_string(kDefaultCodePage);
    signing::Options sign;
};

// The medium's name and title as setup will read them, in the code page.
struct Description {
    std::string name = medium::kDefaultProductName;
    std::string title;
    std::string encoding;   // how the file was written, for the summary
};

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool ReadAll(const fs::path& p, std::string& bytes)
{
    FileOwner f(OpenFile(p, "rb"));
    if (!f) return false;
    bytes.clear();
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) bytes.append(buf, n);
    return !std::ferror(f.get());
}

bool WriteAll(const fs::path& p, const std::string& bytes)
{
    FileOwner f(OpenFile(p, "wb"));
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
    return f.Close() && ok;
}

bool IsUtf8(const std::string& s)
{
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 9;
        if (extra == 9 || (c >= 0x80 && c < 0xC2) || extra > s.size() - i - 1) return false;
        for (std::size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
        i += extra + 1;
    }
    return true;
}

bool IsAscii(const std::string& s)
{
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

class Warnings {
public:
    void Add(const std::string& what, const std::string& why)
    {
        if (count_++ < kMaxListedWarnings)
            std::fprintf(stderr, "mediatool assemble: warning: %s%s%s\n", what.c_str(), why.empty() ? "" : ": ",
                         why.c_str());
    }
    void Finish() const
    {
        if (count_ > kMaxListedWarnings)
            std::fprintf(stderr, "mediatool assemble: %zu more warnings\n", count_ - kMaxListedWarnings);
    }
    std::size_t Count() const { return count_; }

private:
    std::size_t count_ = 0;
};

// Makes the description file's bytes: UTF-8 is converted to the code page
// (setup reads it byte for byte and knows no byte-order mark); anything
// else is taken as already written in the code page.
bool ConvertDescription(const std::string& in, unsigned cp, std::string& out, std::string& encoding,
                        std::string& why)
{
    std::string text = in;
    const bool bom = text.size() >= 3 && std::memcmp(text.data(), kUtf8Bom, 3) == 0;
    if (bom) text.erase(0, 3);
    if (IsAscii(text)) {
        out = text;
        encoding = bom ? "ASCII (byte-order mark removed)" : "ASCII";
        return true;
    }
    if (!IsUtf8(text)) {
        if (bom) {
            why = "starts with a UTF-8 byte-order mark but is not UTF-8";
            return false;
        }
        out = text;
        encoding = "taken as code page " + std::to_string(cp) + " (not UTF-8)";
        return true;
    }
    std::size_t line = 0, column = 0;
    if (FindUnwritable(text, cp, line, column) || !LevelToCodePage(fs::u8path(text), cp, out)) {
        why = "holds characters that code page " + std::to_string(cp) + " cannot write (line " +
              std::to_string(line) + ", column " + std::to_string(column) + ")";
        return false;
    }
    encoding = "UTF-8 converted to code page " + std::to_string(cp);
    return true;
}

// The setup program's own description file name: its name cut after the
// last "." plus "ini". Empty when the name has no ".", because then the
// rule reaches into whatever folder the medium is copied to.
std::string DescriptionFileName(const std::string& setupName)
{
    if (setupName.find('.') == std::string::npos) return std::string();
    return medium::DescriptionPathFor(setupName);
}

bool CopyInto(const fs::path& from, const fs::path& to, std::string& why)
{
    std::error_code ec;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (ec) why = ec.message();
    return !ec;
}

// Adds a 512-byte trailer holding the digest stamp, so that the picture's
// own bytes stay as they are.
bool StampByAppending(const fs::path& p)
{
    FileOwner f(OpenFile(p, "r+b"));
    unsigned char digest[kStampSize];
    return f && StampStream(f.get(), StampMode::kAppend, digest) == StampResult::kStamped && f.Close();
}

// Whether setup's check accepts the file's stamp. Read through our own file
// handle, since the check itself takes a narrow path.
bool StampHolds(const fs::path& p)
{
    FileOwner f(OpenFile(p, "rb"));
    return f && VerifyStreamDigest(f.get()) == DigestVerdict::kAccepted;
}

// The path setup would be given on a host, as text for this platform's
// own argument conventions (see ArgPath).
std::string Join(const std::string& dir, const std::string& name) { return dir + "/" + name; }

// The signing options hang together; the time defaults to SOURCE_DATE_EPOCH.
bool CheckSignOptions(signing::Options& sign)
{
    if (sign.certificate.empty()) {
        if (!sign.passwordFile.empty() || !sign.timestampUrl.empty() || !sign.time.empty())
            return UsageError(kCmd, "--sign-password-file, --timestamp-url and --sign-time go with --sign CERT"), false;
        return true;
    }
    std::string advice;
    if (!signing::CanSign(advice)) return UsageError(kCmd, "--sign: " + advice), false;
    if (sign.time.empty() && std::getenv("SOURCE_DATE_EPOCH")) sign.time = std::getenv("SOURCE_DATE_EPOCH");
    if (!sign.time.empty() && (sign.time.size() > 10 || sign.time.find_first_not_of("0123456789") != std::string::npos))
        return UsageError(kCmd, "--sign-time (or SOURCE_DATE_EPOCH) takes seconds since 1970, not '" + sign.time + "'"),
               false;
    return true;
}

bool ParseOptions(const Args& args, Options& o, int& status)
{
    status = kExitUsage;
    for (const std::string& a : args) {
        const std::string name = a.substr(0, a.find('='));
        if (name == "--sign-password" || name == "--password") {
            UsageError(kCmd, name + ": a password is never taken from the command line, where other users can "
                                    "read it; use --sign-password-file FILE or " + signing::kPasswordVariable);
            return false;
        }
    }
    ParsedArgs parsed;
    // --out is the older spelling of -o/--output; scripts use it.
    if (!ParseCommandLine(kCmd, args,
                          {{"payload", 0, true}, {"setup", 0, true}, {"output", 'o', true}, {"out", 0, true},
                           {"ini", 0, true}, {"splash", 0, true}, {"icon", 0, true}, {"runtime", 0, true},
                           {"placeholder-runtime", 0, false}, {"replace", 0, false}, {"skip-empty-dirs", 0, false},
                           {"strict", 0, false}, {"sign", 0, true}, {"sign-password-file", 0, true},
                           {"timestamp-url", 0, true}, {"sign-time", 0, true}, {"codepage", 0, true}},
                          parsed))
        return false;
    if (!parsed.operands.empty()) return UsageError(kCmd, "unexpected argument '" + parsed.operands[0] + "'"), false;
    for (const auto& [a, value] : parsed.options) {
        if (a == "payload") o.payload = value;
        else if (a == "setup") o.setup = value;
        else if (a == "output" || a == "out") o.out = value;
        else if (a == "ini") o.ini = value;
        else if (a == "splash") o.splash = value;
        else if (a == "icon") o.icon = value;
        else if (a == "runtime") o.runtime = value;
        else if (a == "placeholder-runtime") o.placeholderRuntime = true;
        else if (a == "replace") o.replace = true;
        else if (a == "skip-empty-dirs") o.skipEmptyDirs = true;
        else if (a == "strict") o.strict = true;
        else if (a == "sign") o.sign.certificate = value;
        else if (a == "sign-password-file") o.sign.passwordFile = value;
        else if (a == "timestamp-url") o.sign.timestampUrl = value;
        else if (a == "sign-time") o.sign.time = value;
        else if (a == "codepage") {
            o.cpText = value;
            if (!TakeCodePage(kCmd, value, o.cp)) return false;
        }
    }
    if (o.out == "-") return UsageError(kCmd, "a medium is a folder; '-' cannot stand for it"), false;
    if (o.payload.empty()) return UsageError(kCmd, "no payload folder (--payload DIR)"), false;
    if (o.setup.empty()) return UsageError(kCmd, "no setup program (--setup SETUP.EXE)"), false;
    if (o.out.empty()) return UsageError(kCmd, "no medium folder (-o MEDIUM)"), false;
    if (!o.runtime.empty() && o.placeholderRuntime)
        return UsageError(kCmd, "--runtime and --placeholder-runtime exclude each other"), false;
    return CheckSignOptions(o.sign);
}

// Checks that need nothing written; prints each refusal. False when any.
bool CheckInputs(const Options& o, std::vector<fs::path>& runtime)
{
    bool ok = true;
    std::error_code ec;
    auto refuse = [&](const std::string& what, const std::string& why) {
        Refuse(kCmd, what, why);
        ok = false;
    };
    const fs::path setup = ArgPath(o.setup);
    if (!fs::is_regular_file(setup, ec)) {
        refuse(o.setup, "no such file (the setup program)");
    } else {
        FileOwner f(OpenFile(setup, "rb"));
        char mz[2] = {};
        if (!f || std::fread(mz, 1, 2, f.get()) != 2 || mz[0] != 'M' || mz[1] != 'Z')
            refuse(o.setup, "not a Windows program (no MZ header)");
    }
    if (!o.ini.empty() && DescriptionFileName(PathText(setup.filename())).empty())
        refuse(o.setup, "the program's name has no '.', so the name of its setup description file would "
                        "depend on the folder the medium is copied to; name it like setup.exe");
    std::string notFolder;
    if (!IsFolder(ArgPath(o.payload), notFolder)) refuse(o.payload, notFolder + " (the payload)");
    if (!o.ini.empty() && !fs::is_regular_file(ArgPath(o.ini), ec)) refuse(o.ini, "no such file (--ini)");
    if (!o.splash.empty() && !fs::is_regular_file(ArgPath(o.splash), ec))
        refuse(o.splash, "no such file (--splash)");
    if (!o.icon.empty() && !fs::is_regular_file(ArgPath(o.icon), ec)) refuse(o.icon, "no such file (--icon)");

    if (o.runtime.empty() && !o.placeholderRuntime) {
        refuse("runtime files", "none given; setup stops with 'cannot copy file' without " +
                                    NameList(RuntimeFiles(), " and ") + " (--runtime DIR)");
    } else if (!o.runtime.empty()) {
        const fs::path dir = ArgPath(o.runtime);
        for (const char* name : RuntimeFiles()) {
            fs::path found = dir / name;
            // A file that differs only in letter case is the same file to Windows.
            if (!fs::is_regular_file(found, ec)) {
                found.clear();
                for (const auto& e : fs::directory_iterator(dir, ec))
                    if (e.is_regular_file(ec) && Lower(PathText(e.path().filename())) == Lower(name)) found = e.path();
            }
            if (found.empty())
                refuse(Join(o.runtime, name), "missing; setup stops with 'cannot copy file' without it");
            else
                runtime.push_back(found);
        }
        if (runtime.size() == RuntimeFiles().size()) {
            std::vector<runtime::File> files;
            for (std::size_t i = 0; i < runtime.size(); ++i) files.push_back({RuntimeFiles()[i], runtime[i]});
            for (const runtime::Finding& f : runtime::CheckFiles(files)) refuse(Join(o.runtime, f.name), f.why);
        }
    }

    const fs::path out = ArgPath(o.out);
    if (fs::exists(out, ec)) {
        if (!fs::is_directory(out, ec))
            refuse(o.out, "exists and is not a folder");
        else if (!fs::is_empty(out, ec) && !o.replace)
            refuse(o.out, "already exists and is not an empty folder (--replace replaces it)");
        else if (!fs::is_empty(out, ec) && !fs::exists(out / kPackageName, ec))
            refuse(o.out, std::string("does not look like a medium (no ") + kPackageName + "), so it is not replaced");
    }
    // Replacing the medium must never touch what it is made from.
    const auto arg = [](const std::string& a) { return a.empty() ? fs::path() : ArgPath(a); };
    const MediumRefusal place = CheckOutputPlace(
        out, {{"the payload folder", arg(o.payload)}, {"the setup program", arg(o.setup)},
              {"the runtime folder", arg(o.runtime)}, {"the description file", arg(o.ini)},
              {"the picture", arg(o.splash)}, {"the icon", arg(o.icon)}, {"the certificate", arg(o.sign.certificate)},
              {"the password file", arg(o.sign.passwordFile)}});
    if (!place.what.empty()) refuse(place.what, place.why);
    std::string what, why;
    if (!o.sign.certificate.empty() && !signing::CheckSigning(o.sign, what, why)) refuse(what, why);
    else if (!o.sign.certificate.empty())
        for (const std::string& p : sigcheck::CheckSigningCertificate(o.sign)) refuse(o.sign.certificate, p);
    return ok;
}

} // namespace

void HelpAssemble()
{
    const std::vector<const char*> runtime = RuntimeFiles();
    const std::vector<const char*> dlls(runtime.begin() + 1, runtime.end());
    std::printf(
        "usage: mediatool assemble --payload DIR --setup SETUP.EXE -o MEDIUM\n"
        "                          [--ini FILE] [--splash BMP] [--icon ICO]\n"
        "                          [--runtime DIR | --placeholder-runtime]\n"
        "                          [--codepage N] [--replace] [--skip-empty-dirs] [--strict]\n"
        "                          [--sign CERT.p12 [--sign-password-file FILE]\n"
        "                           [--timestamp-url URL] [--sign-time SECONDS]]\n\n"
        "Lays out a complete installation medium in the folder MEDIUM:\n\n"
        "  SETUP.EXE                    the setup program, under its own name\n"
        "  %-29severy file below DIR, packed (as 'pack' does)\n"
        "  <setup name>.ini             --ini FILE: Name and Title (setup.exe reads setup.ini);\n"
        "                               UTF-8 is converted to the code page\n"
        "  %-29s--splash BMP, stamped so setup shows it (a copy is\n"
        "                               stamped by appending a trailer; BMP is not changed)\n"
        "  %-29s--icon ICO\n"
        "  %-29sthe Visual C++ 2005 runtime files from --runtime DIR;\n"
        "  %-29s--placeholder-runtime writes labelled placeholders\n"
        "                               instead, for demonstrations only\n"
        "  %-29sthe SHA-256 of every file above, as 'sha256sum -c'\n"
        "                               reads it (names in UTF-8)\n\n"
        "  -o, --output MEDIUM  the medium's folder (--out MEDIUM is the older spelling)\n"
        "  --codepage N       the installer's ANSI code page (default 936; also %s)\n"
        "  --replace          replace the medium in MEDIUM (a folder with %s): only\n"
        "                     the files above are replaced or removed; everything else\n"
        "                     in the folder stays and is listed\n"
        "  --skip-empty-dirs  leave empty payload folders out instead of refusing\n"
        "  --strict           refuse on any warning, writing nothing (for CI)\n"
        "  --sign CERT.p12    sign the medium's setup program (Authenticode, SHA-256) with\n"
        "                     osslsigncode before the checksums are taken, and the checksum\n"
        "                     file (detached CMS, SHA256SUMS.p7s) with OpenSSL; mediatool.exe\n"
        "                     cannot sign (use signtool before assembling)\n"
        "  --sign-password-file FILE  the certificate's password: the file's first line;\n"
        "                     without it, the environment variable %s.\n"
        "                     Never on the command line, where other users can read it\n"
        "  --timestamp-url URL  an RFC 3161 time-stamping service (makes the medium differ\n"
        "                     from run to run)\n"
        "  --sign-time SECONDS  the signing time, seconds since 1970 (default:\n"
        "                     SOURCE_DATE_EPOCH when set), so that a signed medium is\n"
        "                     reproducible\n"
        "  -q, --quiet        no progress and no summary (warnings and refusals still show)\n\n"
        "The files are staged in a hidden folder inside MEDIUM (so a USB stick's root and\n"
        "'.' work), flushed to the device and put in place one by one; an interrupted run\n"
        "(Ctrl-C, SIGTERM) removes the staging. MEDIUM may not lie inside, or hold, any\n"
        "input.\n\n"
        "Refused, with nothing written: a missing runtime file, a payload that 'pack'\n"
        "refuses, a payload without %s at its top level (the shortcuts start it),\n"
        "a description file the code page cannot hold (its line and column) or with an\n"
        "empty Name (setup would name the folder and shortcuts \"\"), an output folder that touches an\n"
        "input, a certificate or password osslsigncode cannot use, a certificate Windows\n"
        "refuses for signing programs (expired or not yet valid, without the code-signing\n"
        "extended key usage, a CA certificate), runtime files that are not the runtime\n"
        "(a manifest that does not name the assembly and its version, a DLL that is not\n"
        "a 32-bit DLL of that version).\n"
        "Warned: target paths longer than 259 characters under the default folder of\n"
        "32-bit and 64-bit Windows (C:\\Program Files\\<Name>\\, C:\\Program Files (x86)\\<Name>\\),\n"
        "payload files that setup's side files replace, a Name that cannot name a folder,\n"
        "description lines setup ignores (unknown keys such as Nmae=), with their line.\n\n"
        "Exit status: 0 assembled (perhaps with warnings), 1 refused, 2 usage error\n"
        "(also --sign on Windows); interrupted: the signal's own status.\n",
        kPackageName, kSplashName, kIconName, runtime.front(), NameList(dlls, ", ").c_str(), medium::kChecksumsName,
        SupportedCodePages(), kPackageName, signing::kPasswordVariable, kProgramName);
}

int RunAssemble(const Args& args)
{
    Options o;
    int status = kExitOk;
    if (!ParseOptions(args, o, status)) return status;
    PrepareConsole();

    std::vector<fs::path> runtime;
    if (!CheckInputs(o, runtime)) {
        std::fprintf(stderr, "mediatool assemble: nothing written\n");
        return kExitRefused;
    }
    const LeadBytes lb = LeadBytes::ForCodePage(o.cp);
    Warnings warnings;

    // Everything is staged in a folder inside MEDIUM and put in place at the
    // end: a refused medium never lies under the real names.
    const fs::path out = ArgPath(o.out);
    const fs::path setup = ArgPath(o.setup);
    const std::string setupName = PathText(setup.filename());
    MediumWriter writer(out, MediumFileNames(PathText(setup.filename()), DescriptionFileName(setupName)));
    MediumRefusal refusal;
    if (!writer.Begin(refusal)) {
        Refuse(kCmd, refusal.what, refusal.why);
        std::fprintf(stderr, "mediatool assemble: nothing written\n");
        return kExitRefused;
    }
    auto fail = [&](const std::string& what, const std::string& why) {
        if (!why.empty()) Refuse(kCmd, what, why);
        writer.Abandon();
        std::fprintf(stderr, "mediatool assemble: nothing written\n");
        return kExitRefused;
    };

    // The description file first: its Name decides the default folder.
    Description d;
    std::string refusedName;
    std::string iniName;
    if (!o.ini.empty()) {
        std::string raw, converted, why;
        if (!ReadAll(ArgPath(o.ini), raw)) return fail(o.ini, "cannot be read");
        if (!ConvertDescription(raw, o.cp, converted, d.encoding, why)) return fail(o.ini, why);
        iniName = DescriptionFileName(setupName);
        const fs::path iniPath = writer.Staged(iniName);
        if (!WriteAll(iniPath, converted)) return fail(PathText(iniPath), "cannot be written");
        FileOwner f(OpenFile(iniPath, "rb"));
        ParseSetupDescription(f.get(), lb, d.name, d.title, &refusedName);
        bool refused = false;
        for (const DescriptionFinding& finding : CheckDescription(converted, o.cp)) {
            if (finding.error) {
                refused = true;
                std::fprintf(stderr, "mediatool %s: %s\n", kCmd, finding.Describe(o.ini).c_str());
            } else if (!finding.refusedName) {   // a refused Name is told below, with the name setup uses
                warnings.Add(finding.Describe(o.ini), "");
            }
        }
        if (refused) return fail(o.ini, "refused (see above)");
    }
    const std::string shownName = DisplayName(d.name, o.cp);
    if (!refusedName.empty())
        warnings.Add("Name \"" + DisplayName(refusedName, o.cp) + "\"",
                     std::string(DescribeNameError(CheckFileNameComponent(refusedName, lb))) +
                         "; setup passes the line over and names the product \"" + shownName + "\"");

    // The payload, packed by the same code as 'mediatool pack'; what it
    // computed (names, sizes, the package's digest) is used from here on.
    PackOptions pack;
    pack.dir = ArgPath(o.payload);
    pack.out = writer.Staged(kPackageName);
    pack.cp = o.cp;
    pack.skipEmptyDirs = o.skipEmptyDirs;
    pack.packageDigest = true;
    PackSummary packed;
    if (PackFolder(pack, packed) != kExitOk) return fail("payload " + o.payload, "cannot be packed (see above)");
    std::vector<std::string> names;
    for (const PackedRecord& r : packed.records) names.push_back(r.name);
    writer.KnownDigest(kPackageName, packed.packageSha256);

    bool haveProgram = false;
    for (const std::string& n : names)
        if (Lower(n) == Lower(kProgramName)) haveProgram = true;
    if (!haveProgram)
        return fail(o.payload, std::string("no ") + kProgramName +
                                   " at the top level; the shortcuts that setup creates start <install folder>\\" +
                                   kProgramName);

    // Side files are copied after the extraction, over payload files of
    // the same name.
    std::vector<std::string> sideFiles;
    for (const medium::SideFile& f : medium::kSideFiles) sideFiles.push_back(f.name);
    for (const std::string& n : names)
        for (const std::string& side : sideFiles)
            if (Lower(n) == Lower(side))
                warnings.Add("payload " + DisplayName(n, o.cp), "setup copies the medium's " + side +
                                                                   " over it at install time");

    // Target paths under the default folder of 32-bit and 64-bit Windows.
    std::size_t longest = 0;
    std::string longestName;
    std::vector<std::string> targets = names;
    if (!o.splash.empty()) targets.push_back(kSplashName);
    if (!o.icon.empty()) targets.push_back(kIconName);
    for (const char* r : RuntimeFiles()) targets.push_back(r);
    for (const std::string& n : targets) {
        for (const char* base : kProgramFilesFolders) {
            const std::size_t chars = CharCount(base, lb) + CharCount(d.name, lb) + 1 + CharCount(n, lb);
            if (chars > longest) {
                longest = chars;
                longestName = n;
            }
            if (chars > kMaxPathChars)
                warnings.Add(DisplayName(n, o.cp),
                             "under " + std::string(base) + shownName + "\\ the path takes " +
                                 std::to_string(chars) + " characters; Windows allows 259, so setup stops "
                                 "with 'cannot create file' unless a shorter install folder is chosen");
        }
    }

    // The setup program, the picture, the icon, the runtime files.
    std::string why;
    const fs::path stagedSetup = writer.Staged(PathText(setup.filename()));
    if (!CopyInto(setup, stagedSetup, why)) return fail(o.setup, "cannot be copied: " + why);
    // Signed before the checksums are taken.
    if (!o.sign.certificate.empty() && !signing::SignProgram(stagedSetup, o.sign, why))
        return fail(o.setup, "cannot be signed: " + why);
    std::string splashState;
    if (!o.splash.empty()) {
        const fs::path splash = writer.Staged(kSplashName);
        if (!CopyInto(ArgPath(o.splash), splash, why)) return fail(o.splash, "cannot be copied: " + why);
        std::string head;
        if (!ReadAll(splash, head) || head.compare(0, 2, "BM") != 0)
            warnings.Add(o.splash, "not a BMP picture (no BM header); setup may not be able to show it");
        if (StampHolds(splash)) {
            splashState = "already stamped, copied as it is";
        } else {
            if (!StampByAppending(splash) || !StampHolds(splash))
                return fail(PathText(splash), "cannot be stamped");
            splashState = "stamped (512-byte trailer appended)";
        }
    }
    if (!o.icon.empty()) {
        if (!CopyInto(ArgPath(o.icon), writer.Staged(kIconName), why)) return fail(o.icon, "cannot be copied: " + why);
        std::string icon;
        if (!ReadAll(writer.Staged(kIconName), icon) || icon.compare(0, 4, std::string("\0\0\1\0", 4)) != 0)
            warnings.Add(o.icon, "not an icon file (no icon header)");
    }
    const std::vector<const char*> runtimeNames = RuntimeFiles();
    for (std::size_t i = 0; i < runtimeNames.size(); ++i) {
        const fs::path to = writer.Staged(runtimeNames[i]);
        if (o.placeholderRuntime) {
            if (!WriteAll(to, runtime::PlaceholderText(runtimeNames[i]))) return fail(PathText(to), "cannot be written");
        } else if (!CopyInto(runtime[i], to, why)) {
            return fail(PathText(runtime[i]), "cannot be copied: " + why);
        }
    }

    if (o.strict && warnings.Count()) {
        warnings.Finish();
        return fail("--strict", std::to_string(warnings.Count()) + " warnings count as errors");
    }
    if (!o.sign.certificate.empty())
        writer.SignChecksumsWith([&o](const fs::path& sums, const fs::path& signature, std::string& why) {
            return sigcheck::SignChecksums(sums, signature, o.sign, why);
        });
    // Into place, on the device.
    if (!writer.Commit(refusal)) return fail(refusal.what, refusal.why);
    warnings.Finish();
    if (Quiet()) return kExitOk;

    // The summary, with the digests a published medium can be checked against.
    std::printf("medium %s (code page %u):\n", PathText(out).c_str(), o.cp);
    std::vector<std::pair<std::string, std::string>> rows;
    signing::Signature signature;
    signing::ReadSignature(out / setup.filename(), signature, why);
    rows.push_back({setupName, "the setup program, " + signing::Describe(signature)});
    rows.push_back({kPackageName, std::to_string(names.size()) + " files, " + std::to_string(packed.dataSize) +
                                      " bytes of data"});
    if (!iniName.empty())
        rows.push_back({iniName, "Name \"" + shownName + "\", Title \"" + DisplayName(d.title, o.cp) + "\"; " +
                                     d.encoding});
    if (!o.splash.empty()) rows.push_back({kSplashName, splashState});
    if (!o.icon.empty()) rows.push_back({kIconName, "the shortcut icon"});
    for (const char* r : RuntimeFiles())
        rows.push_back({r, o.placeholderRuntime ? "PLACEHOLDER, not installable on a real system"
                                                : "runtime file from " + o.runtime});
    for (const auto& row : rows) {
        std::uint64_t size = 0;
        FileSize(out / fs::u8path(row.first), size);
        std::string hex;
        for (const auto& sum : writer.Sums())
            if (sum.first == row.first) hex = sum.second;
        std::printf("  %-28s %10llu  %s\n      sha256 %s\n", row.first.c_str(), static_cast<unsigned long long>(size),
                    row.second.c_str(), hex.c_str());
    }
    std::printf("  %-28s %10s  every file above, for sha256sum -c\n", checksums::kFileName, "");
    if (!o.sign.certificate.empty())
        std::printf("  %-28s %10s  its signature, for openssl cms -verify\n", medium::kChecksumsSignatureName, "");
    for (const std::string& name : writer.Removed()) std::printf("removed from the previous medium: %s\n", name.c_str());
    for (const std::string& name : writer.Kept()) std::printf("kept (not part of the medium): %s\n", name.c_str());
    std::printf("default install folder: C:\\Program Files\\%s\\ (64-bit Windows: C:\\Program Files (x86)\\%s\\)\n",
                shownName.c_str(), shownName.c_str());
    std::printf("longest target path there: %zu of 259 characters (%s)\n", longest,
                DisplayName(longestName, o.cp).c_str());
    if (o.placeholderRuntime)
        std::printf("note: the runtime files are placeholders; a real medium needs the real ones (--runtime DIR)\n");
    std::printf("assembled with %zu warning%s\n", warnings.Count(), warnings.Count() == 1 ? "" : "s");
    return kExitOk;
}
