// The bad-input and fault matrix of the install button, end to end: broken
// and hostile packages, file-system faults, registry leftovers and product
// names a shortcut cannot carry. Every case checks that setup.exe neither
// crashes nor hangs, writes nothing outside the install folder, shows the
// right message (or none), keeps the files written before the fault, and
// that a run without the cause completes. Many cases share one setup.exe:
// after an error the main dialog is usable again, so the next case only
// replaces Setup.pkg and presses Install once more.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/fault_support.h"
#include "tests/e2e/install_support.h"

using namespace e2e;

namespace {

// Bounds every run: a message or the completion dialog comes within this.
const DWORD kOutcomeTimeoutMs = 120000;
// The progress bar's cap, of its 0..800 range.
const int kBarCap = 500;

// A run that ended in a message box or in the completion dialog.
struct Outcome {
    HWND box = nullptr;
    HWND done = nullptr;
};

// One medium, one install folder with neighbours that must stay as they
// are, and one setup.exe at a time.
class Fault : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = TempRootW() + L"fault";
        area_ = root_ + L"\\area";
        inst_ = area_ + L"\\inst";
        instPath_ = Narrow(inst_) + "\\";
        CleanInstallation(names_, {root_});
        // Neighbours of the install folder, where an escaping name would land.
        ASSERT_TRUE(::CreateDirectoryW(root_.c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW(area_.c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW((area_ + L"\\neighbour").c_str(), nullptr));
        WriteW(area_ + L"\\neighbour\\kept.txt", "neighbour");
        WriteW(area_ + L"\\esc.txt", "sentinel");
        WriteW(root_ + L"\\top.txt", "sentinel");
        medium_.AddProgram();
        for (const SideFile& f : SideFiles()) medium_.Write(f.name, f.data);
    }
    void TearDown() override
    {
        setup_.reset();
        CleanInstallation(names_, {root_});
    }

    static void WriteW(const std::wstring& path, const std::string& bytes)
    {
        HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE) << Utf8(path);
        DWORD written = 0;
        EXPECT_TRUE(::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
        ::CloseHandle(f);
    }

    // Everything an installation may not touch: the tree around the install
    // folder, the folders above it, the drive root, the medium, and the
    // shortcut folders (apart from the shortcuts a completed run makes).
    std::vector<TreeSnapshot::Watch> Watches(const std::vector<std::string>& allowed) const
    {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        std::wstring tempDir = temp;
        tempDir.pop_back();
        std::wstring medium = Widen(medium_.Dir());
        medium.pop_back();
        std::vector<std::wstring> shortcuts;
        for (const std::string& a : allowed) shortcuts.push_back(Widen(a));
        std::vector<TreeSnapshot::Watch> w = {
            {root_, true, {inst_}},
            {TempRootW().substr(0, TempRootW().size() - 1), false, {}},
            {tempDir, false, {}},
            {L"C:", false, {}},
            {medium, true, {}},
            {Widen(SpecialFolder(CSIDL_PROGRAMS)), false, shortcuts},
            {Widen(SpecialFolder(CSIDL_DESKTOPDIRECTORY)), false, shortcuts},
        };
        for (const TreeSnapshot::Watch& extra : extraWatches_) w.push_back(extra);
        return w;
    }

    void Start()
    {
        dlg_ = nullptr;
        setup_.reset(new Process);
        ASSERT_TRUE(setup_->Start(medium_.Path("setup.exe")));
        dlg_ = setup_->WaitForDialogWith(IDC_INSTALL, kOutcomeTimeoutMs);
        ASSERT_NE(dlg_, nullptr) << "the main dialog did not appear";
    }

    void EnsureStarted()
    {
        if (!dlg_ || !::IsWindow(dlg_) || !setup_ || !setup_->Running()) Start();
    }

    Outcome Press(const std::wstring& folderText, DWORD timeoutMs = kOutcomeTimeoutMs)
    {
        Outcome o;
        EXPECT_TRUE(SetItemText(dlg_, IDC_FOLDER_EDIT, folderText));
        PostCommand(dlg_, IDC_INSTALL);
        setup_->WaitForWindow([&](HWND h) {
            if (!::IsWindowVisible(h) || ClassName(h) != L"#32770") return false;
            if (::GetDlgItem(h, 0x440)) o.box = h;
            else if (::GetDlgItem(h, IDC_EXIT)) o.done = h;
            return o.box || o.done;
        }, timeoutMs);
        return o;
    }

    // After a failed expectation the program is in an unknown state: the
    // next case starts a new one.
    void Abandon()
    {
        setup_.reset();
        dlg_ = nullptr;
    }

    void ExpectUntouched(const TreeSnapshot& before, const std::vector<std::string>& allowed)
    {
        const std::vector<std::string> diff = before.Differences(TreeSnapshot::Take(Watches(allowed)));
        EXPECT_TRUE(diff.empty()) << "written outside the install folder:\n" << [&] {
            std::string s;
            for (std::size_t i = 0; i < diff.size() && i < 10; ++i) s += "  " + diff[i] + "\n";
            return s;
        }();
    }

    // Presses Install and expects caption 2000 with `text`, the dialog usable
    // again afterwards and nothing written outside the install folder.
    void ExpectStop(const std::wstring& folderText, const std::wstring& text)
    {
        EnsureStarted();
        ASSERT_NE(dlg_, nullptr);
        const TreeSnapshot before = TreeSnapshot::Take(Watches({}));
        const Outcome o = Press(folderText);
        if (!o.box) {
            if (!setup_->Running())
                ADD_FAILURE() << "setup.exe ended, exit code 0x" << std::hex << setup_->WaitExit(0);
            else if (o.done)
                ADD_FAILURE() << "the failed installation was reported as done";
            else
                ADD_FAILURE() << "no message within " << kOutcomeTimeoutMs << " ms";
            Abandon();
            ExpectUntouched(before, {});
            return;
        }
        EXPECT_EQ(WindowText(o.box), ExpectedTexts().errorCaption);
        EXPECT_EQ(MessageBoxText(o.box), text);
        EXPECT_EQ(::GetWindow(o.box, GW_OWNER), dlg_);
        PostCommand(o.box, IDOK);
        EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(o.box); }));
        const bool usable = setup_->Running() && ::IsWindowVisible(dlg_) && ::IsWindowEnabled(dlg_) &&
                            ItemEnabled(dlg_, IDC_INSTALL) && ItemEnabled(dlg_, IDC_FOLDER_EDIT) &&
                            ItemEnabled(dlg_, IDC_BROWSE);
        EXPECT_TRUE(usable) << "the main dialog is not usable after the message";
        if (!usable) Abandon();
        ExpectUntouched(before, {});
    }

    // Presses Install and expects the completion dialog without a message;
    // leaves through the exit button with exit code 1.
    void ExpectCompletion(const std::wstring& folderText, const std::vector<std::string>& shortcuts,
                          DWORD timeoutMs = kOutcomeTimeoutMs)
    {
        EnsureStarted();
        ASSERT_NE(dlg_, nullptr);
        const TreeSnapshot before = TreeSnapshot::Take(Watches(shortcuts));
        const Outcome o = Press(folderText, timeoutMs);
        if (o.box) ADD_FAILURE() << "message instead of completion: " << Utf8(MessageBoxText(o.box));
        if (!o.done) {
            ADD_FAILURE() << "no completion dialog";
            Abandon();
            return;
        }
        EXPECT_FALSE(::IsWindow(dlg_));
        ExpectUntouched(before, shortcuts);
        PostCommand(o.done, IDC_EXIT);
        EXPECT_EQ(setup_->WaitExit(10000), 1u);
        dlg_ = nullptr;
    }

    std::wstring Inst(const std::string& rel) const { return Widen(instPath_ + rel); }
    std::wstring StopText(const std::string& path) const
    {
        return std::wstring(ExpectedTexts().createFile) + L"\n" + Widen(path);
    }

    std::vector<std::string> names_{"Kelvra"};
    std::wstring root_, area_, inst_;
    std::string instPath_;
    std::vector<TreeSnapshot::Watch> extraWatches_;
    Medium medium_{"fault-medium"};
    std::vector<PackedFile> files_ = ProductFiles();
    std::unique_ptr<Process> setup_;
    HWND dlg_ = nullptr;
};

