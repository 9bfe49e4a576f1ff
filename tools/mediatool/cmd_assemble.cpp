// mediatool assemble: lays out a medium that setup can install from, and
// refuses one that would stop halfway through an installation.
#include "tools/mediatool/cmd_assemble.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/setup_description.h"
#include "media/digest.h"
#include "media/sha256.h"
#include "media/stream64.h"
#include "tools/mediatool/cmd_package.h"
#include "tools/mediatool/package_io.h"

namespace {

const char kCmd[] = "assemble";
const char kPackageName[] = "Setup.pkg";
const char kSplashName[] = "Splash.bmp";
const char kIconName[] = "icon.ico";
const char kProgramName[] = "Kelvra.exe";
const char kDefaultName[] = "Kelvra";
// Setup copies these from the medium and stops when one is missing.
const char* const kRuntimeFiles[] = {"Microsoft.VC80.CRT.manifest", "msvcp80.dll", "msvcr80.dll"};
// The default install folder is one of these, a product's Name and a
// backslash: 32-bit and 64-bit Windows.
const char* const kProgramFilesFolders[] = {"C:\\Program Files\\", "C:\\Program Files (x86)\\"};
const std::size_t kMaxListedWarnings = 20;
const unsigned char kUtf8Bom[] = {0xEF, 0xBB, 0xBF};

struct Options {
    std::string payload, setup, out, ini, splash, icon, runtime;
    bool placeholderRuntime = false, replace = false, skipEmptyDirs = false;
    unsigned cp = kDefaultCodePage;
    std::string cpText = std::to_string(kDefaultCodePage);
};

// The medium's name and title as setup will read them, in the code page.
struct Description {
    std::string name = kDefaultName;
    std::string title;
    std::string encoding;   // how the file was written, for the summary
};

struct NameCollector : public RecordVisitor {
    void Record(const RecordInfo& info) override
    {
        names.push_back(info.name);
        data += info.size;
    }
    std::vector<std::string> names;
    std::uint64_t data = 0;
};

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool ReadAll(const fs::path& p, std::string& bytes)
{
    File f(p, "rb");
    if (!f) return false;
    bytes.clear();
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) bytes.append(buf, n);
    return !std::ferror(f.get());
}

bool WriteAll(const fs::path& p, const std::string& bytes)
{
    File f(p, "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
    return f.Close() && ok;
}

bool Sha256OfFile(const fs::path& p, std::string& hex)
{
    File f(p, "rb");
    if (!f) return false;
    Sha256 h;
    std::vector<unsigned char> buf(kStreamBufferSize);
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), f.get())) > 0) h.Update(buf.data(), n);
    if (std::ferror(f.get())) return false;
    hex = Sha256::Hex(h.Finish());
    return true;
}

bool IsUtf8(const std::string& s)
{
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 9;
        if (extra == 9 || (c >= 0x80 && c < 0xC2) || extra > s.size() - i - 1) return false;
        for (std::size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
        i += extra + 1;
    }
    return true;
}

