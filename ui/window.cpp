#include "ui/window.h"

#include <cstdio>

#include "base/module_win32.h"

namespace {

// The object sits in the window's own extra bytes, so GWLP_USERDATA stays
// free for whoever wants it.
const int kSelfSlot = 0;
const int kExtraBytes = sizeof(LONG_PTR);
// A name clash with a class of another module is most unlikely, but a few
// fresh names are cheap.
const int kRegisterAttempts = 4;

// The object whose window is being created on this thread: the first
// message of that window binds the two.
thread_local CWindowBase* t_creating = nullptr;

HINSTANCE ClassInstance()
{
    HINSTANCE inst = g_Module.GetInstance();
    return inst ? inst : ::GetModuleHandleA(nullptr);
}

std::string FreshClassName()
{
    static LONG counter = 0;
    const LONG n = ::InterlockedIncrement(&counter);
    char name[64];
    std::snprintf(name, sizeof name, "Kelvra:Wnd:%lX:%lX", ::GetCurrentProcessId(),
                  static_cast<unsigned long>(n));
    return name;
}

} // namespace

CWindowBase::~CWindowBase()
{
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        const HWND hwnd = m_hWnd;
        ::SetWindowLongPtrA(hwnd, kSelfSlot, 0);
        m_hWnd = nullptr;
        ::DestroyWindow(hwnd);
    }
}

bool CWindowBase::RegisterWindowClass(WindowClass& wc)
{
    const HINSTANCE inst = ClassInstance();
    WNDCLASSEXA info{};
    info.cbSize = sizeof info;
    if (!wc.name.empty() && ::GetClassInfoExA(inst, wc.name.c_str(), &info)) return true;

    for (int attempt = 0; attempt < kRegisterAttempts; ++attempt) {
        const std::string name = FreshClassName();
        info = WNDCLASSEXA{};
        info.cbSize = sizeof info;
        info.style = wc.style;
        info.lpfnWndProc = WindowProc;
        info.cbWndExtra = kExtraBytes;
        info.hInstance = inst;
        info.hCursor = wc.cursor ? ::LoadCursorA(nullptr, wc.cursor) : nullptr;
        info.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(wc.background));
        info.lpszClassName = name.c_str();
        if (::RegisterClassExA(&info)) {
            wc.name = name;
            return true;
        }
        if (::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    }
    return false;
}

HWND CWindowBase::Create(WindowClass& wc, HWND parent, LPCSTR text, DWORD style, DWORD exStyle,
                         int x, int y, int width, int height, HMENU menu, LPVOID createParam)
{
    if (m_hWnd || !RegisterWindowClass(wc)) return nullptr;

    CWindowBase* const outer = t_creating;
    t_creating = this;
    creating_ = true;
    const HWND hwnd = ::CreateWindowExA(exStyle, wc.name.c_str(), text, style, x, y, width, height,
                                        parent, menu, ClassInstance(), createParam);
    creating_ = false;
    // No message may have come (the system refused early): forget the claim.
    if (t_creating == this) t_creating = outer;
    return hwnd;
}

LRESULT CALLBACK CWindowBase::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<CWindowBase*>(::GetWindowLongPtrA(hwnd, kSelfSlot));
    if (!self) {
        self = t_creating;
        // A window of the class that nobody claims (or no longer claims).
        if (!self) return ::DefWindowProcA(hwnd, msg, wParam, lParam);
        t_creating = nullptr;
        self->m_hWnd = hwnd;
        ::SetWindowLongPtrA(hwnd, kSelfSlot, reinterpret_cast<LONG_PTR>(self));
    }

    LRESULT result = 0;
    if (!self->ProcessWindowMessage(hwnd, msg, wParam, lParam, result))
        result = ::DefWindowProcA(hwnd, msg, wParam, lParam);

    if (msg == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hwnd, kSelfSlot, 0);
        self->m_hWnd = nullptr;
        // The object may delete itself here: nothing touches it afterwards.
        if (!self->creating_) self->OnFinalMessage(hwnd);
    }
    return result;
}