// ---------------------------------------------------------------------------
// Packages

struct PackageCase {
    std::string row;
    std::string label;
    std::string package;
    bool completes;
    std::string failedName;      // the message names the install folder plus this
    std::vector<std::pair<std::string, std::string>> kept;   // written before the fault
    std::vector<std::string> absent;                         // never written
    std::string partialName;     // may be left holding a prefix of partialData
    std::string partialData;
    std::vector<std::string> folders;   // made in the install folder first
};

// Three records laid out by hand, cut at every offset. A cut at a record
// boundary is a shorter valid package.
std::vector<PackageCase> TruncationCases()
{
    struct Rec {
        std::string name, data;
    };
    const Rec recs[] = {{"t1.txt", "alpha"}, {"dir\\t2.bin", Pattern(12, 8)}, {"t3.txt", "end"}};
    std::string full;
    std::vector<std::size_t> starts;
    for (const Rec& r : recs) {
        starts.push_back(full.size());
        full += LittleEndian32(static_cast<std::uint32_t>(r.name.size())) + r.name +
                LittleEndian32(static_cast<std::uint32_t>(r.data.size())) + r.data;
    }
    EXPECT_EQ(full.size(), 19u + 30u + 17u);

    std::vector<PackageCase> cases;
    for (std::size_t cut = 1; cut < full.size(); ++cut) {
        std::size_t i = 0;
        while (i + 1 < 3 && starts[i + 1] <= cut) ++i;
        const std::size_t p = cut - starts[i];   // bytes of record i in the package
        const Rec& r = recs[i];
        PackageCase c{"Package cut short at every byte offset", "cut at " + std::to_string(cut),
                      full.substr(0, cut), p == 0, "", {}, {}, "", "", {}};
        // Records before i are whole.
        for (std::size_t k = 0; k < i; ++k) c.kept.push_back({recs[k].name, recs[k].data});
        for (std::size_t k = i + (p == 0 ? 0 : 1); k < 3; ++k) c.absent.push_back(recs[k].name);
        if (p == 0) {
            cases.push_back(c);
            continue;
        }
        const std::size_t n = r.name.size();
        if (p < 4) c.failedName = "";                       // inside the name length
        else if (p < 4 + n) c.failedName = r.name.substr(0, p - 4);   // inside the name
        else c.failedName = r.name;                          // size field or data
        if (p <= 8 + n) {
            c.absent.push_back(r.name);
        } else {
            c.partialName = r.name;
            c.partialData = r.data;
        }
        cases.push_back(c);
    }
    return cases;
}

