// Files on a POSIX system: FIFOs, devices, /proc and links.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "TestUtil.h"
#include "platform/FileSys.h"
#include "platform/Memory.h"

namespace {

namespace fs = std::filesystem;

// A file that tells no size (as /proc does) is read on in pieces.
TEST(FileSysPosix, ReadsAFileThatTellsNoSize) {
    platform::ByteBuffer bytes;
    ASSERT_EQ(platform::ReadWholeFile("/proc/self/status", bytes), platform::ReadStatus::kRead);
    EXPECT_TRUE(bytes.View().starts_with("Name:")) << bytes.View();
}

// Only regular files: nothing else is opened, and nothing is waited on.
TEST(FileSysPosix, OpenFileRefusesAllButRegularFiles) {
    testutil::TempDir dir;
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    // A FIFO with a reader waiting on it: still no file to write.
    const int reader = ::open(dir.File("fifo").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_EQ(::mkfifo(dir.File("lonely").c_str(), 0600), 0);
    const std::string refused[] = {dir.Path().string(), "", dir.File("missing"),
                                   dir.File("fifo"),    dir.File("lonely"), "/dev/zero",
                                   "/dev/null"};
    for (const std::string& path : refused) {
        for (const char* mode : {"rb", "wb"}) {
            if (std::string(mode) == "wb" && (path.starts_with("/dev/") || path.ends_with("missing")))
                continue;  // not to be made, or made as asked
            EXPECT_EQ(platform::OpenFile(path, mode), nullptr) << path << " " << mode;
        }
    }
    ::close(reader);
}

// Both ways of opening below a folder keep to it: no link is followed,
// nothing outside is created or changed.
TEST(FileSysPosix, OpenBeneathStaysInTheFolderAndFollowsNoLink) {
    using Open = int (*)(int, std::string_view, int, mode_t);
    const struct {
        const char* name;
        Open open;
    } ways[] = {{"openat2", platform::OpenBeneath}, {"walk", platform::OpenBeneathByWalk}};
    const struct {
        const char* name;
        bool opens;
    } cases[] = {
        {"page.html", true},
        {"sub/page.html", true},
        {"./sub//page.html", true},
        {"表.html", true},
        {"victim.html", false},    // a link to a file outside
        {"dangling.html", false},  // a link to a file that does not exist yet
        {"link/x.html", false},    // through a linked folder
        {"sub/../sub/page.html", true},  // never leaves the folder
        {"sub/../../outside.txt", false},
        {"../outside.txt", false},
        {"/tmp/absolute.html", false},
        {"", false},
    };
    for (const auto& way : ways) {
        testutil::TempDir dir;
        const fs::path out = dir.Path() / "out";
        fs::create_directories(out / "sub");
        fs::create_directories(dir.Path() / "elsewhere");
        testutil::WriteBytes(dir.Path() / "outside.txt", "precious");
        fs::create_symlink("../outside.txt", out / "victim.html");
        fs::create_symlink(dir.Path() / "new.txt", out / "dangling.html");
        fs::create_symlink("../elsewhere", out / "link");
        const int folder = ::open(out.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_GE(folder, 0);
        for (const auto& c : cases) {
            const int fd = way.open(folder, c.name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            EXPECT_EQ(fd >= 0, c.opens) << way.name << ": " << c.name;
            if (fd >= 0) ::close(fd);
        }
        ::close(folder);
        EXPECT_EQ(testutil::ReadBytes(dir.Path() / "outside.txt"), "precious") << way.name;
        EXPECT_FALSE(fs::exists(dir.Path() / "new.txt")) << way.name;
        EXPECT_TRUE(fs::is_empty(dir.Path() / "elsewhere")) << way.name;
        EXPECT_TRUE(fs::exists(out / "sub" / "page.html")) << way.name;
    }
}

// glibc sets a stream's error flag on a read from a stream open only for
// writing.
TEST(FileSysPosix, CloseCheckedReportsALostWrite) {
    testutil::TempDir dir;
    platform::FilePtr f = platform::OpenFile(dir.File("f"), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("data", f.get());
    // A read from a stream open only for writing sets its error flag.
    EXPECT_EQ(std::fgetc(f.get()), EOF);
    EXPECT_FALSE(platform::CloseChecked(f));
    platform::FilePtr none;
    EXPECT_FALSE(platform::CloseChecked(none));
}

}  // namespace
