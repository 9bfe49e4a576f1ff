// A temporary folder of the test process's own, so that two test runs at
// once (two checkouts, or a developer's run beside CI) never share a name.
#ifndef KELVRA_TESTS_COMMON_TEMP_DIR_H
#define KELVRA_TESTS_COMMON_TEMP_DIR_H

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace testtemp {

// Made on first use under a new random name, as mkdtemp does: creating a
// folder fails when the name exists. Removed with its contents at exit.
// The path ends with a separator.
inline const std::string& Dir()
{
    namespace fs = std::filesystem;
    static const struct Folder {
        std::string path;
        Folder()
        {
            std::mt19937_64 random(std::random_device{}() ^
                                   std::chrono::steady_clock::now().time_since_epoch().count());
            for (int attempt = 0; attempt < 1000 && path.empty(); ++attempt) {
                const fs::path p = fs::path(::testing::TempDir()) / ("kelvra-test-" + std::to_string(random() >> 20));
                std::error_code error;
                if (fs::create_directory(p, error)) path = (p / "").string();
            }
            if (path.empty()) std::abort();
        }
        ~Folder()
        {
            std::error_code error;
            fs::remove_all(path, error);
        }
    } folder;
    return folder.path;
}

inline std::string Path(const std::string& name) { return Dir() + name; }

} // namespace testtemp

#endif