// A refused record between a good one and one that must never be reached.
PackageCase Between(const std::string& row, const std::string& label, const std::string& middle,
                    const std::string& failedName)
{
    const std::string before = "written before " + label;
    return {row, label, Record("before.txt", before) + middle + Record("after.txt", "after"), false,
            failedName, {{"before.txt", before}}, {"after.txt"}, "", "", {}};
}

PackageCase HostileName(const std::string& row, const std::string& name)
{
    std::string label = "name \"";
    for (unsigned char c : name) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", c);
        label += c < 0x20 || c == 0x7F ? std::string(hex) : std::string(1, static_cast<char>(c));
    }
    label += "\"";
    // The path of the message is the name up to its first zero byte.
    return Between(row, label, Record(name, "hostile"), name.substr(0, name.find('\0')));
}

std::vector<PackageCase> NameCases()
{
    std::vector<PackageCase> cases;
    // Name lengths: 0 names the install folder itself; 259 fits the buffer
    // but not the path; 260 and 0xFFFFFFFF do not fit the buffer.
    const std::string row = "Name length 0, 259, 260, 0xFFFFFFFF";
    cases.push_back(Between(row, "length 0", LittleEndian32(0) + LittleEndian32(3) + "abc", ""));
    const std::string n259 = std::string(128, 'a') + "\\" + std::string(130, 'b');
    cases.push_back(Between(row, "length 259", Record(n259, "x"), n259));
    cases.push_back(Between(row, "length 260",
                            LittleEndian32(260) + std::string(260, 'c') + LittleEndian32(1) + "x", ""));
    cases.push_back(Between(row, "length 0xFFFFFFFF", LittleEndian32(0xFFFFFFFFu) + "abcdefgh", ""));

    const std::string neg = "Negative data size";
    cases.push_back(Between(neg, "size 0x80000000", LittleEndian32(4) + "neg1" + LittleEndian32(0x80000000u) + "data", "neg1"));
    cases.push_back(Between(neg, "size -1", LittleEndian32(4) + "neg2" + LittleEndian32(0xFFFFFFFFu) + "data", "neg2"));
    for (auto& c : cases)
        if (c.row == neg) c.absent.push_back(c.failedName);

    const struct {
        const char* row;
        std::vector<std::string> names;
    } kHostile[] = {
        {"Hostile name: leading \\ or /", {"\\lead.txt", "/lead.txt", "\\\\server\\share\\x.txt", "\\..\\esc.txt"}},
        {"Hostile name: drive", {"C:esc.txt", "C:\\esc.txt", "c:..\\esc.txt", "Z:/tmp/esc.txt"}},
        {"Hostile name: ':' anywhere", {"a:b", "dir\\file.txt:stream", "file.txt::$DATA", "x:", "dir:\\x.txt"}},
        {"Hostile name: '..' component", {"..\\esc.txt", "../esc.txt", "sub\\..\\..\\esc.txt", "sub/../../esc.txt",
                                          "..", "sub\\..", "sub\\..\\x.txt", "..\\..\\top.txt"}},
        {"Hostile name: component ending in dot or space", {"dir.\\x.txt", "dir \\x.txt", "x.txt.", "x.txt ",
                                                            ".", "sub\\.", "sub\\.\\x.txt", "esc..", "..."}},
        {"Hostile name: control character", {std::string("a\x01" "b.txt"), "tab\tname", "x\x1F", "del\x7F",
                                             std::string("nul\0inside.txt", 14), "line\nfeed", "cr\rx",
                                             std::string("\x1B[0m")}},
        {"Other refused characters and empty levels", {"a|b", "a*b", "a?b", "a<b", "a>b", "a\"b", "a\\\\b",
                                                       "dir\\"}},
    };
    for (const auto& h : kHostile)
        for (const std::string& name : h.names) cases.push_back(HostileName(h.row, name));

    // Device names in turned letter cases, bare, with an extension, as a
    // folder level and with a blank before the dot.
    const char* kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "COM1", "COM2", "COM3",
                              "COM4", "COM5", "COM6", "COM7", "COM8", "COM9", "LPT1", "LPT2", "LPT3",
                              "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
    const std::string dev = "Hostile name: reserved device name";
    int turn = 0;
    for (const char* d : kDevices) {
        std::string lower, mixed;
        for (const char* p = d; *p; ++p) {
            lower += static_cast<char>(::tolower(static_cast<unsigned char>(*p)));
            mixed += (p - d) % 2 ? static_cast<char>(::tolower(static_cast<unsigned char>(*p))) : *p;
        }
        const std::string forms[] = {d, lower, mixed};
        cases.push_back(HostileName(dev, forms[turn % 3]));
        cases.push_back(HostileName(dev, forms[(turn + 1) % 3] + ".txt"));
        ++turn;
    }
    for (const char* n : {"dev\\con\\x.txt", "Nul .txt", "dir\\LpT1.tar.gz", "aux\\"})
        cases.push_back(HostileName(dev, n));
    return cases;
}

