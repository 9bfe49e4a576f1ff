// mediatool.exe checks the setup program's signature with WinVerifyTrust.
// Wine's WinVerifyTrust checks the digest but not the chain, so what is
// tested here is the digest and the signature's presence; chains, usages
// and expiry are tested natively (tests/tools). The signed copy of
// setup.exe is made on the build host with a throw-away certificate
// (tests/CMakeLists.txt).
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "tests/common/win_files.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/install_support.h"
#include "tests/e2e/tool_run.h"

using namespace e2e;

namespace {

TEST(MediatoolSignature, WinVerifyTrustJudgesTheProgramsBytes)
{
    const std::string signedSetup = ReadFileBytes(BuildDir() + "signed\\setup.exe");
    if (signedSetup.empty()) GTEST_SKIP() << "no signed setup.exe (the build host lacks openssl or osslsigncode)";
    const std::wstring root = TempRootW() + L"mediatool_signature";
    RemoveTree(Narrow(root));
    ASSERT_TRUE(testwin::WriteFileW(root + L"\\payload\\Kelvra.exe", "MZ"));
    for (const SideFile& f : SideFiles())
        ASSERT_TRUE(testwin::WriteFileW(root + L"\\runtime\\" + Widen(f.name), f.data));
    const std::wstring medium = root + L"\\medium";
    const ToolRun assembled = RunTool(L"assemble --payload \"" + root + L"\\payload\" --setup \"" +
                                      Widen(BuildDir()) + L"setup.exe\" -o \"" + medium + L"\" --runtime \"" + root +
                                      L"\\runtime\"");
    ASSERT_EQ(assembled.status, 0u) << assembled.out;

    std::string changed = signedSetup;
    changed[0x500] = static_cast<char>(changed[0x500] ^ 1);
    const struct {
        const char* what;
        std::string program;
        const char* said;
    } cases[] = {
        {"as signed", signedSetup, "signed by CN=Kelvra E2E Signer, signature verified"},
        {"one byte changed", changed, "the program differs from what was signed"},
        {"unsigned", ReadFileBytes(BuildDir() + "setup.exe"), "a 32-bit Windows GUI program, unsigned"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(testwin::WriteFileW(medium + L"\\setup.exe", c.program));
        const ToolRun r = RunTool(L"verify \"" + medium + L"\" --expect-signer \"CN=Kelvra E2E Signer\"");
        EXPECT_NE(r.out.find(c.said), std::string::npos) << r.out;
    }
    RemoveTree(Narrow(root));
}

} // namespace
