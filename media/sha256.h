// SHA-256 (FIPS 180-4), for the media tool's package manifests and checksums.
#ifndef KELVRA_MEDIA_SHA256_H
#define KELVRA_MEDIA_SHA256_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class Sha256 {
public:
    using Digest = std::array<unsigned char, 32>;

    // kPortable is plain C++ for every CPU; kShaExtensions uses the x86 SHA
    // instructions, several times faster, where the CPU has them.
    enum class Engine { kPortable, kShaExtensions };

    Sha256();
    void Update(const void* data, std::size_t n);
    // Ends the message; the object must not be updated afterwards.
    Digest Finish();

    static std::string Hex(const Digest& d);

    // The engine every Sha256 uses; the fastest this CPU has unless chosen.
    static Engine ActiveEngine();
    // Chooses the engine (tests compare the two); false, changing nothing,
    // when this CPU or build lacks it.
    static bool UseEngine(Engine e);

private:
    void Blocks(const unsigned char* p, std::size_t count);

    std::uint32_t state_[8];
    unsigned char pending_[64];
    std::size_t pendingSize_ = 0;
    std::uint64_t totalBytes_ = 0;
};

#endif