class FaultPackage : public Fault {};

TEST_F(FaultPackage, EveryBrokenOrHostilePackageStopsWithItsMessage)
{
    // The longest name whose target path still fits 259 characters, and
    // the ones that pass it.
    const std::size_t room = 259 - instPath_.size();
    const std::string fits = "long\\" + std::string(room - 5, 'p');
    std::vector<PackageCase> cases = TruncationCases();
    for (PackageCase& c : NameCases()) cases.push_back(c);
    for (std::size_t extra : {1u, 2u, 41u}) {
        const std::string name = "long\\" + std::string(room - 5 + extra, 'q');
        cases.push_back(Between("Target path past 259 characters", std::to_string(room + extra) + "-character name",
                                Record(name, "too long"), name));
    }
    PackageCase folder = Between("Record naming an existing folder", "folder in the way",
                                 Record("exists\\here", "x"), "exists\\here");
    folder.folders = {"exists", "exists\\here"};
    cases.push_back(folder);

    // 600 empty records and then a refused one: the bar stopped at 500.
    // (The 10,000 records of the completing run below cost 25 s a run.)
    std::string many;
    for (int i = 0; i < 600; ++i) many += Record("e\\" + std::to_string(i), "");
    cases.push_back({"Progress bar held at 500 past record 500", "600 empty records, then a refused name",
                     many + Record("..\\esc.txt", "x"), false, "..\\esc.txt",
                     {{"e\\0", ""}, {"e\\499", ""}, {"e\\599", ""}}, {}, "", "", {}});

    for (const PackageCase& c : cases) {
        MatrixCase tally(c.row);
        SCOPED_TRACE(c.row + ": " + c.label);
        RemoveTreeW(inst_);
        if (!c.folders.empty()) {
            ASSERT_TRUE(::CreateDirectoryW(inst_.c_str(), nullptr));
        }
        for (const std::string& f : c.folders) {
            ASSERT_TRUE(::CreateDirectoryW(Inst(f).c_str(), nullptr)) << f;
        }
        medium_.Write("Setup.pkg", c.package);
        if (c.completes) {
            ExpectCompletion(inst_, {ProgramsShortcut("Kelvra"), DesktopShortcut("Kelvra")});
        } else {
            ExpectStop(inst_, StopText(instPath_ + c.failedName));
            if (c.row == "Progress bar held at 500 past record 500" && dlg_) {
                EXPECT_EQ(Send(::GetDlgItem(dlg_, IDC_PROGRESS), PBM_GETPOS), kBarCap);
            }
        }
        for (const auto& k : c.kept) {
            EXPECT_EQ(ReadFileBytesW(Inst(k.first)), k.second) << k.first;
        }
        for (const std::string& a : c.absent) {
            EXPECT_FALSE(FileExistsW(Inst(a))) << a;
        }
        if (!c.partialName.empty() && FileExistsW(Inst(c.partialName))) {  // a prefix at most
            const std::string got = ReadFileBytesW(Inst(c.partialName));
            EXPECT_LT(got.size(), c.partialData.size());
            EXPECT_EQ(got, c.partialData.substr(0, got.size())) << "not a prefix of the record's data";
        }
        if (HasFatalFailure()) return;
    }

    // The cause removed: the product, the 10,000 empty records and the
    // longest name that fits install in the same folder, over what the
    // failed runs left.
    MatrixCase tally("10,000 empty records");
    std::string good = Package(files_) + Record(fits, "fits");
    for (int i = 0; i < 10000; ++i) good += Record("e\\" + std::to_string(i), "");
    medium_.Write("Setup.pkg", good);
    // Creating 10,000 new files in one folder takes Wine 25 to 50 s,
    // depending on the machine: a bound on the wait, not a speed target.
    ExpectCompletion(inst_, {ProgramsShortcut("Kelvra"), DesktopShortcut("Kelvra")}, 180000);
    for (const PackedFile& f : files_) {
        EXPECT_TRUE(ReadFileBytesW(Widen(instPath_) + f.name) == f.data) << Utf8(f.name);
    }
    EXPECT_EQ(ReadFileBytesW(Inst(fits)), "fits");
    EXPECT_TRUE(FileExistsW(Inst("e\\9999")));
    EXPECT_TRUE(ReadShortcut(ProgramsShortcut("Kelvra")).loaded);
}

