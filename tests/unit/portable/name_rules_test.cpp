// Record names: which are written and which are refused, and why.
#include <gtest/gtest.h>

#include <string>

#include "media/name_rules.h"

namespace {

struct NameCase {
    std::string name;
    NameError gbk;      // judged in code page 936
    NameError latin;    // judged in code page 1252
};

// GBK bytes (from Python's gbk codec): 乗 81 5C, 亅 81 7C, 中文 D6 D0 CE C4.
const std::string kJou = "\x81\x5C";
const std::string kJue = "\x81\x7C";
const std::string kZhongwen = "\xD6\xD0\xCE\xC4";

TEST(NameRules, Table)
{
    const NameError ok = NameError::kNone;
    const NameCase cases[] = {
        {"a.txt", ok, ok},
        {"bin\\Kelvra.exe", ok, ok},
        {"Corvane Driver\\setup.exe", ok, ok},
        {"a\\b\\c\\d.dat", ok, ok},
        {".hidden", ok, ok},
        {"a..b", ok, ok},
        {"...x", ok, ok},
        {"CONSOLE.txt", ok, ok},
        {"COM10", ok, ok},
        {"LPT0", ok, ok},
        {"xCON", ok, ok},
        {kZhongwen + "\\" + kZhongwen + ".txt", ok, ok},
        // The trail byte 5C is not a backslash in 936: one level, no empty one.
        {kJou, ok, NameError::kEmptyLevel},
        {kJou + "\\x", ok, NameError::kEmptyLevel},
        {"x\\" + kJou + ".txt", ok, ok},
        // The trail byte 7C is not '|' in 936.
        {kJue + ".txt", ok, NameError::kReservedCharacter},
        // A lead byte with nothing after it.
        {"abc\x81", NameError::kBrokenCharacter, ok},
        // A lead byte before a byte that is never a trail byte must not hide it.
        {"a\x96:b", NameError::kBrokenCharacter, NameError::kColon},
        {"a\xD6.", NameError::kBrokenCharacter, NameError::kTrailingDotOrSpace},
        {"\xD6\\..\\x", NameError::kTrailingDotOrSpace, NameError::kParentStep},

        {"", NameError::kEmpty, NameError::kEmpty},
        {std::string(259, 'a'), ok, ok},
        {std::string(260, 'a'), NameError::kTooLong, NameError::kTooLong},
        {std::string("a\0b", 3), NameError::kControlCharacter, NameError::kControlCharacter},
        {"a\tb", NameError::kControlCharacter, NameError::kControlCharacter},
        {"a\nb", NameError::kControlCharacter, NameError::kControlCharacter},
        {"a\x7F", NameError::kControlCharacter, NameError::kControlCharacter},
        {"\\Windows\\x.dll", NameError::kLeadingSeparator, NameError::kLeadingSeparator},
        {"/etc/x", NameError::kLeadingSeparator, NameError::kLeadingSeparator},
        {"\\\\server\\share\\x", NameError::kLeadingSeparator, NameError::kLeadingSeparator},
        {"C:\\Windows\\x.dll", NameError::kDrive, NameError::kDrive},
        {"c:x.dll", NameError::kDrive, NameError::kDrive},
        {"a.txt:stream", NameError::kColon, NameError::kColon},
        {"a\\b:$DATA", NameError::kColon, NameError::kColon},
        {"..\\x", NameError::kParentStep, NameError::kParentStep},
        {"a\\..\\..\\x", NameError::kParentStep, NameError::kParentStep},
        {"a\\..", NameError::kParentStep, NameError::kParentStep},
        {"../x", NameError::kParentStep, NameError::kParentStep},
        {"a/../x", NameError::kParentStep, NameError::kParentStep},
        {"a/b", NameError::kSlash, NameError::kSlash},
        {"a\\\\b", NameError::kEmptyLevel, NameError::kEmptyLevel},
        {"a\\", NameError::kEmptyLevel, NameError::kEmptyLevel},
        {"a.", NameError::kTrailingDotOrSpace, NameError::kTrailingDotOrSpace},
        {"a ", NameError::kTrailingDotOrSpace, NameError::kTrailingDotOrSpace},
        {"dir.\\x", NameError::kTrailingDotOrSpace, NameError::kTrailingDotOrSpace},
        {"dir \\x", NameError::kTrailingDotOrSpace, NameError::kTrailingDotOrSpace},
        {".\\x", NameError::kTrailingDotOrSpace, NameError::kTrailingDotOrSpace},
        {"CON", NameError::kReservedDevice, NameError::kReservedDevice},
        {"con.txt", NameError::kReservedDevice, NameError::kReservedDevice},
        {"Con .txt", NameError::kReservedDevice, NameError::kReservedDevice},
        {"a\\nul\\b", NameError::kReservedDevice, NameError::kReservedDevice},
        {"PRN.log", NameError::kReservedDevice, NameError::kReservedDevice},
        {"aux", NameError::kReservedDevice, NameError::kReservedDevice},
        {"conin$", NameError::kReservedDevice, NameError::kReservedDevice},
        {"CONOUT$.x", NameError::kReservedDevice, NameError::kReservedDevice},
        {"com1", NameError::kReservedDevice, NameError::kReservedDevice},
        {"COM9.tar.gz", NameError::kReservedDevice, NameError::kReservedDevice},
        {"lpt1", NameError::kReservedDevice, NameError::kReservedDevice},
        {"x\\LPT9", NameError::kReservedDevice, NameError::kReservedDevice},
        // COM with superscript one in 1252; in 936 B9 is a lead byte.
        {"COM\xB9", NameError::kBrokenCharacter, NameError::kReservedDevice},
        {"a<b", NameError::kReservedCharacter, NameError::kReservedCharacter},
        {"a>b", NameError::kReservedCharacter, NameError::kReservedCharacter},
        {"a\"b", NameError::kReservedCharacter, NameError::kReservedCharacter},
        {"a|b", NameError::kReservedCharacter, NameError::kReservedCharacter},
        {"a?b", NameError::kReservedCharacter, NameError::kReservedCharacter},
        {"*.txt", NameError::kReservedCharacter, NameError::kReservedCharacter},
    };
    const LeadBytes gbk = LeadBytes::ForCodePage(936);
    const LeadBytes latin = LeadBytes::ForCodePage(1252);
    for (const NameCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.name));
        EXPECT_EQ(CheckName(c.name, gbk), c.gbk);
        EXPECT_EQ(CheckName(c.name, latin), c.latin);
    }
}

