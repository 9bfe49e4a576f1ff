// Signature checks on POSIX hosts: osslsigncode for the program, OpenSSL
// for certificates and the checksum file's CMS signature.
#include "tools/mediatool/signature_check.h"

#include <stdlib.h>

#include "base/file_owner.h"
#include "tools/mediatool/code_page.h"
#include "tools/mediatool/host_file.h"
#include "tools/mediatool/run_program.h"
#include "tools/mediatool/temp_files.h"

namespace sigcheck {

namespace {

// A folder only this user can enter, for key material and the verifiers'
// scratch files; removed with all in it when this goes, and on Ctrl-C.
class PrivateFolder {
public:
    PrivateFolder() = default;
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    ~PrivateFolder()
    {
        if (dir_.empty()) return;
        std::error_code ec;
        fs::remove_all(dir_, ec);
        for (const fs::path& f : files_) tempfiles::Forget(f);
        tempfiles::Forget(dir_);
    }
    bool Create(std::string& why)
    {
        std::error_code ec;
        std::string pattern = (fs::temp_directory_path(ec) / "mediatool-XXXXXX").string();
        if (!mkdtemp(pattern.data())) return why = "cannot create a private temporary folder: " + tempfiles::LastOsError(), false;
        dir_ = pattern;
        tempfiles::RemoveOnInterrupt(dir_, true);
        return true;
    }
    std::string File(const char* name)
    {
        files_.push_back(dir_ / name);
        tempfiles::RemoveOnInterrupt(files_.back());
        return files_.back().string();
    }

private:
    fs::path dir_;
    std::vector<fs::path> files_;
};

// Runs a program; false, with its first line of complaint, unless it exits 0.
bool Run(const std::vector<std::string>& argv, const std::string& input, ProgramRun& run, std::string& why)
{
    if (!RunProgram(argv, input, run, why)) return why = argv[0] + " cannot be started: " + why, false;
    if (run.status == 0) return true;
    why = FirstLine(run.err.empty() ? run.out : run.err);
    if (run.status == 127 && !FindProgram(argv[0].c_str()))
        why = argv[0] + " not found in PATH (Debian: apt-get install " + argv[0] + ")";
    return false;
}

// The PEM certificates of a bundle, one string each.
std::vector<std::string> SplitPem(const std::string& text)
{
    static const char kBegin[] = "-----BEGIN CERTIFICATE-----", kEnd[] = "-----END CERTIFICATE-----";
    std::vector<std::string> certs;
    for (std::size_t at = text.find(kBegin); at != std::string::npos; at = text.find(kBegin, at)) {
        const std::size_t end = text.find(kEnd, at);
        if (end == std::string::npos) break;
        certs.push_back(text.substr(at, end + sizeof kEnd - 1 - at) + "\n");
        at = end;
    }
    return certs;
}

bool FactsOf(const std::string& pem, CertificateFacts& f, std::string& why)
{
    ProgramRun run;
    if (!Run({"openssl", "x509", "-noout", "-serial", "-fingerprint", "-sha256", "-subject", "-issuer", "-nameopt",
              "compat", "-ext", "basicConstraints,extendedKeyUsage"},
             pem, run, why))
        return false;
    f = ParseCertificateText(run.out);
    return true;
}

// The subject as verify prints it: "CN=..., O=...", in the certificate's order.
std::string SubjectOf(const std::string& pem)
{
    ProgramRun run;
    std::string why;
    if (!Run({"openssl", "x509", "-noout", "-subject", "-nameopt", "sep_comma_plus_space,esc_2253,esc_ctrl,utf8,sname"},
             pem, run, why))
        return std::string();
    const std::string line = FirstLine(run.out);
    return line.rfind("subject=", 0) == 0 ? line.substr(8) : line;
}

bool WriteText(const std::string& path, const std::string& text)
{
    FileOwner f(OpenFile(path, "wb"));
    return f && std::fwrite(text.data(), 1, text.size(), f.get()) == text.size() && f.Close();
}

// The certificates of the PKCS#12 (without keys), the leaf first.
bool CertificatesOf(const signing::Options& o, std::string& pem, std::string& why)
{
    std::string password;
    if (!signing::ReadPassword(o, password, why)) return why = o.passwordFile + ": cannot be read: " + why, false;
    ProgramRun run;
    if (!Run({"openssl", "pkcs12", "-in", PathText(ArgPath(o.certificate)), "-passin", "stdin", "-clcerts", "-nokeys"},
             password + "\n", run, why))
        return why = "cannot be opened with its password: " + why, false;
    pem = run.out;
    return true;
}

// OpenSSL's reason in "error:CODE:LIB:FUNCTION:REASON:FILE:LINE:DETAIL",
// with the detail when there is one ("Verify error: self-signed certificate").
std::string OpenSslReason(const std::string& err)
{
    const std::size_t detail = err.find("Verify error:");
    if (detail != std::string::npos) return FirstLine(err.substr(detail + 14));
    const std::size_t at = err.find("error:");
    if (at == std::string::npos) return FirstLine(err);
    const std::string line = FirstLine(err.substr(at));
    std::size_t start = 0;
    for (int field = 0; field < 4 && start != std::string::npos; ++field) start = line.find(':', start + 1);
    if (start == std::string::npos) return line;
    const std::size_t end = line.find(':', start + 1);
    return line.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
}

// The main signature's verdict from osslsigncode's report.
void Judge(const SignatureReport& main, const std::string& err, const std::string& trustFile, ProgramVerdict& v)
{
    const bool trusted = !trustFile.empty();
    if (!main.digestMatches)
        v.problems.push_back("the program differs from what was signed (its Authenticode digest does not match)");
    if (!main.pageHashesMatch) v.problems.push_back("a page hash differs from the signed one");
    for (const std::string& e : main.errors)
        v.problems.push_back("the signer's certificate: " + e +
                             (trusted ? " (its chain does not reach " + trustFile + ")"
                                      : " (no chain within the signature; name its CA with --trust CAFILE)"));
    if (!main.verified && v.problems.empty())
        v.problems.push_back("the signature does not verify: " + FirstLine(err));
}

// The main signature's signer among the certificates the signature carries.
bool FindSigner(const std::vector<std::string>& carried, const SignatureReport& main, ProgramVerdict& v)
{
    for (const std::string& pem : carried) {
        CertificateFacts facts;
        std::string why;
        if (!FactsOf(pem, facts, why) || facts.serial != main.signerSerial || facts.issuer != main.signerIssuer) continue;
        for (const std::string& p : UsageProblems(facts)) v.problems.push_back("the signer's certificate: " + p);
        v.signer = {SubjectOf(pem), facts.fingerprint};
        return true;
    }
    v.problems.push_back("the signer's certificate is not among those the signature carries");
    return false;
}

} // namespace

void VerifyMainSignature(const fs::path& program, const Expectation& expect, ProgramVerdict& v)
{
    std::string why;
    PrivateFolder tmp;
    if (!tmp.Create(why)) return v.problems.push_back(why);
    const std::string sig = tmp.File("signature.pem"), carried = tmp.File("carried.pem");
    ProgramRun run;
    if (!Run({"osslsigncode", "extract-signature", "-pem", "-in", PathText(program), "-out", sig}, "", run, why) ||
        !Run({"openssl", "pkcs7", "-in", sig, "-print_certs", "-out", carried}, "", run, why))
        return v.problems.push_back("the signature cannot be read: " + why);
    // Without --trust the chain may only end in a certificate the signature
    // itself carries: that proves the bytes, and a pin proves who.
    const bool trusted = !expect.trustFile.empty();
    RunProgram({"osslsigncode", "verify", "-CAfile", trusted ? PathText(ArgPath(expect.trustFile)) : carried, "-in",
                PathText(program)},
               "", run, why);
    const std::vector<SignatureReport> reports = ParseVerifyReport(run.out);
    if (reports.empty() || reports[0].index != 0)
        return v.problems.push_back("osslsigncode cannot check the signature: " + FirstLine(run.err + why));
    Judge(reports[0], run.err, expect.trustFile, v);
    std::string bundle, unread;   // no bundle: no signer found, said below
    ReadWholeFile(carried, bundle, unread);
    FindSigner(SplitPem(bundle), reports[0], v);
    v.valid = v.problems.empty();
    v.chained = trusted && v.valid;
}

std::vector<std::string> CheckChecksumSignature(const fs::path& sums, const fs::path& signature,
                                                const Certificate& signer, const Expectation& expect)
{
    PrivateFolder tmp;
    std::string why;
    if (!tmp.Create(why)) return {why};
    const std::string signerPem = tmp.File("signer.pem");
    std::vector<std::string> argv = {"openssl", "cms", "-verify", "-binary", "-inform", "DER", "-in",
                                     PathText(signature), "-content", PathText(sums), "-out", "/dev/null",
                                     "-signer", signerPem, "-noverify"};
    ProgramRun run;
    if (!Run(argv, "", run, why))
        return {"does not hold over " + PathText(sums.filename()) + " (openssl cms -verify: " +
                (run.err.empty() ? why : OpenSslReason(run.err)) + ")"};
    if (!expect.trustFile.empty()) {
        argv.back() = "-purpose";
        argv.insert(argv.end(), {"any", "-CAfile", PathText(ArgPath(expect.trustFile))});
        if (!Run(argv, "", run, why))
            return {"its signer's chain does not reach " + expect.trustFile + " (" + OpenSslReason(run.err) + ")"};
    }
    std::string pem;
    CertificateFacts facts;
    if (!ReadWholeFile(signerPem, pem, why) || !FactsOf(pem, facts, why)) return {"its signer cannot be read: " + why};
    if (facts.fingerprint != signer.fingerprint)
        return {"signed by " + SubjectOf(pem) + " (SHA-256 " + facts.fingerprint +
                "), not by the setup program's signer"};
    return {};
}

std::vector<std::string> CheckSigningCertificate(const signing::Options& o, Certificate& signer)
{
    std::string pem, why;
    if (!CertificatesOf(o, pem, why)) return {why};
    const std::vector<std::string> certs = SplitPem(pem);
    if (certs.empty()) return {"holds no certificate with its key"};
    CertificateFacts facts;
    if (!FactsOf(certs[0], facts, why)) return {"the certificate cannot be read: " + why};
    std::vector<std::string> problems = UsageProblems(facts);
    signer = {SubjectOf(certs[0]), facts.fingerprint};
    PrivateFolder tmp;
    if (!tmp.Create(why)) return {why};
    const std::string leaf = tmp.File("leaf.pem");
    ProgramRun run;
    if (!WriteText(leaf, certs[0])) return {"cannot be checked: " + leaf + " cannot be written"};
    if (!Run({"openssl", "verify", "-partial_chain", "-no-CAfile", "-no-CApath", "-trusted", leaf, leaf}, "", run, why)) {
        // "error 10 at 0 depth lookup: certificate has expired"
        const std::string all = run.out + run.err;
        for (const char* code : {"error 9 at", "error 10 at"}) {
            const std::size_t at = all.find(code);
            if (at == std::string::npos) continue;
            const std::size_t reason = all.find("lookup: ", at);
            problems.push_back(FirstLine(all.substr(reason == std::string::npos ? at : reason + 8)) +
                               "; Windows refuses programs signed with it");
        }
    }
    return problems;
}

bool SignChecksums(const fs::path& sums, const fs::path& signature, const signing::Options& o, std::string& why)
{
    std::string password;
    if (!signing::ReadPassword(o, password, why)) return why = o.passwordFile + ": cannot be read: " + why, false;
    PrivateFolder tmp;
    if (!tmp.Create(why)) return false;
    const std::string key = tmp.File("key.pem");
    ProgramRun run;
    if (!Run({"openssl", "pkcs12", "-in", PathText(ArgPath(o.certificate)), "-passin", "stdin", "-nodes", "-out", key},
             password + "\n", run, why))
        return why = "openssl pkcs12: " + why, false;
    // No signed attributes: no signing time, so a medium signed twice is the same.
    return Run({"openssl", "cms", "-sign", "-binary", "-noattr", "-md", "sha256", "-in", PathText(sums), "-signer", key,
                "-outform", "DER", "-out", PathText(signature)},
               "", run, why) ||
           (why = "openssl cms -sign: " + why, false);
}

} // namespace sigcheck
