#include "base/dll_policy.h"

const char* const kPreloadedSystemDlls[] = {
    "uxtheme.dll", "userenv.dll", "setupapi.dll", "apphelp.dll", "propsys.dll", "dwmapi.dll",
    "cryptbase.dll", "oleacc.dll", "clbcatq.dll", "ntmarta.dll", "version.dll",
};
const std::size_t kPreloadedSystemDllCount = sizeof kPreloadedSystemDlls / sizeof kPreloadedSystemDlls[0];

DllSearchMode ChooseDllSearchMode(unsigned long major, unsigned long minor,
                                  bool haveSetDefaultDllDirectories)
{
    const bool vista = major == 6 && minor == 0;
    if (haveSetDefaultDllDirectories && !vista) return DllSearchMode::kSystemFolderOnly;
    return DllSearchMode::kPreloadFromSystemFolder;
}

bool IsBareDllName(const std::string& name)
{
    if (name.empty() || name == "." || name == "..") return false;
    // A plain byte scan: it also refuses a double-byte character whose
    // trail byte is 0x5C, which only makes such a load fail. The program's
    // DLL names are ASCII.
    for (const char c : name)
        if (c == '\\' || c == '/' || c == ':' || c == '\0') return false;
    return true;
}

std::string SystemFolderPath(const std::string& systemDir, const std::string& name)
{
    if (systemDir.empty() || !IsBareDllName(name)) return std::string();
    std::string path = systemDir;
    if (path.back() != '\\' && path.back() != '/') path += '\\';
    return path + name;
}
