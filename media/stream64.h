// 64-bit positions on C streams: files past 2 GiB on both the native build and
// 32-bit Windows, where long is 32 bits.
#ifndef KELVRA_MEDIA_STREAM64_H
#define KELVRA_MEDIA_STREAM64_H

#include <cstdint>
#include <cstdio>

#if !defined(_WIN32)
#include <sys/types.h>
static_assert(sizeof(off_t) >= 8, "build with 64-bit file offsets");
#endif

// Returns 0 on success, like fseek.
inline int StreamSeek64(std::FILE* f, std::int64_t offset, int whence)
{
#if defined(_WIN32)
    return _fseeki64(f, offset, whence);
#else
    return fseeko(f, static_cast<off_t>(offset), whence);
#endif
}

// Returns -1 on failure, like ftell.
inline std::int64_t StreamTell64(std::FILE* f)
{
#if defined(_WIN32)
    return _ftelli64(f);
#else
    return static_cast<std::int64_t>(ftello(f));
#endif
}

// Size of a seekable stream; leaves the position at the end. -1 on failure.
inline std::int64_t StreamSize64(std::FILE* f)
{
    if (StreamSeek64(f, 0, SEEK_END) != 0) return -1;
    return StreamTell64(f);
}

#endif
