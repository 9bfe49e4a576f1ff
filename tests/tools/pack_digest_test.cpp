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

namespace {

std::string Capture(const std::string& cmd, int* status = nullptr)
{
    std::string out;
    std::FILE* p = popen((cmd + " 2>&1").c_str(), "r");
    if (!p) return out;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    const int raw = pclose(p);
    if (status) *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return out;
}

std::string Q(const fs::path& p) { return "'" + p.string() + "'"; }

void Put(const fs::path& p, const std::string& data)
{
    fs::create_directories(p.parent_path());
    std::ofstream f(p, std::ios::binary);
    f << data;
}

std::string Get(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

class PackDigest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = fs::path(::testing::TempDir()) / ("kelvra_packdigest_" + std::to_string(getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_);
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

    int plainStatus = -1, withStatus = -1;
    const std::string plainOut =
        Capture(std::string("'") + MEDIATOOL_PATH + "' pack " + Q(t) + " -o " + Q(root_ / "plain.pkg"), &plainStatus);
    ASSERT_EQ(plainStatus, 0) << plainOut;
    EXPECT_FALSE(fs::exists(root_ / "m.txt"));
    const std::string withOut = Capture(std::string("'") + MEDIATOOL_PATH + "' pack " + Q(t) + " -o " +
                                        Q(root_ / "with.pkg") + " --manifest " + Q(root_ / "m.txt"),
                                    &withStatus);
    ASSERT_EQ(withStatus, 0) << withOut;
    EXPECT_EQ(Get(root_ / "plain.pkg"), Get(root_ / "with.pkg"));

    const std::string manifest = Get(root_ / "m.txt");
    // Every file's digest and the package's, as sha256sum computes them.
    for (const fs::path& f : {t / "big.bin", t / "sub" / "one.txt", t / "sub" / "empty.dat",
                              t / "exact.bin", root_ / "plain.pkg"}) {
        const std::string sum = Capture("sha256sum " + Q(f)).substr(0, 64);
        ASSERT_EQ(sum.size(), 64u);
        EXPECT_NE(manifest.find(sum), std::string::npos) << f << " " << sum << "\n" << manifest;
    }
}

} // namespace
