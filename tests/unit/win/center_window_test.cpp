// Centring: the placement rule, and real windows with and without owner.
#include <windows.h>

#include <gtest/gtest.h>

#include "ui/center_window.h"

namespace {

TEST(CenteredEdge, CentresAndClampsToTheArea)
{
    const struct { int refLow, refHigh, size, areaLow, areaHigh, expected; } kCases[] = {
        {0, 1000, 200, 0, 1000, 400},       // plain centring
        {0, 1001, 201, 0, 1001, 400},       // (1001/2)=500 minus (201/2)=100
        {100, 300, 400, 0, 1000, 0},        // would start left of the area
        {800, 1000, 400, 0, 1000, 600},     // would reach past the right edge
        {0, 1000, 1400, 0, 1000, 0},        // larger than the area: left edge wins
        {50, 950, 100, 40, 960, 450},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(CenteredEdge(c.refLow, c.refHigh, c.size, c.areaLow, c.areaHigh), c.expected);
}

HWND MakePopup(HWND owner, int w, int h, bool visible)
{
    return ::CreateWindowExA(0, "STATIC", "", WS_POPUP | (visible ? WS_VISIBLE : 0), 3, 5, w, h,
                             owner, nullptr, ::GetModuleHandleA(nullptr), nullptr);
}

TEST(CenterWindow, OverAVisibleOwnerElseInTheWorkArea)
{
    RECT area{};
    ASSERT_TRUE(::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0));

    HWND owner = MakePopup(nullptr, 400, 300, true);
    ::SetWindowPos(owner, nullptr, 100, 120, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    HWND child = MakePopup(owner, 200, 100, false);
    ASSERT_TRUE(CenterWindow(child));
    RECT r{};
    ::GetWindowRect(child, &r);
    EXPECT_EQ(r.left, 100 + 400 / 2 - 100);
    EXPECT_EQ(r.top, 120 + 300 / 2 - 50);
    EXPECT_EQ(r.right - r.left, 200);   // never resized

    // A hidden owner counts as none.
    ::ShowWindow(owner, SW_HIDE);
    ASSERT_TRUE(CenterWindow(child));
    ::GetWindowRect(child, &r);
    EXPECT_EQ(r.left, (area.left + area.right) / 2 - 100);
    EXPECT_EQ(r.top, (area.top + area.bottom) / 2 - 50);

    ::DestroyWindow(child);
    ::DestroyWindow(owner);
}

} // namespace
