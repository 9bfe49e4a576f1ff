#include "tools/mediatool/package_file.h"

#include "tools/mediatool/code_page.h"
#include "tools/mediatool/console.h"
#include "tools/mediatool/host_file.h"

bool CheckPackageFile(const char* command, const fs::path& p, std::uint64_t& size)
{
    std::error_code ec;
    if (!fs::exists(p, ec)) {
        Refuse(command, PathText(p), ec ? "cannot be reached: " + ec.message() : std::string("no such file"));
        return false;
    }
    if (!fs::is_regular_file(p, ec)) {
        Refuse(command, PathText(p), "not a regular file");
        return false;
    }
    std::string why;
    if (!FileSize(p, size, why)) {
        Refuse(command, PathText(p), why);
        return false;
    }
    if (!PackageSizeFits(size)) {
        Refuse(command, PathText(p),
               "the file is 2^31 bytes or larger; setup cannot read a package of that size");
        return false;
    }
    return true;
}

std::string DescribeBreak(const PackageWalker& walker, unsigned cp)
{
    const PackageRecord& r = walker.Record();
    std::string s = "broken at offset " + std::to_string(r.offset) + ": " + DescribePackageError(walker.Error());
    if (!r.name.empty()) s += " (record " + DisplayName(r.name, cp) + ")";
    return s;
}
