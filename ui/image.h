// A picture file decoded by GDI+ into a device-independent bitmap of the
// same width and height. GDI+ is loaded at run time from its side-by-side
// assembly or the system folder and started once, before the first load.
#ifndef KELVRA_UI_IMAGE_H
#define KELVRA_UI_IMAGE_H

#include <windows.h>

#include "base/handles_win32.h"

class CImage {
public:
    CImage() = default;
    CImage(const CImage&) = delete;
    CImage& operator=(const CImage&) = delete;
    ~CImage() = default;

    // Decodes the file (path in the ANSI code page). S_OK on success; on
    // failure the image is empty and an error code comes back.
    HRESULT Load(const char* path);
    void Destroy();

    bool IsNull() const { return !bitmap_; }
    int GetWidth() const { return width_; }
    int GetHeight() const { return height_; }
    // The DIB section (32 bits per pixel, top-down); owned by the image.
    HBITMAP GetBitmap() const { return bitmap_.get(); }

    // Copies the whole picture to (x, y) of `dc` at its own size.
    BOOL BitBlt(HDC dc, int x, int y, DWORD rop = SRCCOPY) const;

private:
    BitmapHandle bitmap_;
    int width_ = 0;
    int height_ = 0;
};

#endif
