#include "tools/mediatool/signing.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>


#include "base/file_owner.h"
#include "tools/mediatool/code_page.h"
#include "tools/mediatool/console.h"
#include "tools/mediatool/host_file.h"
#ifndef _WIN32
#include "tools/mediatool/run_program.h"
#endif
#include "tools/mediatool/temp_files.h"

namespace signing {

namespace {

// Bounds-checked reads over a byte range; a read that does not fit breaks
// the reader for good (every later read fails too).
class Reader {
public:
    Reader() = default;
    Reader(const unsigned char* p, std::size_t n) : p_(p), n_(n) {}
    bool Ok() const { return ok_; }
    bool AtEnd() const { return at_ == n_; }
    std::size_t Left() const { return n_ - at_; }
    const unsigned char* Here() const { return p_ + at_; }

    std::uint32_t Le(std::size_t offset, int bytes)
    {
        if (!ok_ || offset > n_ || static_cast<std::size_t>(bytes) > n_ - offset) return Fail();
        std::uint32_t v = 0;
        for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p_[offset + i];
        return v;
    }
    // The next DER element: its tag and its contents as a reader of their own.
    bool Next(unsigned& tag, Reader& content)
    {
        if (!ok_ || n_ - at_ < 2) return Fail() != 0;
        tag = p_[at_++];
        std::size_t len = p_[at_++];
        if (len & 0x80) {
            const std::size_t bytes = len & 0x7F;
            if (bytes == 0 || bytes > 4 || bytes > n_ - at_) return Fail() != 0;
            len = 0;
            for (std::size_t i = 0; i < bytes; ++i) len = len << 8 | p_[at_++];
        }
        if (len > n_ - at_) return Fail() != 0;
        content = Reader(p_ + at_, len);
        at_ += len;
        return true;
    }
    // The next element when it has `tag`; false (not broken) otherwise.
    bool Take(unsigned tag, Reader& content)
    {
        if (!ok_ || AtEnd() || p_[at_] != tag) return false;
        unsigned t = 0;
        return Next(t, content);
    }
    std::string Bytes() const { return std::string(reinterpret_cast<const char*>(p_), n_); }

private:
    std::uint32_t Fail()
    {
        ok_ = false;
        return 0;
    }
    const unsigned char* p_ = nullptr;
    std::size_t n_ = 0, at_ = 0;
    bool ok_ = true;
};

// Like Reader::Take, also giving the whole element's bytes.
bool TakeTlv(Reader& r, unsigned tag, Reader& content, std::string& tlv)
{
    const unsigned char* start = r.Here();
    if (!r.Take(tag, content)) return false;
    tlv.assign(reinterpret_cast<const char*>(start), static_cast<std::size_t>(r.Here() - start));
    return true;
}

constexpr unsigned kSequence = 0x30, kSet = 0x31, kInteger = 0x02, kOid = 0x06, kContext0 = 0xA0;

// "CN=..., O=..." from a Name.
std::string NameText(Reader name)
{
    static const struct {
        const char* oid;   // 2.5.4.3 and 2.5.4.10, DER contents
        const char* label;
    } kParts[] = {{"\x55\x04\x03", "CN="}, {"\x55\x04\x0A", "O="}};
    std::string text;
    for (const auto& part : kParts) {
        Reader r = name, set, attr, oid, value;
        unsigned tag = 0;
        while (r.Take(kSet, set)) {
            while (set.Take(kSequence, attr)) {
                if (!attr.Take(kOid, oid) || oid.Bytes() != std::string(part.oid, 3) || !attr.Next(tag, value))
                    continue;
                std::string v = value.Bytes();
                if (tag == 0x1E) {   // BMPString: big-endian UTF-16; ASCII kept, others marked
                    std::string narrow;
                    for (std::size_t i = 0; i + 1 < v.size(); i += 2)
                        narrow += v[i] == 0 && static_cast<unsigned char>(v[i + 1]) < 0x80 ? v[i + 1] : '?';
                    v = narrow;
                }
                text += (text.empty() ? "" : ", ") + std::string(part.label) + v;
            }
        }
    }
    return text;
}

// The subject of the certificate the signer names, from PKCS#7 SignedData.
std::string SignerOf(Reader blob)
{
    Reader contentInfo, oid, explicit0, signedData, skip, certs, signerInfos;
    if (!blob.Take(kSequence, contentInfo) || !contentInfo.Take(kOid, oid) ||
        !contentInfo.Take(kContext0, explicit0) || !explicit0.Take(kSequence, signedData))
        return std::string();
    unsigned tag = 0;
    signedData.Take(kInteger, skip);     // version
    signedData.Take(kSet, skip);         // digest algorithms
    signedData.Take(kSequence, skip);    // the signed content
    if (!signedData.Take(kContext0, certs)) return std::string();
    if (!signedData.AtEnd() && signedData.Here()[0] == 0xA1) signedData.Next(tag, skip);   // revocation lists
    Reader signerInfo, version, issuerSerial;
    if (!signedData.Take(kSet, signerInfos) || !signerInfos.Take(kSequence, signerInfo) ||
        !signerInfo.Take(kInteger, version) || !signerInfo.Take(kSequence, issuerSerial))
        return std::string();
    const std::string wanted = issuerSerial.Bytes();   // issuer Name and serial number, as DER

    Reader cert, tbs, field, serial, issuer, validity, subject;
    while (certs.Take(kSequence, cert)) {
        std::string serialTlv, issuerTlv;
        if (!cert.Take(kSequence, tbs)) continue;
        tbs.Take(kContext0, field);   // version
        if (!TakeTlv(tbs, kInteger, serial, serialTlv) || !tbs.Take(kSequence, field) ||
            !TakeTlv(tbs, kSequence, issuer, issuerTlv) || !tbs.Take(kSequence, validity) ||
            !tbs.Take(kSequence, subject))
            continue;
        if (issuerTlv + serialTlv == wanted) return NameText(subject);
    }
    return std::string();
}

} // namespace

bool ReadPassword(const Options& o, std::string& password, std::string& why)
{
    password.clear();
    if (o.passwordFile.empty()) {
        const char* env = std::getenv(kPasswordVariable);
        if (env) password = env;
        return true;
    }
    FileOwner f(OpenFile(ArgPath(o.passwordFile), "rb"));
    if (!f) return why = std::strerror(errno), false;
    char buf[4096];
    const std::size_t n = std::fread(buf, 1, sizeof buf, f.get());
    if (std::ferror(f.get())) return why = std::strerror(errno), false;
    password.assign(buf, n);
    const std::size_t eol = password.find_first_of("\r\n");
    if (eol != std::string::npos) password.erase(eol);
    return true;
}

bool CanSign(std::string& advice)
{
#ifdef _WIN32
    advice = "mediatool.exe cannot sign; sign the setup program with signtool (signtool sign /f CERT.p12 /fd "
             "SHA256 setup.exe) before assembling, or assemble on Linux, where mediatool signs with osslsigncode";
    return false;
#else
    advice.clear();
    return true;
#endif
}

bool CheckSigning(const Options& o, std::string& what, std::string& why)
{
#ifndef _WIN32
    if (!FindProgram("osslsigncode")) {
        what = "osslsigncode";
        why = "not found in PATH; it signs the setup program (Debian: apt-get install osslsigncode)";
        return false;
    }
#endif
    std::error_code ec;
    if (!fs::is_regular_file(ArgPath(o.certificate), ec)) {
        what = o.certificate;
        why = fs::exists(ArgPath(o.certificate), ec) ? "not a regular file (--sign)" : "no such file (--sign)";
        return false;
    }
    std::string password;
    if (!ReadPassword(o, password, why)) {
        what = o.passwordFile;
        why = "cannot be read: " + why;
        return false;
    }
    return true;
}

bool SignProgram(const fs::path& program, const Options& o, std::string& why)
{
#ifdef _WIN32
    (void)program;
    (void)o;
    CanSign(why);
    return false;
#else
    std::string password;
    if (!ReadPassword(o, password, why)) return why = o.passwordFile + ": cannot be read: " + why, false;
    fs::path signedCopy = program;
    signedCopy += ".signed";
    tempfiles::RemoveOnInterrupt(signedCopy);
    std::vector<std::string> argv = {"osslsigncode", "sign", "-pkcs12", PathText(ArgPath(o.certificate)),
                                     "-readpass", "/dev/stdin", "-h", "sha256"};
    if (!o.timestampUrl.empty()) argv.insert(argv.end(), {"-ts", o.timestampUrl});
    if (!o.time.empty()) argv.insert(argv.end(), {"-time", o.time});
    argv.insert(argv.end(), {"-in", PathText(program), "-out", PathText(signedCopy)});
    ProgramRun run;
    std::error_code ec;
    const bool ran = RunProgram(argv, password + "\n", run, why);
    const int status = run.status;
    std::string output = run.out + run.err;
    if (!ran || status != 0) {
        fs::remove(signedCopy, ec);
        tempfiles::Forget(signedCopy);
        if (ran) {
            while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
            why = "osslsigncode failed (exit status " + std::to_string(status) + "): " + output;
        } else {
            why = "osslsigncode cannot be started: " + why;
        }
        return false;
    }
    const bool moved = tempfiles::MoveOver(signedCopy, program, why);
    tempfiles::Forget(signedCopy);
    return moved;
#endif
}

bool ReadSignature(const fs::path& program, Signature& s, std::string& why)
{
    s = Signature();
    FileOwner f(OpenFile(program, "rb"));
    if (!f) return why = std::strerror(errno), false;
    std::string data;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) data.append(buf, n);
    if (std::ferror(f.get())) return why = std::strerror(errno), false;

