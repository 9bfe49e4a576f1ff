#include "base/strings_win32.h"

#include <vector>

#include "base/ansi_win32.h"
#include "base/module_win32.h"
#include "base/text_replace.h"

namespace {

// String tables are stored in blocks of 16 entries, each a 16-bit length in
// UTF-16 units followed by that many units.
bool FindStringEntry(UINT id, const WCHAR*& text, int& length)
{
    const HINSTANCE module = g_Module.GetResourceInstance();
    const LPCSTR block = MAKEINTRESOURCEA(id / 16 + 1);
    HRSRC res = ::FindResourceExA(module, reinterpret_cast<LPCSTR>(RT_STRING), block,
                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    if (!res) res = ::FindResourceA(module, block, reinterpret_cast<LPCSTR>(RT_STRING));
    if (!res) return false;
    HGLOBAL global = ::LoadResource(module, res);
    if (!global) return false;
    const WCHAR* p = static_cast<const WCHAR*>(::LockResource(global));
    const DWORD size = ::SizeofResource(module, res);
    if (!p) return false;

    const WCHAR* const end = p + size / sizeof(WCHAR);
    for (UINT i = 0; i < id % 16; ++i) {
        if (p >= end) return false;
        const UINT n = *p;
        if (n >= static_cast<UINT>(end - p)) return false;
        p += 1 + n;
    }
    if (p >= end) return false;
    const UINT n = *p;
    if (n == 0 || n >= static_cast<UINT>(end - p)) return false;
    text = p + 1;
    length = static_cast<int>(n);
    return true;
}

} // namespace

void LoadText(std::string& target, UINT id)
{
    const WCHAR* text = nullptr;
    int length = 0;
    if (!FindStringEntry(id, text, length)) return;

    // The thread's code page follows the user's locale, which on many PCs
    // differs from the code page in which the window shows the text.
    const UINT cp = CP_ACP;
    const int narrow = ::WideCharToMultiByte(cp, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (narrow <= 0) {
        target.clear();
        return;
    }
    std::string out(static_cast<std::size_t>(narrow), '\0');
    if (::WideCharToMultiByte(cp, 0, text, length, &out[0], narrow, nullptr, nullptr) != narrow) {
        target.clear();
        return;
    }
    target.swap(out);
}

LeadBytes AnsiLeadBytes()
{
    LeadBytes lb;
    CPINFO info{};
    if (!::GetCPInfo(CP_ACP, &info)) return lb;
    // Pairs of first and last lead byte, ended by a pair of zeros.
    for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i]; i += 2)
        lb.SetRange(info.LeadByte[i], info.LeadByte[i + 1]);
    lb.SetDecoder([](const std::string& narrow, std::u16string& wide) {
        const std::wstring w = WidenAnsi(narrow);
        if (w.empty() != narrow.empty()) return false;
        wide.assign(w.begin(), w.end());
        return true;
    });
    return lb;
}

int Replace(std::string& text, const std::string& oldText, const std::string& newText)
{
    return Replace(text, oldText, newText, AnsiLeadBytes());
}

void LoadTextWithName(std::string& target, UINT id, const std::string& name)
{
    LoadText(target, id);
    Replace(target, "%s", name);
}
