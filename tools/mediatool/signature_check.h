// Whether a medium's signatures hold: the Authenticode signature of the
// setup program and the detached signature of its checksum file, checked
// by well-kept implementations (osslsigncode and OpenSSL on POSIX hosts,
// WinVerifyTrust and CryptoAPI in mediatool.exe). Returns findings and
// never prints.
#ifndef KELVRA_MEDIATOOL_SIGNATURE_CHECK_H
#define KELVRA_MEDIATOOL_SIGNATURE_CHECK_H

#include <filesystem>
#include <string>
#include <vector>

#include "tools/mediatool/signing.h"

namespace sigcheck {

namespace fs = std::filesystem;

// verify's --expect-signer and --trust.
struct Expectation {
    std::string signer;      // a subject as verify prints it, or a SHA-256 fingerprint in hex
    std::string trustFile;   // CA certificates (PEM) the signer's chain must reach
};

struct Certificate {
    std::string subject;       // "CN=..., O=..." in the certificate's own order
    std::string fingerprint;   // SHA-256 of its DER bytes, 64 lower-case hex digits
};

struct ProgramVerdict {
    bool present = false;   // the program carries a signature
    bool valid = false;     // the main signature holds over the program as it is
    Certificate signer;     // the main signature's signer, when it could be read
    bool pinned = false;    // the signer is the one --expect-signer names
    bool chained = false;   // the signer's chain reaches a certificate of --trust
    std::vector<std::string> problems;   // why the signature is refused
};

// Checks every signature of `program` against what it signs; the main one
// decides, a nested one never rescues it.
ProgramVerdict CheckProgram(const fs::path& program, const Expectation& expect);

// The platform's part of CheckProgram for a program that carries a
// signature: fills in whether the main signature holds, its signer and
// whether the chain was checked (signature_check_posix.cpp, _win32.cpp).
void VerifyMainSignature(const fs::path& program, const Expectation& expect, ProgramVerdict& v);

// Checks a detached signature over the checksum file's bytes, and that its
// signer is `signer` (the program's). Empty when it holds.
std::vector<std::string> CheckChecksumSignature(const fs::path& sums, const fs::path& signature,
                                                const Certificate& signer, const Expectation& expect);

// Whether the PKCS#12 of `o` holds a certificate Windows accepts for
// signing programs: current, for code signing, not a CA. Empty when so,
// with the certificate in `signer`; each reason (about the certificate
// file) otherwise.
std::vector<std::string> CheckSigningCertificate(const signing::Options& o, Certificate& signer);

// Writes a detached CMS signature of `sums` to `signature` with the
// certificate of `o`. The key passes through a private temporary folder that
// is gone again when this returns.
bool SignChecksums(const fs::path& sums, const fs::path& signature, const signing::Options& o, std::string& why);

// What a medium's signatures come to: each finding with the medium file
// it concerns; warnings count as problems under --strict.
struct MediumSignatures {
    std::vector<std::pair<std::string, std::string>> problems, warnings;   // (file name, why)
    std::string program;   // "signed by CN=..., signature verified" or "unsigned"
    std::string trust;     // what established the signer; empty when unsigned
};
MediumSignatures CheckMedium(const fs::path& dir, const std::string& programName, const Expectation& expect);

// --- the portable part: reading what the verifiers say ---

// A fingerprint as given ("AB:CD:..." or hex, either case) as 64 lower-case
// hex digits; empty when it is none.
std::string NormalFingerprint(const std::string& text);

// Whether `expected` (a fingerprint, or a subject compared whole) names `c`.
bool Names(const Certificate& c, const std::string& expected);

// One signature as `osslsigncode verify` reports it.
struct SignatureReport {
    int index = -1;             // 0: the main signature
    bool verified = false;      // "Signature verification: ok"
    bool digestMatches = false;   // the program's digest equals the signed one
    bool pageHashesMatch = true;  // where page hashes are present
    std::string signerSubject, signerIssuer, signerSerial;   // OpenSSL's "/CN=..." form, serial in hex
    std::vector<std::string> errors;   // "Error: ..." lines
};
std::vector<SignatureReport> ParseVerifyReport(const std::string& text);

// What `openssl x509 -noout -serial -fingerprint -sha256 -subject -issuer
// -nameopt compat -ext basicConstraints,extendedKeyUsage` says of a certificate.
struct CertificateFacts {
    std::string serial, fingerprint, subject, issuer;
    bool ca = false;
    bool hasUsage = false, codeSigning = false;
};
CertificateFacts ParseCertificateText(const std::string& text);

// Why Windows would refuse a certificate with these facts for signing programs.
std::vector<std::string> UsageProblems(const CertificateFacts& f);

// "signer pinned (...)", "chain checked against CAFILE", or what is missing.
std::string TrustSummary(const ProgramVerdict& v, const Expectation& expect);

} // namespace sigcheck

#endif
