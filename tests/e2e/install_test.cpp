// A whole installation as a user meets it: the install button, the record
// in the registry, the unpacked files, the side files, the shortcuts, the
// completion dialog and its ways out.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/install_support.h"

using namespace e2e;

namespace {

// Adds the paths below `folder` whose last part is `leaf` (in any letter
// case) to `found`; links to other folders are not followed.
void FindNamed(const std::wstring& folder, const std::wstring& leaf, int depth, std::vector<std::wstring>& found)
{
    WIN32_FIND_DATAW fd;
    HANDLE find = ::FindFirstFileW((folder + L"*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        if (::lstrcmpiW(name.c_str(), leaf.c_str()) == 0) found.push_back(folder + name);
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
            depth > 0)
            FindNamed(folder + name + L"\\", leaf, depth - 1, found);
    } while (::FindNextFileW(find, &fd));
    ::FindClose(find);
}

// A medium with setup.exe, a package of the product's files and the side
// files; each scenario removes what it installed, before and after.
class Install : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ChineseInterface() ? Narrow(L"乗") == "\x81\x5C" : Narrow(L"\u00e9") == "\xe9")
            << "the ANSI code page is not the one of the interface language";
        CleanInstallation(names_, folders_);
        medium_.AddProgram();
        files_ = ProductFiles();
        medium_.Write("Setup.pkg", Package(files_));
        for (const SideFile& f : SideFiles()) medium_.Write(f.name, f.data);
    }
    void TearDown() override
    {
        setup_.Kill();
        CleanInstallation(names_, folders_);
    }

    // A folder below %TEMP%\kelvra-e2e\, removed before and after the test.
    std::wstring Folder(const std::wstring& leaf)
    {
        const std::wstring folder = TempRootW() + leaf;
        folders_.push_back(folder);
        RemoveTreeW(folder);
        return folder;
    }

    void Start()
    {
        ASSERT_TRUE(setup_.Start(medium_.Path("setup.exe")));
        dlg_ = setup_.WaitForDialogWith(IDC_INSTALL);
        ASSERT_NE(dlg_, nullptr) << "the main dialog did not appear";
    }

    void PressInstall(const std::wstring& folderText)
    {
        ASSERT_TRUE(SetItemText(dlg_, IDC_FOLDER_EDIT, folderText));
        PostCommand(dlg_, IDC_INSTALL);
    }

    HWND WaitForDone() { return setup_.WaitForDialogWith(IDC_EXIT, 30000); }

    void ExpectInstalledFiles(const std::wstring& folder)
    {
        for (const PackedFile& f : files_) {
            SCOPED_TRACE(Utf8(f.name));
            const std::wstring path = folder + L"\\" + f.name;
            EXPECT_TRUE(FileExistsW(path));
            const std::string got = ReadFileBytesW(path);
            EXPECT_TRUE(got == f.data) << got.size() << " bytes, " << f.data.size() << " expected";
        }
    }

    void ExpectRecord(const std::string& instPath, const std::string& name, const std::string& title)
    {
        const struct { const char* value; std::string bytes; } kValues[] = {
            {"InstPath", instPath + '\0'},
            {"Name", name + '\0'},
            {"Title", title + '\0'},
        };
        for (const auto& v : kValues) {
            SCOPED_TRACE(v.value);
            const RegValue got = ReadRegValue(HKEY_CURRENT_USER, kRecordKey, v.value);
            EXPECT_TRUE(got.exists);
            EXPECT_EQ(got.type, static_cast<DWORD>(REG_SZ));
            EXPECT_EQ(got.bytes.size(), v.bytes.size());
            EXPECT_EQ(got.bytes, v.bytes);
        }
    }

    // Both shortcuts of `name`, pointing into `instPath` (with its backslash).
    void ExpectShortcuts(const std::string& name, const std::string& instPath, bool withIcon)
    {
        for (const std::string& path : {ProgramsShortcut(name), DesktopShortcut(name)}) {
            SCOPED_TRACE(path);
            const Shortcut s = ReadShortcut(path);
            ASSERT_TRUE(s.loaded);
            EXPECT_EQ(s.target, instPath + "Kelvra.exe");
            EXPECT_EQ(s.workingDir, instPath);
            EXPECT_EQ(Widen(s.description), WithName(ExpectedTexts().description, Widen(name)));
            if (withIcon) {
                EXPECT_EQ(s.iconPath, instPath + "icon.ico");
                EXPECT_EQ(s.iconIndex, 0);
            } else {
                EXPECT_EQ(s.iconPath, "");
            }
        }
    }

    void ExpectDoneTexts(HWND done, const std::wstring& name)
    {
        const Texts& t = ExpectedTexts();
        const std::wstring title = WithName(t.title, name);
        EXPECT_EQ(WindowText(done), title);
        EXPECT_EQ(ItemText(done, IDC_FOOTER), title);
        EXPECT_FALSE(::GetWindowLongW(done, GWL_STYLE) & WS_SYSMENU) << "no close box";
        EXPECT_NE(::GetDlgItem(done, IDC_DRIVER_INSTALL), nullptr);
        if (ChineseInterface()) {
            EXPECT_EQ(ItemText(done, IDC_DONE_MESSAGE), WithName(t.doneMessage, name));
            EXPECT_EQ(ItemText(done, IDC_DRIVER_NOTE), WithName(t.driverNote, name));
            EXPECT_EQ(ItemText(done, IDC_DOTNET_NOTE), WithName(t.dotnetNote, name));
            // The .NET offer is set up but never shown.
            EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(done, IDC_DOTNET_NOTE)));
            EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(done, IDC_DOTNET_INSTALL)));
            EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(done, IDC_DRIVER_NOTE)));
        } else {
            for (int id : {IDC_DONE_MESSAGE, IDC_DRIVER_NOTE, IDC_DOTNET_NOTE, IDC_DOTNET_INSTALL})
                EXPECT_EQ(::GetDlgItem(done, id), nullptr) << id;
        }
    }

    // A run that stopped: its message box, owned by the main dialog, with
    // the controls already enabled again; closed with OK.
    void ExpectStop(const std::wstring& text, const std::wstring& typed)
    {
        HWND box = setup_.WaitForMessageBox(30000);
        ASSERT_NE(box, nullptr) << "no message";
        EXPECT_EQ(WindowText(box), ExpectedTexts().errorCaption);
        EXPECT_EQ(MessageBoxText(box), text);
        EXPECT_EQ(::GetWindow(box, GW_OWNER), dlg_);
        for (int id : {IDC_FOLDER_EDIT, IDC_BROWSE, IDC_INSTALL}) EXPECT_TRUE(ItemEnabled(dlg_, id)) << id;
        PostCommand(box, IDOK);
        EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(box); }));
        // Usable again, the text as the user left it (no backslash added).
        EXPECT_TRUE(::IsWindowVisible(dlg_));
        EXPECT_TRUE(::IsWindowEnabled(dlg_));
        EXPECT_EQ(ItemText(dlg_, IDC_FOLDER_EDIT), typed);
    }

    std::vector<std::string> names_{"Kelvra"};
    std::vector<std::wstring> folders_;
    Medium medium_{"install"};
    std::vector<PackedFile> files_;
    Process setup_;
    HWND dlg_ = nullptr;
};

