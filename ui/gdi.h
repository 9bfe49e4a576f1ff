// Owners of GDI and user objects: non-copyable, released on every path.
#ifndef KELVRA_UI_GDI_H
#define KELVRA_UI_GDI_H

#include <windows.h>

#include <utility>

template <class H, BOOL (WINAPI* Release)(H)>
class UniqueGdi {
public:
    UniqueGdi() = default;
    explicit UniqueGdi(H h) : h_(h) {}
    UniqueGdi(const UniqueGdi&) = delete;
    UniqueGdi& operator=(const UniqueGdi&) = delete;
    UniqueGdi(UniqueGdi&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
    UniqueGdi& operator=(UniqueGdi&& other) noexcept
    {
        reset(std::exchange(other.h_, nullptr));
        return *this;
    }
    ~UniqueGdi() { reset(); }

    H get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }
    void reset(H h = nullptr)
    {
        if (h_) Release(h_);
        h_ = h;
    }

private:
    H h_ = nullptr;
};

inline BOOL WINAPI DeleteGdiObject(HGDIOBJ h) { return ::DeleteObject(h); }
inline BOOL WINAPI DeleteFontObject(HFONT h) { return ::DeleteObject(h); }
inline BOOL WINAPI DeleteBitmapObject(HBITMAP h) { return ::DeleteObject(h); }

using IconHandle = UniqueGdi<HICON, ::DestroyIcon>;
using FontHandle = UniqueGdi<HFONT, DeleteFontObject>;
using BitmapHandle = UniqueGdi<HBITMAP, DeleteBitmapObject>;
using MemoryDc = UniqueGdi<HDC, ::DeleteDC>;

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

#endif
