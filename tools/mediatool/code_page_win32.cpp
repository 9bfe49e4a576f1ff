// Code pages on Windows: the system's own conversions.
#include "tools/mediatool/code_page.h"

#include <windows.h>

namespace {

bool WideToCodePage(const std::wstring& in, unsigned cp, std::string& out)
{
    out.clear();
    if (in.empty()) return true;
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(cp, WC_NO_BEST_FIT_CHARS, in.data(), static_cast<int>(in.size()),
                                      nullptr, 0, nullptr, &usedDefault);
    if (n <= 0 || usedDefault) return false;
    out.resize(n);
    WideCharToMultiByte(cp, WC_NO_BEST_FIT_CHARS, in.data(), static_cast<int>(in.size()), &out[0], n,
                        nullptr, &usedDefault);
    return !usedDefault;
}

bool CodePageToWide(const std::string& in, unsigned cp, std::wstring& out)
{
    out.clear();
    if (in.empty()) return true;
    const int n = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()),
                                      nullptr, 0);
    if (n <= 0) return false;
    out.resize(n);
    MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()), &out[0], n);
    return true;
}

} // namespace

bool LevelToCodePage(const fs::path::string_type& level, unsigned cp, std::string& out)
{
    std::string encoded;
    if (!WideToCodePage(level, cp, encoded)) return false;
    // The way back must give the same name, or the file would be another.
    std::wstring back;
    if (!CodePageToWide(encoded, cp, back) || back != level) return false;
    out = encoded;
    return true;
}

bool LevelFromCodePage(const std::string& bytes, unsigned cp, fs::path& out)
{
    std::wstring wide;
    if (!CodePageToWide(bytes, cp, wide)) return false;
    out = fs::path(wide);
    return true;
}

fs::path ArgPath(const std::string& arg)
{
    return fs::u8path(arg);
}
