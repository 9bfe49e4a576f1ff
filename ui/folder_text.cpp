#include "ui/folder_text.h"

#include <shlobj.h>

#include "base/ansi_win32.h"

namespace {

const wchar_t kFallbackProgramFiles[] = L"C:\\Program Files";

} // namespace

std::wstring ProposedInstallFolder(const std::string& name)
{
    wchar_t folder[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, folder, CSIDL_PROGRAM_FILES, FALSE) || !folder[0])
        lstrcpynW(folder, kFallbackProgramFiles, MAX_PATH);
    return std::wstring(folder) + L"\\" + WidenAnsi(name);
}

bool ReadFolderText(HWND edit, std::string& text)
{
    wchar_t buffer[MAX_PATH] = {};
    ::GetWindowTextW(edit, buffer, MAX_PATH);
    const std::wstring typed = buffer;
    if (!NarrowExact(typed, text)) return false;
    // A relative text is resolved against the current folder, which the
    // code page may not hold either.
    std::string full;
    if (typed.empty() || NarrowExact(FullPathWide(typed), full)) return true;
    text = full;
    return false;
}
