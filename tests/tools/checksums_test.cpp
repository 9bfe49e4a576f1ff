// SHA256SUMS as mediatool reads it: the shapes of a line that `sha256sum -c`
// accepts and no others, every byte as a hex digit, names that stay inside.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/tools/tool_support.h"
#include "tools/mediatool/checksums.h"

using namespace tooltest;

namespace {

const std::string kHex = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

TEST(ChecksumLines, Shapes)
{
    const struct { std::string line; bool ok; std::string name; } cases[] = {
        {kHex + "  a.txt", true, "a.txt"},
        {kHex + " *a.txt", true, "a.txt"},
        {"\\" + kHex + "  a\\\\b\\nc", true, "a\\b\nc"},
        {kHex + "  ", false, ""},
        {kHex + " ", false, ""},
        {kHex + " a.txt", false, ""},
        {kHex + "\ta.txt", false, ""},
        {kHex + " \ta.txt", false, ""},
        {kHex.substr(1) + "  a.txt", false, ""},
        {"\\" + kHex + "  a\\x", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        std::vector<checksums::Entry> entries;
        std::string why;
        EXPECT_EQ(checksums::Parse(c.line + "\n", entries, why), c.ok) << why;
        EXPECT_EQ(entries.size() == 1 ? entries[0].name : "", c.name);
    }
}

// Each byte as the first digit: the 22 hex digits are read, in lower case.
TEST(ChecksumLines, EveryByteAsAHexDigit)
{
    const std::string digits = "0123456789abcdefABCDEF";
    for (int b = 0; b < 256; ++b) {
        if (b == '\n') continue;
        std::vector<checksums::Entry> entries;
        std::string why;
        const bool hex = digits.find(static_cast<char>(b)) != std::string::npos;
        // A '#' first makes the line a comment, as sha256sum reads it.
        ASSERT_EQ(checksums::Parse(static_cast<char>(b) + kHex.substr(1) + "  a\n", entries, why), hex || b == '#') << b;
        const char lower = static_cast<char>(b >= 'A' && b <= 'F' ? b + 32 : b);
        EXPECT_EQ(hex ? entries.at(0).sha256 : "", hex ? lower + kHex.substr(1) : "");
    }
}

TEST(ChecksumLines, NamesOutsideTheMediumAndAnEmptyList)
{
    const fs::path root = FreshRoot("sums");
    Put(root / "m" / "a", "");
    // "./a", "a/." and "a//" name the file a, as sha256sum opens them.
    for (const std::string name : {"./a", "a/.", "a//"}) EXPECT_TRUE(checksums::Check(root / "m", {{kHex, name}}).empty()) << name;
    for (const std::string name : {".", "..", "../m/a", "/a", "c:a"}) {
        const std::vector<std::string> problems = checksums::Check(root / "m", {{kHex, name}});
        EXPECT_EQ(problems, std::vector<std::string>{name + ": the name reaches outside the medium"});
    }
    EXPECT_TRUE(checksums::Check(root / "m", {{kHex, "a"}}).empty());
    Put(root / "m" / "SHA256SUMS", "");
    EXPECT_EQ(checksums::CheckMedium(root / "m"), std::vector<std::string>{"SHA256SUMS: lists no file"});
    fs::remove_all(root);
}

} // namespace
