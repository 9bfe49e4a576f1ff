#include "media/setup_description.h"
#include "media/medium.h"

#include "base/codepage.h"
#include "base/path_limit.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/common/temp_dir.h"

namespace {

std::string TempPath(const std::string& name)
{
    return testtemp::Path(name);
}

std::string WriteFile(const std::string& name, const std::string& bytes)
{
    const std::string path = TempPath(name);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr) << path;
    if (f) {
        EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
        std::fclose(f);
    }
    return path;
}

struct Outcome {
    std::string name;
    std::string title;
    SetupDescriptionEnd end;
};

// Starts from the values the main dialog has before reading: "Kelvra" and an
// empty title.
Outcome ParseWithMode(const std::string& path, const char* mode, const LeadBytes& lb = LeadBytes::ForCodePage(936))
{
    Outcome o{"Kelvra", "", SetupDescriptionEnd::kNotOpened};
    std::FILE* f = std::fopen(path.c_str(), mode);
    EXPECT_NE(f, nullptr) << path;
    if (!f) return o;
    o.end = ParseSetupDescription(f, lb, o.name, o.title);
    std::fclose(f);
    return o;
}

struct Case {
    const char* what;
    std::string file;
    std::string name;
    std::string title;
    SetupDescriptionEnd end;
    bool textModeToo = true;  // false where C runtimes' text modes disagree
};

const std::string kLong4095(4095, 'x');
const std::string kLong4096(4096, 'x');
constexpr SetupDescriptionEnd kEof = SetupDescriptionEnd::kEndOfFile;
constexpr SetupDescriptionEnd kTooLong = SetupDescriptionEnd::kLineTooLong;

const Case kCases[] = {
    {"empty file", "", "Kelvra", "", kEof},
    {"later line wins, keys ignore case", "Name=Alpha\nname = Beta\n", "Beta", "", kEof},
    {"upper-case keys", "NAME=Upper\nTITLE=Caps\n", "Upper", "Caps", kEof},
    {"spaces trimmed around key and value, kept inside", "  Title =  Line One  \n", "Kelvra", "Line One", kEof},
    {"tab before = makes another key", "Name\t=Alpha\n", "Kelvra", "", kEof},
    {"tabs in the value stay", "Title=\tTab\tIn\t \n", "Kelvra", "\tTab\tIn\t", kEof},
    {"comment at column 0", "//Name=Alpha\nTitle=T\n", "Kelvra", "T", kEof},
    {"indented // is no comment and matches nothing", "  //Name=Alpha\n", "Kelvra", "", kEof},
    {"value holds further =", "Name=A=B\n", "A=B", "", kEof},
    {"escaped = stays in the key", "Na\\=me=X\n", "Kelvra", "", kEof},
    {"escaped = only: key without value", "Name\\=X\n", "Kelvra", "", kEof},
    {"backslashes and = in the value", "Title=C:\\Dir\\=x\n", "Kelvra", "C:\\Dir\\=x", kEof},
    {"bare key counts as absent", "Title=T\nName\nTitle\n", "Kelvra", "", kEof},
    {"key with = and nothing counts as absent", "Name=Alpha\nName=\n", "Alpha", "", kEof},
    {"key with = and spaces counts as absent", "Name =   \n", "Kelvra", "", kEof},
    {"empty key ignored", "=Alpha\n", "Kelvra", "", kEof},
    {"CRLF like LF", "Name=Alpha\r\nTitle=Line One\r\n", "Alpha", "Line One", kEof},
    {"CRLF, bare key", "Title=T\r\nName\r\n", "Kelvra", "T", kEof},
    {"lone CR inside a line stays", "Title=A\rB\n", "Kelvra", "A\rB", kEof},
    // Wine's text mode drops both CRs here, Windows' keeps one; read as bytes
    // the parser keeps one.
    {"only the CR right before LF is dropped", "Title=A\r\r\n", "Kelvra", "A\r", kEof, false},
    {"last line without line end", "Title=X\nName=Last", "Last", "X", kEof},
    {"blank and space-only lines skipped", "\n   \n\r\nName=B\n\n", "B", "", kEof},
    {"section headers are keys without value", "[Setup]\nName=Sectioned\n", "Sectioned", "", kEof},
    {"other keys ignored", "Names=X\nNam=Y\nTitles=Z\n", "Kelvra", "", kEof},
    {"byte-order mark is part of the key", "\xEF\xBB\xBFName=Bom\n", "Kelvra", "", kEof},
    {"ANSI bytes taken as they are", "Name=\xBF\xC6\xC1\xA6\n", "\xBF\xC6\xC1\xA6", "", kEof},
    {"4095 characters fit", "Name=Early\nTitle=" + kLong4095.substr(6) + "\nName=Late\n", "Late",
     kLong4095.substr(6), kEof},
    {"4095 characters and CRLF fit", "Title=" + kLong4095.substr(6) + "\r\nName=Late\r\n", "Late",
     kLong4095.substr(6), kEof},
    {"4095 characters at the end without line end", "Title=" + kLong4095.substr(6), "Kelvra",
     kLong4095.substr(6), kEof},
    {"4096 characters stop the reading", "Name=Early\nTitle=T\n" + kLong4096 + "\nName=Late\nTitle=U\n",
     "Early", "T", kTooLong},
    {"a 4096-character entry is not applied", "Name=Early\nName=" + kLong4096.substr(5) + "\nTitle=U\n",
     "Early", "", kTooLong},
    {"4096 characters as the last line", "Name=Early\n" + kLong4096, "Early", "", kTooLong},
    {"4095 characters and a lone CR are too long", "Name=Early\n" + kLong4095 + "\rx\nName=Late\n",
     "Early", "", kTooLong},
};

} // namespace

