// The main dialog as a user meets it: texts, proposed folder, layout,
// keyboard, and the ways out.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/e2e/driver.h"

using namespace e2e;

namespace {

// Expected texts, typed from the product's text table.
const wchar_t kTitleZh[] = L"Kelvra安装向导";
const wchar_t kTitleEn[] = L"KelvraInstall Wizard";
const wchar_t kIntroZh[] =
    L"Kelvra安装向导将在您的系统中安装[Kelvra工业标记刻印系统]程序\r\n"
    L"选择安装文件夹后点击\"开始安装\"按钮进行安装,安装程序开始运行后请耐心等待直到安装完成.\r\n\r\n"
    L"注意:如果这是您第一次在您的系统中安装[Kelvra工业标记刻印系统],请务必保证电脑与刻印控制器之间的连线已经断开.";
const wchar_t kPromptZh[] = L"选择[Kelvra工业标记刻印系统]安装文件夹";

// A setup.exe started from a fresh medium, with its main dialog up.
class MainDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        medium_.AddProgram();
        ASSERT_TRUE(setup_.Start(medium_.Path("setup.exe")));
        dlg_ = setup_.WaitForDialogWith(IDC_INSTALL);
        ASSERT_NE(dlg_, nullptr) << "the main dialog did not appear";
    }

    Medium medium_{"main-dialog"};
    Process setup_;
    HWND dlg_ = nullptr;
};

TEST_F(MainDialog, CaptionAndTextsComeFromTheStringTableWithTheDefaultName)
{
    const std::wstring title = ChineseInterface() ? kTitleZh : kTitleEn;
    EXPECT_EQ(WindowText(dlg_), title);
    EXPECT_EQ(ItemText(dlg_, IDC_FOOTER), title);
    if (ChineseInterface()) {
        EXPECT_EQ(ItemText(dlg_, IDC_INTRO), kIntroZh);
        EXPECT_EQ(ItemText(dlg_, IDC_FOLDER_PROMPT), kPromptZh);
        EXPECT_NE(::GetDlgItem(dlg_, IDC_LEGAL_NOTICE), nullptr);
    } else {
        // The English template has no introduction, prompt or notice.
        EXPECT_EQ(::GetDlgItem(dlg_, IDC_INTRO), nullptr);
        EXPECT_EQ(::GetDlgItem(dlg_, IDC_FOLDER_PROMPT), nullptr);
        EXPECT_EQ(::GetDlgItem(dlg_, IDC_LEGAL_NOTICE), nullptr);
    }
}

TEST_F(MainDialog, ProposesProgramFilesAndTheProductName)
{
    wchar_t programFiles[MAX_PATH] = {};
    ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, programFiles, CSIDL_PROGRAM_FILES, FALSE));
    EXPECT_EQ(ItemText(dlg_, IDC_FOLDER_EDIT), std::wstring(programFiles) + L"\\Kelvra");
    EXPECT_EQ(std::wstring(programFiles), L"C:\\Program Files");
}

TEST_F(MainDialog, ProgressRangeIsZeroToEightHundred)
{
    HWND bar = ::GetDlgItem(dlg_, IDC_PROGRESS);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(Send(bar, PBM_GETRANGE, TRUE, 0), 0);
    EXPECT_EQ(Send(bar, PBM_GETRANGE, FALSE, 0), 800);
    EXPECT_EQ(Send(bar, PBM_GETPOS), 0);
}

TEST_F(MainDialog, IsCentredInTheWorkArea)
{
    RECT area{}, r{};
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0));
    ASSERT_TRUE(::GetWindowRect(dlg_, &r));
    const int w = r.right - r.left, h = r.bottom - r.top;
    EXPECT_EQ(r.left, (area.left + area.right) / 2 - w / 2);
    EXPECT_EQ(r.top, (area.top + area.bottom) / 2 - h / 2);
}

