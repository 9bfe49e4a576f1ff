#include "ui/image.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>

#include "base/dll_safety_win32.h"
#include "res/resource.h"

namespace {

// The few pieces of the GDI+ flat interface in use, declared here: the
// library is bound at run time, never imported.
using GpStatus = int;
const GpStatus kGpOk = 0;
struct GpBitmap;
struct GpImage;

struct GpStartupInput {
    UINT32 version;
    void* debugEventCallback;
    BOOL suppressBackgroundThread;
    BOOL suppressExternalCodecs;
};

struct GpRect {
    INT x, y, width, height;
};

struct GpBitmapData {
    UINT width;
    UINT height;
    INT stride;
    INT pixelFormat;
    void* scan0;
    UINT_PTR reserved;
};

const UINT32 kGdiplusVersion = 1;
const UINT kImageLockModeRead = 1;
// PixelFormat32bppRGB: index 9, 32 bits, GDI-compatible.
const INT kPixelFormat32bppRGB = 0x00022009;
const int kBytesPerPixel = 4;
const WORD kDibBitCount = 32;

// From its side-by-side assembly, which res/gdiplus.manifest names, else
// from the system folder; never from beside the program
// (base/dll_safety_win32.h). Without either the splash shows its built-in
// picture.
const char kGdiplusDll[] = "gdiplus.dll";

using StartupFn = GpStatus(WINAPI*)(ULONG_PTR*, const GpStartupInput*, void*);
using ShutdownFn = void(WINAPI*)(ULONG_PTR);
using CreateBitmapFromFileFn = GpStatus(WINAPI*)(const WCHAR*, GpBitmap**);
using GetImageSizeFn = GpStatus(WINAPI*)(GpImage*, UINT*);
using LockBitsFn = GpStatus(WINAPI*)(GpBitmap*, const GpRect*, UINT, INT, GpBitmapData*);
using UnlockBitsFn = GpStatus(WINAPI*)(GpBitmap*, GpBitmapData*);
using DisposeImageFn = GpStatus(WINAPI*)(GpImage*);

// GDI+ for the whole process: loaded and started at the first use, shut
// down at exit. No GDI+ object outlives a Load, so shutting down then is safe.
class GdiPlus {
public:
    static GdiPlus& Instance()
    {
        static GdiPlus instance;
        return instance;
    }

    bool Ready()
    {
        if (!tried_) {
            tried_ = true;
            started_ = Start();
        }
        return started_;
    }

    CreateBitmapFromFileFn createBitmapFromFile = nullptr;
    GetImageSizeFn getImageWidth = nullptr;
    GetImageSizeFn getImageHeight = nullptr;
    LockBitsFn lockBits = nullptr;
    UnlockBitsFn unlockBits = nullptr;
    DisposeImageFn disposeImage = nullptr;

private:
    GdiPlus() = default;
    GdiPlus(const GdiPlus&) = delete;
    GdiPlus& operator=(const GdiPlus&) = delete;
    ~GdiPlus()
    {
        if (started_) shutdown_(token_);
    }

    bool Start()
    {
        module_.reset(LoadAssemblyLibrary(kGdiplusDll, IDR_GDIPLUS_MANIFEST));
        const HMODULE m = module_.get();
        if (!m) return false;
        StartupFn startup = nullptr;
        const bool bound = BindProc(m, "GdiplusStartup", startup) && BindProc(m, "GdiplusShutdown", shutdown_) &&
                           BindProc(m, "GdipCreateBitmapFromFile", createBitmapFromFile) &&
                           BindProc(m, "GdipGetImageWidth", getImageWidth) &&
                           BindProc(m, "GdipGetImageHeight", getImageHeight) &&
                           BindProc(m, "GdipBitmapLockBits", lockBits) &&
                           BindProc(m, "GdipBitmapUnlockBits", unlockBits) &&
                           BindProc(m, "GdipDisposeImage", disposeImage);
        if (!bound) return false;
        GpStartupInput input{kGdiplusVersion, nullptr, FALSE, FALSE};
        return startup(&token_, &input, nullptr) == kGpOk;
    }

