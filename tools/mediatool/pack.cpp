#include "tools/mediatool/pack.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <utility>

#include "base/ascii_text.h"
#include "base/file_owner.h"
#include "media/name_rules.h"
#include "media/package_format.h"
#include "media/sha256.h"
#include "tools/mediatool/host_file.h"
#include "tools/mediatool/manifest.h"
#include "tools/mediatool/pack_input.h"
#include "tools/mediatool/temp_files.h"

namespace {

using Native = fs::path::string_type;

struct Entry {
    std::string name;   // in the target code page, backslashes between levels
    Native rel;         // the host path below the packed folder
    InputStat stat;                    // as the walk saw it
    std::vector<std::size_t> folders;  // where each folder level of `name` ends
};

bool SameFile(const fs::path& a, const fs::path& b)
{
    std::error_code ec;
    return fs::exists(b, ec) && fs::equivalent(a, b, ec);
}

// Whether `target` (both canonical) lies below `root`.
bool Inside(const fs::path& target, const fs::path& root)
{
    const fs::path rel = target.lexically_relative(root);
    return !rel.empty() && *rel.begin() != "..";
}

bool IsSeparator(fs::path::value_type c) { return c == '/' || c == fs::path::preferred_separator; }

// The record name for a path below the packed folder, or a refusal.
bool EncodeName(const Native& relative, unsigned cp, const LeadBytes& lb, Entry& e, std::string& why)
{
    std::string& name = e.name;
    for (std::size_t at = 0, end; at < relative.size(); at = end + 1) {
        for (end = at; end < relative.size() && !IsSeparator(relative[end]);) ++end;
        const Native level = relative.substr(at, end - at);
        if (level.find('\\') != Native::npos) {
            why = "the name contains a backslash, which Windows would take as a folder separator";
            return false;
        }
        std::string encoded;
        if (!LevelToCodePage(level, cp, encoded)) {
            why = "the name cannot be written in code page " + std::to_string(cp);
            return false;
        }
        if (!name.empty()) e.folders.push_back(name.size()), name += '\\';
        name += encoded;
    }
    if (name.size() > kMaxNameLength) {
        why = "the name takes " + std::to_string(name.size()) + " bytes in code page " + std::to_string(cp) +
              "; at most 259 fit";
        return false;
    }
    const NameError ne = CheckName(name, lb);
    if (ne != NameError::kNone) return why = DescribeNameError(ne), false;
    return true;
}

// Walks the folder: the files to pack, what is refused, the empty folders.
class Walk {
public:
    Walk(const PackOptions& o, PackResult& r)
        : o_(o), r_(r), lb_(LeadBytes::ForCodePage(o.cp))
    {
    }
    bool Run();
    const InputFolder& Folder() const { return folder_; }
    std::vector<Entry> entries;

private:
    void Refuse(const fs::path& p, const std::string& why) { r_.refusals.push_back({PathText(p), why}); }
    bool Skipped(const fs::path& p) const
    {
        return (outExists_ && SameFile(p, o_.out)) || (manifestExists_ && SameFile(p, o_.manifest));
    }
    bool FollowLink(const fs::path& p, const Native& rel, InputStat& st);
    bool InsideFolder(const fs::path& p)
    {
        std::error_code ec;
        if (!fs::exists(p, ec)) return false;
        if (root_.empty()) root_ = fs::canonical(o_.dir, ec);
        return Inside(fs::canonical(p, ec), root_);
    }
    void Visit(const fs::path& p, Native&& rel, const InputStat& st);

