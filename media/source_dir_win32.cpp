#include "media/source_dir_win32.h"

#include <windows.h>

bool GetSourceDirectory(std::string& directory)
{
    directory.clear();
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0) return false;
    // A cut path fills the buffer without a terminating zero.
    directory = DirectoryOfProgramPath(std::string(path, length < MAX_PATH ? length : MAX_PATH),
                                       AnsiLeadBytes());
    return true;
}

LeadBytes AnsiLeadBytes()
{
    LeadBytes lb;
    CPINFO info = {};
    if (!GetCPInfo(CP_ACP, &info)) return lb;
    // Pairs of first and last lead byte, ended by a pair of zeros.
    for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2)
        lb.SetRange(info.LeadByte[i], info.LeadByte[i + 1]);
    return lb;
}
