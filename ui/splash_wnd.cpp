#include "ui/splash_wnd.h"

#include "base/module_win32.h"
#include "media/digest.h"
#include "media/medium.h"
#include "media/source_dir_win32.h"
#include "res/resource.h"
#include "ui/center_window.h"

namespace {

const char kLoadingText[] = "Kelvra Loading...";

// Status text font: a character-cell height of 14, everything else default.
const int kFontHeight = 14;
const char kFontFace[] = "Microsoft Sans Serif";

// The status strip: 8 pixels in from the sides, from 17 to 3 pixels above
// the bottom edge.
const int kStripInset = 8;
const int kStripTopFromBottom = 17;
const int kStripBottomFromBottom = 3;

const COLORREF kStatusTextColour = RGB(0, 0, 0);

WindowClass g_splashClass{CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, IDC_ARROW, COLOR_WINDOW + 1, {}};

} // namespace

RECT StatusStripRect(const RECT& client)
{
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    RECT strip;
    strip.left = kStripInset;
    strip.right = width - kStripInset;
    strip.top = height - kStripTopFromBottom;
    strip.bottom = height - kStripBottomFromBottom;
    return strip;
}

void DrawStatusText(HDC dc, HFONT font, const RECT& client, const std::string& text)
{
    RECT strip = StatusStripRect(client);
    if (font) ::SelectObject(dc, font);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, kStatusTextColour);
    ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &strip, kStatusTextFormat);
}

CSplashWnd::~CSplashWnd() = default;

BOOL CSplashWnd::ShowSplash()
{
    std::string path;
    // Without the program's own folder there is no medium to take a
    // picture from: a bare "Splash.bmp" would be looked up elsewhere.
    const bool haveSource = GetSourceDirectory(path);
    path += medium::kSplashName;

    picture_.reset();
    int width = 0, height = 0;
    if (haveSource && CheckFileDigest(path.c_str()) && LoadPicture(path)) {
        builtInBitmap_.reset();
        width = picture_->GetWidth();
        height = picture_->GetHeight();
    } else {
        picture_.reset();
        builtInBitmap_.reset(::LoadBitmapA(g_Module.GetResourceInstance(), MAKEINTRESOURCEA(IDB_SPLASH)));
        if (!builtInBitmap_) return FALSE;
        BITMAP bm{};
        if (!::GetObjectA(builtInBitmap_.get(), sizeof bm, &bm)) return FALSE;
        width = bm.bmWidth;
        height = bm.bmHeight;
    }

    if (!m_hWnd) Create(g_splashClass, nullptr, nullptr, WS_POPUP | WS_VISIBLE, 0, 0, 0, width, height);
    else ::InvalidateRect(m_hWnd, nullptr, TRUE);
    if (!m_hWnd) return FALSE;
    ::UpdateWindow(m_hWnd);
    return ::IsWindow(m_hWnd) ? TRUE : FALSE;
}

bool CSplashWnd::LoadPicture(const std::string& path)
{
    picture_.reset(new CImage);
    if (SUCCEEDED(picture_->Load(path.c_str()))) return true;
    picture_.reset();
    return false;
}

void CSplashWnd::SetStatusText(const std::string& text)
{
    statusText_ = text;
    if (!m_hWnd) return;
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    const RECT strip = StatusStripRect(client);
    ::RedrawWindow(m_hWnd, &strip, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

BOOL CSplashWnd::ProcessWindowMessage(HWND, UINT msg, WPARAM, LPARAM, LRESULT& result)
{
    switch (msg) {
    case WM_CREATE:
        result = OnCreate();
        return TRUE;
    case WM_PAINT:
        result = OnPaint();
        return TRUE;
    default:
        return FALSE;
    }
}

void CSplashWnd::OnFinalMessage(HWND)
{
    delete this;
}

LRESULT CSplashWnd::OnCreate()
{
    statusText_ = kLoadingText;
    font_.reset(::CreateFontA(kFontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                              DEFAULT_PITCH | FF_DONTCARE, kFontFace));
    CenterWindow(m_hWnd);
    return 0;
}

LRESULT CSplashWnd::OnPaint()
{
    PaintScope paint(m_hWnd);
    const HDC dc = paint.dc();
    if (!dc) return 0;
    SavedDc saved(dc);

    if (picture_) picture_->BitBlt(dc, 0, 0, SRCCOPY);
    else PaintBuiltInBitmap(dc);

    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    DrawStatusText(dc, font_.get(), client, statusText_);
    return 0;
}

void CSplashWnd::PaintBuiltInBitmap(HDC dc)
{
    if (!builtInBitmap_) return;
    BITMAP bm{};
    if (!::GetObjectA(builtInBitmap_.get(), sizeof bm, &bm)) return;
    MemoryDc mem(::CreateCompatibleDC(dc));
    if (!mem) return;
    SelectedObject selected(mem.get(), builtInBitmap_.get());
    ::BitBlt(dc, 0, 0, bm.bmWidth, bm.bmHeight, mem.get(), 0, 0, SRCCOPY);
}
