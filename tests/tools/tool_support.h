// Running the media tool from tests, and small file helpers around it.
#ifndef KELVRA_TESTS_TOOLS_TOOL_SUPPORT_H
#define KELVRA_TESTS_TOOLS_TOOL_SUPPORT_H

#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace tooltest {

namespace fs = std::filesystem;

struct ToolRun {
    int status;        // exit status, or -1 when the tool did not exit normally
    std::string out;   // standard output and standard error together
};

// Runs a shell command line; standard error is folded into the output.
inline ToolRun RunCommand(const std::string& cmd)
{
    ToolRun r{-1, ""};
    std::FILE* p = popen((cmd + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int raw = pclose(p);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return r;
}

// mediatool with `args` (already quoted where needed).
inline ToolRun Tool(const std::string& args)
{
    return RunCommand(std::string("'") + MEDIATOOL_PATH + "' " + args);
}

inline std::string Q(const fs::path& p) { return "'" + p.string() + "'"; }

inline void Put(const fs::path& p, const std::string& data)
{
    fs::create_directories(p.parent_path());
    std::ofstream f(p, std::ios::binary);
    f << data;
}

inline std::string Get(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// A little-endian 32-bit field, as the package format stores it.
inline std::string U32(std::uint32_t v)
{
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
            static_cast<char>((v >> 16) & 0xFF), static_cast<char>((v >> 24) & 0xFF)};
}

} // namespace tooltest

#endif
