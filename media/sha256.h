// SHA-256 (FIPS 180-4), for the media tool's package manifests.
#ifndef KELVRA_MEDIA_SHA256_H
#define KELVRA_MEDIA_SHA256_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class Sha256 {
public:
    using Digest = std::array<unsigned char, 32>;

    Sha256();
    void Update(const void* data, std::size_t n);
    // Ends the message; the object must not be updated afterwards.
    Digest Finish();

    static std::string Hex(const Digest& d);

private:
    void Block(const unsigned char* p);

    std::uint32_t state_[8];
    unsigned char pending_[64];
    std::size_t pendingSize_ = 0;
    std::uint64_t totalBytes_ = 0;
};

#endif
