// A temporary folder of the test process's own, so that two test runs at
// once (two checkouts, or a developer's run beside CI) never share a name.
#ifndef KELVRA_TESTS_COMMON_TEMP_DIR_H
#define KELVRA_TESTS_COMMON_TEMP_DIR_H

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace testtemp {

// Made on first use below the temporary folder under a new random name, as
// mkdtemp does it: creating a folder fails when the name exists, so a name
// is never shared. Removed with everything in it when the process ends.
class ProcessFolder {
public:
    ProcessFolder()
    {
        namespace fs = std::filesystem;
        std::random_device device;
        std::mt19937_64 random(device() ^ static_cast<unsigned long long>(
                                              std::chrono::steady_clock::now().time_since_epoch().count()));
        for (int attempt = 0; attempt < 1000 && path_.empty(); ++attempt) {
            char name[32];
            std::snprintf(name, sizeof name, "kelvra-test-%012llx", static_cast<unsigned long long>(random() >> 16));
            const fs::path folder = fs::path(::testing::TempDir()) / name;
            std::error_code error;
            if (fs::create_directory(folder, error)) path_ = (folder / "").string();
        }
        if (path_.empty()) {
            std::fprintf(stderr, "cannot make a temporary folder below %s\n", ::testing::TempDir().c_str());
            std::abort();
        }
    }
    ~ProcessFolder()
    {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
    ProcessFolder(const ProcessFolder&) = delete;
    ProcessFolder& operator=(const ProcessFolder&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// The folder, ending with a separator.
inline const std::string& Dir()
{
    static const ProcessFolder folder;
    return folder.path();
}

inline std::string Path(const std::string& name) { return Dir() + name; }

} // namespace testtemp

#endif
