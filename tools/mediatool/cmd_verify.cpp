// mediatool verify: is a package whole, and is it what it should be?
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

#include "media/sha256.h"
#include "media/name_rules.h"
#include "tools/mediatool/cmd_package.h"
#include "tools/mediatool/code_page.h"
#include "tools/mediatool/console.h"
#include "tools/mediatool/host_file.h"
#include "tools/mediatool/manifest.h"
#include "tools/mediatool/options.h"
#include "tools/mediatool/package_file.h"

namespace {

const char kCmd[] = "verify";

// Checks names, compares with a folder, and hashes for a manifest, in one
// forward pass.
class Verifier {
public:
    Verifier(unsigned cp, const fs::path* against) : cp_(cp), against_(against) {}

    void Record(const PackageRecord& record, NameError nameError)
    {
        name_ = DisplayName(record.name, cp_);
        size_ = static_cast<std::uint32_t>(record.dataSize);
        one_ = Sha256();
        if (nameError != NameError::kNone)
            Problem("record at offset " + std::to_string(record.offset) + " (" + name_ +
                    "): " + DescribeNameError(nameError));
        if (!seen_.insert(record.name).second)
            std::printf("note: %s appears more than once; the later record wins\n", name_.c_str());
        if (against_) OpenCounterpart(record.name);
    }
    void Data(const unsigned char* data, std::size_t n)
    {
        one_.Update(data, n);
        if (!counterpart_ || differs_) return;
        unsigned char theirs[kTransferBufferSize];
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
        entries_.push_back({name_, size_, Sha256::Hex(one_.Finish())});
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
    std::string name_;
    std::uint32_t size_ = 0;
    Sha256 one_;
    std::set<std::string> seen_;
    FileOwner counterpart_;
    bool differs_ = false;
    std::uint64_t compared_ = 0;
};

// Reads the package once more for its whole digest: verify stays a single
// forward pass per reader, and the package is small next to the disk cache.
class HashingSource : public ByteSource {
public:
    explicit HashingSource(ByteSource& inner) : inner_(inner) {}
    std::size_t Read(unsigned char* dst, std::size_t n) override
    {
        const std::size_t got = inner_.Read(dst, n);
        hash_.Update(dst, got);
        return got;
    }
    Sha256 hash_;

private:
    ByteSource& inner_;
};

} // namespace

void HelpVerify()
{
    std::printf(
        "usage: mediatool verify PACKAGE [--against DIR] [--manifest FILE] [--codepage N]\n\n"
        "Checks the package end to end: every record whole, the last one ending\n"
        "exactly at the end of the file, every name one that setup accepts.\n\n"
        "  --against DIR    also compare every record byte for byte with the file of\n"
        "                   the same name below DIR, and name files in DIR that no\n"
        "                   record holds\n"
        "  --manifest FILE  also compare with the manifest that pack --manifest wrote:\n"
        "                   record count, names, sizes and SHA-256 digests, and the\n"
        "                   whole package's size and digest (a copy cut off at a record\n"
        "                   boundary shows only here)\n"
        "  --codepage N     the code page of the names (default 936; with --manifest,\n"
        "                   the manifest's)\n"
        "  -q, --quiet      nothing on success; problems are still listed\n\n"
        "Exit status: 0 verified, 1 differences or a broken package, 2 usage error.\n");
}

int RunVerify(const Args& args)
{
    fs::path package, against, manifestPath;
    bool haveAgainst = false, haveManifest = false, haveCodePage = false;
    unsigned cp = kDefaultCodePage;
    ParsedArgs parsed;
    if (!ParseCommandLine(kCmd, args, {{"against", 0, true}, {"manifest", 0, true}, {"codepage", 0, true}}, parsed))
        return kExitUsage;
    for (const auto& [name, value] : parsed.options) {
        if (name == "against") {
            against = ArgPath(value);
            haveAgainst = true;
        } else if (name == "manifest") {
            manifestPath = ArgPath(value);
            haveManifest = true;
        } else if (name == "codepage") {
            if (!TakeCodePage(kCmd, value, cp)) return kExitUsage;
            haveCodePage = true;
        }
    }
    if (parsed.operands.empty()) return UsageError(kCmd, "no package named"), kExitUsage;
    if (parsed.operands.size() > 1)
        return UsageError(kCmd, "unexpected argument '" + parsed.operands[1] + "'"), kExitUsage;
    package = ArgPath(parsed.operands[0]);
    PrepareConsole();

    Manifest manifest;
    if (haveManifest) {
        std::string why;
        if (!ReadManifest(manifestPath, manifest, why)) return Refuse(kCmd, PathText(manifestPath), why), kExitRefused;
        if (haveCodePage && cp != manifest.codePage)
            return Refuse(kCmd, PathText(manifestPath),
                          "written for code page " + std::to_string(manifest.codePage) + ", not " +
                              std::to_string(cp)),
                   kExitRefused;
        cp = manifest.codePage;
    }
    std::error_code ec;
    std::string notFolder;
    if (haveAgainst && !IsFolder(against, notFolder)) return Refuse(kCmd, PathText(against), notFolder), kExitRefused;

    std::uint64_t size = 0;
    if (!CheckPackageFile(kCmd, package, size)) return kExitRefused;
    FileOwner f(OpenFile(package, "rb"));
    if (!f) return Refuse(kCmd, PathText(package), std::string("cannot be opened: ") + std::strerror(errno)), kExitRefused;
    std::setvbuf(f.get(), nullptr, _IOFBF, kStreamBufferSize);
    FileSource file(f.get());
    HashingSource source(file);

    Verifier verifier(cp, haveAgainst ? &against : nullptr);
    const LeadBytes lb = LeadBytes::ForCodePage(cp);
    PackageWalker walker(source, static_cast<std::uint32_t>(size));
    unsigned char buffer[kTransferBufferSize];
    std::uint32_t records = 0;
    while (walker.NextRecord()) {
        verifier.Record(walker.Record(), CheckName(walker.Record().name, lb));
        for (std::size_t got; (got = walker.ReadChunk(buffer)) > 0;) verifier.Data(buffer, got);
        if (walker.Error() != PackageError::kNone) break;
        verifier.EndRecord();
        ++records;
    }
    if (walker.Error() != PackageError::kNone) {
        Refuse(kCmd, PathText(package), DescribeBreak(walker, cp));
        return kExitRefused;
    }

    if (haveAgainst) {
        for (fs::recursive_directory_iterator it(against, ec), end; !ec && it != end; it.increment(ec)) {
            if (fs::is_directory(it->symlink_status(ec))) continue;
            if (!verifier.hostPaths_.count(it->path().lexically_normal()))
                verifier.Problem("only in folder: " + PathText(it->path().lexically_relative(against)));
        }
    }

    if (haveManifest) {
        const std::string digest = Sha256::Hex(source.hash_.Finish());
        const auto& got = verifier.entries_;
        const auto& want = manifest.records;
        if (got.size() != want.size())
            verifier.Problem("manifest: it lists " + std::to_string(want.size()) + " records, the package holds " +
                             std::to_string(got.size()) +
                             (got.size() < want.size() ? " (cut off at a record boundary?)" : ""));
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

    if (verifier.problems_) {
        Refuse(kCmd, PathText(package), std::to_string(verifier.problems_) + " problems found");
        return kExitRefused;
    }
    if (Quiet()) return kExitOk;
    std::printf("%s: %u records, %llu bytes, whole; every name accepted by setup", PathText(package).c_str(),
                records, static_cast<unsigned long long>(size));
    if (haveAgainst) std::printf("; identical to %s", PathText(against).c_str());
    if (haveManifest) std::printf("; matches %s", PathText(manifestPath).c_str());
    std::printf("\n");
    return kExitOk;
}
