#include "tools/mediatool/medium_assembly.h"

#include <cstdio>
#include <cstring>

#include "media/digest.h"
#include "media/medium.h"
#include "tools/mediatool/code_page.h"
#include "tools/mediatool/description_check.h"
#include "tools/mediatool/host_file.h"
#include "tools/mediatool/runtime_check.h"

using medium::kIconName;
using medium::kPackageName;
using medium::kSplashName;

// The side files setup cannot do without: the runtime files.
std::vector<const char*> RuntimeFiles()
{
    std::vector<const char*> names;
    for (const medium::SideFile& f : medium::kSideFiles)
        if (f.required) names.push_back(f.name);
    return names;
}

std::string DescriptionFileName(const std::string& setupName)
{
    if (setupName.find('.') == std::string::npos) return std::string();
    return medium::DescriptionPathFor(setupName);
}

namespace {

const unsigned char kUtf8Bom[] = {0xEF, 0xBB, 0xBF};

bool WriteAll(const fs::path& p, const std::string& bytes)
{
    FileOwner f(OpenFile(p, "wb"));
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
    return f.Close() && ok;
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
    std::size_t line = 0, column = 0;
    if (FindUnwritable(text, cp, line, column) || !LevelToCodePage(fs::u8path(text), cp, out)) {
        why = "holds characters that code page " + std::to_string(cp) + " cannot write (line " +
              std::to_string(line) + ", column " + std::to_string(column) + ")";
        return false;
    }
    encoding = "UTF-8 converted to code page " + std::to_string(cp);
    return true;
}

// Adds a 512-byte trailer holding the digest stamp, so that the picture's
// own bytes stay as they are.
bool StampByAppending(const fs::path& p)
{
    FileOwner f(OpenFile(p, "r+b"));
    unsigned char digest[kStampSize];
    return f && StampStream(f.get(), StampMode::kAppend, digest) == StampResult::kStamped && f.Close();
}

// Whether setup's check accepts the file's stamp. Read through our own file
// handle, since the check itself takes a narrow path.
bool StampHolds(const fs::path& p)
{
    FileOwner f(OpenFile(p, "rb"));
    return f && VerifyStreamDigest(f.get()) == DigestVerdict::kAccepted;
}


// The description file first: it is converted to the code page.
bool StageDescription(const AssembleOptions& o, MediumWriter& writer, StagedMedium& st, MediumRefusal& refusal)
{
    if (o.ini.empty()) return true;
    std::string raw, converted, why;
    if (!ReadWholeFile(ArgPath(o.ini), raw, why)) return refusal = {o.ini, "cannot be read: " + why}, false;
    if (!ConvertDescription(raw, o.cp, converted, st.encoding, why)) return refusal = {o.ini, why}, false;
    st.iniName = DescriptionFileName(st.setupName);
    const fs::path iniPath = writer.Staged(st.iniName);
    if (!WriteAll(iniPath, converted)) return refusal = {PathText(iniPath), "cannot be written"}, false;
    return true;
}

// The payload, packed by the same code as 'mediatool pack'; its digest is
// known from packing.
bool StagePayload(const AssembleOptions& o, MediumWriter& writer, StagedMedium& st, MediumRefusal& refusal)
{
    PackOptions pack;
    pack.dir = ArgPath(o.payload);
    pack.out = writer.Staged(kPackageName);
    pack.cp = o.cp;
    pack.skipEmptyDirs = o.skipEmptyDirs;
    pack.packageDigest = true;
    st.packed = PackFolder(pack);
    if (!st.packed.Ok()) return refusal = {"payload " + o.payload, "cannot be packed"}, false;
    writer.KnownDigest(kPackageName, st.packed.packageSha256);
    return true;
}

bool StageSplash(const AssembleOptions& o, MediumWriter& writer, StagedMedium& st, MediumRefusal& refusal)
{
    if (o.splash.empty()) return true;
    std::string why;
    const fs::path splash = writer.Staged(kSplashName);
    if (!CopyFileContents(ArgPath(o.splash), splash, why)) return refusal = {o.splash, "cannot be copied: " + why}, false;
    if (StampHolds(splash)) {
        st.splashState = "already stamped, copied as it is";
        return true;
    }
    if (!StampByAppending(splash) || !StampHolds(splash)) return refusal = {PathText(splash), "cannot be stamped"}, false;
    st.splashState = "stamped (512-byte trailer appended)";
    return true;
}

// The setup program (signed before the checksums are taken), the icon and
// the runtime files.
bool StageFiles(const AssembleOptions& o, const std::vector<fs::path>& runtime, MediumWriter& writer, StagedMedium& st,
                MediumRefusal& refusal)
{
    std::string why;
    const fs::path stagedSetup = writer.Staged(st.setupName);
    if (!CopyFileContents(ArgPath(o.setup), stagedSetup, why)) return refusal = {o.setup, "cannot be copied: " + why}, false;
    if (!o.sign.certificate.empty() && !signing::SignProgram(stagedSetup, o.sign, why))
        return refusal = {o.setup, "cannot be signed: " + why}, false;
    if (!StageSplash(o, writer, st, refusal)) return false;
    if (!o.icon.empty() && !CopyFileContents(ArgPath(o.icon), writer.Staged(kIconName), why))
        return refusal = {o.icon, "cannot be copied: " + why}, false;
    const std::vector<const char*> names = RuntimeFiles();
    for (std::size_t i = 0; i < names.size(); ++i) {
        const fs::path to = writer.Staged(names[i]);
        if (o.placeholderRuntime) {
            if (!WriteAll(to, runtime::PlaceholderText(names[i]))) return refusal = {PathText(to), "cannot be written"}, false;
        } else if (!CopyFileContents(runtime[i], to, why)) {
            return refusal = {PathText(runtime[i]), "cannot be copied: " + why}, false;
        }
    }
    return true;
}

} // namespace

bool StageMedium(const AssembleOptions& o, const std::vector<fs::path>& runtime, MediumWriter& writer,
                 StagedMedium& st, MediumRefusal& refusal)
{
    return StageDescription(o, writer, st, refusal) && StagePayload(o, writer, st, refusal) &&
           StageFiles(o, runtime, writer, st, refusal);
}
