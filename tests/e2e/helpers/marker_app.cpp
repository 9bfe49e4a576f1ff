// A stand-in for an extra installer: each start appends one line to
// marker.txt beside the program, so a test can count the starts.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 2;
    char* slash = path;
    for (char* p = path; *p; p = ::CharNextA(p))
        if (*p == '\\') slash = p + 1;
    static const char kMarker[] = "marker.txt";
    if (static_cast<size_t>(slash - path) + sizeof kMarker > MAX_PATH) return 2;
    ::lstrcpyA(slash, kMarker);

    // Two starts may append at once: FILE_APPEND_DATA writes are atomic,
    // and a sharing clash is waited out.
    static const char kLine[] = "started\n";
    for (int attempt = 0; attempt < 100; ++attempt) {
        HANDLE f = ::CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f == INVALID_HANDLE_VALUE) {
            ::Sleep(20);
            continue;
        }
        DWORD written = 0;
        const BOOL ok = ::WriteFile(f, kLine, sizeof kLine - 1, &written, nullptr);
        ::CloseHandle(f);
        return ok && written == sizeof kLine - 1 ? 0 : 1;
    }
    return 1;
}
