// Shortcut creation against a link object that records what it is told.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "install/shortcuts_win32.h"

namespace {

std::string Folder(int csidl)
{
    char path[MAX_PATH] = {};
    return ::SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE) ? path : "";
}

std::string Ansi(const wchar_t* wide)
{
    char out[MAX_PATH * 2] = {};
    ::WideCharToMultiByte(CP_ACP, 0, wide, -1, out, sizeof out, nullptr, nullptr);
    return out;
}

// Records every call as text; offers IPersistFile only when asked to.
class FakeLink : public IShellLinkA, public IPersistFile {
public:
    explicit FakeLink(bool persist) : persist_(persist) {}

    std::vector<std::string> calls;
    LONG refs = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IShellLinkA) *out = static_cast<IShellLinkA*>(this);
        else if (iid == IID_IPersistFile && persist_) *out = static_cast<IPersistFile*>(this);
        else return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }

    HRESULT STDMETHODCALLTYPE SetPath(LPCSTR p) override { return Log("SetPath " + std::string(p)); }
    HRESULT STDMETHODCALLTYPE SetWorkingDirectory(LPCSTR p) override { return Log("SetWorkingDirectory " + std::string(p)); }
    HRESULT STDMETHODCALLTYPE SetDescription(LPCSTR p) override { return Log("SetDescription " + std::string(p)); }
    HRESULT STDMETHODCALLTYPE SetIconLocation(LPCSTR p, int i) override
    {
        return Log("SetIconLocation " + std::string(p) + " " + std::to_string(i));
    }
    HRESULT STDMETHODCALLTYPE Save(LPCOLESTR file, BOOL remember) override
    {
        return Log("Save " + Ansi(file) + (remember ? " remember" : " forget"));
    }

    // Nothing below is expected to be called.
    HRESULT STDMETHODCALLTYPE GetPath(LPSTR, int, WIN32_FIND_DATAA*, DWORD) override { return Log("GetPath"); }
    HRESULT STDMETHODCALLTYPE GetIDList(LPITEMIDLIST*) override { return Log("GetIDList"); }
    HRESULT STDMETHODCALLTYPE SetIDList(LPCITEMIDLIST) override { return Log("SetIDList"); }
    HRESULT STDMETHODCALLTYPE GetDescription(LPSTR, int) override { return Log("GetDescription"); }
    HRESULT STDMETHODCALLTYPE GetWorkingDirectory(LPSTR, int) override { return Log("GetWorkingDirectory"); }
    HRESULT STDMETHODCALLTYPE GetArguments(LPSTR, int) override { return Log("GetArguments"); }
    HRESULT STDMETHODCALLTYPE SetArguments(LPCSTR) override { return Log("SetArguments"); }
    HRESULT STDMETHODCALLTYPE GetHotkey(WORD*) override { return Log("GetHotkey"); }
    HRESULT STDMETHODCALLTYPE SetHotkey(WORD) override { return Log("SetHotkey"); }
    HRESULT STDMETHODCALLTYPE GetShowCmd(int*) override { return Log("GetShowCmd"); }
    HRESULT STDMETHODCALLTYPE SetShowCmd(int) override { return Log("SetShowCmd"); }
    HRESULT STDMETHODCALLTYPE GetIconLocation(LPSTR, int, int*) override { return Log("GetIconLocation"); }
    HRESULT STDMETHODCALLTYPE SetRelativePath(LPCSTR, DWORD) override { return Log("SetRelativePath"); }
    HRESULT STDMETHODCALLTYPE Resolve(HWND, DWORD) override { return Log("Resolve"); }
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return Log("GetClassID"); }
    HRESULT STDMETHODCALLTYPE IsDirty() override { return Log("IsDirty"); }
    HRESULT STDMETHODCALLTYPE Load(LPCOLESTR, DWORD) override { return Log("Load"); }
    HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR) override { return Log("SaveCompleted"); }
    HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR*) override { return Log("GetCurFile"); }

private:
    HRESULT Log(const std::string& call)
    {
        calls.push_back(call);
        return S_OK;
    }
    bool persist_;
};

// The description is string 1000 of the interface language with the name.
std::string Description(const std::string& name)
{
    const bool chinese = PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_CHINESE;
    return chinese ? name + Ansi(L"工业标记刻印系统") : name + "Industrial Markers graphic system";
}

