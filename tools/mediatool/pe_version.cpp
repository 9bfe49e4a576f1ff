#include "tools/mediatool/pe_version.h"

namespace {

constexpr std::uint32_t kResourceDirectory = 2;
constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kSubdirectory = 0x80000000u;
constexpr std::uint32_t kFixedSignature = 0xFEEF04BDu;
constexpr std::size_t kSectionSize = 40;
// Deeper than Windows ever nests; bounds the walk of a crafted tree.
constexpr std::size_t kMaxEntries = 4096;

// Little-endian reads over the image; a read that does not fit breaks the
// reader for good, with the error of the part being read.
class ImageView {
public:
    ImageView(const unsigned char* p, std::size_t n) : p_(p), n_(n) {}
    std::uint32_t Le(std::uint64_t at, unsigned bytes, PeReadError onShort)
    {
        if (error_ != PeReadError::kNone) return 0;
        if (at > n_ || bytes > n_ - at) return Fail(onShort);
        std::uint32_t v = 0;
        for (unsigned i = bytes; i-- > 0;) v = v << 8 | p_[at + i];
        return v;
    }
    std::uint32_t Fail(PeReadError e)
    {
        if (error_ == PeReadError::kNone) error_ = e;
        return 0;
    }
    PeReadError Error() const { return error_; }
    std::size_t Size() const { return n_; }

private:
    const unsigned char* p_;
    std::size_t n_;
    PeReadError error_ = PeReadError::kNone;
};

struct Sections {
    std::uint64_t table = 0;
    std::uint32_t count = 0;
};

// The file offset of `rva` with `length` bytes after it inside one
// section's raw data; breaks the view when there is none.
std::uint64_t ToOffset(ImageView& v, const Sections& s, std::uint32_t rva, std::uint32_t length)
{
    for (std::uint32_t i = 0; i < s.count && v.Error() == PeReadError::kNone; ++i) {
        const std::uint64_t at = s.table + i * kSectionSize;
        const std::uint32_t va = v.Le(at + 12, 4, PeReadError::kHeadersCut);
        const std::uint32_t raw = v.Le(at + 16, 4, PeReadError::kHeadersCut);
        const std::uint32_t pointer = v.Le(at + 20, 4, PeReadError::kHeadersCut);
        if (rva < va || rva - va >= raw || length > raw - (rva - va)) continue;
        const std::uint64_t offset = static_cast<std::uint64_t>(pointer) + (rva - va);
        if (offset > v.Size() || length > v.Size() - offset) break;
        return offset;
    }
    v.Fail(PeReadError::kResourcesBroken);
    return 0;
}

// The entry of the resource directory at `dir` (relative to the tree's
// start `root`) with `id`, or its first entry when `id` is 0; the entry's
// target (offset within the tree, with the subdirectory bit). False when
// no entry fits.
bool FindEntry(ImageView& v, std::uint64_t root, std::uint32_t dir, std::uint32_t id, std::uint32_t& target)
{
    const std::uint64_t at = root + dir;
    const std::uint32_t named = v.Le(at + 12, 2, PeReadError::kResourcesBroken);
    const std::uint32_t ids = v.Le(at + 14, 2, PeReadError::kResourcesBroken);
    if (named + ids > kMaxEntries) return v.Fail(PeReadError::kResourcesBroken) != 0;
    for (std::uint32_t i = 0; i < named + ids && v.Error() == PeReadError::kNone; ++i) {
        const std::uint32_t name = v.Le(at + 16 + 8ull * i, 4, PeReadError::kResourcesBroken);
        target = v.Le(at + 20 + 8ull * i, 4, PeReadError::kResourcesBroken);
        if (id == 0 || (i >= named && name == id)) return v.Error() == PeReadError::kNone;
    }
    return false;
}

// VS_VERSIONINFO: wLength, wValueLength, wType, L"VS_VERSION_INFO", padding
// to 32 bits, then VS_FIXEDFILEINFO.
void ReadVersionInfo(ImageView& v, std::uint64_t at, std::uint32_t size, PeImageFacts& facts)
{
    static const char kKey[] = "VS_VERSION_INFO";
    constexpr std::uint32_t kFixedAt = 40, kFixedSize = 52;
    const std::uint32_t length = v.Le(at, 2, PeReadError::kVersionBroken);
    const std::uint32_t valueLength = v.Le(at + 2, 2, PeReadError::kVersionBroken);
    if (length > size || length < kFixedAt + kFixedSize || valueLength < kFixedSize) {
        v.Fail(PeReadError::kVersionBroken);
        return;
    }
    for (std::uint32_t i = 0; i < sizeof kKey; ++i)
        if (v.Le(at + 6 + 2 * i, 2, PeReadError::kVersionBroken) != static_cast<unsigned char>(kKey[i]))
            v.Fail(PeReadError::kVersionBroken);
    const std::uint64_t fixed = at + kFixedAt;
    if (v.Le(fixed, 4, PeReadError::kVersionBroken) != kFixedSignature) v.Fail(PeReadError::kVersionBroken);
    const std::uint32_t ms = v.Le(fixed + 8, 4, PeReadError::kVersionBroken);
    const std::uint32_t ls = v.Le(fixed + 12, 4, PeReadError::kVersionBroken);
    if (v.Error() != PeReadError::kNone) return;
    facts.fileVersion[0] = static_cast<std::uint16_t>(ms >> 16);
    facts.fileVersion[1] = static_cast<std::uint16_t>(ms);
    facts.fileVersion[2] = static_cast<std::uint16_t>(ls >> 16);
    facts.fileVersion[3] = static_cast<std::uint16_t>(ls);
    facts.hasVersion = true;
}

} // namespace

