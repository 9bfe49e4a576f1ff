// ExtractPackage on the real file system, with a real progress bar.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/strings_win32.h"
#include "media/extract_win32.h"
#include "media/source_dir_win32.h"
#include "tests/common/bytes.h"

namespace {

using testbytes::Record;
using testbytes::U32;

class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle()
    {
        if (h_ != INVALID_HANDLE_VALUE && h_ != nullptr) ::CloseHandle(h_);
    }
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};



bool WriteAll(const std::string& path, const std::string& data)
{
    Handle f(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (f.get() == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    return data.empty() || (::WriteFile(f.get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
                            written == data.size());
}

bool ReadAll(const std::string& path, std::string& data)
{
    data.clear();
    Handle f(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (f.get() == INVALID_HANDLE_VALUE) return false;
    char buf[4096];
    DWORD got = 0;
    while (::ReadFile(f.get(), buf, sizeof buf, &got, nullptr) && got) data.append(buf, got);
    return true;
}

std::string Contents(const std::string& path)
{
    std::string s;
    return ReadAll(path, s) ? s : "<missing>";
}

bool IsFolder(const std::string& path)
{
    const DWORD a = ::GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void DeleteTree(const std::wstring& dir)
{
    WIN32_FIND_DATAW fd;
    HANDLE h = ::FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring p = dir + L"\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(p);
            else
                ::DeleteFileW(p.c_str());
        } while (::FindNextFileW(h, &fd));
        ::FindClose(h);
    }
    ::RemoveDirectoryW(dir.c_str());
}

std::vector<std::wstring> Entries(const std::wstring& dir)
{
    std::vector<std::wstring> out;
    WIN32_FIND_DATAW fd;
    HANDLE h = ::FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return out;
    do {
        const std::wstring name = fd.cFileName;
        if (name != L"." && name != L"..") out.push_back(name);
    } while (::FindNextFileW(h, &fd));
    ::FindClose(h);
    std::sort(out.begin(), out.end());
    return out;
}

// Every PBM_SETPOS that reaches the control, in order.
std::vector<int> g_positions;
WNDPROC g_progressProc = nullptr;

LRESULT CALLBACK RecordingProc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == PBM_SETPOS) g_positions.push_back(static_cast<int>(wp));
    return ::CallWindowProcA(g_progressProc, w, msg, wp, lp);
}

// The bar moved as the main dialog moves it.
class BarProgress : public ExtractProgress {
public:
    explicit BarProgress(HWND bar) : bar_(bar) {}
    void SetProgress(int position) override { ::SendMessageA(bar_, PBM_SETPOS, static_cast<WPARAM>(position), 0); }

private:
    HWND bar_;
};

class ExtractPackageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
        ASSERT_TRUE(::InitCommonControlsEx(&icc));
        parent_ = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 300, 50, nullptr, nullptr,
                                    ::GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(parent_, nullptr);
        bar_ = ::CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 0, 0, 300, 20, parent_, nullptr,
                                 ::GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(bar_, nullptr);
        ::SendMessageA(bar_, PBM_SETRANGE32, 0, 800);
        ::SendMessageA(bar_, PBM_SETSTEP, 1, 0);
        g_progressProc = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrA(bar_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingProc)));
        g_positions.clear();

        char temp[MAX_PATH];
        ASSERT_GT(::GetTempPathA(MAX_PATH, temp), 0u);
        base_ = std::string(temp) + "kelvra_extract_" + std::to_string(::GetCurrentProcessId());
        wideBase_ = std::wstring(base_.begin(), base_.end());
        DeleteTree(wideBase_);
        ASSERT_TRUE(::CreateDirectoryA(base_.c_str(), nullptr));
        folder_ = base_ + "\\inst\\";
    }
    void TearDown() override
    {
        if (bar_) ::DestroyWindow(bar_);
        if (parent_) ::DestroyWindow(parent_);
        DeleteTree(wideBase_);
    }

    ExtractResult Extract(const std::string& package, const std::string& folder)
    {
        const std::string path = base_ + "\\Setup.pkg";
        EXPECT_TRUE(WriteAll(path, package));
        // As the install procedure opens it: read access, no sharing.
        Handle f(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                               nullptr));
        EXPECT_NE(f.get(), INVALID_HANDLE_VALUE);
        const DWORD size = ::GetFileSize(f.get(), nullptr);
        BarProgress progress(bar_);
        return ExtractPackage(f.get(), static_cast<std::int32_t>(size), folder, AnsiLeadBytes(), progress);
    }
    ExtractResult Extract(const std::string& package) { return Extract(package, folder_); }
    int BarPosition() { return static_cast<int>(::SendMessageA(bar_, PBM_GETPOS, 0, 0)); }

    HWND parent_ = nullptr;
    HWND bar_ = nullptr;
    std::string base_;
    std::wstring wideBase_;
    std::string folder_;
};

