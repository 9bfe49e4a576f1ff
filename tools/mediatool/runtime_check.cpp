#include "tools/mediatool/runtime_check.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/file_owner.h"
#include "media/medium.h"
#include "tools/mediatool/host_file.h"
#include "tools/mediatool/pe_version.h"

namespace runtime {

namespace {

constexpr std::uint32_t kMachineI386 = 0x14C;
constexpr std::uint32_t kPe32Magic = 0x10B;
constexpr std::uint32_t kImageDll = 0x2000;

bool EndsWith(const std::string& s, const char* tail)
{
    const std::size_t n = std::strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

// The value of attribute `name` of the element that starts at `at` (up to
// its '>'); false when the element has no such attribute.
bool Attribute(const std::string& text, std::size_t at, const std::string& name, std::string& value)
{
    const std::size_t end = text.find('>', at);
    const std::string element = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    for (std::size_t p = element.find(name + "="); p != std::string::npos; p = element.find(name + "=", p + 1)) {
        if (p == 0 || !std::strchr(" \t\r\n", element[p - 1])) continue;
        const std::size_t open = p + name.size() + 1;
        if (open >= element.size() || (element[open] != '"' && element[open] != '\'')) return false;
        const std::size_t close = element.find(element[open], open + 1);
        if (close == std::string::npos) return false;
        value = element.substr(open + 1, close - open - 1);
        return true;
    }
    return false;
}

} // namespace

std::string PlaceholderText(const char* name)
{
    return std::string(kPlaceholderMark) + "\r\n\r\nThis file stands in for \"" + name +
           "\" of the Microsoft Visual C++ 2005 runtime (" + medium::kRuntimeVersion +
           ").\r\n"
           "It was written by 'mediatool assemble --placeholder-runtime' for a demonstration\r\n"
           "medium, so that setup finds every file it copies. A real medium must carry the real\r\n"
           "redistributable file (mediatool assemble --runtime DIR).\r\n";
}

std::string CheckManifest(const std::string& text)
{
    const std::size_t at = text.find("<assemblyIdentity");
    std::string name, version;
    if (at == std::string::npos || !Attribute(text, at, "name", name))
        return std::string("names no assembly; it must name ") + medium::kRuntimeAssembly;
    if (name != medium::kRuntimeAssembly)
        return "names the assembly \"" + name + "\", not " + medium::kRuntimeAssembly;
    if (!Attribute(text, at, "version", version) || version != medium::kRuntimeVersion)
        return "names version \"" + version + "\" of " + medium::kRuntimeAssembly + ", not " + medium::kRuntimeVersion;
    for (const medium::SideFile& f : medium::kSideFiles) {
        if (!f.required || !EndsWith(f.name, ".dll")) continue;
        bool listed = false;
        for (std::size_t p = text.find("<file"); p != std::string::npos && !listed; p = text.find("<file", p + 1)) {
            std::string file;
            listed = Attribute(text, p, "name", file) && file == f.name;
        }
        if (!listed) return std::string("does not list ") + f.name;
    }
    return std::string();
}

std::string CheckDll(const std::string& bytes)
{
    PeImageFacts facts;
    const PeReadError e = ReadPeImage(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), facts);
    if (e == PeReadError::kNotPe) return "not a Windows DLL (no PE header)";
    if (e == PeReadError::kHeadersCut) return std::string("not a Windows DLL: ") + DescribePeReadError(e);
    if (facts.machine != kMachineI386 || facts.magic != kPe32Magic) return "not a 32-bit x86 DLL; setup installs a 32-bit program";
    if (!(facts.characteristics & kImageDll)) return "a program, not a DLL";
    if (e != PeReadError::kNone) return DescribePeReadError(e);
    if (!facts.hasVersion) return std::string("no version resource; it must carry version ") + medium::kRuntimeVersion;
    const std::string version = VersionText(facts.fileVersion);
    if (version != medium::kRuntimeVersion)
        return "version " + version + ", not " + medium::kRuntimeVersion + " as the manifest names";
    return std::string();
}

std::vector<Finding> CheckFiles(const std::vector<File>& files)
{
    std::vector<Finding> findings;
    for (const File& f : files) {
        std::string bytes, why;
        if (!ReadWholeFile(f.path, bytes, why)) {
            findings.push_back({f.name, "cannot be read: " + why});
            continue;
        }
        if (bytes.compare(0, std::strlen(kPlaceholderMark), kPlaceholderMark) == 0) {
            findings.push_back({f.name, "a placeholder, not for release (assemble --runtime DIR writes the real file)", true});
            continue;
        }
        why = EndsWith(f.name, ".manifest") ? CheckManifest(bytes) : CheckDll(bytes);
        if (!why.empty()) findings.push_back({f.name, why});
    }
    return findings;
}

std::vector<File> MediumFiles(const fs::path& dir)
{
    std::vector<File> files;
    std::error_code ec;
    for (const medium::SideFile& f : medium::kSideFiles)
        if (f.required && fs::is_regular_file(dir / f.name, ec)) files.push_back({f.name, dir / f.name});
    return files;
}

} // namespace runtime
