// The splash window as a user sees it: which picture, how large, where, for
// how long, and gone before the main dialog shows. The stamped pictures come
// from tests/e2e/data/make_splash_data.py (stamped with Python's hashlib).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/e2e/driver.h"

using namespace e2e;

namespace {

const int kStatusStripHeight = 17;     // bottom band that may hold text
const DWORD kSplashMs = 2000;
const DWORD kPollSlackMs = 100;        // one poll late at each end, and then some
const DWORD kCaptureAfterMs = 400;     // painted and flushed to the screen by then
const DWORD kWatchTimeoutMs = 30000;
const int kChannelTolerance = 3;

std::string SourcePath(const std::string& rel)
{
    std::string p = std::string("Z:") + KELVRA_SOURCE_DIR + "/" + rel;
    for (char& c : p)
        if (c == '/') c = '\\';
    return p;
}

std::uint32_t Le32(const std::string& b, std::size_t at)
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

// A 24-bit uncompressed BMP read by hand: header fields at their fixed
// offsets, rows bottom-up and padded to 4 bytes.
struct Bmp24 {
    int width = 0, height = 0;
    std::string bytes;
    std::size_t pixels = 0;

    bool Read(const std::string& path)
    {
        bytes = ReadFileBytes(path);
        if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') return false;
        pixels = Le32(bytes, 10);
        width = static_cast<int>(Le32(bytes, 18));
        height = static_cast<int>(Le32(bytes, 22));
        const unsigned bits = static_cast<unsigned char>(bytes[28]) | static_cast<unsigned char>(bytes[29]) << 8;
        return bits == 24 && Le32(bytes, 30) == 0 && width > 0 && height > 0 &&
               pixels + Stride() * static_cast<std::size_t>(height) <= bytes.size();
    }
    std::size_t Stride() const { return (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t(3); }
    COLORREF At(int x, int y) const
    {
        const std::size_t at = pixels + Stride() * static_cast<std::size_t>(height - 1 - y) + 3u * x;
        return RGB(static_cast<unsigned char>(bytes[at + 2]), static_cast<unsigned char>(bytes[at + 1]),
                   static_cast<unsigned char>(bytes[at]));
    }
};

// What the screen shows of a rectangle, read back through the screen DC.
struct Capture {
    int width = 0, height = 0;
    std::vector<std::uint32_t> px;

