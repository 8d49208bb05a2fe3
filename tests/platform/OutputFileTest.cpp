#include "platform/OutputFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <string>

#include "TestUtil.h"
#include "platform/StrFormat.h"

namespace {

namespace fs = std::filesystem;
using platform::OutputFile;
using platform::OutputFolder;

// Appends in uneven pieces with a spill after each, as the page writer does;
// the file must hold exactly the bytes given, across many buffer loads.
TEST(OutputFile, WritesEveryByteAcrossSpillsAndReusesItsBuffer) {
    testutil::TempDir dir;
    testutil::WriteBytes(dir.Path() / "表.html", std::string(500000, 'x'));  // emptied on create
    const std::string bytes = testutil::RandomBytes(7, 3 * OutputFile::kSpillSize + 12345);

    OutputFolder folder;
    ASSERT_TRUE(folder.Open(dir.Path().string()));
    OutputFile out;
    ASSERT_TRUE(out.Create(folder, "\x95\x5C.html"));  // 表.html
    for (size_t at = 0, step = 1; at < bytes.size(); at += step, step = step * 3 % 9973 + 1) {
        out.Append(std::string_view(bytes).substr(at, step));
        out.Spill();
    }
    EXPECT_TRUE(out.Close());
    EXPECT_FALSE(out.IsOpen());
    EXPECT_EQ(testutil::ReadBytes(dir.Path() / "表.html"), bytes);

    ASSERT_TRUE(out.Create(folder, "second"));
    out.Append("small");
    EXPECT_TRUE(out.Close());
    EXPECT_EQ(testutil::ReadBytes(dir.Path() / "second"), "small");

    // Like fopen "w": 0666 less the umask.
    const mode_t old = ::umask(022);
    ASSERT_TRUE(out.Create(folder, "mode"));
    ::umask(old);
    EXPECT_TRUE(out.Close());
    struct stat st {};
    ASSERT_EQ(::stat(dir.File("mode").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

// The folder named may be a link; below it, a link, a FIFO or anything
// but a regular file is no page, and nothing there is emptied or waited on.
TEST(OutputFile, RefusesWhatIsNoRegularFileBelowTheFolder) {
    testutil::TempDir dir;
    fs::create_directories(dir.Path() / "real" / "folder");
    fs::create_directory_symlink("real", dir.Path() / "named");
    const fs::path out = dir.Path() / "real";
    testutil::WriteBytes(dir.Path() / "precious.txt", "precious");
    fs::create_symlink("../precious.txt", out / "victim.html");
    ASSERT_EQ(::mkfifo((out / "fifo.html").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((out / "read.html").c_str(), 0600), 0);
    const int reader = ::open((out / "read.html").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);

    OutputFolder folder;
    ASSERT_TRUE(folder.Open((dir.Path() / "named").string()));
    OutputFile file;
    for (const char* name : {"victim.html", "fifo.html", "read.html", "folder", "missing/x.html",
                             "../precious.txt", ""}) {
        EXPECT_FALSE(file.Create(folder, name)) << name;
        file.Append("dropped");
        EXPECT_FALSE(file.Close()) << name;  // nothing open
        EXPECT_TRUE(file.Text().empty());
    }
    ::close(reader);
    EXPECT_EQ(testutil::ReadBytes(dir.Path() / "precious.txt"), "precious");
    EXPECT_TRUE(file.Create(folder, "page.html"));
    EXPECT_TRUE(file.Close());
    EXPECT_TRUE(fs::exists(out / "page.html"));

    OutputFolder none;
    EXPECT_FALSE(none.Open((dir.Path() / "missing").string()));
    EXPECT_FALSE(file.Create(none, "page.html"));
}

// A full disk: the lost bytes show at close, whether they were spilled
// before or left for the close.
TEST(OutputFile, ReportsBytesThatDidNotReachTheFile) {
    testutil::TempDir dir;
    OutputFolder folder;
    ASSERT_TRUE(folder.Open(dir.Path().string()));
    struct sigaction ignore {}, old {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &old), 0);
    rlimit was{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &was), 0);
    const rlimit small{1000, was.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    OutputFile out;
    for (const size_t size : {size_t{1001}, 2 * OutputFile::kSpillSize}) {
        ASSERT_TRUE(out.Create(folder, "full"));
        out.Append(std::string(size, 'x'));
        out.Spill();
        EXPECT_FALSE(out.Close()) << size;
    }
    ASSERT_TRUE(out.Create(folder, "fits"));
    out.Append(std::string(1000, 'x'));
    EXPECT_TRUE(out.Close());
    ::setrlimit(RLIMIT_FSIZE, &was);
    ::sigaction(SIGXFSZ, &old, nullptr);
}

TEST(OutputFolder, OneRunAtATime) {
    testutil::TempDir dir;
    OutputFolder first, second;
    ASSERT_TRUE(first.Open(dir.Path().string()));
    ASSERT_TRUE(second.Open(dir.Path().string()));
    EXPECT_EQ(first.TryLock(), OutputFolder::Lock::kHeld);
    EXPECT_EQ(second.TryLock(), OutputFolder::Lock::kBusy);
    first.Unlock();
    EXPECT_EQ(second.TryLock(), OutputFolder::Lock::kHeld);
    EXPECT_EQ(first.TryLock(), OutputFolder::Lock::kBusy);
    // No file is made for the lock.
    EXPECT_TRUE(fs::is_empty(dir.Path()));
}

TEST(AppendPaddedInt, MatchesPrintf) {
    const int values[] = {0, 1, 7, 42, 999, 1000, 12345, 123456, -1, -42, -12345, INT_MAX, INT_MIN};
    const int widths[] = {0, 1, 3, 5, 8, 12, -1, -6, -14};
    for (int value : values) {
        for (int width : widths) {
            char expected[64];
            std::snprintf(expected, sizeof expected, "%0*d", width, value);
            std::string out = "<";
            platform::AppendPaddedInt(out, value, width);
            EXPECT_EQ(out, std::string("<") + expected) << value << " width " << width;
        }
    }
}

}  // namespace
