// CImage: pictures decoded by GDI+ into a bitmap of their own size, from
// files written here byte by byte.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/handles_win32.h"
#include "ui/image.h"
#include "tests/common/win_files.h"

namespace {

void Put16(std::string& s, unsigned v)
{
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& s, unsigned long v)
{
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A 3 x 2 picture, 24 bits, bottom-up rows padded to 4 bytes: the layout of
// a BMP file as written by hand.
//   top row:    red      green    blue
//   bottom row: white    black    (0x12, 0x34, 0x56)
std::string ThreeByTwoBmp()
{
    const unsigned char bottom[] = {0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x56, 0x34, 0x12, 0, 0, 0};
    const unsigned char top[] = {0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0, 0, 0};
    std::string s = "BM";
    Put32(s, 14 + 40 + 24);   // file size
    Put32(s, 0);              // reserved
    Put32(s, 14 + 40);        // pixel offset
    Put32(s, 40);             // header size
    Put32(s, 3);              // width
    Put32(s, 2);              // height (bottom-up)
    Put16(s, 1);              // planes
    Put16(s, 24);             // bits per pixel
    Put32(s, 0);              // BI_RGB
    Put32(s, 24);             // image size
    Put32(s, 2835);
    Put32(s, 2835);
    Put32(s, 0);
    Put32(s, 0);
    s.append(reinterpret_cast<const char*>(bottom), sizeof bottom);
    s.append(reinterpret_cast<const char*>(top), sizeof top);
    return s;
}

const struct {
    int x, y;
    COLORREF colour;
} kPixels[] = {
    {0, 0, RGB(0xFF, 0x00, 0x00)},
    {1, 0, RGB(0x00, 0xFF, 0x00)},
    {2, 0, RGB(0x00, 0x00, 0xFF)},
    {0, 1, RGB(0xFF, 0xFF, 0xFF)},
    {1, 1, RGB(0x00, 0x00, 0x00)},
    {2, 1, RGB(0x12, 0x34, 0x56)},
};

std::wstring TempFolder()
{
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    return temp;
}

using testwin::WriteFileW;

// The ANSI form of a wide path; empty when the code page cannot hold it.
std::string AnsiPath(const std::wstring& wide)
{
    BOOL lossy = FALSE;
    char out[MAX_PATH * 2] = {};
    const int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, out, sizeof out, nullptr, &lossy);
    return (n > 0 && !lossy) ? std::string(out) : std::string();
}

class ImageFile : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (const auto& p : written_) ::DeleteFileW(p.c_str());
    }
    std::string Write(const std::wstring& name, const std::string& bytes)
    {
        const std::wstring path = TempFolder() + name;
        EXPECT_TRUE(WriteFileW(path, bytes));
        written_.push_back(path);
        return AnsiPath(path);
    }
    std::vector<std::wstring> written_;
};

void ExpectThreeByTwo(const CImage& image)
{
    ASSERT_FALSE(image.IsNull());
    EXPECT_EQ(image.GetWidth(), 3);
    EXPECT_EQ(image.GetHeight(), 2);
    BITMAP bm{};
    ASSERT_TRUE(::GetObjectA(image.GetBitmap(), sizeof bm, &bm));
    EXPECT_EQ(bm.bmWidth, 3);
    EXPECT_EQ(bm.bmHeight, 2);

    MemoryDc dc(::CreateCompatibleDC(nullptr));
    SelectedObject sel(dc.get(), image.GetBitmap());
    for (const auto& p : kPixels)
        EXPECT_EQ(::GetPixel(dc.get(), p.x, p.y), p.colour) << p.x << "," << p.y;
}

TEST_F(ImageFile, DecodesABmpIntoABitmapOfItsOwnSize)
{
    const std::string path = Write(L"kelvra-image-3x2.bmp", ThreeByTwoBmp());
    CImage image;
    ASSERT_EQ(image.Load(path.c_str()), S_OK);
    ExpectThreeByTwo(image);
}

TEST_F(ImageFile, AStampTrailerAfterThePixelsDoesNotStopTheDecoder)
{
    const std::string path = Write(L"kelvra-image-trailer.bmp", ThreeByTwoBmp() + std::string(512, '\x5A'));
    CImage image;
    ASSERT_EQ(image.Load(path.c_str()), S_OK);
    ExpectThreeByTwo(image);
}

TEST_F(ImageFile, PathIsTakenInTheAnsiCodePage)
{
    // A name outside ASCII that the running code page can hold.
    const std::wstring name = ::GetACP() == 936 ? L"kelvra-\x95EA\x5C4F.bmp"   // 闪屏
                                                : L"kelvra-\x00E9t\x00E9.bmp";  // été
    const std::string path = Write(name, ThreeByTwoBmp());
    ASSERT_FALSE(path.empty()) << "code page " << ::GetACP() << " cannot hold the name";
    CImage image;
    ASSERT_EQ(image.Load(path.c_str()), S_OK);
    ExpectThreeByTwo(image);
}

TEST_F(ImageFile, WhatCannotBeDecodedLeavesTheImageEmpty)
{
    const std::string good = Write(L"kelvra-image-good.bmp", ThreeByTwoBmp());
    const struct {
        const char* what;
        std::string path;
    } kCases[] = {
        {"text", Write(L"kelvra-image-text.bmp", std::string(2048, 'k'))},
        {"truncated header", Write(L"kelvra-image-cut.bmp", ThreeByTwoBmp().substr(0, 20))},
        {"missing file", good + ".missing"},
        {"empty path", ""},
    };
    for (const auto& c : kCases) {
        CImage image;
        ASSERT_EQ(image.Load(good.c_str()), S_OK) << c.what;
        EXPECT_NE(image.Load(c.path.c_str()), S_OK) << c.what;
        // A failed load never leaves the earlier picture behind.
        EXPECT_TRUE(image.IsNull()) << c.what;
        EXPECT_EQ(image.GetWidth(), 0) << c.what;
        EXPECT_EQ(image.GetHeight(), 0) << c.what;
        EXPECT_EQ(image.GetBitmap(), nullptr) << c.what;
    }
    CImage never;
    EXPECT_NE(never.Load(nullptr), S_OK);
}

TEST_F(ImageFile, CopiesTheWholePictureToAPointOfADc)
{
    const std::string path = Write(L"kelvra-image-blit.bmp", ThreeByTwoBmp());
    CImage image;
    ASSERT_EQ(image.Load(path.c_str()), S_OK);

    MemoryDc dc(::CreateCompatibleDC(nullptr));
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = 10;
    bi.bmiHeader.biHeight = -10;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    BitmapHandle target(::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    ASSERT_TRUE(target);
    SelectedObject sel(dc.get(), target.get());
    ::PatBlt(dc.get(), 0, 0, 10, 10, WHITENESS);

    ASSERT_TRUE(image.BitBlt(dc.get(), 5, 7));
    for (const auto& p : kPixels)
        EXPECT_EQ(::GetPixel(dc.get(), 5 + p.x, 7 + p.y), p.colour) << p.x << "," << p.y;
    // Nothing outside the picture's own rectangle.
    EXPECT_EQ(::GetPixel(dc.get(), 4, 7), RGB(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(::GetPixel(dc.get(), 8, 7), RGB(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(::GetPixel(dc.get(), 5, 6), RGB(0xFF, 0xFF, 0xFF));

    CImage empty;
    EXPECT_FALSE(empty.BitBlt(dc.get(), 0, 0));
}

} // namespace
