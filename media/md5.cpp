#include "media/md5.h"

#include <cstring>

namespace {

inline std::uint32_t Rotl(std::uint32_t x, unsigned n) { return (x << n) | (x >> (32 - n)); }

inline std::uint32_t LoadLe32(const unsigned char* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

inline void StoreLe32(unsigned char* p, std::uint32_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

// Per-step shift amounts, four per round.
const unsigned kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

// T[i] = floor(2^32 * |sin(i + 1)|), RFC 1321 section 3.4.
const std::uint32_t kT[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

} // namespace

void MD5_CTX::Reset()
{
    state_[0] = 0x67452301;
    state_[1] = 0xefcdab89;
    state_[2] = 0x98badcfe;
    state_[3] = 0x10325476;
    bitCount_ = 0;
    buffered_ = 0;
}

void MD5_CTX::Transform(const unsigned char block[64])
{
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = LoadLe32(block + 4 * i);

    std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    for (unsigned i = 0; i < 64; ++i) {
        std::uint32_t f;
        unsigned k;
        switch (i / 16) {
        case 0: f = (b & c) | (~b & d); k = i; break;
        case 1: f = (b & d) | (c & ~d); k = (5 * i + 1) % 16; break;
        case 2: f = b ^ c ^ d;          k = (3 * i + 5) % 16; break;
        default: f = c ^ (b | ~d);      k = (7 * i) % 16; break;
        }
        const std::uint32_t t = d;
        d = c;
        c = b;
        b = b + Rotl(a + f + kT[i] + x[k], kShift[i / 16][i % 4]);
        a = t;
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
}

void MD5_CTX::Update(const void* data, std::size_t len)
{
    if (len == 0) return;
    const unsigned char* p = static_cast<const unsigned char*>(data);
    bitCount_ += static_cast<std::uint64_t>(len) << 3;

    if (buffered_ > 0) {
        const std::size_t take = len < 64 - buffered_ ? len : 64 - buffered_;
        std::memcpy(buffer_ + buffered_, p, take);
        buffered_ += take;
        p += take;
        len -= take;
        if (buffered_ < 64) return;
        Transform(buffer_);
        buffered_ = 0;
    }
    for (; len >= 64; p += 64, len -= 64) Transform(p);
    if (len > 0) {
        std::memcpy(buffer_, p, len);
        buffered_ = len;
    }
}

void MD5_CTX::Final(unsigned char out[kDigestSize])
{
    unsigned char lengthLe[8];
    for (int i = 0; i < 8; ++i) lengthLe[i] = static_cast<unsigned char>(bitCount_ >> (8 * i));

    // Pad with 0x80 then zeros up to 56 mod 64, then the 64-bit length.
    static const unsigned char kPad[64] = {0x80};
    const std::size_t padLen = buffered_ < 56 ? 56 - buffered_ : 120 - buffered_;
    Update(kPad, padLen);
    Update(lengthLe, 8);

    for (int i = 0; i < 4; ++i) StoreLe32(out + 4 * i, state_[i]);
    std::memset(buffer_, 0, sizeof buffer_);
}
