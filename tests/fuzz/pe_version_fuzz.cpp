// The version-resource reader of the runtime DLLs. Over arbitrary bytes it
// never reads out of bounds, and a version it reports was in the input
// beside the VS_FIXEDFILEINFO signature. Over a DLL laid out here by hand,
// with the version and the padding after the headers taken from the input,
// it reports exactly the version written.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/mediatool/pe_version.h"
#include "tools/mediatool/runtime_check.h"

namespace {

void Check(bool ok)
{
    if (!ok) std::abort();
}

void Put(std::string& pe, std::size_t at, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i) pe[at + i] = static_cast<char>(v >> (8 * i));
}

// A PE32 DLL: headers, one .rsrc section at file 0x200 / RVA 0x1000 with
// the tree type 16 / name 1 / language 0x409 and a VS_VERSIONINFO.
std::string HandLaidDll(std::uint32_t ms, std::uint32_t ls)
{
    std::string pe(0x400, '\0');
    pe[0] = 'M', pe[1] = 'Z';
    Put(pe, 0x3C, 0x40, 4);
    pe.replace(0x40, 4, std::string("PE\0\0", 4));
    Put(pe, 0x44, 0x14C, 2), Put(pe, 0x46, 1, 2), Put(pe, 0x54, 0xE0, 2), Put(pe, 0x56, 0x2102, 2);
    const std::size_t o = 0x58, sec = o + 0xE0, r = 0x200;
    Put(pe, o, 0x10B, 2), Put(pe, o + 92, 16, 4), Put(pe, o + 112, 0x1000, 4), Put(pe, o + 116, 0x200, 4);
    Put(pe, sec + 8, 0x200, 4), Put(pe, sec + 12, 0x1000, 4), Put(pe, sec + 16, 0x200, 4), Put(pe, sec + 20, r, 4);
    Put(pe, r + 14, 1, 2), Put(pe, r + 16, 16, 4), Put(pe, r + 20, 0x80000018, 4);
    Put(pe, r + 0x18 + 14, 1, 2), Put(pe, r + 0x28, 1, 4), Put(pe, r + 0x2C, 0x80000030, 4);
    Put(pe, r + 0x30 + 14, 1, 2), Put(pe, r + 0x40, 0x409, 4), Put(pe, r + 0x44, 0x48, 4);
    Put(pe, r + 0x48, 0x1058, 4), Put(pe, r + 0x4C, 92, 4);
    Put(pe, r + 0x58, 92, 2), Put(pe, r + 0x5A, 52, 2);
    const char key[] = "VS_VERSION_INFO";
    for (std::size_t i = 0; i < sizeof key - 1; ++i) Put(pe, r + 0x5E + 2 * i, static_cast<unsigned char>(key[i]), 2);
    Put(pe, r + 0x80, 0xFEEF04BD, 4), Put(pe, r + 0x88, ms, 4), Put(pe, r + 0x8C, ls, 4);
    return pe;
}

std::uint32_t Le32(const std::uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    PeImageFacts facts;
    const PeReadError e = ReadPeImage(data, size, facts);
    if (e == PeReadError::kNone && facts.hasVersion) {
        const std::string bytes(reinterpret_cast<const char*>(data), size);
        Check(bytes.find("\xBD\x04\xEF\xFE") != std::string::npos);
    }
    runtime::CheckDll(std::string(reinterpret_cast<const char*>(data), size));
    runtime::CheckManifest(std::string(reinterpret_cast<const char*>(data), size));

    if (size < 8) return 0;
    const std::uint32_t ms = Le32(data), ls = Le32(data + 4);
    std::string dll = HandLaidDll(ms, ls);
    // Bytes between the section table and the section change nothing.
    for (std::size_t i = 8; i < size && i - 8 < 0x200 - 0x160; ++i) dll[0x160 + i - 8] = static_cast<char>(data[i]);
    Check(ReadPeImage(reinterpret_cast<const unsigned char*>(dll.data()), dll.size(), facts) == PeReadError::kNone);
    Check(facts.hasVersion && facts.machine == 0x14C && (facts.characteristics & 0x2000));
    Check(facts.fileVersion[0] == ms >> 16 && facts.fileVersion[1] == (ms & 0xFFFF));
    Check(facts.fileVersion[2] == ls >> 16 && facts.fileVersion[3] == (ls & 0xFFFF));
    Check(runtime::CheckDll(dll).empty() == (VersionText(facts.fileVersion) == "8.0.50727.762"));
    return 0;
}
