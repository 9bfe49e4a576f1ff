// The whole installation on Windows XP, 7 and 10, as Wine reports them to
// setup.exe alone (HKCU\Software\Wine\AppDefaults\setup.exe\Version): the
// reported version picks the DLL search policy at start-up. A stamped splash
// picture makes GDI+ load too, which Windows XP keeps only in its
// side-by-side store. One language per version keeps the suite short.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "res/resource.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/install_support.h"

using namespace e2e;

namespace {

// Stamped, 480 x 240: neither the built-in picture's size nor the screen's.
const char kStampedSplash[] = KELVRA_SOURCE_DIR "/tests/e2e/data/splash-480x240-stamped.bmp";
const int kSplashWidth = 480, kSplashHeight = 240;

// Sets the Windows version Wine reports to the programs of one file name,
// for the scope of one test.
class ReportedVersion {
public:
    explicit ReportedVersion(const char* version, const std::string& program = "setup.exe")
        : key_("Software\\Wine\\AppDefaults\\" + program)
    {
        DeleteRegTree(HKEY_CURRENT_USER, key_);
        ok_ = WriteRegString(HKEY_CURRENT_USER, key_, "Version", version);
    }
    ~ReportedVersion() { DeleteRegTree(HKEY_CURRENT_USER, key_); }
    ReportedVersion(const ReportedVersion&) = delete;
    ReportedVersion& operator=(const ReportedVersion&) = delete;
    bool Ok() const { return ok_; }

private:
    std::string key_;
    bool ok_ = false;
};

// The version in the process environment block of another process
// (OSMajorVersion and OSMinorVersion of the 32-bit PEB, at 0xA4 and 0xA8).
bool ProcessVersion(DWORD pid, ULONG& major, ULONG& minor)
{
    struct BasicInformation {
        LONG exitStatus;
        void* peb;
        ULONG_PTR affinity, priority, pid, parentPid;
    } info{};
    using QueryFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    if (!query) return false;
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process) return false;
    ULONG got = 0;
    SIZE_T read = 0;
    const bool ok = query(process, 0, &info, sizeof info, &got) == 0 &&
                    ::ReadProcessMemory(process, static_cast<const char*>(info.peb) + 0xA4, &major, 4, &read) &&
                    ::ReadProcessMemory(process, static_cast<const char*>(info.peb) + 0xA8, &minor, 4, &read);
    ::CloseHandle(process);
    return ok;
}

bool IsStampedSplash(HWND h)
{
    RECT r{};
    return ::IsWindowVisible(h) && ClassName(h) != L"#32770" && ::GetWindowRect(h, &r) &&
           r.right - r.left == kSplashWidth && r.bottom - r.top == kSplashHeight;
}

TEST(WindowsVersion, InstallsWithTheVersionWineReports)
{
    const struct {
        const char* version;
        ULONG major, minor;
        bool chinese;
    } kCases[] = {
        {"winxp", 5, 1, true},
        {"win7", 6, 1, false},
        {"win10", 10, 0, true},
    };
    int ran = 0;
    for (const auto& c : kCases) {
        if (c.chinese != ChineseInterface()) continue;
        SCOPED_TRACE(c.version);
        ++ran;
        const std::wstring folder = TempRootW() + L"version-install";
        CleanInstallation({"Kelvra"}, {folder});
        Medium medium(std::string("version-") + c.version);
        medium.Write("Setup.pkg", Package(ProductFiles()));
        for (const SideFile& f : SideFiles()) medium.Write(f.name, f.data);
        medium.Write("Splash.bmp", ReadFileBytes(kStampedSplash));
        medium.AddProgram();
        ReportedVersion reported(c.version);
        ASSERT_TRUE(reported.Ok());

        Process setup;
        ASSERT_TRUE(setup.Start(medium.Path("setup.exe")));
        EXPECT_NE(setup.WaitForWindow(IsStampedSplash), nullptr) << "the stamped picture was not shown";
        const HWND dlg = setup.WaitForDialogWith(IDC_INSTALL);
        ASSERT_NE(dlg, nullptr) << "the main dialog did not appear";
        // Read once the program runs: the loader writes it as the process starts.
        ULONG major = 0, minor = 0;
        ASSERT_TRUE(ProcessVersion(setup.Id(), major, minor));
        EXPECT_EQ(major, c.major);
        EXPECT_EQ(minor, c.minor);
        ASSERT_TRUE(SetItemText(dlg, IDC_FOLDER_EDIT, folder));
        PostCommand(dlg, IDC_INSTALL);
        const HWND done = setup.WaitForDialogWith(IDC_EXIT, 30000);
        ASSERT_NE(done, nullptr) << "no completion dialog";
        for (const PackedFile& f : ProductFiles()) EXPECT_EQ(ReadFileBytesW(folder + L"\\" + f.name), f.data);
        EXPECT_TRUE(ReadRegValue(HKEY_CURRENT_USER, kRecordKey, "InstPath").exists);
        EXPECT_TRUE(FileExists(DesktopShortcut("Kelvra")));
        PostCommand(done, IDC_EXIT);
        EXPECT_EQ(setup.WaitExit(10000), 1u);
        CleanInstallation({"Kelvra"}, {folder});
    }
    EXPECT_GT(ran, 0);
}

// The manifests of both programs name every Windows from Vista to 11
// (identifiers as Microsoft documents them). Neither binds GDI+, whose
// absence would keep the program from starting; setup.exe names it in a
// manifest resource of its own, for the load of the splash picture.
TEST(Manifest, NamesTheWindowsVersionsTheProgramsAreMadeFor)
{
    const char* const kSupportedOs[] = {
        "{e2011457-1546-43c5-a5fe-008deee3d3f0}",   // Vista
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",   // 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",   // 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",   // 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",   // 10 and 11
    };
    const struct {
        const char* program;
        bool gdiplus;
    } kPrograms[] = {{"setup.exe", true}, {"mediatool.exe", false}};
    for (const auto& p : kPrograms) {
        SCOPED_TRACE(p.program);
        const HMODULE image = ::LoadLibraryExA((BuildDir() + p.program).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(image, nullptr);
        const auto manifest = [&](int id) {
            const HRSRC res = ::FindResourceA(image, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(24));
            return res ? std::string(static_cast<const char*>(::LockResource(::LoadResource(image, res))),
                                     ::SizeofResource(image, res))
                       : std::string();
        };
        const std::string own = manifest(1);
        ASSERT_FALSE(own.empty()) << "no manifest";
        for (const char* id : kSupportedOs) EXPECT_NE(own.find(id), std::string::npos) << id;
        EXPECT_EQ(own.find("Microsoft.Windows.GdiPlus"), std::string::npos);
        EXPECT_EQ(manifest(IDR_GDIPLUS_MANIFEST).find("name=\"Microsoft.Windows.GdiPlus\"") != std::string::npos,
                  p.gdiplus);
        ::FreeLibrary(image);
    }
}

// Under the same manifest, GetVersionEx tells Windows 8.1 and 10 as they
// are; without the compatibility section both answer 6.2.
TEST(Manifest, GetVersionExTellsTheRealVersion)
{
    const struct {
        const char* version;
        DWORD expected;
    } kCases[] = {{"win81", 603}, {"win10", 1000}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.version);
        ReportedVersion reported(c.version, "load_probe.exe");
        ASSERT_TRUE(reported.Ok());
        Process probe;
        ASSERT_TRUE(probe.Start(BuildDir() + "load_probe.exe", "--version"));
        EXPECT_EQ(probe.WaitExit(20000), c.expected);
    }
}

} // namespace
