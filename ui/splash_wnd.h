// The borderless splash window shown while the main dialog prepares itself:
// the medium's own stamped Splash.bmp, or the built-in bitmap, with a
// one-line status text near the bottom edge.
#ifndef KELVRA_UI_SPLASH_WND_H
#define KELVRA_UI_SPLASH_WND_H

#include <windows.h>

#include <memory>
#include <string>

#include "base/handles_win32.h"
#include "ui/image.h"
#include "ui/window.h"

// One line, vertically centred, shortened in the middle when too long.
const UINT kStatusTextFormat = DT_SINGLELINE | DT_VCENTER | DT_PATH_ELLIPSIS;

// The band of the client area that holds the status text.
RECT StatusStripRect(const RECT& client);

// Draws `text` into the status strip of `client` in `font`, black on a
// transparent background. Leaves font, mode and colour selected: callers
// save and restore the DC around it.
void DrawStatusText(HDC dc, HFONT font, const RECT& client, const std::string& text);

class CSplashWnd : public CWindowBase {
public:
    CSplashWnd() = default;
    ~CSplashWnd() override;

    // Chooses the picture, creates and paints the window. TRUE when a
    // window exists afterwards; on FALSE the caller still owns the object.
    BOOL ShowSplash();
    // Stores the text and repaints the status strip at once (when there is
    // a window).
    void SetStatusText(const std::string& text);

    const std::string& StatusText() const { return statusText_; }
    bool HasPicture() const { return picture_ != nullptr; }

protected:
    BOOL ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override;
    // The object lives on the heap and goes with its window.
    void OnFinalMessage(HWND hwnd) override;

private:
    LRESULT OnCreate();
    LRESULT OnPaint();

    bool LoadPicture(const std::string& path);
    void PaintBuiltInBitmap(HDC dc);

    BitmapHandle builtInBitmap_;
    std::unique_ptr<CImage> picture_;
    std::string statusText_;
    FontHandle font_;
};

#endif
