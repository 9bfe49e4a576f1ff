// The readers of what the verifiers say (osslsigncode's report of each
// signature, openssl's account of a certificate) and the signer-name reader
// of a program's own signature, over arbitrary text. Never out of bounds;
// one report per "Signature Index:" line, counted apart from the reader; a
// fingerprint read is 64 lower-case hex digits and names its own owner.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/mediatool/signature_check.h"
#include "tools/mediatool/signing.h"

namespace {

void Check(bool ok)
{
    if (!ok) std::abort();
}

std::size_t CountIndexLines(const std::string& text)
{
    std::size_t n = 0;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::size_t i = start;
        while (i < end && (text[i] == ' ' || text[i] == '\t')) ++i;
        if (text.compare(i, 16, "Signature Index:") == 0 && i + 16 <= end) ++n;
        start = end + 1;
    }
    return n;
}

const std::string& Path()
{
    static const std::string path = "/tmp/kelvra_signature_fuzz_" + std::to_string(getpid()) + ".exe";
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    Check(sigcheck::ParseVerifyReport(text).size() == CountIndexLines(text));

    const sigcheck::CertificateFacts facts = sigcheck::ParseCertificateText(text);
    if (!facts.fingerprint.empty()) {
        Check(facts.fingerprint.size() == 64 && facts.fingerprint.find_first_not_of("0123456789abcdef") == std::string::npos);
        Check(sigcheck::Names({"", facts.fingerprint}, facts.fingerprint));
    }
    Check(sigcheck::UsageProblems(facts).empty() == (!facts.ca && facts.codeSigning));
    const std::string fp = sigcheck::NormalFingerprint(text);
    Check(fp.empty() || fp.size() == 64);

    // The program's own signature, read for the signer's name only.
    std::FILE* f = std::fopen(Path().c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
    signing::Signature s;
    std::string why;
    if (!signing::ReadSignature(Path(), s, why)) Check(!why.empty());
    else Check(s.present || s.signer.empty());
    std::remove(Path().c_str());
    return 0;
}
