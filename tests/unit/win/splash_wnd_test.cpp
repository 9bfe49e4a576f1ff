// The splash window in process: the status strip, the status text drawing,
// and the object's life with the built-in bitmap.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/module_win32.h"
#include "media/source_dir_win32.h"
#include "base/handles_win32.h"
#include "ui/splash_wnd.h"

namespace {

TEST(StatusStrip, FourteenPixelBandAboveTheBottomEdge)
{
    const struct {
        RECT client;
        RECT strip;
    } kCases[] = {
        {{0, 0, 600, 200}, {8, 183, 592, 197}},
        {{0, 0, 480, 240}, {8, 223, 472, 237}},
        {{0, 0, 1400, 1100}, {8, 1083, 1392, 1097}},
        {{0, 0, 16, 17}, {8, 0, 8, 14}},
    };
    for (const auto& c : kCases) {
        const RECT r = StatusStripRect(c.client);
        EXPECT_EQ(r.left, c.strip.left);
        EXPECT_EQ(r.top, c.strip.top);
        EXPECT_EQ(r.right, c.strip.right);
        EXPECT_EQ(r.bottom, c.strip.bottom);
    }
}

// A white 32-bit canvas to draw on.
class Canvas {
public:
    Canvas(int w, int h) : w_(w), h_(h), dc_(::CreateCompatibleDC(nullptr))
    {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        bitmap_.reset(::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
        bits_ = static_cast<const DWORD*>(bits);
        old_ = ::SelectObject(dc_.get(), bitmap_.get());
        ::PatBlt(dc_.get(), 0, 0, w, h, WHITENESS);
    }
    ~Canvas() { ::SelectObject(dc_.get(), old_); }
    HDC dc() const { return dc_.get(); }
    bool Inked(int x, int y) const
    {
        ::GdiFlush();
        return (bits_[y * w_ + x] & 0xFFFFFF) != 0xFFFFFF;
    }
    std::string Pixels() const
    {
        ::GdiFlush();
        return std::string(reinterpret_cast<const char*>(bits_), static_cast<std::size_t>(w_) * h_ * 4);
    }
    int w_, h_;

private:
    MemoryDc dc_;
    BitmapHandle bitmap_;
    const DWORD* bits_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

FontHandle StatusFont()
{
    return FontHandle(::CreateFontA(14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                    "Microsoft Sans Serif"));
}

const RECT kClient{0, 0, 300, 60};

std::string Plain(HFONT font, const std::string& text)
{
    Canvas c(kClient.right, kClient.bottom);
    ::SelectObject(c.dc(), font);
    ::SetBkMode(c.dc(), TRANSPARENT);
    RECT strip{8, 43, 292, 57};
    ::DrawTextA(c.dc(), text.c_str(), static_cast<int>(text.size()), &strip, DT_SINGLELINE | DT_VCENTER);
    return c.Pixels();
}

TEST(StatusText, InkStaysInsideTheStrip)
{
    FontHandle font = StatusFont();
    Canvas c(kClient.right, kClient.bottom);
    const std::string text = "C:\\Program Files\\Kelvra\\a rather long folder name\\and another\\Kelvra.exe";
    DrawStatusText(c.dc(), font.get(), kClient, text);

    int inked = 0, rightmost = -1;
    for (int y = 0; y < c.h_; ++y)
        for (int x = 0; x < c.w_; ++x)
            if (c.Inked(x, y)) {
                ++inked;
                EXPECT_TRUE(x >= 8 && x < 292 && y >= 43 && y < 57) << x << "," << y;
                if (x > rightmost) rightmost = x;
            }
    EXPECT_GT(inked, 0);
    // Shortened to the strip, not cut off early: it fills most of it.
    EXPECT_GT(rightmost, 292 - 40);
}

TEST(StatusText, ATextTooLongIsShortenedInTheMiddleAndAShortOneDrawnAsIs)
{
    FontHandle font = StatusFont();
    const struct {
        std::string text;
        bool shortened;
    } kCases[] = {
        {"Kelvra Loading...", false},
        {"C:\\Program Files\\Kelvra\\a rather long folder name\\and another\\Kelvra.exe", true},
        {std::string(200, 'W'), true},
    };
    for (const auto& c : kCases) {
        Canvas canvas(kClient.right, kClient.bottom);
        DrawStatusText(canvas.dc(), font.get(), kClient, c.text);
        // Plain drawing clips a long text at the strip's edge; the status
        // text draws something else there (an ellipsis and the tail).
        EXPECT_EQ(canvas.Pixels() != Plain(font.get(), c.text), c.shortened) << c.text;
    }
}

TEST(StatusText, IsBlackWhateverTheDcHadSelected)
{
    FontHandle font = StatusFont();
    Canvas c(kClient.right, kClient.bottom);
    ::SetTextColor(c.dc(), RGB(255, 0, 0));
    ::SetBkMode(c.dc(), OPAQUE);
    ::SetBkColor(c.dc(), RGB(0, 255, 0));
    DrawStatusText(c.dc(), font.get(), kClient, "Kelvra Loading...");
    ::GdiFlush();
    bool sawBlack = false;
    for (int y = 43; y < 57; ++y)
        for (int x = 8; x < 292; ++x) {
            const COLORREF p = ::GetPixel(c.dc(), x, y);
            // Transparent: no background box; black ink (grey at smoothed edges).
            EXPECT_NE(p, RGB(0, 255, 0));
            EXPECT_EQ(GetRValue(p), GetGValue(p)) << x << "," << y;
            EXPECT_EQ(GetGValue(p), GetBValue(p)) << x << "," << y;
            if (p == RGB(0, 0, 0)) sawBlack = true;
        }
    EXPECT_TRUE(sawBlack);
}

// The splash of a program folder without Splash.bmp.
class SplashInProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(g_Module.Init(::GetModuleHandleA(nullptr)), S_OK);
        std::string dir;
        ASSERT_TRUE(GetSourceDirectory(dir));
        if (::GetFileAttributesA((dir + "Splash.bmp").c_str()) != INVALID_FILE_ATTRIBUTES)
            GTEST_SKIP() << "a Splash.bmp lies beside the test program";
    }
};

class CountedSplash : public CSplashWnd {
public:
    explicit CountedSplash(int& deleted) : deleted_(deleted) {}
    ~CountedSplash() override { ++deleted_; }
private:
    int& deleted_;
};

TEST_F(SplashInProcess, BuiltInBitmapBorderlessCentredAndGoneWithItsWindow)
{
    int deleted = 0;
    auto* splash = new CountedSplash(deleted);
    EXPECT_EQ(splash->StatusText(), "");
    ASSERT_TRUE(splash->ShowSplash());
    const HWND hwnd = splash->m_hWnd;
    ASSERT_TRUE(::IsWindow(hwnd));
    EXPECT_FALSE(splash->HasPicture());
    EXPECT_EQ(splash->StatusText(), "Kelvra Loading...");

    RECT r{}, client{}, area{};
    ::GetWindowRect(hwnd, &r);
    ::GetClientRect(hwnd, &client);
    ASSERT_TRUE(::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0));
    // Bitmap 223 is 600 x 200; no frame, so the client is the whole window.
    EXPECT_EQ(r.right - r.left, 600);
    EXPECT_EQ(r.bottom - r.top, 200);
    EXPECT_EQ(client.right, 600);
    EXPECT_EQ(client.bottom, 200);
    EXPECT_EQ(r.left, (area.left + area.right) / 2 - 300);
    EXPECT_EQ(r.top, (area.top + area.bottom) / 2 - 100);