// ---------------------------------------------------------------------------
// File system

// Holds a file open without sharing, as another program would.
class HeldFile {
public:
    explicit HeldFile(const std::wstring& path)
        : h_(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr)) {}
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    ~HeldFile() { Release(); }
    bool Held() const { return h_ != INVALID_HANDLE_VALUE; }
    void Release()
    {
        if (Held()) ::CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE h_;
};

class FaultFileSystem : public Fault {
protected:
    // A good record first, then the product: a fault at a product file
    // must leave first.txt in place.
    std::string FirstThenProduct() const { return Record("first.txt", "first") + Package(files_); }

    void ExpectFirstKept(const std::string& instPath)
    {
        EXPECT_EQ(ReadFileBytesW(Widen(instPath + "first.txt")), "first");
    }

    void Complete(const std::wstring& folder)
    {
        ExpectCompletion(folder, {ProgramsShortcut("Kelvra"), DesktopShortcut("Kelvra")});
        for (const PackedFile& f : files_) {
            EXPECT_TRUE(ReadFileBytesW(folder + L"\\" + f.name) == f.data) << Utf8(f.name);
        }
    }
};

TEST_F(FaultFileSystem, InstallFolderIsAFile)
{
    MatrixCase tally("Install folder is an existing file");
    WriteW(inst_, "a file where the folder goes");
    medium_.Write("Setup.pkg", FirstThenProduct());
    ExpectStop(inst_, StopText(instPath_ + "first.txt"));
    EXPECT_EQ(ReadFileBytesW(inst_), "a file where the folder goes");
    ASSERT_TRUE(::DeleteFileW(inst_.c_str()));
    Complete(inst_);
}

