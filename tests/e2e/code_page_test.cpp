// Texts and paths in the process's ANSI code page: a medium and folders
// whose names the code page holds work however long in bytes, and those it
// cannot hold are refused, never read as a best-fit look-alike. Run in every
// pairing of interface and code page (e2e_en_US_cp936 among them).
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/install_support.h"

using namespace e2e;

namespace {

void WriteW(const std::wstring& path, const std::string& bytes)
{
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    ::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(f);
}

std::wstring SpecialFolderW(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    return ::SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE) ? path : L"";
}

class AnsiCodePage : public ::testing::Test {
protected:
    void SetUp() override { CleanInstallation(names_, folders_); }
    void TearDown() override
    {
        setup_.Kill();
        if (!desktop_.empty()) SetDesktop(desktop_, desktopType_);
        CleanInstallation(names_, folders_);
    }

    // Points the current user's desktop elsewhere until the test ends.
    void MoveDesktop(const std::wstring& path)
    {
        wchar_t old[MAX_PATH] = {};
        DWORD size = sizeof old;
        ASSERT_EQ(::SHGetValueW(HKEY_CURRENT_USER, kShellFolders, L"Desktop", &desktopType_, old, &size), 0);
        desktop_ = old;
        SetDesktop(path, REG_SZ);
    }
    static void SetDesktop(const std::wstring& path, DWORD type)
    {
        ::SHSetValueW(HKEY_CURRENT_USER, kShellFolders, L"Desktop", type, path.c_str(),
                      static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
    }
    static constexpr const wchar_t* kShellFolders =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

    // A folder below %TEMP%\kelvra-e2e\ (no backslash at the end), removed
    // before and after the test.
    std::wstring Folder(const std::wstring& leaf)
    {
        folders_.push_back(TempRootW() + leaf);
        RemoveTreeW(folders_.back());
        return folders_.back();
    }

    // setup.exe, a package of one file and the side files in `dir`; returns
    // the program's path.
    std::wstring Medium(const std::wstring& dir, const std::string& ini)
    {
        ::SHCreateDirectoryExW(nullptr, dir.c_str(), nullptr);
        ::CopyFileW(Widen(BuildDir() + "setup.exe").c_str(), (dir + L"\\setup.exe").c_str(), FALSE);
        WriteW(dir + L"\\Setup.pkg", Record("Kelvra.exe", "MZ"));
        for (const SideFile& f : SideFiles()) WriteW(dir + L"\\" + Widen(f.name), f.data);
        if (!ini.empty()) WriteW(dir + L"\\setup.ini", ini);
        return dir + L"\\setup.exe";
    }

    HWND Start(const std::wstring& exe)
    {
        if (!setup_.Start(exe)) return nullptr;
        return setup_.WaitForDialogWith(IDC_INSTALL);
    }

    void Install(HWND dlg, const std::wstring& folder)
    {
        ASSERT_TRUE(SetItemText(dlg, IDC_FOLDER_EDIT, folder));
        PostCommand(dlg, IDC_INSTALL);
    }

    // The message of a stopped run; the dialog stays usable.
    void ExpectStop(HWND dlg, const std::wstring& text)
    {
        HWND box = setup_.WaitForMessageBox(30000);
        ASSERT_NE(box, nullptr) << "no message";
        EXPECT_EQ(MessageBoxText(box), text);
        PostCommand(box, IDOK);
        EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(box); }));
        EXPECT_TRUE(::IsWindowEnabled(dlg));
    }

    std::wstring Title(const std::wstring& name) { return WithName(ExpectedTexts().title, name); }

    std::vector<std::string> names_{"Kelvra"};
    std::vector<std::wstring> folders_;
    Process setup_;
    std::wstring desktop_;
    DWORD desktopType_ = REG_EXPAND_SZ;
};

// An English interface on 936 converts with the thread's code page 1252:
// the shortcuts were named in mojibake, and 乗 (81 5C) put one in a folder.
// The trailing dot stays in the name; Windows strips it from the folder.
TEST_F(AnsiCodePage, ShortcutsOfAChineseNameWithATrailingDot)
{
    if (::GetACP() != 936) GTEST_SKIP() << "needs code page 936";
    const std::wstring name = L"凯尔弗乗 Co., Ltd.";
    names_.push_back(Narrow(name));
    const std::wstring folder = Folder(L"cp-installed");
    HWND dlg = Start(Medium(Folder(L"cp-medium"), "Name=" + Narrow(name) + "\r\n"));
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(WindowText(dlg), Title(name));
    Install(dlg, folder);
    HWND done = setup_.WaitForDialogWith(IDC_EXIT, 30000);
    ASSERT_NE(done, nullptr) << "no completion dialog";
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, kRecordKey, "Name").bytes, Narrow(name) + '\0');
    for (int csidl : {CSIDL_PROGRAMS, CSIDL_DESKTOPDIRECTORY})
        EXPECT_TRUE(FileExistsW(SpecialFolderW(csidl) + L"\\" + name + L".lnk")) << csidl;
    PostCommand(done, IDC_EXIT);
    EXPECT_EQ(setup_.WaitExit(10000), 1u);
}

