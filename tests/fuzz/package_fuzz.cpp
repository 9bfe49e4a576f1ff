// The record walker, the extraction loop and the name rules over arbitrary
// packages: never reads or writes out of bounds, never lets a name that
// leaves the install folder reach the file system, reports success only for
// a package that is whole, and splits paths so that they join back.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "media/extract.h"
#include "media/name_rules.h"
#include "media/split.h"

namespace {

const std::string kFolder = "C:\\Kelvra\\";

void Check(bool ok)
{
    if (!ok) std::abort();
}

// The plainest checks of an accepted name, done apart from the rules.
void CheckAcceptedName(const std::string& name)
{
    Check(!name.empty() && name.size() <= 259);
    Check(name[0] != '\\' && name[0] != '/');
    Check(name.find(':') == std::string::npos);
    for (unsigned char c : name) Check(c >= 0x20 && c != 0x7F);
    Check(name != ".." && name.compare(0, 3, "..\\") != 0);
    Check(name.find("\\..\\") == std::string::npos);
    Check(name.size() < 3 || name.compare(name.size() - 3, 3, "\\..") != 0);
}

class CheckingTarget : public ExtractTarget, public ExtractProgress {
public:
    explicit CheckingTarget(std::size_t packageSize) : packageSize_(packageSize) {}
    void SetProgress(int position) override
    {
        Check(position == (last_ < kProgressCap ? last_ + 1 : kProgressCap));
        last_ = position;
    }
    void CreateFolders(const std::string& path) override
    {
        Check(path.compare(0, kFolder.size(), kFolder) == 0);
    }
    bool CreateTargetFile(const std::string& path) override
    {
        Check(path.compare(0, kFolder.size(), kFolder) == 0);
        CheckAcceptedName(path.substr(kFolder.size()));
        Check(!open_);
        open_ = true;
        return true;
    }
    bool WriteTarget(const unsigned char* data, std::size_t n) override
    {
        Check(open_ && n > 0 && n <= kTransferBufferSize);
        written_ += n;
        Check(written_ <= packageSize_);
        volatile unsigned char touch = data[0] ^ data[n - 1];   // in bounds for ASan
        (void)touch;
        return true;
    }
    bool CloseTargetFile() override
    {
        Check(open_);
        open_ = false;
        return true;
    }

private:
    std::size_t packageSize_;
    std::size_t written_ = 0;
    int last_ = 0;
    bool open_ = false;
};

struct Framing {
    bool whole = true;
    std::uint32_t records = 0;
};

// The record framing walked here by hand, apart from the walker.
Framing WalkByHand(const std::vector<unsigned char>& copy)
{
    const std::size_t size = copy.size();
    Framing f;
    std::size_t at = 0;
    while (at < size) {
        if (size - at < 4) { f.whole = false; break; }
        const std::uint32_t n = copy[at] | copy[at + 1] << 8 | copy[at + 2] << 16 |
                                static_cast<std::uint32_t>(copy[at + 3]) << 24;
        at += 4;
        if (n > 259 || n > size - at) { f.whole = false; break; }
        at += n;
        if (size - at < 4) { f.whole = false; break; }
        const std::uint32_t d = copy[at] | copy[at + 1] << 8 | copy[at + 2] << 16 |
                                static_cast<std::uint32_t>(copy[at + 3]) << 24;
        at += 4;
        if (d > 0x7FFFFFFF || d > size - at) { f.whole = false; break; }
        at += d;
        ++f.records;
    }
    return f;
}

// The walker agrees with the framing, hands over each name cut at its first
// zero, and its first error sticks. Records' data is read in transfer-buffer
// chunks, in the tools' large blocks, or left for NextRecord to read through.
void FuzzWalker(const std::vector<unsigned char>& copy, const Framing& framing)
{
    MemorySource source(copy.data(), copy.size());
    PackageWalker walker(source, static_cast<std::uint32_t>(copy.size()));
    unsigned char buffer[kTransferBufferSize];
    std::vector<unsigned char> block(4096);
    std::uint32_t records = 0;
    while (walker.NextRecord()) {
        const PackageRecord& r = walker.Record();
        Check(r.rawName.size() == r.nameLength && r.nameLength <= 259);
        Check(r.name.find('\0') == std::string::npos && r.rawName.compare(0, r.name.size(), r.name) == 0);
        Check(r.name.size() == r.rawName.size() || r.rawName[r.name.size()] == '\0');
        Check(r.dataSize >= 0 && static_cast<std::uint32_t>(r.dataSize) == walker.DataLeft());
        if (records % 3 == 0) {
            std::size_t data = 0;
            for (std::size_t got; (got = walker.ReadChunk(buffer)) > 0;) {
                Check(got <= kTransferBufferSize);
                data += got;
            }
            Check(data == static_cast<std::size_t>(r.dataSize));
        } else if (records % 3 == 1) {
            std::size_t data = 0;
            for (std::size_t got; (got = walker.ReadChunk(block.data(), block.size())) > 0;) {
                Check(got <= block.size());
                data += got;
            }
            Check(data == static_cast<std::size_t>(r.dataSize));
        }
        ++records;
    }
    Check(walker.AtEnd() == framing.whole);
    Check((walker.Error() == PackageError::kNone) == framing.whole);
    Check(records == framing.records);
    if (framing.whole) Check(walker.Consumed() == copy.size());
    Check(!walker.NextRecord() && walker.ReadChunk(buffer) == 0);
}

void FuzzExtraction(const std::uint8_t* data, std::size_t size, const LeadBytes& lb)
{
    // Exact copy, so ASan sees reads past the end.
    std::vector<unsigned char> copy(data, data + size);
    MemorySource source(copy.data(), copy.size());
    CheckingTarget target(size);
    const ExtractResult r =
        RunExtraction(source, static_cast<std::int32_t>(size), kFolder, lb, target, &target);
    if (size == 0) {
        Check(r.ok);
        return;
    }
    // Success needs every byte to belong to a record.
    const Framing framing = WalkByHand(copy);
    if (r.ok) {
        Check(framing.whole);
        Check(r.records == framing.records);
    }
    if (!r.ok) {
        Check(r.failedPath.compare(0, kFolder.size(), kFolder) == 0);
        Check(r.recordOffset < size);
        if (r.failure == ExtractFailure::kBrokenPackage) Check(!framing.whole);
    }
}

void FuzzNameAndSplit(const std::uint8_t* data, std::size_t size, const LeadBytes& lb)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (CheckName(text, lb) == NameError::kNone) CheckAcceptedName(text);

    std::vector<std::string> parts;
    SplitAtSeparator(text, '\\', parts, '\\', lb);
    // Every separator either split or stayed in a part: joining gives it back.
    std::string joined;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i) joined += '\\';
        joined += parts[i];
    }
    Check(joined == text);
    const std::vector<std::string> folders = ParentFolders(text, lb);
    for (std::size_t i = 0; i < folders.size(); ++i) {
        Check(!folders[i].empty() && folders[i].back() == '\\');
        Check(text.compare(0, folders[i].size(), folders[i]) == 0);
        if (i) Check(folders[i].size() > folders[i - 1].size());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const LeadBytes gbk = LeadBytes::ForCodePage(936);
    static const LeadBytes latin;
    FuzzWalker(std::vector<unsigned char>(data, data + size),
               WalkByHand(std::vector<unsigned char>(data, data + size)));
    FuzzExtraction(data, size, gbk);
    FuzzExtraction(data, size, latin);
    FuzzNameAndSplit(data, size, gbk);
    FuzzNameAndSplit(data, size, latin);
    return 0;
}
