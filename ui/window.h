// A small base for plain (non-dialog) windows: the class is registered once
// under a name made up at run time, the object is bound to its window at the
// window's first message and unbound at WM_NCDESTROY, its last.
#ifndef KELVRA_UI_WINDOW_H
#define KELVRA_UI_WINDOW_H

#include <windows.h>

#include <string>

// What a window class looks like. One static instance per kind of window;
// the base fills in the name at the first registration.
struct WindowClass {
    UINT style;
    LPCSTR cursor;          // system cursor id (IDC_...), or none
    int background;         // COLOR_... + 1, or 0 for no brush
    std::string name;       // empty until registered
};

class CWindowBase {
public:
    CWindowBase(const CWindowBase&) = delete;
    CWindowBase& operator=(const CWindowBase&) = delete;
    // A window still alive is unbound first, then destroyed; no message
    // reaches the object being torn down.
    virtual ~CWindowBase();

    HWND m_hWnd = nullptr;

protected:
    CWindowBase() = default;

    // Registers `wc` when needed and creates the window. The creation
    // parameter stays free for callers: binding does not use it.
    // Answers the window, or none. When none comes back, OnFinalMessage has
    // not been called and the caller still owns the object, even if the
    // window lived for a few messages (creation refused by WM_CREATE).
    HWND Create(WindowClass& wc, HWND parent, LPCSTR text, DWORD style, DWORD exStyle,
                int x, int y, int width, int height, HMENU menu = nullptr,
                LPVOID createParam = nullptr);

    // The message map: TRUE when handled, the answer in `result`.
    virtual BOOL ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                      LRESULT& result) = 0;
    // Called once after the window's last message (not during a failed Create).
    virtual void OnFinalMessage(HWND /*hwnd*/) {}

    // Registers the class under a fresh process-unique name at the first
    // call; later calls find it registered. False when it cannot be.
    static bool RegisterWindowClass(WindowClass& wc);

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    bool creating_ = false;
};

#endif
