#include "media/digest.h"

#include <cstring>
#include <memory>

#include "base/file_owner.h"
#include "media/md5.h"
#include "media/stream64.h"

namespace {

constexpr std::size_t kChunkSize = 1024;

const char kFirstSalt[] = "kavudeno 15720846391";
const char kSecondSalt[] = "rafuli 15092736418";
constexpr std::size_t kFirstSaltSize = sizeof kFirstSalt - 1;   // no terminating zero
constexpr std::size_t kSecondSaltSize = sizeof kSecondSalt - 1;
constexpr std::size_t kThirdSaltSize = 12;
static_assert(kFirstSaltSize == 20 && kSecondSaltSize == 18, "salt lengths");

// The third salt never stands in the program as a whole: it is put together
// byte by byte in a block of its own, fed, and the block released.
void FeedThirdSalt(MD5_CTX& ctx)
{
    std::unique_ptr<unsigned char[]> salt(new unsigned char[kThirdSaltSize]);
    salt[0] = 0x3A;
    salt[1] = 0x91;
    salt[2] = 0x5C;
    salt[3] = 0x07;
    salt[4] = 0xE2;
    salt[5] = 0x4D;
    salt[6] = 0xB8;
    salt[7] = 0x16;
    salt[8] = 0x6F;
    salt[9] = 0xC3;
    salt[10] = 0x28;
    salt[11] = 0x9A;
    ctx.Update(salt.get(), kThirdSaltSize);
}

void FeedSalts(MD5_CTX& ctx)
{
    ctx.Update(kFirstSalt, kFirstSaltSize);
    ctx.Update(kSecondSalt, kSecondSaltSize);
    FeedThirdSalt(ctx);
}

} // namespace

bool DigestStreamBody(std::FILE* f, std::int64_t bodyLength, unsigned char digest[kStampSize])
{
    if (StreamSeek64(f, 0, SEEK_SET) != 0) return false;

    MD5_CTX ctx;
    unsigned char buffer[kChunkSize];
    std::int64_t position = 0;
    while (position < bodyLength) {
        if (std::ferror(f)) return false;
        const std::int64_t left = bodyLength - position;
        const std::size_t want = left < static_cast<std::int64_t>(kChunkSize)
                                     ? static_cast<std::size_t>(left)
                                     : kChunkSize;
        const std::size_t got = std::fread(buffer, 1, want, f);
        ctx.Update(buffer, got);
        // A short read means the file shrank or failed under us; going on
        // would spin forever at the same position.
        if (got != want) return false;
        position = StreamTell64(f);
        if (position < 0) return false;
    }
    FeedSalts(ctx);
    ctx.Final(digest);
    return !std::ferror(f);
}

DigestVerdict VerifyStreamDigest(std::FILE* f)
{
    const std::int64_t size = StreamSize64(f);
    if (size < 0) return DigestVerdict::kReadError;
    // The stamp of a shorter file would be cut off; never judge on bytes
    // that were not read.
    if (size < kMinStampedFileSize) return DigestVerdict::kTooShort;

    const std::int64_t bodyEnd = size - kTrailerSize;
    unsigned char computed[kStampSize];
    if (!DigestStreamBody(f, bodyEnd, computed)) return DigestVerdict::kReadError;

    const std::int64_t stampAt = (bodyEnd > 0 ? bodyEnd : 0) + kStampOffset;
    unsigned char stamp[kStampSize];
    if (StreamSeek64(f, stampAt, SEEK_SET) != 0) return DigestVerdict::kReadError;
    if (std::fread(stamp, 1, kStampSize, f) != kStampSize) return DigestVerdict::kReadError;

    return std::memcmp(stamp, computed, kStampSize) == 0 ? DigestVerdict::kAccepted
                                                         : DigestVerdict::kMismatch;
}

DigestVerdict VerifyFileDigest(const char* path)
{
    if (path == nullptr || path[0] == '\0') return DigestVerdict::kEmptyPath;

    FileOwner f(std::fopen(path, "rb"));
    if (!f) return DigestVerdict::kCannotOpen;
    return VerifyStreamDigest(f.get());
}

StampResult StampStream(std::FILE* f, StampMode mode, unsigned char digest[kStampSize])
{
    const std::int64_t size = StreamSize64(f);
    if (size < 0) return StampResult::kNoSize;
    const bool append = mode == StampMode::kAppend;
    if (!append && size < kTrailerSize) return StampResult::kTooShort;

    // In place the last 512 bytes are the trailer; appended, the whole file
    // becomes the body of a new one.
    const std::int64_t bodyLength = append ? size : size - kTrailerSize;
    if (!DigestStreamBody(f, bodyLength, digest)) return StampResult::kReadError;

    bool written;
    if (append) {
        unsigned char trailer[kTrailerSize] = {};
        std::memcpy(trailer + kStampOffset, digest, kStampSize);
        written = StreamSeek64(f, 0, SEEK_END) == 0 &&
                  std::fwrite(trailer, 1, sizeof trailer, f) == sizeof trailer;
    } else {
        written = StreamSeek64(f, bodyLength + kStampOffset, SEEK_SET) == 0 &&
                  std::fwrite(digest, 1, kStampSize, f) == kStampSize;
    }
    written = std::fflush(f) == 0 && written;
    return written ? StampResult::kStamped : StampResult::kWriteError;
}

bool CheckFileDigest(const char* path)
{
    return VerifyFileDigest(path) == DigestVerdict::kAccepted;
}

const char* DigestVerdictText(DigestVerdict v)
{
    switch (v) {
    case DigestVerdict::kAccepted: return "stamp matches the contents";
    case DigestVerdict::kEmptyPath: return "empty path";
    case DigestVerdict::kCannotOpen: return "cannot open the file";
    case DigestVerdict::kTooShort: return "file shorter than 174 bytes, stamp cannot be read whole";
    case DigestVerdict::kReadError: return "read error";
    case DigestVerdict::kMismatch: return "stamp does not match the contents";
    }
    return "unknown";
}
