// Broken and hostile media that need no installation: setup descriptions
// and splash pictures that are too long, binary, cut short, not files, or
// lie about themselves. Each run must start, show the splash window and
// then the main dialog with the right product name, and leave through
// Cancel with exit code 1: no crash, no hang.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "res/resource.h"
#include "media/digest.h"
#include "tests/common/stamp.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/install_support.h"

using namespace e2e;

namespace {

const DWORD kRunTimeoutMs = 30000;
// The built-in splash bitmap (res/art/splash.bmp) is 600 x 200.
const int kBuiltInWidth = 600;
const int kBuiltInHeight = 200;

bool IsMainDialog(HWND h)
{
    return ::IsWindowVisible(h) && ClassName(h) == L"#32770" && ::GetDlgItem(h, IDC_INSTALL);
}

bool IsSplash(HWND h)
{
    return ::IsWindowVisible(h) && ClassName(h) != L"#32770" && (::GetWindowLongW(h, GWL_STYLE) & WS_POPUP);
}

// One run watched from the start until the main dialog shows.
struct StartRun {
    HWND dialog = nullptr;
    SIZE splash{0, 0};
    bool sawSplash = false;

    void Watch(const Process& p)
    {
        const DWORD start = ::GetTickCount();
        while (::GetTickCount() - start < kRunTimeoutMs && p.Running() && !dialog) {
            for (HWND h : p.Windows()) {
                RECT r{};
                if (!sawSplash && IsSplash(h) && ::GetWindowRect(h, &r)) {
                    sawSplash = true;
                    splash = {r.right - r.left, r.bottom - r.top};
                }
                if (IsMainDialog(h)) dialog = h;
            }
            ::Sleep(10);
        }
    }
};

using teststamp::ShortStamped;
using teststamp::Stamped;

// A 24-bit BMP header, laid out by hand, that declares w x h pixels; only
// `pixelBytes` of pixel data follow.
std::string DeclaredBitmap(std::uint32_t w, std::uint32_t h, std::size_t pixelBytes)
{
    const std::uint32_t image = ((w * 3 + 3) & ~3u) * h;
    std::string b = "BM" + LittleEndian32(54 + image) + LittleEndian32(0) + LittleEndian32(54);
    b += LittleEndian32(40) + LittleEndian32(w) + LittleEndian32(h) + std::string("\1\0\x18\0", 4);
    b += LittleEndian32(0) + LittleEndian32(image) + LittleEndian32(2835) + LittleEndian32(2835);
    b += LittleEndian32(0) + LittleEndian32(0);
    return b + std::string(pixelBytes, '\x7F');
}

std::string AllBytesExcept(const std::string& left)
{
    std::string s;
    for (int c = 0; c < 256; ++c)
        if (left.find(static_cast<char>(c)) == std::string::npos) s += static_cast<char>(c);
    return s;
}

struct MediumCase {
    const char* id;             // the test's name
    const char* what;
    const char* ini;            // setup.ini contents; nullptr: none
    std::string iniBytes;       // used when `ini` is ""
    bool iniIsFolder;
    std::string splashBytes;    // Splash.bmp; empty with `splash` false: none
    bool splash;
    bool stampValid;            // CheckFileDigest's answer, a precondition
    const char* name;           // the product name the dialog must show
};

class BadMedium : public ::testing::TestWithParam<std::string> {};

std::vector<MediumCase> Cases()
{
    const std::string line4095(4095, 'x'), line4096(4096, 'x'), line100k(100000, 'x');
    return {
        {"IniLine4096", "ini: a line of 4096 characters ends the reading", "", "Name=Before\r\n" + line4096 + "\r\nName=After\r\n",
         false, "", false, false, "Before"},
        {"IniLine4095", "ini: a line of 4095 characters is read", "", "Name=Before\n" + line4095 + "\nName=After\n", false, "", false,
         false, "After"},
        {"IniLine100000", "ini: a line of 100,000 characters ends the reading", "", "Name=Before\n" + line100k + "\nName=After\n",
         false, "", false, false, "Before"},
        {"IniBinaryLine", "ini: a line of binary bytes is ignored", "", "Name=Before\n" + AllBytesExcept("\n\x1A") + "\nName=After\n",
         false, "", false, false, "After"},
        {"IniAllBinary", "ini: nothing but binary bytes", "", AllBytesExcept(""), false, "", false, false, "Kelvra"},
        {"IniNoLineEnd", "ini: no line end", "Title=T\nName=NoEnd", "", false, "", false, false, "NoEnd"},
        {"IniIsAFolder", "ini: a folder", nullptr, "", true, "", false, false, "Kelvra"},
        {"Splash0Bytes", "splash: 0 bytes", nullptr, "", false, "", true, false, "Kelvra"},
        {"Splash173Bytes", "splash: 173 bytes", nullptr, "", false, "BM" + std::string(171, '\0'), true, false, "Kelvra"},
        {"Splash174BytesStamped", "splash: 174 bytes, stamped", nullptr, "", false, ShortStamped(174), true, true, "Kelvra"},
        {"Splash511BytesStamped", "splash: 511 bytes, stamped", nullptr, "", false, ShortStamped(511), true, true, "Kelvra"},
        {"Splash512BytesStamped", "splash: 512 bytes, stamped", nullptr, "", false, ShortStamped(512), true, true, "Kelvra"},
        {"SplashStampedNotAPicture", "splash: stamped, not a picture", nullptr, "", false, Stamped(std::string(3000, 'T')), true, true, "Kelvra"},
        {"SplashStamped20000x20000Declared", "splash: stamped, 20000 x 20000 declared", nullptr, "", false, Stamped(DeclaredBitmap(20000, 20000, 4096)),
         true, true, "Kelvra"},
    };
}

std::vector<std::string> CaseIds()
{
    std::vector<std::string> ids;
    for (const MediumCase& c : Cases()) ids.push_back(c.id);
    return ids;
}

MediumCase FindCase(const std::string& id)
{
    for (const MediumCase& c : Cases())
        if (id == c.id) return c;
    ADD_FAILURE() << "no case " << id;
    return Cases()[0];
}

TEST_P(BadMedium, StartsAndShowsTheMainDialogWithTheRightName)
{
    const MediumCase c = FindCase(GetParam());
    SCOPED_TRACE(c.what);
    Medium medium("bad-medium-" + GetParam());
    medium.AddProgram();
    if (c.ini) medium.Write("setup.ini", *c.ini ? std::string(c.ini) : c.iniBytes);
    if (c.iniIsFolder) {
        ASSERT_TRUE(::CreateDirectoryA(medium.Path("setup.ini").c_str(), nullptr));
    }
    if (c.splash) {
        medium.Write("Splash.bmp", c.splashBytes);
        ASSERT_EQ(ReadFileBytes(medium.Path("Splash.bmp")).size(), c.splashBytes.size());
        ASSERT_EQ(CheckFileDigest(medium.Path("Splash.bmp").c_str()), c.stampValid);
    }

    Process setup;
    ASSERT_TRUE(setup.Start(medium.Path("setup.exe")));
    StartRun run;
    run.Watch(setup);
    ASSERT_TRUE(setup.Running()) << "setup.exe ended, exit code " << std::hex << setup.WaitExit(0);
    ASSERT_NE(run.dialog, nullptr) << "no main dialog within " << kRunTimeoutMs << " ms";

    // The built-in picture whenever Splash.bmp cannot be used.
    EXPECT_TRUE(run.sawSplash);
    EXPECT_EQ(run.splash.cx, kBuiltInWidth);
    EXPECT_EQ(run.splash.cy, kBuiltInHeight);

    const std::wstring name = Widen(c.name);
    EXPECT_EQ(WindowText(run.dialog), WithName(ExpectedTexts().title, name));
    wchar_t programFiles[MAX_PATH] = {};
    ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, programFiles, CSIDL_PROGRAM_FILES, FALSE));
    EXPECT_EQ(ItemText(run.dialog, IDC_FOLDER_EDIT), std::wstring(programFiles) + L"\\" + name);

    PostCommand(run.dialog, IDCANCEL);
    EXPECT_EQ(setup.WaitExit(10000), 1u);
}

INSTANTIATE_TEST_SUITE_P(BadInput, BadMedium, ::testing::ValuesIn(CaseIds()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

} // namespace
