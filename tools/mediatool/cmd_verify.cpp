// mediatool verify: is a package whole, and is it what it should be?
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "media/sha256.h"
#include "media/name_rules.h"
#include "media/medium.h"
#include "tools/mediatool/cmd_package.h"
#include "tools/mediatool/code_page.h"
#include "tools/mediatool/console.h"
#include "tools/mediatool/host_file.h"
#include "tools/mediatool/manifest.h"
#include "tools/mediatool/medium_check.h"
#include "tools/mediatool/options.h"
#include "tools/mediatool/package_file.h"

namespace {

const char kCmd[] = "verify";
// Data is read and hashed in blocks of this size, not in the transfer
// buffer's 260 bytes: the per-call costs would otherwise dominate.
constexpr std::size_t kReadBlock = 256 * 1024;

// Checks names, compares with a folder, and hashes for a manifest, in one
// forward pass.
class Verifier {
public:
    // The digests serve only the comparison with a manifest.
    Verifier(unsigned cp, const fs::path* against, bool hashing)
        : cp_(cp), against_(against), hashing_(hashing), theirs_(against ? kReadBlock : 0),
          collisions_(LeadBytes::ForCodePage(cp)) {}

    void Record(const PackageRecord& record, NameError nameError)
    {
        name_ = DisplayName(record.name, cp_);
        size_ = static_cast<std::uint32_t>(record.dataSize);
        one_ = Sha256();
        if (nameError != NameError::kNone)
            Problem("record at offset " + std::to_string(record.offset) + " (" + name_ +
                    "): " + DescribeNameError(nameError));
        std::string earlier;
        if (!collisions_.Add(record.name, earlier))
            Problem(DisplayName(earlier, cp_) + " and " + name_ + " are equal but for case; Windows keeps one file");
        if (!seen_.insert(record.name).second)
            std::printf("note: %s appears more than once; the later record wins\n", name_.c_str());
        if (against_) OpenCounterpart(record.name);
    }
    void Data(const unsigned char* data, std::size_t n)
    {
        if (hashing_) one_.Update(data, n);
        if (!counterpart_ || differs_) return;
        unsigned char* theirs = theirs_.data();
        const std::size_t got = std::fread(theirs, 1, n, counterpart_.get());
        if (got != n || std::memcmp(theirs, data, n) != 0) {
            std::size_t i = 0;
            while (i < got && theirs[i] == data[i]) ++i;
            Problem("differs: " + name_ + ": first difference at byte " + std::to_string(compared_ + i));
            differs_ = true;
        }
        compared_ += n;
    }
    void EndRecord()
    {
        entries_.push_back({name_, size_, hashing_ ? Sha256::Hex(one_.Finish()) : std::string()});
        counterpart_ = FileOwner();
    }

    void Problem(const std::string& text)
    {
        ++problems_;
        std::printf("%s\n", text.c_str());
    }

    std::vector<ManifestEntry> entries_;
    std::set<fs::path> hostPaths_;
    unsigned problems_ = 0;

private:
    void OpenCounterpart(const std::string& recordName)
    {
        differs_ = false;
        compared_ = 0;
        fs::path path;
        std::string why;
        if (!NameToHostPath(recordName, cp_, *against_, path, why)) {
            Problem("differs: " + name_ + ": " + why);
            return;
        }
        hostPaths_.insert(path.lexically_normal());
        std::uint64_t theirSize = 0;
        std::error_code ec;
        if (!fs::is_regular_file(path, ec) || !FileSize(path, theirSize)) {
            Problem("missing from folder: " + name_);
            return;
        }
        if (theirSize != size_) {
            Problem("differs: " + name_ + ": " + std::to_string(size_) + " bytes in the package, " +
                    std::to_string(theirSize) + " in the folder");
            return;
        }
        counterpart_ = FileOwner(OpenFile(path, "rb"));
        if (!counterpart_) {
            Problem("differs: " + name_ + ": the folder's file cannot be opened");
            counterpart_ = FileOwner();
        }
    }

