#include "base/dll_policy.h"

// What a whole installation loads after start-up (splash, folder browser,
// installation, completion dialog, driver button), from a load trace under
// Wine, plus what Windows itself is known to pull in (cryptbase, clbcatq,
// ntmarta). Not here: the static imports, which are in memory before any of
// this runs, and the side-by-side assemblies (comctl32, gdiplus), whose
// system-folder copies are other versions.
const char* const kPreloadedSystemDlls[] = {
    "uxtheme.dll", "userenv.dll", "setupapi.dll", "apphelp.dll", "propsys.dll", "dwmapi.dll",
    "cryptbase.dll", "oleacc.dll", "clbcatq.dll", "ntmarta.dll", "version.dll",
    "oleaut32.dll", "msimg32.dll", "windowscodecs.dll",
};
const std::size_t kPreloadedSystemDllCount = sizeof kPreloadedSystemDlls / sizeof kPreloadedSystemDlls[0];

DllSearchMode ChooseDllSearchMode(unsigned long major, unsigned long minor,
                                  bool haveSetDefaultDllDirectories)
{
    const bool vista = major == 6 && minor == 0;
    if (haveSetDefaultDllDirectories && !vista) return DllSearchMode::kSystemFolderOnly;
    return DllSearchMode::kPreloadFromSystemFolder;
}

namespace {

bool SameAsciiName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        const char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
        if (x != y) return false;
    }
    return true;
}

} // namespace

std::vector<std::string> DllsToPreload(const std::vector<std::string>& knownDlls)
{
    std::vector<std::string> names;
    for (std::size_t i = 0; i < kPreloadedSystemDllCount; ++i) {
        bool known = false;
        for (const std::string& k : knownDlls) known = known || SameAsciiName(k, kPreloadedSystemDlls[i]);
        if (!known) names.push_back(kPreloadedSystemDlls[i]);
    }
    return names;
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