// What setup writes into file names and the registry. GBK bytes (from
// Python's gbk codec): 乗 81 5C, 亅 81 7C, 刻印 BF CC D3 A1.
struct ValueCase {
    const char* what;
    std::string file;
    std::string gbkName;    // Name read in code page 936
    std::string latinName;  // Name read in code page 1252
    std::string title;
};

// A literal with its zero bytes.
template <std::size_t N>
std::string Bytes(const char (&s)[N])
{
    return std::string(s, N - 1);
}

const std::string kEvil = "..\\..\\..\\..\\evil";

const ValueCase kValueCases[] = {
    // Name must be one file name, else the line counts as absent.
    {"parent steps", "Name=" + kEvil + "\r\nTitle=T\r\n", "Kelvra", "Kelvra", "T"},
    {"a refused Name keeps an earlier one", "Name=Alpha\nName=" + kEvil + "\n", "Alpha", "Alpha", ""},
    {"backslash", "Name=a\\b\n", "Kelvra", "Kelvra", ""},
    {"slash", "Name=a/b\n", "Kelvra", "Kelvra", ""},
    {"drive", "Name=C:\\Windows\n", "Kelvra", "Kelvra", ""},
    {"colon", "Name=a:b\n", "Kelvra", "Kelvra", ""},
    {"two dots", "Name=..\n", "Kelvra", "Kelvra", ""},
    {"trailing dot stays", "Name=Kelvra Co., Ltd.\n", "Kelvra Co., Ltd.", "Kelvra Co., Ltd.", ""},
    {"only dots", "Name=...\n", "Kelvra", "Kelvra", ""},
    {"short-name shape", "Name=PROGRA~1\n", "Kelvra", "Kelvra", ""},
    {"tab", "Name=a\tb\n", "Kelvra", "Kelvra", ""},
    {"device", "Name=CON\n", "Kelvra", "Kelvra", ""},
    {"numbered device", "Name=com1\n", "Kelvra", "Kelvra", ""},
    {"reserved characters", "Name=a<b\nName=a>b\nName=a\"b\nName=a|b\nName=a?b\nName=a*b\n", "Kelvra",
     "Kelvra", ""},
    {"dots inside are fine", "Name=Kelvra 2.0\n", "Kelvra 2.0", "Kelvra 2.0", ""},
    {"255 characters", "Name=" + std::string(255, 'n') + "\n", std::string(255, 'n'), std::string(255, 'n'), ""},
    {"256 characters", "Name=" + std::string(256, 'n') + "\n", "Kelvra", "Kelvra", ""},
    {"Title is text, not a file name", "Title=" + kEvil + " <*>|\t\n", "Kelvra", "Kelvra", kEvil + " <*>|\t"},
    // As trail bytes in 936, 5C is no backslash and 7C no '|'; in 1252 they
    // are.
    {"trail byte 5C", "Name=\x81\x5C\n", "\x81\x5C", "Kelvra", ""},
    {"trail byte 7C", "Name=\x81\x7C\n", "\x81\x7C", "Kelvra", ""},
    {"Chinese name", "Name=\xBF\xCC\xD3\xA1Kelvra\n", "\xBF\xCC\xD3\xA1Kelvra", "\xBF\xCC\xD3\xA1Kelvra", ""},
    {"Chinese name, then a step out", "Name=\xBF\xCC\\..\\evil\n", "Kelvra", "Kelvra", ""},
    {"lead byte at the end", "Name=abc\x81\n", "Kelvra", "abc\x81", ""},
    {"lead byte before a colon", "Name=a\x96:b\n", "Kelvra", "Kelvra", ""},
    {"255 double-byte characters", "Name=" + std::string(510, '\xBF') + "\n", std::string(510, '\xBF'), "Kelvra",
     ""},
    // A zero byte ends the line's text.
    {"zero byte in Name", Bytes("Name=Kel\0vra\nTitle=T\n"), "Kel", "Kel", "T"},
    {"zero byte in Title", Bytes("Title=A\0B\r\nName=N\r\n"), "N", "N", "A"},
    {"zero byte right after the key", Bytes("Title=T\nName\0=X\n"), "Kelvra", "Kelvra", "T"},
    {"zero byte first", Bytes("\0Name=X\nTitle=T\n"), "Kelvra", "Kelvra", "T"},
    // 0x1A ends the file.
    {"Ctrl-Z without a line end", "Title=T\x1A", "Kelvra", "Kelvra", "T"},
    {"Ctrl-Z inside a line", "Title=a\x1A" "b\nName=After\n", "Kelvra", "Kelvra", "a"},
    {"Ctrl-Z on a line of its own", "Name=A\r\n\x1A\r\nName=B\r\n", "A", "A", ""},
};