// One file name, such as the product's: refused only where it escapes,
// aliases, empties or opens a device; Windows' stripping of a trailing dot
// or blank from the folder alone is no reason.
TEST(NameRules, FileNameComponentTable)
{
    const NameError ok = NameError::kNone;
    const NameCase cases[] = {
        {"Kelvra Co., Ltd.", ok, ok},
        {"Kelvra .", ok, ok},
        {"Kelvra~Pro", ok, ok},              // ten characters: no 8.3 name
        {"AB~1.TEXT", ok, ok},               // four after the dot
        {"AB~", ok, ok},
        {"AB~-1", ok, ok},
        {kZhongwen + "~1", NameError::kShortName, NameError::kShortName},
        {"..", NameError::kParentStep, NameError::kParentStep},
        {"...", NameError::kNothingLeft, NameError::kNothingLeft},
        {". .", NameError::kNothingLeft, NameError::kNothingLeft},
        {"KELVRA~1", NameError::kShortName, NameError::kShortName},
        {"progra~1", NameError::kShortName, NameError::kShortName},
        {"AB~1.TXT", NameError::kShortName, NameError::kShortName},
        {"AB~1.txt. ", NameError::kShortName, NameError::kShortName},
        {"A~B~C1Z", NameError::kShortName, NameError::kShortName},
        {"CON.", NameError::kReservedDevice, NameError::kReservedDevice},
        {"nul .x", NameError::kReservedDevice, NameError::kReservedDevice},
        {"a\\b", NameError::kSeparator, NameError::kSeparator},
    };
    const LeadBytes gbk = LeadBytes::ForCodePage(936);
    const LeadBytes latin = LeadBytes::ForCodePage(1252);
    for (const NameCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.name));
        EXPECT_EQ(CheckFileNameComponent(c.name, gbk), c.gbk);
        EXPECT_EQ(CheckFileNameComponent(c.name, latin), c.latin);
    }
}

TEST(NameRules, EveryErrorHasItsOwnText)
{
    const std::string none = DescribeNameError(NameError::kNone);
    for (int e = 1; e <= static_cast<int>(NameError::kShortName); ++e) {
        const std::string text = DescribeNameError(static_cast<NameError>(e));
        EXPECT_NE(text, none);
        EXPECT_NE(text, "unknown name error");
    }
}

TEST(NameRules, CharCountCountsDoubleByteCharactersOnce)
{
    const LeadBytes gbk = LeadBytes::ForCodePage(936);
    const LeadBytes latin;
    EXPECT_EQ(CharCount("abc", gbk), 3u);
    EXPECT_EQ(CharCount(kZhongwen, gbk), 2u);
    EXPECT_EQ(CharCount(kZhongwen, latin), 4u);
    EXPECT_EQ(CharCount("C:\\" + kJou + "\\a", gbk), 6u);
    EXPECT_EQ(CharCount("a\x81", gbk), 2u);   // lone lead byte at the end
}

} // namespace
