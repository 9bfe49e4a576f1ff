// The DLLs a PE image imports, read from its import and delay-import
// directories. Portable and header-only: the import check reads setup.exe
// with it, and a portable unit test checks it on hand-built images.
#ifndef KELVRA_TESTS_E2E_PE_IMPORTS_H
#define KELVRA_TESTS_E2E_PE_IMPORTS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pe {

enum class ImportError {
    kNone,
    kNotMz,             // no "MZ" at 0
    kNoPeHeader,        // e_lfanew outside the file or no "PE\0\0"
    kBadOptionalHeader, // unknown magic or too short for the directories
    kBadSections,       // section table outside the file
    kBadDirectory,      // a directory or name outside every section's data
    kUnterminated,      // descriptor list or name runs off its section
};

// Bounds-checked little-endian reads over the whole file; every check is
// written `n > size - offset`, which cannot overflow.
class Bytes {
public:
    explicit Bytes(const std::string& data) : data_(data) {}
    std::size_t Size() const { return data_.size(); }
    bool Has(std::uint64_t offset, std::uint64_t n) const
    {
        return offset <= data_.size() && n <= data_.size() - offset;
    }
    bool U16(std::uint64_t offset, std::uint32_t& v) const
    {
        if (!Has(offset, 2)) return false;
        v = Byte(offset) | Byte(offset + 1) << 8u;
        return true;
    }
    bool U32(std::uint64_t offset, std::uint32_t& v) const
    {
        if (!Has(offset, 4)) return false;
        v = Byte(offset) | Byte(offset + 1) << 8u | Byte(offset + 2) << 16u | Byte(offset + 3) << 24u;
        return true;
    }
    std::uint32_t Byte(std::uint64_t offset) const { return static_cast<unsigned char>(data_[offset]); }

private:
    const std::string& data_;
};

struct Section {
    std::uint32_t va, rawSize, rawOffset;
};

// File offset of an RVA and how many bytes of its section's file data
// follow it; false when no section holds it in file data.
inline bool RvaToOffset(const std::vector<Section>& sections, std::uint32_t rva, std::uint64_t& offset,
                        std::uint64_t& left)
{
    for (const Section& s : sections) {
        if (rva >= s.va && rva - s.va < s.rawSize) {
            offset = static_cast<std::uint64_t>(s.rawOffset) + (rva - s.va);
            left = s.rawSize - (rva - s.va);
            return true;
        }
    }
    return false;
}

inline ImportError ReadName(const Bytes& b, const std::vector<Section>& sections, std::uint32_t rva,
                            std::string& name)
{
    std::uint64_t at = 0, left = 0;
    if (!RvaToOffset(sections, rva, at, left) || !b.Has(at, 0)) return ImportError::kBadDirectory;
    name.clear();
    for (std::uint64_t i = 0; i < left; ++i) {
        if (!b.Has(at + i, 1)) return ImportError::kUnterminated;
        const unsigned char c = b.Byte(at + i);
        if (c == 0) return ImportError::kNone;
        name += static_cast<char>(c);
    }
    return ImportError::kUnterminated;
}

// Walks a table of `entrySize`-byte descriptors whose DLL name RVA sits at
// `nameField`, up to the all-zero descriptor.
inline ImportError ReadDescriptors(const Bytes& b, const std::vector<Section>& sections, std::uint32_t rva,
                                   std::uint32_t entrySize, std::uint32_t nameField,
                                   std::vector<std::string>& out)
{
    std::uint64_t at = 0, left = 0;
    if (!RvaToOffset(sections, rva, at, left)) return ImportError::kBadDirectory;
    for (;; at += entrySize, left -= entrySize) {
        if (entrySize > left || !b.Has(at, entrySize)) return ImportError::kUnterminated;
        bool zero = true;
        for (std::uint32_t i = 0; i < entrySize; ++i) zero = zero && b.Byte(at + i) == 0;
        if (zero) return ImportError::kNone;
        std::uint32_t nameRva = 0;
        b.U32(at + nameField, nameRva);
        std::string name;
        const ImportError e = ReadName(b, sections, nameRva, name);
        if (e != ImportError::kNone) return e;
        out.push_back(name);
    }
}

// The DLL names of the import directory, then those of the delay-import
// directory, in file order.
inline ImportError ImportedDlls(const std::string& file, std::vector<std::string>& out)
{
    out.clear();
    const Bytes b(file);
    std::uint32_t v = 0;
    if (!b.U16(0, v) || v != 0x5A4D) return ImportError::kNotMz;
    std::uint32_t peAt = 0;
    if (!b.U32(0x3C, peAt)) return ImportError::kNoPeHeader;
    std::uint32_t sig = 0;
    if (!b.U32(peAt, sig) || sig != 0x00004550) return ImportError::kNoPeHeader;
    const std::uint64_t coff = static_cast<std::uint64_t>(peAt) + 4;
    std::uint32_t sectionCount = 0, optSize = 0;
    if (!b.U16(coff + 2, sectionCount) || !b.U16(coff + 16, optSize)) return ImportError::kNoPeHeader;
    const std::uint64_t opt = coff + 20;

    std::uint32_t magic = 0;
    if (!b.U16(opt, magic)) return ImportError::kBadOptionalHeader;
    std::uint64_t countField = 0;
    if (magic == 0x10B)
        countField = 92;    // PE32
    else if (magic == 0x20B)
        countField = 108;   // PE32+
    else
        return ImportError::kBadOptionalHeader;
    std::uint32_t dirCount = 0;
    if (countField + 4 > optSize || !b.U32(opt + countField, dirCount)) return ImportError::kBadOptionalHeader;
    const std::uint64_t dirs = opt + countField + 4;
    if (dirCount > (optSize - countField - 4) / 8) return ImportError::kBadOptionalHeader;

    std::vector<Section> sections;
    const std::uint64_t table = opt + optSize;
    for (std::uint32_t i = 0; i < sectionCount; ++i) {
        const std::uint64_t s = table + 40ull * i;
        Section sec{};
        if (!b.U32(s + 12, sec.va) || !b.U32(s + 16, sec.rawSize) || !b.U32(s + 20, sec.rawOffset))
            return ImportError::kBadSections;
        // Only the part of the raw data that the file really holds counts.
        if (!b.Has(sec.rawOffset, 0)) continue;
        if (sec.rawSize > b.Size() - sec.rawOffset)
            sec.rawSize = static_cast<std::uint32_t>(b.Size() - sec.rawOffset);
        sections.push_back(sec);
    }

    const struct {
        std::uint32_t index, entrySize, nameField;
    } kDirectories[] = {{1, 20, 12}, {13, 32, 4}};   // imports, delay imports
    for (const auto& d : kDirectories) {
        if (d.index >= dirCount) continue;
        std::uint32_t rva = 0;
        b.U32(dirs + 8ull * d.index, rva);
        if (rva == 0) continue;
        const ImportError e = ReadDescriptors(b, sections, rva, d.entrySize, d.nameField, out);
        if (e != ImportError::kNone) return e;
    }
    return ImportError::kNone;
}

// Lower case of an ASCII name, for comparing DLL names.
inline std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The imports that are not in `allowed` (lower-case names).
inline std::vector<std::string> ImportsOutside(const std::vector<std::string>& imports,
                                               const std::vector<std::string>& allowed)
{
    std::vector<std::string> out;
    for (const std::string& name : imports) {
        bool found = false;
        for (const std::string& a : allowed) found = found || Lower(name) == a;
        if (!found) out.push_back(name);
    }
    return out;
}

} // namespace pe

#endif
