// Whole files written through the wide Win32 interface in tests, so that
// the narrow path the code under test takes is the only place where the
// ANSI code page matters.
#ifndef KELVRA_TESTS_COMMON_WIN_FILES_H
#define KELVRA_TESTS_COMMON_WIN_FILES_H

#include <windows.h>

#include <string>

namespace testwin {

// Creates the folders on the way, then writes `bytes` as the whole file.
inline bool WriteFileW(const std::wstring& path, const std::string& bytes)
{
    for (std::size_t p = path.find(L'\\', 3); p != std::wstring::npos; p = path.find(L'\\', p + 1))
        ::CreateDirectoryW(path.substr(0, p).c_str(), nullptr);
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(h);
    return ok && written == bytes.size();
}

} // namespace testwin

#endif
