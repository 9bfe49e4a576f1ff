// Signature checks in mediatool.exe: WinVerifyTrust for the program,
// CryptoAPI for the checksum file's detached signature. Wine's
// WinVerifyTrust checks the digest but not the chain, so a signer here is
// never counted as chained: pin it with --expect-signer.
#include "tools/mediatool/signature_check.h"

#include <windows.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstdio>

#include "base/handles_win32.h"
#include "media/sha256.h"
#include "tools/mediatool/code_page.h"
#include "tools/mediatool/host_file.h"

namespace sigcheck {

namespace {

struct CertContextTraits {
    using Handle = PCCERT_CONTEXT;
    static PCCERT_CONTEXT None() { return nullptr; }
    static bool Release(PCCERT_CONTEXT c) { return ::CertFreeCertificateContext(c) != FALSE; }
};
using CertContext = UniqueHandle<CertContextTraits>;

std::string Utf8(const wchar_t* w)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return std::string();
    std::string s(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w, -1, &s[0], n, nullptr, nullptr);
    s.resize(static_cast<std::size_t>(n - 1));
    return s;
}

std::string Hex(LONG code)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(code));
    return buf;
}

std::string SystemText(LONG code)
{
    wchar_t buf[512] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(code), 0,
                   buf, 512, nullptr);
    std::string s = Utf8(buf);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == '.')) s.pop_back();
    return (s.empty() ? std::string("the system gives no text for it") : s) + " (" + Hex(code) + ")";
}

Certificate Describe(PCCERT_CONTEXT c)
{
    Certificate out;
    wchar_t name[1024] = {};
    CertNameToStrW(X509_ASN_ENCODING, &c->pCertInfo->Subject, CERT_X500_NAME_STR, name, 1024);
    out.subject = Utf8(name);
    Sha256 h;
    h.Update(c->pbCertEncoded, c->cbCertEncoded);
    out.fingerprint = Sha256::Hex(h.Finish());
    return out;
}

bool IsCa(PCCERT_CONTEXT c)
{
    const PCERT_EXTENSION ext = CertFindExtension(szOID_BASIC_CONSTRAINTS2, c->pCertInfo->cExtension,
                                                  c->pCertInfo->rgExtension);
    CERT_BASIC_CONSTRAINTS2_INFO info = {};
    DWORD size = sizeof info;
    return ext && CryptDecodeObject(X509_ASN_ENCODING, X509_BASIC_CONSTRAINTS2, ext->Value.pbData,
                                    ext->Value.cbData, 0, &info, &size) && info.fCA;
}

// WinVerifyTrust's verdict on the program, and its main signer.
LONG VerifyFile(const fs::path& program, Certificate& signer, bool& ca)
{
    std::wstring path = program.wstring();
    WINTRUST_FILE_INFO file = {};
    file.cbStruct = sizeof file;
    file.pcwszFilePath = path.c_str();
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG status = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    if (CRYPT_PROVIDER_DATA* prov = WTHelperProvDataFromStateData(data.hWVTStateData)) {
        CRYPT_PROVIDER_SGNR* sgnr = WTHelperGetProvSignerFromChain(prov, 0, FALSE, 0);
        if (sgnr && sgnr->csCertChain && sgnr->pasCertChain && sgnr->pasCertChain[0].pCert) {
            signer = Describe(sgnr->pasCertChain[0].pCert);
            ca = IsCa(sgnr->pasCertChain[0].pCert);
        }
    }
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    return status;
}

} // namespace

void VerifyMainSignature(const fs::path& program, const Expectation& expect, ProgramVerdict& v)
{
    bool ca = false;
    const LONG status = VerifyFile(program, v.signer, ca);
    // An untrusted root still means the signature holds over the bytes.
    if (status == TRUST_E_BAD_DIGEST)
        v.problems.push_back("the program differs from what was signed (its Authenticode digest does not match)");
    else if (status != ERROR_SUCCESS && status != CERT_E_UNTRUSTEDROOT && status != CERT_E_CHAINING)
        v.problems.push_back("WinVerifyTrust refuses it: " + SystemText(status));
    if (ca) v.problems.push_back("the signer's certificate: a CA certificate (basic constraints CA:TRUE); Windows does not accept it as a program's signer");
    if (!expect.trustFile.empty())
        v.problems.push_back("mediatool.exe cannot check a chain against --trust CAFILE; pin the signer with --expect-signer");
    v.valid = v.problems.empty() && !v.signer.fingerprint.empty();
    if (v.problems.empty() && !v.valid) v.problems.push_back("the signer's certificate cannot be read");
}

std::vector<std::string> CheckChecksumSignature(const fs::path& sums, const fs::path& signature,
                                                const Certificate& signer, const Expectation&)
{
    std::string content, sig;
    std::string why;
    if (!ReadWholeFile(sums, content, why) || !ReadWholeFile(signature, sig, why)) return {"cannot be read: " + why};
    CRYPT_VERIFY_MESSAGE_PARA para = {};
    para.cbSize = sizeof para;
    para.dwMsgAndCertEncodingType = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
    const BYTE* parts[] = {reinterpret_cast<const BYTE*>(content.data())};
    DWORD sizes[] = {static_cast<DWORD>(content.size())};
    CertContext cert;
    if (!CryptVerifyDetachedMessageSignature(&para, 0, reinterpret_cast<const BYTE*>(sig.data()),
                                             static_cast<DWORD>(sig.size()), 1, parts, sizes, cert.put()))
        return {"does not hold over " + PathText(sums.filename()) + ": " +
                SystemText(static_cast<LONG>(GetLastError()))};
    const Certificate got = cert ? Describe(cert.get()) : Certificate();
    if (got.fingerprint != signer.fingerprint)
        return {"signed by " + got.subject + " (SHA-256 " + got.fingerprint + "), not by the setup program's signer"};
    return {};
}

std::vector<std::string> CheckSigningCertificate(const signing::Options&, Certificate&)
{
    std::string advice;
    signing::CanSign(advice);
    return {advice};
}

bool SignChecksums(const fs::path&, const fs::path&, const signing::Options&, std::string& why)
{
    signing::CanSign(why);
    return false;
}

} // namespace sigcheck
