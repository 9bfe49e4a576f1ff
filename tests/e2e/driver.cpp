#include "tests/e2e/driver.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace e2e {

std::wstring Widen(const std::string& narrow, UINT codePage)
{
    if (narrow.empty()) return std::wstring();
    const int n = ::MultiByteToWideChar(codePage, 0, narrow.data(), static_cast<int>(narrow.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, 0, narrow.data(), static_cast<int>(narrow.size()), &out[0], n);
    return out;
}

std::string Narrow(const std::wstring& wide, UINT codePage)
{
    if (wide.empty()) return std::string();
    const int n = ::WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::string Utf8(const std::wstring& wide) { return Narrow(wide, CP_UTF8); }

bool ChineseInterface()
{
    return PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_CHINESE;
}

std::string BuildDir()
{
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path);
    return s.substr(0, s.find_last_of('\\') + 1);
}

bool FileExists(const std::string& path)
{
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool RemoveTree(const std::string& path)
{
    const DWORD attrs = ::GetFileAttributesA(path.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) return true;
    if (!(attrs & FILE_ATTRIBUTE_DIRECTORY)) {
        ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        return ::DeleteFileA(path.c_str()) != 0;
    }
    WIN32_FIND_DATAA fd;
    HANDLE find = ::FindFirstFileA((path + "\\*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = fd.cFileName;
            if (name != "." && name != "..") RemoveTree(path + "\\" + name);
        } while (::FindNextFileA(find, &fd));
        ::FindClose(find);
    }
    return ::RemoveDirectoryA(path.c_str()) != 0;
}

Medium::Medium(const std::string& name)
{
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    std::string root = std::string(temp) + "kelvra-e2e";
    ::CreateDirectoryA(root.c_str(), nullptr);
    std::string dir = root + "\\" + name;
    RemoveTree(dir);
    ::CreateDirectoryA(dir.c_str(), nullptr);
    dir_ = dir + "\\";
}

void Medium::AddProgram(const std::string& builtName, const std::string& asName)
{
    ::CopyFileA((BuildDir() + builtName).c_str(), Path(asName).c_str(), FALSE);
}

void Medium::Write(const std::string& rel, const std::string& bytes)
{
    std::ofstream out(Path(rel), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

Process::~Process()
{
    if (pi_.hProcess) {
        Kill();
        ::CloseHandle(pi_.hThread);
        ::CloseHandle(pi_.hProcess);
    }
}

bool Process::Start(const std::string& exe, const std::string& args)
{
    std::string cmd = "\"" + exe + "\"";
    if (!args.empty()) cmd += " " + args;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    const std::string dir = exe.substr(0, exe.find_last_of('\\') + 1);
    return ::CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr,
                            dir.c_str(), &si, &pi_) != 0;
}

bool Process::Start(const std::wstring& exe)
{
    if (pi_.hProcess) {   // a second run of the same object
        Kill();
        ::CloseHandle(pi_.hThread);
        ::CloseHandle(pi_.hProcess);
        pi_ = PROCESS_INFORMATION{};
    }
    std::wstring cmd = L"\"" + exe + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    const std::wstring dir = exe.substr(0, exe.find_last_of(L'\\') + 1);
    return ::CreateProcessW(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi_) != 0;
}

namespace {

struct EnumState {
    DWORD pid;
    std::vector<HWND>* out;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lParam)
{
    auto* state = reinterpret_cast<EnumState*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid == state->pid) state->out->push_back(hwnd);
    return TRUE;
}

bool IsVisibleDialog(HWND hwnd)
{
    return ::IsWindowVisible(hwnd) && ClassName(hwnd) == L"#32770";
}

} // namespace

std::vector<HWND> Process::Windows() const
{
    std::vector<HWND> out;
    EnumState state{pi_.dwProcessId, &out};
    ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&state));
    return out;
}