    unsigned cp_;
    const fs::path* against_;
    bool hashing_;
    std::vector<unsigned char> theirs_;
    std::string name_;
    std::uint32_t size_ = 0;
    Sha256 one_;
    std::set<std::string> seen_;
    CaseCollisions collisions_;
    FileOwner counterpart_;
    bool differs_ = false;
    std::uint64_t compared_ = 0;
};

// Reads the package once more for its whole digest: verify stays a single
// forward pass per reader, and the package is small next to the disk cache.
} // namespace

void HelpVerify()
{
    std::printf(
        "usage: mediatool verify PACKAGE [--against DIR] [--manifest FILE] [--codepage N]\n"
        "       mediatool verify MEDIUM_DIR [--codepage N] [--strict]\n"
        "                        [--expect-signer SUBJECT|SHA256] [--trust CAFILE]\n\n"
        "Checks the package end to end: records laid out whole, the last one ending\n"
        "exactly at the end of the file, every name one that setup accepts, no two\n"
        "names equal but for case (Windows keeps one of them), not empty. A lone\n"
        "package carries no checksum, so it can only be checked for its structure: a\n"
        "changed byte inside a record's data shows only with --against or --manifest,\n"
        "or when its medium is verified.\n\n"
        "A folder is checked as a whole medium, by the same check that assemble runs\n"
        "before it puts a medium in place: %s read as sha256sum -c reads it and\n"
        "every file it lists intact; the required files, the setup program and its\n"
        "description file listed; every file or folder it does not list named\n"
        "(programs, DLLs, manifests, .local folders, autorun.inf and a staging folder\n"
        "left by a killed run are problems, anything else a warning); the setup program\n"
        "it lists a 32-bit Windows GUI program, and its signatures (below); the package\n"
        "as above, with the program the shortcuts start, target paths over 259\n"
        "characters and payload files a side file replaces; the description file\n"
        "through setup's own parser (decodes in the code page, a Name setup can use, no\n"
        "unknown keys); the\n"
        "runtime files: 32-bit DLLs of the version the manifest names, no placeholders\n"
        "(not for release); the splash picture's stamp. Every problem is listed.\n\n"
        "A signed setup program's signature is checked, not read: the main signature\n"
        "decides (a nested one never rescues it), over the program's bytes as they are\n"
        "(Authenticode digest, page hashes), by a signer fit for code signing at signing\n"
        "time; %s must then hold a signature of %s by the same\n"
        "certificate. Who signed is proven only by --expect-signer or --trust.\n\n"
        "  --against DIR    also compare every record byte for byte with the file of\n"
        "                   the same name below DIR, and name files in DIR that no\n"
        "                   record holds\n"
        "  --manifest FILE  also compare with the manifest that pack --manifest wrote:\n"
        "                   record count, names, sizes and SHA-256 digests, and the\n"
        "                   whole package's size and digest (a copy cut off at a record\n"
        "                   boundary shows only here)\n"
        "  --codepage N     the code page of the names (default 936; with --manifest,\n"
        "                   the manifest's)\n"
        "  --strict         with a medium: warnings (such as unknown keys in the\n"
        "                   description file, a file the checksums do not list, or a\n"
        "                   signer neither pinned nor chained) count as problems\n"
        "  --expect-signer SUBJECT|SHA256  the setup program must be signed by this\n"
        "                   signer: its subject as verify prints it (\"CN=..., O=...\",\n"
        "                   compared whole) or its certificate's SHA-256 fingerprint\n"
        "  --trust CAFILE   the signer's chain must reach a certificate of CAFILE (PEM;\n"
        "                   not in mediatool.exe, which checks with WinVerifyTrust)\n"
        "  -q, --quiet      nothing on success; problems are still listed\n\n"
        "Exit status: 0 verified, 1 differences, a broken package or a medium with\n"
        "problems, 2 usage error.\n",
        medium::kChecksumsName, medium::kChecksumsSignatureName, medium::kChecksumsName);
}

