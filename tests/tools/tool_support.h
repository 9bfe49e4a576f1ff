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

#include "tests/common/bytes.h"

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

using testbytes::U32;

} // namespace tooltest

#endif
