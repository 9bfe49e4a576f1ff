// Splitting paths, the folders before a file, and the source directory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "media/source_dir.h"
#include "media/split.h"

namespace {

using Parts = std::vector<std::string>;

const std::string kJou = "\x81\x5C";   // 乗 in GBK: trail byte is '\'
const std::string kBiao = "\x95\x5C";  // 表 in Shift-JIS

TEST(SplitAtSeparator, Table)
{
    const LeadBytes gbk = LeadBytes::ForCodePage(936);
    const LeadBytes latin;
    const struct { std::string source; const LeadBytes& lb; Parts parts; } cases[] = {
        {"", latin, {}},
        {"abc", latin, {"abc"}},
        {"a\\b\\c", latin, {"a", "b", "c"}},
        {"\\a", latin, {"", "a"}},
        {"a\\", latin, {"a", ""}},
        {"\\", latin, {"", ""}},
        {"\\\\server\\share", latin, {"", "\\server", "share"}},
        {"\\\\server\\share\\dir\\f.txt", latin, {"", "\\server", "share", "dir", "f.txt"}},
        {"a\\\\b", latin, {"a", "\\b"}},
        {"C:\\Program Files\\Kelvra\\", latin, {"C:", "Program Files", "Kelvra", ""}},
        // GBK: the trail byte never splits, and never guards either.
        {"C:\\" + kJou + "\\a", gbk, {"C:", kJou, "a"}},
        {kJou + "\\b", gbk, {kJou, "b"}},
        {"x" + kJou + kJou + "\\y", gbk, {"x" + kJou + kJou, "y"}},
        // The same bytes in a single-byte code page do split.
        {"C:\\" + kJou + "\\a", latin, {"C:", "\x81", "\\a"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.source));
        Parts parts = {"stale"};
        SplitAtSeparator(c.source, '\\', parts, '\\', c.lb);
        EXPECT_EQ(parts, c.parts);
    }
}

TEST(SplitAtSeparator, OtherSeparatorAndGuard)
{
    Parts parts;
    SplitAtSeparator("a,b;,c,,d", ',', parts, ';', LeadBytes());
    EXPECT_EQ(parts, (Parts{"a", "b;,c", "", "d"}));
}

TEST(ParentFolders, Table)
{
    const LeadBytes gbk = LeadBytes::ForCodePage(936);
    const LeadBytes latin;
    const struct { std::string path; const LeadBytes& lb; Parts folders; } cases[] = {
        {"file.txt", latin, {}},
        {"C:\\f.txt", latin, {"C:\\"}},
        {"C:\\Kelvra\\bin\\lib\\f.dll", latin, {"C:\\", "C:\\Kelvra\\", "C:\\Kelvra\\bin\\", "C:\\Kelvra\\bin\\lib\\"}},
        {"\\\\srv\\share\\K\\f", latin, {"\\", "\\\\srv\\", "\\\\srv\\share\\", "\\\\srv\\share\\K\\"}},
        {"C:\\K\\", latin, {"C:\\", "C:\\K\\"}},
        {"C:\\" + kJou + "\\" + kJou + "x\\f", gbk, {"C:\\", "C:\\" + kJou + "\\", "C:\\" + kJou + "\\" + kJou + "x\\"}},
        // Without lead-byte knowledge the same path would make stray folders.
        {"C:\\" + kJou + "\\f", latin, {"C:\\", "C:\\\x81\\"}},
        {kJou, gbk, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.path));
        EXPECT_EQ(ParentFolders(c.path, c.lb), c.folders);
    }
}

TEST(DirectoryOfProgramPath, Table)
{
    const LeadBytes gbk = LeadBytes::ForCodePage(936);
    const LeadBytes sjis = LeadBytes::ForCodePage(932);
    const LeadBytes latin;
    const struct { std::string path; const LeadBytes& lb; std::string dir; } cases[] = {
        {"C:\\Media\\setup.exe", latin, "C:\\Media\\"},
        {"C:\\setup.exe", latin, "C:\\"},
        {"setup.exe", latin, "setup.exe"},
        {"", latin, ""},
        {"\\\\srv\\share\\setup.exe", latin, "\\\\srv\\share\\"},
        {"C:\\" + kJou + "\\setup.exe", gbk, "C:\\" + kJou + "\\"},
        {"C:\\" + kJou + "setup.exe", gbk, "C:\\"},
        {"C:\\" + kJou + "setup.exe", latin, "C:\\\x81\\"},
        {"D:\\" + kBiao + "\\setup.exe", sjis, "D:\\" + kBiao + "\\"},
        {"D:\\" + kBiao + "setup.exe", sjis, "D:\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.path));
        EXPECT_EQ(DirectoryOfProgramPath(c.path, c.lb), c.dir);
    }
}

} // namespace
