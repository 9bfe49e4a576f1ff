// mediatool assemble: lays out a medium that setup can install from, and
// refuses one that would stop halfway through an installation.
#include "base/ascii_text.h"
#include "media/name_rules.h"
#include "tools/mediatool/cmd_assemble.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "media/medium.h"
#include "tools/mediatool/checksums.h"
#include "tools/mediatool/cmd_package.h"
#include "tools/mediatool/pack.h"
#include "tools/mediatool/code_page.h"
#include "tools/mediatool/console.h"
#include "tools/mediatool/host_file.h"
#include "tools/mediatool/medium_assembly.h"
#include "tools/mediatool/medium_check.h"
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

const std::size_t kMaxListedWarnings = 20;



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

bool ParseOptions(const Args& args, AssembleOptions& o, int& status)
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

// The runtime files in --runtime DIR, in RuntimeFiles' order, and what they
// are: the medium check's findings, named by the input.
template <typename Refuse>
void FindRuntime(const AssembleOptions& o, std::vector<fs::path>& runtime, Refuse& refuse)
{
    std::error_code ec;
    const fs::path dir = ArgPath(o.runtime);
    std::vector<runtime::File> files;
    for (const char* name : RuntimeFiles()) {
        fs::path found = dir / name;
        // A file that differs only in letter case is the same file to Windows.
        if (!fs::is_regular_file(found, ec)) {
            found.clear();
            for (const auto& e : fs::directory_iterator(dir, ec))
                if (e.is_regular_file(ec) && AsciiLower(PathText(e.path().filename())) == AsciiLower(name)) found = e.path();
        }
        if (found.empty())
            refuse(Join(o.runtime, name), "missing; setup stops with 'cannot copy file' without it");
        else
            runtime.push_back(found), files.push_back({name, found});
    }
    if (files.size() != RuntimeFiles().size()) return;
    for (const runtime::Finding& f : runtime::CheckFiles(files)) refuse(Join(o.runtime, f.name), f.why);
}