// First installation: no record yet, a folder typed without its backslash
// (in Chinese it ends in 乗, whose trail byte is 0x5C), icon.ico beside the
// program, no setup description. Leaves through the exit button.
TEST_F(Install, WholeInstallationFromTheButtonToTheExitCode)
{
    const std::wstring folder = Folder(ChineseInterface() ? L"安装乗" : L"Kelvr\u00e4 Install");
    const std::string instPath = Narrow(folder) + "\\";
    ProgressProbe probe;
    Start();
    ASSERT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kRecordKey));
    ASSERT_TRUE(probe.Attach(setup_.ThreadId()));
    PressInstall(folder);

    HWND done = WaitForDone();
    ASSERT_NE(done, nullptr) << "no completion dialog";
    EXPECT_FALSE(::IsWindow(dlg_)) << "the main dialog is still there";
    EXPECT_EQ(setup_.WaitForMessageBox(200), nullptr);
    // As the main dialog went, its bar stood at 500 of 0..800.
    EXPECT_EQ(probe.Report(), "500 0 800\n");

    ExpectInstalledFiles(folder);
    for (const SideFile& f : SideFiles()) {
        SCOPED_TRACE(f.name);
        EXPECT_TRUE(ReadFileBytesW(folder + L"\\" + Widen(f.name)) == f.data);
    }
    // Without a setup description: Name "Kelvra", and an empty Title is
    // stored as its terminating zero alone.
    ExpectRecord(instPath, "Kelvra", "");
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, std::string(kRecordKey) + "\\WindowsLayout"));
    ExpectShortcuts("Kelvra", instPath, true);
    ExpectDoneTexts(done, L"Kelvra");

    // The driver button starts the installer of the package each time,
    // without waiting for it; the hidden .NET command starts its own.
    const std::wstring driverMarker = folder + L"\\Corvane Driver\\marker.txt";
    const std::wstring dotnetMarker = folder + L"\\dotnetfx\\marker.txt";
    PostCommand(done, IDC_DRIVER_INSTALL);
    EXPECT_TRUE(WaitUntil([&] { return LineCount(driverMarker) == 1; }));
    PostCommand(done, IDC_DRIVER_INSTALL);
    EXPECT_TRUE(WaitUntil([&] { return LineCount(driverMarker) == 2; }));
    PostCommand(done, IDC_DOTNET_INSTALL);
    EXPECT_TRUE(WaitUntil([&] { return LineCount(dotnetMarker) == 1; }));
    Pause(300);
    EXPECT_EQ(LineCount(driverMarker), 2);
    EXPECT_TRUE(::IsWindowVisible(done));
    EXPECT_TRUE(setup_.Running());

    PostCommand(done, IDC_EXIT);
    EXPECT_EQ(setup_.WaitExit(10000), 1u);
}

