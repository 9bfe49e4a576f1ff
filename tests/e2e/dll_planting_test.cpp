// Planted DLLs: copies of a marker DLL lie beside setup.exe under the name
// of every DLL the program loads at run time, Wine is told to prefer a
// native DLL of those names, and a whole installation with a stamped splash
// picture (so GDI+ really is loaded) must take none of them. A control
// program that loads the same names plainly takes every one, so the test
// cannot pass because the planting itself failed. And the static imports
// of setup.exe must all be DLLs that Windows takes from its known-DLL list.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "base/dll_policy.h"
#include "res/resource.h"
#include "media/digest.h"
#include "tests/common/stamp.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/install_support.h"
#include "tests/e2e/pe_imports.h"

using namespace e2e;

namespace {

const char kMarkerSuffix[] = ".loaded";

// GDI+ for the splash picture, and the DLLs that start-up preloads by full
// path where the system-folder restriction is missing.
std::vector<std::string> RunTimeDlls()
{
    std::vector<std::string> names = {"gdiplus.dll"};
    for (std::size_t i = 0; i < kPreloadedSystemDllCount; ++i) names.push_back(kPreloadedSystemDlls[i]);
    return names;
}

std::string StemOf(const std::string& dll) { return dll.substr(0, dll.find('.')); }

// Tells Wine to prefer a native DLL of each name for one program, as
// WINEDLLOVERRIDES=name=n,b would. This Wine reads WINEDLLOVERRIDES from
// the environment it was started with, not from the environment block a
// Windows parent hands its child, so the per-program registry form is used:
// HKCU\Software\Wine\AppDefaults\<program>\DllOverrides. Removed again
// at the end of the scope. A `version` such as "vista" is the Windows
// version Wine reports to that program.
class NativeFirst {
public:
    NativeFirst(const std::string& program, const std::vector<std::string>& dlls, const std::string& version = "")
        : key_("Software\\Wine\\AppDefaults\\" + program)
    {
        DeleteRegTree(HKEY_CURRENT_USER, key_);
        if (!version.empty()) ok_ = WriteRegString(HKEY_CURRENT_USER, key_, "Version", version);
        for (const std::string& dll : dlls)
            ok_ = WriteRegString(HKEY_CURRENT_USER, key_ + "\\DllOverrides", StemOf(dll), "native,builtin") && ok_;
    }
    ~NativeFirst() { DeleteRegTree(HKEY_CURRENT_USER, key_); }
    NativeFirst(const NativeFirst&) = delete;
    NativeFirst& operator=(const NativeFirst&) = delete;
    bool Ok() const { return ok_; }

private:
    std::string key_;
    bool ok_ = true;
};

// The markers that planted copies left in a folder.
std::vector<std::string> Markers(const std::string& dir)
{
    std::vector<std::string> found;
    WIN32_FIND_DATAA fd;
    const HANDLE find = ::FindFirstFileA((dir + "*" + kMarkerSuffix).c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return found;
    do found.push_back(fd.cFileName);
    while (::FindNextFileA(find, &fd));
    ::FindClose(find);
    return found;
}

// Full paths of the modules loaded in a process, lower case.
std::vector<std::string> ModulePaths(DWORD pid)
{
    std::vector<std::string> paths;
    const HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    if (snap == INVALID_HANDLE_VALUE) return paths;
    MODULEENTRY32 me{};
    me.dwSize = sizeof me;
    for (BOOL ok = ::Module32First(snap, &me); ok; ok = ::Module32Next(snap, &me)) paths.push_back(pe::Lower(me.szExePath));
    ::CloseHandle(snap);
    return paths;
}

// A 24-bit BMP of w x h pixels in two colours, laid out by hand: the
// 14-byte file header, the 40-byte info header, rows padded to 4 bytes.
std::string Bitmap(int w, int h)
{
    const int stride = (w * 3 + 3) & ~3;
    const std::uint32_t pixels = static_cast<std::uint32_t>(stride * h);
    std::string b = "BM" + LittleEndian32(54 + pixels) + LittleEndian32(0) + LittleEndian32(54);
    b += LittleEndian32(40) + LittleEndian32(w) + LittleEndian32(h) + std::string("\1\0\x18\0", 4);
    b += LittleEndian32(0) + LittleEndian32(pixels) + LittleEndian32(2835) + LittleEndian32(2835);
    b += LittleEndian32(0) + LittleEndian32(0);
    for (int y = 0; y < h; ++y) {
        std::string row;
        for (int x = 0; x < w; ++x) row += (x / 16 + y / 16) % 2 ? "\x20\x60\xC0" : "\xF0\xE0\xD0";
        row.resize(stride, '\0');
        b += row;
    }
    return b;
}

using teststamp::Stamped;

// GDI+ is in the process (the splash picture was decoded with it), and it
// came from its side-by-side assembly under the Windows folder.
void ExpectSideBySideGdiPlus(DWORD pid)
{
    char windows[MAX_PATH] = {};
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string store = pe::Lower(std::string(windows) + "\\winsxs\\x86_microsoft.windows.gdiplus_");
    bool gdiplus = false;
    for (const std::string& path : ModulePaths(pid)) {
        if (path.size() < 12 || path.compare(path.size() - 12, 12, "\\gdiplus.dll") != 0) continue;
        gdiplus = true;
        EXPECT_EQ(path.compare(0, store.size(), store), 0) << path;
    }
    EXPECT_TRUE(gdiplus) << "GDI+ was never loaded: the test proves nothing about it";
}

// Of the planted names, those that Wine takes while it resolves the static
// imports of a program like setup.exe, before its entry point runs. Wine
// does not apply the known-DLL rule there: its own system DLLs import these
// (user32 imports version; comctl32 loads uxtheme as it starts), and with a
// native-first override a copy beside the program is taken. Windows takes
// them from the system folder; what the program itself may import is left
// to the static-import check below.
const std::vector<std::string> kTakenByWineBeforeEntry = {"uxtheme.dll", "version.dll"};

std::set<std::string> Lowered(const std::vector<std::string>& names)
{
    std::set<std::string> out;
    for (const std::string& n : names) out.insert(pe::Lower(n));
    return out;
}

std::set<std::string> ImportSet(const std::string& program)
{
    std::vector<std::string> imports;
    EXPECT_EQ(pe::ImportedDlls(ReadFileBytes(BuildDir() + program), imports), pe::ImportError::kNone) << program;
    return Lowered(imports);
}

class DllPlanting : public ::testing::Test {
protected:
    void SetUp() override
    {
        CleanInstallation({"Kelvra"}, {folder_});
        for (const std::string& dll : RunTimeDlls())
            ASSERT_TRUE(::CopyFileA((BuildDir() + "planted.dll").c_str(), medium_.Path(dll).c_str(), FALSE)) << dll;
        medium_.AddProgram("load_probe.exe", "load_probe.exe");
    }
    void TearDown() override { CleanInstallation({"Kelvra"}, {folder_}); }

    // Runs the control program with `dll` native-first; whether it took the
    // planted copy (the marker is removed again).
    bool ProbeTakes(const std::string& dll, const std::string& args)
    {
        NativeFirst overrides("load_probe.exe", {dll});
        EXPECT_TRUE(overrides.Ok());
        Process probe;
        EXPECT_TRUE(probe.Start(medium_.Path("load_probe.exe"), args));
        const DWORD code = probe.WaitExit(20000);
        EXPECT_NE(code, STILL_ACTIVE);
        if (!args.empty()) {
            EXPECT_EQ(code, 1u) << dll;
        }
        const std::string marker = medium_.Path(dll + kMarkerSuffix);
        const bool taken = FileExists(marker);
        if (taken) {
            EXPECT_NE(ReadFileBytes(marker).find("load_probe.exe"), std::string::npos) << dll;
        }
        ::DeleteFileA(marker.c_str());
        return taken;
    }

    void InstallWholly()
    {
        Process setup;
        ASSERT_TRUE(setup.Start(medium_.Path("setup.exe")));
        const HWND dlg = setup.WaitForDialogWith(IDC_INSTALL);
        ASSERT_NE(dlg, nullptr) << "the main dialog did not appear";
        ExpectSideBySideGdiPlus(setup.Id());

        PostCommand(dlg, IDC_BROWSE);
        const HWND browser = setup.WaitForWindow(
            [&](HWND h) { return h != dlg && ::IsWindowVisible(h) && ClassName(h) == L"#32770"; });
        ASSERT_NE(browser, nullptr) << "no folder browser";
        PostCommand(browser, IDCANCEL);
        ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(browser); }));