const char* DescribePeReadError(PeReadError e)
{
    switch (e) {
    case PeReadError::kNone: return "no error";
    case PeReadError::kNotPe: return "not a Windows program or DLL (no PE header)";
    case PeReadError::kHeadersCut: return "the headers are cut short";
    case PeReadError::kResourcesBroken: return "the resource table is broken";
    case PeReadError::kVersionBroken: return "the version resource is broken";
    }
    return "unknown error";
}

std::string VersionText(const std::uint16_t v[4])
{
    return std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "." + std::to_string(v[3]);
}

PeReadError ReadPeImage(const unsigned char* data, std::size_t size, PeImageFacts& facts)
{
    facts = PeImageFacts();
    ImageView v(data, size);
    if (v.Le(0, 2, PeReadError::kNotPe) != 0x5A4D) return PeReadError::kNotPe;
    const std::uint64_t pe = v.Le(0x3C, 4, PeReadError::kNotPe);
    if (v.Le(pe, 4, PeReadError::kNotPe) != 0x00004550) return PeReadError::kNotPe;
    facts.machine = v.Le(pe + 4, 2, PeReadError::kHeadersCut);
    Sections sections;
    sections.count = v.Le(pe + 6, 2, PeReadError::kHeadersCut);
    const std::uint32_t optionalSize = v.Le(pe + 20, 2, PeReadError::kHeadersCut);
    facts.characteristics = v.Le(pe + 22, 2, PeReadError::kHeadersCut);
    const std::uint64_t opt = pe + 24;
    facts.magic = v.Le(opt, 2, PeReadError::kHeadersCut);
    sections.table = opt + optionalSize;
    if (sections.table > size || sections.count * kSectionSize > size - sections.table)
        v.Fail(PeReadError::kHeadersCut);
    if (v.Error() != PeReadError::kNone || facts.magic != 0x10B) return v.Error();
    // PE32: the data directories start 96 bytes into the optional header.
    const std::uint32_t directories = v.Le(opt + 92, 4, PeReadError::kHeadersCut);
    if (directories <= kResourceDirectory || optionalSize < 96 + 8 * (kResourceDirectory + 1)) return v.Error();
    const std::uint32_t rsrcRva = v.Le(opt + 96 + 8 * kResourceDirectory, 4, PeReadError::kHeadersCut);
    const std::uint32_t rsrcSize = v.Le(opt + 100 + 8 * kResourceDirectory, 4, PeReadError::kHeadersCut);
    if (v.Error() != PeReadError::kNone || rsrcRva == 0) return v.Error();
    const std::uint64_t root = ToOffset(v, sections, rsrcRva, 16);
    std::uint32_t target = 0;
    // Type, name, language: two subdirectories, then the data entry.
    if (!FindEntry(v, root, 0, kRtVersion, target) || !(target & kSubdirectory)) return v.Error();
    for (int level = 0; level < 2; ++level) {
        if (!(target & kSubdirectory) || !FindEntry(v, root, target & ~kSubdirectory, 0, target))
            return v.Fail(PeReadError::kResourcesBroken), v.Error();
    }
    if (target & kSubdirectory || target > rsrcSize) return v.Fail(PeReadError::kResourcesBroken), v.Error();
    const std::uint32_t dataRva = v.Le(root + target, 4, PeReadError::kResourcesBroken);
    const std::uint32_t dataSize = v.Le(root + target + 4, 4, PeReadError::kResourcesBroken);
    const std::uint64_t info = ToOffset(v, sections, dataRva, dataSize);
    if (v.Error() == PeReadError::kNone) ReadVersionInfo(v, info, dataSize, facts);
    return v.Error();
}