    bool Take(const RECT& r)
    {
        width = r.right - r.left;
        height = r.bottom - r.top;
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = width;
        bi.bmiHeader.biHeight = -height;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        HDC screen = ::GetDC(nullptr);
        HDC mem = ::CreateCompatibleDC(screen);
        void* bits = nullptr;
        HBITMAP dib = ::CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        bool ok = false;
        if (mem && dib && bits) {
            HGDIOBJ old = ::SelectObject(mem, dib);
            ok = ::BitBlt(mem, 0, 0, width, height, screen, r.left, r.top, SRCCOPY) != 0;
            ::GdiFlush();
            const auto* p = static_cast<const std::uint32_t*>(bits);
            px.assign(p, p + static_cast<std::size_t>(width) * height);
            ::SelectObject(mem, old);
        }
        if (dib) ::DeleteObject(dib);
        if (mem) ::DeleteDC(mem);
        ::ReleaseDC(nullptr, screen);
        return ok;
    }
    COLORREF At(int x, int y) const
    {
        const std::uint32_t v = px[static_cast<std::size_t>(y) * width + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
};

bool Near(COLORREF a, COLORREF b)
{
    return std::abs(GetRValue(a) - GetRValue(b)) <= kChannelTolerance &&
           std::abs(GetGValue(a) - GetGValue(b)) <= kChannelTolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= kChannelTolerance;
}

// Sample points spread over the picture, above the status strip.
std::vector<POINT> SamplePoints(int w, int h)
{
    std::vector<POINT> out;
    const int usable = h - kStatusStripHeight;
    for (int i = 0; i < 9; ++i)
        for (int j = 0; j < 5; ++j)
            out.push_back(POINT{w * (2 * i + 1) / 18, usable * (2 * j + 1) / 10});
    return out;
}

bool IsMainDialog(HWND h)
{
    return ::IsWindowVisible(h) && ClassName(h) == L"#32770" && ::GetDlgItem(h, IDC_INSTALL);
}

bool LooksLikeSplash(HWND h)
{
    RECT r{};
    return ::IsWindowVisible(h) && ClassName(h) != L"#32770" &&
           (::GetWindowLongW(h, GWL_STYLE) & WS_POPUP) && ::GetWindowRect(h, &r) && r.right - r.left > 1;
}

// One run of setup.exe, watched from its start until the main dialog shows.
struct SplashRun {
    HWND splash = nullptr;
    RECT rect{};
    LONG style = 0, exStyle = 0;
    DWORD firstSeen = 0, gone = 0;
    bool sawGone = false;
    bool dialogSeen = false;
    bool dialogWhileSplash = false;
    bool captured = false;
    Capture shot;

    void Watch(const Process& p)
    {
        const DWORD start = ::GetTickCount();
        while (::GetTickCount() - start < kWatchTimeoutMs && p.Running()) {
            // The dialog first: once visible it stays so, so a splash still
            // there afterwards was there together with it.
            bool dialogNow = false;
            const std::vector<HWND> windows = p.Windows();
            for (HWND h : windows)
                if (IsMainDialog(h)) dialogNow = true;
            if (!splash)
                for (HWND h : p.Windows())
                    if (LooksLikeSplash(h)) {
                        splash = h;
                        firstSeen = ::GetTickCount();
                        ::GetWindowRect(h, &rect);
                        style = ::GetWindowLongW(h, GWL_STYLE);
                        exStyle = ::GetWindowLongW(h, GWL_EXSTYLE);
                    }
            const bool splashUp = splash && ::IsWindow(splash) && ::IsWindowVisible(splash);
            const DWORD now = ::GetTickCount();
            if (splash && !splashUp && !sawGone) {
                sawGone = true;
                gone = now;
            }
            if (dialogNow) {
                dialogSeen = true;
                if (splashUp) dialogWhileSplash = true;
            }
            if (splashUp && !captured && now - firstSeen >= kCaptureAfterMs) {
                RECT visible{};
                RECT screen{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
                ::IntersectRect(&visible, &rect, &screen);
                // Still up after the capture: what was read is the splash.
                captured = shot.Take(visible) && ::IsWindowVisible(splash);
            }
            if (dialogSeen && (sawGone || !splash)) return;
            ::Sleep(10);
        }
    }
};

struct Case {
    const char* name;
    const char* file;          // under the source tree; none: no Splash.bmp
    long flipAt;               // byte to change (negative: from the end), 0: none
    const char* picture;       // what the window shows (a 24-bit BMP), or none
    int width, height;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

// Offsets into the stamped 480 x 240 picture: a pixel byte of the body, and
// the first stamp byte (trailer offset 158, i.e. 354 from the end).
const long kBodyByte = 54 + 3 * 480 * 100;
const long kStampByte = -(512 - 158);

const Case kCases[] = {
    {"NoFile", nullptr, 0, "res/art/splash.bmp", 600, 200},
    {"Stamped", "tests/e2e/data/splash-480x240-stamped.bmp", 0, "sample/splash.bmp", 480, 240},
    {"Unstamped", "sample/splash.bmp", 0, "res/art/splash.bmp", 600, 200},
    {"BodyTampered", "tests/e2e/data/splash-480x240-stamped.bmp", kBodyByte, "res/art/splash.bmp", 600, 200},
    {"StampTampered", "tests/e2e/data/splash-480x240-stamped.bmp", kStampByte, "res/art/splash.bmp", 600, 200},
    {"StampedButNotAPicture", "tests/e2e/data/not-a-picture-stamped.bmp", 0, "res/art/splash.bmp", 600, 200},
    {"LargerThanTheWorkArea", "tests/e2e/data/splash-1400x1100-stamped.bmp", 0, nullptr, 1400, 1100},
};

class SplashWindow : public ::testing::TestWithParam<Case> {
protected:
    void Start(const Case& c)
    {
        medium_.reset(new Medium(std::string("splash-") + c.name));
        medium_->AddProgram();
        if (c.file) {
            std::string bytes = ReadFileBytes(SourcePath(c.file));
            ASSERT_FALSE(bytes.empty()) << c.file;
            if (c.flipAt) {
                const std::size_t at = c.flipAt > 0 ? static_cast<std::size_t>(c.flipAt)
                                                    : bytes.size() - static_cast<std::size_t>(-c.flipAt);
                ASSERT_LT(at, bytes.size());
                bytes[at] = static_cast<char>(bytes[at] ^ 0x01);
            }
            medium_->Write("Splash.bmp", bytes);
        }
        ASSERT_TRUE(setup_.Start(medium_->Path("setup.exe")));
        run_.Watch(setup_);
    }

    void TearDown() override
    {
        for (HWND h : setup_.Windows())
            if (IsMainDialog(h)) PostCommand(h, IDCANCEL);
        setup_.WaitExit(5000);
    }

    std::unique_ptr<Medium> medium_;
    Process setup_;
    SplashRun run_;
};

TEST_P(SplashWindow, ShowsTheRightPictureAtItsSizeThenMakesWayForTheMainDialog)
{
    const Case& c = GetParam();
    Start(c);
    if (HasFatalFailure()) return;

    ASSERT_NE(run_.splash, nullptr) << "no splash window appeared";
    ASSERT_TRUE(run_.dialogSeen) << "the main dialog never became visible";

    // Size, no frame, no caption.
    EXPECT_EQ(run_.rect.right - run_.rect.left, c.width);
    EXPECT_EQ(run_.rect.bottom - run_.rect.top, c.height);
    EXPECT_TRUE(run_.style & WS_POPUP);
    EXPECT_FALSE(run_.style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME | WS_DLGFRAME));

    // Centred in the work area, held at its left and top edges when larger.
    RECT area{};
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0));
    auto place = [](LONG low, LONG high, int size) {
        LONG edge = (low + high) / 2 - size / 2;
        if (edge < low) edge = low;
        else if (edge + size > high) edge = high - size;
        return edge;
    };
    if (!c.picture) {
        // This case is about a picture that does not fit.
        ASSERT_LT(area.right - area.left, c.width);
        ASSERT_LT(area.bottom - area.top, c.height);
    }
    EXPECT_EQ(run_.rect.left, place(area.left, area.right, c.width));
    EXPECT_EQ(run_.rect.top, place(area.top, area.bottom, c.height));

    // Up for the whole wait, and gone before the main dialog shows.
    EXPECT_TRUE(run_.sawGone);
    EXPECT_GE(run_.gone - run_.firstSeen, kSplashMs - kPollSlackMs);
    EXPECT_FALSE(run_.dialogWhileSplash) << "splash and main dialog were visible together";

    if (!c.picture) return;
    Bmp24 expected;
    ASSERT_TRUE(expected.Read(SourcePath(c.picture))) << c.picture;
    ASSERT_EQ(expected.width, c.width);
    ASSERT_EQ(expected.height, c.height);
    ASSERT_TRUE(run_.captured) << "no screen capture of the splash";
    ASSERT_EQ(run_.shot.width, c.width);
    int wrong = 0;
    for (const POINT& p : SamplePoints(c.width, c.height))
        if (!Near(run_.shot.At(p.x, p.y), expected.At(p.x, p.y))) {
            ++wrong;
            ADD_FAILURE() << c.picture << " at " << p.x << "," << p.y << ": screen " << std::hex
                          << run_.shot.At(p.x, p.y) << ", picture " << expected.At(p.x, p.y);
            if (wrong > 5) break;
        }
}

INSTANTIATE_TEST_SUITE_P(Splash, SplashWindow, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// The pictures compared above must tell the two apart, or a wrong choice
// would pass unseen.
TEST(SplashArtwork, BuiltInAndSampleDifferWhereTheTestsLook)
{
    Bmp24 builtIn, sample;
    ASSERT_TRUE(builtIn.Read(SourcePath("res/art/splash.bmp")));
    ASSERT_TRUE(sample.Read(SourcePath("sample/splash.bmp")));
    int differ = 0;
    for (const POINT& p : SamplePoints(sample.width, sample.height))
        if (!Near(builtIn.At(p.x, p.y), sample.At(p.x, p.y))) ++differ;
    EXPECT_GT(differ, 20);
}

// The large picture's tiles as seen on the screen: palette entry
// (x / 100 + y / 100) % 16 of the generator, colour (0x10 + 12i, 0x30 + 8i, 0x80 + 6i).
TEST(SplashLargePicture, ShowsItsOwnPixelsFromTheTopLeftCorner)
{
    Medium medium("splash-large-pixels");
    medium.AddProgram();
    medium.Write("Splash.bmp", ReadFileBytes(SourcePath("tests/e2e/data/splash-1400x1100-stamped.bmp")));
    Process setup;
    ASSERT_TRUE(setup.Start(medium.Path("setup.exe")));
    SplashRun run;
    run.Watch(setup);
    ASSERT_NE(run.splash, nullptr);
    ASSERT_TRUE(run.captured);

    const struct { int x, y; COLORREF colour; } kTiles[] = {
        {50, 50, RGB(0x10, 0x30, 0x80)},      // tile 0
        {150, 50, RGB(0x1C, 0x38, 0x86)},     // tile 1
        {50, 150, RGB(0x1C, 0x38, 0x86)},     // tile 1
        {950, 550, RGB(0xB8, 0xA0, 0xD4)},    // tile 14
        {1250, 950, RGB(0x4C, 0x58, 0x9E)},   // tile 21 % 16 = 5
    };
    for (const auto& t : kTiles) {
        ASSERT_TRUE(t.x < run.shot.width && t.y < run.shot.height) << t.x << "," << t.y;
        EXPECT_TRUE(Near(run.shot.At(t.x, t.y), t.colour))
            << t.x << "," << t.y << ": " << std::hex << run.shot.At(t.x, t.y);
    }
    for (HWND h : setup.Windows())
        if (IsMainDialog(h)) PostCommand(h, IDCANCEL);
    setup.WaitExit(5000);
}

} // namespace
