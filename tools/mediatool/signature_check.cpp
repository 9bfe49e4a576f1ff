// The portable part of the signature checks: what the verifiers' reports
// say, and which signer a pin names.
#include "tools/mediatool/signature_check.h"

#include <cstdlib>

#include "base/ascii_text.h"
#include "media/medium.h"

namespace sigcheck {

namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        std::size_t lead = 0;
        while (lead < line.size() && (line[lead] == '\t' || line[lead] == ' ')) ++lead;
        lines.push_back(line.substr(lead));
        start = end + 1;
    }
    return lines;
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// The value after the first ':' of "Key   : value", without the
// verifier's " MISMATCH!!!" mark or trailing "...".
std::string ValueOf(const std::string& line)
{
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) return std::string();
    std::string v = line.substr(colon + 1);
    const std::size_t from = v.find_first_not_of(' ');
    v = from == std::string::npos ? std::string() : v.substr(from);
    const std::size_t cut = v.find_first_of(" \t");
    return cut == std::string::npos ? v : v.substr(0, cut);
}

// The text after "key=" when `line` starts with it.
bool After(const std::string& line, const char* key, std::string& value)
{
    if (!StartsWith(line, key)) return false;
    value = line.substr(std::string(key).size());
    return true;
}

} // namespace

std::string NormalFingerprint(const std::string& text)
{
    std::string hex;
    for (char c : text) {
        if (c == ':') continue;
        c = AsciiLower(c);
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return std::string();
        hex += c;
    }
    return hex.size() == 64 ? hex : std::string();
}

bool Names(const Certificate& c, const std::string& expected)
{
    const std::string fp = NormalFingerprint(expected);
    if (!fp.empty()) return !c.fingerprint.empty() && fp == c.fingerprint;
    return !c.subject.empty() && expected == c.subject;
}

std::vector<SignatureReport> ParseVerifyReport(const std::string& text)
{
    std::vector<SignatureReport> reports;
    std::string current, calculated, pages, calculatedPages;
    bool inSigner = false;
    auto close = [&] {
        if (reports.empty()) return;
        reports.back().digestMatches = !current.empty() && current == calculated;
        reports.back().pageHashesMatch = pages == calculatedPages;
        current.clear(), calculated.clear(), pages.clear(), calculatedPages.clear();
    };
    for (const std::string& line : Lines(text)) {
        if (StartsWith(line, "Signature Index:")) {
            close();
            reports.emplace_back();
            reports.back().index = std::atoi(ValueOf(line).c_str());
            inSigner = false;
            continue;
        }
        if (reports.empty()) continue;
        SignatureReport& r = reports.back();
        if (StartsWith(line, "Current message digest")) current = ValueOf(line);
        else if (StartsWith(line, "Calculated message digest")) calculated = ValueOf(line);
        else if (StartsWith(line, "Page hash ") && !StartsWith(line, "Page hash algorithm")) pages = ValueOf(line);
        else if (StartsWith(line, "Calculated page hash")) calculatedPages = ValueOf(line);
        else if (line == "Signature verification: ok") r.verified = true;
        else if (StartsWith(line, "Error: ")) r.errors.push_back(line.substr(7));
        else if (line == "Signer's certificate:") inSigner = true;
        else if (inSigner && r.signerSerial.empty()) {
            // The first signer listed is the one whose key signed.
            if (StartsWith(line, "Subject:")) r.signerSubject = line.substr(line.find(':') + 1);
            else if (StartsWith(line, "Issuer :")) r.signerIssuer = line.substr(line.find(':') + 1);
            else if (StartsWith(line, "Serial :")) r.signerSerial = ValueOf(line);
        }
    }
    close();
    for (SignatureReport& r : reports) {
        for (std::string* s : {&r.signerSubject, &r.signerIssuer})
            if (!s->empty() && (*s)[0] == ' ') s->erase(0, 1);
    }
    return reports;
}

