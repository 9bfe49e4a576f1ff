// Texts from the string table, in the interface language of the run.
#include <windows.h>

#include <gtest/gtest.h>

#include "base/module_win32.h"
#include "base/strings_win32.h"
#include "res/resource.h"

namespace {

bool Chinese() { return PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_CHINESE; }

std::wstring Wide(const std::string& s)
{
    if (s.empty()) return std::wstring();
    const int n = ::MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
    return w;
}

class Strings : public ::testing::Test {
protected:
    void SetUp() override { g_Module.Init(::GetModuleHandleA(nullptr)); }
};

// Expected texts typed from the product's text table, with "Kelvra" or
// "N%sN" put in by hand.
struct TextCase {
    UINT id;
    const char* name;
    const wchar_t* zh;
    const wchar_t* en;
};

const TextCase kTexts[] = {
    {IDS_WIZARD_TITLE, "Kelvra", L"Kelvra安装向导", L"KelvraInstall Wizard"},
    {IDS_FOLDER_PROMPT, "Kelvra", L"选择[Kelvra工业标记刻印系统]安装文件夹",
     L"Select [Kelvra industrial marking graphic system]installation folder"},
    {IDS_SHORTCUT_DESC, "Kelvra", L"Kelvra工业标记刻印系统", L"KelvraIndustrial Markers graphic system"},
    // Two placeholders.
    {IDS_DRIVER_NOTE, "Kelvra",
     L"*安装Corvane驱动程序\r\n说明:如果您的系统是第一次安装[Kelvra工业标记刻印系统],请安装此驱动程序使Kelvra能正常驱动相应的硬件.\r\n注意:此驱动程序仅适用于使用Corvane接口的控制器,如果控制器未使用此接口,则无需安装.",
     L"*Installation Corvane driver\r\nNote:If your system is the first installation [Kelvra industrial marking graphic systems],please install this driver can makeKelvra normal driving corresponding hardware.\r\nNote:This procedure applies only to drive the use of Corvane Interface controller,if the controller did not use this interface,without having to install."},
    // Three placeholders.
    {IDS_DOTNET_NOTE, "Kelvra",
     L"*安装 .NET2.0框架\r\n说明:安装此软件包使Kelvra中某些依靠.NET2.0框架的模块得以正常工作.是否安装此软件包取决于Kelvra中安装的模块.大多数情况下,您不必安装此软件包,除非Kelvra中的部分模块无法工作.",
     L"*Installation .NET2.0 framework\r\nNote:install this package so that some rely onKelvra.NET2.0 framework modules to normal work.Whether install this package depends on theKelvra installed in the module.In most cases,you need not install this package unlessKelvra part in the module unable to work."},
    {IDS_MAIN_INTRO, "Kelvra",
     L"Kelvra安装向导将在您的系统中安装[Kelvra工业标记刻印系统]程序\r\n选择安装文件夹后点击\"开始安装\"按钮进行安装,安装程序开始运行后请耐心等待直到安装完成.\r\n\r\n注意:如果这是您第一次在您的系统中安装[Kelvra工业标记刻印系统],请务必保证电脑与刻印控制器之间的连线已经断开.",
     L"KelvraInstall Wizard in your system will be installed [Kelvra industrial marking graphic system] procedures\r\noption after installation folder click on \"start the installation\"button for installation,the installation process began running after installation please wait patiently until completion.\r\n\r\nNote:If this is your first time in your system installed[Kelvra industrial marking graphic systems],and you must ensure that the computer and the connection between embedded controller has been disconnected."},
    {IDS_DONE_MESSAGE, "Kelvra", L"Kelvra安装完成!\r\n您可以根据需要安装以下额外的内容:",
     L"KelvraInstallation is completed!\r\nYou may need to install the following additional elements:"},
    // A name that holds the placeholder itself is inserted once per
    // placeholder and never expanded again.
    {IDS_WIZARD_TITLE, "N%sN", L"N%sN安装向导", L"N%sNInstall Wizard"},
    {IDS_DRIVER_NOTE, "%s",
     L"*安装Corvane驱动程序\r\n说明:如果您的系统是第一次安装[%s工业标记刻印系统],请安装此驱动程序使%s能正常驱动相应的硬件.\r\n注意:此驱动程序仅适用于使用Corvane接口的控制器,如果控制器未使用此接口,则无需安装.",
     L"*Installation Corvane driver\r\nNote:If your system is the first installation [%s industrial marking graphic systems],please install this driver can make%s normal driving corresponding hardware.\r\nNote:This procedure applies only to drive the use of Corvane Interface controller,if the controller did not use this interface,without having to install."},
    // An empty name removes the placeholders.
    {IDS_WIZARD_TITLE, "", L"安装向导", L"Install Wizard"},
    {IDS_DONE_MESSAGE, "", L"安装完成!\r\n您可以根据需要安装以下额外的内容:",
     L"Installation is completed!\r\nYou may need to install the following additional elements:"},
};

TEST_F(Strings, LoadTextThenReplaceGivesTheTextOfTheInterfaceLanguage)
{
    for (const TextCase& c : kTexts) {
        SCOPED_TRACE(c.id);
        std::string text;
        LoadTextWithName(text, c.id, c.name);
        EXPECT_EQ(Wide(text), Chinese() ? c.zh : c.en);
    }
}

TEST_F(Strings, ReplaceCountsEveryPlaceholder)
{
    const struct { UINT id; int count; } kCounts[] = {
        {IDS_MAIN_INTRO, 3}, {IDS_DOTNET_NOTE, 3}, {IDS_DRIVER_NOTE, 2},
        {IDS_WIZARD_TITLE, 1}, {IDS_ERROR_CAPTION, 0}, {IDS_ERR_COPY_FILE, 0},
    };
    for (const auto& c : kCounts) {
        SCOPED_TRACE(c.id);
        std::string text;
        LoadText(text, c.id);
        const std::string before = text;
        EXPECT_EQ(Replace(text, "%s", "Kelvra"), c.count);
        if (c.count == 0) {
            EXPECT_EQ(text, before);
        }
    }
}

TEST_F(Strings, ErrorTexts)
{
    const struct { UINT id; const wchar_t* zh; const wchar_t* en; } kErrors[] = {
        {IDS_ERROR_CAPTION, L"错误", L"Mistakes"},
        {IDS_ERR_OPEN_PACKAGE, L"打开安装源文件错误", L"Open source installation errors"},
        {IDS_ERR_CREATE_FILE, L"建立文件失败", L"Failure to establish documentation"},
        {IDS_ERR_COPY_FILE, L"复制文件失败", L"Failure copy paper"},
        {IDS_ERR_SHORTCUT, L"建立快捷方式失败", L"Failure to establish shortcuts"},
    };
    for (const auto& e : kErrors) {
        std::string text;
        LoadText(text, e.id);
        EXPECT_EQ(Wide(text), Chinese() ? e.zh : e.en) << e.id;
    }
}

TEST_F(Strings, AnIdWithoutTextLeavesTheTargetAsItWas)
{
    // 999 shares no block with a text; 1007 lies in the block of 1000-1006.
    for (UINT id : {999u, 1007u, 1999u, 2005u, 0u}) {
        std::string text = "unchanged";
        LoadText(text, id);
        EXPECT_EQ(text, "unchanged") << id;
    }
}

TEST_F(Strings, ChineseTextsUseCodePage936)
{
    if (!Chinese()) GTEST_SKIP() << "English interface";
    EXPECT_EQ(::GetACP(), 936u);
    std::string text;
    LoadText(text, IDS_ERROR_CAPTION);
    EXPECT_EQ(text, "\xB4\xED\xCE\xF3");   // 错误 in GBK
}

} // namespace