    const LONG style = ::GetWindowLongA(hwnd, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_TRUE(style & WS_VISIBLE);
    EXPECT_FALSE(style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME | WS_DLGFRAME));
    EXPECT_EQ(::GetWindowLongA(hwnd, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE, 0);
    EXPECT_EQ(::GetParent(hwnd), nullptr);
    EXPECT_EQ(::GetWindow(hwnd, GW_OWNER), nullptr);
    EXPECT_EQ(::GetWindowTextLengthA(hwnd), 0);

    EXPECT_EQ(::GetClassLongPtrA(hwnd, GCL_STYLE), static_cast<ULONG_PTR>(CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS));
    EXPECT_EQ(::GetClassLongPtrA(hwnd, GCLP_HBRBACKGROUND), static_cast<ULONG_PTR>(COLOR_WINDOW + 1));
    EXPECT_EQ(reinterpret_cast<HCURSOR>(::GetClassLongPtrA(hwnd, GCLP_HCURSOR)), ::LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(::GetClassLongPtrA(hwnd, GCLP_HICON), 0u);

    splash->SetStatusText("");
    EXPECT_EQ(splash->StatusText(), "");
    EXPECT_EQ(deleted, 0);

    // No WM_CLOSE handler: the default destroys the window, and the object
    // goes after the last message.
    ::SendMessageA(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(deleted, 1);
}

TEST_F(SplashInProcess, EveryShowingUsesTheSameClass)
{
    int deleted = 0;
    auto* a = new CountedSplash(deleted);
    auto* b = new CountedSplash(deleted);
    ASSERT_TRUE(a->ShowSplash());
    ASSERT_TRUE(b->ShowSplash());
    char ca[256] = {}, cb[256] = {};
    ::GetClassNameA(a->m_hWnd, ca, sizeof ca);
    ::GetClassNameA(b->m_hWnd, cb, sizeof cb);
    EXPECT_STREQ(ca, cb);
    ::DestroyWindow(a->m_hWnd);
    ::DestroyWindow(b->m_hWnd);
    EXPECT_EQ(deleted, 2);
}

TEST(SplashWithoutWindow, StatusTextIsOnlyStored)
{
    CSplashWnd splash;
    splash.SetStatusText("x");
    EXPECT_EQ(splash.StatusText(), "x");
    EXPECT_EQ(splash.m_hWnd, nullptr);
}

} // namespace