// Wine keeps the read-only attribute as missing write permission, which
// root (as CI runs) writes through; the immutable flag holds for root too.
TEST_F(FaultFileSystem, TargetFileReadOnly)
{
    ASSERT_TRUE(::CreateDirectoryW(inst_.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(Inst("bin").c_str(), nullptr));
    WriteW(Inst("bin\\chunks.bin"), "read-only");
    ASSERT_TRUE(::SetFileAttributesW(Inst("bin\\chunks.bin").c_str(), FILE_ATTRIBUTE_READONLY));
    const std::string unix = UnixPath(Inst("bin\\chunks.bin"));
    ASSERT_FALSE(unix.empty());
    if (!RunUnixShell("chattr +i '" + unix + "'")) GTEST_SKIP() << "chattr +i is not available here";
    struct Mutable {
        std::string path;
        ~Mutable() { RunUnixShell("chattr -i '" + path + "'"); }
    } undo{unix};
    MatrixCase tally("Target file read-only");
    medium_.Write("Setup.pkg", FirstThenProduct());
    ExpectStop(inst_, StopText(instPath_ + "bin\\chunks.bin"));
    ExpectFirstKept(instPath_);
    EXPECT_EQ(ReadFileBytesW(Inst("bin\\chunks.bin")), "read-only");
    ASSERT_TRUE(RunUnixShell("chattr -i '" + unix + "'"));
    ASSERT_TRUE(::SetFileAttributesW(Inst("bin\\chunks.bin").c_str(), FILE_ATTRIBUTE_NORMAL));
    Complete(inst_);
}

TEST_F(FaultFileSystem, TargetFileHeldOpenWithoutSharing)
{
    MatrixCase tally("Target file held open without sharing");
    ASSERT_TRUE(::CreateDirectoryW(inst_.c_str(), nullptr));
    WriteW(Inst("Kelvra.exe"), "in use");
    HeldFile held(Inst("Kelvra.exe"));
    ASSERT_TRUE(held.Held());
    medium_.Write("Setup.pkg", FirstThenProduct());
    ExpectStop(inst_, StopText(instPath_ + "Kelvra.exe"));
    ExpectFirstKept(instPath_);
    held.Release();
    EXPECT_EQ(ReadFileBytesW(Inst("Kelvra.exe")), "in use");
    Complete(inst_);
}

// A real full disk: a 1 MiB tmpfs that a 2 MiB record cannot fit.
TEST_F(FaultFileSystem, FullDisk)
{
    SmallDisk disk(1024);
    if (!disk.Mounted()) GTEST_SKIP() << "no small file system: " << disk.Why();
    MatrixCase tally("Full disk");
    const std::wstring folder = Widen(disk.WindowsPath()) + L"\\inst";
    const std::string instPath = disk.WindowsPath() + "\\inst\\";
    extraWatches_.push_back({Widen(disk.WindowsPath()), true, {folder}});
    medium_.Write("Setup.pkg", Record("first.txt", "first") + Record("big.bin", Pattern(2 * 1024 * 1024, 11)) +
                                   Record("after.txt", "after"));
    ExpectStop(folder, StopText(instPath + "big.bin"));
    ExpectFirstKept(instPath);
    EXPECT_FALSE(FileExistsW(folder + L"\\after.txt"));
    // Space made again: the user removes what filled the disk.
    ::DeleteFileW((folder + L"\\big.bin").c_str());
    medium_.Write("Setup.pkg", Package(files_));
    Complete(folder);
    RemoveTreeW(folder);
}

TEST_F(FaultFileSystem, InstallFolderOf259Characters)
{
    MatrixCase tally("Install folder on a path of 259 characters");
    const std::wstring full = area_ + L"\\" + std::wstring(259 - area_.size() - 1, L'f');
    ASSERT_EQ(full.size(), 259u);
    medium_.Write("Setup.pkg", FirstThenProduct());
    // Its first target no longer fits: nothing is created, not even the folder.
    ExpectStop(full, StopText(Narrow(full) + "\\first.txt"));
    EXPECT_FALSE(FileExistsW(full));
    Complete(inst_);
}

// ---------------------------------------------------------------------------
// Registry

class FaultRegistry : public Fault {
public:
    std::string Layout(int depth) const
    {
        std::string key = std::string(kRecordKey) + "\\WindowsLayout";
        for (int i = 1; i < depth; ++i) key += "\\Level" + std::to_string(i);
        return key;
    }

    void MakeDeepLayout()
    {
        for (int depth = 1; depth <= 20; ++depth) {
            ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, Layout(depth), "Value" + std::to_string(depth), "v"));
            ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, Layout(depth) + "\\Side", "S", "s"));
        }
        ASSERT_TRUE(RegKeyExists(HKEY_CURRENT_USER, Layout(20)));
    }

    void MakeDwordInstPath()
    {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, kRecordKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        const DWORD value = 0x12345678;
        EXPECT_EQ(::RegSetValueExA(key, "InstPath", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value),
                  ERROR_SUCCESS);
        ::RegCloseKey(key);
        ASSERT_EQ(ReadRegValue(HKEY_CURRENT_USER, kRecordKey, "InstPath").type, static_cast<DWORD>(REG_DWORD));
    }

    void ExpectRecordRewritten()
    {
        EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, Layout(1)));
        EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, kRecordKey, "Other").bytes, std::string("kept", 5));
        const RegValue v = ReadRegValue(HKEY_CURRENT_USER, kRecordKey, "InstPath");
        EXPECT_EQ(v.type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(v.bytes, instPath_ + '\0');
    }
};

