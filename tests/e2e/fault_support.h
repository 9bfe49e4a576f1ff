// What the fault matrix needs besides the install helpers: snapshots of the
// folders an installation must not touch, a tally of cases per matrix row,
// and a small file system that fills up.
#ifndef KELVRA_TESTS_E2E_FAULT_SUPPORT_H
#define KELVRA_TESTS_E2E_FAULT_SUPPORT_H

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace e2e {

// Every entry below the watched folders: folders by name, files by size and
// a content hash (large files by size and write time).
class TreeSnapshot {
public:
    struct Watch {
        std::wstring folder;          // no trailing backslash
        bool recursive;
        std::vector<std::wstring> skip;   // full paths left out, with their trees
    };
    static TreeSnapshot Take(const std::vector<Watch>& watches);
    // Lines naming what was added, removed or changed; empty when equal.
    std::vector<std::string> Differences(const TreeSnapshot& after) const;
    std::size_t Size() const { return entries_.size(); }

private:
    std::map<std::wstring, std::string> entries_;
};

// Counts cases per matrix row, passed meaning that the case added no
// failure to the running test. The totals are printed when the program ends
// as "[ matrix ] <row>: N tried, N passed".
class MatrixCase {
public:
    explicit MatrixCase(const std::string& row);
    MatrixCase(const MatrixCase&) = delete;
    MatrixCase& operator=(const MatrixCase&) = delete;
    ~MatrixCase();

private:
    std::string row_;
    int failedBefore_;
};

// Runs a /bin/sh script on the Unix side of Wine (Wine starts a Unix
// program handed to CreateProcess) and answers whether it exited with 0.
bool RunUnixShell(const std::string& script);
// The Unix path of a Windows path under Wine; empty when there is none.
std::string UnixPath(const std::wstring& path);

// A tmpfs of `kilobytes` mounted through /bin/sh (root only) and reached
// through Wine's Z: drive. Unmounted when the object goes.
class SmallDisk {
public:
    explicit SmallDisk(int kilobytes);
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    ~SmallDisk();

    bool Mounted() const { return mounted_; }
    const std::string& Why() const { return why_; }
    const std::string& WindowsPath() const { return windowsPath_; }   // no trailing backslash

private:
    std::string unixPath_;
    std::string windowsPath_;
    std::string why_;
    bool mounted_ = false;
};

} // namespace e2e

#endif
