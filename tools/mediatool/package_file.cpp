#include "tools/mediatool/package_file.h"

#include <cerrno>
#include <cstring>

#include "tools/mediatool/code_page.h"
#include "tools/mediatool/host_file.h"

bool OpenPackage(const fs::path& p, PackageFile& package, std::string& why)
{
    std::error_code ec;
    if (!fs::exists(p, ec)) return why = ec ? "cannot be reached: " + ec.message() : "no such file", false;
    if (!fs::is_regular_file(p, ec)) return why = "not a regular file", false;
    if (!FileSize(p, package.size, why)) return false;
    if (!PackageSizeFits(package.size))
        return why = "the file is 2^31 bytes or larger; setup cannot read a package of that size", false;
    package.file = FileOwner(OpenFile(p, "rb"));
    if (!package.file) return why = std::string("cannot be opened: ") + std::strerror(errno), false;
    std::setvbuf(package.file.get(), nullptr, _IOFBF, kStreamBufferSize);
    return true;
}

std::string DescribeBreak(const PackageWalker& walker, unsigned cp)
{
    const PackageRecord& r = walker.Record();
    std::string s = "broken at offset " + std::to_string(r.offset) + ": " + DescribePackageError(walker.Error());
    if (!r.name.empty()) s += " (record " + DisplayName(r.name, cp) + ")";
    return s;
}