TEST_F(ExtractPackageTest, EmptyPackageTouchesNothing)
{
    const ExtractResult r = Extract("");
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(g_positions.empty());
    EXPECT_EQ(BarPosition(), 0);
    EXPECT_FALSE(Exists(folder_));
}

TEST_F(ExtractPackageTest, FoldersChunksAndReplacedFiles)
{
    std::string d260, d261, d520;
    for (int i = 0; i < 520; ++i) d520 += static_cast<char>(i * 37);
    d260 = d520.substr(0, 260);
    d261 = d520.substr(0, 261);
    // The install folder is missing; two levels below it are made too.
    const ExtractResult r = Extract(Record("a\\b\\deep.txt", "deep") + Record("c260", d260) +
                                    Record("c261", d261) + Record("c520", d520) + Record("same", "first") +
                                    Record("same", "second") + Record("gone", "x") + Record("gone", ""));
    ASSERT_TRUE(r.ok) << r.failedPath;
    EXPECT_TRUE(IsFolder(folder_ + "a\\b"));
    EXPECT_EQ(Contents(folder_ + "a\\b\\deep.txt"), "deep");
    EXPECT_EQ(Contents(folder_ + "c260"), d260);
    EXPECT_EQ(Contents(folder_ + "c261"), d261);
    EXPECT_EQ(Contents(folder_ + "c520"), d520);
    EXPECT_EQ(Contents(folder_ + "same"), "second");
    EXPECT_EQ(Contents(folder_ + "gone"), "");   // emptied by the later empty record
    EXPECT_EQ(g_positions, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));

    // An existing file is replaced by an empty record.
    ASSERT_TRUE(WriteAll(folder_ + "old.txt", "old content"));
    ASSERT_TRUE(Extract(Record("old.txt", "")).ok);
    EXPECT_EQ(Contents(folder_ + "old.txt"), "");
}

TEST_F(ExtractPackageTest, ProgressBarStopsAt500)
{
    std::string pkg;
    for (int i = 0; i < 600; ++i) pkg += Record("f" + std::to_string(i), "");
    ASSERT_TRUE(Extract(pkg).ok);
    ASSERT_EQ(g_positions.size(), 600u);
    for (int i = 0; i < 600; ++i) ASSERT_EQ(g_positions[i], i < 500 ? i + 1 : 500) << i;
    EXPECT_EQ(BarPosition(), 500);
    EXPECT_TRUE(Exists(folder_ + "f599"));
}

TEST_F(ExtractPackageTest, StopsAtTheThirdOfFive)
{
    // Record 3's target is an existing folder: it cannot be created as a file.
    ASSERT_TRUE(::CreateDirectoryA(folder_.substr(0, folder_.size() - 1).c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA((folder_ + "three").c_str(), nullptr));
    std::string pkg = Record("one", "1") + Record("two", "2") + Record("three", "3") + Record("four", "4") +
                      Record("five", "5");
    const ExtractResult r = Extract(pkg);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failure, ExtractFailure::kCreateFailed);
    EXPECT_EQ(r.failedPath, folder_ + "three");
    EXPECT_EQ(Contents(folder_ + "one"), "1");
    EXPECT_EQ(Contents(folder_ + "two"), "2");
    EXPECT_FALSE(Exists(folder_ + "four"));
    EXPECT_FALSE(Exists(folder_ + "five"));
    EXPECT_EQ(g_positions, (std::vector<int>{1, 2, 3}));
}

TEST_F(ExtractPackageTest, NameLengthZeroFailsWithTheInstallFolder)
{
    const ExtractResult r = Extract(Record("a", "1") + U32(0) + U32(0));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failedPath, folder_);
    EXPECT_EQ(Contents(folder_ + "a"), "1");
}

