#include "tools/mediatool/console.h"

#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#include <io.h>
#define KELVRA_ISATTY(fd) _isatty(fd)
#define KELVRA_FILENO(f) _fileno(f)
#else
#include <unistd.h>
#define KELVRA_ISATTY(fd) isatty(fd)
#define KELVRA_FILENO(f) fileno(f)
#endif

#include "tools/mediatool/code_page.h"

void Refuse(const char* command, const std::string& what, const std::string& why)
{
    std::fprintf(stderr, "mediatool %s: %s: %s\n", command, what.c_str(), why.c_str());
}

void UsageError(const char* command, const std::string& why)
{
    std::fprintf(stderr, "mediatool %s: %s (see 'mediatool %s --help')\n", command, why.c_str(), command);
}

bool TakeCodePage(const char* command, const std::string& value, unsigned& cp)
{
    if (!ParseCodePage(value, cp)) {
        UsageError(command, std::string("--codepage takes one of ") + SupportedCodePages());
        return false;
    }
    return true;
}

namespace {
bool quiet = false;
}

void SetQuiet(bool q) { quiet = q; }
bool Quiet() { return quiet; }

std::vector<std::string> ProgramArguments(int argc, char** argv)
{
#ifdef _WIN32
    (void)argc;
    (void)argv;
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
#else
    return std::vector<std::string>(argv, argv + argc);
#endif
}

void PrepareConsole()
{
#ifdef _WIN32
    // Messages on standard error show on the same console. The console
    // outlives the tool, so its code page is given back at exit.
    static UINT previous = 0;
    if (previous || !(KELVRA_ISATTY(KELVRA_FILENO(stdout)) || KELVRA_ISATTY(KELVRA_FILENO(stderr)))) return;
    previous = GetConsoleOutputCP();
    if (!previous || !SetConsoleOutputCP(CP_UTF8)) return;
    std::atexit([] { SetConsoleOutputCP(previous); });
#endif
}

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

Progress::Progress(const char* verb, std::uint64_t total)
    : verb_(verb), total_(total), terminal_(!quiet && KELVRA_ISATTY(KELVRA_FILENO(stderr)) != 0),
      start_(std::chrono::steady_clock::now()), last_(start_)
{
}

void Progress::Update(std::uint64_t done, std::uint64_t files)
{
    if (!terminal_) return;
    const auto now = std::chrono::steady_clock::now();
    // Quiet for short work; then a few updates a second.
    if (now - start_ < std::chrono::milliseconds(500) || now - last_ < std::chrono::milliseconds(200))
        return;
    last_ = now;
    shown_ = true;
    const unsigned percent = total_ ? static_cast<unsigned>(done * 100 / total_) : 100;
    std::fprintf(stderr, "\r%s: %3u%%  %llu files  %llu MB", verb_, percent,
                 static_cast<unsigned long long>(files), static_cast<unsigned long long>(done >> 20));
    std::fflush(stderr);
}

void Progress::Finish()
{
    if (shown_) std::fprintf(stderr, "\r%60s\r", "");
}
