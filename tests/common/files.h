// Whole files in and out for tests, through C streams on every platform.
#ifndef KELVRA_TESTS_COMMON_FILES_H
#define KELVRA_TESTS_COMMON_FILES_H

#include <cstdio>
#include <string>
#include <vector>

namespace testfiles {

// Writes `data` as the whole file; false when any of it was not written.
inline bool WriteWhole(const std::string& path, const std::string& data)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

// The whole file; empty when it cannot be read.
inline std::string ReadWhole(const std::string& path)
{
    std::string data;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return data;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
    std::fclose(f);
    return data;
}

inline bool WriteWhole(const std::string& path, const std::vector<unsigned char>& data)
{
    return WriteWhole(path, std::string(data.begin(), data.end()));
}

inline std::vector<unsigned char> ReadBytes(const std::string& path)
{
    const std::string data = ReadWhole(path);
    return std::vector<unsigned char>(data.begin(), data.end());
}

} // namespace testfiles

#endif