// The icons are checked in process (unit tests): Wine answers WM_GETICON
// from another process with none.
TEST_F(MainDialog, HasACloseBoxAndMinimiseButNoMaximiseAndNoSizing)
{
    const LONG style = ::GetWindowLongW(dlg_, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
}

TEST_F(MainDialog, BannerShowsItsBitmap)
{
    HWND banner = ::FindWindowExW(dlg_, nullptr, L"Static", nullptr);
    ASSERT_NE(banner, nullptr);
    EXPECT_NE(Send(banner, STM_GETIMAGE, IMAGE_BITMAP), 0);
}

TEST_F(MainDialog, FocusStartsInTheFolderEditAndTabMovesIt)
{
    Pause(200);
    HWND edit = ::GetDlgItem(dlg_, IDC_FOLDER_EDIT);
    EXPECT_EQ(FocusOf(setup_.ThreadId()), edit);
    PostKey(edit, VK_TAB);
    Pause(300);
    // Template order is tab order: the next tab stop after the edit.
    const int next = ChineseInterface() ? IDC_BROWSE : IDC_INSTALL;
    EXPECT_EQ(FocusOf(setup_.ThreadId()), ::GetDlgItem(dlg_, next));
}

TEST_F(MainDialog, EnterInTheEditDoesNothing)
{
    Pause(200);
    HWND edit = ::GetDlgItem(dlg_, IDC_FOLDER_EDIT);
    const std::wstring before = WindowText(edit);
    PostKey(edit, VK_RETURN);
    Pause(500);
    EXPECT_TRUE(setup_.Running());
    EXPECT_TRUE(::IsWindowVisible(dlg_));
    EXPECT_EQ(WindowText(edit), before);
    EXPECT_EQ(setup_.WaitForMessageBox(300), nullptr);
}

TEST_F(MainDialog, CancellingTheFolderBrowserLeavesTheEdit)
{
    const std::wstring before = ItemText(dlg_, IDC_FOLDER_EDIT);
    PostCommand(dlg_, IDC_BROWSE);
    HWND browser = setup_.WaitForWindow([&](HWND h) {
        return h != dlg_ && ::IsWindowVisible(h) && ClassName(h) == L"#32770";
    });
    ASSERT_NE(browser, nullptr) << "no folder browser";
    EXPECT_EQ(::GetWindow(browser, GW_OWNER), dlg_);
    PostCommand(browser, IDCANCEL);
    Pause(500);
    EXPECT_FALSE(::IsWindow(browser) && ::IsWindowVisible(browser));
    EXPECT_EQ(ItemText(dlg_, IDC_FOLDER_EDIT), before);
}

TEST_F(MainDialog, ChoosingAFolderReplacesTheWholeEditText)
{
    SetItemText(dlg_, IDC_FOLDER_EDIT, L"D:\\Somewhere\\Else");
    PostCommand(dlg_, IDC_BROWSE);
    HWND browser = setup_.WaitForWindow([&](HWND h) {
        return h != dlg_ && ::IsWindowVisible(h) && ClassName(h) == L"#32770";
    });
    ASSERT_NE(browser, nullptr) << "no folder browser";
    Pause(500);
    // The browser opens on the desktop, a file-system folder: take it.
    PostCommand(browser, IDOK);
    Pause(800);
    wchar_t desktop[MAX_PATH] = {};
    ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, desktop, CSIDL_DESKTOPDIRECTORY, FALSE));
    EXPECT_EQ(ItemText(dlg_, IDC_FOLDER_EDIT), desktop);
}

// Every way out of the main dialog ends the program with exit code 1.
TEST(MainDialogExit, EveryWayOutEndsWithCodeOne)
{
    enum How { kCancelCommand, kEscapeKey, kCloseBox };
    const struct { How how; const char* name; } kWays[] = {
        {kCancelCommand, "IDCANCEL"},
        {kEscapeKey, "Escape through the run loop"},
        {kCloseBox, "close box"},
    };
    for (const auto& way : kWays) {
        SCOPED_TRACE(way.name);
        Medium medium("main-exit");
        medium.AddProgram();
        Process setup;
        ASSERT_TRUE(setup.Start(medium.Path("setup.exe"), "/ignored --options"));
        HWND dlg = setup.WaitForDialogWith(IDC_INSTALL);
        ASSERT_NE(dlg, nullptr);
        Pause(200);
        switch (way.how) {
        case kCancelCommand: PostCommand(dlg, IDCANCEL); break;
        case kEscapeKey: PostKey(FocusOf(setup.ThreadId()), VK_ESCAPE); break;
        case kCloseBox: ::PostMessageW(dlg, WM_SYSCOMMAND, SC_CLOSE, 0); break;
        }
        EXPECT_EQ(setup.WaitExit(10000), 1u);
    }
}

TEST(MainDialogExit, MissingTemplateEndsWithZeroAndNothingOnScreen)
{
    Medium medium("no-template");
    medium.AddProgram("setup_notemplate.exe", "setup.exe");
    Process setup;
    ASSERT_TRUE(setup.Start(medium.Path("setup.exe")));
    EXPECT_EQ(setup.WaitExit(15000), 0u);
    EXPECT_TRUE(setup.Windows().empty());
}

} // namespace
