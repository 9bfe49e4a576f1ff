// mediatool pack: a folder tree into Setup.pkg.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "media/medium.h"
#include "media/name_rules.h"
#include "media/package_format.h"
#include "media/sha256.h"
#include "tools/mediatool/cmd_package.h"
#include "tools/mediatool/code_page.h"
#include "tools/mediatool/console.h"
#include "tools/mediatool/host_file.h"
#include "tools/mediatool/manifest.h"
#include "tools/mediatool/options.h"
#include "tools/mediatool/temp_files.h"

namespace {

const char kCmd[] = "pack";
// More refusals than this are counted, not listed.
const std::size_t kMaxListedRefusals = 20;

struct Entry {
    std::string name;   // in the target code page, backslashes between levels
    fs::path path;
    std::uint64_t size = 0;
};

struct Refusal {
    std::string what;
    std::string why;
};

// ASCII letters folded to upper case, trail bytes left alone: Windows
// treats names that differ only so as one file.
std::string FoldCase(const std::string& name, const LeadBytes& lb)
{
    std::string s = name;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (lb.IsLead(static_cast<unsigned char>(s[i]))) {
            ++i;
            continue;
        }
        if (s[i] >= 'a' && s[i] <= 'z') s[i] = static_cast<char>(s[i] - 'a' + 'A');
    }
    return s;
}

bool SameFile(const fs::path& a, const fs::path& b)
{
    std::error_code ec;
    return fs::exists(b, ec) && fs::equivalent(a, b, ec);
}

// The record name for a path below the packed folder, or a refusal.
bool EncodeName(const fs::path& relative, unsigned cp, const LeadBytes& lb, std::string& name,
                std::string& why)
{
    name.clear();
    for (const fs::path& level : relative) {
#ifndef _WIN32
        if (level.native().find('\\') != std::string::npos) {
            why = "the name contains a backslash, which Windows would take as a folder separator";
            return false;
        }
#endif
        std::string encoded;
        if (!LevelToCodePage(level, cp, encoded)) {
            why = "the name cannot be written in code page " + std::to_string(cp);
            return false;
        }
        if (!name.empty()) name += '\\';
        name += encoded;
    }
    if (name.size() > kMaxNameLength) {
        why = "the name takes " + std::to_string(name.size()) + " bytes in code page " + std::to_string(cp) +
              "; at most 259 fit";
        return false;
    }
    const NameError e = CheckName(name, lb);
    if (e != NameError::kNone) {
        why = DescribeNameError(e);
        return false;
    }
    return true;
}

void RemoveQuietly(const fs::path& p)
{
    std::error_code ec;
    fs::remove(p, ec);
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
        "bytes or more; packages that would reach 2^31 bytes; names that differ only\n"
        "in letter case; empty folders, which a package cannot hold.\n\n"
        "The package is written under a new temporary name beside PACKAGE and renamed\n"
        "at the end; an interrupted run (Ctrl-C, SIGTERM) removes it.\n\n"
        "Exit status: 0 packed, 1 input refused, 2 usage error.\n",
        medium::kPackageName, SupportedCodePages());
}

int RunPack(const Args& args)
{
    PackOptions o;
    ParsedArgs parsed;
    if (!ParseCommandLine(kCmd, args,
                          {{"output", 'o', true}, {"codepage", 0, true}, {"manifest", 0, true},
                           {"skip-empty-dirs", 0, false}},
                          parsed))
        return kExitUsage;
    bool haveOut = false;
    for (const auto& [name, value] : parsed.options) {
        if (name == "output") {
            o.toStdout = value == "-";
            o.out = o.toStdout ? fs::path() : ArgPath(value);
            haveOut = true;
        } else if (name == "codepage") {
            if (!TakeCodePage(kCmd, value, o.cp)) return kExitUsage;
        } else if (name == "manifest") {
            o.manifest = ArgPath(value);
        } else if (name == "skip-empty-dirs") {
            o.skipEmptyDirs = true;
        }
    }
    if (parsed.operands.empty()) return UsageError(kCmd, "no folder to pack"), kExitUsage;
    if (parsed.operands.size() > 1)
        return UsageError(kCmd, "unexpected argument '" + parsed.operands[1] + "'"), kExitUsage;
    o.dir = ArgPath(parsed.operands[0]);
    if (!haveOut) return UsageError(kCmd, "no package named (-o PACKAGE, or -o - for standard output)"), kExitUsage;
    PrepareConsole();
    PackSummary summary;
    return PackFolder(o, summary);
}