        ASSERT_TRUE(SetItemText(dlg, IDC_FOLDER_EDIT, folder_));
        PostCommand(dlg, IDC_INSTALL);
        const HWND done = setup.WaitForDialogWith(IDC_EXIT, 30000);
        ASSERT_NE(done, nullptr) << "no completion dialog";
        EXPECT_TRUE(FileExistsW(folder_ + L"\\Kelvra.exe"));
        EXPECT_TRUE(FileExistsW(folder_ + L"\\Splash.bmp"));
        PostCommand(done, IDC_DRIVER_INSTALL);
        EXPECT_TRUE(WaitUntil([&] { return LineCount(folder_ + L"\\Corvane Driver\\marker.txt") == 1; }));
        PostCommand(done, IDC_EXIT);
        EXPECT_EQ(setup.WaitExit(10000), 1u);
    }

    Medium medium_{"dll-planting"};
    const std::wstring folder_ = TempRootW() + L"planted-install";
};

// The controls, one name at a time: a program in the same folder that
// loads the name plainly takes the planted copy, so the planting works;
// and one that loads nothing takes it only for the names that Wine pulls in
// before the entry point.
TEST_F(DllPlanting, APlainLoadTakesThePlantedCopy)
{
    EXPECT_EQ(ImportSet("load_probe.exe"), ImportSet("setup.exe")) << "the control must import what setup.exe imports";

    const std::set<std::string> beforeEntry = Lowered(kTakenByWineBeforeEntry);
    for (const std::string& dll : RunTimeDlls()) {
        SCOPED_TRACE(dll);
        const bool early = ProbeTakes(dll, "");
        EXPECT_EQ(early, beforeEntry.count(pe::Lower(dll)) == 1) << "taken before the entry point";
        if (!early) {
            EXPECT_TRUE(ProbeTakes(dll, dll)) << "a plain load";
        }
    }
}

