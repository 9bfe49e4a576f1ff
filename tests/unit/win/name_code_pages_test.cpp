// Names judged on the UTF-16 text, with the code pages' own tables:
// the superscript digits are wherever a code page puts them.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "media/name_rules.h"

namespace {

LeadBytes WithSystemDecoder(unsigned cp)
{
    LeadBytes lb = LeadBytes::ForCodePage(cp);
    lb.SetDecoder([cp](const std::string& narrow, std::u16string& wide) {
        wchar_t out[64] = {};
        const int n = ::MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, narrow.data(), static_cast<int>(narrow.size()),
                                            out, 64);
        wide.assign(out, out + n);
        return n > 0;
    });
    return lb;
}

TEST(NameRulesInSystemCodePages, DeviceNamesAndUndecodableCharacters)
{
    // Bytes from Python's codecs: ¹ is A9 F6 in 949 and B9 in 1252; B9 is ą
    // in 1250 and № in 1251, B2 is І in 1251; 81 7F is no character of 936.
    const NameError device = NameError::kReservedDevice, ok = NameError::kNone;
    const struct { unsigned cp; std::string name; NameError error; } cases[] = {
        {949, "COM\xA9\xF6", device},
        {949, "lpt\xA9\xF8.txt", device},
        {1252, "COM\xB9", device},
        {1250, "COM\xB9", ok},
        {1251, "COM\xB9", ok},
        {1251, "LPT\xB2", ok},
        {936, "COM\xB9\xFA", ok},
        {936, "a\x81\x7F", NameError::kBrokenCharacter},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.cp) + " " + c.name);
        EXPECT_EQ(CheckFileNameComponent(c.name, WithSystemDecoder(c.cp)), c.error);
    }
}

} // namespace