CertificateFacts ParseCertificateText(const std::string& text)
{
    CertificateFacts f;
    enum { kOther, kConstraints, kUsage } section = kOther;
    for (const std::string& line : Lines(text)) {
        std::string v;
        if (After(line, "serial=", f.serial) || After(line, "subject=", f.subject) ||
            After(line, "issuer=", f.issuer))
            section = kOther;
        else if (After(line, "sha256 Fingerprint=", v)) f.fingerprint = NormalFingerprint(v), section = kOther;
        else if (StartsWith(line, "X509v3 ")) {
            section = StartsWith(line, "X509v3 Basic Constraints") ? kConstraints
                      : StartsWith(line, "X509v3 Extended Key Usage") ? kUsage : kOther;
            f.hasUsage = f.hasUsage || section == kUsage;
        } else if (section == kConstraints) {
            f.ca = f.ca || line == "CA:TRUE" || StartsWith(line, "CA:TRUE,");
        } else if (section == kUsage) {
            std::size_t start = 0;
            while (start <= line.size()) {
                std::size_t end = line.find(',', start);
                if (end == std::string::npos) end = line.size();
                std::string usage = line.substr(start, end - start);
                while (!usage.empty() && usage[0] == ' ') usage.erase(0, 1);
                if (usage == "Code Signing") f.codeSigning = true;
                start = end + 1;
            }
        }
    }
    return f;
}

std::vector<std::string> UsageProblems(const CertificateFacts& f)
{
    std::vector<std::string> problems;
    if (f.ca) problems.push_back("a CA certificate (basic constraints CA:TRUE); Windows does not accept it as a program's signer");
    if (!f.codeSigning)
        problems.push_back(f.hasUsage ? "its extended key usage does not include code signing; Windows refuses it for programs"
                                      : "no extended key usage for code signing; Windows refuses it for programs");
    return problems;
}

ProgramVerdict CheckProgram(const fs::path& program, const Expectation& expect)
{
    ProgramVerdict v;
    signing::Signature presence;
    std::string why;
    if (!signing::ReadSignature(program, presence, why)) return v.problems.push_back("signature unreadable: " + why), v;
    if (!(v.present = presence.present)) return v;
    VerifyMainSignature(program, expect, v);
    if (!expect.signer.empty()) {
        v.pinned = v.valid && Names(v.signer, expect.signer);
        if (v.valid && !v.pinned)
            v.problems.push_back("signed by " + v.signer.subject + " (SHA-256 " + v.signer.fingerprint +
                                 "), not by the expected signer " + expect.signer);
    }
    return v;
}

std::string TrustSummary(const ProgramVerdict& v, const Expectation& expect)
{
    std::string s;
    if (v.pinned) s = "signer pinned (" + expect.signer + ")";
    if (v.chained) s += (s.empty() ? "" : ", ") + std::string("chain checked against ") + expect.trustFile;
    if (s.empty()) s = "signer neither pinned (--expect-signer) nor chained (--trust)";
    return s;
}

MediumSignatures CheckMedium(const fs::path& dir, const std::string& programName, const Expectation& expect)
{
    MediumSignatures m;
    const fs::path sums = dir / medium::kChecksumsName, p7s = dir / medium::kChecksumsSignatureName;
    std::error_code ec;
    const bool signedSums = fs::exists(p7s, ec);
    const ProgramVerdict v = CheckProgram(dir / fs::u8path(programName), expect);
    for (const std::string& p : v.problems) m.problems.push_back({programName, "signature: " + p});
    if (!v.present) {
        m.program = "unsigned";
        if (!expect.signer.empty() || !expect.trustFile.empty())
            m.problems.push_back({programName, "unsigned, but --expect-signer or --trust asks for a signer"});
        if (signedSums)
            m.problems.push_back({medium::kChecksumsSignatureName, "signs the checksums of a medium whose setup program is unsigned"});
        return m;
    }
    m.program = v.valid ? "signed by " + v.signer.subject + ", signature verified" : "signed, signature refused";
    m.trust = TrustSummary(v, expect);
    if (v.valid && !v.pinned && !v.chained) m.warnings.push_back({programName, m.trust});
    if (!signedSums)
        m.problems.push_back({medium::kChecksumsSignatureName,
                              "missing; the checksums of a signed medium are signed too (assemble --sign writes it)"});
    else if (fs::exists(sums, ec))
        for (const std::string& p : CheckChecksumSignature(sums, p7s, v.signer, expect))
            m.problems.push_back({medium::kChecksumsSignatureName, p});
    return m;
}

} // namespace sigcheck