// A whole installation: stamped splash, the folder browser opened and
// cancelled, the install button, the completion dialog and its driver
// button, the exit code. Once with Windows 7 as Wine reports it by default
// (the whole process searches the system folder only), once with Vista,
// where the product never restricts the process and relies on SetDllDirectory
// and its preloads, as on XP and 7 without KB2533623.
TEST_F(DllPlanting, AWholeInstallationTakesNoPlantedDll)
{
    medium_.Write("Setup.pkg", Package(ProductFiles()));
    for (const SideFile& f : SideFiles()) medium_.Write(f.name, f.data);
    medium_.Write("Splash.bmp", Stamped(Bitmap(320, 160)));
    ASSERT_TRUE(CheckFileDigest(medium_.Path("Splash.bmp").c_str()));
    medium_.AddProgram();

    // Every planted name native-first, except those Wine takes before the
    // entry point (see above); their copies still lie beside the program.
    std::vector<std::string> nativeFirst;
    for (const std::string& dll : RunTimeDlls())
        if (!Lowered(kTakenByWineBeforeEntry).count(pe::Lower(dll))) nativeFirst.push_back(dll);
    for (const char* version : {"", "vista"}) {
        SCOPED_TRACE(version);
        NativeFirst overrides("setup.exe", nativeFirst, version);
        ASSERT_TRUE(overrides.Ok());
        InstallWholly();
        EXPECT_EQ(Markers(medium_.Dir()), std::vector<std::string>{}) << "setup.exe loaded a planted DLL";
        CleanInstallation({"Kelvra"}, {folder_});
    }
}

// Removes every GDI+ assembly from the Windows folder's side-by-side store,
// as stripped and embedded Windows images lack it; true when none is left.
bool RemoveGdiPlusAssemblies()
{
    char windows[MAX_PATH] = {};
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    bool gone = true;
    const std::string store = std::string(windows) + "\\winsxs\\";
    for (const std::string& dir : {store, store + "manifests\\"}) {
        WIN32_FIND_DATAA fd;
        const HANDLE find = ::FindFirstFileA((dir + "x86_microsoft.windows.gdiplus_*").c_str(), &fd);
        if (find == INVALID_HANDLE_VALUE) continue;
        do gone = RemoveTree(dir + fd.cFileName) && gone;
        while (::FindNextFileA(find, &fd));
        ::FindClose(find);
    }
    return gone;
}

