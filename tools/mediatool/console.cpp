#include "tools/mediatool/console.h"

#include <cstdio>

#include "base/ascii_text.h"
#include "tools/mediatool/code_page.h"

void Refuse(const char* command, const std::string& what, const std::string& why)
{
    std::fprintf(stderr, "mediatool %s: %s: %s\n", command, EscapeControls(what).c_str(), why.c_str());
}

std::string Shown(const fs::path& p) { return EscapeControls(PathText(p)); }

void UsageError(const char* command, const std::string& why)
{
    std::fprintf(stderr, "mediatool %s: %s (see 'mediatool %s --help')\n", command, EscapeControls(why).c_str(),
                 command);
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

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

Progress::Progress(const char* verb, std::uint64_t total)
    : verb_(verb), total_(total), terminal_(!quiet && IsTerminal(stderr)),
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
