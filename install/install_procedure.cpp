#include "install/install_procedure.h"

#include "install/install_folder.h"
#include "media/extract.h"
#include "media/medium.h"
#include "media/package_format.h"
#include "res/resource.h"

namespace {

const char kRecordKey[] = "Software\\Kelvra";
const char kWindowsLayoutKey[] = "WindowsLayout";
const char kInstPathValue[] = "InstPath";
const char kNameValue[] = "Name";
const char kTitleValue[] = "Title";
const unsigned kPauseMilliseconds = 300;

// Why a run stopped: a text id, and for some texts a path on a line of its own.
struct Stop {
    unsigned text = 0;
    bool hasPath = false;
    std::string path;

    bool Set(unsigned id)
    {
        text = id;
        return false;
    }
    bool Set(unsigned id, const std::string& p)
    {
        hasPath = true;
        path = p;
        return Set(id);
    }
};

// A relative text would put a relative path into the record and the
// shortcuts, which nothing can resolve later; the files themselves land
// where the full path says. When it cannot be made whole it stays as typed.
std::string InstallFolder(const InstallRequest& request, InstallPlatform& platform)
{
    const std::string folder = InstallFolderFromText(request.folderText, request.leadBytes);
    const std::string full = platform.FullPath(folder);
    return full.empty() ? folder : InstallFolderFromText(full, request.leadBytes);
}

// Nothing here stops the run.
void WriteRecord(InstallPlatform& platform, const std::string& folder, const InstallRequest& request)
{
    if (platform.OpenRecordKey(kRecordKey)) {
        // A layout left by an earlier installation must not outlive it.
        platform.DeleteRecordSubKey(kWindowsLayoutKey);
    } else if (!platform.CreateRecordKey(kRecordKey)) {
        return;
    }
    platform.SetRecordString(kInstPathValue, folder);
    platform.SetRecordString(kNameValue, request.name);
    platform.SetRecordString(kTitleValue, request.title);
    platform.CloseRecordKey();
}

// What a run works with once the install folder is known.
struct Run {
    InstallDialog& dialog;
    InstallPlatform& platform;
    const InstallRequest& request;
    const std::string& folder;
    Stop stop;
};

bool Unpack(Run& run, const std::string& source)
{
    std::uint64_t size = 0;
    ByteSource* const package = run.platform.OpenPackage(source + medium::kPackageName, size);
    if (!package) return run.stop.Set(IDS_ERR_OPEN_PACKAGE);
    // A package of 2 GiB or more would read as a negative size, and so as
    // empty: the installation would go on without the product's files.
    if (!PackageSizeFits(size)) {
        run.platform.ClosePackage();
        return run.stop.Set(IDS_ERR_OPEN_PACKAGE);
    }
    const ExtractResult result = RunExtraction(*package, static_cast<std::int32_t>(size), run.folder,
                                               run.request.leadBytes, run.platform.Files(), &run.dialog);
    run.platform.ClosePackage();
    return result.ok || run.stop.Set(IDS_ERR_CREATE_FILE, result.failedPath);
}

bool CopySideFiles(Run& run, const std::string& source)
{
    for (const medium::SideFile& file : medium::kSideFiles) {
        const std::string from = source + file.name;
        if (run.platform.CopySideFile(from, run.folder + file.name) || !file.required) continue;
        return run.stop.Set(IDS_ERR_COPY_FILE, from);
    }
    return true;
}

bool Install(Run& run)
{
    // Without the program's own folder there is no medium to install from:
    // a bare "Setup.pkg" would be looked up wherever the current folder is.
    std::string source;
    if (!run.platform.SourceDirectory(source))
        return source.empty() ? run.stop.Set(IDS_ERR_OPEN_PACKAGE) : run.stop.Set(IDS_ERR_OPEN_PACKAGE, source);
    return Unpack(run, source) && CopySideFiles(run, source) &&
           (run.platform.CreateShortcuts(run.folder, run.request.name) || run.stop.Set(IDS_ERR_SHORTCUT));
}

} // namespace

InstallOutcome RunInstall(const InstallRequest& request, InstallDialog& dialog, InstallPlatform& platform,
                          std::string& folder)
{
    folder.clear();
    if (request.folderText.empty()) return InstallOutcome::kNothing;
    folder = InstallFolder(request, platform);

    WriteRecord(platform, folder, request);

    dialog.EnableControls(false);
    platform.Pause(kPauseMilliseconds);
    dialog.ShowWaitCursor();

    Run run{dialog, platform, request, folder, Stop()};
    if (!Install(run)) {
        dialog.EnableControls(true);
        dialog.RestoreCursor();
        dialog.ShowError(run.stop.text, run.stop.hasPath ? &run.stop.path : nullptr);
        return InstallOutcome::kStopped;
    }

    dialog.SetProgress(kFinalProgress);
    dialog.EnableControls(true);
    dialog.RestoreCursor();
    platform.Pause(kPauseMilliseconds);
    return InstallOutcome::kCompleted;
}
