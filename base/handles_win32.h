// Owners of what Windows hands out: file handles, registry keys, modules,
// activation contexts, COM pointers and the COM apartment, task memory, GDI
// objects and icons.
// Each owner releases what it holds exactly once and cannot be copied.
#ifndef KELVRA_BASE_HANDLES_WIN32_H
#define KELVRA_BASE_HANDLES_WIN32_H

#include <windows.h>
#include <objbase.h>

#include <utility>

// One handle of the kind `Traits` describes: its type, the value that holds
// nothing, and how it is released.
template <class Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle h) : h_(h) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : h_(std::exchange(other.h_, Traits::None())) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        reset(std::exchange(other.h_, Traits::None()));
        return *this;
    }
    ~UniqueHandle() { reset(); }

    Handle get() const { return h_; }
    explicit operator bool() const { return h_ != Traits::None(); }

    // Releases what is held and takes `h`; false when the release failed.
    bool reset(Handle h = Traits::None())
    {
        const bool ok = h_ == Traits::None() || Traits::Release(h_);
        h_ = h;
        return ok;
    }
    // For calls that hand out a handle; whatever was held is released.
    Handle* put()
    {
        reset();
        return &h_;
    }

private:
    Handle h_ = Traits::None();
};

struct FileTraits {
    using Handle = HANDLE;
    static HANDLE None() { return INVALID_HANDLE_VALUE; }
    static bool Release(HANDLE h) { return ::CloseHandle(h) != FALSE; }
};
// A process or thread: OpenProcess gives null, not INVALID_HANDLE_VALUE.
struct ProcessTraits {
    using Handle = HANDLE;
    static HANDLE None() { return nullptr; }
    static bool Release(HANDLE h) { return ::CloseHandle(h) != FALSE; }
};
struct KeyTraits {
    using Handle = HKEY;
    static HKEY None() { return nullptr; }
    static bool Release(HKEY h) { return ::RegCloseKey(h) == ERROR_SUCCESS; }
};
struct ModuleTraits {
    using Handle = HMODULE;
    static HMODULE None() { return nullptr; }
    static bool Release(HMODULE h) { return ::FreeLibrary(h) != FALSE; }
};
struct IconTraits {
    using Handle = HICON;
    static HICON None() { return nullptr; }
    static bool Release(HICON h) { return ::DestroyIcon(h) != FALSE; }
};
template <class H>
struct GdiObjectTraits {
    using Handle = H;
    static H None() { return nullptr; }
    static bool Release(H h) { return ::DeleteObject(h) != FALSE; }
};
struct ActCtxTraits {
    using Handle = HANDLE;
    static HANDLE None() { return INVALID_HANDLE_VALUE; }
    static bool Release(HANDLE h)
    {
        ::ReleaseActCtx(h);
        return true;
    }
};
struct MemoryDcTraits {
    using Handle = HDC;
    static HDC None() { return nullptr; }
    static bool Release(HDC h) { return ::DeleteDC(h) != FALSE; }
};

// A file opened with CreateFile: INVALID_HANDLE_VALUE holds nothing.
using FileHandle = UniqueHandle<FileTraits>;
using ProcessHandle = UniqueHandle<ProcessTraits>;
using KeyHandle = UniqueHandle<KeyTraits>;
using ModuleHandle = UniqueHandle<ModuleTraits>;
using IconHandle = UniqueHandle<IconTraits>;
using FontHandle = UniqueHandle<GdiObjectTraits<HFONT>>;
using BitmapHandle = UniqueHandle<GdiObjectTraits<HBITMAP>>;
using MemoryDc = UniqueHandle<MemoryDcTraits>;
// An activation context made with CreateActCtx.
using ActCtxHandle = UniqueHandle<ActCtxTraits>;

// An activation context active on this thread for one scope, deactivated
// only if it was activated.
class ActivatedActCtx {
public:
    explicit ActivatedActCtx(const ActCtxHandle& context)
        : active_(context && ::ActivateActCtx(context.get(), &cookie_))
    {
    }
    ActivatedActCtx(const ActivatedActCtx&) = delete;
    ActivatedActCtx& operator=(const ActivatedActCtx&) = delete;
    ~ActivatedActCtx()
    {
        if (active_) ::DeactivateActCtx(0, cookie_);
    }
    bool active() const { return active_; }

private:
    ULONG_PTR cookie_ = 0;
    bool active_;
};

// The address of `name` in `module` as the function type `Fn`; false, with
// `fn` null, when the module has no such export. GetProcAddress answers one
// generic type; the export's own type is the caller's knowledge.
template <class Fn>
bool BindProc(HMODULE module, const char* name, Fn& fn)
{
    const FARPROC proc = module ? ::GetProcAddress(module, name) : nullptr;
    // Through void*: a cast between unrelated function types is what the
    // compiler rightly warns about, and this one is checked by the caller.
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(proc));
    return fn != nullptr;
}

// One COM interface pointer, released once.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() { Reset(); }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

    // For calls that hand out an interface; whatever was held is released.
    void** PutVoid()
    {
        Reset();
        return reinterpret_cast<void**>(&p_);
    }
    void Reset()
    {
        if (p_) p_->Release();
        p_ = nullptr;
    }

private:
    T* p_ = nullptr;
};

// The thread's COM apartment for one scope; left only if it was entered.
class ComScope {
public:
    ComScope() : entered_(SUCCEEDED(::CoInitialize(nullptr))) {}
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    ~ComScope()
    {
        if (entered_) ::CoUninitialize();
    }

private:
    bool entered_;
};

// Memory that a COM call hands out (an item id list of the folder browser).
template <class T>
class CoTaskMemPtr {
public:
    explicit CoTaskMemPtr(T* p) : p_(p) {}
    CoTaskMemPtr(const CoTaskMemPtr&) = delete;
    CoTaskMemPtr& operator=(const CoTaskMemPtr&) = delete;
    ~CoTaskMemPtr() { ::CoTaskMemFree(p_); }
    T* get() const { return p_; }

private:
    T* p_;
};

// Selects an object into a DC for one scope and puts the previous one back.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ obj) : dc_(dc), old_(::SelectObject(dc, obj)) {}
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject()
    {
        if (old_ && old_ != HGDI_ERROR) ::SelectObject(dc_, old_);
    }

private:
    HDC dc_;
    HGDIOBJ old_;
};

// Begin/EndPaint as one scope.
class PaintScope {
public:
    explicit PaintScope(HWND hwnd) : hwnd_(hwnd) { dc_ = ::BeginPaint(hwnd_, &ps_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    ~PaintScope() { ::EndPaint(hwnd_, &ps_); }
    HDC dc() const { return dc_; }

private:
    HWND hwnd_;
    PAINTSTRUCT ps_{};
    HDC dc_ = nullptr;
};

// SaveDC/RestoreDC as one scope.
class SavedDc {
public:
    explicit SavedDc(HDC dc) : dc_(dc), saved_(dc ? ::SaveDC(dc) : 0) {}
    SavedDc(const SavedDc&) = delete;
    SavedDc& operator=(const SavedDc&) = delete;
    ~SavedDc()
    {
        if (saved_) ::RestoreDC(dc_, saved_);
    }

private:
    HDC dc_;
    int saved_;
};

#endif
