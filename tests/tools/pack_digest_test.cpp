// mediatool pack hashes only for a manifest: with and without --manifest the
// package is the same, and the manifest's digests are sha256sum's.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

#include "tests/tools/tool_support.h"

using namespace tooltest;

namespace {

class PackDigest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = FreshRoot("packdigest");
    }
    void TearDown() override { fs::remove_all(root_); }
    fs::path root_;
};

TEST_F(PackDigest, ManifestChangesNothingInThePackage)
{
    const fs::path t = root_ / "tree";
    // Sizes around the tool's 1 MiB read buffer, and an empty file.
    std::string big(3 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 2654435761u) >> 13);
    Put(t / "big.bin", big);
    Put(t / "sub" / "one.txt", "one\r\n");
    Put(t / "sub" / "empty.dat", "");
    Put(t / "exact.bin", std::string(1024 * 1024, 'k'));

    const ToolRun plain = Tool("pack " + Q(t) + " -o " + Q(root_ / "plain.pkg"));
    ASSERT_EQ(plain.status, 0) << plain.out;
    EXPECT_FALSE(fs::exists(root_ / "m.txt"));
    const ToolRun with = Tool("pack " + Q(t) + " -o " + Q(root_ / "with.pkg") + " --manifest " + Q(root_ / "m.txt"));
    ASSERT_EQ(with.status, 0) << with.out;
    EXPECT_EQ(Get(root_ / "plain.pkg"), Get(root_ / "with.pkg"));

    const std::string manifest = Get(root_ / "m.txt");
    // Every file's digest and the package's, as sha256sum computes them.
    for (const fs::path& f : {t / "big.bin", t / "sub" / "one.txt", t / "sub" / "empty.dat",
                              t / "exact.bin", root_ / "plain.pkg"}) {
        const std::string sum = RunCommand("sha256sum " + Q(f)).out.substr(0, 64);
        ASSERT_EQ(sum.size(), 64u);
        EXPECT_NE(manifest.find(sum), std::string::npos) << f << " " << sum << "\n" << manifest;
    }
}

} // namespace
