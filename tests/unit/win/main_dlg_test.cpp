// The main dialog in process: what cannot be read from another process.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "base/module_win32.h"
#include "ui/main_dlg.h"

namespace {

TEST(MainDlg, SetsBigAndSmallIconsAtTheSystemSizesAndRegistersWithTheLoop)
{
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&icc);
    ASSERT_EQ(g_Module.Init(::GetModuleHandleA(nullptr)), S_OK);
    CMessageLoop loop;
    ASSERT_TRUE(g_Module.AddMessageLoop(&loop));
    {
        CMainDlg dlg;
        HWND hwnd = dlg.Create(nullptr);
        ASSERT_NE(hwnd, nullptr);
        EXPECT_FALSE(::IsWindowVisible(hwnd));     // shown only by the caller

        const struct { WPARAM which; int metric; } kIcons[] = {
            {ICON_BIG, SM_CXICON},
            {ICON_SMALL, SM_CXSMICON},
        };
        for (const auto& icon : kIcons) {
            HICON h = reinterpret_cast<HICON>(::SendMessageA(hwnd, WM_GETICON, icon.which, 0));
            ASSERT_NE(h, nullptr) << icon.which;
            ICONINFO info{};
            ASSERT_TRUE(::GetIconInfo(h, &info));
            BITMAP bm{};
            ::GetObjectA(info.hbmColor, sizeof bm, &bm);
            EXPECT_EQ(bm.bmWidth, ::GetSystemMetrics(icon.metric));
            EXPECT_EQ(bm.bmBitsPixel, 32);
            ::DeleteObject(info.hbmColor);
            ::DeleteObject(info.hbmMask);
        }

        // The dialog is the loop's filter: Tab goes through IsDialogMessage.
        MSG msg{hwnd, WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
        EXPECT_TRUE(loop.PreTranslateMessage(&msg));
        MSG other{nullptr, WM_APP, 0, 0, 0, {0, 0}};
        EXPECT_FALSE(loop.PreTranslateMessage(&other));
        EXPECT_FALSE(dlg.OnIdle());
        EXPECT_EQ(dlg.Name(), "Kelvra");
        EXPECT_EQ(dlg.Title(), "");
        ::DestroyWindow(hwnd);
    }
    g_Module.RemoveMessageLoop();
}

} // namespace
