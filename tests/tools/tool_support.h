// Running the media tool from tests, and small file helpers around it.
#ifndef KELVRA_TESTS_TOOLS_TOOL_SUPPORT_H
#define KELVRA_TESTS_TOOLS_TOOL_SUPPORT_H

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/common/bytes.h"
#include "tests/common/runtime_files.h"
#include "tests/common/temp_dir.h"

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

// An empty folder in this test process's own temporary folder.
inline fs::path FreshRoot(const std::string& tag)
{
    const fs::path root = fs::path(testtemp::Path(tag));
    fs::remove_all(root);
    fs::create_directories(root);
    return root;
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

// Rewrites DIR/SHA256SUMS with coreutils, over every other file, in byte order.
inline int Resum(const fs::path& dir)
{
    return RunCommand("cd " + Q(dir) + " && find . -maxdepth 1 -type f ! -name SHA256SUMS -printf '%P\\0' | "
                      "LC_ALL=C sort -z | xargs -0 sha256sum > ../sums && mv ../sums SHA256SUMS").status;
}

// A PE32 image of 1 KiB with one section, written field by field: enough
// for osslsigncode to sign and for a signature reader to walk.
inline std::string SmallPe()
{
    std::string pe(0x400, '\0');
    auto put = [&](std::size_t at, std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) pe[at + i] = static_cast<char>(v >> (8 * i));
    };
    pe[0] = 'M', pe[1] = 'Z';
    put(0x3C, 0x40, 4);
    pe.replace(0x40, 4, std::string("PE\0\0", 4));
    put(0x44, 0x14C, 2);        // i386
    put(0x46, 1, 2);            // one section
    put(0x54, 0xE0, 2);         // optional header size
    put(0x56, 0x0102, 2);       // executable, 32-bit
    const std::size_t o = 0x58;
    put(o, 0x10B, 2);           // PE32
    put(o + 4, 0x200, 4);       // size of code
    put(o + 16, 0x1000, 4);     // entry point
    put(o + 20, 0x1000, 4);     // base of code
    put(o + 28, 0x400000, 4);   // image base
    put(o + 32, 0x1000, 4);     // section alignment
    put(o + 36, 0x200, 4);      // file alignment
    put(o + 40, 4, 2);          // OS version 4.0
    put(o + 48, 4, 2);          // subsystem version 4.0
    put(o + 56, 0x2000, 4);     // size of image
    put(o + 60, 0x200, 4);      // size of headers
    put(o + 68, 2, 2);          // GUI subsystem
    put(o + 72, 0x100000, 4), put(o + 76, 0x1000, 4), put(o + 80, 0x100000, 4), put(o + 84, 0x1000, 4);
    put(o + 92, 16, 4);         // data directories
    const std::size_t sec = o + 0xE0;
    pe.replace(sec, 5, ".text");
    put(sec + 8, 0x200, 4), put(sec + 12, 0x1000, 4), put(sec + 16, 0x200, 4), put(sec + 20, 0x200, 4);
    put(sec + 36, 0x60000020, 4);   // code, execute, read
    pe[0x200] = '\xC3';             // ret
    return pe;
}

// The runtime files of a medium, as --runtime DIR takes them.
inline void PutRuntime(const fs::path& dir)
{
    Put(dir / "Microsoft.VC80.CRT.manifest", testbytes::RuntimeManifest());
    Put(dir / "msvcp80.dll", testbytes::RuntimeDll());
    Put(dir / "msvcr80.dll", testbytes::RuntimeDll());
}

using testbytes::RuntimeDll;
using testbytes::RuntimeManifest;

} // namespace tooltest

#endif
