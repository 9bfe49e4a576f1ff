// The media tool and setup judge a stamp alike: for every file size from 0
// to 1100 bytes, stamped in place, stamped by appending, and tampered with,
// the tool's verdict (check-stamp, assemble) equals setup's CheckFileDigest
// and the rule restated in tests/common/stamp.h, and the stamped bytes are
// the hand-built layout.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "media/digest.h"
#include "base/file_owner.h"
#include "tests/common/bytes.h"
#include "tests/common/files.h"
#include "tests/common/temp_dir.h"
#include "tests/common/stamp.h"

namespace {

using teststamp::ShouldAccept;
using teststamp::StampOf;
using testfiles::ReadWhole;
using testfiles::WriteWhole;

std::string PatternText(std::size_t n)
{
    const testbytes::Bytes b = testbytes::Pattern(n);
    return std::string(b.begin(), b.end());
}

// Stamps the file as mediatool stamp does and answers what came back.
StampResult Stamp(const std::string& path, StampMode mode, std::string& digest)
{
    FileOwner f(std::fopen(path.c_str(), "r+b"));
    if (!f) return StampResult::kNoSize;
    unsigned char d[kStampSize] = {};
    const StampResult r = StampStream(f.get(), mode, d);
    digest.assign(reinterpret_cast<const char*>(d), kStampSize);
    return f.Close() ? r : StampResult::kWriteError;
}

struct Verdicts {
    bool tool;     // check-stamp's verdict on the path
    bool stream;   // assemble's, on a stream it opened itself
    bool setup;    // CheckFileDigest
};

Verdicts Judge(const std::string& path)
{
    Verdicts v;
    v.tool = VerifyFileDigest(path.c_str()) == DigestVerdict::kAccepted;
    FileOwner f(std::fopen(path.c_str(), "rb"));
    v.stream = f && VerifyStreamDigest(f.get()) == DigestVerdict::kAccepted;
    v.setup = CheckFileDigest(path.c_str());
    return v;
}

} // namespace

TEST(StampAgreement, EverySizeUpTo1100Bytes)
{
    const std::string path = testtemp::Path("stamp_agreement.bin");
    std::vector<std::string> faults;
    auto fault = [&](std::size_t n, const char* how, const std::string& what) {
        faults.push_back(std::to_string(n) + " bytes, " + how + ": " + what);
    };
    auto agree = [&](std::size_t n, const char* how, const std::string& expectedBytes) {
        const std::string got = ReadWhole(path);
        if (got != expectedBytes) fault(n, how, "bytes differ from the hand-built layout");
        const bool expected = ShouldAccept(expectedBytes);
        const Verdicts v = Judge(path);
        if (v.tool != expected || v.stream != expected || v.setup != expected)
            fault(n, how,
                  std::string("expected ") + (expected ? "accepted" : "refused") + ", tool " +
                      (v.tool ? "accepted" : "refused") + ", tool on a stream " +
                      (v.stream ? "accepted" : "refused") + ", setup " + (v.setup ? "accepted" : "refused"));
        return expected;
    };

    for (std::size_t n = 0; n <= 1100; ++n) {
        const std::string plain = PatternText(n);
        std::string digest;

        // In place: the last 512 bytes are the trailer; shorter files are
        // refused and left as they were.
        ASSERT_TRUE(WriteWhole(path, plain));
        const StampResult inPlace = Stamp(path, StampMode::kInPlace, digest);
        std::string expected = plain;
        if (n >= 512) {
            expected.replace(n - 512 + 158, 16, StampOf(plain.substr(0, n - 512)));
            if (inPlace != StampResult::kStamped) fault(n, "in place", "not stamped");
            if (digest != StampOf(plain.substr(0, n - 512))) fault(n, "in place", "digest handed back differs");
            if (!agree(n, "in place", expected)) fault(n, "in place", "the layout itself is not accepted");
        } else {
            if (inPlace != StampResult::kTooShort) fault(n, "in place", "not refused as too short");
            agree(n, "in place, refused", expected);
        }

        // Appended: every byte stays, a zero trailer with the stamp follows.
        ASSERT_TRUE(WriteWhole(path, plain));
        if (Stamp(path, StampMode::kAppend, digest) != StampResult::kStamped) fault(n, "appended", "not stamped");
        const std::string appended = teststamp::Stamped(plain);
        if (!agree(n, "appended", appended)) fault(n, "appended", "the layout itself is not accepted");

        // Tampered: one body byte changed, or a stamp byte when there is no body.
        std::string tampered = appended;
        tampered[n > 0 ? n / 2 : 158 + n % 16] ^= 0x20;
        ASSERT_TRUE(WriteWhole(path, tampered));
        if (agree(n, "tampered", tampered)) fault(n, "tampered", "the changed layout is still accepted");
    }
    std::remove(path.c_str());

    std::string shown;
    for (std::size_t i = 0; i < faults.size() && i < 20; ++i) shown += faults[i] + "\n";
    EXPECT_TRUE(faults.empty()) << faults.size() << " faults, the first:\n" << shown;
}
