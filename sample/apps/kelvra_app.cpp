// The sample product's program: a window that says which product and version
// it is and where it was installed, so an installation can be checked by eye.
// The name and title come from the record setup writes under HKCU.
#include <windows.h>

#include <string>

#include "sample/apps/sample_ids.h"
#include "base/handles_win32.h"

namespace {

const wchar_t kClassName[] = L"KelvraSampleApp";
const wchar_t kRecordKey[] = L"Software\\Kelvra";
const wchar_t kVersion[] = L"1.0.0";
const int kMargin = 16;
const int kWindowWidth = 560;
const int kWindowHeight = 260;

class RegKeyW {
public:
    RegKeyW(HKEY parent, const wchar_t* sub)
    {
        if (::RegOpenKeyExW(parent, sub, 0, KEY_READ, &key_) != ERROR_SUCCESS) key_ = nullptr;
    }
    RegKeyW(const RegKeyW&) = delete;
    RegKeyW& operator=(const RegKeyW&) = delete;
    ~RegKeyW()
    {
        if (key_) ::RegCloseKey(key_);
    }

    // A REG_SZ value, or `fallback` when it is missing or of another type.
    std::wstring String(const wchar_t* name, const std::wstring& fallback) const
    {
        if (!key_) return fallback;
        wchar_t buf[1024] = {};
        DWORD type = 0, size = sizeof buf - sizeof(wchar_t);
        if (::RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS ||
            type != REG_SZ)
            return fallback;
        return buf;
    }

private:
    HKEY key_ = nullptr;
};

bool Chinese() { return PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_CHINESE; }

std::wstring OwnFolder()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return L"?";
    std::wstring s(path, n);
    return s.substr(0, s.find_last_of(L'\\') + 1);
}

std::wstring Report()
{
    const RegKeyW record(HKEY_CURRENT_USER, kRecordKey);
    const std::wstring name = record.String(L"Name", L"Kelvra");
    const std::wstring title = record.String(L"Title", L"");
    const std::wstring recorded = record.String(L"InstPath", Chinese() ? L"(无)" : L"(none)");
    std::wstring s;
    if (Chinese()) {
        s = name + L" 示例程序  版本 " + kVersion + L"\r\n";
        if (!title.empty()) s += L"标题: " + title + L"\r\n";
        s += L"\r\n安装位置: " + OwnFolder() + L"\r\n注册表中的安装位置: " + recorded +
             L"\r\n\r\n这是安装向导演示用的示例产品, 不是真正的刻印软件.";
    } else {
        s = name + L" sample program, version " + kVersion + L"\r\n";
        if (!title.empty()) s += L"Title: " + title + L"\r\n";
        s += L"\r\nInstalled in: " + OwnFolder() + L"\r\nInstall folder in the registry: " + recorded +
             L"\r\n\r\nThis is the sample product of the setup demonstration, not the marking software.";
    }
    return s;
}

struct AppState {
    std::wstring text;
    FontHandle font;
};

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* state = reinterpret_cast<AppState*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
    case WM_CREATE: {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        return 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd, &ps);
        if (state) {
            RECT r;
            ::GetClientRect(hwnd, &r);
            ::InflateRect(&r, -kMargin, -kMargin);
            SelectedObject font(dc, state->font.get());
            ::SetBkMode(dc, TRANSPARENT);
            ::DrawTextW(dc, state->text.c_str(), -1, &r, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
        }
        ::EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) ::DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    AppState state;
    state.text = Report();
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        state.font.reset(::CreateFontIndirectW(&metrics.lfMessageFont));

    WNDCLASSW wc{};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(IDI_SAMPLE_APP));
    wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClassName;
    if (!::RegisterClassW(&wc)) return 1;

    const RegKeyW record(HKEY_CURRENT_USER, kRecordKey);
    const std::wstring caption = record.String(L"Name", L"Kelvra");
    HWND hwnd = ::CreateWindowExW(0, kClassName, caption.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                  kWindowWidth, kWindowHeight, nullptr, nullptr, instance, &state);
    if (!hwnd) return 1;
    ::ShowWindow(hwnd, show);
    ::UpdateWindow(hwnd);

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
