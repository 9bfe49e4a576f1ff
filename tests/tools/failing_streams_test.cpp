// Writes that the system refuses: /dev/full fails every write with ENOSPC,
// as a full disk does. A buffered stream sees it when it is closed or
// flushed, an unbuffered one at the write itself; either must be told.
#include <sys/mount.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "base/file_owner.h"
#include "media/digest.h"
#include "tests/tools/tool_support.h"
#include "tools/mediatool/temp_files.h"

using namespace tooltest;

namespace {

const char kFull[] = "/dev/full";

TEST(FailingStreams, FileOwnerCloseTellsOfALostWrite)
{
    for (bool buffered : {true, false}) {
        SCOPED_TRACE(buffered ? "buffered" : "unbuffered");
        FileOwner f(std::fopen(kFull, "wb"));
        ASSERT_TRUE(f);
        if (!buffered) std::setvbuf(f.get(), nullptr, _IONBF, 0);
        (void)std::fwrite("data", 1, 4, f.get());
        EXPECT_FALSE(f.Close());
    }
}

// Appending a stamp: the trailer goes through the stream's buffer, so only
// the flush can fail.
TEST(FailingStreams, StampingIntoAFullDeviceFails)
{
    FileOwner f(std::fopen(kFull, "r+b"));
    ASSERT_TRUE(f);
    unsigned char digest[kStampSize];
    EXPECT_EQ(StampStream(f.get(), StampMode::kAppend, digest), StampResult::kWriteError);
}

// fsync refused (a device that cannot sync: EINVAL) and a rename refused
// (a file over a folder: EISDIR), each with the system's reason.
TEST(FailingStreams, FlushAndMoveTellTheRefusal)
{
    std::string why;
    EXPECT_FALSE(tempfiles::FlushToDevice(kFull, false, why));
    EXPECT_EQ(why, std::strerror(EINVAL));
    const fs::path root = FreshRoot("move");
    Put(root / "a", "x");
    Put(root / "d" / "f", "y");
    why.clear();
    EXPECT_FALSE(tempfiles::MoveOver(root / "a", root / "d", why));
    EXPECT_EQ(why, std::strerror(EISDIR));
    EXPECT_EQ(Get(root / "a"), "x");
    fs::remove_all(root);
}

// unpack, where a record's file is /dev/full: a small file fails as it is
// closed, a large one while it is written; either is refused with the
// system's reason, and the next record is not written.
TEST(FailingStreams, UnpackIntoAFullDeviceIsRefused)
{
    const fs::path root = FreshRoot("full");
    const struct { std::size_t size; const char* why; } cases[] = {
        {10, "cannot be written completely: No space left on device"},
        {100000, "cannot be written: No space left on device"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        const fs::path out = root / ("out" + std::to_string(c.size));
        fs::create_directories(out);
        fs::create_symlink(kFull, out / "a.txt");
        Put(root / "p.pkg", testbytes::Record("a.txt", std::string(c.size, 'x')) + testbytes::Record("z.txt", "z"));
        const ToolRun r = Tool("unpack " + Q(root / "p.pkg") + " " + Q(out));
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_NE(r.out.find("record at offset 0 (a.txt): " + std::string(c.why)), std::string::npos) << r.out;
        EXPECT_FALSE(fs::exists(out / "z.txt"));
    }
    fs::remove_all(root);
}

// A stick with room for five small files: the sixth, SHA256SUMS, fails as
// it is closed. Refused, and nothing is left on the stick: neither the
// staging nor the folder the run made for the medium.
TEST(FailingStreams, AssembleOntoAFullStickIsRefused)
{
    const fs::path root = FreshRoot("stick");
    Put(root / "payload" / "Kelvra.exe", "MZprogram");
    Put(root / "setup.exe", SmallPe());
    const fs::path usb = root / "usb";
    fs::create_directories(usb);
    if (mount("kelvra-test", usb.c_str(), "tmpfs", 0, "size=20k") != 0) {
        const std::string why = std::strerror(errno);
        fs::remove_all(root);
        GTEST_SKIP() << "cannot mount a tmpfs here (" << why << "); needs root";
    }
    const ToolRun r = Tool("assemble --payload " + Q(root / "payload") + " --setup " + Q(root / "setup.exe") +
                           " --out " + Q(usb / "medium") + " --placeholder-runtime -q");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("/SHA256SUMS: cannot be written: No space left on device"), std::string::npos) << r.out;
    EXPECT_TRUE(fs::is_empty(usb));
    umount2(usb.c_str(), MNT_DETACH);
    fs::remove_all(root);
}

} // namespace
