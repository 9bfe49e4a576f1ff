#include "media/sha256.h"

#include "base/ascii_text.h"

#include <cstring>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace {

const std::uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

std::uint32_t Rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

void PortableBlocks(std::uint32_t* state, const unsigned char* p, std::size_t count)
{
    for (; count > 0; --count, p += 64) {
        std::uint32_t w[64];
        for (int i = 0; i < 16; ++i)
            w[i] = static_cast<std::uint32_t>(p[4 * i]) << 24 | static_cast<std::uint32_t>(p[4 * i + 1]) << 16 |
                   static_cast<std::uint32_t>(p[4 * i + 2]) << 8 | p[4 * i + 3];
        for (int i = 16; i < 64; ++i) {
            const std::uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const std::uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
        for (int i = 0; i < 64; ++i) {
            const std::uint32_t t1 = h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) +
                                     kRound[i] + w[i];
            const std::uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
    }
}

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define KELVRA_SHA_EXTENSIONS 1

// The SHA extensions keep the state as two registers, ABEF and CDGH, and do
// two rounds per sha256rnds2; sha256msg1/msg2 extend the message schedule.
__attribute__((target("sha,sse4.1"))) void ShaExtBlocks(std::uint32_t* state, const unsigned char* p,
                                                         std::size_t count)
{
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    __m128i tmp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));          // DCBA
    __m128i state1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));   // HGFE
    tmp = _mm_shuffle_epi32(tmp, 0xB1);                                               // CDAB
    state1 = _mm_shuffle_epi32(state1, 0x1B);                                         // EFGH
    __m128i state0 = _mm_alignr_epi8(tmp, state1, 8);                                 // ABEF
    state1 = _mm_blend_epi16(state1, tmp, 0xF0);                                      // CDGH

    for (; count > 0; --count, p += 64) {
        const __m128i abefSave = state0, cdghSave = state1;
        __m128i m[4];
        for (int i = 0; i < 4; ++i)
            m[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i)), byteSwap);
        // 16 groups of four rounds; m[i & 3] holds the schedule words 4i..4i+3.
        for (int i = 0; i < 16; ++i) {
            __m128i msg = _mm_add_epi32(m[i & 3], _mm_loadu_si128(reinterpret_cast<const __m128i*>(kRound + 4 * i)));
            state1 = _mm_sha256rnds2_epu32(state1, state0, msg);
            msg = _mm_shuffle_epi32(msg, 0x0E);
            state0 = _mm_sha256rnds2_epu32(state0, state1, msg);
            // The next group's words, from the four groups before it.
            if (i >= 3 && i <= 14) {
                __m128i& next = m[(i + 1) & 3];
                next = _mm_add_epi32(next, _mm_alignr_epi8(m[i & 3], m[(i - 1) & 3], 4));
                next = _mm_sha256msg2_epu32(next, m[i & 3]);
            }
            // First half of the group three ahead.
            if (i >= 1 && i <= 12) m[(i - 1) & 3] = _mm_sha256msg1_epu32(m[(i - 1) & 3], m[i & 3]);
        }
        state0 = _mm_add_epi32(state0, abefSave);
        state1 = _mm_add_epi32(state1, cdghSave);
    }

    tmp = _mm_shuffle_epi32(state0, 0x1B);        // FEBA
    state1 = _mm_shuffle_epi32(state1, 0xB1);     // DCHG
    state0 = _mm_blend_epi16(tmp, state1, 0xF0);  // DCBA
    state1 = _mm_alignr_epi8(state1, tmp, 8);     // ABEF -> HGFE
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), state0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), state1);
}

bool CpuHasShaExtensions()
{
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    const bool ssse3 = (c & (1u << 9)) != 0, sse41 = (c & (1u << 19)) != 0;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    return ssse3 && sse41 && (b & (1u << 29)) != 0;
}
#else
bool CpuHasShaExtensions() { return false; }
#endif

Sha256::Engine g_engine = CpuHasShaExtensions() ? Sha256::Engine::kShaExtensions : Sha256::Engine::kPortable;

} // namespace

Sha256::Sha256()
    : state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab,
             0x5be0cd19},
      pending_{}
{
}

Sha256::Engine Sha256::ActiveEngine() { return g_engine; }

bool Sha256::UseEngine(Engine e)
{
    if (e == Engine::kShaExtensions && !CpuHasShaExtensions()) return false;
    g_engine = e;
    return true;
}

void Sha256::Blocks(const unsigned char* p, std::size_t count)
{
#ifdef KELVRA_SHA_EXTENSIONS
    if (g_engine == Engine::kShaExtensions) {
        ShaExtBlocks(state_, p, count);
        return;
    }
#endif
    PortableBlocks(state_, p, count);
}

void Sha256::Update(const void* data, std::size_t n)
{
    const unsigned char* p = static_cast<const unsigned char*>(data);
    totalBytes_ += n;
    if (pendingSize_) {
        const std::size_t take = n < 64 - pendingSize_ ? n : 64 - pendingSize_;
        std::memcpy(pending_ + pendingSize_, p, take);
        pendingSize_ += take;
        p += take;
        n -= take;
        if (pendingSize_ < 64) return;
        Blocks(pending_, 1);
        pendingSize_ = 0;
    }
    if (n >= 64) Blocks(p, n / 64);
    p += n / 64 * 64;
    n %= 64;
    if (n) std::memcpy(pending_, p, n);
    pendingSize_ = n;
}

Sha256::Digest Sha256::Finish()
{
    const std::uint64_t bits = totalBytes_ * 8;
    const unsigned char one = 0x80;
    Update(&one, 1);
    const unsigned char zero = 0;
    while (pendingSize_ != 56) Update(&zero, 1);
    unsigned char length[8];
    for (int i = 0; i < 8; ++i) length[i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
    Update(length, 8);
    Digest d;
    for (int i = 0; i < 8; ++i) {
        d[4 * i] = static_cast<unsigned char>(state_[i] >> 24);
        d[4 * i + 1] = static_cast<unsigned char>(state_[i] >> 16);
        d[4 * i + 2] = static_cast<unsigned char>(state_[i] >> 8);
        d[4 * i + 3] = static_cast<unsigned char>(state_[i]);
    }
    return d;
}

std::string Sha256::Hex(const Digest& d) { return HexOf(d.data(), d.size()); }
