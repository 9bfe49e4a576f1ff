// The install procedure's system operations on Windows.
#ifndef KELVRA_INSTALL_INSTALL_PLATFORM_WIN32_H
#define KELVRA_INSTALL_INSTALL_PLATFORM_WIN32_H

#include <windows.h>

#include "base/handles_win32.h"
#include "install/install_procedure.h"
#include "install/registry_win32.h"
#include "media/extract_win32.h"

class Win32InstallPlatform : public InstallPlatform {
public:
    // `owner` owns the special-folder lookups of the shortcuts; `lb` are the
    // lead bytes of the code page the install folder and names are in.
    Win32InstallPlatform(HWND owner, const LeadBytes& lb) : owner_(owner), files_(lb) {}
    Win32InstallPlatform(const Win32InstallPlatform&) = delete;
    Win32InstallPlatform& operator=(const Win32InstallPlatform&) = delete;
    virtual ~Win32InstallPlatform() = default;

    std::string FullPath(const std::string& folder) override;
    bool OpenRecordKey(const char* path) override;
    bool CreateRecordKey(const char* path) override;
    void DeleteRecordSubKey(const char* name) override;
    void SetRecordString(const char* name, const std::string& value) override;
    void CloseRecordKey() override;
    bool SourceDirectory(std::string& directory) override;
    ByteSource* OpenPackage(const std::string& path, std::uint64_t& size) override;
    void ClosePackage() override;
    ExtractTarget& Files() override { return files_; }
    bool CopySideFile(const std::string& from, const std::string& to) override;
    bool CreateShortcuts(const std::string& folder, const std::string& name) override;
    void Pause(unsigned milliseconds) override;

private:
    HWND owner_;
    RegKey key_;
    FileHandle package_;
    HandleSource packageSource_;
    DiskTarget files_;
};

#endif