// An install folder under %TEMP%, with or without icon.ico.
class ShortcutFolder {
public:
    explicit ShortcutFolder(bool icon)
    {
        char temp[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, temp);
        path_ = std::string(temp) + "kelvra-shortcut-test\\";
        ::CreateDirectoryA(path_.c_str(), nullptr);
        ::DeleteFileA((path_ + "icon.ico").c_str());
        if (icon) {
            HANDLE f = ::CreateFileA((path_ + "icon.ico").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
            ::CloseHandle(f);
        }
    }
    ~ShortcutFolder()
    {
        ::DeleteFileA((path_ + "icon.ico").c_str());
        ::RemoveDirectoryA(path_.c_str());
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

TEST(FillAndSaveShortcuts, SetsThePropertiesInOrderThenSavesMenuThenDesktop)
{
    for (bool icon : {true, false}) {
        SCOPED_TRACE(icon ? "with icon.ico" : "without icon.ico");
        ShortcutFolder folder(icon);
        const std::string& f = folder.path();
        FakeLink link(true);
        FillAndSaveShortcuts(&link, f, "Zephyr", nullptr);

        std::vector<std::string> expected = {
            "SetPath " + f + "Kelvra.exe",      // never derived from the name
            "SetWorkingDirectory " + f,
            "SetDescription " + Description("Zephyr"),
        };
        if (icon) expected.push_back("SetIconLocation " + f + "icon.ico 0");
        expected.push_back("Save " + Folder(CSIDL_PROGRAMS) + "\\Zephyr.lnk remember");
        expected.push_back("Save " + Folder(CSIDL_DESKTOPDIRECTORY) + "\\Zephyr.lnk remember");
        EXPECT_EQ(link.calls, expected);
        EXPECT_EQ(link.refs, 1) << "IPersistFile not released";
    }
}

TEST(FillAndSaveShortcuts, WithoutIPersistFileNothingIsSaved)
{
    ShortcutFolder folder(false);
    FakeLink link(false);
    FillAndSaveShortcuts(&link, folder.path(), "Kelvra", nullptr);
    ASSERT_EQ(link.calls.size(), 3u);
    EXPECT_EQ(link.calls[2], "SetDescription " + Description("Kelvra"));
    EXPECT_EQ(link.refs, 1);
}

TEST(FillAndSaveShortcuts, AShortcutPathBeyondMaxPathIsSkipped)
{
    ShortcutFolder folder(false);
    const std::string programs = Folder(CSIDL_PROGRAMS), desktop = Folder(CSIDL_DESKTOPDIRECTORY);
    ASSERT_LT(desktop.size(), programs.size());
    // Fits beside the desktop folder, one byte too long beside the menu's.
    const std::string name(MAX_PATH - 1 - programs.size() - 1 - 4 + 1, 'n');
    ASSERT_LE(desktop.size() + 1 + name.size() + 4, static_cast<std::size_t>(MAX_PATH - 1));
    FakeLink link(true);
    FillAndSaveShortcuts(&link, folder.path(), name, nullptr);
    ASSERT_EQ(link.calls.size(), 4u);
    EXPECT_EQ(link.calls[3], "Save " + desktop + "\\" + name + ".lnk remember");
}

TEST(ShortcutFilePath, FitsMaxPathWithItsTerminatorOrIsRefused)
{
    const std::wstring folder200 = L"C:\\" + std::wstring(197, L'f');
    // The limit counts characters: 54 Chinese ones fit, as 108 bytes would not.
    const struct { const char* what; std::wstring folder; std::wstring name; bool ok; std::wstring path; } cases[] = {
        {"plain", L"C:\\Menu", L"Kelvra", true, L"C:\\Menu\\Kelvra.lnk"},
        {"empty folder", L"", L"Kelvra", false, L""},
        {"259 characters", folder200, std::wstring(54, L'n'), true, folder200 + L"\\" + std::wstring(54, L'n') + L".lnk"},
        {"259 Chinese characters", folder200, std::wstring(54, L'\u51EF'), true,
         folder200 + L"\\" + std::wstring(54, L'\u51EF') + L".lnk"},
        {"260 characters", folder200, std::wstring(55, L'n'), false, L""},
        {"far too long", folder200, std::wstring(1000, L'n'), false, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::wstring path = L"stale";
        EXPECT_EQ(ShortcutFilePath(c.folder, c.name, path), c.ok);
        EXPECT_TRUE(path == c.path);
    }
}

TEST(CreateShortcuts, WithoutComTheLinkObjectCannotBeCreated)
{
    // A fresh thread has no COM apartment: CoCreateInstance must fail.
    ShortcutResult result = ShortcutResult::kDone;
    std::thread([&] { result = CreateShortcuts("C:\\Nowhere\\", "KelvraUnitTest", nullptr); }).join();
    EXPECT_EQ(result, ShortcutResult::kNoLinkObject);
    EXPECT_EQ(::GetFileAttributesA((Folder(CSIDL_PROGRAMS) + "\\KelvraUnitTest.lnk").c_str()),
              INVALID_FILE_ATTRIBUTES);
}

} // namespace