bool IsAscii(const std::string& s)
{
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

class Warnings {
public:
    void Add(const std::string& what, const std::string& why)
    {
        if (count_++ < kMaxListedWarnings)
            std::fprintf(stderr, "mediatool assemble: warning: %s: %s\n", what.c_str(), why.c_str());
    }
    void Finish() const
    {
        if (count_ > kMaxListedWarnings)
            std::fprintf(stderr, "mediatool assemble: %zu more warnings\n", count_ - kMaxListedWarnings);
    }
    std::size_t Count() const { return count_; }

private:
    std::size_t count_ = 0;
};

// Makes the description file's bytes: UTF-8 is converted to the code page
// (setup reads it byte for byte and knows no byte-order mark); anything
// else is taken as already written in the code page.
bool ConvertDescription(const std::string& in, unsigned cp, std::string& out, std::string& encoding,
                        std::string& why)
{
    std::string text = in;
    const bool bom = text.size() >= 3 && std::memcmp(text.data(), kUtf8Bom, 3) == 0;
    if (bom) text.erase(0, 3);
    if (IsAscii(text)) {
        out = text;
        encoding = bom ? "ASCII (byte-order mark removed)" : "ASCII";
        return true;
    }
    if (!IsUtf8(text)) {
        if (bom) {
            why = "starts with a UTF-8 byte-order mark but is not UTF-8";
            return false;
        }
        out = text;
        encoding = "taken as code page " + std::to_string(cp) + " (not UTF-8)";
        return true;
    }
    if (!LevelToCodePage(fs::u8path(text), cp, out)) {
        why = "holds characters that code page " + std::to_string(cp) + " cannot write";
        return false;
    }
    encoding = "UTF-8 converted to code page " + std::to_string(cp);
    return true;
}

// The setup program's own description file name: its name cut after the
// last "." plus "ini". Empty when the name has no ".", because then the
// rule reaches into whatever folder the medium is copied to.
std::string DescriptionFileName(const std::string& setupName)
{
    const std::size_t dot = setupName.find_last_of('.');
    if (dot == std::string::npos) return std::string();
    return setupName.substr(0, dot + 1) + "ini";
}

std::string PlaceholderText(const char* name)
{
    return std::string("PLACEHOLDER - NOT THE REAL FILE.\r\n\r\n") +
           "This file stands in for \"" + name +
           "\" of the Microsoft Visual C++ 2005 runtime (8.0.50727.762).\r\n"
           "It was written by 'mediatool assemble --placeholder-runtime' for a demonstration\r\n"
           "medium, so that setup finds every file it copies. A real medium must carry the real\r\n"
           "redistributable file (mediatool assemble --runtime DIR).\r\n";
}

bool CopyInto(const fs::path& from, const fs::path& to, std::string& why)
{
    std::error_code ec;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (ec) why = ec.message();
    return !ec;
}

// Adds a 512-byte trailer holding the digest stamp, so that the picture's
// own bytes stay as they are.
bool StampByAppending(const fs::path& p)
{
    File f(p, "r+b");
    if (!f) return false;
    const std::int64_t size = StreamSize64(f.get());
    if (size < 0) return false;
    unsigned char digest[kStampSize];
    if (!DigestStreamBody(f.get(), size, digest)) return false;
    unsigned char trailer[kTrailerSize] = {};
    std::memcpy(trailer + kStampOffset, digest, kStampSize);
    const bool ok = std::fseek(f.get(), 0, SEEK_END) == 0 &&
                    std::fwrite(trailer, 1, sizeof trailer, f.get()) == sizeof trailer;
    return f.Close() && ok;
}

// Whether setup's check accepts the file's stamp: the digest of all but the
// last 512 bytes, stored at trailer offset 158. Read through our own file
// handle, since the check itself takes a narrow path.
bool StampHolds(const fs::path& p)
{
    File f(p, "rb");
    if (!f) return false;
    const std::int64_t size = StreamSize64(f.get());
    if (size < kTrailerSize) return false;
    unsigned char digest[kStampSize], stamp[kStampSize];
    return DigestStreamBody(f.get(), size - kTrailerSize, digest) &&
           StreamSeek64(f.get(), size - kTrailerSize + kStampOffset, SEEK_SET) == 0 &&
           std::fread(stamp, 1, kStampSize, f.get()) == kStampSize && std::memcmp(stamp, digest, kStampSize) == 0;
}

// The path setup would be given on a host, as text for this platform's
// own argument conventions (see ArgPath).
std::string Join(const std::string& dir, const std::string& name) { return dir + "/" + name; }

bool ParseOptions(const Args& args, Options& o, int& status)
{
    status = kExitUsage;
    auto value = [&](std::size_t& i, std::string& into) {
        if (i + 1 >= args.size() || args[i + 1].empty()) {
            UsageError(kCmd, args[i] + " needs a value");
            return false;
        }
        into = args[++i];
        return true;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool ok = true;
        if (a == "--payload") ok = value(i, o.payload);
        else if (a == "--setup") ok = value(i, o.setup);
        else if (a == "--out" || a == "-o") ok = value(i, o.out);
        else if (a == "--ini") ok = value(i, o.ini);
        else if (a == "--splash") ok = value(i, o.splash);
        else if (a == "--icon") ok = value(i, o.icon);
        else if (a == "--runtime") ok = value(i, o.runtime);
        else if (a == "--placeholder-runtime") o.placeholderRuntime = true;
        else if (a == "--replace") o.replace = true;
        else if (a == "--skip-empty-dirs") o.skipEmptyDirs = true;
        else if (a == "--codepage") {
            ok = value(i, o.cpText);
            if (ok && !ParseCodePage(o.cpText, o.cp)) {
                UsageError(kCmd, std::string("--codepage takes one of ") + SupportedCodePages());
                return false;
            }
        } else {
            UsageError(kCmd, "unexpected argument '" + a + "'");
            return false;
        }
        if (!ok) return false;
    }
    if (o.payload.empty()) return UsageError(kCmd, "no payload folder (--payload DIR)"), false;
    if (o.setup.empty()) return UsageError(kCmd, "no setup program (--setup SETUP.EXE)"), false;
    if (o.out.empty()) return UsageError(kCmd, "no medium folder (--out MEDIUM)"), false;
    if (!o.runtime.empty() && o.placeholderRuntime)
        return UsageError(kCmd, "--runtime and --placeholder-runtime exclude each other"), false;
    return true;
}

// Checks that need nothing written; prints each refusal. False when any.
bool CheckInputs(const Options& o, std::vector<fs::path>& runtime)
{
    bool ok = true;
    std::error_code ec;
    auto refuse = [&](const std::string& what, const std::string& why) {
        Refuse(kCmd, what, why);
        ok = false;
    };
    const fs::path setup = ArgPath(o.setup);
    if (!fs::is_regular_file(setup, ec)) {
        refuse(o.setup, "no such file (the setup program)");
    } else {
        File f(setup, "rb");
        char mz[2] = {};
        if (!f || std::fread(mz, 1, 2, f.get()) != 2 || mz[0] != 'M' || mz[1] != 'Z')
            refuse(o.setup, "not a Windows program (no MZ header)");
    }
    if (!o.ini.empty() && DescriptionFileName(setup.filename().string()).empty())
        refuse(o.setup, "the program's name has no '.', so the name of its setup description file would "
                        "depend on the folder the medium is copied to; name it like setup.exe");
    if (!fs::is_directory(ArgPath(o.payload), ec)) refuse(o.payload, "no such folder (the payload)");
    if (!o.ini.empty() && !fs::is_regular_file(ArgPath(o.ini), ec)) refuse(o.ini, "no such file (--ini)");
    if (!o.splash.empty() && !fs::is_regular_file(ArgPath(o.splash), ec))
        refuse(o.splash, "no such file (--splash)");
    if (!o.icon.empty() && !fs::is_regular_file(ArgPath(o.icon), ec)) refuse(o.icon, "no such file (--icon)");

    if (o.runtime.empty() && !o.placeholderRuntime) {
        refuse("runtime files", "none given; setup stops with 'cannot copy file' without Microsoft.VC80.CRT.manifest, "
                                "msvcp80.dll and msvcr80.dll (--runtime DIR)");
    } else if (!o.runtime.empty()) {
        const fs::path dir = ArgPath(o.runtime);
        for (const char* name : kRuntimeFiles) {
            fs::path found = dir / name;
            // A file that differs only in letter case is the same file to Windows.
            if (!fs::is_regular_file(found, ec)) {
                found.clear();
                for (const auto& e : fs::directory_iterator(dir, ec))
                    if (e.is_regular_file(ec) && Lower(e.path().filename().string()) == Lower(name)) found = e.path();
            }
            if (found.empty())
                refuse(Join(o.runtime, name), "missing; setup stops with 'cannot copy file' without it");
            else
                runtime.push_back(found);
        }
    }

    const fs::path out = ArgPath(o.out);
    if (fs::exists(out, ec)) {
        if (!fs::is_directory(out, ec))
            refuse(o.out, "exists and is not a folder");
        else if (!fs::is_empty(out, ec) && !o.replace)
            refuse(o.out, "already exists and is not an empty folder (--replace replaces it)");
        else if (!fs::is_empty(out, ec) && !fs::exists(out / kPackageName, ec))
            refuse(o.out, "does not look like a medium (no Setup.pkg), so it is not replaced");
    }
    // The medium must not become part of its own payload.
    const fs::path payloadAbs = fs::weakly_canonical(ArgPath(o.payload), ec);
    const fs::path outAbs = fs::weakly_canonical(out, ec);
    const auto rel = outAbs.lexically_relative(payloadAbs);
    if (!rel.empty() && *rel.begin() != "..")
        refuse(o.out, "lies inside the payload folder " + o.payload);
    return ok;
}

} // namespace