// Each leftover before a run that stops (the record is written first) and
// before a run that completes.
TEST_F(FaultRegistry, LeftoversAreReplacedOnStopAndOnCompletion)
{
    const struct {
        const char* row;
        void (FaultRegistry::*make)();
    } kCases[] = {
        {"WindowsLayout 20 levels deep with values", &FaultRegistry::MakeDeepLayout},
        {"InstPath of type REG_DWORD present", &FaultRegistry::MakeDwordInstPath},
    };
    for (bool completing : {false, true}) {
        for (const auto& c : kCases) {
            MatrixCase tally(c.row);
            SCOPED_TRACE(std::string(c.row) + (completing ? ", completing" : ", stopping"));
            ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kRecordKey, "Other", "kept"));
            (this->*c.make)();
            if (completing) {
                medium_.Write("Setup.pkg", Package(files_));
                ExpectCompletion(inst_, {ProgramsShortcut("Kelvra"), DesktopShortcut("Kelvra")});
            } else {
                medium_.Write("Setup.pkg", Record("..\\esc.txt", "x"));
                ExpectStop(inst_, StopText(instPath_ + "..\\esc.txt"));
            }
            ExpectRecordRewritten();
        }
    }
}

// ---------------------------------------------------------------------------
// Shortcuts

class FaultShortcut : public Fault {
protected:
    // A run with `name` from the setup description: it completes, with no
    // message, and makes exactly the shortcut files in `made`. The record
    // holds `stored`, or `name` when that is empty.
    void RunWithName(const std::string& name, const std::vector<std::string>& made, const std::string& stored = "")
    {
        names_.push_back(name);
        medium_.Write("setup.ini", "Name=" + name + "\r\n");
        medium_.Write("Setup.pkg", Package(files_));
        // The snapshot allows only the files in `made`, and each must be a
        // shortcut to the installed program.
        ExpectCompletion(inst_, made);
        for (const std::string& lnk : made) {
            const Shortcut s = ReadShortcut(lnk);
            EXPECT_TRUE(s.loaded) << lnk;
            EXPECT_EQ(s.target, instPath_ + "Kelvra.exe");
        }
        EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, kRecordKey, "Name").bytes, (stored.empty() ? name : stored) + '\0');
    }
};

