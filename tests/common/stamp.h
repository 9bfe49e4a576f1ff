// Digest stamps built by hand for tests, apart from media/digest.cpp: MD5
// (media/md5.h, held to the RFC 1321 vectors by md5_test) over the body and
// the three salts spelled out again here, the stamp at trailer offset 158.
#ifndef KELVRA_TESTS_COMMON_STAMP_H
#define KELVRA_TESTS_COMMON_STAMP_H

#include <cstddef>
#include <string>

#include "media/md5.h"

namespace teststamp {

inline std::string Salts()
{
    return std::string("kavudeno 15720846391") + "rafuli 15092736418" +
           std::string("\x3A\x91\x5C\x07\xE2\x4D\xB8\x16\x6F\xC3\x28\x9A", 12);
}

// The 16 stamp bytes for `body`.
inline std::string StampOf(const std::string& body)
{
    const std::string all = body + Salts();
    MD5_CTX ctx;
    ctx.Update(all.data(), all.size());
    unsigned char d[16];
    ctx.Final(d);
    return std::string(reinterpret_cast<const char*>(d), sizeof d);
}

// `body`, then a 512-byte trailer of `filler` holding the stamp at 158.
inline std::string Stamped(const std::string& body, char filler = '\0')
{
    std::string trailer(512, filler);
    trailer.replace(158, 16, StampOf(body));
    return body + trailer;
}

// `n` bytes (174 to 512) of `filler` with a valid stamp: the body is empty,
// the stamp that of the salts alone.
inline std::string ShortStamped(std::size_t n, char filler = '\0')
{
    std::string b(n, filler);
    b.replace(158, 16, StampOf(std::string()));
    return b;
}

// Setup's rule, restated: at least 174 bytes, and the 16 bytes at 158 past
// the start of the last 512 (or of the file) equal the stamp of the bytes
// before the last 512.
inline bool ShouldAccept(const std::string& file)
{
    if (file.size() < 174) return false;
    const std::size_t bodyEnd = file.size() > 512 ? file.size() - 512 : 0;
    return file.compare(bodyEnd + 158, 16, StampOf(file.substr(0, bodyEnd))) == 0;
}

} // namespace teststamp

#endif
