#include "tools/mediatool/medium_check.h"
#include "tools/mediatool/medium_rule.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

#include "base/file_owner.h"
#include "base/ascii_text.h"
#include "media/digest.h"
#include "media/name_rules.h"
#include "media/package_format.h"
#include "tools/mediatool/checksums.h"
#include "tools/mediatool/code_page.h"
#include "tools/mediatool/description_check.h"
#include "tools/mediatool/host_file.h"
#include "tools/mediatool/package_file.h"
#include "tools/mediatool/temp_files.h"

namespace {

const std::uint32_t kPeSignature = 0x00004550;   // "PE\0\0"
const std::uint32_t kMachineI386 = 0x14C;
const std::uint32_t kPe32Magic = 0x10B;
const std::uint32_t kSubsystemGui = 2;
// The default install folder is one of these, a product's Name and a
// backslash: 32-bit and 64-bit Windows.
const char* const kProgramFilesFolders[] = {"C:\\Program Files\\", "C:\\Program Files (x86)\\"};
// Beside a program, Windows loads or runs files of these kinds.
const char* const kRunnableSuffixes[] = {".exe", ".dll", ".com", ".bat", ".cmd", ".scr", ".pif", ".msi",
                                         ".ocx", ".cpl", ".sys", ".manifest", ".local"};
const char kAutorun[] = "autorun.inf";

bool EndsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Little-endian fields of an image; a read that does not fit breaks the
// reader for good.
class ImageReader {
public:
    explicit ImageReader(const std::string& bytes) : bytes_(bytes) {}
    std::uint32_t Le(std::uint64_t offset, unsigned size)
    {
        if (!ok_ || offset > bytes_.size() || size > bytes_.size() - offset) {
            ok_ = false;
            return 0;
        }
        std::uint32_t v = 0;
        for (unsigned i = size; i-- > 0;) v = v << 8 | static_cast<unsigned char>(bytes_[offset + i]);
        return v;
    }
    bool Ok() const { return ok_; }

private:
    const std::string& bytes_;
    bool ok_ = true;
};

// The first bytes of a file; shorter when the file is.
std::string Head(const fs::path& p, std::size_t n)
{
    FileOwner f(OpenFile(p, "rb"));
    std::string head(n, '\0');
    head.resize(f ? std::fread(&head[0], 1, n, f.get()) : 0);
    return head;
}

bool IsFile(const fs::path& p)
{
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

using Context = MediumContext;

// --- the checksum file and what it lists ---------------------------------

void CheckChecksums(Context& c)
{
    std::string text, why;
    if (!checksums::ReadFile(c.dir, text, why)) return c.Add(Severity::kProblem, "", why);
    std::vector<checksums::Entry>& entries = c.entries;
    if (!checksums::Parse(text, entries, why)) c.Add(Severity::kProblem, checksums::kFileName, why);
    if (entries.empty()) return c.Add(Severity::kProblem, checksums::kFileName, "lists no file");
    c.report.facts.listed = true;
    std::vector<checksums::Entry> hashedHere;
    for (const checksums::Entry& e : entries) {
        std::string name;
        const bool normal = checksums::NormalName(e.name, name);
        if (normal && c.listed.insert(name).second) c.report.facts.names.push_back(name);
        // The package is hashed by the rule that walks it: every byte read once.
        if (normal && name == medium::kPackageName && !c.packageEntry && !c.options.digestsKnown)
            c.packageEntry = &e;
        else
            hashedHere.push_back(e);
    }
    for (const std::string& p : checksums::Check(c.dir, hashedHere, !c.options.digestsKnown))
        c.Add(Severity::kProblem, "", p);
    if (c.packageEntry)
        for (const std::string& p : checksums::Check(c.dir, {*c.packageEntry}, false)) c.Add(Severity::kProblem, "", p);
}

// The package's digest against its line, from the walk's hash, or from the
// file when the walk could not start.
void CheckPackageDigest(Context& c, HashingSource* walked)
{
    if (!c.packageEntry) return;
    if (!walked) {
        for (const std::string& p : checksums::Check(c.dir, {*c.packageEntry})) c.Add(Severity::kProblem, "", p);
        return;
    }
    walked->Drain();
    const std::string hex = Sha256::Hex(walked->hash_.Finish());
    if (hex != c.packageEntry->sha256)
        c.Add(Severity::kProblem, "", c.packageEntry->name + ": differs from its checksum (SHA-256 " + hex + ")");
}

// The setup program is the one program the checksum file lists at the top,
// never a guess from the names on disk.
void FindInstaller(Context& c)
{
    if (!c.report.facts.listed) return;
    std::vector<std::string> programs;
    for (const std::string& name : c.report.facts.names)
        if (name.find('/') == std::string::npos && EndsWith(AsciiLower(name), ".exe")) programs.push_back(name);
    if (programs.size() != 1) {
        std::string list;
        for (const std::string& p : programs) list += (list.empty() ? "" : ", ") + p;
        return c.Add(Severity::kProblem, checksums::kFileName,
                     programs.empty() ? "lists no setup program (no .exe file at the top)"
                                      : "lists " + std::to_string(programs.size()) + " programs (" + list +
                                            "): which is the setup program?");
    }
    c.report.facts.installer = programs.front();
    if (programs.front().find('.') != std::string::npos)
        c.report.facts.description = medium::DescriptionPathFor(programs.front());
}

// What setup reads must be covered by the checksums.
void CheckListing(Context& c)
{
    if (!c.report.facts.listed) return;
    auto need = [&c](const std::string& name, const char* role) {
        if (IsFile(c.Path(name)) && !c.Listed(name))
            c.Add(Severity::kProblem, name, std::string("not listed in ") + checksums::kFileName + ", though " + role);
    };
    need(medium::kPackageName, "setup installs it");
    for (const medium::SideFile& side : medium::kSideFiles)
        if (side.required) need(side.name, "setup copies it");
    if (!c.report.facts.description.empty()) need(c.report.facts.description, "setup reads it");
}

// Why a file or folder the checksum file does not cover is a problem, or
// empty when it is only a warning.
std::string Danger(const fs::path& p, const std::string& name, bool folder)
{
    const std::string base = AsciiLower(name.substr(name.rfind('/') + 1));
    unsigned long pid = 0;
    if (folder && name.find('/') == std::string::npos && tempfiles::IsStagingFolderName(name, pid))
        return "the staging folder of an interrupted mediatool run; the next assemble into this folder removes it";
    if (base == kAutorun) return "Windows reads it when the medium is inserted";
    for (const char* suffix : kRunnableSuffixes)
        if (EndsWith(base, suffix)) return "Windows may load or run it beside the setup program";
    if (!folder && Head(p, 2) == "MZ") return "a Windows program under another name";
    return std::string();
}

// Listed as it is, or under another case on a file system that takes both
// for one file (a FAT stick mounted on Linux).
bool Covered(const Context& c, const std::string& name)
{
    if (c.Listed(name)) return true;
    std::error_code ec;
    for (const std::string& listed : c.listed)
        if (AsciiLower(listed) == AsciiLower(name) && fs::equivalent(c.Path(listed), c.Path(name), ec)) return true;
    return false;
}

void CheckCoverage(Context& c)
{
    if (!c.report.facts.listed) return;
    std::set<std::string> folders;   // every folder a listed name lies in
    for (const std::string& name : c.listed)
        for (std::size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1))
            folders.insert(name.substr(0, slash));
    std::error_code ec;
    fs::recursive_directory_iterator it(c.dir, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().lexically_relative(c.dir).generic_u8string();
        std::error_code kind;   // a dangling link is no folder, and no reason to stop
        const bool folder = it->is_directory(kind) && !it->is_symlink(kind);
        if (name == checksums::kFileName || name == medium::kChecksumsSignatureName || (!folder && Covered(c, name)))
            continue;
        if (folder && folders.count(name)) continue;
        if (folder) it.disable_recursion_pending();
        const std::string danger = Danger(it->path(), name, folder);
        const std::string what = std::string(folder ? "a folder " : "") + "not listed in " + checksums::kFileName;
        if (danger.empty()) c.Add(Severity::kWarning, name, what);
        else c.Add(Severity::kProblem, name, what + "; " + danger);
    }
    if (ec) c.Add(Severity::kProblem, "", "cannot be read: " + ec.message());
}

// --- the files setup reads -------------------------------------------------

// What the setup program is; its signatures are CheckSignatures' (another
// file), which says so once they are known.
void CheckInstaller(Context& c)
{
    const std::string& name = c.report.facts.installer;
    if (name.empty() || !IsFile(c.Path(name))) return;
    std::string image, why;
    if (!ReadWholeFile(c.Path(name), image, why)) return c.Add(Severity::kProblem, name, "cannot be read: " + why);
    if (!IsWin32GuiProgram(image, why)) return c.Add(Severity::kProblem, name, why);
    c.report.facts.program = true;
}

void CheckDescriptionRule(Context& c)
{
    const std::string& name = c.report.facts.description;
    if (name.empty()) return;
    if (!IsFile(c.Path(name)))
        return c.Add(Severity::kFine, name, std::string("absent; the product is named ") + medium::kDefaultProductName);
    const DescriptionCheck d = CheckDescription(c.Path(name), c.options.cp);
    if (!d.read) return c.Add(Severity::kProblem, name, d.problem);
    c.report.facts.productName = d.name;
    c.report.facts.title = d.title;
    for (const DescriptionFinding& f : d.findings)
        c.Add(f.error ? Severity::kProblem : Severity::kWarning, name, f.Where(), f.text);
    if (d.findings.empty())
        c.Add(Severity::kFine, name, "decodes in code page " + std::to_string(c.options.cp) + ", Name usable");
}

// The target paths under the default install folders, for one name.
void CheckTargetPath(Context& c, const std::string& name)
{
    MediumFacts& facts = c.report.facts;
    for (const char* base : kProgramFilesFolders) {
        const std::size_t chars = CharCount(base, c.lb) + CharCount(facts.productName, c.lb) + 1 + CharCount(name, c.lb);
        if (chars > facts.longestPath) facts.longestPath = chars, facts.longestName = name;
        if (chars > kMaxPathChars)
            c.Add(Severity::kWarning, "", DisplayName(name, c.options.cp),
                  "under " + std::string(base) + DisplayName(facts.productName, c.options.cp) + "\\ the path takes " +
                      std::to_string(chars) + " characters; Windows allows 259, so setup stops "
                      "with 'cannot create file' unless a shorter install folder is chosen");
    }
}

// One record of the package: its name as setup takes it, and what it meets
// in the install folder.
void CheckRecord(Context& c, const PackageRecord& rec, CaseCollisions& collisions)
{
    const unsigned cp = c.options.cp;
    const NameError e = CheckName(rec.name, c.lb);
    if (e != NameError::kNone)
        c.Add(Severity::kProblem, medium::kPackageName, "record at offset " + std::to_string(rec.offset) + " (" +
                                                             DisplayName(rec.name, cp) + "): " + DescribeNameError(e));
    std::string earlier;
    if (!collisions.Add(rec.name, earlier))
        c.Add(Severity::kProblem, medium::kPackageName,
              DisplayName(earlier, cp) + " and " + DisplayName(rec.name, cp) +
                  " are equal but for case; Windows keeps one file");
    for (const medium::SideFile& side : medium::kSideFiles)
        if (AsciiLower(rec.name) == AsciiLower(side.name))
            c.Add(Severity::kWarning, "", "payload " + DisplayName(rec.name, cp),
                  std::string("setup copies the medium's ") + side.name + " over it at install time");
    CheckTargetPath(c, rec.name);
}

void CheckPackage(Context& c)
{
    const std::string name = medium::kPackageName;
    const fs::path p = c.Path(name);
    std::uint64_t size = 0;
    if (!IsFile(p) || !FileSize(p, size)) return c.Add(Severity::kProblem, name, "missing");
    if (size == 0 || !PackageSizeFits(size)) CheckPackageDigest(c, nullptr);
    if (size == 0) return c.Add(Severity::kProblem, name, "empty: setup would install nothing");
    if (!PackageSizeFits(size)) return c.Add(Severity::kProblem, name, "2^31 bytes or larger; setup cannot read it");
    FileOwner f(OpenFile(p, "rb"));
    if (!f) return c.Add(Severity::kProblem, name, std::string("cannot be opened: ") + std::strerror(errno));
    std::setvbuf(f.get(), nullptr, _IOFBF, kStreamBufferSize);
    FileSource file(f.get());
    HashingSource source(file, c.packageEntry != nullptr);
    CaseCollisions collisions(c.lb);
    PackageWalker walker(source, static_cast<std::uint32_t>(size));
    bool program = false;
    while (walker.NextRecord()) {
        ++c.report.facts.records;
        CheckRecord(c, walker.Record(), collisions);
        program = program || AsciiLower(walker.Record().name) == AsciiLower(medium::kProgramName);
    }
    CheckPackageDigest(c, &source);
    if (walker.Error() != PackageError::kNone) return c.Add(Severity::kProblem, name, DescribeBreak(walker, c.options.cp));
    if (!program)
        return c.Add(Severity::kProblem, name,
                     std::string("no ") + medium::kProgramName +
                         " at the top level; the shortcuts that setup creates start <install folder>\\" +
                         medium::kProgramName);
    c.Add(Severity::kFine, name, std::to_string(c.report.facts.records) + " records, whole");
}

void CheckSideFiles(Context& c)
{
    for (const medium::SideFile& side : medium::kSideFiles) {
        if (!IsFile(c.Path(side.name))) {
            if (side.required) c.Add(Severity::kProblem, side.name, "missing; setup stops when it cannot copy it");
            continue;
        }
        CheckTargetPath(c, side.name);
    }
}

void CheckPictures(Context& c)
{
    const std::string splash = medium::kSplashName;
    if (IsFile(c.Path(splash))) {
        if (Head(c.Path(splash), 2) != "BM")
            c.Add(Severity::kWarning, splash, "not a BMP picture (no BM header); setup may not be able to show it");
        FileOwner f(OpenFile(c.Path(splash), "rb"));
        const DigestVerdict v = f ? VerifyStreamDigest(f.get()) : DigestVerdict::kCannotOpen;
        if (v != DigestVerdict::kAccepted)
            c.Add(Severity::kProblem, splash, std::string("setup will not show it: ") + DigestVerdictText(v));
        else
            c.Add(Severity::kFine, splash, "stamped");
    }
    if (IsFile(c.Path(medium::kIconName)) && Head(c.Path(medium::kIconName), 4) != std::string("\0\0\1\0", 4))
        c.Add(Severity::kWarning, medium::kIconName, "not an icon file (no icon header)");
}

// The rules in the order they run; each may use what earlier ones learnt.
// A rule of another file (medium_rule.h) takes its place in this list.
const MediumRule kRules[] = {
    CheckChecksums,        // what the checksum file lists, and that it holds
    FindInstaller,         // the one program it lists
    CheckListing,          // what setup reads is listed
    CheckCoverage,         // nothing else lies on the medium
    CheckInstaller,        // the setup program itself
    CheckSignatures,       // the installer's and the checksum file's signatures
    CheckDescriptionRule,  // through setup's own parser; names the product
    CheckPackage,          // every record, under the product's folder
    CheckSideFiles,        // the files setup copies
    CheckRuntimeFiles,     // what the runtime files are: the runtime, or a placeholder
    CheckPictures,
};

} // namespace

