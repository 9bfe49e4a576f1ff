// The import-list reader of the static-import check, on PE images laid out
// by hand byte by byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/e2e/pe_imports.h"

namespace {

using pe::ImportError;

// A 1 KiB PE32 image: headers at 0x80, one section ".idata" with RVA 0x1000
// at file offset 0x200 (0x200 bytes). Import descriptors at RVA 0x1000,
// delay-import descriptor at 0x1040, DLL names from 0x1100.
class Image {
public:
    explicit Image(std::uint32_t magic = 0x10B) : bytes_(0x400, '\0')
    {
        Str(0, "MZ");
        U32(0x3C, 0x80);
        Str(0x80, std::string("PE\0\0", 4));
        U16(0x84, 0x14C);                            // i386
        U16(0x86, 1);                                // one section
        const std::uint32_t optSize = magic == 0x10B ? 0xE0 : 0xF0;
        U16(0x94, optSize);
        U16(0x98, magic);
        const std::uint32_t count = 0x98 + (magic == 0x10B ? 92 : 108);
        U32(count, 16);
        dirs_ = count + 4;
        U32(dirs_ + 8, 0x1000);                      // import directory
        U32(dirs_ + 12, 60);
        const std::uint32_t sec = 0x98 + optSize;
        sectionAt_ = sec;
        Str(sec, ".idata");
        U32(sec + 8, 0x200);                         // virtual size
        U32(sec + 12, 0x1000);                       // RVA
        U32(sec + 16, 0x200);                        // raw size
        U32(sec + 20, 0x200);                        // raw offset
        U32(0x200 + 12, 0x1100);                     // descriptor 0: name
        U32(0x214 + 12, 0x1110);                     // descriptor 1: name
        Str(0x300, std::string("KERNEL32.dll\0", 13));
        Str(0x310, std::string("gdiplus.dll\0", 12));
    }

    void U16(std::uint32_t at, std::uint32_t v)
    {
        bytes_[at] = static_cast<char>(v & 0xFF);
        bytes_[at + 1] = static_cast<char>(v >> 8 & 0xFF);
    }
    void U32(std::uint32_t at, std::uint32_t v)
    {
        U16(at, v & 0xFFFF);
        U16(at + 2, v >> 16);
    }
    void Str(std::uint32_t at, const std::string& s) { bytes_.replace(at, s.size(), s); }

    std::uint32_t Dirs() const { return dirs_; }
    std::uint32_t Section() const { return sectionAt_; }
    std::string& Bytes() { return bytes_; }

private:
    std::string bytes_;
    std::uint32_t dirs_ = 0;
    std::uint32_t sectionAt_ = 0;
};

std::vector<std::string> Read(const std::string& file, ImportError expected)
{
    std::vector<std::string> out;
    EXPECT_EQ(pe::ImportedDlls(file, out), expected);
    return out;
}

TEST(PeImports, ListsTheImportDirectory)
{
    Image img;
    EXPECT_EQ(Read(img.Bytes(), ImportError::kNone), (std::vector<std::string>{"KERNEL32.dll", "gdiplus.dll"}));
}

TEST(PeImports, ListsDelayImportsAfterImports)
{
    Image img;
    img.U32(img.Dirs() + 13 * 8, 0x1040);            // delay-import directory
    img.U32(0x240 + 4, 0x1120);                      // its descriptor's name
    img.Str(0x320, std::string("uxtheme.dll\0", 12));
    EXPECT_EQ(Read(img.Bytes(), ImportError::kNone),
              (std::vector<std::string>{"KERNEL32.dll", "gdiplus.dll", "uxtheme.dll"}));
}

TEST(PeImports, ReadsPe32Plus)
{
    Image img(0x20B);
    EXPECT_EQ(Read(img.Bytes(), ImportError::kNone), (std::vector<std::string>{"KERNEL32.dll", "gdiplus.dll"}));
}

TEST(PeImports, NoImportDirectoryListsNothing)
{
    Image img;
    img.U32(img.Dirs() + 8, 0);
    EXPECT_TRUE(Read(img.Bytes(), ImportError::kNone).empty());
}

TEST(PeImports, RefusesBrokenImages)
{
    struct Case {
        const char* what;
        void (*damage)(Image&);
        ImportError error;
    };
    const Case kCases[] = {
        {"no MZ", [](Image& i) { i.Str(0, "ZM"); }, ImportError::kNotMz},
        {"empty file", [](Image& i) { i.Bytes().clear(); }, ImportError::kNotMz},
        {"cut in the DOS header", [](Image& i) { i.Bytes().resize(0x3E); }, ImportError::kNoPeHeader},
        {"e_lfanew near 4 GiB", [](Image& i) { i.U32(0x3C, 0xFFFFFFFE); }, ImportError::kNoPeHeader},
        {"signature cut by the end", [](Image& i) { i.U32(0x3C, 0x3FE); }, ImportError::kNoPeHeader},
        {"no PE signature", [](Image& i) { i.Str(0x80, "NE"); }, ImportError::kNoPeHeader},
        {"unknown magic", [](Image& i) { i.U16(0x98, 0x107); }, ImportError::kBadOptionalHeader},
        {"directory count too big", [](Image& i) { i.U32(i.Dirs() - 4, 0xFFFFFFFF); },
         ImportError::kBadOptionalHeader},
        {"optional header too short", [](Image& i) { i.U16(0x94, 0x40); }, ImportError::kBadOptionalHeader},
        {"section table past the end", [](Image& i) { i.U16(0x86, 0xFFFF); }, ImportError::kBadSections},
        {"imports in no section", [](Image& i) { i.U32(i.Dirs() + 8, 0x5000); }, ImportError::kBadDirectory},
        {"section data beyond the file", [](Image& i) { i.U32(i.Section() + 20, 0xFFFFFFF0); },
         ImportError::kBadDirectory},
        {"name in no section", [](Image& i) { i.U32(0x214 + 12, 0x9000); }, ImportError::kBadDirectory},
        // One whole descriptor in the section's last 20 bytes, no terminator.
        {"descriptors run off the section",
         [](Image& i) {
             i.U32(i.Dirs() + 8, 0x11EC);
             i.U32(0x3EC + 12, 0x1100);
         },
         ImportError::kUnterminated},
        {"descriptor cut by the end of the file",
         [](Image& i) {
             i.U32(i.Dirs() + 8, 0x11EC);
             i.Bytes().resize(0x3F8);
         },
         ImportError::kUnterminated},
        {"name without terminator",
         [](Image& i) {
             i.U32(0x214 + 12, 0x11F8);
             i.Str(0x3F8, "ABCDEFGH");
         },
         ImportError::kUnterminated},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        Image img;
        c.damage(img);
        Read(img.Bytes(), c.error);
    }
}

TEST(PeImports, ImportsOutsideTheAllowedSet)
{
    const std::vector<std::string> allowed = {"kernel32.dll", "user32.dll"};
    EXPECT_EQ(pe::ImportsOutside({"KERNEL32.dll", "gdiplus.dll", "User32.DLL", "VERSION.dll"}, allowed),
              (std::vector<std::string>{"gdiplus.dll", "VERSION.dll"}));
    EXPECT_TRUE(pe::ImportsOutside({"kernel32.DLL"}, allowed).empty());
    // A name is compared whole, not as a prefix.
    EXPECT_EQ(pe::ImportsOutside({"kernel32.dll.evil"}, allowed), (std::vector<std::string>{"kernel32.dll.evil"}));
}

} // namespace
