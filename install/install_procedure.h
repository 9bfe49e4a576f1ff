// The install button's run: the registry record, the package, the side files
// and the shortcuts, in this order, against the main dialog and the system.
// Both are interfaces, so that the order and every way a run stops can be
// followed without a window or a registry. The run drives the extraction
// itself: the system hands it the package to read and the disk to write,
// and the dialog's bar is the extraction's progress.
#ifndef KELVRA_INSTALL_INSTALL_PROCEDURE_H
#define KELVRA_INSTALL_INSTALL_PROCEDURE_H

#include <cstdint>
#include <string>

#include "base/codepage.h"
#include "media/extract.h"
#include "media/package_format.h"

// What a run needs of the main dialog. SetProgress moves its bar: one step
// per record, and at the end kFinalProgress.
class InstallDialog : public ExtractProgress {
public:
    // The folder edit, the browse button and the install button, in this order.
    virtual void EnableControls(bool enable) = 0;
    // Sets the wait cursor and keeps the one it replaces for RestoreCursor.
    virtual void ShowWaitCursor() = 0;
    virtual void RestoreCursor() = 0;
    // An error box owned by the dialog: the error caption, the text of
    // `textId` and, when `path` is given, a line feed and the path. Returns
    // when the user has closed it.
    virtual void ShowError(unsigned textId, const std::string* path) = 0;

protected:
    ~InstallDialog() = default;
};

// What a run needs of the system.
class InstallPlatform {
public:
    // `folder` made whole against the current folder, as the file system
    // will resolve it; empty when it cannot be.
    virtual std::string FullPath(const std::string& folder) = 0;

    // The record key under the current user's hive, opened or created with
    // read and write access; one key at a time.
    virtual bool OpenRecordKey(const char* path) = 0;
    virtual bool CreateRecordKey(const char* path) = 0;
    // Deletes the sub-key `name` of the record key with everything below it.
    virtual void DeleteRecordSubKey(const char* name) = 0;
    virtual void SetRecordString(const char* name, const std::string& value) = 0;
    virtual void CloseRecordKey() = 0;

    // The folder of the running setup program, ending in a backslash; false
    // when the program's path cannot be had whole and exactly, and then
    // `directory` is that path as far as it could be had, or empty.
    virtual bool SourceDirectory(std::string& directory) = 0;
    // Opens the package for reading, unshared, at its first byte; null when
    // it cannot be opened or its size cannot be learnt. It is read until
    // ClosePackage.
    virtual ByteSource* OpenPackage(const std::string& path, std::uint64_t& size) = 0;
    virtual void ClosePackage() = 0;
    // Where the package's records are written: folders and files.
    virtual ExtractTarget& Files() = 0;
    // Copies `from` over `to`, replacing a file that is there.
    virtual bool CopySideFile(const std::string& from, const std::string& to) = 0;
    // Both shortcuts of `name` to the program in `folder`; false only when
    // the shell link object cannot be created.
    virtual bool CreateShortcuts(const std::string& folder, const std::string& name) = 0;
    virtual void Pause(unsigned milliseconds) = 0;

protected:
    ~InstallPlatform() = default;
};

struct InstallRequest {
    std::string folderText;   // the folder edit's text as read
    std::string name;         // product name and title of the setup description
    std::string title;
    LeadBytes leadBytes;      // of the code page the texts and paths are in
};

enum class InstallOutcome {
    kNothing,    // empty folder text: nothing was touched
    kStopped,    // a message was shown; the dialog is usable again
    kCompleted,  // the dialog may close and hand over to the completion dialog
};

// Runs the installation. On kStopped and kCompleted `folder` is the install
// folder: a full path ending in a backslash.
InstallOutcome RunInstall(const InstallRequest& request, InstallDialog& dialog, InstallPlatform& platform,
                          std::string& folder);

#endif
