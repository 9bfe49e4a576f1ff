// Run-time DLL loads come from the system folder only.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "base/dll_safety_win32.h"
#include "base/handles_win32.h"
#include "res/resource.h"

namespace {

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string SystemFolder()
{
    char dir[MAX_PATH] = {};
    ::GetSystemDirectoryA(dir, MAX_PATH);
    return Lower(dir);
}

std::string FolderOf(HMODULE m)
{
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(m, path, MAX_PATH);
    const std::string s = Lower(path);
    return s.substr(0, s.find_last_of('\\'));
}

TEST(DllSafety, LoadsFromTheSystemFolder)
{
    // gdiplus.dll is no longer among them: the manifest binds it to its
    // side-by-side assembly (see below).
    for (const char* name : {"version.dll", "oleacc.dll", "VERSION"}) {
        SCOPED_TRACE(name);
        ModuleHandle lib(LoadSystemLibrary(name));
        ASSERT_TRUE(lib);
        EXPECT_EQ(FolderOf(lib.get()), SystemFolder());
    }
    ModuleHandle version(LoadSystemLibrary("version.dll"));
    using SizeFn = DWORD(WINAPI*)(LPCSTR, LPDWORD);
    SizeFn size = nullptr;
    EXPECT_TRUE(BindProc(version.get(), "GetFileVersionInfoSizeA", size));
    EXPECT_NE(size, nullptr);
    EXPECT_FALSE(BindProc(version.get(), "NoSuchExport", size));
    EXPECT_EQ(size, nullptr);
}

// GDI+ comes from the assembly that the program's GDI+ manifest resource
// names, in the side-by-side store under the Windows folder: the one place
// Windows XP keeps it. Other names still come from the system folder, and
// folder parts are refused.
TEST(DllSafety, AssemblyLibraryComesFromTheSideBySideStore)
{
    char windows[MAX_PATH] = {};
    ASSERT_GT(::GetWindowsDirectoryA(windows, MAX_PATH), 0u);
    const std::string store = Lower(windows) + "\\winsxs\\x86_microsoft.windows.gdiplus_6595b64144ccf1df_1.0.";
    const HMODULE gdiplus = LoadAssemblyLibrary("gdiplus.dll", IDR_GDIPLUS_MANIFEST);
    ASSERT_NE(gdiplus, nullptr);
    EXPECT_EQ(FolderOf(gdiplus).compare(0, store.size(), store), 0) << FolderOf(gdiplus);
    EXPECT_NE(::GetProcAddress(gdiplus, "GdiplusStartup"), nullptr);
    ::FreeLibrary(gdiplus);

    const HMODULE version = LoadAssemblyLibrary("version.dll", IDR_GDIPLUS_MANIFEST);
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(FolderOf(version), SystemFolder());
    ::FreeLibrary(version);

    ::SetLastError(0);
    EXPECT_EQ(LoadAssemblyLibrary("..\\gdiplus.dll", IDR_GDIPLUS_MANIFEST), nullptr);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(DllSafety, RefusesNamesWithFolderParts)
{
    const std::string full = SystemFolder() + "\\version.dll";
    for (const char* name : {"", "..\\version.dll", "system32\\version.dll", "./version.dll", "C:version.dll",
                             full.c_str()}) {
        SCOPED_TRACE(name);
        ::SetLastError(0);
        EXPECT_EQ(LoadSystemLibrary(name), nullptr);
        EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    ::SetLastError(0);
    EXPECT_EQ(LoadSystemLibrary(nullptr), nullptr);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    ModuleHandle none(LoadSystemLibrary("kelvra-no-such-library.dll"));
    EXPECT_FALSE(none);
}

// Every listed DLL that the system folder holds and that is no known DLL is
// in memory afterwards, from there.
TEST(DllSafety, PreloadsTheListFromTheSystemFolder)
{
    int present = 0;
    for (const std::string& name : DllsToPreload(KnownDlls()))
        present += ::GetFileAttributesA((SystemFolder() + "\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES;
    ASSERT_GT(present, 0);
    EXPECT_EQ(PreloadSystemDlls(), present);
    for (const std::string& name : DllsToPreload(KnownDlls())) {
        if (::GetFileAttributesA((SystemFolder() + "\\" + name).c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        SCOPED_TRACE(name);
        const HMODULE m = ::GetModuleHandleA(name.c_str());
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(FolderOf(m), SystemFolder());
    }
}

// A value of HKLM\Software\Microsoft\Windows NT\CurrentVersion; false when
// it is missing.
bool CurrentVersionValue(const char* name, DWORD type, void* data, DWORD size)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return false;
    DWORD got = 0;
    const bool ok = ::RegQueryValueExA(key, name, nullptr, &got, static_cast<BYTE*>(data), &size) == ERROR_SUCCESS &&
                    got == type;
    ::RegCloseKey(key);
    return ok;
}

// The version the kernel reports, against the one the registry records.
TEST(DllSafety, WindowsVersionIsTheKernelsOwn)
{
    unsigned long major = 0, minor = 0;
    WindowsVersion(major, minor);
    DWORD recordedMajor = 0;
    char text[32] = {};
    if (CurrentVersionValue("CurrentMajorVersionNumber", REG_DWORD, &recordedMajor, sizeof recordedMajor)) {
        EXPECT_EQ(major, recordedMajor);     // Windows 10 and later record "6.3" in CurrentVersion
    } else {
        ASSERT_TRUE(CurrentVersionValue("CurrentVersion", REG_SZ, text, sizeof text - 1));
        EXPECT_EQ(std::to_string(major) + "." + std::to_string(minor), text);
    }
}

} // namespace
