#include "install/install_platform_win32.h"

#include "base/ansi_win32.h"
#include "install/shortcuts_win32.h"
#include "media/source_dir_win32.h"

std::string Win32InstallPlatform::FullPath(const std::string& folder)
{
    // Resolved wide: the ANSI function would hand back a best-fit look-alike
    // of a current folder the code page cannot hold.
    std::string full;
    return NarrowExact(FullPathWide(WidenAnsi(folder)), full) ? full : std::string();
}

bool Win32InstallPlatform::OpenRecordKey(const char* path)
{
    return key_.Open(HKEY_CURRENT_USER, path) == ERROR_SUCCESS;
}

bool Win32InstallPlatform::CreateRecordKey(const char* path)
{
    return key_.Create(HKEY_CURRENT_USER, path) == ERROR_SUCCESS;
}

void Win32InstallPlatform::DeleteRecordSubKey(const char* name)
{
    DeleteKeyTree(key_.get(), name);
}

void Win32InstallPlatform::SetRecordString(const char* name, const std::string& value)
{
    key_.SetString(name, value);
}

void Win32InstallPlatform::CloseRecordKey()
{
    key_.Close();
}

bool Win32InstallPlatform::SourceDirectory(std::string& directory)
{
    return GetSourceDirectory(directory);
}

ByteSource* Win32InstallPlatform::OpenPackage(const std::string& path, std::uint64_t& size)
{
    size = 0;
    package_.reset(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
    if (!package_) return nullptr;
    DWORD high = 0;
    ::SetLastError(NO_ERROR);
    const DWORD low = ::GetFileSize(package_.get(), &high);
    if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) {
        package_.reset();
        return nullptr;
    }
    size = static_cast<std::uint64_t>(high) << 32 | low;
    packageSource_ = HandleSource(package_.get());
    return &packageSource_;
}

void Win32InstallPlatform::ClosePackage()
{
    packageSource_ = HandleSource();
    package_.reset();
}

bool Win32InstallPlatform::CopySideFile(const std::string& from, const std::string& to)
{
    return ::CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
}

bool Win32InstallPlatform::CreateShortcuts(const std::string& folder, const std::string& name)
{
    return ::CreateShortcuts(folder, name, owner_) != ShortcutResult::kNoLinkObject;
}

void Win32InstallPlatform::Pause(unsigned milliseconds)
{
    ::Sleep(milliseconds);
}
