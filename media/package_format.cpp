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
std::size_t PackageWalker::Take(unsigned char* dst, std::size_t n)
{
    const std::size_t got = n ? source_.Read(dst, n) : 0;
    consumed_ += static_cast<std::uint32_t>(got);
    return got;
}

bool PackageWalker::Fail(PackageError e)
{
    error_ = e;
    dataLeft_ = 0;
    return false;
}

bool PackageWalker::TakeField(std::uint32_t& value, PackageError shortError)
{
    unsigned char field[kLengthFieldSize];
    if (kLengthFieldSize > Left() || Take(field, sizeof field) != sizeof field) return Fail(shortError);
    value = DecodeU32(field);
    return true;
}

bool PackageWalker::NextRecord()
{
    unsigned char buffer[kTransferBufferSize];
    while (dataLeft_ > 0 && ReadChunk(buffer) > 0) {
    }
    if (error_ != PackageError::kNone || consumed_ >= size_) return false;

    record_ = PackageRecord();
    record_.offset = consumed_;
    if (!TakeField(record_.nameLength, PackageError::kShortNameLength)) return false;
    if (record_.nameLength > kMaxNameLength) return Fail(PackageError::kNameTooLong);

    const bool whole = record_.nameLength <= Left();
    const std::size_t want = whole ? record_.nameLength : Left();
    const std::size_t got = Take(buffer, want);
    record_.rawName.assign(reinterpret_cast<const char*>(buffer), got);
    record_.name = record_.rawName.substr(0, record_.rawName.find('\0'));
    if (!whole || got != record_.nameLength) return Fail(PackageError::kShortName);

    std::uint32_t raw = 0;
    if (!TakeField(raw, PackageError::kShortDataSize)) return false;
    if (raw > static_cast<std::uint32_t>(kMaxDataSize)) {
        record_.dataSize = -static_cast<std::int32_t>(~raw) - 1;   // two's complement, no overflow
        return Fail(PackageError::kNegativeDataSize);
    }
    record_.dataSize = static_cast<std::int32_t>(raw);
    if (raw > Left()) return Fail(PackageError::kShortData);
    dataLeft_ = raw;
    return true;
}

std::size_t PackageWalker::ReadChunk(unsigned char* buffer)
{
    return ReadChunk(buffer, kTransferBufferSize);
}

std::size_t PackageWalker::ReadChunk(unsigned char* buffer, std::size_t capacity)
{
    if (dataLeft_ == 0 || error_ != PackageError::kNone) return 0;
    const std::size_t want = dataLeft_ < capacity ? dataLeft_ : capacity;
    const std::size_t got = Take(buffer, want);
    dataLeft_ -= static_cast<std::uint32_t>(got);
    if (got != want) Fail(PackageError::kShortData);
    return got;
}