// Installation over an earlier one: the record key exists with a window
// layout, values and sub-keys of its own; a setup description names the
// product; the folder is typed with its backslash; icon.ico is missing;
// files and shortcuts of the same names exist. Leaves with Escape.
TEST_F(Install, RepeatedInstallationOverAnExistingRecord)
{
    const std::wstring wideName = ChineseInterface() ? L"刻印Kelvra" : L"Kelvra Pro";
    const std::wstring wideTitle = ChineseInterface() ? L"工业标记 = 刻印" : L"Industrial = Marking";
    const std::string name = Narrow(wideName), title = Narrow(wideTitle);
    names_.push_back(name);
    medium_.Write("setup.ini", "// product\r\nName=" + name + "\r\nTitle=" + title + "\r\n");
    ::DeleteFileA(medium_.Path("icon.ico").c_str());

    const std::string key = kRecordKey;
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, key, "InstPath", "C:\\Old\\Place\\"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, key, "Name", "Old"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, key, "Title", "Old title"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, key, "Other", "kept"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, key + "\\Keep\\Inner", "Value", "inner"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, key + "\\WindowsLayout", "Top", "1"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, key + "\\WindowsLayout\\Pane\\Deep\\Deeper", "X", "2"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, key + "\\WindowsLayout\\Second", "", ""));

    const std::wstring folder = Folder(L"again");
    const std::string instPath = Narrow(folder) + "\\";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    ::CreateDirectoryW((folder + L"\\bin").c_str(), nullptr);
    Medium old("install-old");
    old.Write("chunks.bin", Pattern(2000, 9));
    ASSERT_TRUE(::CopyFileW(Widen(old.Path("chunks.bin")).c_str(), (folder + L"\\bin\\chunks.bin").c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(Widen(old.Path("chunks.bin")).c_str(), (folder + L"\\msvcr80.dll").c_str(), FALSE));
    for (const std::string& lnk : {ProgramsShortcut(name), DesktopShortcut(name)}) {
        ::CreateDirectoryA(lnk.substr(0, lnk.find_last_of('\\')).c_str(), nullptr);
        ASSERT_TRUE(::CopyFileA(old.Path("chunks.bin").c_str(), lnk.c_str(), FALSE)) << lnk;
    }

    Start();
    PressInstall(folder + L"\\");
    HWND done = WaitForDone();
    ASSERT_NE(done, nullptr) << "no completion dialog";

    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, key + "\\WindowsLayout"));
    ExpectRecord(instPath, name, title);
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, key, "Other").bytes, std::string("kept", 5));
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, key + "\\Keep\\Inner", "Value").bytes, std::string("inner", 6));

    ExpectInstalledFiles(folder);
    EXPECT_TRUE(ReadFileBytesW(folder + L"\\msvcr80.dll") == SideFiles()[4].data) << "overwritten";
    EXPECT_FALSE(FileExistsW(folder + L"\\icon.ico"));
    // Named after Name, pointing at Kelvra.exe all the same; no icon.
    ExpectShortcuts(name, instPath, false);
    EXPECT_FALSE(FileExists(ProgramsShortcut("Kelvra")));
    EXPECT_FALSE(FileExists(DesktopShortcut("Kelvra")));
    ExpectDoneTexts(done, wideName);

    Pause(200);
    PostKey(FocusOf(setup_.ThreadId()), VK_ESCAPE);
    EXPECT_EQ(setup_.WaitExit(10000), 1u);
}

