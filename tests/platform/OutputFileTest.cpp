#include "platform/OutputFolder.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <optional>
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
    testutil::WriteBytes(dir.Path() / testutil::U8("表.html"), std::string(500000, 'x'));  // emptied on create
    const std::string bytes = testutil::RandomBytes(7, 3 * OutputFile::kSpillSize + 12345);

    auto folder = platform::OpenOutputFolder(dir.Path().string());
    ASSERT_TRUE(folder);
    auto out = folder->NewFile();
    ASSERT_TRUE(out->Create("表.html"));
    for (size_t at = 0, step = 1; at < bytes.size(); at += step, step = step * 3 % 9973 + 1) {
        out->Append(std::string_view(bytes).substr(at, step));
        out->Spill();
    }
    EXPECT_TRUE(out->Close());
    EXPECT_FALSE(out->IsOpen());
    EXPECT_EQ(testutil::ReadBytes(dir.Path() / testutil::U8("表.html")), bytes);

    ASSERT_TRUE(out->Create("second"));
    out->Append("small");
    EXPECT_TRUE(out->Close());
    EXPECT_EQ(testutil::ReadBytes(dir.Path() / "second"), "small");

#ifndef _WIN32
    // Like fopen "w": 0666 less the umask.
    const mode_t old = ::umask(022);
    ASSERT_TRUE(out->Create("mode"));
    ::umask(old);
    EXPECT_TRUE(out->Close());
    struct stat st {};
    ASSERT_EQ(::stat(dir.File("mode").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
#endif
}

// Once the folder's names are noted, only a file that was there then is
// compared; one that came later is written as Create writes it.
TEST(OutputFolder, NotedNamesAreTheFilesCompared) {
    testutil::TempDir dir;
    fs::create_directory(dir.Path() / "sub");
    for (const char* name : {"early.html", "sub/deep.html"})
        testutil::WriteBytes(dir.Path() / name, "x");
    auto folder = platform::OpenOutputFolder(dir.Path().string());
    ASSERT_TRUE(folder);
    folder->NoteEntries();
    testutil::WriteBytes(dir.Path() / "late.html", "x");
    auto out = folder->NewFile();
    for (const auto& [name, outcome] : {std::pair{"early.html", OutputFile::Outcome::kUnchanged},
                                        std::pair{"sub/deep.html", OutputFile::Outcome::kUnchanged},
                                        std::pair{"late.html", OutputFile::Outcome::kWritten}}) {
        ASSERT_TRUE(out->CreateUnlessSame(name));
        out->Append("x");
        EXPECT_TRUE(out->Close());
        EXPECT_EQ(out->Closed(), outcome) << name;
    }
}

TEST(OutputFolder, OneRunAtATime) {
    testutil::TempDir dir;
    auto first = platform::OpenOutputFolder(dir.Path().string());
    auto second = platform::OpenOutputFolder(dir.Path().string());
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->TryLock(), OutputFolder::Lock::kHeld);
    EXPECT_EQ(second->TryLock(), OutputFolder::Lock::kBusy);
    first->Unlock();
    EXPECT_EQ(second->TryLock(), OutputFolder::Lock::kHeld);
    EXPECT_EQ(first->TryLock(), OutputFolder::Lock::kBusy);
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
