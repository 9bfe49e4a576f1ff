// The files pack reads and the package it writes, at the level of the
// system's own calls: one look at each entry, one open, reads, one look at
// the open file to see that it did not change. tar makes the same calls.
#ifndef KELVRA_MEDIATOOL_PACK_INPUT_H
#define KELVRA_MEDIATOOL_PACK_INPUT_H

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

struct InputStat {
    enum Kind { kFile, kFolder, kLink, kOther } kind = kOther;
    std::uint64_t size = 0;
    std::int64_t modified = 0;   // in the system's finest unit
    bool SameContentAs(const InputStat& o) const { return size == o.size && modified == o.modified; }
};

// The folder being packed, held open: every entry below it is looked at
// and opened by its path relative to the folder, as tar does, so the
// system does not walk the folder's own path again for each file.
class InputFolder {
public:
    InputFolder() = default;
    ~InputFolder();
    InputFolder(const InputFolder&) = delete;
    InputFolder& operator=(const InputFolder&) = delete;

    bool Open(const fs::path& dir, std::string& why);
    // What `relative` is, not following a link (`follow` false), or what it leads to.
    bool LookAt(const fs::path::string_type& relative, bool follow, InputStat& st, std::string& why) const;

private:
    friend class InputFile;
    fs::path dir_;
    int fd_ = -1;
};

class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool Open(const InputFolder& folder, const fs::path::string_type& relative, std::string& why);
    // Up to n bytes; 0 at the end. False, with `why`, when reading fails.
    bool Read(unsigned char* dst, std::size_t n, std::size_t& got, std::string& why);
    // The open file as it is now.
    bool Look(InputStat& st, std::string& why);

private:
    int fd_ = -1;
};

#endif
