#include "install/shortcuts_win32.h"

#include <shlwapi.h>

#include <cstring>

#include "base/strings_win32.h"
#include "base/handles_win32.h"
#include "media/medium.h"
#include "res/resource.h"


namespace {

const char kShortcutExtension[] = ".lnk";

// Programs menu first, then the desktop.
const int kShortcutFolders[] = {CSIDL_PROGRAMS, CSIDL_DESKTOPDIRECTORY};

void SaveShortcut(IPersistFile* file, int folderId, const std::string& name, HWND owner)
{
    char folder[MAX_PATH] = {};
    // A failed lookup would leave "\Name.lnk" at the root of the current drive.
    if (!::SHGetSpecialFolderPathA(owner, folder, folderId, FALSE)) return;
    std::string path;
    if (!ShortcutFilePath(folder, name, path)) return;

    WCHAR wide[MAX_PATH] = {};
    if (!::MultiByteToWideChar(TextCodePage(), 0, path.c_str(), -1, wide, MAX_PATH)) return;
    file->Save(wide, TRUE);
}

} // namespace

bool ShortcutFilePath(const char* folder, const std::string& name, std::string& path)
{
    path.clear();
    const std::size_t folderLength = std::strlen(folder);
    if (folderLength == 0) return false;
    const std::size_t length = folderLength + 1 + name.size() + (sizeof kShortcutExtension - 1);
    if (length + 1 > MAX_PATH) return false;
    path.assign(folder, folderLength);
    path += '\\';
    path += name;
    path += kShortcutExtension;
    return true;
}

void FillAndSaveShortcuts(IShellLinkA* link, const std::string& installFolder,
                          const std::string& name, HWND owner)
{
    link->SetPath((installFolder + medium::kProgramName).c_str());
    link->SetWorkingDirectory(installFolder.c_str());

    std::string description;
    LoadTextWithName(description, IDS_SHORTCUT_DESC, name);
    link->SetDescription(description.c_str());

    const std::string icon = installFolder + medium::kIconName;
    if (::PathFileExistsA(icon.c_str())) link->SetIconLocation(icon.c_str(), 0);

    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.PutVoid())) || !file) return;
    for (int folderId : kShortcutFolders) SaveShortcut(file.get(), folderId, name, owner);
}

ShortcutResult CreateShortcuts(const std::string& installFolder, const std::string& name, HWND owner)
{
    ComPtr<IShellLinkA> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  link.PutVoid())) || !link)
        return ShortcutResult::kNoLinkObject;
    FillAndSaveShortcuts(link.get(), installFolder, name, owner);
    return ShortcutResult::kDone;
}
