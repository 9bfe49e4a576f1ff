// The version resource of a Windows DLL or program, read from its bytes:
// the image's headers, the section table, the resource tree down to
// RT_VERSION, and VS_FIXEDFILEINFO. Every offset and size comes from the
// file and is checked before it is used; the first failed read sticks.
#ifndef KELVRA_MEDIATOOL_PE_VERSION_H
#define KELVRA_MEDIATOOL_PE_VERSION_H

#include <cstddef>
#include <cstdint>
#include <string>

struct PeImageFacts {
    std::uint32_t machine = 0;           // 0x14C: i386
    std::uint32_t magic = 0;             // 0x10B: PE32
    std::uint32_t characteristics = 0;   // 0x2000: a DLL
    bool hasVersion = false;
    std::uint16_t fileVersion[4] = {};   // "8.0.50727.762" is {8, 0, 50727, 762}
};

enum class PeReadError {
    kNone,
    kNotPe,            // no MZ or PE signature
    kHeadersCut,       // a header or the section table runs past the end
    kResourcesBroken,  // the resource tree points outside the file or its sections
    kVersionBroken,    // VS_VERSIONINFO or VS_FIXEDFILEINFO malformed
};

const char* DescribePeReadError(PeReadError e);

// Reads what the image says of itself. kNone with hasVersion false when it
// has no version resource.
PeReadError ReadPeImage(const unsigned char* data, std::size_t size, PeImageFacts& facts);

// "8.0.50727.762"
std::string VersionText(const std::uint16_t v[4]);

#endif
