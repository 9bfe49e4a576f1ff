// mediatool.exe takes its arguments as Unicode and reaches every path
// through the wide file interface: a Chinese folder name works on an
// English Windows (code page 1252) as on a Chinese one, and what it prints
// is UTF-8.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "tests/common/win_files.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/install_support.h"
#include "tests/e2e/tool_run.h"

using namespace e2e;

namespace {

std::string ReadWide(const std::wstring& path)
{
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::string();
    std::string bytes;
    char buf[4096];
    DWORD got = 0;
    while (::ReadFile(h, buf, sizeof buf, &got, nullptr) && got) bytes.append(buf, got);
    ::CloseHandle(h);
    return bytes;
}

class MediatoolUnicode : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = TempRootW() + L"mediatool_unicode";
        TearDown();
    }
    void TearDown() override
    {
        ::DeleteFileW((root_ + L"\\\u4e2d\u6587\u76ee\u5f55\\\u4e2d\u6587.txt").c_str());
        ::RemoveDirectoryW((root_ + L"\\\u4e2d\u6587\u76ee\u5f55").c_str());
        ::DeleteFileW((root_ + L"\\\u8f93\u51fa.pkg").c_str());
        ::RemoveDirectoryW(root_.c_str());
    }
    std::wstring root_;
};

TEST_F(MediatoolUnicode, ChineseFolderNamesReachTheTool)
{
    // 中文目录\中文.txt, packed into 输出.pkg.
    const std::wstring folder = root_ + L"\\\u4e2d\u6587\u76ee\u5f55";
    const std::wstring package = root_ + L"\\\u8f93\u51fa.pkg";
    ASSERT_TRUE(testwin::WriteFileW(folder + L"\\\u4e2d\u6587.txt", "gbk"));

    const ToolRun pack = RunTool(L"pack \"" + folder + L"\" -o \"" + package + L"\" --codepage 936");
    ASSERT_EQ(pack.status, 0u) << pack.out;
    // 中文 is D6 D0 CE C4 in code page 936; one record, written out by hand.
    EXPECT_EQ(ReadWide(package), std::string("\x08\0\0\0", 4) + "\xD6\xD0\xCE\xC4.txt" + std::string("\x03\0\0\0", 4) +
                                     "gbk");

    // A refusal names the file in UTF-8, whatever the console's code page.
    const ToolRun refused = RunTool(L"pack \"" + folder + L"\\\u4e2d\u6587.txt\" -o \"" + package + L"\"");
    EXPECT_EQ(refused.status, 1u) << refused.out;
    EXPECT_NE(refused.out.find("\xE4\xB8\xAD\xE6\x96\x87.txt: not a folder"), std::string::npos) << refused.out;
}

} // namespace
