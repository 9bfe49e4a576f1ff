// A medium laid out by mediatool.exe assemble, installed by setup.exe from
// it: the Windows build of the tool (its code page conversions are the
// platform's own) and the installer meet only through the medium's files.
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "media/digest.h"
#include "res/resource.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/install_support.h"
#include "tests/common/win_files.h"

using namespace e2e;

namespace {

const char kName[] = "Kelvra Asm";
const DWORD kToolTimeoutMs = 60000;

using testwin::WriteFileW;

// A 16 x 16 picture of 24 bits, bottom-up, written out field by field.
std::string SmallBitmap()
{
    const std::string pixels(16 * 16 * 3, '\x40');
    std::string b = "BM" + LittleEndian32(54 + static_cast<std::uint32_t>(pixels.size())) + LittleEndian32(0) +
                    LittleEndian32(54);
    b += LittleEndian32(40) + LittleEndian32(16) + LittleEndian32(16) + std::string("\x01\x00\x18\x00", 4) +
         LittleEndian32(0) + LittleEndian32(static_cast<std::uint32_t>(pixels.size())) + LittleEndian32(2835) +
         LittleEndian32(2835) + LittleEndian32(0) + LittleEndian32(0);
    return b + pixels;
}

class AssembledMedium : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = TempRootW() + L"assembled";
        folder_ = Widen(SpecialFolder(CSIDL_PROGRAM_FILES)) + L"\\" + Widen(kName);
        CleanInstallation({kName}, {root_, folder_});
    }
    void TearDown() override
    {
        setup_.Kill();
        CleanInstallation({kName}, {root_, folder_});
    }

    std::wstring root_, folder_;
    Process setup_;
};

TEST_F(AssembledMedium, InstallsEndToEnd)
{
    const std::string tool = BuildDir() + "mediatool.exe";
    ASSERT_TRUE(FileExists(tool)) << "mediatool.exe is not built";

    // The product, the runtime files, the description (UTF-8), the picture.
    const std::vector<PackedFile> files = ProductFiles();
    for (const PackedFile& f : files) ASSERT_TRUE(WriteFileW(root_ + L"\\payload\\" + f.name, f.data));
    for (const SideFile& f : SideFiles()) {
        const std::string name = f.name;
        if (name == "Splash.bmp") continue;
        ASSERT_TRUE(WriteFileW(root_ + (name == "icon.ico" ? L"\\" : L"\\runtime\\") + Widen(name), f.data));
    }
    ASSERT_TRUE(WriteFileW(root_ + L"\\setup.ini", "Name=Kelvra Asm\r\nTitle=Kelvra Caf\xC3\xA9 2.3\r\n"));
    ASSERT_TRUE(WriteFileW(root_ + L"\\splash.bmp", SmallBitmap()));

    const std::string r = Narrow(root_);
    Process assemble;
    ASSERT_TRUE(assemble.Start(tool, "assemble --payload \"" + r + "\\payload\" --setup \"" + BuildDir() +
                                         "setup.exe\" --out \"" + r + "\\medium\" --ini \"" + r +
                                         "\\setup.ini\" --splash \"" + r + "\\splash.bmp\" --icon \"" + r +
                                         "\\icon.ico\" --runtime \"" + r + "\\runtime\" --codepage " +
                                         std::to_string(::GetACP())));
    ASSERT_EQ(assemble.WaitExit(kToolTimeoutMs), 0u) << "mediatool.exe assemble failed";

    // é is A8 A6 in code page 936 and E9 in 1252.
    const std::string title = ChineseInterface() ? "Kelvra Caf\xA8\xA6 2.3" : "Kelvra Caf\xE9 2.3";
    const std::string medium = r + "\\medium\\";
    EXPECT_EQ(ReadFileBytes(medium + "setup.ini"), "Name=Kelvra Asm\r\nTitle=" + title + "\r\n");
    EXPECT_EQ(ReadFileBytes(medium + "setup.exe"), ReadFileBytes(BuildDir() + "setup.exe"));
    // The same records, in the byte order of their names, as a package
    // written by hand.
    std::vector<PackedFile> sorted = files;
    std::sort(sorted.begin(), sorted.end(),
              [](const PackedFile& a, const PackedFile& b) { return Narrow(a.name) < Narrow(b.name); });
    EXPECT_TRUE(ReadFileBytes(medium + "Setup.pkg") == Package(sorted)) << "Setup.pkg differs";
    const std::string splash = ReadFileBytes(medium + "Splash.bmp");
    EXPECT_EQ(splash.size(), SmallBitmap().size() + 512);
    // Setup's own check accepts the stamp.
    EXPECT_TRUE(CheckFileDigest((medium + "Splash.bmp").c_str())) << "the picture was not stamped";

    // The Windows build's own check of what it laid out: a medium to release.
    Process verify;
    ASSERT_TRUE(verify.Start(tool, "verify \"" + r + "\\medium\" --codepage " + std::to_string(::GetACP())));
    EXPECT_EQ(verify.WaitExit(kToolTimeoutMs), 0u) << "mediatool.exe verify found problems in the medium";

    // The installer, from the medium: the description names the default
    // folder, and the whole installation goes through.
    ASSERT_TRUE(setup_.Start(medium + "setup.exe"));
    HWND dlg = setup_.WaitForDialogWith(IDC_INSTALL);
    ASSERT_NE(dlg, nullptr) << "the main dialog did not appear";
    EXPECT_EQ(ItemText(dlg, IDC_FOLDER_EDIT), folder_);
    PostCommand(dlg, IDC_INSTALL);
    HWND done = setup_.WaitForDialogWith(IDC_EXIT, 30000);
    ASSERT_NE(done, nullptr) << "no completion dialog: " << Utf8(MessageBoxText(setup_.WaitForMessageBox(0)));

    for (const PackedFile& f : files) {
        SCOPED_TRACE(Utf8(f.name));
        EXPECT_TRUE(ReadFileBytesW(folder_ + L"\\" + f.name) == f.data);
    }
    for (const SideFile& f : SideFiles()) {
        if (std::string(f.name) == "Splash.bmp") continue;
        EXPECT_TRUE(ReadFileBytesW(folder_ + L"\\" + Widen(f.name)) == f.data) << f.name;
    }
    EXPECT_TRUE(ReadFileBytesW(folder_ + L"\\Splash.bmp") == splash);
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, kRecordKey, "Title").bytes, title + '\0');
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, kRecordKey, "Name").bytes, std::string(kName) + '\0');
    EXPECT_EQ(ReadShortcut(DesktopShortcut(kName)).target, Narrow(folder_) + "\\Kelvra.exe");

    PostCommand(done, IDC_EXIT);
    EXPECT_EQ(setup_.WaitExit(10000), 1u);
}

} // namespace
