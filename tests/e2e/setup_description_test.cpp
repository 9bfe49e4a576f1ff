// A setup description beside the program renames the product in the main
// dialog: caption, texts and proposed folder.
#include <windows.h>

#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/e2e/driver.h"

using namespace e2e;

namespace {

struct DescriptionCase {
    const char* what;
    const char* program;        // name of setup.exe on the medium
    const char* iniName;        // nullptr: no description file
    const char* ini;
    const wchar_t* name;        // the name the dialog must show
};

const DescriptionCase kCases[] = {
    {"later key wins, any case", "setup.exe", "setup.ini", "Name=Alpha\r\nname = Beta\r\n", L"Beta"},
    {"named after the program", "Install.exe", "Install.ini", "Name=Gamma", L"Gamma"},
    {"another program's file is not read", "Install.exe", "setup.ini", "Name=Gamma", L"Kelvra"},
    {"empty name counts as absent", "setup.exe", "setup.ini", "Title=T\nName=\n", L"Kelvra"},
    {"8.3 short-name shape", "setup.exe", "setup.ini", "Name=PROGRA~1\n", L"Kelvra"},
    {"a trailing dot stays", "setup.exe", "setup.ini", "Name=Kelvra Co., Ltd.\n", L"Kelvra Co., Ltd."},
    {"comment and unknown keys", "setup.exe", "setup.ini", "//Name=No\n[Setup]\nProduct=No\n", L"Kelvra"},
};

TEST(SetupDescription, RenamesTheProductInTheMainDialog)
{
    for (const DescriptionCase& c : kCases) {
        SCOPED_TRACE(c.what);
        Medium medium("setup-description");
        medium.AddProgram("setup.exe", c.program);
        if (c.iniName) medium.Write(c.iniName, c.ini);

        Process setup;
        ASSERT_TRUE(setup.Start(medium.Path(c.program)));
        HWND dlg = setup.WaitForDialogWith(IDC_INSTALL);
        ASSERT_NE(dlg, nullptr);

        const std::wstring name = c.name;
        const std::wstring title = name + (ChineseInterface() ? L"安装向导" : L"Install Wizard");
        EXPECT_EQ(WindowText(dlg), title);
        EXPECT_EQ(ItemText(dlg, IDC_FOOTER), title);
        EXPECT_EQ(ItemText(dlg, IDC_FOLDER_EDIT), L"C:\\Program Files\\" + name);
        if (ChineseInterface()) {
            EXPECT_EQ(ItemText(dlg, IDC_FOLDER_PROMPT), L"选择[" + name + L"工业标记刻印系统]安装文件夹");
        }

        PostCommand(dlg, IDCANCEL);
        EXPECT_EQ(setup.WaitExit(10000), 1u);
    }
}

} // namespace
