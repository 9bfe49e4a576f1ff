// The completion dialog in process: its texts, and which commands end it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/module_win32.h"
#include "ui/done_dlg.h"

namespace {

std::string Ansi(const wchar_t* wide)
{
    char out[1024] = {};
    ::WideCharToMultiByte(CP_ACP, 0, wide, -1, out, sizeof out, nullptr, nullptr);
    return out;
}

std::string Text(HWND hwnd)
{
    char text[1024] = {};
    ::GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

bool Chinese() { return PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_CHINESE; }

// Answers the code of a pending quit, removing it; -1 when there is none.
int TakeQuit()
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        if (msg.message == WM_QUIT) return static_cast<int>(msg.wParam);
    return -1;
}

TEST(DoneDlg, EveryTextCarriesTheNameAndTheCaptionIsTheFooter)
{
    ASSERT_EQ(g_Module.Init(::GetModuleHandleA(nullptr)), S_OK);
    CDoneDlg dlg;
    dlg.SetInstallFolder("C:\\Kelvra\\");
    dlg.SetName("Zephyr");
    HWND hwnd = dlg.Create(nullptr);
    ASSERT_NE(hwnd, nullptr);

    const std::string title = Chinese() ? "Zephyr" + Ansi(L"安装向导") : "ZephyrInstall Wizard";
    EXPECT_EQ(Text(hwnd), title);
    EXPECT_EQ(Text(::GetDlgItem(hwnd, IDC_FOOTER)), title);
    if (Chinese()) {
        EXPECT_EQ(Text(::GetDlgItem(hwnd, IDC_DONE_MESSAGE)),
                  "Zephyr" + Ansi(L"安装完成!\r\n您可以根据需要安装以下额外的内容:"));
        for (int id : {IDC_DRIVER_NOTE, IDC_DOTNET_NOTE}) {
            const std::string text = Text(::GetDlgItem(hwnd, id));
            EXPECT_NE(text.find("Zephyr"), std::string::npos) << id;
            EXPECT_EQ(text.find("%s"), std::string::npos) << id;
        }
    }
    ::DestroyWindow(hwnd);
    TakeQuit();
}

TEST(DoneDlg, ExitAndAnyCancelEndTheProgramWithOne)
{
    ASSERT_EQ(g_Module.Init(::GetModuleHandleA(nullptr)), S_OK);
    const struct { const char* what; int id; WORD code; int quit; } cases[] = {
        {"exit button", IDC_EXIT, BN_CLICKED, 1},
        {"Escape (IDCANCEL)", IDCANCEL, BN_CLICKED, 1},
        {"IDCANCEL with another code", IDCANCEL, 1, 1},
        {"exit button, not a click", IDC_EXIT, BN_DOUBLECLICKED, -1},
        {"IDOK has no handler", IDOK, BN_CLICKED, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TakeQuit();
        CDoneDlg dlg;
        HWND hwnd = dlg.Create(nullptr);
        ASSERT_NE(hwnd, nullptr);
        EXPECT_EQ(::SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(c.id, c.code), 0), 0);
        EXPECT_EQ(TakeQuit(), c.quit);
        ::DestroyWindow(hwnd);
    }
}

} // namespace