// Binary and text streams give the same values (under Windows "r" is text
// mode, where the runtime drops the CR itself).
TEST(ParseSetupDescription, Cases)
{
    for (const char* mode : {"rb", "r"}) {
        for (const Case& c : kCases) {
            if (!c.textModeToo && std::string(mode) != "rb") continue;
            const std::string path = WriteFile("case.ini", c.file);
            const Outcome o = ParseWithMode(path, mode);
            EXPECT_EQ(o.name, c.name) << c.what << " (" << mode << ")";
            EXPECT_EQ(o.title, c.title) << c.what << " (" << mode << ")";
            EXPECT_EQ(o.end, c.end) << c.what << " (" << mode << ")";
        }
    }
    std::remove(TempPath("case.ini").c_str());
}

TEST(ParseSetupDescription, ValuesAreFileNamesAndCStrings)
{
    const LeadBytes gbk = LeadBytes::ForCodePage(936);
    const LeadBytes latin = LeadBytes::ForCodePage(1252);
    for (const ValueCase& c : kValueCases) {
        const std::string path = WriteFile("value.ini", c.file);
        for (const auto& cp : {std::make_pair(&gbk, &c.gbkName), std::make_pair(&latin, &c.latinName)}) {
            SCOPED_TRACE(std::string(c.what) + (cp.first == &gbk ? " (936)" : " (1252)"));
            const Outcome o = ParseWithMode(path, "rb", *cp.first);
            EXPECT_EQ(o.name, *cp.second);
            EXPECT_EQ(o.title, c.title);
            EXPECT_EQ(o.end, kEof);
        }
    }
    std::remove(TempPath("value.ini").c_str());
}

TEST(LoadSetupDescription, ReadsFileAndLeavesValuesWithoutOne)
{
    const std::string path = WriteFile("load.ini", "Name=Loaded\r\nTitle=Kelvra Marking 5\r\n");
    std::string name = "Kelvra", title;
    EXPECT_EQ(LoadSetupDescription(path, LeadBytes(), name, title), SetupDescriptionEnd::kEndOfFile);
    EXPECT_EQ(name, "Loaded");
    EXPECT_EQ(title, "Kelvra Marking 5");
    std::remove(path.c_str());

    name = "Kelvra";
    title.clear();
    EXPECT_EQ(LoadSetupDescription(path, LeadBytes(), name, title), SetupDescriptionEnd::kNotOpened);
    EXPECT_EQ(name, "Kelvra");
    EXPECT_EQ(title, "");
    EXPECT_EQ(LoadSetupDescription("", LeadBytes(), name, title), SetupDescriptionEnd::kNotOpened);
    EXPECT_EQ(name, "Kelvra");
}

