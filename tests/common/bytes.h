// Bytes written out by hand for tests, independent of the code under test:
// the package's little-endian fields and records, hex digests, and the
// byte pattern that the expected digests were computed over.
#ifndef KELVRA_TESTS_COMMON_BYTES_H
#define KELVRA_TESTS_COMMON_BYTES_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace testbytes {

using Bytes = std::vector<unsigned char>;

inline std::string U32(std::uint32_t v)
{
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
            static_cast<char>((v >> 16) & 0xFF), static_cast<char>((v >> 24) & 0xFF)};
}

// One package record: name length, name, data size, data.
inline std::string Record(const std::string& name, const std::string& data)
{
    return U32(static_cast<std::uint32_t>(name.size())) + name + U32(static_cast<std::uint32_t>(data.size())) +
           data;
}

inline Bytes FromHex(const char* hex)
{
    Bytes out;
    for (std::size_t i = 0; hex[i] && hex[i + 1]; i += 2) {
        unsigned v = 0;
        std::sscanf(hex + i, "%2x", &v);
        out.push_back(static_cast<unsigned char>(v));
    }
    return out;
}

// bytes((i*7+3)%256 for i in range(n)), as the expected digests were made.
inline Bytes Pattern(std::size_t n)
{
    Bytes v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<unsigned char>((i * 7 + 3) % 256);
    return v;
}

} // namespace testbytes

#endif