namespace {

struct VerifyOptions {
    fs::path target, against, manifestPath;
    bool haveAgainst = false, haveManifest = false, haveCodePage = false, strict = false;
    unsigned cp = kDefaultCodePage;
    sigcheck::Expectation expect;   // --expect-signer, --trust
};

bool ParseVerify(const Args& args, VerifyOptions& o)
{
    ParsedArgs parsed;
    if (!ParseCommandLine(kCmd, args,
                          {{"against", 0, true}, {"manifest", 0, true}, {"codepage", 0, true}, {"strict", 0, false},
                           {"expect-signer", 0, true}, {"trust", 0, true}},
                          parsed))
        return false;
    for (const auto& [name, value] : parsed.options) {
        if (name == "against") o.against = ArgPath(value), o.haveAgainst = true;
        else if (name == "manifest") o.manifestPath = ArgPath(value), o.haveManifest = true;
        else if (name == "strict") o.strict = true;
        else if (name == "expect-signer") o.expect.signer = value;
        else if (name == "trust") o.expect.trustFile = value;
        else if (name == "codepage" && !TakeCodePage(kCmd, value, o.cp)) return false;
        else if (name == "codepage") o.haveCodePage = true;
    }
    if (parsed.operands.empty()) return UsageError(kCmd, "no package named"), false;
    if (parsed.operands.size() > 1) return UsageError(kCmd, "unexpected argument '" + parsed.operands[1] + "'"), false;
    o.target = ArgPath(parsed.operands[0]);
    std::error_code ec;
    if (fs::is_directory(o.target, ec)) {
        if (o.haveAgainst || o.haveManifest)
            return UsageError(kCmd, "--against and --manifest take a package, not a medium folder"), false;
    } else if (o.strict || !o.expect.signer.empty() || !o.expect.trustFile.empty()) {
        return UsageError(kCmd, "--strict, --expect-signer and --trust take a medium folder"), false;
    }
    return true;
}

// verify MEDIUM_DIR: the medium check, printed. Sound findings only without -q.
int VerifyMediumFolder(const VerifyOptions& o)
{
    std::error_code ec;
    if (!o.expect.trustFile.empty() && !fs::is_regular_file(ArgPath(o.expect.trustFile), ec))
        return Refuse(kCmd, o.expect.trustFile, "no such file (--trust)"), kExitRefused;
    MediumCheckOptions options;
    options.cp = o.cp;
    options.expect = o.expect;
    const MediumReport report = CheckMedium(o.target, options);
    std::size_t problems = 0;
    for (const Finding& f : report.findings) {
        const bool counts = f.severity == Severity::kProblem || f.severity == Severity::kNotForRelease ||
                            (o.strict && f.severity == Severity::kWarning);
        problems += counts;
        if (f.severity == Severity::kFine && Quiet()) continue;
        std::printf("%s%s\n", f.severity == Severity::kWarning && !o.strict ? "warning: " : "",
                    FindingText(f, o.target).c_str());
    }
    if (problems) {
        Refuse(kCmd, PathText(o.target), std::to_string(problems) + (problems == 1 ? " problem" : " problems") +
                                             " found; not ready for release");
        return kExitRefused;
    }
    const std::string& trust = report.facts.trust;
    if (!Quiet())
        std::printf("%s: a medium ready for release (code page %u%s%s)\n", PathText(o.target).c_str(), o.cp,
                    trust.empty() ? "" : "; ", trust.c_str());
    return kExitOk;
}

// The manifest that pack --manifest wrote, against what the walk found.
void CompareManifest(Verifier& verifier, const Manifest& manifest, std::uint64_t size, const std::string& digest)
{
    const auto& got = verifier.entries_;
    const auto& want = manifest.records;
    if (got.size() != want.size())
        verifier.Problem("manifest: it lists " + std::to_string(want.size()) + " records, the package holds " +
                         std::to_string(got.size()) + (got.size() < want.size() ? " (cut off at a record boundary?)" : ""));
    for (std::size_t i = 0; i < got.size() && i < want.size(); ++i) {
        const std::string which = "manifest: record " + std::to_string(i + 1) + " (" + got[i].name + "): ";
        if (got[i].name != want[i].name)
            verifier.Problem(which + "the manifest names it " + want[i].name);
        else if (got[i].size != want[i].size)
            verifier.Problem(which + std::to_string(got[i].size) + " bytes, the manifest says " +
                             std::to_string(want[i].size));
        else if (got[i].sha256 != want[i].sha256)
            verifier.Problem(which + "content differs (SHA-256)");
    }
    if (size != manifest.packageSize)
        verifier.Problem("manifest: the package is " + std::to_string(size) + " bytes, the manifest says " +
                         std::to_string(manifest.packageSize));
    else if (digest != manifest.packageSha256)
        verifier.Problem("manifest: the package's SHA-256 differs");
}

// Files below --against that no record holds.
void ListOnlyInFolder(Verifier& verifier, const fs::path& against)
{
    std::error_code ec;
    for (fs::recursive_directory_iterator it(against, ec), end; !ec && it != end; it.increment(ec)) {
        if (fs::is_directory(it->symlink_status(ec))) continue;
        if (!verifier.hostPaths_.count(it->path().lexically_normal()))
            verifier.Problem("only in folder: " + PathText(it->path().lexically_relative(against)));
    }
}

// The package in one forward pass; false, after the refusal, when broken.
bool WalkPackage(ByteSource& source, std::uint64_t size, unsigned cp, Verifier& verifier, std::uint32_t& records,
                 const fs::path& package)
{
    const LeadBytes lb = LeadBytes::ForCodePage(cp);
    PackageWalker walker(source, static_cast<std::uint32_t>(size));
    std::vector<unsigned char> buffer(kReadBlock);
    Progress progress("verifying", size);
    while (walker.NextRecord()) {
        verifier.Record(walker.Record(), CheckName(walker.Record().name, lb));
        for (std::size_t got; (got = walker.ReadChunk(buffer.data(), buffer.size())) > 0;) {
            verifier.Data(buffer.data(), got);
            progress.Update(walker.Consumed(), records);
        }
        if (walker.Error() != PackageError::kNone) break;
        verifier.EndRecord();
        ++records;
    }
    progress.Finish();
    if (walker.Error() == PackageError::kNone) return true;
    Refuse(kCmd, PathText(package), DescribeBreak(walker, cp));
    return false;
}

int VerifyPackage(VerifyOptions& o)
{
    Manifest manifest;
    if (o.haveManifest) {
        std::string why;
        if (!ReadManifest(o.manifestPath, manifest, why)) return Refuse(kCmd, PathText(o.manifestPath), why), kExitRefused;
        if (o.haveCodePage && o.cp != manifest.codePage)
            return Refuse(kCmd, PathText(o.manifestPath),
                          "written for code page " + std::to_string(manifest.codePage) + ", not " + std::to_string(o.cp)),
                   kExitRefused;
        o.cp = manifest.codePage;
    }
    std::string notFolder;
    if (o.haveAgainst && !IsFolder(o.against, notFolder)) return Refuse(kCmd, PathText(o.against), notFolder), kExitRefused;
    const fs::path& package = o.target;
    PackageFile pkg;
    std::string notPackage;
    if (!OpenPackage(package, pkg, notPackage)) return Refuse(kCmd, PathText(package), notPackage), kExitRefused;
    const std::uint64_t size = pkg.size;
    if (size == 0) return Refuse(kCmd, PathText(package), "empty: no records, setup would install nothing"), kExitRefused;
    FileSource file(pkg.file.get());
    HashingSource source(file, o.haveManifest);
    Verifier verifier(o.cp, o.haveAgainst ? &o.against : nullptr, o.haveManifest);
    std::uint32_t records = 0;
    if (!WalkPackage(source, size, o.cp, verifier, records, package)) return kExitRefused;
    if (o.haveAgainst) ListOnlyInFolder(verifier, o.against);
    if (o.haveManifest) CompareManifest(verifier, manifest, size, Sha256::Hex(source.hash_.Finish()));
    if (verifier.problems_) {
        Refuse(kCmd, PathText(package), std::to_string(verifier.problems_) + " problems found");
        return kExitRefused;
    }
    if (Quiet()) return kExitOk;
    std::printf("%s: %u records, %llu bytes, whole; every name accepted by setup", PathText(package).c_str(), records,
                static_cast<unsigned long long>(size));
    if (o.haveAgainst) std::printf("; identical to %s", PathText(o.against).c_str());
    if (o.haveManifest) std::printf("; matches %s", PathText(o.manifestPath).c_str());
    std::printf("\n");
    return kExitOk;
}

} // namespace

int RunVerify(const Args& args)
{
    VerifyOptions o;
    if (!ParseVerify(args, o)) return kExitUsage;
    std::error_code ec;
    return fs::is_directory(o.target, ec) ? VerifyMediumFolder(o) : VerifyPackage(o);
}
