// A WH_CALLWNDPROC hook that the end-to-end tests place on setup.exe's
// interface thread. When a progress bar receives WM_DESTROY (it is still
// whole then), it appends "<position> <low> <high>" to the file named by
// KELVRA_PROGRESS_PROBE. So the bar can be read at the very moment its
// dialog goes, while the program is not pumping messages for anyone else.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>

extern "C" __declspec(dllexport) LRESULT CALLBACK ProbeCallWndProc(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* msg = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && msg && msg->message == WM_DESTROY) {
        char cls[64] = {};
        ::GetClassNameA(msg->hwnd, cls, sizeof cls);
        char file[MAX_PATH] = {};
        const DWORD n = ::GetEnvironmentVariableA("KELVRA_PROGRESS_PROBE", file, MAX_PATH);
        if (::lstrcmpiA(cls, PROGRESS_CLASSA) == 0 && n > 0 && n < MAX_PATH) {
            const LRESULT pos = ::SendMessageA(msg->hwnd, PBM_GETPOS, 0, 0);
            const LRESULT low = ::SendMessageA(msg->hwnd, PBM_GETRANGE, TRUE, 0);
            const LRESULT high = ::SendMessageA(msg->hwnd, PBM_GETRANGE, FALSE, 0);
            char line[64];
            const int len = std::snprintf(line, sizeof line, "%ld %ld %ld\n", static_cast<long>(pos),
                                          static_cast<long>(low), static_cast<long>(high));
            HANDLE f = ::CreateFileA(file, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (f != INVALID_HANDLE_VALUE) {
                DWORD written = 0;
                ::WriteFile(f, line, static_cast<DWORD>(len), &written, nullptr);
                ::CloseHandle(f);
            }
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