const char kPrivateGdiPlus[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
    "<assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.GdiPlus\" version=\"1.0.0.0\"\r\n"
    " processorArchitecture=\"x86\" publicKeyToken=\"6595b64144ccf1df\"/>\r\n"
    "<file name=\"gdiplus.dll\"/>\r\n"
    "</assembly>\r\n";

// Without the GDI+ assembly setup.exe still starts, its dialogs keep their
// side-by-side common controls, and it installs; the splash shows the
// stamped picture with a GDI+ from the system folder, else the built-in one.
// It removes the assembly for good, so it runs only in a prefix of its own
// (the ctest entry e2e_without_gdiplus sets KELVRA_STRIP_GDIPLUS).
TEST(WithoutGdiPlus, SetupStillInstalls)
{
    if (!std::getenv("KELVRA_STRIP_GDIPLUS")) GTEST_SKIP() << "needs a prefix of its own";
    ASSERT_TRUE(RemoveGdiPlusAssemblies());
    const struct {
        bool inSystemFolder;
        int width, height;
    } kCases[] = {{true, 320, 160}, {false, 600, 200}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.inSystemFolder);
        const std::wstring folder = TempRootW() + L"without-gdiplus-install";
        CleanInstallation({"Kelvra"}, {folder});
        Medium medium("without-gdiplus");
        medium.Write("Setup.pkg", Package(ProductFiles()));
        for (const SideFile& f : SideFiles()) medium.Write(f.name, f.data);
        medium.Write("Splash.bmp", Stamped(Bitmap(320, 160)));
        medium.AddProgram();
        // Where the store lacks an assembly, Windows looks for a private one
        // beside the program: a planted one must not stand in.
        medium.Write("Microsoft.Windows.GdiPlus.manifest", kPrivateGdiPlus);
        ASSERT_TRUE(::CopyFileA((BuildDir() + "planted.dll").c_str(), medium.Path("gdiplus.dll").c_str(), FALSE));
        // Wine keeps a GDI+ of its own in the system folder: native-first,
        // a private copy would be taken if it were looked for; "" disables
        // GDI+ wherever it lies.
        NativeFirst overrides("setup.exe", {});
        ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\setup.exe\\DllOverrides",
                                   "gdiplus", c.inSystemFolder ? "native,builtin" : ""));
        Process setup;
        ASSERT_TRUE(setup.Start(medium.Path("setup.exe")));
        EXPECT_NE(setup.WaitForWindow([&](HWND h) {
            RECT r{};
            return ::IsWindowVisible(h) && ClassName(h) != L"#32770" && ::GetWindowRect(h, &r) &&
                   r.right - r.left == c.width && r.bottom - r.top == c.height;
        }), nullptr) << "no splash of " << c.width << " x " << c.height;
        const HWND dlg = setup.WaitForDialogWith(IDC_INSTALL);
        ASSERT_NE(dlg, nullptr) << "the main dialog did not appear";
        int sideBySide = 0;
        for (const std::string& path : ModulePaths(setup.Id()))
            sideBySide += path.find("\\winsxs\\x86_microsoft.windows.common-controls_") != std::string::npos;
        EXPECT_EQ(sideBySide, 1) << "the common controls lost their side-by-side binding";
        ASSERT_TRUE(SetItemText(dlg, IDC_FOLDER_EDIT, folder));
        PostCommand(dlg, IDC_INSTALL);
        const HWND done = setup.WaitForDialogWith(IDC_EXIT, 30000);
        ASSERT_NE(done, nullptr) << "no completion dialog";
        EXPECT_TRUE(FileExistsW(folder + L"\\Kelvra.exe"));
        PostCommand(done, IDC_EXIT);
        EXPECT_EQ(setup.WaitExit(10000), 1u);
        EXPECT_EQ(Markers(medium.Dir()), std::vector<std::string>{}) << "setup.exe loaded a planted DLL";
        CleanInstallation({"Kelvra"}, {folder});
    }
}

// Static imports: only known DLLs (taken from the system folder whatever
// lies beside the program), msvcrt, and comctl32, which the manifest binds
// to its side-by-side assembly.
TEST(StaticImports, SetupImportsOnlyKnownDlls)
{
    const std::vector<std::string> allowed = {
        "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
        "oleaut32.dll", "shlwapi.dll", "comdlg32.dll", "msvcrt.dll", "comctl32.dll",
    };
    const std::string image = ReadFileBytes(BuildDir() + "setup.exe");
    ASSERT_FALSE(image.empty());
    std::vector<std::string> imports;
    ASSERT_EQ(pe::ImportedDlls(image, imports), pe::ImportError::kNone);
    // The reader really found the import table of this program.
    std::vector<std::string> lower;
    for (const std::string& name : imports) lower.push_back(pe::Lower(name));
    EXPECT_NE(std::find(lower.begin(), lower.end(), "kernel32.dll"), lower.end());
    EXPECT_NE(std::find(lower.begin(), lower.end(), "user32.dll"), lower.end());
    EXPECT_EQ(pe::ImportsOutside(imports, allowed), std::vector<std::string>{})
        << "load these at run time with LoadSystemLibrary";
}

} // namespace