// 154 characters, 276 bytes and more in 936: beyond a 260-byte buffer,
// within Windows' 260 characters.
TEST_F(AnsiCodePage, AMediumInALongChineseFolder)
{
    if (::GetACP() != 936) GTEST_SKIP() << "needs code page 936";
    const std::wstring leaf(154 - TempRootW().size(), L'长');
    names_.push_back("Long");
    const std::wstring folder = Folder(L"cp-long-installed");
    HWND dlg = Start(Medium(Folder(leaf), "Name=Long\r\n"));
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(WindowText(dlg), Title(L"Long"));
    Install(dlg, folder);
    HWND done = setup_.WaitForDialogWith(IDC_EXIT, 30000);
    ASSERT_NE(done, nullptr) << "no completion dialog";
    EXPECT_EQ(ReadFileBytesW(folder + L"\\Kelvra.exe"), "MZ");
    EXPECT_TRUE(ReadFileBytesW(folder + L"\\msvcr80.dll") == SideFiles()[4].data);
    PostCommand(done, IDC_EXIT);
    EXPECT_EQ(setup_.WaitExit(10000), 1u);
}

// A fullwidth backslash has the backslash as its best fit in 1252: the ANSI
// path of the program named the decoy folder below.
TEST_F(AnsiCodePage, AProgramPathWithALookAlikeIsRefused)
{
    if (::GetACP() != 1252) GTEST_SKIP() << "needs code page 1252";
    const std::wstring root = Folder(L"cp-lookalike");
    Medium(root + L"\\a\\b", "Name=Decoy\r\n");
    HWND dlg = Start(Medium(root + L"\\a\uFF3Cb", "Name=Real\r\n"));
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(WindowText(dlg), Title(L"Kelvra"));
    Install(dlg, Folder(L"cp-lookalike-installed"));
    ExpectStop(dlg, std::wstring(ExpectedTexts().openPackage) + L"\n" + root + L"\\a?b\\setup.exe");
}

// Folders with a character neither 1252 nor 936 holds (A with macron, best
// fit 'A' in 1252): the folder browser's answer and a typed folder are
// refused, and a desktop in such a folder still gets its shortcut.
TEST_F(AnsiCodePage, FoldersTheCodePageLacks)
{
    const std::wstring root = Folder(L"cp-desk"), desktop = root + L"\\De\u0100sk";
    ASSERT_EQ(::SHCreateDirectoryExW(nullptr, desktop.c_str(), nullptr), ERROR_SUCCESS);
    MoveDesktop(desktop);
    HWND dlg = Start(Medium(Folder(L"cp-desk-medium"), ""));
    ASSERT_NE(dlg, nullptr);
    const std::wstring proposed = ItemText(dlg, IDC_FOLDER_EDIT);
    PostCommand(dlg, IDC_BROWSE);
    HWND browser = setup_.WaitForWindow([&](HWND h) { return h != dlg && ::IsWindowVisible(h) && ClassName(h) == L"#32770"; });
    ASSERT_NE(browser, nullptr) << "no folder browser";
    Pause(500);
    PostCommand(browser, IDOK);   // the desktop, where it opens
    const std::wstring createFile = std::wstring(ExpectedTexts().createFile) + L"\n";
    ExpectStop(dlg, createFile + root + L"\\De?sk");
    EXPECT_EQ(ItemText(dlg, IDC_FOLDER_EDIT), proposed);

    const std::wstring folder = Folder(L"cp-desk-installed");
    Install(dlg, folder + L"\\x\u0100y");
    ExpectStop(dlg, createFile + folder + L"\\x?y");
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kRecordKey));
    Install(dlg, folder);
    HWND done = setup_.WaitForDialogWith(IDC_EXIT, 30000);
    ASSERT_NE(done, nullptr) << "no completion dialog";
    EXPECT_FALSE(FileExistsW(folder + L"\\xAy"));
    EXPECT_TRUE(FileExistsW(desktop + L"\\Kelvra.lnk"));
    PostCommand(done, IDC_EXIT);
    EXPECT_EQ(setup_.WaitExit(10000), 1u);
}

} // namespace
