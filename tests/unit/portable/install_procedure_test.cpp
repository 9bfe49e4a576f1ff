// The install button's run against a dialog and a system that record every
// call in one log: the order of the steps, the extraction the run drives
// (its bar, folders and files) and every way a run stops.
#include <gtest/gtest.h>

#include <initializer_list>
#include <set>
#include <string>
#include <vector>

#include "install/install_procedure.h"
#include "tests/common/bytes.h"

namespace {

using Log = std::vector<std::string>;
using testbytes::Record;

const std::string kJou = "\x81\x5C";   // 乗 in code page 936: its trail byte is a backslash

class Recorder : public InstallDialog, public InstallPlatform, public ExtractTarget {
public:
    Log log;
    // What the system answers; by default every step works.
    const char* fullPath = nullptr;   // null: the folder is whole already
    bool keyExists = true;
    bool keyCreatable = true;
    bool sourceKnown = true;
    bool packageOpens = true;
    // Two records; the first is found in its folder only by the request's
    // lead bytes.
    std::string package = Record(kJou + "\\one.txt", "one") + Record("two", "");
    std::uint64_t packageSize = package.size();
    std::string refusedFile;   // a target path that cannot be created
    std::set<std::string> failingCopies;   // by source path
    bool linkObject = true;

    void SetProgress(int position) override { Add("SetProgress " + std::to_string(position)); }
    void EnableControls(bool enable) override { Add(enable ? "EnableControls 1" : "EnableControls 0"); }
    void ShowWaitCursor() override { Add("ShowWaitCursor"); }
    void RestoreCursor() override { Add("RestoreCursor"); }
    void ShowError(unsigned textId, const std::string* path) override
    {
        Add("ShowError " + std::to_string(textId) + (path ? " " + *path : ""));
    }

    std::string FullPath(const std::string& folder) override
    {
        Add("FullPath " + folder);
        return fullPath ? fullPath : folder;
    }
    bool OpenRecordKey(const char* path) override { return Add("OpenRecordKey " + std::string(path), keyExists); }
    bool CreateRecordKey(const char* path) override
    {
        return Add("CreateRecordKey " + std::string(path), keyCreatable);
    }
    void DeleteRecordSubKey(const char* name) override { Add("DeleteRecordSubKey " + std::string(name)); }
    void SetRecordString(const char* name, const std::string& value) override
    {
        Add("SetRecordString " + std::string(name) + " " + value);
    }
    void CloseRecordKey() override { Add("CloseRecordKey"); }
    bool SourceDirectory(std::string& directory) override
    {
        directory = sourceKnown ? "D:\\medium\\" : "";
        return Add("SourceDirectory", sourceKnown);
    }
    ByteSource* OpenPackage(const std::string& path, std::uint64_t& size) override
    {
        size = packageOpens ? packageSize : 0;
        source = MemorySource(reinterpret_cast<const unsigned char*>(package.data()), package.size());
        return Add("OpenPackage " + path, packageOpens) ? &source : nullptr;
    }
    void ClosePackage() override { Add("ClosePackage"); }
    ExtractTarget& Files() override { return *this; }
    void CreateFolders(const std::string& path) override { Add("CreateFolders " + path); }
    bool CreateTargetFile(const std::string& path) override
    {
        return Add("CreateTargetFile " + path, path != refusedFile);
    }
    bool WriteTarget(const unsigned char* data, std::size_t n) override
    {
        return Add("WriteTarget " + std::string(reinterpret_cast<const char*>(data), n));
    }
    bool CloseTargetFile() override { return Add("CloseTargetFile"); }
    bool CopySideFile(const std::string& from, const std::string& to) override
    {
        return Add("CopySideFile " + from + " " + to, failingCopies.count(from) == 0);
    }
    bool CreateShortcuts(const std::string& folder, const std::string& name) override
    {
        return Add("CreateShortcuts " + folder + " " + name, linkObject);
    }
    void Pause(unsigned milliseconds) override { Add("Pause " + std::to_string(milliseconds)); }

private:
    MemorySource source{nullptr, 0};

