// mediatool list: the records of a package.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "media/name_rules.h"
#include "tools/mediatool/cmd_package.h"
#include "tools/mediatool/code_page.h"
#include "tools/mediatool/console.h"
#include "tools/mediatool/host_file.h"
#include "tools/mediatool/json.h"
#include "tools/mediatool/options.h"
#include "tools/mediatool/package_file.h"

namespace {

const char kCmd[] = "list";
// Raised when a field changes meaning or goes; new fields keep it.
const unsigned kJsonFormat = 1;

class Lister {
public:
    Lister(bool json, unsigned cp) : json_(json), cp_(cp) {}
    void Record(const PackageRecord& record, NameError nameError)
    {
        const std::uint32_t size = static_cast<std::uint32_t>(record.dataSize);
        ++records_;
        bytes_ += size;
        if (nameError != NameError::kNone) ++refused_;
        const std::string name = DisplayName(record.name, cp_);
        if (json_) {
            std::printf("%s\n    {\"offset\": %u, \"size\": %u, \"name\": %s, \"name_hex\": \"%s\"",
                        records_ > 1 ? "," : "", record.offset, size, JsonString(name).c_str(),
                        HexBytes(record.name).c_str());
            if (nameError != NameError::kNone)
                std::printf(", \"refused\": %s", JsonString(DescribeNameError(nameError)).c_str());
            std::printf("}");
        } else {
            std::printf("%10u  %10u  %s", record.offset, size, name.c_str());
            if (nameError != NameError::kNone)
                std::printf("    <- refused by setup: %s", DescribeNameError(nameError));
            std::printf("\n");
        }
    }
    std::uint64_t records_ = 0;
    std::uint64_t bytes_ = 0;
    std::uint64_t refused_ = 0;

private:
    bool json_;
    unsigned cp_;
};

} // namespace

void HelpList()
{
    std::printf(
        "usage: mediatool list PACKAGE [--json] [--codepage N]\n\n"
        "Lists each record's offset, data size and name (converted from the code\n"
        "page for display), then the totals. A broken package is listed up to the\n"
        "break and then reported with the offset; names that setup would refuse are\n"
        "marked.\n\n"
        "  --json          one JSON object: records (each name also as its bytes in\n"
        "                  hex), totals, whether the package is whole, and where it\n"
        "                  breaks; its fields are described in docs/mediatool-json.md\n"
        "  --codepage N    the code page of the names (default 936)\n"
        "  -q, --quiet     records only, without the totals line\n\n"
        "Exit status: 0 listed and sound, 1 broken package or refused names,\n"
        "2 usage error.\n");
}

int RunList(const Args& args)
{
    bool json = false;
    unsigned cp = kDefaultCodePage;
    ParsedArgs parsed;
    if (!ParseCommandLine(kCmd, args, {{"json", 0, false}, {"codepage", 0, true}}, parsed)) return kExitUsage;
    for (const auto& [name, value] : parsed.options) {
        if (name == "json") json = true;
        else if (name == "codepage" && !TakeCodePage(kCmd, value, cp)) return kExitUsage;
    }
    if (parsed.operands.empty()) return UsageError(kCmd, "no package named"), kExitUsage;
    if (parsed.operands.size() > 1)
        return UsageError(kCmd, "unexpected argument '" + parsed.operands[1] + "'"), kExitUsage;
    const fs::path package = ArgPath(parsed.operands[0]);

    PackageFile pkg;
    std::string notPackage;
    if (!OpenPackage(package, pkg, notPackage)) return Refuse(kCmd, PathText(package), notPackage), kExitRefused;
    const std::uint64_t size = pkg.size;
    FileSource source(pkg.file.get());

    if (json)
        std::printf("{\n  \"format\": %u,\n  \"package\": %s,\n  \"codepage\": %u,\n  \"size\": %llu,\n  \"records\": [",
                    kJsonFormat, JsonString(PathText(package)).c_str(), cp, static_cast<unsigned long long>(size));
    else
        std::printf("%10s  %10s  %s\n", "offset", "size", "name");
    Lister lister(json, cp);
    const LeadBytes lb = LeadBytes::ForCodePage(cp);
    PackageWalker walker(source, static_cast<std::uint32_t>(size));
    while (walker.NextRecord()) lister.Record(walker.Record(), CheckName(walker.Record().name, lb));
    const bool whole = walker.Error() == PackageError::kNone;
    if (json) {
        std::printf("%s],\n  \"files\": %llu,\n  \"bytes\": %llu,\n  \"refused_names\": %llu,\n"
                    "  \"complete\": %s,\n  \"error\": ",
                    lister.records_ ? "\n  " : "", static_cast<unsigned long long>(lister.records_),
                    static_cast<unsigned long long>(lister.bytes_),
                    static_cast<unsigned long long>(lister.refused_), whole ? "true" : "false");
        if (whole)
            std::printf("null\n}\n");
        else
            std::printf("{\"offset\": %u, \"reason\": %s}\n}\n", walker.Record().offset,
                        JsonString(DescribePackageError(walker.Error())).c_str());
    } else if (!Quiet()) {
        std::printf("%llu files, %llu bytes of data, package %llu bytes\n",
                    static_cast<unsigned long long>(lister.records_),
                    static_cast<unsigned long long>(lister.bytes_), static_cast<unsigned long long>(size));
    }
    if (!whole) {
        Refuse(kCmd, PathText(package), DescribeBreak(walker, cp));
        return kExitRefused;
    }
    if (lister.refused_) {
        Refuse(kCmd, PathText(package),
               std::to_string(lister.refused_) + " record names would be refused by setup");
        return kExitRefused;
    }
    return kExitOk;
}
