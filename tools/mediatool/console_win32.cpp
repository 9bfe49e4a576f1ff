// The console on Windows: arguments read as Unicode, output in UTF-8.
#include "tools/mediatool/console.h"

#include <windows.h>
#include <shellapi.h>
#include <io.h>

#include <cstdlib>

std::vector<std::string> ProgramArguments(int, char**)
{
    int n = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &n);
    std::vector<std::string> args;
    for (int i = 0; wide && i < n; ++i) {
        const int len = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string utf8(len > 0 ? static_cast<std::size_t>(len) : 1, '\0');
        if (len > 0) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, &utf8[0], len, nullptr, nullptr);
        utf8.resize(utf8.size() - 1);
        args.push_back(utf8);
    }
    if (wide) LocalFree(wide);
    return args;
}

void PrepareConsole()
{
    // Messages on standard error show on the same console. The console
    // outlives the tool, so its code page is given back at exit.
    static UINT previous = 0;
    if (previous || !(IsTerminal(stdout) || IsTerminal(stderr))) return;
    previous = GetConsoleOutputCP();
    if (!previous || !SetConsoleOutputCP(CP_UTF8)) return;
    std::atexit([] { SetConsoleOutputCP(previous); });
}

bool IsTerminal(std::FILE* f) { return _isatty(_fileno(f)) != 0; }