int PackFolder(const PackOptions& o, PackSummary& summary)
{
    const fs::path& dir = o.dir;
    const fs::path& out = o.out;
    const fs::path& manifestPath = o.manifest;
    const unsigned cp = o.cp;
    const bool skipEmpty = o.skipEmptyDirs;
    summary = PackSummary();

    const std::string outText = o.toStdout ? "standard output" : PathText(out);
    std::error_code ec;
    std::string notFolder;
    if (!IsFolder(dir, notFolder)) {
        Refuse(kCmd, PathText(dir), notFolder);
        return kExitRefused;
    }

    const auto start = std::chrono::steady_clock::now();
    const LeadBytes lb = LeadBytes::ForCodePage(cp);
    std::vector<Entry> entries;
    std::vector<Refusal> refusals;
    std::vector<fs::path> emptyDirs;

    // Only files there before packing can be met below: two stats per file
    // fewer when, as usual, the outputs are new.
    const bool outExists = fs::exists(out, ec);
    const bool manifestExists = !manifestPath.empty() && fs::exists(manifestPath, ec);
    fs::recursive_directory_iterator it(dir, ec), end;
    if (ec) {
        Refuse(kCmd, PathText(dir), "cannot be read: " + ec.message());
        return kExitRefused;
    }
    // The folder being read when an error stops the walk: the last one
    // entered, or the one that holds the last entry.
    fs::path reading = dir;
    for (; it != end; it.increment(ec)) {
        if (ec) break;
        const fs::path path = it->path();
        reading = path.parent_path();
        const fs::path relative = path.lexically_relative(dir);
        if ((outExists && SameFile(path, out)) || (manifestExists && SameFile(path, manifestPath))) continue;
        const fs::file_status link = it->symlink_status(ec);
        if (fs::is_directory(link)) {
            reading = path;
            std::error_code emptyEc;
            if (fs::is_empty(path, emptyEc)) emptyDirs.push_back(relative);
            continue;
        }
        const fs::file_status target = it->status(ec);
        if (!fs::is_regular_file(target)) {
            std::string why = "not a regular file";
            if (fs::is_symlink(link))
                why = fs::is_directory(target) ? "a link to a folder; links to folders are not followed"
                                               : "a link that leads to no file";
            refusals.push_back({PathText(path), why});
            continue;
        }
        Entry e;
        e.path = path;
        std::string why;
        if (!FileSize(path, e.size, why)) {
            refusals.push_back({PathText(path), why});
            continue;
        }
        if (!EncodeName(relative, cp, lb, e.name, why)) {
            refusals.push_back({PathText(path), why});
            continue;
        }
        if (e.size > static_cast<std::uint64_t>(kMaxDataSize)) {
            refusals.push_back({PathText(path), "the file is 2^31 bytes or larger; a record cannot hold it"});
            continue;
        }
        entries.push_back(e);
    }
    if (ec) {
        Refuse(kCmd, PathText(reading), "cannot be read: " + ec.message());
        return kExitRefused;
    }

    for (const fs::path& d : emptyDirs) {
        if (skipEmpty)
            std::fprintf(stderr, "mediatool pack: %s: empty folder left out\n", PathText(dir / d).c_str());
        else
            refusals.push_back({PathText(dir / d),
                                "empty folder; a package holds only files, so it cannot be represented "
                                "(--skip-empty-dirs leaves it out)"});
    }

    // Byte order of the encoded names: the same tree, the same package.
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    std::vector<std::pair<std::string, const Entry*>> folded;
    for (const Entry& e : entries) folded.emplace_back(FoldCase(e.name, lb), &e);
    std::stable_sort(folded.begin(), folded.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < folded.size(); ++i) {
        if (folded[i].first != folded[i - 1].first) continue;
        refusals.push_back({PathText(folded[i].second->path),
                            "differs from " + PathText(folded[i - 1].second->path) +
                                " only in letter case; Windows would keep one file"});
    }

    std::uint64_t total = 0, data = 0;
    for (const Entry& e : entries) {
        total += kRecordFixedSize + e.name.size() + e.size;
        data += e.size;
    }
    if (!PackageSizeFits(total))
        refusals.push_back({outText, "the package would be " + std::to_string(total) +
                                               " bytes; setup reads packages smaller than 2^31 bytes"});

    if (!refusals.empty()) {
        for (std::size_t i = 0; i < refusals.size() && i < kMaxListedRefusals; ++i)
            Refuse(kCmd, refusals[i].what, refusals[i].why);
        if (refusals.size() > kMaxListedRefusals)
            std::fprintf(stderr, "mediatool pack: %zu more refused\n", refusals.size() - kMaxListedRefusals);
        std::fprintf(stderr, "mediatool pack: nothing written\n");
        return kExitRefused;
    }

    // Written beside the target and renamed at the end, so that a refused
    // or failed run never leaves half a package under the real name.
    fs::path partial;
    std::string notCreated;
    // Copied in blocks that stay in the CPU's cache, and written past the
    // stream's buffer: each byte is copied once from the file to the package.
    constexpr std::size_t kCopyBlock = 128 * 1024;
    FileOwner pkg;
    if (!o.toStdout) {
        pkg = FileOwner(tempfiles::CreateBeside(out, partial, notCreated));   // removed when interrupted
        if (!pkg) {
            Refuse(kCmd, PathText(out), "cannot be created: " + notCreated);
            return kExitRefused;
        }
        std::setvbuf(pkg.get(), nullptr, _IOFBF, kCopyBlock / 2);
    } else {
        SetBinaryStdout();
    }
    std::FILE* const sink = o.toStdout ? stdout : pkg.get();

    Manifest manifest;
    manifest.codePage = cp;
    Sha256 whole;
    // The digests are there only for the manifest and for a caller that
    // asks; without them, packing runs at the speed of copying.
    const bool hashing = !manifestPath.empty();
    const bool hashingWhole = hashing || o.packageDigest;
    std::vector<unsigned char> buffer(kCopyBlock);
    Progress progress("packing", total);
    std::uint64_t written = 0;
    bool writeOk = true;
    std::size_t fileNo = 0;
    for (const Entry& e : entries) {
        const std::string header = EncodeRecordHeader(e.name, static_cast<std::uint32_t>(e.size));
        writeOk = writeOk && std::fwrite(header.data(), 1, header.size(), sink) == header.size();
        if (hashingWhole) whole.Update(header.data(), header.size());
        written += header.size();

        FileOwner in(OpenFile(e.path, "rb"));
        if (!in) {
            Refuse(kCmd, PathText(e.path), std::string("cannot be opened: ") + std::strerror(errno));
            pkg.Close();
            if (!o.toStdout) RemoveQuietly(partial);
            return kExitRefused;
        }
        Sha256 one;
        std::uint64_t copied = 0;
        std::size_t n;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), in.get())) > 0) {
            copied += n;
            if (copied > e.size) break;
            writeOk = writeOk && std::fwrite(buffer.data(), 1, n, sink) == n;
            if (hashingWhole) whole.Update(buffer.data(), n);
            if (hashing) one.Update(buffer.data(), n);
            written += n;
            progress.Update(written, fileNo);
        }
        if (copied != e.size || std::ferror(in.get())) {
            Refuse(kCmd, PathText(e.path),
                   std::ferror(in.get()) ? std::string("cannot be read: ") + std::strerror(errno)
                                         : std::string("changed while packing"));
            pkg.Close();
            if (!o.toStdout) RemoveQuietly(partial);
            return kExitRefused;
        }
        if (hashing)
            manifest.records.push_back({DisplayName(e.name, cp), e.size, Sha256::Hex(one.Finish())});
        ++fileNo;
        if (!writeOk) break;
    }
    progress.Finish();
    if (o.toStdout) {
        if (std::fflush(stdout) != 0 || std::ferror(stdout) || !writeOk) {
            Refuse(kCmd, outText, std::string("cannot be written completely: ") + std::strerror(errno));
            return kExitRefused;
        }
    } else {
        const int writeErrno = errno;
        if (!pkg.Close() || !writeOk) {
            Refuse(kCmd, PathText(out), std::string("cannot be written completely: ") +
                                            std::strerror(writeOk ? errno : writeErrno));
            RemoveQuietly(partial);
            return kExitRefused;
        }
        fs::rename(partial, out, ec);
        tempfiles::Forget(partial);
        if (ec) {
            Refuse(kCmd, PathText(out), "cannot be put in place: " + ec.message());
            RemoveQuietly(partial);
            return kExitRefused;
        }
    }
    manifest.packageSize = total;
    if (hashingWhole) manifest.packageSha256 = Sha256::Hex(whole.Finish());
    if (hashing && !WriteManifest(manifestPath, manifest)) {
        Refuse(kCmd, PathText(manifestPath), std::string("cannot be written: ") + std::strerror(errno));
        return kExitRefused;
    }

    for (const Entry& e : entries) summary.records.push_back({e.name, e.size});
    summary.packageSize = total;
    summary.dataSize = data;
    summary.packageSha256 = manifest.packageSha256;

    if (Quiet()) return kExitOk;
    // Standard output may carry the package itself.
    std::FILE* const report = o.toStdout ? stderr : stdout;
    std::fprintf(report, "packed %zu files (%llu bytes of data) into %s: %llu bytes, code page %u, %.2f s\n",
                 entries.size(), static_cast<unsigned long long>(data), outText.c_str(),
                 static_cast<unsigned long long>(total), cp, SecondsSince(start));
    if (!manifestPath.empty()) std::fprintf(report, "manifest written to %s\n", PathText(manifestPath).c_str());
    return kExitOk;
}