    const PackOptions& o_;
    PackResult& r_;
    const LeadBytes lb_;
    fs::path root_;   // canonical, for links
    InputFolder folder_;
    bool outExists_ = false, manifestExists_ = false;
    std::vector<fs::path> emptyDirs_;
};

// A link is followed only to a file inside the folder packed.
bool Walk::FollowLink(const fs::path& p, const Native& rel, InputStat& st)
{
    std::error_code ec;
    const fs::path target = fs::canonical(p, ec);
    std::string why;
    if (ec || !folder_.LookAt(rel, true, st, why)) return Refuse(p, "a link that leads to no file"), false;
    if (root_.empty()) root_ = fs::canonical(o_.dir, ec);
    if (!Inside(target, root_)) {
        Refuse(p, "a link to " + EscapeControls(PathText(fs::read_symlink(p, ec))) + ", which lies outside " +
                      EscapeControls(PathText(o_.dir)));
        return false;
    }
    if (st.kind == InputStat::kFolder) return Refuse(p, "a link to a folder; links to folders are not followed"), false;
    return true;
}

void Walk::Visit(const fs::path& p, Native&& rel, const InputStat& seen)
{
    InputStat st = seen;
    if (st.kind == InputStat::kLink && !FollowLink(p, rel, st)) return;
    if (st.kind != InputStat::kFile) return Refuse(p, "not a regular file");
    Entry e;
    e.stat = st;
    std::string why;
    if (!EncodeName(rel, o_.cp, lb_, e, why)) return Refuse(p, why);
    e.rel = std::move(rel);
    if (st.size > static_cast<std::uint64_t>(kMaxDataSize))
        return Refuse(p, "the file is 2^31 bytes or larger; a record cannot hold it");
    entries.push_back(std::move(e));
}

bool Walk::Run()
{
    std::error_code ec;
    // Only outputs there before packing, inside the folder, can be met
    // below: two looks per file fewer when, as usual, they are not.
    outExists_ = !o_.stream && InsideFolder(o_.out);
    manifestExists_ = !o_.manifest.empty() && InsideFolder(o_.manifest);
    fs::recursive_directory_iterator it(o_.dir, ec), end;
    std::string why;
    if (ec || !folder_.Open(o_.dir, why)) return Refuse(o_.dir, "cannot be read: " + (ec ? ec.message() : why)), false;
    // The walk's paths are the folder's path, a separator, the relative path.
    const std::size_t skip = (o_.dir / "x").native().size() - 1;
    // The folder being read when an error stops the walk: the last one
    // entered, or the one that holds the last entry.
    Native last;
    bool lastIsFolder = true;
    for (; it != end; it.increment(ec)) {
        if (ec) break;
        const fs::path& path = it->path();
        last = path.native();
        lastIsFolder = false;
        if (Skipped(path)) continue;
        InputStat st;
        Native rel = path.native().substr(skip);
        if (!folder_.LookAt(rel, false, st, why)) {
            Refuse(path, "cannot be read: " + why);
        } else if (st.kind == InputStat::kFolder) {
            lastIsFolder = true;
            std::error_code emptyEc;
            if (fs::is_empty(path, emptyEc)) emptyDirs_.push_back(path);
        } else {
            Visit(path, std::move(rel), st);
        }
    }
    if (ec) {
        const fs::path reading = last.empty() ? o_.dir : lastIsFolder ? fs::path(last) : fs::path(last).parent_path();
        return Refuse(reading, "cannot be read: " + ec.message()), false;
    }
    for (const fs::path& d : emptyDirs_) {
        if (o_.skipEmptyDirs) r_.leftOut.push_back(d);
        else Refuse(d, "empty folder; a package holds only files, so it cannot be represented "
                       "(--skip-empty-dirs leaves it out)");
    }
    return true;
}

// Names that Windows takes as one: two files, a file and a folder, two
// folders. Each is told against the first of its kind met, in byte order.
// `entries` are in byte order, so a folder's entries follow one another.
void RefuseCaseTwins(const fs::path& dir, const std::vector<Entry>& entries, const LeadBytes& lb, PackResult& r)
{
    // A file (all its levels) or one of its folders (the first `levels`).
    struct Key {
        const Entry* e;
        std::size_t levels;
        bool Folder() const { return levels <= e->folders.size(); }
        fs::path Path(const fs::path& dir) const
        {
            fs::path p = dir / e->rel;
            for (std::size_t k = levels; k <= e->folders.size(); ++k) p = p.parent_path();
            return p;
        }
    };
    std::unordered_map<std::string, Key> seen;
    seen.reserve(entries.size());
    auto add = [&](const std::string& name, const Key& key) {
        const auto ins = seen.emplace(AsciiLower(name, lb), key);
        if (ins.second) return;
        const Key& a = ins.first->second;
        const char* why = a.Folder() && key.Folder() ? "; Windows would make them one folder"
                          : a.Folder() || key.Folder() ? "; Windows cannot hold a file and a folder of one name"
                                                       : "; Windows would keep one file";
        r.refusals.push_back({PathText(key.Path(dir)), std::string("differs from ") + (a.Folder() ? "folder " : "") +
                                                           EscapeControls(PathText(a.Path(dir))) +
                                                           " only in letter case" + why});
    };
    const Entry* previous = nullptr;
    for (const Entry& e : entries) {
        for (std::size_t k = 0; k < e.folders.size(); ++k) {
            const std::size_t end = e.folders[k];
            const bool met = previous && previous->folders.size() > k && previous->folders[k] == end &&
                             previous->name.compare(0, end, e.name, 0, end) == 0;
            if (!met) add(e.name.substr(0, end), {&e, k + 1});
        }
        add(e.name, {&e, e.folders.size() + 1});
        previous = &e;
    }
}

// The package's bytes, gathered in a block and written past the stream's
// buffer; the digests are taken from the block as it is written.
class Sink {
public:
    Sink(std::FILE* f, bool hashWhole, std::string& why) : f_(f), hashWhole_(hashWhole), why_(why), block_(kBlock) {}
    bool Put(const void* data, std::size_t n)
    {
        if (used_ + n > block_.size() && !Flush()) return false;
        std::memcpy(block_.data() + used_, data, n);
        used_ += n;
        return true;
    }
    // Room for at least `want` bytes (up to a block) at Free(); Took(n) keeps n of them.
    bool Reserve(std::size_t want) { return used_ + std::min(want, block_.size()) <= block_.size() || Flush(); }
    unsigned char* Free() { return block_.data() + used_; }
    std::size_t Room() const { return block_.size() - used_; }
    void Took(std::size_t n) { used_ += n; }
    // False, once and for all, after a write failed.
    bool Flush()
    {
        if (hashWhole_) whole.Update(block_.data(), used_);
        failed_ = failed_ || !WriteFully(f_, block_.data(), used_, why_);
        used_ = 0;
        return !failed_;
    }
    Sha256 whole;

private:
    static constexpr std::size_t kBlock = 256 * 1024;
    std::FILE* f_;
    bool hashWhole_;
    std::string& why_;
    std::vector<unsigned char> block_;
    std::size_t used_ = 0;
    bool failed_ = false;
};

// One record: its header, then the file's bytes read straight into the
// block. False, with a refusal, when the file cannot be read or changed.
bool CopyRecord(const InputFolder& folder, const fs::path& dir, const Entry& e, Sink& sink, Sha256* one,
                PackResult& r)
{
    auto refuse = [&](const std::string& why) { return r.refusals.push_back({PathText(dir / e.rel), why}), false; };
    const std::string header = EncodeRecordHeader(e.name, static_cast<std::uint32_t>(e.stat.size));
    std::string why;
    if (!sink.Put(header.data(), header.size())) return false;
    InputFile in;
    if (!in.Open(folder, e.rel, why)) return refuse("cannot be opened: " + why);
    std::uint64_t left = e.stat.size;
    while (left > 0) {
        if (!sink.Reserve(static_cast<std::size_t>(left))) return false;
        std::size_t got = 0;
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, sink.Room()));
        if (!in.Read(sink.Free(), want, got, why))
            return refuse("cannot be read: " + why);
        if (got == 0) break;
        if (one) one->Update(sink.Free(), got);
        sink.Took(got);
        left -= got;
    }
    // As tar does: a file whose size or time moved while it was read is
    // not packed, since its bytes may mix two versions.
    InputStat now;
    if (!in.Look(now, why)) return refuse("cannot be read: " + why);
    if (left != 0 || !now.SameContentAs(e.stat)) return refuse("file changed as we read it");
    return true;
}

