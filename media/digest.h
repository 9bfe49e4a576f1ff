// Digest stamps: a stamped file carries, in its last 512 bytes (the trailer),
// at trailer offset 158, the MD5 of everything before the trailer followed by
// three fixed salts. Setup shows the splash picture only when the stamp holds.
#ifndef KELVRA_MEDIA_DIGEST_H
#define KELVRA_MEDIA_DIGEST_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

constexpr std::int64_t kTrailerSize = 512;
constexpr std::int64_t kStampOffset = 158;   // within the trailer
constexpr std::size_t kStampSize = 16;
// Shortest file whose stamp can be read whole (a shorter one has an empty
// body and a stamp at file offsets 158..173 that is cut off).
constexpr std::int64_t kMinStampedFileSize = kStampOffset + static_cast<std::int64_t>(kStampSize);

enum class DigestVerdict {
    kAccepted,
    kEmptyPath,
    kCannotOpen,
    kTooShort,     // fewer than kMinStampedFileSize bytes
    kReadError,    // seek or read failed, or the file ended early
    kMismatch,     // stamp differs from the computed digest
};

// The full answer, for the media tool's messages.
DigestVerdict VerifyFileDigest(const char* path);

// The same check on a stream already open for reading, whatever its
// position (a file the media tool opened by a wide path). kEmptyPath and
// kCannotOpen never come from here.
DigestVerdict VerifyStreamDigest(std::FILE* f);

// True only when the file can be read and its stamp equals the computed
// digest in all 16 bytes. Never throws, never reports.
bool CheckFileDigest(const char* path);

// Short English reason for a verdict, for messages.
const char* DigestVerdictText(DigestVerdict v);

// Digest of the first `bodyLength` bytes of `f` followed by the salts. Reads
// from offset 0 strictly forwards in 1024-byte chunks through one buffer.
// False on a seek or read error, or when the stream ends before bodyLength
// bytes. A bodyLength of 0 or less digests the salts alone. On success the
// stream stands right after the body (or at 0 for an empty body).
bool DigestStreamBody(std::FILE* f, std::int64_t bodyLength, unsigned char digest[kStampSize]);

// Writing a stamp into a stream open for reading and writing ("r+b").
enum class StampMode {
    kInPlace,   // into the last 512 bytes; the file keeps its size
    kAppend,    // a zero trailer holding the stamp of the whole file is added
};
enum class StampResult {
    kStamped,
    kNoSize,       // the stream's size cannot be taken
    kTooShort,     // in place, but fewer than 512 bytes
    kReadError,
    kWriteError,   // errno tells why
};
// Computes and writes the stamp with 64-bit positions, flushes, and hands
// the digest back. The stream stays open; a caller that closes it must
// still check the close.
StampResult StampStream(std::FILE* f, StampMode mode, unsigned char digest[kStampSize]);

#endif
