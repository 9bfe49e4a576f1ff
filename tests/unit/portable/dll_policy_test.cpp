// Which DLL search start-up restricts to, and which names may be joined to
// the system folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "base/dll_policy.h"

namespace {

TEST(DllPolicy, ModeByWindowsVersion)
{
    const struct {
        const char* what;
        unsigned long major, minor;
        bool haveCall;
        DllSearchMode mode;
    } kCases[] = {
        {"XP", 5, 1, false, DllSearchMode::kPreloadFromSystemFolder},
        {"2000", 5, 0, false, DllSearchMode::kPreloadFromSystemFolder},
        {"Vista without the update", 6, 0, false, DllSearchMode::kPreloadFromSystemFolder},
        // The shell link object fails after the call on Vista: never there.
        {"Vista with the update", 6, 0, true, DllSearchMode::kPreloadFromSystemFolder},
        {"7 without the update", 6, 1, false, DllSearchMode::kPreloadFromSystemFolder},
        {"7 with the update", 6, 1, true, DllSearchMode::kSystemFolderOnly},
        {"8", 6, 2, true, DllSearchMode::kSystemFolderOnly},
        {"10", 10, 0, true, DllSearchMode::kSystemFolderOnly},
        {"version unknown, call present", 0, 0, true, DllSearchMode::kSystemFolderOnly},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(ChooseDllSearchMode(c.major, c.minor, c.haveCall), c.mode) << c.what;
}

TEST(DllPolicy, PreloadListIsTheNonKnownDllsWindowsPullsIn)
{
    const std::set<std::string> expected = {
        "uxtheme.dll", "userenv.dll", "setupapi.dll", "apphelp.dll", "propsys.dll", "dwmapi.dll",
        "cryptbase.dll", "oleacc.dll", "clbcatq.dll", "ntmarta.dll", "version.dll",
        // From the load trace of a whole installation under Wine.
        "oleaut32.dll", "msimg32.dll", "windowscodecs.dll",
    };
    std::set<std::string> actual;
    for (std::size_t i = 0; i < kPreloadedSystemDllCount; ++i) actual.insert(kPreloadedSystemDlls[i]);
    EXPECT_EQ(actual, expected);
    EXPECT_EQ(kPreloadedSystemDllCount, expected.size()) << "a name is listed twice";
}

// A known DLL of the running system is never preloaded; the KnownDLLs key
// holds file names in any case and a folder (DllDirectory).
TEST(DllPolicy, KnownDllsAreNotPreloaded)
{
    const std::vector<std::string> none = DllsToPreload({});
    EXPECT_EQ(none.size(), kPreloadedSystemDllCount);
    const std::vector<std::string> xp =
        DllsToPreload({"%SystemRoot%\\system32", "OLEAUT32.DLL", "version.dll", "ole32.dll", "versio.dll"});
    EXPECT_EQ(xp.size(), kPreloadedSystemDllCount - 2);
    for (const std::string& name : xp) EXPECT_TRUE(name != "oleaut32.dll" && name != "version.dll") << name;
    EXPECT_NE(std::find(xp.begin(), xp.end(), "windowscodecs.dll"), xp.end());
}

TEST(DllPolicy, OnlyBareNamesAreJoinedToTheSystemFolder)
{
    const struct {
        const char* name;
        const char* path;   // joined to "C:\\WINDOWS\\system32"; "" = refused
    } kCases[] = {
        {"gdiplus.dll", "C:\\WINDOWS\\system32\\gdiplus.dll"},
        {"version", "C:\\WINDOWS\\system32\\version"},
        {"a.b.c.dll", "C:\\WINDOWS\\system32\\a.b.c.dll"},
        {"..dll", "C:\\WINDOWS\\system32\\..dll"},
        {"", ""},
        {".", ""},
        {"..", ""},
        {"..\\evil.dll", ""},
        {"../evil.dll", ""},
        {"sub\\x.dll", ""},
        {"C:x.dll", ""},
        {"C:\\WINDOWS\\system32\\gdiplus.dll", ""},
        {"\\\\server\\share\\x.dll", ""},
        {"gdiplus.dll:stream", ""},
        {"x.dll\\", ""},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(SystemFolderPath("C:\\WINDOWS\\system32", c.name), c.path) << c.name;
        EXPECT_EQ(IsBareDllName(c.name), *c.path != '\0') << c.name;
    }
}

TEST(DllPolicy, SystemFolderPathJoinsWithOneSeparator)
{
    EXPECT_EQ(SystemFolderPath("C:\\WINDOWS\\system32\\", "version.dll"), "C:\\WINDOWS\\system32\\version.dll");
    EXPECT_EQ(SystemFolderPath("C:\\", "version.dll"), "C:\\version.dll");
    EXPECT_EQ(SystemFolderPath("", "version.dll"), "");
    // An embedded zero would cut the name short at the Win32 call.
    EXPECT_FALSE(IsBareDllName(std::string("x.dll\0..\\y", 10)));
}

} // namespace