// Every way a run can stop, one after another in one program: each shows
// its message, leaves the dialog usable, and the corrected run completes.
TEST_F(Install, EachFailureShowsItsMessageAndTheCorrectedRunCompletes)
{
    const Texts& t = ExpectedTexts();
    const std::wstring folder = Folder(L"failing");
    const std::string instPath = Narrow(folder) + "\\";
    const std::wstring instPathW = Widen(instPath);
    const std::string key = kRecordKey;
    for (const char* missing : {"Setup.pkg", "msvcp80.dll", "Splash.bmp", "icon.ico"})
        ASSERT_TRUE(::DeleteFileA(medium_.Path(missing).c_str())) << missing;
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, key + "\\WindowsLayout\\Pane", "X", "1"));
    Start();

    // An empty folder text: nothing at all, not even a registry access.
    PressInstall(L"");
    Pause(800);
    EXPECT_EQ(setup_.WaitForMessageBox(100), nullptr);
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, key + "\\WindowsLayout\\Pane"));
    EXPECT_FALSE(ReadRegValue(HKEY_CURRENT_USER, key, "InstPath").exists);
    for (int id : {IDC_FOLDER_EDIT, IDC_BROWSE, IDC_INSTALL}) EXPECT_TRUE(ItemEnabled(dlg_, id)) << id;

    // No Setup.pkg: the record is written first, the controls are disabled
    // while the run works.
    PressInstall(folder);
    EXPECT_TRUE(WaitUntil([&] { return !ItemEnabled(dlg_, IDC_INSTALL); }, 5000)) << "never disabled";
    EXPECT_FALSE(ItemEnabled(dlg_, IDC_FOLDER_EDIT));
    EXPECT_FALSE(ItemEnabled(dlg_, IDC_BROWSE));
    ExpectStop(t.openPackage, folder);
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, key, "InstPath").bytes, instPath + '\0');
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, key + "\\WindowsLayout"));

    // A package of 2 GiB reads as a negative size: it cannot be a package.
    {
        HANDLE big = ::CreateFileA(medium_.Path("Setup.pkg").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(big, INVALID_HANDLE_VALUE);
        LARGE_INTEGER size;
        size.QuadPart = 0x80000000LL;
        EXPECT_TRUE(::SetFilePointerEx(big, size, nullptr, FILE_BEGIN) && ::SetEndOfFile(big));
        ::CloseHandle(big);
    }
    PressInstall(folder);
    ExpectStop(t.openPackage, folder);

    // A target that cannot be created (a folder of that name is in the way):
    // the records before it stay.
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((folder + L"\\blocked").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((folder + L"\\blocked\\x.txt").c_str(), nullptr));
    medium_.Write("Setup.pkg", Record("first.txt", "one") + Record("blocked\\x.txt", "two") +
                                   Record("after.txt", "three"));
    PressInstall(folder);
    ExpectStop(std::wstring(t.createFile) + L"\n" + instPathW + L"blocked\\x.txt", folder);
    EXPECT_EQ(ReadFileBytesW(folder + L"\\first.txt"), "one");
    EXPECT_FALSE(FileExistsW(folder + L"\\after.txt"));

    // A name that leaves the install folder is refused.
    medium_.Write("Setup.pkg", Record("..\\escaped.txt", "out"));
    PressInstall(folder);
    ExpectStop(std::wstring(t.createFile) + L"\n" + instPathW + L"..\\escaped.txt", folder);
    EXPECT_FALSE(FileExistsW(TempRootW() + L"escaped.txt"));

    // msvcp80.dll missing: the manifest before it is copied, msvcr80.dll
    // after it is not; Splash.bmp and icon.ico missing cause no message.
    medium_.Write("Setup.pkg", Package(files_));
    PressInstall(folder);
    ExpectStop(std::wstring(t.copyFile) + L"\n" + Widen(medium_.Path("msvcp80.dll")), folder);
    ExpectInstalledFiles(folder);
    EXPECT_TRUE(FileExistsW(folder + L"\\Microsoft.VC80.CRT.manifest"));
    EXPECT_FALSE(FileExistsW(folder + L"\\msvcr80.dll"));
    EXPECT_FALSE(FileExists(ProgramsShortcut("Kelvra")));

    // Corrected: the same dialog completes the installation.
    medium_.Write("msvcp80.dll", SideFiles()[3].data);
    PressInstall(folder);
    HWND done = WaitForDone();
    ASSERT_NE(done, nullptr) << "no completion dialog";
    EXPECT_FALSE(::IsWindow(dlg_));
    EXPECT_TRUE(ReadFileBytesW(folder + L"\\msvcr80.dll") == SideFiles()[4].data);
    EXPECT_FALSE(FileExistsW(folder + L"\\Splash.bmp"));
    EXPECT_FALSE(FileExistsW(folder + L"\\icon.ico"));
    ExpectRecord(instPath, "Kelvra", "");
    ExpectShortcuts("Kelvra", instPath, false);
    PostCommand(done, IDC_EXIT);
    EXPECT_EQ(setup_.WaitExit(10000), 1u);
}