void HelpAssemble()
{
    std::printf(
        "usage: mediatool assemble --payload DIR --setup SETUP.EXE --out MEDIUM\n"
        "                          [--ini FILE] [--splash BMP] [--icon ICO]\n"
        "                          [--runtime DIR | --placeholder-runtime]\n"
        "                          [--codepage N] [--replace] [--skip-empty-dirs]\n\n"
        "Lays out a complete installation medium in the folder MEDIUM:\n\n"
        "  SETUP.EXE                    the setup program, under its own name\n"
        "  Setup.pkg                    every file below DIR, packed (as 'pack' does)\n"
        "  <setup name>.ini             --ini FILE: Name and Title (setup.exe reads setup.ini);\n"
        "                               UTF-8 is converted to the code page\n"
        "  Splash.bmp                   --splash BMP, stamped so setup shows it (a copy is\n"
        "                               stamped by appending a trailer; BMP is not changed)\n"
        "  icon.ico                     --icon ICO\n"
        "  Microsoft.VC80.CRT.manifest  the Visual C++ 2005 runtime files from --runtime DIR;\n"
        "  msvcp80.dll, msvcr80.dll     --placeholder-runtime writes labelled placeholders\n"
        "                               instead, for demonstrations only\n\n"
        "  --codepage N       the installer's ANSI code page (default 936; also %s)\n"
        "  --replace          replace MEDIUM when it exists\n"
        "  --skip-empty-dirs  leave empty payload folders out instead of refusing\n\n"
        "Refused, with nothing written: a missing runtime file, a payload that 'pack'\n"
        "refuses, a payload without Kelvra.exe at its top level (the shortcuts start it),\n"
        "a description file the code page cannot hold.\n"
        "Warned: target paths longer than 259 characters under the default folder of\n"
        "32-bit and 64-bit Windows (C:\\Program Files\\<Name>\\, C:\\Program Files (x86)\\<Name>\\),\n"
        "payload files that setup's side files replace, a Name that cannot name a folder.\n\n"
        "Exit status: 0 assembled (perhaps with warnings), 1 refused, 2 usage error.\n",
        SupportedCodePages());
}

