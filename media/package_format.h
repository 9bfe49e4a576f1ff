// The setup package Setup.pkg: the one definition of its format.
//
// A package is records laid back to back from offset 0 to the end of the
// file: no header, no count, no checksum, no trailer. Numbers little-endian.
//
//   record offset:  0          4                4+N          8+N             8+N+D
//                   +----------+----------------+------------+---------------+
//                   | N  (u32) | name (N bytes) | D  (s32)   | data (D bytes)|
//                   +----------+----------------+------------+---------------+
//                    b0 b1 b2 b3                 b0 b1 b2 b3
//
//   N  name length, 1..259. The name is the file's path below the install
//      folder in the target ANSI code page, levels separated by backslashes,
//      no terminating zero.
//   D  data size, 0..2^31-1; the file's content follows verbatim.
//
// A record takes 8 + N + D bytes; the whole package is smaller than 2^31
// bytes. When two records name the same file the later one wins.
//
// A name ends at its first zero byte, if it holds one: the bytes after it
// up to N are padding. Reading goes strictly forwards, data in chunks of the
// 260-byte transfer buffer. Every announced length is checked against what
// is left of the package as `n > size - consumed`, which cannot overflow.
#ifndef KELVRA_MEDIA_PACKAGE_FORMAT_H
#define KELVRA_MEDIA_PACKAGE_FORMAT_H

#include <cstddef>
#include <cstdint>
#include <string>

// The transfer buffer: 259 name bytes and their terminating zero.
constexpr std::size_t kTransferBufferSize = 260;
constexpr std::uint32_t kMaxNameLength = 259;
constexpr std::size_t kLengthFieldSize = 4;
constexpr std::size_t kRecordFixedSize = 2 * kLengthFieldSize;
constexpr std::int64_t kMaxPackageSize = 0x7FFFFFFF;
constexpr std::int64_t kMaxDataSize = 0x7FFFFFFF;

// Whether a file of this many bytes can be a package at all: its size must
// read as a non-negative signed 32-bit value. An empty package fits.
bool PackageSizeFits(std::uint64_t size);

std::uint32_t DecodeU32(const unsigned char* p);
void EncodeU32(std::uint32_t value, unsigned char* p);

// The 8 + N bytes that precede a record's data.
std::string EncodeRecordHeader(const std::string& name, std::uint32_t dataSize);

// Where package bytes come from. Read answers how many bytes it really
// delivered: fewer than asked only at the end of the input or on an error.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::size_t Read(unsigned char* dst, std::size_t n) = 0;
};

// A package held in memory (tests, fuzzing).
class MemorySource : public ByteSource {
public:
    MemorySource(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}
    std::size_t Read(unsigned char* dst, std::size_t n) override;

private:
    const unsigned char* data_;
    std::size_t size_;
    std::size_t offset_ = 0;
};

enum class PackageError {
    kNone,
    kShortNameLength,   // fewer than 4 bytes left where a record starts
    kNameTooLong,       // name length of 260 or more
    kShortName,         // the name runs past the end of the package
    kShortDataSize,     // fewer than 4 bytes left for the data size
    kNegativeDataSize,
    kShortData,         // the data runs past the end of the package
};

const char* DescribePackageError(PackageError e);

// One record as the walker read it.
struct PackageRecord {
    std::uint32_t offset = 0;       // where the record starts in the package
    std::uint32_t nameLength = 0;   // N as announced
    std::string rawName;            // the name bytes read: all N of them when whole
    // rawName up to its first zero byte: the name setup uses. A name
    // padded with zeros ("pad.txt" and three zero bytes) is "pad.txt".
    std::string name;
    std::int32_t dataSize = 0;      // D as announced, negative when broken
};

// Walks the records of a package of known size, strictly forwards. The first
// error sticks: from then on NextRecord answers false and ReadChunk 0, and
// Record() holds the broken record as far as it was read. Nothing is ever
// read past the announced package size, and no read waits for bytes the
// package cannot hold.
class PackageWalker {
public:
    PackageWalker(ByteSource& source, std::uint32_t packageSize)
        : source_(source), size_(packageSize) {}

    // Reads the next record's name and data size, after reading through
    // whatever data of the current record was left. False at the end of a
    // whole package, or on an error.
    bool NextRecord();
    const PackageRecord& Record() const { return record_; }

    // The next chunk of the current record's data, at most
    // kTransferBufferSize bytes into `buffer`. 0 once the data is used up or
    // after an error; a chunk cut short by the end of the input is handed
    // over and the error set.
    std::size_t ReadChunk(unsigned char* buffer);
    // The same with a buffer of `capacity` bytes, for tools that read in
    // large blocks.
    std::size_t ReadChunk(unsigned char* buffer, std::size_t capacity);
    std::uint32_t DataLeft() const { return dataLeft_; }

    PackageError Error() const { return error_; }
    // Every byte of the package read as whole records.
    bool AtEnd() const { return error_ == PackageError::kNone && dataLeft_ == 0 && consumed_ >= size_; }
    std::uint32_t Consumed() const { return consumed_; }

private:
    std::uint32_t Left() const { return size_ - consumed_; }
    std::size_t Take(unsigned char* dst, std::size_t n);
    bool Fail(PackageError e);
    bool TakeField(std::uint32_t& value, PackageError shortError);

    ByteSource& source_;
    std::uint32_t size_;
    std::uint32_t consumed_ = 0;
    std::uint32_t dataLeft_ = 0;
    PackageError error_ = PackageError::kNone;
    PackageRecord record_;
};

#endif