// Folder texts that are unusual but not empty go through unchanged: 259
// characters become 260 with the backslash, longer texts are cut to 259
// when read, and blanks are neither trimmed nor refused.
TEST_F(Install, FolderTextsOfFullLengthAndOfBlanks)
{
    const Texts& t = ExpectedTexts();
    const std::wstring base = TempRootW() + L"long\\";
    const std::wstring full = base + std::wstring(259 - base.size(), L'a');
    ASSERT_EQ(full.size(), 259u);
    Start();

    const struct { const char* what; std::wstring typed; } kTexts[] = {
        {"259 characters", full},
        {"300 characters", full + std::wstring(41, L'b')},
    };
    for (const auto& c : kTexts) {
        SCOPED_TRACE(c.what);
        PressInstall(c.typed);
        // The first record's target no longer fits MAX_PATH.
        ExpectStop(std::wstring(t.createFile) + L"\n" + full + L"\\Kelvra.exe", c.typed);
        const RegValue instPath = ReadRegValue(HKEY_CURRENT_USER, kRecordKey, "InstPath");
        EXPECT_EQ(instPath.bytes.size(), 261u);
        EXPECT_EQ(instPath.bytes, Narrow(full) + "\\" + '\0');
    }

    // Blanks: relative to the program's current folder, the medium, where
    // the files land; the record and the shortcuts hold the whole path.
    const std::wstring blanks = L"   ";
    PressInstall(blanks);
    HWND done = WaitForDone();
    const std::string whole = medium_.Path("   \\");
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, kRecordKey, "InstPath").bytes, whole + '\0');
    ASSERT_NE(done, nullptr) << "no completion dialog";
    EXPECT_EQ(ReadFileBytesW(Widen(medium_.Path("   \\Kelvra.exe"))), files_[0].data);
    ExpectShortcuts("Kelvra", whole, true);
    PostCommand(done, IDC_EXIT);
    EXPECT_EQ(setup_.WaitExit(10000), 1u);
}

// A relative folder text: the files land below the program's current
// folder, and the record and the shortcuts say where, so that the product
// and its shortcuts find themselves from anywhere.
TEST_F(Install, ARelativeFolderIsRecordedWhole)
{
    Start();
    PressInstall(L"KelvraRel");
    HWND done = WaitForDone();
    ASSERT_NE(done, nullptr) << "no completion dialog";
    const std::string whole = medium_.Path("KelvraRel\\");
    ExpectInstalledFiles(Widen(medium_.Path("KelvraRel")));
    ExpectRecord(whole, "Kelvra", "");
    ExpectShortcuts("Kelvra", whole, true);
    PostCommand(done, IDC_EXIT);
    EXPECT_EQ(setup_.WaitExit(10000), 1u);
}

