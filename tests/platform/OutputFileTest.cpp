#include "platform/OutputFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <string>

#include "TestUtil.h"
#include "platform/StrFormat.h"

namespace {

using platform::OutputFile;

// Appends in uneven pieces with a spill after each, as the page writer does;
// the file must hold exactly the bytes given, across many buffer loads.
TEST(OutputFile, WritesEveryByteAcrossSpillsAndReusesItsBuffer) {
    testutil::TempDir dir;
    const std::string first = dir.File("") + "\x95\x5C.html";  // 表.html
    testutil::WriteBytes(dir.Path() / "表.html", std::string(500000, 'x'));  // emptied on create
    const std::string bytes = testutil::RandomBytes(7, 3 * OutputFile::kSpillSize + 12345);

    OutputFile out;
    ASSERT_TRUE(out.Create(first));
    for (size_t at = 0, step = 1; at < bytes.size(); at += step, step = step * 3 % 9973 + 1) {
        out.Append(std::string_view(bytes).substr(at, step));
        out.Spill();
    }
    EXPECT_TRUE(out.Close());
    EXPECT_FALSE(out.IsOpen());
    EXPECT_EQ(testutil::ReadBytes(dir.Path() / "表.html"), bytes);

    ASSERT_TRUE(out.Create(dir.File("second")));
    out.Append("small");
    EXPECT_TRUE(out.Close());
    EXPECT_EQ(testutil::ReadBytes(dir.Path() / "second"), "small");

    // Like fopen "w": 0666 less the umask.
    const mode_t old = ::umask(022);
    ASSERT_TRUE(out.Create(dir.File("mode")));
    ::umask(old);
    EXPECT_TRUE(out.Close());
    struct stat st {};
    ASSERT_EQ(::stat(dir.File("mode").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST(OutputFile, ReportsFilesThatCannotBeCreatedOrWritten) {
    testutil::TempDir dir;
    OutputFile out;
    EXPECT_FALSE(out.Create(""));
    EXPECT_FALSE(out.Create(dir.File("missing/page.html")));
    EXPECT_FALSE(out.Create(dir.File("")));  // a folder
    out.Append("dropped");
    EXPECT_FALSE(out.Close());  // nothing open
    EXPECT_TRUE(out.Text().empty());

    // A full device: the lost bytes show at close, whether they were
    // spilled before or left for the close.
    for (const size_t size : {size_t{10}, 2 * OutputFile::kSpillSize}) {
        ASSERT_TRUE(out.Create("/dev/full"));
        out.Append(std::string(size, 'x'));
        out.Spill();
        EXPECT_FALSE(out.Close()) << size;
    }
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