    // Declared first, so that it is freed last.
    ModuleHandle module_;
    ShutdownFn shutdown_ = nullptr;
    ULONG_PTR token_ = 0;
    bool tried_ = false;
    bool started_ = false;
};

// A decoded GDI+ bitmap, disposed on every path.
class GpBitmapOwner {
public:
    explicit GpBitmapOwner(GdiPlus& gp) : gp_(gp) {}
    GpBitmapOwner(const GpBitmapOwner&) = delete;
    GpBitmapOwner& operator=(const GpBitmapOwner&) = delete;
    ~GpBitmapOwner()
    {
        if (bitmap_) gp_.disposeImage(image());
    }
    GpBitmap** out() { return &bitmap_; }
    GpBitmap* get() const { return bitmap_; }
    GpImage* image() const { return reinterpret_cast<GpImage*>(bitmap_); }

private:
    GdiPlus& gp_;
    GpBitmap* bitmap_ = nullptr;
};

// Locked pixels, unlocked on every path.
class LockedBits {
public:
    LockedBits(GdiPlus& gp, GpBitmap* bitmap, const GpRect& rect)
        : gp_(gp), bitmap_(bitmap)
    {
        locked_ = gp_.lockBits(bitmap_, &rect, kImageLockModeRead, kPixelFormat32bppRGB, &data_) == kGpOk;
    }
    LockedBits(const LockedBits&) = delete;
    LockedBits& operator=(const LockedBits&) = delete;
    ~LockedBits()
    {
        if (locked_) gp_.unlockBits(bitmap_, &data_);
    }
    bool ok() const { return locked_ && data_.scan0 != nullptr; }
    const GpBitmapData& data() const { return data_; }

private:
    GdiPlus& gp_;
    GpBitmap* bitmap_;
    GpBitmapData data_{};
    bool locked_ = false;
};

std::wstring WidenAnsi(const char* text)
{
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    if (::MultiByteToWideChar(CP_ACP, 0, text, -1, &out[0], n) != n) return std::wstring();
    out.resize(static_cast<std::size_t>(n - 1));   // the terminating zero
    return out;
}

} // namespace

HRESULT CImage::Load(const char* path)
{
    Destroy();
    if (path == nullptr || path[0] == '\0') return E_INVALIDARG;

    GdiPlus& gp = GdiPlus::Instance();
    if (!gp.Ready()) return E_FAIL;

    const std::wstring widePath = WidenAnsi(path);
    if (widePath.empty()) return E_INVALIDARG;

    GpBitmapOwner source(gp);
    if (gp.createBitmapFromFile(widePath.c_str(), source.out()) != kGpOk || !source.get()) return E_FAIL;

    UINT width = 0, height = 0;
    if (gp.getImageWidth(source.image(), &width) != kGpOk ||
        gp.getImageHeight(source.image(), &height) != kGpOk)
        return E_FAIL;
    // Sizes must fit the DIB's signed fields and a row its signed stride.
    if (width == 0 || height == 0 || width > INT_MAX / kBytesPerPixel || height > INT_MAX)
        return E_FAIL;

    const GpRect all{0, 0, static_cast<INT>(width), static_cast<INT>(height)};
    LockedBits locked(gp, source.get(), all);
    if (!locked.ok()) return E_FAIL;

    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = static_cast<LONG>(width);
    bi.bmiHeader.biHeight = -static_cast<LONG>(height);   // top-down, like the locked rows
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = kDibBitCount;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    BitmapHandle dib(::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib || !bits) return E_OUTOFMEMORY;

    const std::size_t rowBytes = static_cast<std::size_t>(width) * kBytesPerPixel;
    const auto* src = static_cast<const unsigned char*>(locked.data().scan0);
    auto* dst = static_cast<unsigned char*>(bits);
    // The locked stride may be negative (bottom-up source) or padded.
    const std::ptrdiff_t stride = locked.data().stride;
    const std::size_t strideBytes = static_cast<std::size_t>(stride < 0 ? -stride : stride);
    if (strideBytes < rowBytes) return E_FAIL;
    for (UINT y = 0; y < height; ++y)
        std::memcpy(dst + rowBytes * y, src + stride * static_cast<std::ptrdiff_t>(y), rowBytes);
    ::GdiFlush();

    bitmap_ = std::move(dib);
    width_ = static_cast<int>(width);
    height_ = static_cast<int>(height);
    return S_OK;
}

void CImage::Destroy()
{
    bitmap_.reset();
    width_ = 0;
    height_ = 0;
}

BOOL CImage::BitBlt(HDC dc, int x, int y, DWORD rop) const
{
    if (!bitmap_) return FALSE;
    MemoryDc mem(::CreateCompatibleDC(dc));
    if (!mem) return FALSE;
    SelectedObject selected(mem.get(), bitmap_.get());
    return ::BitBlt(dc, x, y, width_, height_, mem.get(), 0, 0, rop);
}