int RunAssemble(const Args& args)
{
    Options o;
    int status = kExitOk;
    if (!ParseOptions(args, o, status)) return status;
    PrepareConsole();

    std::vector<fs::path> runtime;
    if (!CheckInputs(o, runtime)) {
        std::fprintf(stderr, "mediatool assemble: nothing written\n");
        return kExitRefused;
    }
    const LeadBytes lb = LeadBytes::ForCodePage(o.cp);
    Warnings warnings;

    // Everything goes into a folder beside MEDIUM that is renamed at the
    // end: a refused medium never lies under the real name.
    const fs::path out = ArgPath(o.out);
    const std::string stageArg = o.out + ".assembling";
    const fs::path stage = ArgPath(stageArg);
    std::error_code ec;
    fs::remove_all(stage, ec);
    fs::create_directories(stage, ec);
    if (ec) {
        Refuse(kCmd, PathText(stage), "cannot be created: " + ec.message());
        return kExitRefused;
    }
    auto fail = [&](const std::string& what, const std::string& why) {
        if (!why.empty()) Refuse(kCmd, what, why);
        std::error_code ignored;
        fs::remove_all(stage, ignored);
        std::fprintf(stderr, "mediatool assemble: nothing written\n");
        return kExitRefused;
    };

    // The description file first: its Name decides the default folder.
    Description d;
    std::string refusedName;
    const fs::path setup = ArgPath(o.setup);
    const std::string setupName = setup.filename().string();
    std::string iniName;
    if (!o.ini.empty()) {
        std::string raw, converted, why;
        if (!ReadAll(ArgPath(o.ini), raw)) return fail(o.ini, "cannot be read");
        if (!ConvertDescription(raw, o.cp, converted, d.encoding, why)) return fail(o.ini, why);
        iniName = DescriptionFileName(setupName);
        const fs::path iniPath = stage / fs::u8path(iniName);
        if (!WriteAll(iniPath, converted)) return fail(PathText(iniPath), "cannot be written");
        File f(iniPath, "rb");
        if (ParseSetupDescription(f.get(), lb, d.name, d.title, &refusedName) == SetupDescriptionEnd::kLineTooLong)
            warnings.Add(o.ini, "a line is longer than 4095 characters; setup stops reading there");
    }
    const std::string shownName = DisplayName(d.name, o.cp);
    if (d.name.empty())
        warnings.Add("Name", "empty; the default folder is the Program Files folder itself and the "
                             "shortcuts are named '.lnk'");
    if (!refusedName.empty())
        warnings.Add("Name \"" + DisplayName(refusedName, o.cp) + "\"",
                     std::string(DescribeNameError(CheckFileNameComponent(refusedName, lb))) +
                         "; setup passes the line over and names the product \"" + shownName + "\"");

    // The payload, packed by the same code as 'mediatool pack'.
    const std::string pkgArg = Join(stageArg, kPackageName);
    Args packArgs = {o.payload, "-o", pkgArg, "--codepage", std::to_string(o.cp)};
    if (o.skipEmptyDirs) packArgs.push_back("--skip-empty-dirs");
    if (RunPack(packArgs) != kExitOk) return fail("payload " + o.payload, "cannot be packed (see above)");

    const fs::path pkg = stage / kPackageName;
    std::uint64_t pkgSize = 0;
    NameCollector names;
    {
        File f(pkg, "rb");
        if (!f || !FileSize(pkg, pkgSize)) return fail(PathText(pkg), "cannot be read back");
        FileSource source(f.get());
        const WalkResult r = WalkPackage(source, static_cast<std::uint32_t>(pkgSize), o.cp, names);
        if (r.error != PackageError::kNone) return fail(PathText(pkg), DescribeBreak(r, o.cp));
    }

    bool haveProgram = false;
    for (const std::string& n : names.names)
        if (Lower(n) == Lower(kProgramName)) haveProgram = true;
    if (!haveProgram)
        return fail(o.payload, "no Kelvra.exe at the top level; the shortcuts that setup creates start "
                               "<install folder>\\Kelvra.exe");

    // Side files are copied after the extraction, over payload files of
    // the same name.
    std::vector<std::string> sideFiles = {kSplashName, kIconName};
    for (const char* r : kRuntimeFiles) sideFiles.push_back(r);
    for (const std::string& n : names.names)
        for (const std::string& side : sideFiles)
            if (Lower(n) == Lower(side))
                warnings.Add("payload " + DisplayName(n, o.cp), "setup copies the medium's " + side +
                                                                   " over it at install time");

    // Target paths under the default folder of 32-bit and 64-bit Windows.
    std::size_t longest = 0;
    std::string longestName;
    std::vector<std::string> targets = names.names;
    if (!o.splash.empty()) targets.push_back(kSplashName);
    if (!o.icon.empty()) targets.push_back(kIconName);
    for (const char* r : kRuntimeFiles) targets.push_back(r);
    for (const std::string& n : targets) {
        for (const char* base : kProgramFilesFolders) {
            const std::size_t chars = CharCount(base, lb) + CharCount(d.name, lb) + 1 + CharCount(n, lb);
            if (chars > longest) {
                longest = chars;
                longestName = n;
            }
            if (chars > kMaxPathChars)
                warnings.Add(DisplayName(n, o.cp),
                             "under " + std::string(base) + shownName + "\\ the path takes " +
                                 std::to_string(chars) + " characters; Windows allows 259, so setup stops "
                                 "with 'cannot create file' unless a shorter install folder is chosen");
        }
    }

    // The setup program, the picture, the icon, the runtime files.
    std::string why;
    if (!CopyInto(setup, stage / setup.filename(), why)) return fail(o.setup, "cannot be copied: " + why);
    std::string splashState;
    if (!o.splash.empty()) {
        const fs::path splash = stage / kSplashName;
        if (!CopyInto(ArgPath(o.splash), splash, why)) return fail(o.splash, "cannot be copied: " + why);
        std::string head;
        if (!ReadAll(splash, head) || head.compare(0, 2, "BM") != 0)
            warnings.Add(o.splash, "not a BMP picture (no BM header); setup may not be able to show it");
        if (StampHolds(splash)) {
            splashState = "already stamped, copied as it is";
        } else {
            if (!StampByAppending(splash) || !StampHolds(splash))
                return fail(PathText(splash), "cannot be stamped");
            splashState = "stamped (512-byte trailer appended)";
        }
    }
    if (!o.icon.empty()) {
        if (!CopyInto(ArgPath(o.icon), stage / kIconName, why)) return fail(o.icon, "cannot be copied: " + why);
        std::string icon;
        if (!ReadAll(stage / kIconName, icon) || icon.compare(0, 4, std::string("\0\0\1\0", 4)) != 0)
            warnings.Add(o.icon, "not an icon file (no icon header)");
    }
    for (std::size_t i = 0; i < 3; ++i) {
        const fs::path to = stage / kRuntimeFiles[i];
        if (o.placeholderRuntime) {
            if (!WriteAll(to, PlaceholderText(kRuntimeFiles[i]))) return fail(PathText(to), "cannot be written");
        } else if (!CopyInto(runtime[i], to, why)) {
            return fail(PathText(runtime[i]), "cannot be copied: " + why);
        }
    }

    // Into place.
    if (fs::exists(out, ec)) fs::remove_all(out, ec);
    if (!ec) fs::rename(stage, out, ec);
    if (ec) return fail(o.out, "cannot be put in place: " + ec.message());
    warnings.Finish();

    // The summary, with the digests a published medium can be checked against.
    std::printf("medium %s (code page %u):\n", PathText(out).c_str(), o.cp);
    std::vector<std::pair<std::string, std::string>> rows;
    rows.push_back({setupName, "the setup program"});
    rows.push_back({kPackageName, std::to_string(names.names.size()) + " files, " + std::to_string(names.data) +
                                      " bytes of data"});
    if (!iniName.empty())
        rows.push_back({iniName, "Name \"" + shownName + "\", Title \"" + DisplayName(d.title, o.cp) + "\"; " +
                                     d.encoding});
    if (!o.splash.empty()) rows.push_back({kSplashName, splashState});
    if (!o.icon.empty()) rows.push_back({kIconName, "the shortcut icon"});
    for (const char* r : kRuntimeFiles)
        rows.push_back({r, o.placeholderRuntime ? "PLACEHOLDER, not installable on a real system"
                                                : "runtime file from " + o.runtime});
    for (const auto& row : rows) {
        std::uint64_t size = 0;
        std::string hex;
        const fs::path p = out / fs::u8path(row.first);
        FileSize(p, size);
        Sha256OfFile(p, hex);
        std::printf("  %-28s %10llu  %s\n      sha256 %s\n", row.first.c_str(), static_cast<unsigned long long>(size),
                    row.second.c_str(), hex.c_str());
    }
    std::printf("default install folder: C:\\Program Files\\%s\\ (64-bit Windows: C:\\Program Files (x86)\\%s\\)\n",
                shownName.c_str(), shownName.c_str());
    std::printf("longest target path there: %zu of 259 characters (%s)\n", longest,
                DisplayName(longestName, o.cp).c_str());
    if (o.placeholderRuntime)
        std::printf("note: the runtime files are placeholders; a real medium needs the real ones (--runtime DIR)\n");
    std::printf("assembled with %zu warning%s\n", warnings.Count(), warnings.Count() == 1 ? "" : "s");
    return kExitOk;
}
