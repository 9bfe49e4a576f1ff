// mediatool unpack: a package into a folder, by the installer's own rules.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "media/extract.h"
#include "media/name_rules.h"
#include "tools/mediatool/cmd_package.h"
#include "tools/mediatool/code_page.h"
#include "tools/mediatool/console.h"
#include "tools/mediatool/host_file.h"
#include "tools/mediatool/options.h"
#include "tools/mediatool/package_file.h"

namespace {

const char kCmd[] = "unpack";

// Writes records below a host folder. The record loop hands over the name
// as the target path (the install folder is empty).
class HostTarget : public ExtractTarget {
public:
    HostTarget(const fs::path& root, unsigned cp, std::uint64_t total)
        : root_(root), cp_(cp), progress_("unpacking", total) {}

    void CreateFolders(const std::string& name) override
    {
        fs::path path;
        std::string why;
        if (!NameToHostPath(name, cp_, root_, path, why)) return;
        std::error_code ec;
        fs::create_directories(path.parent_path(), ec);
    }
    bool CreateTargetFile(const std::string& name) override
    {
        fs::path path;
        if (!NameToHostPath(name, cp_, root_, path, why_)) return false;
        file_ = FileOwner(OpenFile(path, "wb"));
        if (!file_) {
            why_ = std::string("cannot be created: ") + std::strerror(errno);
            return false;
        }
        ++files_;
        return true;
    }
    bool WriteTarget(const unsigned char* data, std::size_t n) override
    {
        written_ += n;
        progress_.Update(written_, files_);
        if (std::fwrite(data, 1, n, file_.get()) == n) return true;
        why_ = std::string("cannot be written: ") + std::strerror(errno);
        return false;
    }
    bool CloseTargetFile() override
    {
        const bool ok = file_.Close();
        if (!ok && why_.empty()) why_ = std::string("cannot be written completely: ") + std::strerror(errno);
        return ok;
    }

    void Finish() { progress_.Finish(); }
    const std::string& Why() const { return why_; }
    std::uint64_t Written() const { return written_; }

private:
    fs::path root_;
    unsigned cp_;
    FileOwner file_;
    std::string why_;
    std::uint64_t written_ = 0;
    std::uint64_t files_ = 0;
    Progress progress_;
};

} // namespace

void HelpUnpack()
{
    std::printf(
        "usage: mediatool unpack PACKAGE -o DIR [--codepage N]\n"
        "       mediatool unpack PACKAGE DIR [--codepage N]\n\n"
        "Extracts every record into DIR (created if missing) as setup would: in\n"
        "package order, later records replacing earlier ones, folders created as\n"
        "needed. Stops at the first broken record or at a name that setup refuses;\n"
        "the files written before it stay.\n\n"
        "  -o, --output DIR  the folder to extract into (or give it after PACKAGE)\n"
        "  --codepage N      the code page of the names (default 936)\n"
        "  -q, --quiet       no progress and no summary\n\n"
        "Exit status: 0 unpacked, 1 refused, 2 usage error.\n");
}

int RunUnpack(const Args& args)
{
    unsigned cp = kDefaultCodePage;
    ParsedArgs parsed;
    if (!ParseCommandLine(kCmd, args, {{"output", 'o', true}, {"codepage", 0, true}}, parsed)) return kExitUsage;
    std::vector<std::string> positional = parsed.operands;
    std::string output;
    for (const auto& [name, value] : parsed.options) {
        if (name == "output") output = value;
        else if (name == "codepage" && !TakeCodePage(kCmd, value, cp)) return kExitUsage;
    }
    // The folder as -o DIR or, as before, the second operand.
    if (!output.empty()) positional.push_back(output);
    if (positional.size() != 2) return UsageError(kCmd, "needs a package and a folder (-o DIR)"), kExitUsage;
    if (positional[1] == "-") return UsageError(kCmd, "unpacks into a folder; '-' cannot stand for one"), kExitUsage;
    const fs::path package = ArgPath(positional[0]);
    const fs::path dir = ArgPath(positional[1]);

    PackageFile pkg;
    std::string notPackage;
    if (!OpenPackage(package, pkg, notPackage)) return Refuse(kCmd, PathText(package), notPackage), kExitRefused;
    const std::uint64_t size = pkg.size;
    std::error_code ec;
    fs::create_directories(dir, ec);
    std::string notFolder;
    if (!IsFolder(dir, notFolder))
        return Refuse(kCmd, PathText(dir), "cannot be made a folder: " + (ec ? ec.message() : notFolder)),
               kExitRefused;

    const auto start = std::chrono::steady_clock::now();
    FileSource source(pkg.file.get());
    HostTarget target(dir, cp, size);
    const ExtractResult r = RunExtraction(source, static_cast<std::int32_t>(size), std::string(),
                                          LeadBytes::ForCodePage(cp), target);
    target.Finish();
    if (!r.ok) {
        std::string why = DescribeExtractFailure(r);
        if ((r.failure == ExtractFailure::kCreateFailed || r.failure == ExtractFailure::kWriteFailed) &&
            !target.Why().empty())
            why = target.Why();
        std::string what = "record at offset " + std::to_string(r.recordOffset);
        if (!r.failedPath.empty()) what += " (" + DisplayName(r.failedPath, cp) + ")";
        Refuse(kCmd, PathText(package), what + ": " + why);
        std::fprintf(stderr, "mediatool unpack: %u files written before it stay in %s\n", r.records,
                     Shown(dir).c_str());
        return kExitRefused;
    }
    if (!Quiet())
        std::printf("unpacked %u files (%llu bytes) into %s, %.2f s\n", r.records,
                    static_cast<unsigned long long>(target.Written()), Shown(dir).c_str(), SecondsSince(start));
    return kExitOk;
}