    Reader r(reinterpret_cast<const unsigned char*>(data.data()), data.size());
    const std::uint32_t peAt = r.Le(0x3C, 4);
    if (r.Le(0, 2) != 0x5A4D || r.Le(peAt, 4) != 0x00004550 || !r.Ok())
        return why = "not a Windows program (no PE header)", false;
    const std::uint64_t opt = static_cast<std::uint64_t>(peAt) + 24;
    const std::uint32_t magic = r.Le(opt, 2);
    // The data directories follow the fixed fields: 96 bytes in PE32, 112 in PE32+.
    const std::uint64_t dirs = opt + (magic == 0x20B ? 112 : 96);
    const std::uint32_t dirCount = r.Le(dirs - 4, 4);
    if (!r.Ok() || (magic != 0x10B && magic != 0x20B)) return why = "not a Windows program (bad optional header)", false;
    if (dirCount < 5) return true;   // no security directory
    // The security directory (index 4) holds a file offset, not an address.
    const std::uint32_t certAt = r.Le(dirs + 4 * 8, 4), certSize = r.Le(dirs + 4 * 8 + 4, 4);
    if (!r.Ok()) return why = "not a Windows program (directories cut short)", false;
    if (certAt == 0 || certSize == 0) return true;
    // WIN_CERTIFICATE: length, revision, type (2: PKCS#7 SignedData), data.
    const std::uint32_t length = r.Le(certAt, 4), type = r.Le(certAt + 6ull, 2);
    if (!r.Ok() || length < 8 || length > certSize || length > data.size() - certAt)
        return why = "the signature directory lies outside the file", false;
    s.present = true;
    if (type == 2)
        s.signer = SignerOf(Reader(reinterpret_cast<const unsigned char*>(data.data()) + certAt + 8, length - 8));
    return true;
}

std::string Describe(const Signature& s)
{
    if (!s.present) return "unsigned";
    if (s.signer.empty()) return "signed (signer unreadable)";
    return "signed by " + s.signer;
}

} // namespace signing
