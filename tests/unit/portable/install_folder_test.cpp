// The install folder made from the folder edit's text.
#include <gtest/gtest.h>

#include <string>

#include "install/install_folder.h"

namespace {

TEST(InstallFolderFromText, AppendsABackslashUnlessTheLastCharacterIsOne)
{
    const LeadBytes gbk = LeadBytes::ForCodePage(936);
    const LeadBytes latin;
    const std::string jou = "\x81\x5C";   // 乗 in code page 936
    const struct { const char* what; std::string text; const LeadBytes& lb; std::string folder; } cases[] = {
        {"plain", "C:\\Kelvra", latin, "C:\\Kelvra\\"},
        {"with backslash", "C:\\Kelvra\\", latin, "C:\\Kelvra\\"},
        {"plain, 936", "C:\\Kelvra", gbk, "C:\\Kelvra\\"},
        {"with backslash, 936", "C:\\Kelvra\\", gbk, "C:\\Kelvra\\"},
        {"ends in 乗, 936", "C:\\" + jou, gbk, "C:\\" + jou + "\\"},
        {"乗 then backslash, 936", "C:\\" + jou + "\\", gbk, "C:\\" + jou + "\\"},
        {"two 乗, 936", "D:\\" + jou + jou, gbk, "D:\\" + jou + jou + "\\"},
        // In a single-byte code page the same bytes do end in a backslash.
        {"81 5C, single-byte", "C:\\" + jou, latin, "C:\\" + jou},
        {"blanks kept", "   ", latin, "   \\"},
        {"blanks inside kept", " C:\\a b ", latin, " C:\\a b \\"},
        {"backslash alone", "\\", latin, "\\"},
        {"259 characters", std::string(259, 'a'), latin, std::string(259, 'a') + "\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(InstallFolderFromText(c.text, c.lb), c.folder);
    }
}

} // namespace
