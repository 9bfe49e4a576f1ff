// The runtime files of a medium as tests lay them out, written by hand: a
// 32-bit DLL whose only section, .rsrc, holds a version resource, and the
// manifest naming the assembly. What verify and assemble accept as the
// Visual C++ 2005 runtime.
#ifndef KELVRA_TESTS_COMMON_RUNTIME_FILES_H
#define KELVRA_TESTS_COMMON_RUNTIME_FILES_H

#include <cstdint>
#include <string>

namespace testbytes {

// Offsets of the fields the tests change.
constexpr std::size_t kDllMachineAt = 0x44;           // IMAGE_FILE_HEADER.Machine
constexpr std::size_t kDllCharacteristicsAt = 0x56;   // 0x2000: a DLL
constexpr std::size_t kDllResourceRvaAt = 0x58 + 112;  // data directory 2
constexpr std::size_t kDllVersionDataRvaAt = 0x248;   // the data entry of the version resource

// PE32, i386, a DLL; .rsrc at file offset 0x200, RVA 0x1000, with the tree
// type 16 / name 1 / language 0x409 and a VS_VERSIONINFO of file version
// a.b.c.d.
inline std::string RuntimeDll(std::uint16_t a = 8, std::uint16_t b = 0, std::uint16_t c = 50727, std::uint16_t d = 762)
{
    std::string pe(0x400, '\0');
    auto put = [&](std::size_t at, std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) pe[at + i] = static_cast<char>(v >> (8 * i));
    };
    pe[0] = 'M', pe[1] = 'Z';
    put(0x3C, 0x40, 4);
    pe.replace(0x40, 4, std::string("PE\0\0", 4));
    put(kDllMachineAt, 0x14C, 2), put(0x46, 1, 2), put(0x54, 0xE0, 2), put(kDllCharacteristicsAt, 0x2102, 2);
    const std::size_t o = 0x58, sec = o + 0xE0, r = 0x200;
    put(o, 0x10B, 2), put(o + 56, 0x2000, 4), put(o + 60, 0x200, 4), put(o + 92, 16, 4);
    put(kDllResourceRvaAt, 0x1000, 4), put(kDllResourceRvaAt + 4, 0x200, 4);
    pe.replace(sec, 5, ".rsrc");
    put(sec + 8, 0x200, 4), put(sec + 12, 0x1000, 4), put(sec + 16, 0x200, 4), put(sec + 20, r, 4);
    put(r + 14, 1, 2), put(r + 16, 16, 4), put(r + 20, 0x80000018, 4);          // type RT_VERSION
    put(r + 0x18 + 14, 1, 2), put(r + 0x28, 1, 4), put(r + 0x2C, 0x80000030, 4);  // name 1
    put(r + 0x30 + 14, 1, 2), put(r + 0x40, 0x409, 4), put(r + 0x44, 0x48, 4);   // language 0x409
    put(kDllVersionDataRvaAt, 0x1058, 4), put(kDllVersionDataRvaAt + 4, 92, 4);  // the data: RVA, size
    put(r + 0x58, 92, 2), put(r + 0x5A, 52, 2);                                 // VS_VERSIONINFO
    const std::string key = "VS_VERSION_INFO";
    for (std::size_t i = 0; i < key.size(); ++i) put(r + 0x5E + 2 * i, static_cast<unsigned char>(key[i]), 2);
    put(r + 0x80, 0xFEEF04BD, 4), put(r + 0x84, 0x10000, 4);                   // VS_FIXEDFILEINFO
    put(r + 0x88, static_cast<std::uint32_t>(a) << 16 | b, 4), put(r + 0x8C, static_cast<std::uint32_t>(c) << 16 | d, 4);
    return pe;
}

inline std::string RuntimeManifest(const std::string& version = "8.0.50727.762")
{
    return "<?xml version='1.0' encoding='UTF-8' standalone='yes'?>\r\n"
           "<assembly xmlns='urn:schemas-microsoft-com:asm.v1' manifestVersion='1.0'>\r\n"
           "  <assemblyIdentity type='win32' name='Microsoft.VC80.CRT' version='" + version +
           "' processorArchitecture='x86' publicKeyToken='1fc8b3b9a1e18e3b'/>\r\n"
           "  <file name='msvcr80.dll'/>\r\n  <file name='msvcp80.dll'/>\r\n</assembly>\r\n";
}

} // namespace testbytes

#endif