// Checks that need nothing written; prints each refusal. False when any.
// `signer`: the certificate --sign signs with.
bool CheckInputs(const AssembleOptions& o, std::vector<fs::path>& runtime, sigcheck::Certificate& signer)
{
    bool ok = true;
    std::error_code ec;
    auto refuse = [&](const std::string& what, const std::string& why) {
        Refuse(kCmd, what, why);
        ok = false;
    };
    const fs::path setup = ArgPath(o.setup);
    // What the program is, is for the medium check.
    if (!fs::is_regular_file(setup, ec)) refuse(o.setup, "no such file (the setup program)");
    if (!o.ini.empty() && DescriptionFileName(PathText(setup.filename())).empty())
        refuse(o.setup, "the program's name has no '.', so the name of its setup description file would "
                        "depend on the folder the medium is copied to; name it like setup.exe");
    std::string notFolder;
    if (!IsFolder(ArgPath(o.payload), notFolder)) refuse(o.payload, notFolder + " (the payload)");
    if (!o.ini.empty() && !fs::is_regular_file(ArgPath(o.ini), ec)) refuse(o.ini, "no such file (--ini)");
    if (!o.splash.empty() && !fs::is_regular_file(ArgPath(o.splash), ec))
        refuse(o.splash, "no such file (--splash)");
    if (!o.icon.empty() && !fs::is_regular_file(ArgPath(o.icon), ec)) refuse(o.icon, "no such file (--icon)");

    if (o.runtime.empty() && !o.placeholderRuntime)
        refuse("runtime files", "none given; setup stops with 'cannot copy file' without " +
                                    NameList(RuntimeFiles(), " and ") + " (--runtime DIR)");
    else if (!o.runtime.empty())
        FindRuntime(o, runtime, refuse);

    const fs::path out = ArgPath(o.out);
    if (fs::exists(out, ec)) {
        if (!fs::is_directory(out, ec))
            refuse(o.out, "exists and is not a folder");
        else if (!HoldsOnlyLeftovers(out) && !o.replace)
            refuse(o.out, "already exists and is not an empty folder (--replace replaces it)");
        else if (!HoldsOnlyLeftovers(out) && !fs::exists(out / kPackageName, ec))
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
        for (const std::string& p : sigcheck::CheckSigningCertificate(o.sign, signer)) refuse(o.sign.certificate, p);
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
        "  --replace          replace the medium in MEDIUM (a folder with %s): the\n"
        "                     files above are replaced, and what the previous medium's\n"
        "                     %s lists is removed; everything else in the folder\n"
        "                     stays and is listed\n"
        "  --skip-empty-dirs  leave empty payload folders out instead of refusing\n"
        "  --strict           refuse on any warning or placeholder runtime files,\n"
        "                     writing nothing (for CI; as verify --strict)\n"
        "  --sign CERT.p12    sign the medium's setup program (Authenticode, SHA-256) with\n"
        "                     osslsigncode before the checksums are taken, and the checksum\n"
        "                     file (detached CMS, %s) with OpenSSL; the check\n"
        "                     then takes this certificate as the expected signer;\n"
        "                     mediatool.exe cannot sign (use signtool before assembling)\n"
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
        "'.' work), checked there by the same medium check as 'verify MEDIUM', flushed\n"
        "to the device and put in place one by one; an interrupted run (Ctrl-C, SIGTERM)\n"
        "removes the staging, and one left by a killed run goes with the next run into\n"
        "MEDIUM. MEDIUM may not lie inside, or hold, any input.\n\n"
        "Refused, with nothing written: a missing runtime file, a payload that 'pack'\n"
        "refuses, and whatever the medium check finds a problem: a setup program that\n"
        "is not a 32-bit Windows GUI program, a payload without %s at its top\n"
        "level (the shortcuts start it), a description file the code page cannot hold\n"
        "(its line and column), runtime files that are not the runtime (a manifest\n"
        "that does not name the assembly and its version, a DLL that is not a 32-bit\n"
        "DLL of that version), a signature that does not hold; also an output folder\n"
        "that touches an input, a certificate or password osslsigncode cannot use, a\n"
        "certificate Windows refuses for signing programs (expired or not yet valid,\n"
        "without the code-signing extended key usage, a CA certificate).\n"
        "Warned: target paths longer than 259 characters under the default folder of\n"
        "32-bit and 64-bit Windows (C:\\Program Files\\<Name>\\, C:\\Program Files (x86)\\<Name>\\),\n"
        "payload files that setup's side files replace, a Name that setup passes over\n"
        "(empty, or one that cannot name a folder),\n"
        "description lines setup ignores (unknown keys such as Nmae=), with their line.\n\n"
        "Exit status: 0 assembled (perhaps with warnings), 1 refused, 2 usage error\n"
        "(also --sign on Windows); interrupted: the signal's own status.\n",
        kPackageName, kSplashName, kIconName, runtime.front(), NameList(dlls, ", ").c_str(), medium::kChecksumsName,
        SupportedCodePages(), kPackageName, medium::kChecksumsName, medium::kChecksumsSignatureName,
        signing::kPasswordVariable, kProgramName);
}

