#include "media/source_dir_win32.h"

#include "base/module_win32.h"
#include "base/strings_win32.h"

bool GetSourceDirectory(std::string& directory)
{
    directory.clear();
    std::string path;
    if (!GetProgramPath(path)) {
        directory = path;
        return false;
    }
    directory = DirectoryOfProgramPath(path, AnsiLeadBytes());
    return true;
}
