// Authenticode: signing a medium's setup program with osslsigncode, and
// telling whether a Windows program carries a signature and whose.
#ifndef KELVRA_MEDIATOOL_SIGNING_H
#define KELVRA_MEDIATOOL_SIGNING_H

#include <filesystem>
#include <string>

namespace signing {

namespace fs = std::filesystem;

// Where the certificate's password comes from when no file is named; never
// the command line, which other users of the machine can read.
constexpr char kPasswordVariable[] = "MEDIATOOL_SIGN_PASSWORD";

struct Options {
    std::string certificate;    // PKCS#12 file (.p12 / .pfx); empty: no signing
    std::string passwordFile;   // first line is the password
    std::string timestampUrl;   // RFC 3161 time-stamping service, optional
    std::string time;           // seconds since 1970 as the signing time, optional
};

// Whether this build can sign at all; when not, `advice` says what to use.
bool CanSign(std::string& advice);

// Checks what signing needs before anything is written: the signing
// program, the certificate, the password file, the time. False, with the
// path (or program) and the reason.
bool CheckSigning(const Options& o, std::string& what, std::string& why);

// The certificate's password: the password file's first line, else the
// environment variable, else empty.
bool ReadPassword(const Options& o, std::string& password, std::string& why);

// Signs the program at `program` in place (SHA-256 digests).
bool SignProgram(const fs::path& program, const Options& o, std::string& why);

// A program's signature as found in its security directory.
struct Signature {
    bool present = false;
    std::string signer;   // "CN=..., O=..." of the signing certificate; empty when unreadable
};

// Reads the signature of a PE file. False, with `why`, when the file cannot
// be read or is not a Windows program.
bool ReadSignature(const fs::path& program, Signature& s, std::string& why);

// "signed by CN=..., O=...", "signed (signer unreadable)" or "unsigned".
std::string Describe(const Signature& s);

} // namespace signing

#endif