// 0x1A ends the file, as in the text mode of the Windows C runtime.
TEST(LoadSetupDescription, ControlZEndsTheFile)
{
    const std::string path = WriteFile("ctrlz.ini", "Title=a\x1A" "b\nName=After\n");
    std::string name = "Kelvra", title;
    EXPECT_EQ(LoadSetupDescription(path, LeadBytes::ForCodePage(936), name, title),
              SetupDescriptionEnd::kEndOfFile);
    EXPECT_EQ(title, "a");
    EXPECT_EQ(name, "Kelvra");
    std::remove(path.c_str());
}

// A stream that cannot be read ends the reading at once, with no endless
// loop, and leaves the values alone.
TEST(ParseSetupDescription, ReadErrorStops)
{
    const std::string path = TempPath("writeonly.ini");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::string name = "Kelvra", title = "kept";
    const SetupDescriptionEnd end = ParseSetupDescription(f, LeadBytes(), name, title);
#if defined(_WIN32)
    // The Windows runtime answers EOF without an error flag here.
    EXPECT_NE(end, SetupDescriptionEnd::kLineTooLong);
#else
    EXPECT_EQ(end, SetupDescriptionEnd::kReadError);
#endif
    EXPECT_EQ(name, "Kelvra");
    EXPECT_EQ(title, "kept");
    std::fclose(f);
    std::remove(path.c_str());
}

TEST(DescriptionPathFor, CutAfterLastDotThenIni)
{
    const struct {
        const char* program;
        const char* ini;
    } cases[] = {
        {"C:\\Media\\Setup.exe", "C:\\Media\\Setup.ini"},
        {"C:\\Media\\Install.exe", "C:\\Media\\Install.ini"},
        {"D:\\Release.2\\Setup", "D:\\Release.ini"},
        {"D:\\Setup", "D:\\Setupini"},
        {"D:\\Setup.tar.exe", "D:\\Setup.tar.ini"},
        {"D:\\Setup.", "D:\\Setup.ini"},
        {".", ".ini"},
        {"", "ini"},
    };
    for (const auto& c : cases) EXPECT_EQ(medium::DescriptionPathFor(c.program), c.ini) << c.program;
}

// GetModuleFileNameA answers the buffer size when it had to cut the path.
TEST(ProgramPathIsWhole, FullBufferCountsAsNotObtained)
{
    const struct {
        unsigned long returned;
        bool whole;
    } cases[] = {{0, false}, {1, true}, {12, true}, {259, true}, {260, false}};
    for (const auto& c : cases) EXPECT_EQ(ProgramPathIsWhole(c.returned, 260), c.whole) << c.returned;
}

namespace {

// Each line of one file as the reader took it; the values it sets are the
// same as without the report.
TEST(ParseSetupDescription, ReportsEachLine)
{
    using Use = SetupDescriptionLine::Use;
    const std::string file = std::string("// c\r\nName=K\n  \nNmae=x\njunk\nName=a/b\nTi\0tle=T\n", 46) +
                             std::string(4096, 'x') + "\nTitle=never read\n";
    const struct {
        std::size_t number;
        Use use;
        const char* key;
        std::size_t zeroAt;
    } want[] = {
        {1, Use::kComment, "", std::string::npos},      {2, Use::kApplied, "Name", std::string::npos},
        {3, Use::kBlank, "", std::string::npos},        {4, Use::kUnknownKey, "Nmae", std::string::npos},
        {5, Use::kNotKeyValue, "junk", std::string::npos}, {6, Use::kRefusedName, "Name", std::string::npos},
        {7, Use::kNotKeyValue, "Ti", 2},                {8, Use::kTooLong, "", std::string::npos},
    };
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    std::fwrite(file.data(), 1, file.size(), f);
    std::rewind(f);
    std::string name = "Kelvra", title, refused;
    std::vector<SetupDescriptionLine> lines;
    EXPECT_EQ(ParseSetupDescription(f, LeadBytes::ForCodePage(936), name, title, &refused, &lines),
              SetupDescriptionEnd::kLineTooLong);
    std::fclose(f);
    EXPECT_EQ(name, "K");
    EXPECT_EQ(refused, "a/b");
    ASSERT_EQ(lines.size(), std::size(want));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(lines[i].number, want[i].number);
        EXPECT_EQ(lines[i].use, want[i].use);
        EXPECT_EQ(lines[i].key, want[i].key);
        EXPECT_EQ(lines[i].zeroAt, want[i].zeroAt);
    }
    EXPECT_EQ(lines[5].nameError, NameError::kSeparator);
}

} // namespace