// Writes every record to `f`; false, with a refusal, when it fails.
bool WriteRecords(const PackOptions& o, const Walk& walk, std::FILE* f, const std::string& outText, Manifest& manifest,
                  PackResult& r)
{
    std::string why;
    const bool hashing = !o.manifest.empty();
    Sink sink(f, hashing || o.packageDigest, why);
    std::uint64_t written = 0, files = 0;
    for (const Entry& e : walk.entries) {
        Sha256 one;
        if (!CopyRecord(walk.Folder(), o.dir, e, sink, hashing ? &one : nullptr, r)) break;
        if (hashing) manifest.records.push_back({DisplayName(e.name, o.cp), e.stat.size, Sha256::Hex(one.Finish())});
        written += kRecordFixedSize + e.name.size() + e.stat.size;
        if (o.progress) o.progress(written, manifest.packageSize, ++files);
    }
    if (r.refusals.empty() && sink.Flush()) {
        if (hashing || o.packageDigest) r.packageSha256 = Sha256::Hex(sink.whole.Finish());
        return true;
    }
    if (r.refusals.empty()) r.refusals.push_back({outText, "cannot be written completely: " + why});
    return false;
}

// Sorted through pointers: an entry is moved once, not at every step.
void SortByName(std::vector<Entry>& entries)
{
    std::vector<Entry*> order;
    order.reserve(entries.size());
    for (Entry& e : entries) order.push_back(&e);
    std::sort(order.begin(), order.end(), [](const Entry* a, const Entry* b) { return a->name < b->name; });
    std::vector<Entry> sorted;
    sorted.reserve(entries.size());
    for (Entry* e : order) sorted.push_back(std::move(*e));
    entries.swap(sorted);
}

