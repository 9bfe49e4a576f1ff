// The checksum file's reader: never a crash, every entry it takes is a
// well-formed digest and a name, a normal name has no "." or empty level,
// and what Format writes of the entries is read back as the same entries.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/mediatool/checksums.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<checksums::Entry> entries;
    std::string why;
    const bool whole = checksums::Parse(text, entries, why);
    if (whole != why.empty()) std::abort();
    for (const checksums::Entry& e : entries) {
        if (e.sha256.size() != 64 || e.sha256.find_first_not_of("0123456789abcdef") != std::string::npos) std::abort();
        if (e.name.empty() || e.name.find('\0') != std::string::npos || e.line == 0) std::abort();
        std::string normal;
        if (checksums::NormalName(e.name, normal) &&
            (normal.empty() || normal[0] == '/' || normal.find("//") != std::string::npos ||
             (normal + "/").find("./") == 0 || normal.find("/./") != std::string::npos))
            std::abort();
    }
    std::vector<checksums::Entry> again;
    if (!checksums::Parse(checksums::Format(entries), again, why) || again.size() != entries.size()) std::abort();
    for (const checksums::Entry& e : again) {
        bool found = false;
        for (const checksums::Entry& before : entries) found = found || (before.name == e.name && before.sha256 == e.sha256);
        if (!found) std::abort();
    }
    return 0;
}