HWND Process::WaitForWindow(const std::function<bool(HWND)>& match, DWORD timeoutMs) const
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        for (HWND hwnd : Windows())
            if (match(hwnd)) return hwnd;
        if (::GetTickCount() - start > timeoutMs || !Running()) return nullptr;
        ::Sleep(50);
    }
}

HWND Process::WaitForDialog(DWORD timeoutMs) const
{
    return WaitForWindow(IsVisibleDialog, timeoutMs);
}

HWND Process::WaitForDialogWith(int id, DWORD timeoutMs) const
{
    return WaitForWindow([id](HWND h) { return IsVisibleDialog(h) && ::GetDlgItem(h, id); }, timeoutMs);
}

HWND Process::WaitForMessageBox(DWORD timeoutMs) const
{
    return WaitForDialogWith(0x440, timeoutMs);
}

DWORD Process::WaitExit(DWORD timeoutMs)
{
    if (::WaitForSingleObject(pi_.hProcess, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(pi_.hProcess, &code);
    return code;
}

bool Process::Running() const
{
    return pi_.hProcess && ::WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT;
}

void Process::Kill()
{
    if (Running()) {
        ::TerminateProcess(pi_.hProcess, 0xDEAD);
        ::WaitForSingleObject(pi_.hProcess, 5000);
    }
}

LRESULT Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, DWORD timeoutMs)
{
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(hwnd, msg, wParam, lParam, SMTO_ABORTIFHUNG, timeoutMs, &result);
    return static_cast<LRESULT>(result);
}

std::wstring WindowText(HWND hwnd)
{
    const LRESULT n = Send(hwnd, WM_GETTEXTLENGTH);
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    const LRESULT got = Send(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<std::size_t>(got));
    return text;
}

std::wstring ItemText(HWND dlg, int id)
{
    HWND item = ::GetDlgItem(dlg, id);
    return item ? WindowText(item) : std::wstring();
}

std::wstring ClassName(HWND hwnd)
{
    WCHAR name[256] = {};
    ::GetClassNameW(hwnd, name, 256);
    return name;
}

bool SetItemText(HWND dlg, int id, const std::wstring& text)
{
    HWND item = ::GetDlgItem(dlg, id);
    return item && Send(item, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void PostCommand(HWND dlg, int id, WORD code)
{
    ::PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(::GetDlgItem(dlg, id)));
}

void PostKey(HWND target, UINT vk)
{
    const UINT scan = ::MapVirtualKeyW(vk, 0);
    ::PostMessageW(target, WM_KEYDOWN, vk, 1 | (scan << 16));
    ::PostMessageW(target, WM_KEYUP, vk, 1 | (scan << 16) | (1u << 30) | (1u << 31));
}

HWND FocusOf(DWORD threadId)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return ::GetGUIThreadInfo(threadId, &info) ? info.hwndFocus : nullptr;
}

void Pause(DWORD ms) { ::Sleep(ms); }

std::wstring MessageBoxText(HWND box)
{
    return ItemText(box, 0xFFFF);
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (done()) return true;
        if (::GetTickCount() - start > timeoutMs) return false;
        ::Sleep(50);
    }
}

bool ItemEnabled(HWND dlg, int id)
{
    HWND item = ::GetDlgItem(dlg, id);
    return item && ::IsWindowEnabled(item);
}

std::string SpecialFolder(int csidl)
{
    char path[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE)) return std::string();
    return path;
}

RegValue ReadRegValue(HKEY root, const std::string& key, const std::string& name)
{
    RegValue v;
    HKEY h = nullptr;
    if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return v;
    DWORD size = 0;
    if (::RegQueryValueExA(h, name.c_str(), nullptr, &v.type, nullptr, &size) == ERROR_SUCCESS) {
        v.bytes.assign(size, '\0');
        if (::RegQueryValueExA(h, name.c_str(), nullptr, &v.type,
                               reinterpret_cast<BYTE*>(&v.bytes[0]), &size) == ERROR_SUCCESS) {
            v.bytes.resize(size);
            v.exists = true;
        }
    }
    ::RegCloseKey(h);
    return v;
}