namespace {

// The medium check on the staging, as verify runs it on a medium; prints
// what it found under the medium's own names. False when refused.
bool CheckStaged(const AssembleOptions& o, const sigcheck::Certificate& signer, const MediumWriter& writer,
                 MediumReport& report)
{
    MediumCheckOptions options;
    options.cp = o.cp;
    options.digestsKnown = true;
    // The program was just signed with this certificate: it is the expected signer.
    options.expect.signer = signer.fingerprint;
    report = CheckMedium(writer.Stage(), options);
    const fs::path out = ArgPath(o.out);
    Warnings warnings;
    std::size_t problems = 0, demonstration = 0;
    for (const Finding& f : report.findings) {
        const std::string text = FindingText(f, out);
        if (f.severity == Severity::kWarning) warnings.Add(text, "");
        else if (f.severity == Severity::kNotForRelease && o.placeholderRuntime) ++demonstration;
        else if (f.severity != Severity::kFine) ++problems, std::fprintf(stderr, "mediatool %s: %s\n", kCmd, text.c_str());
    }
    warnings.Finish();
    if (problems) return false;
    if (o.strict && warnings.Count())
        return Refuse(kCmd, "--strict", std::to_string(warnings.Count()) + " warnings count as errors"), false;
    if (o.strict && demonstration)
        return Refuse(kCmd, "--strict", "the runtime files are placeholders, not for release"), false;
    return true;
}

// The summary, with the digests a published medium can be checked against.
void PrintSummary(const AssembleOptions& o, const MediumWriter& writer, const StagedMedium& st, const MediumReport& report)
{
    const fs::path out = ArgPath(o.out);
    const MediumFacts& facts = report.facts;
    const std::string shownName = DisplayName(facts.productName, o.cp);
    std::printf("medium %s (code page %u):\n", PathText(out).c_str(), o.cp);
    std::vector<std::pair<std::string, std::string>> rows;
    rows.push_back({st.setupName, "the setup program, " + facts.signature});
    rows.push_back({kPackageName, std::to_string(st.packed.records.size()) + " files, " +
                                      std::to_string(st.packed.dataSize) + " bytes of data"});
    if (!st.iniName.empty())
        rows.push_back({st.iniName, "Name \"" + shownName + "\", Title \"" + DisplayName(facts.title, o.cp) + "\"; " +
                                        st.encoding});
    if (!o.splash.empty()) rows.push_back({kSplashName, st.splashState});
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
    for (const std::string& name : writer.Leftovers())
        std::printf("removed, left by an interrupted run: %s/\n", name.c_str());
    for (const std::string& name : writer.Removed()) std::printf("removed from the previous medium: %s\n", name.c_str());
    for (const std::string& name : writer.Kept()) std::printf("kept (not part of the medium): %s\n", name.c_str());
    std::printf("default install folder: C:\\Program Files\\%s\\ (64-bit Windows: C:\\Program Files (x86)\\%s\\)\n",
                shownName.c_str(), shownName.c_str());
    std::printf("longest target path there: %zu of 259 characters (%s)\n", facts.longestPath,
                DisplayName(facts.longestName, o.cp).c_str());
    if (o.placeholderRuntime)
        std::printf("note: the runtime files are placeholders; a real medium needs the real ones (--runtime DIR)\n");
    const std::size_t warnings = report.Count(Severity::kWarning);
    std::printf("assembled with %zu warning%s\n", warnings, warnings == 1 ? "" : "s");
}

} // namespace

int RunAssemble(const Args& args)
{
    AssembleOptions o;
    int status = kExitOk;
    if (!ParseOptions(args, o, status)) return status;

    std::vector<fs::path> runtime;
    sigcheck::Certificate signer;
    if (!CheckInputs(o, runtime, signer)) {
        std::fprintf(stderr, "mediatool assemble: nothing written\n");
        return kExitRefused;
    }
    // Everything is staged in a folder inside MEDIUM, checked there as a
    // whole medium and put in place at the end: a refused medium never lies
    // under the real names.
    StagedMedium st;
    st.setupName = PathText(ArgPath(o.setup).filename());
    MediumWriter writer(ArgPath(o.out), MediumFileNames(st.setupName, DescriptionFileName(st.setupName)));
    MediumRefusal refusal;
    MediumReport report;
    if (!o.sign.certificate.empty())
        writer.SignChecksumsWith([&o](const fs::path& sums, const fs::path& signature, std::string& why) {
            return sigcheck::SignChecksums(sums, signature, o.sign, why);
        });
    const bool staged = writer.Begin(refusal) && StageMedium(o, runtime, writer, st, refusal) && writer.Seal(refusal);
    for (const fs::path& d : st.packed.leftOut) Refuse(kCmd, PathText(d), "empty folder left out");
    if (!staged || !CheckStaged(o, signer, writer, report) || !writer.Commit(refusal)) {
        for (const PackRefusal& r : st.packed.refusals) Refuse(kCmd, r.what, r.why);
        if (!refusal.what.empty() && st.packed.refusals.empty()) Refuse(kCmd, refusal.what, refusal.why);
        writer.Abandon();
        std::fprintf(stderr, "mediatool assemble: nothing written\n");
        return kExitRefused;
    }
    if (!Quiet()) PrintSummary(o, writer, st, report);
    return kExitOk;
}
