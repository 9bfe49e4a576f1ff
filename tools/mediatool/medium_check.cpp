#include "tools/mediatool/medium_check.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "media/digest.h"
#include "media/medium.h"
#include "media/name_rules.h"
#include "media/package_format.h"
#include "tools/mediatool/checksums.h"
#include "tools/mediatool/code_page.h"
#include "tools/mediatool/commands.h"
#include "tools/mediatool/console.h"
#include "tools/mediatool/description_check.h"
#include "tools/mediatool/host_file.h"
#include "tools/mediatool/package_file.h"
#include "tools/mediatool/runtime_check.h"

namespace {

const char kCmd[] = "verify";
const std::uint32_t kPeSignature = 0x00004550;   // "PE\0\0"
const std::uint32_t kMachineI386 = 0x14C;
const std::uint32_t kPe32Magic = 0x10B;
const std::uint32_t kSubsystemGui = 2;

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

bool ReadFile(const fs::path& p, std::string& bytes, std::string& why)
{
    FileOwner f(OpenFile(p, "rb"));
    if (!f) return why = std::strerror(errno), false;
    bytes.clear();
    char buf[65536];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f.get())) > 0;) bytes.append(buf, n);
    if (std::ferror(f.get())) return why = std::strerror(errno), false;
    return true;
}

class Report {
public:
    Report(const fs::path& dir, bool strict) : dir_(dir), strict_(strict) {}
    void Problem(const std::string& what, const std::string& why) { Problem(what + ": " + why); }
    void Problem(const std::string& text)
    {
        ++problems_;
        std::printf("%s\n", text.c_str());
    }
    void Warning(const std::string& text)
    {
        if (strict_) ++problems_;
        std::printf("%s%s\n", strict_ ? "" : "warning: ", text.c_str());
    }
    void Fine(const std::string& what, const std::string& how) { std::printf("%s: %s\n", what.c_str(), how.c_str()); }
    std::string Path(const std::string& name) const { return PathText(dir_ / fs::u8path(name)); }
    unsigned problems_ = 0;

private:
    fs::path dir_;
    bool strict_;
};

bool IsFile(const fs::path& p)
{
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

// The setup program: setup.exe when there, else the one .exe at the top.
std::string FindSetupProgram(const fs::path& dir, std::string& why)
{
    if (IsFile(dir / "setup.exe")) return "setup.exe";
    std::vector<std::string> found;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = PathText(it->path().filename()), lower = name;
        for (char& c : lower)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".exe") == 0 && IsFile(it->path()))
            found.push_back(name);
    }
    if (found.size() == 1) return found.front();
    why = found.empty() ? "no setup program (no .exe file)"
                        : std::to_string(found.size()) + " .exe files and no setup.exe: which is the setup program?";
    return std::string();
}

// The program and the medium's signatures; what established the signer.
std::string CheckProgram(Report& r, const fs::path& dir, const std::string& name, const sigcheck::Expectation& expect)
{
    const std::string what = r.Path(name);
    std::string image, why;
    if (!ReadFile(dir / fs::u8path(name), image, why)) return r.Problem(what, "cannot be read: " + why), "";
    if (!IsWin32GuiProgram(image, why)) return r.Problem(what, why), "";
    const sigcheck::MediumSignatures s = sigcheck::CheckMedium(dir, name, expect);
    for (const auto& p : s.problems) r.Problem(r.Path(p.first), p.second);
    for (const auto& w : s.warnings) r.Warning(r.Path(w.first) + ": " + w.second);
    r.Fine(what, "a 32-bit Windows GUI program, " + s.program);
    return s.trust;
}

