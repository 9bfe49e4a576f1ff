#include "install/install_folder.h"

std::string InstallFolderFromText(const std::string& text, const LeadBytes& lb)
{
    std::string folder = text;
    if (!EndsWithCharMb(folder, '\\', lb)) folder += '\\';
    return folder;
}
