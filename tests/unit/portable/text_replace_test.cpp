// Placeholder replacement and the lead-byte scans, in single- and
// double-byte code pages.
#include <gtest/gtest.h>

#include "base/codepage.h"
#include "base/text_replace.h"

namespace {

struct ReplaceCase {
    const char* what;
    unsigned codePage;
    std::string text;
    std::string oldText;
    std::string newText;
    std::string expected;
    int count;
};

// GBK bytes written by hand: 乗 = 81 5C (trail byte is the backslash),
// 安装 = B0 B2 D7 B0, 向导 = CF F2 B5 BC.
const ReplaceCase kCases[] = {
    {"one placeholder", 1252, "%sInstall Wizard", "%s", "Kelvra", "KelvraInstall Wizard", 1},
    {"two placeholders", 1252, "[%s]..make%s normal", "%s", "K", "[K]..makeK normal", 2},
    {"three placeholders", 1252, "a%sb%sc%sd", "%s", "XY", "aXYbXYcXYd", 3},
    {"chinese text", 936, "%s\xB0\xB2\xD7\xB0\xCF\xF2\xB5\xBC", "%s", "Kelvra",
     "Kelvra\xB0\xB2\xD7\xB0\xCF\xF2\xB5\xBC", 1},
    {"name holds the placeholder", 1252, "%s-%s", "%s", "N%sN", "N%sN-N%sN", 2},
    {"name is the placeholder", 1252, "%s%s", "%s", "%s", "%s%s", 2},
    {"empty name removes placeholders", 1252, "%sInstall%s", "%s", "", "Install", 2},
    {"no placeholder", 1252, "Mistakes", "%s", "Kelvra", "Mistakes", 0},
    {"empty old text", 1252, "abc", "", "x", "abc", 0},
    {"no overlap", 1252, "aaaa", "aa", "b", "bb", 2},
    {"percent-percent is not special", 1252, "%%s", "%s", "K", "%K", 1},
    // The real backslash is replaced; the trail byte of 乗 is not.
    {"trail byte 5C", 936, "\x81\x5C\\", "\\", "/", "\x81\x5C/", 1},
    {"trail byte 5C alone", 936, "\x81\x5C", "\\", "/", "\x81\x5C", 0},
    // The same bytes in a single-byte code page are two characters.
    {"single-byte code page", 1252, "\x81\x5C", "\\", "/", "\x81/", 1},
    // A lead byte takes the next byte with it: no occurrence starts there.
    {"lead byte pairs with percent", 936, "\xB0%s", "%s", "K", "\xB0%s", 0},
    {"match after a swallowed percent", 936, "\xB0%s%s", "%s", "K", "\xB0%sK", 1},
};

TEST(Replace, Table)
{
    for (const ReplaceCase& c : kCases) {
        SCOPED_TRACE(c.what);
        std::string text = c.text;
        EXPECT_EQ(Replace(text, c.oldText, c.newText, LeadBytes::ForCodePage(c.codePage)), c.count);
        EXPECT_EQ(text, c.expected);
    }
}

TEST(LeadBytes, KnownCodePages)
{
    const struct { unsigned cp; unsigned char c; bool lead; } kCases[] = {
        {936, 0x80, false}, {936, 0x81, true}, {936, 0xFE, true}, {936, 0xFF, false},
        {936, 0x5C, false}, {932, 0x81, true}, {932, 0x9F, true}, {932, 0xA0, false},
        {932, 0xE0, true}, {932, 0xFC, true}, {932, 0xFD, false}, {949, 0x81, true},
        {950, 0xA4, true}, {1252, 0x81, false}, {1252, 0xE9, false}, {65001, 0xE4, false},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(LeadBytes::ForCodePage(c.cp).IsLead(c.c), c.lead) << c.cp << " " << int(c.c);
}

TEST(LeadBytes, ScansStepOverWholeCharacters)
{
    const LeadBytes gbk = LeadBytes::ForCodePage(936);
    const LeadBytes latin = LeadBytes::ForCodePage(1252);
    // C:\乗\a.txt in GBK
    const std::string path = "C:\\\x81\x5C\\a.txt";
    EXPECT_EQ(FindCharMb(path, '\\', 0, gbk), 2u);
    EXPECT_EQ(FindCharMb(path, '\\', 3, gbk), 5u);
    EXPECT_EQ(FindLastCharMb(path, '\\', gbk), 5u);
    EXPECT_EQ(FindCharMb(path, '\\', 3, latin), 4u);
    // A folder ending in 乗 does not end in a backslash.
    EXPECT_FALSE(EndsWithCharMb("C:\\\x81\x5C", '\\', gbk));
    EXPECT_TRUE(EndsWithCharMb("C:\\\x81\x5C", '\\', latin));
    EXPECT_TRUE(EndsWithCharMb("C:\\\x81\x5C\\", '\\', gbk));
    EXPECT_FALSE(EndsWithCharMb("", '\\', gbk));
    // A lone lead byte at the end is a character of its own.
    EXPECT_EQ(FindLastCharMb("ab\x81", 'b', gbk), 1u);
    EXPECT_EQ(FindCharMb("abc", 'z', 0, gbk), std::string::npos);
}

} // namespace