void CheckPackage(Report& r, const fs::path& p, unsigned cp)
{
    const std::string what = PathText(p);
    std::uint64_t size = 0;
    if (!IsFile(p) || !FileSize(p, size)) return r.Problem(what, "missing");
    if (size == 0) return r.Problem(what, "empty: setup would install nothing");
    if (!PackageSizeFits(size)) return r.Problem(what, "2^31 bytes or larger; setup cannot read it");
    FileOwner f(OpenFile(p, "rb"));
    if (!f) return r.Problem(what, std::string("cannot be opened: ") + std::strerror(errno));
    std::setvbuf(f.get(), nullptr, _IOFBF, kStreamBufferSize);
    FileSource source(f.get());
    const LeadBytes lb = LeadBytes::ForCodePage(cp);
    CaseCollisions collisions(lb);
    PackageWalker walker(source, static_cast<std::uint32_t>(size));
    std::uint64_t records = 0;
    while (walker.NextRecord()) {
        ++records;
        const PackageRecord& rec = walker.Record();
        const NameError e = CheckName(rec.name, lb);
        if (e != NameError::kNone)
            r.Problem(what, "record at offset " + std::to_string(rec.offset) + " (" + DisplayName(rec.name, cp) +
                                "): " + DescribeNameError(e));
        std::string earlier;
        if (!collisions.Add(rec.name, earlier))
            r.Problem(what, DisplayName(earlier, cp) + " and " + DisplayName(rec.name, cp) +
                                " are equal but for case; Windows keeps one file");
    }
    if (walker.Error() != PackageError::kNone) return r.Problem(what, DescribeBreak(walker, cp));
    r.Fine(what, std::to_string(records) + " records, whole");
}

void CheckDescriptionFile(Report& r, const fs::path& dir, const std::string& setupName, unsigned cp)
{
    if (setupName.find('.') == std::string::npos) return;
    const std::string name = medium::DescriptionPathFor(setupName);
    const fs::path p = dir / fs::u8path(name);
    if (!IsFile(p)) return r.Fine(r.Path(name), std::string("absent; the product is named ") + medium::kDefaultProductName);
    std::string bytes, why;
    if (!ReadFile(p, bytes, why)) return r.Problem(r.Path(name), "cannot be read: " + why);
    bool any = false;
    for (const DescriptionFinding& f : CheckDescription(bytes, cp)) {
        any = true;
        if (f.error) r.Problem(f.Describe(r.Path(name)));
        else r.Warning(f.Describe(r.Path(name)));
    }
    if (!any) r.Fine(r.Path(name), "decodes in code page " + std::to_string(cp) + ", Name usable");
}

void CheckSplash(Report& r, const fs::path& dir)
{
    const fs::path p = dir / medium::kSplashName;
    if (!IsFile(p)) return;
    FileOwner f(OpenFile(p, "rb"));
    if (!f) return r.Problem(PathText(p), std::string("cannot be opened: ") + std::strerror(errno));
    const DigestVerdict v = VerifyStreamDigest(f.get());
    if (v != DigestVerdict::kAccepted)
        return r.Problem(PathText(p), std::string("setup will not show it: ") + DigestVerdictText(v));
    r.Fine(PathText(p), "stamped");
}

} // namespace

bool CaseCollisions::Add(const std::string& name, std::string& earlier)
{
    std::string folded = name;
    for (std::size_t i = 0; i < folded.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(folded[i]);
        if (lb_.IsLead(c)) ++i;   // its trail byte is no letter
        else if (c >= 'A' && c <= 'Z') folded[i] = static_cast<char>(c - 'A' + 'a');
    }
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

int VerifyMedium(const fs::path& dir, unsigned cp, bool strict, const sigcheck::Expectation& expect)
{
    Report r(dir, strict);
    for (const std::string& p : checksums::CheckMedium(dir)) r.Problem(PathText(dir), p);

    std::string why;
    const std::string setupName = FindSetupProgram(dir, why);
    if (setupName.empty()) r.Problem(PathText(dir), why);
    std::string trust;
    if (!setupName.empty()) trust = CheckProgram(r, dir, setupName, expect);

    CheckPackage(r, dir / medium::kPackageName, cp);
    for (const medium::SideFile& side : medium::kSideFiles)
        if (side.required && !IsFile(dir / side.name))
            r.Problem(PathText(dir / side.name), "missing; setup stops when it cannot copy it");
    for (const runtime::Finding& f : runtime::CheckFiles(runtime::MediumFiles(dir))) r.Problem(r.Path(f.name), f.why);
    if (!setupName.empty()) CheckDescriptionFile(r, dir, setupName, cp);
    CheckSplash(r, dir);

    if (r.problems_) {
        Refuse(kCmd, PathText(dir), std::to_string(r.problems_) + (r.problems_ == 1 ? " problem" : " problems") +
                                        " found; not ready for release");
        return kExitRefused;
    }
    std::printf("%s: a medium ready for release (code page %u%s%s)\n", PathText(dir).c_str(), cp,
                trust.empty() ? "" : "; ", trust.c_str());
    return kExitOk;
}