// Hostile names: nothing is written outside the install folder, nor for the record.
TEST_F(ExtractPackageTest, HostileNamesWriteNothing)
{
    const std::string names[] = {"..\\evil.txt", "sub\\..\\..\\evil.txt", "\\evil.txt",
                                 base_.substr(0, 2) + "\\evil.txt", "x.txt:evil", "evil.", "CON",
                                 "sub\\aux.txt"};
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const ExtractResult r = Extract(Record("ok", "1") + Record(name, "evil") + Record("after", "2"));
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.failure, ExtractFailure::kBadName);
        EXPECT_EQ(r.failedPath, folder_ + name);
        EXPECT_FALSE(Exists(base_ + "\\evil.txt"));
        EXPECT_FALSE(Exists(folder_ + "after"));
        EXPECT_FALSE(Exists(folder_ + "sub"));
        EXPECT_EQ(Contents(folder_ + "ok"), "1");
    }
}

// Packages that are not whole never report success nor hang.
TEST_F(ExtractPackageTest, BrokenPackagesFail)
{
    const struct { const char* what; std::string tail; std::string path; } cases[] = {
        {"short length", "\x07", ""},
        {"name too long", U32(260) + std::string(264, 'n'), ""},
        {"short name", U32(9) + "abc", "abc"},
        {"short size", U32(1) + "s" + "\x01\x02", "s"},
        {"negative size", U32(1) + "n" + U32(0x80000000u), "n"},
        {"short data", U32(1) + "d" + U32(1000) + "only a little", "d"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ExtractResult r = Extract(Record("ok", "1") + c.tail);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.failure, ExtractFailure::kBrokenPackage);
        EXPECT_EQ(r.failedPath, folder_ + c.path);
        EXPECT_EQ(Contents(folder_ + "ok"), "1");
    }
}

// In code page 936 the trail byte 5C of 乗 (81 5C, U+4E57 by
// Python's cp936 codec) is no separator.
TEST_F(ExtractPackageTest, ChineseNamesFollowTheAnsiCodePage)
{
    const std::string jou = "\x81\x5C";
    const std::string wenjian = "\xCE\xC4\xBC\xFE";   // 文件
    const ExtractResult r = Extract(Record(wenjian + "\\" + jou + "\\" + jou + ".txt", "gbk"));
    if (::GetACP() == 936) {
        ASSERT_TRUE(r.ok) << r.failedPath;
        const std::wstring inst = wideBase_ + L"\\inst";
        EXPECT_EQ(Entries(inst), (std::vector<std::wstring>{L"\u6587\u4EF6"}));
        EXPECT_EQ(Entries(inst + L"\\\u6587\u4EF6"), (std::vector<std::wstring>{L"\u4E57"}));
        EXPECT_EQ(Entries(inst + L"\\\u6587\u4EF6\\\u4E57"), (std::vector<std::wstring>{L"\u4E57.txt"}));
    } else {
        // A single-byte code page sees "\x81", "", ...: an empty level.
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.nameError, NameError::kEmptyLevel);
        EXPECT_FALSE(Exists(folder_));
    }
}

// The parent folders of a record's target: every level before the last,
// and no folder for a name without a backslash.
TEST_F(ExtractPackageTest, ParentFoldersAreEveryLevelBeforeTheLast)
{
    const std::string jou = "\x81\x5C";   // 乗 in code page 936
    std::string pkg = Record("a\\b\\c\\file.txt", "x") + Record("flat", "y");
    if (::GetACP() == 936) pkg += Record(jou + "\\f", "z");
    const ExtractResult r = Extract(pkg);
    ASSERT_TRUE(r.ok) << r.failedPath;
    EXPECT_TRUE(IsFolder(folder_ + "a\\b\\c"));
    EXPECT_FALSE(IsFolder(folder_ + "a\\b\\c\\file.txt"));
    EXPECT_EQ(Contents(folder_ + "a\\b\\c\\file.txt"), "x");
    EXPECT_FALSE(IsFolder(folder_ + "flat"));
    if (::GetACP() == 936) {
        EXPECT_EQ(Entries(wideBase_ + L"\\inst"), (std::vector<std::wstring>{L"a", L"flat", L"\u4E57"}));
    }
}

TEST(SourceDirectory, IsTheProgramsFolderWithItsBackslash)
{
    std::string dir = "stale";
    ASSERT_TRUE(GetSourceDirectory(dir));
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '\\');
    EXPECT_EQ(dir.find('\\', dir.size() - 1), dir.size() - 1);
    EXPECT_TRUE(Exists(dir + "unit_win.exe"));
}

TEST(AnsiLeadBytes, AgreeWithTheSystem)
{
    const LeadBytes lb = AnsiLeadBytes();
    for (int c = 0; c < 256; ++c)
        EXPECT_EQ(lb.IsLead(static_cast<unsigned char>(c)), ::IsDBCSLeadByte(static_cast<BYTE>(c)) != FALSE) << c;
}

} // namespace
