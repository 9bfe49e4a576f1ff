#include "base/ansi_win32.h"

#include <vector>

bool NarrowExact(const std::wstring& wide, std::string& narrow)
{
    narrow.clear();
    if (wide.empty()) return true;
    const int length = static_cast<int>(wide.size());
    // UTF-8 as the ANSI code page holds every character but takes neither
    // flag nor the used-default question.
    const bool utf8 = ::GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* const used = utf8 ? nullptr : &usedDefault;
    const int n = ::WideCharToMultiByte(CP_ACP, flags, wide.data(), length, nullptr, 0, nullptr, used);
    if (n <= 0) return false;
    narrow.assign(static_cast<std::size_t>(n), '\0');
    usedDefault = FALSE;
    if (::WideCharToMultiByte(CP_ACP, flags, wide.data(), length, &narrow[0], n, nullptr, used) != n) {
        narrow.clear();
        return false;
    }
    return !usedDefault;
}

std::wstring WidenAnsi(const std::string& narrow)
{
    if (narrow.empty()) return std::wstring();
    const int length = static_cast<int>(narrow.size());
    const int n = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, narrow.data(), length, nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    if (::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, narrow.data(), length, &wide[0], n) != n)
        return std::wstring();
    return wide;
}

std::wstring FullPathWide(const std::wstring& path)
{
    if (path.empty()) return std::wstring();
    // The length first: a relative text may grow beyond MAX_PATH.
    const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return std::wstring();
    std::vector<wchar_t> buffer(needed);
    const DWORD length = ::GetFullPathNameW(path.c_str(), needed, buffer.data(), nullptr);
    if (length == 0 || length >= needed) return std::wstring();
    return std::wstring(buffer.data(), length);
}
