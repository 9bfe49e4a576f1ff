// CheckFileDigest over arbitrary files: never crashes, refuses files under
// 174 bytes, and accepts exactly when the stamp equals an MD5 of the body
// and salts computed here apart from the reader. The input is then stamped
// and must pass, and with one stamp byte changed must not.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "media/digest.h"
#include "media/md5.h"

namespace {

const std::string& Path()
{
    static const std::string path = "/tmp/kelvra_digest_fuzz_" + std::to_string(getpid()) + ".bin";
    return path;
}

void WriteFile(const std::vector<std::uint8_t>& data)
{
    std::FILE* f = std::fopen(Path().c_str(), "wb");
    if (!f) std::abort();
    if (!data.empty() && std::fwrite(data.data(), 1, data.size(), f) != data.size()) std::abort();
    if (std::fclose(f) != 0) std::abort();
}

void ExpectedDigest(const std::vector<std::uint8_t>& file, unsigned char out[16])
{
    MD5_CTX ctx;
    if (file.size() > 512) ctx.Update(file.data(), file.size() - 512);
    ctx.Update("kavudeno 15720846391", 20);
    ctx.Update("rafuli 15092736418", 18);
    unsigned char third[12];
    third[0] = 0x3A;
    third[1] = 0x91;
    third[2] = 0x5C;
    third[3] = 0x07;
    third[4] = 0xE2;
    third[5] = 0x4D;
    third[6] = 0xB8;
    third[7] = 0x16;
    third[8] = 0x6F;
    third[9] = 0xC3;
    third[10] = 0x28;
    third[11] = 0x9A;
    ctx.Update(third, sizeof third);
    ctx.Final(out);
}

std::size_t StampAt(std::size_t size) { return (size > 512 ? size - 512 : 0) + 158; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> file(data, data + size);
    WriteFile(file);
    const DigestVerdict v = VerifyFileDigest(Path().c_str());

    if (size < 174) {
        std::remove(Path().c_str());
        if (v != DigestVerdict::kTooShort) std::abort();
        return 0;
    }
    unsigned char digest[16];
    ExpectedDigest(file, digest);
    const bool match = std::memcmp(file.data() + StampAt(size), digest, 16) == 0;
    if (v != (match ? DigestVerdict::kAccepted : DigestVerdict::kMismatch)) std::abort();

    std::memcpy(file.data() + StampAt(size), digest, 16);
    WriteFile(file);
    if (!CheckFileDigest(Path().c_str())) std::abort();

    file[StampAt(size) + data[0] % 16] ^= static_cast<std::uint8_t>(1 + data[1] % 255);
    WriteFile(file);
    if (CheckFileDigest(Path().c_str())) std::abort();
    std::remove(Path().c_str());
    return 0;
}