bool RegKeyExists(HKEY root, const std::string& key)
{
    HKEY h = nullptr;
    if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    ::RegCloseKey(h);
    return true;
}

bool DeleteRegTree(HKEY root, const std::string& key)
{
    HKEY h = nullptr;
    if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_READ | KEY_WRITE, &h) == ERROR_SUCCESS) {
        std::vector<std::string> children;
        char name[256];
        for (DWORD i = 0;; ++i) {
            DWORD n = sizeof name;
            if (::RegEnumKeyExA(h, i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            children.emplace_back(name, n);
        }
        ::RegCloseKey(h);
        for (const std::string& child : children) DeleteRegTree(root, key + "\\" + child);
        ::RegDeleteKeyA(root, key.c_str());
    }
    return !RegKeyExists(root, key);
}

bool WriteRegString(HKEY root, const std::string& key, const std::string& name, const std::string& value)
{
    HKEY h = nullptr;
    if (::RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) != ERROR_SUCCESS)
        return false;
    LONG rc = ERROR_SUCCESS;
    if (!name.empty())
        rc = ::RegSetValueExA(h, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>(value.size() + 1));
    ::RegCloseKey(h);
    return rc == ERROR_SUCCESS;
}

Shortcut ReadShortcut(const std::string& path)
{
    Shortcut s;
    const HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                     reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(Widen(path).c_str(), STGM_READ))) {
        char buf[1024] = {};
        if (SUCCEEDED(link->GetPath(buf, sizeof buf, nullptr, SLGP_RAWPATH))) s.target = buf;
        buf[0] = 0;
        if (SUCCEEDED(link->GetWorkingDirectory(buf, sizeof buf))) s.workingDir = buf;
        buf[0] = 0;
        if (SUCCEEDED(link->GetDescription(buf, sizeof buf))) s.description = buf;
        buf[0] = 0;
        int index = -1;
        if (SUCCEEDED(link->GetIconLocation(buf, sizeof buf, &index))) {
            s.iconPath = buf;
            s.iconIndex = index;
        }
        s.loaded = true;
    }
    if (file) file->Release();
    if (link) link->Release();
    if (SUCCEEDED(init)) ::CoUninitialize();
    return s;
}

bool FileExistsW(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFileBytesW(const std::wstring& path)
{
    std::string out;
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return out;
    char buf[4096];
    DWORD got = 0;
    while (::ReadFile(f, buf, sizeof buf, &got, nullptr) && got) out.append(buf, got);
    ::CloseHandle(f);
    return out;
}

bool SaveWindowBitmap(HWND hwnd, const std::string& path)
{
    RECT r{};
    if (!::GetWindowRect(hwnd, &r)) return false;
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = ::GetDC(nullptr);
    HDC mem = ::CreateCompatibleDC(screen);
    HBITMAP bmp = ::CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = ::SelectObject(mem, bmp);
    ::BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    ::SelectObject(mem, old);

    BITMAPINFOHEADER bi{};
    bi.biSize = sizeof bi;
    bi.biWidth = w;
    bi.biHeight = h;
    bi.biPlanes = 1;
    bi.biBitCount = 24;
    const DWORD stride = ((w * 3) + 3) & ~3u;
    std::string pixels(stride * h, '\0');
    ::GetDIBits(mem, bmp, 0, h, &pixels[0], reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
    ::DeleteObject(bmp);
    ::DeleteDC(mem);
    ::ReleaseDC(nullptr, screen);

    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof bi;
    fh.bfSize = fh.bfOffBits + static_cast<DWORD>(pixels.size());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(&fh), sizeof fh);
    out.write(reinterpret_cast<const char*>(&bi), sizeof bi);
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    return static_cast<bool>(out);
}

} // namespace e2e
