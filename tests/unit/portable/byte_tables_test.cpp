// Every character rule across all 256 byte values, against sets written out
// here from the code pages' and Windows' own definitions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "media/name_rules.h"

namespace {

using Ranges = std::vector<std::pair<int, int>>;

bool In(const Ranges& r, int b)
{
    for (const auto& [first, last] : r)
        if (b >= first && b <= last) return true;
    return false;
}

std::string Byte(int b) { return std::string(1, static_cast<char>(b)); }

bool IsControl(int b) { return b < 0x20 || b == 0x7F; }

// The lead bytes of each code page, as their tables define them.
TEST(ByteTables, LeadBytes)
{
    const struct { unsigned cp; Ranges lead; } pages[] = {
        {932, {{0x81, 0x9F}, {0xE0, 0xFC}}}, {936, {{0x81, 0xFE}}}, {949, {{0x81, 0xFE}}},
        {950, {{0x81, 0xFE}}}, {1252, {}}, {437, {}}, {65001, {}},
    };
    for (const auto& p : pages) {
        const LeadBytes lb = LeadBytes::ForCodePage(p.cp);
        for (int b = 0; b < 256; ++b) EXPECT_EQ(lb.IsLead(static_cast<unsigned char>(b)), In(p.lead, b)) << p.cp << " " << b;
    }
}

// One byte between two characters, and the same byte at the end of a name,
// where a lead byte has no trail byte.
TEST(ByteTables, NameCharacters)
{
    for (unsigned cp : {1252u, 936u, 932u}) {
        const LeadBytes lb = LeadBytes::ForCodePage(cp);
        for (int b = 0; b < 256; ++b) {
            SCOPED_TRACE(std::to_string(cp) + " byte " + std::to_string(b));
            NameError inner = NameError::kNone;
            if (IsControl(b)) inner = NameError::kControlCharacter;
            else if (b == ':') inner = NameError::kColon;
            else if (b == '/') inner = NameError::kSlash;
            else if (b && std::strchr("<>\"|?*", b)) inner = NameError::kReservedCharacter;
            EXPECT_EQ(CheckName("_" + Byte(b) + "b", lb), inner);
            // "_~b" has the shape of a short name ("KELVRA~1"), which can alias another.
            const NameError component = b == '/' || b == '\\' ? NameError::kSeparator
                                        : b == '~'                ? NameError::kShortName
                                                                  : inner;
            EXPECT_EQ(CheckFileNameComponent("_" + Byte(b) + "b", lb), component);
            const bool lead = lb.IsLead(static_cast<unsigned char>(b));
            EXPECT_EQ(CheckName("a" + Byte(b), lb) == NameError::kBrokenCharacter, lead);
        }
    }
}

// A trail byte is 0x40 or above; a lower one would hide ':', '.' or '\'.
TEST(ByteTables, TrailBytes)
{
    const LeadBytes gbk = LeadBytes::ForCodePage(936);
    for (int b = 0; b < 256; ++b) {
        SCOPED_TRACE(b);
        NameError e = b < 0x40 ? NameError::kBrokenCharacter : NameError::kNone;
        if (IsControl(b)) e = NameError::kControlCharacter;
        EXPECT_EQ(CheckName("x\x81" + Byte(b) + "y", gbk), e);
    }
}

// "X:" is a drive for the 52 ASCII letters only.
TEST(ByteTables, DriveLetters)
{
    const LeadBytes latin = LeadBytes::ForCodePage(1252);
    for (int b = 0; b < 256; ++b) {
        const bool letter = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
        EXPECT_EQ(CheckName(Byte(b) + ":x", latin) == NameError::kDrive, letter) << b;
        EXPECT_EQ(CheckName(Byte(b) + ":", latin) == NameError::kDrive, letter) << b;
    }
}

// Every byte in every position of each device name: a device only where the
// byte is the letter in either case, or a digit Windows takes (1-9 and the
// superscripts one, two, three of code page 1252).
TEST(ByteTables, DeviceNamesFoldCase)
{
    const LeadBytes latin = LeadBytes::ForCodePage(1252);
    for (const std::string device : {"CON", "PRN", "AUX", "NUL", "COM1", "LPT1"}) {
        for (std::size_t i = 0; i < device.size(); ++i) {
            const int d = static_cast<unsigned char>(device[i]);
            for (int b = 0; b < 256; ++b) {
                std::string name = device;
                name[i] = static_cast<char>(b);
                bool expected = b == d || (d >= 'A' && d <= 'Z' && b == d + 32);
                if (i == 3) expected = (b >= '1' && b <= '9') || b == 0xB9 || b == 0xB2 || b == 0xB3;
                EXPECT_EQ(IsReservedDeviceName(name, latin), expected) << device << " " << i << " " << b;
            }
        }
    }
}

// The limits on either side: a name of 259 bytes, a file name of 255
// characters (double-byte ones counting once).
TEST(ByteTables, LengthLimits)
{
    const LeadBytes gbk = LeadBytes::ForCodePage(936);
    const struct { std::string name; NameError path, component; } cases[] = {
        {std::string(255, 'a'), NameError::kNone, NameError::kNone},
        {std::string(256, 'a'), NameError::kNone, NameError::kComponentTooLong},
        {std::string(259, 'a'), NameError::kNone, NameError::kComponentTooLong},
        {std::string(260, 'a'), NameError::kTooLong, NameError::kComponentTooLong},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.size());
        EXPECT_EQ(CheckName(c.name, gbk), c.path);
        EXPECT_EQ(CheckFileNameComponent(c.name, gbk), c.component);
    }
    std::string wide;
    for (int i = 0; i < 255; ++i) wide += "\xD6\xD0";
    EXPECT_EQ(CheckFileNameComponent(wide, gbk), NameError::kNone);
    EXPECT_EQ(CheckFileNameComponent(wide + "a", gbk), NameError::kComponentTooLong);
}

} // namespace