TEST_F(FaultShortcut, NameAFileNameCannotHold)
{
    // Passed over: the default name goes into the record and the shortcuts.
    MatrixCase tally("Name with characters a file name cannot hold");
    RunWithName("a|b<c>", {ProgramsShortcut("Kelvra"), DesktopShortcut("Kelvra")}, "Kelvra");
    EXPECT_FALSE(FileExists(ProgramsShortcut("a|b<c>")));
}

// The programs-menu path is the longer one: a Name that makes it pass 259
// characters skips that shortcut and still makes the desktop one; one
// character less makes both.
TEST_F(FaultShortcut, NameThatMakesTheShortcutPathTooLong)
{
    const std::string programs = SpecialFolder(CSIDL_PROGRAMS), desktop = SpecialFolder(CSIDL_DESKTOPDIRECTORY);
    ASSERT_FALSE(programs.empty());
    ASSERT_GT(programs.size(), desktop.size());
    // folder + "\" + name + ".lnk" is 260 characters: 261 bytes with the zero.
    const std::size_t tooLong = 260 - programs.size() - 1 - 4;
    ASSERT_LE(tooLong, 250u);
    {
        MatrixCase tally("Name making the shortcut path pass 260 bytes");
        const std::string name(tooLong, 'N');
        RunWithName(name, {DesktopShortcut(name)});
    }
    {
        MatrixCase tally("Name making the shortcut path pass 260 bytes");
        SCOPED_TRACE("one character shorter: exactly 259 characters");
        const std::string name(tooLong - 1, 'M');
        ASSERT_EQ(ProgramsShortcut(name).size(), 259u);
        RunWithName(name, {ProgramsShortcut(name), DesktopShortcut(name)});
    }
}

} // namespace