bool CaseCollisions::Add(const std::string& name, std::string& earlier)
{
    const std::string folded = AsciiLower(name, lb_);
    const auto ins = seen_.emplace(folded, name);
    if (ins.second || ins.first->second == name) return true;
    earlier = ins.first->second;
    return false;
}

bool IsWin32GuiProgram(const std::string& image, std::string& why)
{
    ImageReader r(image);
    if (r.Le(0, 2) != 0x5A4D || !r.Ok()) return why = "not a Windows program (no MZ header)", false;
    const std::uint64_t pe = r.Le(0x3C, 4);
    if (r.Le(pe, 4) != kPeSignature || !r.Ok()) return why = "not a Windows program (no PE header)", false;
    const std::uint32_t machine = r.Le(pe + 4, 2);
    const std::uint64_t opt = pe + 24;
    const std::uint32_t magic = r.Le(opt, 2), subsystem = r.Le(opt + 68, 2);
    if (!r.Ok()) return why = "not a Windows program (headers cut short)", false;
    if (machine != kMachineI386 || magic != kPe32Magic) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%X", machine);
        return why = std::string("not a 32-bit x86 program (machine ") + hex + "); setup runs on 32-bit Windows too",
               false;
    }
    if (subsystem != kSubsystemGui)
        return why = "not a GUI program (subsystem " + std::to_string(subsystem) + "); a console window would open",
               false;
    return true;
}

std::size_t MediumReport::Count(Severity s) const
{
    return static_cast<std::size_t>(
        std::count_if(findings.begin(), findings.end(), [s](const Finding& f) { return f.severity == s; }));
}

MediumReport CheckMedium(const fs::path& dir, const MediumCheckOptions& options)
{
    Context c{dir, options, LeadBytes::ForCodePage(options.cp), {}, {}, nullptr, {}};
    for (MediumRule rule : kRules) rule(c);
    return std::move(c.report);
}

std::string FindingText(const Finding& f, const fs::path& dir)
{
    const std::string what = !f.file.empty() ? PathText(dir / fs::u8path(f.file)) + f.where
                             : !f.where.empty() ? f.where
                                                : PathText(dir);
    return what + ": " + f.why;
}