// A Name that is not one file name counts as absent: the whole installation
// goes by the default name, and no shortcut lands where the steps lead (the
// drive's root from the desktop, AppData\Roaming from the programs menu).
TEST_F(Install, NameOutsideTheShortcutFoldersKeepsTheDefault)
{
    const std::string evil = "..\\..\\..\\..\\evil";
    names_.push_back(evil);
    medium_.Write("setup.ini", "Name=" + evil + "\r\nTitle=Kept\r\n");
    const std::wstring folder = Folder(L"evil");
    const std::string instPath = Narrow(folder) + "\\";
    Start();
    EXPECT_EQ(ItemText(dlg_, IDC_FOLDER_EDIT), L"C:\\Program Files\\Kelvra");
    PressInstall(folder);
    HWND done = WaitForDone();
    ASSERT_NE(done, nullptr) << "no completion dialog";

    ExpectRecord(instPath, "Kelvra", "Kept");
    ExpectShortcuts("Kelvra", instPath, true);
    ExpectDoneTexts(done, L"Kelvra");
    std::vector<std::wstring> found;
    FindNamed(L"C:\\", L"evil.lnk", 16, found);
    for (const std::wstring& path : found) ADD_FAILURE() << "a shortcut outside its folder: " << Utf8(path);
    PostCommand(done, IDC_EXIT);
    EXPECT_EQ(setup_.WaitExit(10000), 1u);
}

// The completion dialog cannot be shown (here: its template is missing).
// The main dialog is gone by then; the program must still end, with the
// completion dialog's exit code.
TEST_F(Install, WithoutTheCompletionDialogTheProgramEnds)
{
    const std::wstring folder = Folder(L"nodone");
    medium_.AddProgram("setup_nodone.exe", "setup.exe");
    Start();
    PressInstall(folder);
    EXPECT_EQ(setup_.WaitExit(30000), 1u);
    ExpectInstalledFiles(folder);
    ExpectRecord(Narrow(folder) + "\\", "Kelvra", "");
}

// The registration of the shell link class pointed at a server that does
// not exist while the object lives; the registered server is put back after.
// (Wine does not let the current user's classes stand in for it.)
class BrokenShellLink {
public:
    BrokenShellLink()
    {
        const RegValue server = ReadRegValue(HKEY_LOCAL_MACHINE, kKey, "");
        if (!server.exists || server.bytes.size() < 2) return;
        original_.assign(server.bytes.c_str());
        ok_ = Set("C:\\no\\such\\server.dll");
    }
    BrokenShellLink(const BrokenShellLink&) = delete;
    BrokenShellLink& operator=(const BrokenShellLink&) = delete;
    ~BrokenShellLink() { Repair(); }
    bool ok() const { return ok_; }
    bool Repair() { return original_.empty() || Set(original_); }

private:
    static bool Set(const std::string& server)
    {
        return ::RegSetValueA(HKEY_LOCAL_MACHINE, kKey, REG_SZ, server.c_str(),
                              static_cast<DWORD>(server.size())) == ERROR_SUCCESS;
    }
    static constexpr const char* kKey =
        "Software\\Classes\\CLSID\\{00021401-0000-0000-C000-000000000046}\\InprocServer32";
    std::string original_;
    bool ok_ = false;
};

// Without a shell link object no shortcut can be made: message 2004, after
// every file is in place; with the object back, the next run completes.
TEST_F(Install, NoShellLinkObjectShowsItsMessage)
{
    const std::wstring folder = Folder(L"nolink");
    BrokenShellLink broken;
    ASSERT_TRUE(broken.ok());
    Start();
    PressInstall(folder);
    ExpectStop(ExpectedTexts().shortcut, folder);
    ExpectInstalledFiles(folder);
    EXPECT_TRUE(ReadFileBytesW(folder + L"\\msvcr80.dll") == SideFiles()[4].data);
    EXPECT_FALSE(FileExists(ProgramsShortcut("Kelvra")));
    EXPECT_FALSE(FileExists(DesktopShortcut("Kelvra")));

    ASSERT_TRUE(broken.Repair());
    PressInstall(folder);
    HWND done = WaitForDone();
    ASSERT_NE(done, nullptr) << "no completion dialog";
    ExpectShortcuts("Kelvra", Narrow(folder) + "\\", true);
    PostCommand(done, IDC_EXIT);
    EXPECT_EQ(setup_.WaitExit(10000), 1u);
}

} // namespace
