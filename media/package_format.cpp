#include "media/package_format.h"

#include <cstring>

bool PackageSizeFits(std::uint64_t size)
{
    return size <= static_cast<std::uint64_t>(kMaxPackageSize);
}

std::uint32_t DecodeU32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void EncodeU32(std::uint32_t value, unsigned char* p)
{
    p[0] = static_cast<unsigned char>(value);
    p[1] = static_cast<unsigned char>(value >> 8);
    p[2] = static_cast<unsigned char>(value >> 16);
    p[3] = static_cast<unsigned char>(value >> 24);
}

std::string EncodeRecordHeader(const std::string& name, std::uint32_t dataSize)
{
    unsigned char field[kLengthFieldSize];
    std::string out;
    out.reserve(kRecordFixedSize + name.size());
    EncodeU32(static_cast<std::uint32_t>(name.size()), field);
    out.append(reinterpret_cast<const char*>(field), sizeof field);
    out += name;
    EncodeU32(dataSize, field);
    out.append(reinterpret_cast<const char*>(field), sizeof field);
    return out;
}

std::size_t MemorySource::Read(unsigned char* dst, std::size_t n)
{
    const std::size_t left = size_ - offset_;
    if (n > left) n = left;
    if (n) std::memcpy(dst, data_ + offset_, n);
    offset_ += n;
    return n;
}

const char* DescribePackageError(PackageError e)
{
    switch (e) {
    case PackageError::kNone: return "no error";
    case PackageError::kShortNameLength: return "the package ends inside a record's name length";
    case PackageError::kNameTooLong: return "a record's name length is 260 or more";
    case PackageError::kShortName: return "the package ends inside a record's name";
    case PackageError::kShortDataSize: return "the package ends inside a record's data size";
    case PackageError::kNegativeDataSize: return "a record's data size is negative";
    case PackageError::kShortData: return "the package ends inside a record's data";
    }
    return "unknown error";
}

// Reads up to n bytes (n never exceeds what is left) and counts what came.
std::size_t PackageReader::Take(unsigned char* dst, std::size_t n)
{
    const std::size_t got = n ? source_.Read(dst, n) : 0;
    consumed_ += static_cast<std::uint32_t>(got);
    return got;
}

PackageError PackageReader::ReadName(unsigned char* buffer, std::uint32_t& nameLength,
                                     std::uint32_t& nameRead)
{
    std::memset(buffer, 0, kTransferBufferSize);
    recordOffset_ = consumed_;
    dataLeft_ = 0;
    nameLength = 0;
    nameRead = 0;

    unsigned char field[kLengthFieldSize];
    if (kLengthFieldSize > Left()) return PackageError::kShortNameLength;
    if (Take(field, sizeof field) != sizeof field) return PackageError::kShortNameLength;
    nameLength = DecodeU32(field);
    if (nameLength > kMaxNameLength) return PackageError::kNameTooLong;

    const bool whole = nameLength <= Left();
    const std::uint32_t want = whole ? nameLength : Left();
    nameRead = static_cast<std::uint32_t>(Take(buffer, want));
    if (!whole || nameRead != nameLength) return PackageError::kShortName;
    return PackageError::kNone;
}

PackageError PackageReader::ReadDataSize(std::int32_t& dataSize)
{
    dataSize = 0;
    unsigned char field[kLengthFieldSize];
    if (kLengthFieldSize > Left()) return PackageError::kShortDataSize;
    if (Take(field, sizeof field) != sizeof field) return PackageError::kShortDataSize;
    const std::uint32_t raw = DecodeU32(field);
    if (raw > static_cast<std::uint32_t>(kMaxDataSize)) {
        dataSize = -static_cast<std::int32_t>(~raw) - 1;   // two's complement, no overflow
        return PackageError::kNegativeDataSize;
    }
    dataSize = static_cast<std::int32_t>(raw);
    if (raw > Left()) return PackageError::kShortData;
    dataLeft_ = raw;
    return PackageError::kNone;
}

PackageError PackageReader::ReadChunk(unsigned char* buffer, std::size_t& got)
{
    got = 0;
    if (dataLeft_ == 0) return PackageError::kNone;
    const std::size_t want = dataLeft_ < kTransferBufferSize ? dataLeft_ : kTransferBufferSize;
    got = Take(buffer, want);
    dataLeft_ -= static_cast<std::uint32_t>(got);
    if (got != want) {
        dataLeft_ = 0;
        return PackageError::kShortData;
    }
    return PackageError::kNone;
}
