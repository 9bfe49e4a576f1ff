// MD5 message digest (RFC 1321).
#ifndef KELVRA_MEDIA_MD5_H
#define KELVRA_MEDIA_MD5_H

#include <cstddef>
#include <cstdint>

// Construction starts a digest; Update feeds bytes; Final yields the 16-byte
// digest and leaves the context to be discarded (or Reset for a new one).
class MD5_CTX {
public:
    static constexpr std::size_t kDigestSize = 16;

    MD5_CTX() { Reset(); }

    void Reset();
    void Update(const void* data, std::size_t len);
    void Final(unsigned char out[kDigestSize]);

private:
    void Transform(const unsigned char block[64]);

    std::uint32_t state_[4];
    std::uint64_t bitCount_;     // message length in bits, modulo 2^64
    unsigned char buffer_[64];   // partial block
    std::size_t buffered_;       // bytes held in buffer_
};

#endif
