#include "base/dll_safety_win32.h"

#include <cwchar>
#include <string>
#include <vector>

#include "base/handles_win32.h"

namespace {

// Not in the headers of older SDKs; the values are the platform's.
constexpr DWORD kLoadLibrarySearchSystem32 = 0x00000800;

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryAFn = BOOL(WINAPI*)(LPCSTR);

// Layout of RTL_OSVERSIONINFOW, which ntdll fills.
struct OsVersionInfoW {
    ULONG size;
    ULONG major;
    ULONG minor;
    ULONG build;
    ULONG platform;
    WCHAR servicePack[128];
};
using RtlGetVersionFn = LONG(WINAPI*)(OsVersionInfoW*);

// kernel32 and ntdll are mapped into every process before the program runs;
// GetModuleHandle takes them from memory, never from a folder.
template <class Fn>
bool Kernel32Proc(const char* name, Fn& fn)
{
    return BindProc(::GetModuleHandleA("kernel32.dll"), name, fn);
}

std::string SystemFolder()
{
    char dir[MAX_PATH] = {};
    const UINT n = ::GetSystemDirectoryA(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::string();
    return std::string(dir, n);
}

// By full path; LOAD_WITH_ALTERED_SEARCH_PATH makes the DLL's own
// dependencies come from its folder too, not from beside the program.
HMODULE LoadByFullSystemPath(const std::string& name)
{
    const std::string path = SystemFolderPath(SystemFolder(), name);
    if (path.empty()) return nullptr;
    return ::LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// An activation context from a manifest resource of the program. Private
// assemblies, which Windows looks for where the store lacks one, are to be
// looked for in the system folder, not beside the program.
ActCtxHandle AssemblyContext(unsigned manifestId)
{
    wchar_t program[MAX_PATH] = {}, systemDir[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    const UINT d = ::GetSystemDirectoryW(systemDir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH || d == 0 || d >= MAX_PATH) return ActCtxHandle();
    ACTCTXW request{};
    request.cbSize = sizeof request;
    request.dwFlags =
        ACTCTX_FLAG_RESOURCE_NAME_VALID | ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_ASSEMBLY_DIRECTORY_VALID;
    request.lpSource = program;
    request.hModule = ::GetModuleHandleW(nullptr);
    request.lpResourceName = MAKEINTRESOURCEW(manifestId);
    request.lpAssemblyDirectory = systemDir;
    return ActCtxHandle(::CreateActCtxW(&request));
}

// Whether the active activation context redirects `name` to an assembly of
// the Windows side-by-side store. Where the store lacks the assembly, a
// private copy planted beside the program can stand in: Wine looks for one
// there whatever folder the context names.
bool RedirectedToTheStore(const char* name)
{
    ACTCTX_SECTION_KEYED_DATA redirection{};
    redirection.cbSize = sizeof redirection;
    if (!::FindActCtxSectionStringA(FIND_ACTCTX_SECTION_KEY_RETURN_HACTCTX, nullptr,
                                    ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, name, &redirection))
        return false;
    const ActCtxHandle found(redirection.hActCtx);
    DWORD index = redirection.ulAssemblyRosterIndex;
    SIZE_T size = 0;
    ::QueryActCtxW(0, found.get(), &index, AssemblyDetailedInformationInActivationContext, nullptr, 0, &size);
    std::vector<ULONGLONG> buffer(size / sizeof(ULONGLONG) + 1);
    const auto* info = reinterpret_cast<const ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(buffer.data());
    wchar_t windows[MAX_PATH] = {};
    const UINT n = ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (size == 0 || n == 0 || n >= MAX_PATH ||
        !::QueryActCtxW(0, found.get(), &index, AssemblyDetailedInformationInActivationContext, buffer.data(),
                        buffer.size() * sizeof(ULONGLONG), &size) ||
        !info->lpAssemblyManifestPath)
        return false;
    std::wstring manifest = info->lpAssemblyManifestPath;
    if (manifest.compare(0, 4, L"\\??\\") == 0) manifest.erase(0, 4);   // an NT path, as Wine gives it
    std::wstring store(windows, n);
    if (store.back() != L'\\') store += L'\\';
    store += L"winsxs\\";
    return manifest.size() > store.size() && _wcsnicmp(manifest.c_str(), store.c_str(), store.size()) == 0;
}

} // namespace

std::vector<std::string> KnownDlls()
{
    std::vector<std::string> names;
    KeyHandle key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager\\KnownDLLs", 0,
                        KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        char value[256], data[MAX_PATH];
        DWORD valueSize = sizeof value, dataSize = sizeof data - 1, type = 0;
        const LONG r = ::RegEnumValueA(key.get(), i, value, &valueSize, nullptr, &type,
                                       reinterpret_cast<BYTE*>(data), &dataSize);
        if (r == ERROR_NO_MORE_ITEMS) break;
        if (r != ERROR_SUCCESS || type != REG_SZ) continue;
        data[dataSize] = '\0';
        names.push_back(data);
    }
    return names;
}

bool HaveSystemFolderSearch()
{
    SetDefaultDllDirectoriesFn setDefault = nullptr;
    return Kernel32Proc("SetDefaultDllDirectories", setDefault);
}

void WindowsVersion(unsigned long& major, unsigned long& minor)
{
    major = minor = 0;
    RtlGetVersionFn rtlGetVersion = nullptr;
    if (BindProc(::GetModuleHandleA("ntdll.dll"), "RtlGetVersion", rtlGetVersion)) {
        OsVersionInfoW info{};
        info.size = sizeof info;
        if (rtlGetVersion(&info) == 0) {
            major = info.major;
            minor = info.minor;
            return;
        }
    }
    // Windows 2000 has no RtlGetVersion; there GetVersionEx tells the truth.
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (::GetVersionExA(&info)) {
        major = info.dwMajorVersion;
        minor = info.dwMinorVersion;
    }
}

int PreloadSystemDlls()
{
    int loaded = 0;
    for (const std::string& name : DllsToPreload(KnownDlls()))
        if (LoadByFullSystemPath(name)) ++loaded;   // kept for the whole run
    return loaded;
}

DllSearchMode RestrictDllSearch()
{
    unsigned long major = 0, minor = 0;
    WindowsVersion(major, minor);
    SetDefaultDllDirectoriesFn setDefault = nullptr;
    const DllSearchMode mode =
        ChooseDllSearchMode(major, minor, Kernel32Proc("SetDefaultDllDirectories", setDefault));

    const bool restricted = mode == DllSearchMode::kSystemFolderOnly && setDefault(kLoadLibrarySearchSystem32);
    if (!restricted) {
        // Takes the current folder out of the search; the program's own
        // folder stays in it, hence the preloads.
        SetDllDirectoryAFn setDllDirectory = nullptr;
        if (Kernel32Proc("SetDllDirectoryA", setDllDirectory)) setDllDirectory("");
    }
    // Preloaded in both modes: a COM server that the platform loads with
    // LOAD_WITH_ALTERED_SEARCH_PATH resolves its own imports by the classic
    // search order, program folder included, whatever the default
    // directories say, and so does a delay-load of a side-by-side DLL
    // (under Wine, GDI+ decoding the splash picture pulls windowscodecs in
    // that way, and the WIC server propsys). A DLL already in memory is
    // taken by name instead.
    PreloadSystemDlls();
    return restricted ? DllSearchMode::kSystemFolderOnly : DllSearchMode::kPreloadFromSystemFolder;
}

HMODULE LoadSystemLibrary(const char* name)
{
    if (!name || !IsBareDllName(name)) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (HaveSystemFolderSearch()) return ::LoadLibraryExA(name, nullptr, kLoadLibrarySearchSystem32);
    return LoadByFullSystemPath(name);
}

HMODULE LoadAssemblyLibrary(const char* name, unsigned manifestId)
{
    if (!name || !IsBareDllName(name)) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    {
        const ActCtxHandle context = AssemblyContext(manifestId);
        const ActivatedActCtx active(context);
        // The loader applies the redirection before it searches any folder,
        // so the bare name reaches the assembly's copy; where the flag exists
        // it also keeps the search, if any, to the system folder.
        if (active.active() && RedirectedToTheStore(name))
            return ::LoadLibraryExA(name, nullptr, HaveSystemFolderSearch() ? kLoadLibrarySearchSystem32 : 0);
    }
    // Outside the context, whose redirection would lead to a private copy.
    return LoadSystemLibrary(name);
}
