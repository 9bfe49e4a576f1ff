#include "media/source_dir.h"

std::string DirectoryOfProgramPath(const std::string& programPath, const LeadBytes& lb)
{
    const std::size_t slash = FindLastCharMb(programPath, '\\', lb);
    if (slash == std::string::npos) return programPath;
    return programPath.substr(0, slash + 1);
}