void RemoveQuietly(const fs::path& p)
{
    std::error_code ec;
    fs::remove(p, ec);
}

// Written beside the target and renamed at the end, so that a refused or
// failed run never leaves half a package under the real name.
bool WritePackage(const PackOptions& o, const Walk& walk, Manifest& manifest, PackResult& r)
{
    if (o.stream) return WriteRecords(o, walk, o.stream, "standard output", manifest, r);
    fs::path partial;
    std::string why;
    FileOwner pkg(tempfiles::CreateBeside(o.out, partial, why));   // removed when interrupted
    if (!pkg) return r.refusals.push_back({PathText(o.out), "cannot be created: " + why}), false;
    bool ok = WriteRecords(o, walk, pkg.get(), PathText(o.out), manifest, r);
    if (!pkg.Close() && ok) {
        r.refusals.push_back({PathText(o.out), "cannot be written completely: " + tempfiles::LastOsError()});
        ok = false;
    }
    std::error_code ec;
    if (ok) fs::rename(partial, o.out, ec);
    if (ok && ec) r.refusals.push_back({PathText(o.out), "cannot be put in place: " + ec.message()}), ok = false;
    if (!ok) RemoveQuietly(partial);
    tempfiles::Forget(partial);
    return ok;
}

} // namespace

PackResult PackFolder(const PackOptions& o)
{
    PackResult r;
    std::string notFolder;
    if (!IsFolder(o.dir, notFolder)) return r.refusals.push_back({PathText(o.dir), notFolder}), r;
    Walk walk(o, r);
    if (!walk.Run()) return r;
    std::vector<Entry>& entries = walk.entries;
    // Byte order of the encoded names: the same tree, the same package.
    SortByName(entries);
    RefuseCaseTwins(o.dir, entries, LeadBytes::ForCodePage(o.cp), r);
    std::uint64_t total = 0, data = 0;
    for (const Entry& e : entries) {
        total += kRecordFixedSize + e.name.size() + e.stat.size;
        data += e.stat.size;
    }
    if (!PackageSizeFits(total))
        r.refusals.push_back({o.stream ? "standard output" : PathText(o.out),
                              "the package would be " + std::to_string(total) +
                                  " bytes; setup reads packages smaller than 2^31 bytes"});
    if (!r.refusals.empty()) return r;

    Manifest manifest;
    manifest.codePage = o.cp;
    manifest.packageSize = total;
    if (!WritePackage(o, walk, manifest, r)) return r;
    r.written = true;
    manifest.packageSha256 = r.packageSha256;
    if (!o.manifest.empty() && !WriteManifest(o.manifest, manifest))
        r.refusals.push_back({PathText(o.manifest), std::string("cannot be written: ") + std::strerror(errno)});
    r.records.reserve(entries.size());
    for (Entry& e : entries) r.records.push_back({std::move(e.name), e.stat.size});
    r.packageSize = total;
    r.dataSize = data;
    return r;
}