    bool Add(const std::string& call, bool answer = true)
    {
        log.push_back(call);
        return answer;
    }
};

Log Join(std::initializer_list<Log> parts)
{
    Log all;
    for (const Log& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

const std::string kFolder = "C:\\Kelvra\\";

Log RecordWritten(const std::string& folder)
{
    return {"SetRecordString InstPath " + folder, "SetRecordString Name Zephyr", "SetRecordString Title Wind",
            "CloseRecordKey"};
}
const Log kKeyOpened = {"OpenRecordKey Software\\Kelvra", "DeleteRecordSubKey WindowsLayout"};
const Log kStart = {"EnableControls 0", "Pause 300", "ShowWaitCursor", "SourceDirectory"};
Log FirstCalls(const Log& log, std::size_t n)
{
    return Log(log.begin(), log.begin() + static_cast<std::ptrdiff_t>(n));
}

const Log kOpened = {"OpenPackage D:\\medium\\Setup.pkg"};
// Both records of the recorder's package, the bar stepped before each.
Log Extracted(const std::string& folder)
{
    const std::string one = folder + kJou + "\\one.txt";
    return {"SetProgress 1", "CreateFolders " + one, "CreateTargetFile " + one, "WriteTarget one", "CloseTargetFile",
            "SetProgress 2", "CreateFolders " + folder + "two", "CreateTargetFile " + folder + "two",
            "CloseTargetFile"};
}
Log Unpacked(const std::string& folder)
{
    return Join({kOpened, Extracted(folder), {"ClosePackage"}});
}
// The first `n` side-file copies, in the medium's order.
Log Copies(const std::string& folder, std::size_t n)
{
    const Log all = {
        "CopySideFile D:\\medium\\Splash.bmp " + folder + "Splash.bmp",
        "CopySideFile D:\\medium\\icon.ico " + folder + "icon.ico",
        "CopySideFile D:\\medium\\Microsoft.VC80.CRT.manifest " + folder + "Microsoft.VC80.CRT.manifest",
        "CopySideFile D:\\medium\\msvcp80.dll " + folder + "msvcp80.dll",
        "CopySideFile D:\\medium\\msvcr80.dll " + folder + "msvcr80.dll",
    };
    return Log(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(n));
}
Log Completed(const std::string& folder)
{
    return {"CreateShortcuts " + folder + " Zephyr", "SetProgress 500", "EnableControls 1", "RestoreCursor",
            "Pause 300"};
}
Log Stopped(const std::string& message)
{
    return {"EnableControls 1", "RestoreCursor", "ShowError " + message};
}

TEST(RunInstall, StepsInOrderAndEveryWayARunStops)
{
    const std::string jou = "\x81\x5C";   // 乗 in code page 936: its trail byte is a backslash
    const struct {
        const char* what;
        std::string text;
        void (*configure)(Recorder&);
        InstallOutcome outcome;
        Log log;
        std::string folder;
    } cases[] = {
        {"whole run, key there", "C:\\Kelvra", [](Recorder&) {}, InstallOutcome::kCompleted,
         Join({{"FullPath C:\\Kelvra\\"}, kKeyOpened, RecordWritten(kFolder), kStart, Unpacked(kFolder),
               Copies(kFolder, 5), Completed(kFolder)}),
         kFolder},
        {"empty text", "", [](Recorder&) {}, InstallOutcome::kNothing, {}, ""},
        {"first installation: key created", "C:\\Kelvra\\", [](Recorder& r) { r.keyExists = false; },
         InstallOutcome::kCompleted,
         Join({{"FullPath C:\\Kelvra\\", "OpenRecordKey Software\\Kelvra", "CreateRecordKey Software\\Kelvra"},
               RecordWritten(kFolder), kStart, Unpacked(kFolder), Copies(kFolder, 5), Completed(kFolder)}),
         kFolder},
        {"key neither opened nor created", "C:\\Kelvra",
         [](Recorder& r) { r.keyExists = r.keyCreatable = false; }, InstallOutcome::kCompleted,
         Join({{"FullPath C:\\Kelvra\\", "OpenRecordKey Software\\Kelvra", "CreateRecordKey Software\\Kelvra"},
               kStart, Unpacked(kFolder), Copies(kFolder, 5), Completed(kFolder)}),
         kFolder},
        {"relative text made whole everywhere", "KelvraRel",
         [](Recorder& r) { r.fullPath = "Z:\\cwd\\KelvraRel\\"; }, InstallOutcome::kCompleted,
         Join({{"FullPath KelvraRel\\"}, kKeyOpened, RecordWritten("Z:\\cwd\\KelvraRel\\"), kStart,
               Unpacked("Z:\\cwd\\KelvraRel\\"), Copies("Z:\\cwd\\KelvraRel\\", 5),
               Completed("Z:\\cwd\\KelvraRel\\")}),
         "Z:\\cwd\\KelvraRel\\"},
        {"full path that lost its backslash gets it back, 936", "C:\\" + jou,
         [](Recorder& r) { r.fullPath = "C:\\\x81\x5C"; }, InstallOutcome::kCompleted,
         Join({{"FullPath C:\\" + jou + "\\"}, kKeyOpened, RecordWritten("C:\\" + jou + "\\"), kStart,
               Unpacked("C:\\" + jou + "\\"), Copies("C:\\" + jou + "\\", 5), Completed("C:\\" + jou + "\\")}),
         "C:\\" + jou + "\\"},
        {"no full path: the text as typed", "KelvraRel", [](Recorder& r) { r.fullPath = ""; },
         InstallOutcome::kCompleted,
         Join({{"FullPath KelvraRel\\"}, kKeyOpened, RecordWritten("KelvraRel\\"), kStart, Unpacked("KelvraRel\\"),
               Copies("KelvraRel\\", 5), Completed("KelvraRel\\")}),
         "KelvraRel\\"},
        {"program path unknown", "C:\\Kelvra", [](Recorder& r) { r.sourceKnown = false; },
         InstallOutcome::kStopped,
         Join({{"FullPath C:\\Kelvra\\"}, kKeyOpened, RecordWritten(kFolder), kStart, Stopped("2001")}), kFolder},
        {"package missing", "C:\\Kelvra", [](Recorder& r) { r.packageOpens = false; }, InstallOutcome::kStopped,
         Join({{"FullPath C:\\Kelvra\\"}, kKeyOpened, RecordWritten(kFolder), kStart,
               {"OpenPackage D:\\medium\\Setup.pkg"}, Stopped("2001")}),
         kFolder},
        {"package of 2 GiB", "C:\\Kelvra", [](Recorder& r) { r.packageSize = 0x80000000u; },
         InstallOutcome::kStopped,
         Join({{"FullPath C:\\Kelvra\\"}, kKeyOpened, RecordWritten(kFolder), kStart,
               {"OpenPackage D:\\medium\\Setup.pkg", "ClosePackage"}, Stopped("2001")}),
         kFolder},
        // The size is believed: a third record is looked for past the two.
        {"package of 2 GiB less one byte", "C:\\Kelvra", [](Recorder& r) { r.packageSize = 0x7FFFFFFFu; },
         InstallOutcome::kStopped,
         Join({{"FullPath C:\\Kelvra\\"}, kKeyOpened, RecordWritten(kFolder), kStart, kOpened,
               Extracted(kFolder), {"SetProgress 3", "ClosePackage"}, Stopped("2002 " + kFolder)}),
         kFolder},
        {"extraction cannot create the second file", "C:\\Kelvra",
         [](Recorder& r) { r.refusedFile = "C:\\Kelvra\\two"; }, InstallOutcome::kStopped,
         Join({{"FullPath C:\\Kelvra\\"}, kKeyOpened, RecordWritten(kFolder), kStart, kOpened,
               FirstCalls(Extracted(kFolder), 8), {"ClosePackage"},
               Stopped("2002 C:\\Kelvra\\two")}),
         kFolder},
        {"empty package", "C:\\Kelvra", [](Recorder& r) { r.package.clear(); r.packageSize = 0; },
         InstallOutcome::kCompleted,
         Join({{"FullPath C:\\Kelvra\\"}, kKeyOpened, RecordWritten(kFolder), kStart, kOpened, {"ClosePackage"},
               Copies(kFolder, 5), Completed(kFolder)}),
         kFolder},
        {"optional side files fail silently", "C:\\Kelvra",
         [](Recorder& r) { r.failingCopies = {"D:\\medium\\Splash.bmp", "D:\\medium\\icon.ico"}; },
         InstallOutcome::kCompleted,
         Join({{"FullPath C:\\Kelvra\\"}, kKeyOpened, RecordWritten(kFolder), kStart, Unpacked(kFolder),
               Copies(kFolder, 5), Completed(kFolder)}),
         kFolder},
        {"required side file fails: later ones not copied", "C:\\Kelvra",
         [](Recorder& r) { r.failingCopies = {"D:\\medium\\msvcp80.dll"}; }, InstallOutcome::kStopped,
         Join({{"FullPath C:\\Kelvra\\"}, kKeyOpened, RecordWritten(kFolder), kStart, Unpacked(kFolder),
               Copies(kFolder, 4), Stopped("2003 D:\\medium\\msvcp80.dll")}),
         kFolder},
        {"first required side file fails", "C:\\Kelvra",
         [](Recorder& r) { r.failingCopies = {"D:\\medium\\Microsoft.VC80.CRT.manifest", "D:\\medium\\icon.ico"}; },
         InstallOutcome::kStopped,
         Join({{"FullPath C:\\Kelvra\\"}, kKeyOpened, RecordWritten(kFolder), kStart, Unpacked(kFolder),
               Copies(kFolder, 3), Stopped("2003 D:\\medium\\Microsoft.VC80.CRT.manifest")}),
         kFolder},
        {"no link object", "C:\\Kelvra", [](Recorder& r) { r.linkObject = false; }, InstallOutcome::kStopped,
         Join({{"FullPath C:\\Kelvra\\"}, kKeyOpened, RecordWritten(kFolder), kStart, Unpacked(kFolder),
               Copies(kFolder, 5), {"CreateShortcuts C:\\Kelvra\\ Zephyr"}, Stopped("2004")}),
         kFolder},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Recorder r;
        c.configure(r);
        const InstallRequest request{c.text, "Zephyr", "Wind", LeadBytes::ForCodePage(936)};
        std::string folder = "stale";
        EXPECT_EQ(RunInstall(request, r, r, folder), c.outcome);
        EXPECT_EQ(r.log, c.log);
        EXPECT_EQ(folder, c.folder);
    }
}

} // namespace
