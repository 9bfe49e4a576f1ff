#include "tests/e2e/fault_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>

#include "tests/e2e/driver.h"

namespace e2e {

namespace {

// Files up to this size are compared by content.
const ULONGLONG kHashedSize = 256 * 1024;

std::string HashFile(const std::wstring& path)
{
    std::uint64_t h = 1469598103934665603ull;   // FNV-1a
    const std::string bytes = ReadFileBytesW(path);
    for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
    char text[32];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

bool Skipped(const std::wstring& path, const std::vector<std::wstring>& skip)
{
    for (const std::wstring& s : skip)
        if (::lstrcmpiW(path.c_str(), s.c_str()) == 0) return true;
    return false;
}

void Walk(const std::wstring& folder, const TreeSnapshot::Watch& watch,
          std::map<std::wstring, std::string>& out)
{
    WIN32_FIND_DATAW fd;
    HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        if (Skipped(path, watch.skip)) continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out[path] = "folder";
            if (watch.recursive) Walk(path, watch, out);
            continue;
        }
        const ULONGLONG size = (static_cast<ULONGLONG>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
        std::string value = "file " + std::to_string(size) + " ";
        if (size <= kHashedSize) {
            value += HashFile(path);
        } else {
            value += std::to_string(fd.ftLastWriteTime.dwHighDateTime) + ":" +
                     std::to_string(fd.ftLastWriteTime.dwLowDateTime);
        }
        out[path] = value;
    } while (::FindNextFileW(find, &fd));
    ::FindClose(find);
}

struct Tally {
    int tried = 0;
    int passed = 0;
};

std::map<std::string, Tally>& Tallies()
{
    static std::map<std::string, Tally> tallies;
    return tallies;
}

int FailedParts()
{
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    if (!info) return 0;
    const ::testing::TestResult* r = info->result();
    int failed = 0;
    for (int i = 0; i < r->total_part_count(); ++i) failed += r->GetTestPartResult(i).failed();
    return failed;
}

class TallyPrinter : public ::testing::Environment {
public:
    void TearDown() override
    {
        for (const auto& row : Tallies())
            std::printf("[ matrix ] %s: %d tried, %d passed\n", row.first.c_str(), row.second.tried,
                        row.second.passed);
        std::fflush(stdout);
    }
};

::testing::Environment* const kTallyPrinter = ::testing::AddGlobalTestEnvironment(new TallyPrinter);

} // namespace

TreeSnapshot TreeSnapshot::Take(const std::vector<Watch>& watches)
{
    TreeSnapshot s;
    for (const Watch& w : watches) {
        s.entries_[w.folder] = ::GetFileAttributesW(w.folder.c_str()) == INVALID_FILE_ATTRIBUTES ? "absent" : "root";
        Walk(w.folder, w, s.entries_);
    }
    return s;
}

std::vector<std::string> TreeSnapshot::Differences(const TreeSnapshot& after) const
{
    std::vector<std::string> lines;
    for (const auto& e : entries_) {
        const auto it = after.entries_.find(e.first);
        if (it == after.entries_.end())
            lines.push_back("removed: " + Utf8(e.first));
        else if (it->second != e.second)
            lines.push_back("changed: " + Utf8(e.first) + " (" + e.second + " -> " + it->second + ")");
    }
    for (const auto& e : after.entries_)
        if (!entries_.count(e.first)) lines.push_back("added: " + Utf8(e.first) + " (" + e.second + ")");
    return lines;
}

MatrixCase::MatrixCase(const std::string& row) : row_(row), failedBefore_(FailedParts()) {}

MatrixCase::~MatrixCase()
{
    Tally& t = Tallies()[row_];
    ++t.tried;
    if (FailedParts() == failedBefore_) ++t.passed;
}

bool RunUnixShell(const std::string& script)
{
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring windowsStatus = std::wstring(temp) + L"kelvra-e2e-shell.status";
    const std::string status = UnixPath(windowsStatus);
    if (status.empty() || status.find('\'') != std::string::npos) return false;
    ::DeleteFileW(windowsStatus.c_str());
    std::string cmd = "/bin/sh -c \"" + script + "; echo $? > '" + status + "'\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    // No process handle comes back: the script leaves its status in a file.
    if (!::CreateProcessA("Z:\\bin\\sh", &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    if (pi.hThread) ::CloseHandle(pi.hThread);
    if (pi.hProcess) ::CloseHandle(pi.hProcess);
    std::string got;
    WaitUntil([&] {
        got = ReadFileBytesW(windowsStatus);
        return !got.empty() && got.back() == '\n';
    }, 15000);
    ::DeleteFileW(windowsStatus.c_str());
    return got == "0\n";
}

std::string UnixPath(const std::wstring& path)
{
    using Convert = char*(CDECL*)(LPCWSTR);
    const auto convert = reinterpret_cast<Convert>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert) return std::string();
    char* unix = convert(path.c_str());
    if (!unix) return std::string();
    std::string out = unix;
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return out;
}

SmallDisk::SmallDisk(int kilobytes)
{
    char prefix[MAX_PATH] = {};
    if (!::GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH)) {
        why_ = "WINEPREFIX is not set: not running under Wine";
        return;
    }
    std::string unix = prefix;
    while (!unix.empty() && unix.back() == '/') unix.pop_back();
    unixPath_ = unix + "-small-disk";
    if (unixPath_.find('\'') != std::string::npos) {
        why_ = "the prefix path holds a quote";
        return;
    }
    windowsPath_ = "Z:" + unixPath_;
    for (char& c : windowsPath_)
        if (c == '/') c = '\\';
    // A mount left by an interrupted run goes first.
    const std::string q = "'" + unixPath_ + "'";
    if (!RunUnixShell("umount " + q + " 2>/dev/null; mkdir -p " + q + " && mount -t tmpfs -o size=" +
                  std::to_string(kilobytes) + "k,mode=0777 kelvra-small-disk " + q)) {
        why_ = "mount -t tmpfs failed (not root, or mounting is not allowed here)";
        return;
    }
    ULARGE_INTEGER total{};
    if (!::GetDiskFreeSpaceExA((windowsPath_ + "\\").c_str(), nullptr, &total, nullptr) ||
        total.QuadPart > static_cast<ULONGLONG>(kilobytes) * 1024) {
        why_ = "the mounted file system does not show its small size through Wine";
        RunUnixShell("umount " + q);
        return;
    }
    mounted_ = true;
}

SmallDisk::~SmallDisk()
{
    if (mounted_) RunUnixShell("umount '" + unixPath_ + "' && rmdir '" + unixPath_ + "'");
}

} // namespace e2e
