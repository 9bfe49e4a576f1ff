// The install button's run against a dialog and a system that record every
// call in one log: the order of the steps and every way a run stops.
#include <gtest/gtest.h>

#include <initializer_list>
#include <set>
#include <string>
#include <vector>

#include "install/install_procedure.h"

namespace {

using Log = std::vector<std::string>;

class Recorder : public InstallDialog, public InstallPlatform {
public:
    Log log;
    // What the system answers; by default every step works.
    const char* fullPath = nullptr;   // null: the folder is whole already
    bool keyExists = true;
    bool keyCreatable = true;
    bool sourceKnown = true;
    bool packageOpens = true;
    std::uint64_t packageSize = 1234;
    const char* extractionFailsAt = nullptr;
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
    bool OpenPackage(const std::string& path, std::uint64_t& size) override
    {
        size = packageOpens ? packageSize : 0;
        return Add("OpenPackage " + path, packageOpens);
    }
    bool ExtractPackage(std::int32_t size, const std::string& folder, std::string& failedPath) override
    {
        failedPath = extractionFailsAt ? extractionFailsAt : "";
        return Add("ExtractPackage " + std::to_string(size) + " " + folder, !extractionFailsAt);
    }
    void ClosePackage() override { Add("ClosePackage"); }
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
Log Unpacked(const std::string& folder)
{
    return {"OpenPackage D:\\medium\\Setup.pkg", "ExtractPackage 1234 " + folder, "ClosePackage"};
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
        {"package of 2 GiB less one byte", "C:\\Kelvra", [](Recorder& r) { r.packageSize = 0x7FFFFFFFu; },
         InstallOutcome::kCompleted,
         Join({{"FullPath C:\\Kelvra\\"}, kKeyOpened, RecordWritten(kFolder), kStart,
               {"OpenPackage D:\\medium\\Setup.pkg", "ExtractPackage 2147483647 " + kFolder, "ClosePackage"},
               Copies(kFolder, 5), Completed(kFolder)}),
         kFolder},
        {"extraction fails with a path", "C:\\Kelvra",
         [](Recorder& r) { r.extractionFailsAt = "C:\\Kelvra\\sub\\three"; }, InstallOutcome::kStopped,
         Join({{"FullPath C:\\Kelvra\\"}, kKeyOpened, RecordWritten(kFolder), kStart, Unpacked(kFolder),
               Stopped("2002 C:\\Kelvra\\sub\\three")}),
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
