// mediatool pack: a folder tree into Setup.pkg.
#include <cstdio>

#include "media/medium.h"
#include "tools/mediatool/cmd_package.h"
#include "tools/mediatool/console.h"
#include "tools/mediatool/host_file.h"
#include "tools/mediatool/options.h"
#include "tools/mediatool/pack.h"

namespace {

const char kCmd[] = "pack";
// More refusals than this are counted, not listed.
const std::size_t kMaxListedRefusals = 20;

// Parses the command line into `o`; false, after the usage message, when it
// is not one pack takes.
bool ParsePack(const Args& args, PackOptions& o)
{
    ParsedArgs parsed;
    if (!ParseCommandLine(kCmd, args,
                          {{"output", 'o', true}, {"codepage", 0, true}, {"manifest", 0, true},
                           {"skip-empty-dirs", 0, false}},
                          parsed))
        return false;
    bool haveOut = false;
    for (const auto& [name, value] : parsed.options) {
        if (name == "output") {
            o.stream = value == "-" ? stdout : nullptr;
            o.out = o.stream ? fs::path() : ArgPath(value);
            haveOut = true;
        } else if (name == "codepage") {
            if (!TakeCodePage(kCmd, value, o.cp)) return false;
        } else if (name == "manifest") {
            o.manifest = ArgPath(value);
        } else if (name == "skip-empty-dirs") {
            o.skipEmptyDirs = true;
        }
    }
    if (parsed.operands.empty()) return UsageError(kCmd, "no folder to pack"), false;
    if (parsed.operands.size() > 1) return UsageError(kCmd, "unexpected argument '" + parsed.operands[1] + "'"), false;
    o.dir = ArgPath(parsed.operands[0]);
    if (!haveOut) return UsageError(kCmd, "no package named (-o PACKAGE, or -o - for standard output)"), false;
    // As tar: a package is no text for a terminal.
    if (o.stream && IsTerminal(o.stream))
        return UsageError(kCmd, "refusing to write a package to a terminal (redirect standard output)"), false;
    return true;
}

} // namespace

void HelpPack()
{
    std::printf(
        "usage: mediatool pack DIR -o PACKAGE [--codepage N] [--manifest FILE] [--skip-empty-dirs]\n\n"
        "Packs every regular file below DIR into a setup package, each named by its\n"
        "path relative to DIR with backslashes, in the byte order of the encoded\n"
        "names, so the same tree always gives the same package.\n\n"
        "  -o, --output PACKAGE  the package to write (usually %s); '-' writes it to\n"
        "                        standard output (the summary then goes to standard error)\n"
        "  --codepage N          the installer's ANSI code page for the names\n"
        "                        (default 936; also %s)\n"
        "  --manifest FILE       also write a manifest: each record's name, size and\n"
        "                        SHA-256, and the package's size and SHA-256\n"
        "  --skip-empty-dirs     leave out empty folders instead of refusing them\n"
        "  -q, --quiet           no progress and no summary\n\n"
        "Refused, with the file and the reason: names that cannot be converted, that\n"
        "take more than 259 bytes, or that setup would refuse (drives, '..', ':',\n"
        "device names, trailing dots or spaces, control characters); files of 2^31\n"
        "bytes or more; packages that would reach 2^31 bytes; names of files or\n"
        "folders that differ only in letter case; empty folders, which a package\n"
        "cannot hold; links to folders, and links that lead out of DIR (named with\n"
        "their target); a file whose size or time changes while it is read.\n"
        "Nothing is written then. '-o -' refuses a terminal as standard output.\n\n"
        "The package is written under a new temporary name beside PACKAGE and renamed\n"
        "at the end; an interrupted run (Ctrl-C, SIGTERM) removes it.\n\n"
        "Exit status: 0 packed, 1 input refused, 2 usage error.\n",
        medium::kPackageName, SupportedCodePages());
}

int RunPack(const Args& args)
{
    PackOptions o;
    if (!ParsePack(args, o)) return kExitUsage;
    if (o.stream) SetBinaryStdout();
    const auto start = std::chrono::steady_clock::now();
    PackResult r;
    {
        Progress progress("packing", 0);
        o.progress = [&progress](std::uint64_t done, std::uint64_t total, std::uint64_t files) {
            progress.SetTotal(total);
            progress.Update(done, files);
        };
        r = PackFolder(o);
        progress.Finish();
    }
    for (const fs::path& d : r.leftOut) Refuse(kCmd, PathText(d), "empty folder left out");
    for (std::size_t i = 0; i < r.refusals.size() && i < kMaxListedRefusals; ++i)
        Refuse(kCmd, r.refusals[i].what, r.refusals[i].why);
    if (r.refusals.size() > kMaxListedRefusals)
        std::fprintf(stderr, "mediatool pack: %zu more refused\n", r.refusals.size() - kMaxListedRefusals);
    if (!r.written) std::fprintf(stderr, "mediatool pack: nothing written\n");
    if (!r.Ok()) return kExitRefused;
    if (Quiet()) return kExitOk;
    // Standard output may carry the package itself.
    std::FILE* const report = o.stream ? stderr : stdout;
    std::fprintf(report, "packed %zu files (%llu bytes of data) into %s: %llu bytes, code page %u, %.2f s\n",
                 r.records.size(), static_cast<unsigned long long>(r.dataSize),
                 o.stream ? "standard output" : Shown(o.out).c_str(), static_cast<unsigned long long>(r.packageSize),
                 o.cp, SecondsSince(start));
    if (!o.manifest.empty()) std::fprintf(report, "manifest written to %s\n", Shown(o.manifest).c_str());
    return kExitOk;
}
