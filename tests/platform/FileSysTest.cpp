#include "platform/FileSys.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TestUtil.h"
#include "platform/Memory.h"

namespace {

namespace fs = std::filesystem;

TEST(FileSys, PathsAreTakenAsTheyAreSpelled) {
    testutil::TempDir dir;
    // Characters that code page 932 holds and characters it does not.
    const std::string cpPath = dir.File("表ｶ𠮷é😀.txt");
    {
        platform::FilePtr f = platform::OpenFile(cpPath, "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fwrite("xyz", 1, 3, f.get()), 3u);
        EXPECT_TRUE(platform::CloseChecked(f));
        EXPECT_EQ(f, nullptr);
    }
    EXPECT_EQ(testutil::ReadBytes(dir.Path() / testutil::U8("表ｶ𠮷é😀.txt")), "xyz");

    platform::ByteBuffer bytes;
    EXPECT_EQ(platform::ReadWholeFile(cpPath, bytes), platform::ReadStatus::kRead);
    EXPECT_EQ(bytes.View(), "xyz");
    EXPECT_EQ(bytes.Data()[3], '\0');
    EXPECT_EQ(platform::ReadWholeFile(dir.File("missing"), bytes), platform::ReadStatus::kCannotOpen);
    EXPECT_EQ(bytes.View(), "");

    // Writing empties what was there.
    platform::FilePtr again = platform::OpenFile(cpPath, "wb");
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(platform::CloseChecked(again));
    EXPECT_EQ(testutil::ReadBytes(dir.Path() / testutil::U8("表ｶ𠮷é😀.txt")), "");
}

// A large file is read whole.
TEST(FileSys, ReadsFilesOfAnySize) {
    platform::ByteBuffer bytes;
    testutil::TempDir dir;
    const std::string big = testutil::RandomBytes(5, 3 * 65536 + 7);
    testutil::WriteBytes(dir.Path() / "big", big);
    ASSERT_EQ(platform::ReadWholeFile(dir.File("big"), bytes), platform::ReadStatus::kRead);
    EXPECT_EQ(bytes.View(), big);
    // Moved, the bytes go along and leave an empty buffer behind.
    platform::ByteBuffer moved = std::move(bytes);
    EXPECT_EQ(moved.View(), big);
    EXPECT_EQ(bytes.Size(), 0u);  // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(bytes.View(), "");
}

TEST(FileSys, IsFolderLeavesTheCurrentDirectoryAlone) {
    testutil::TempDir dir;
    fs::create_directory(dir.Path() / testutil::U8("表café"));
    testutil::WriteBytes(dir.Path() / "file", "x");
    const auto cwd = fs::current_path();
    const struct {
        std::string path;
        bool folder;
    } cases[] = {
        {dir.Path().string(), true},
        {dir.File("表café"), true},
        {dir.File("file"), false},
        {dir.File("missing"), false},
        {"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::IsFolder(c.path), c.folder) << c.path;
        EXPECT_EQ(fs::current_path(), cwd);
    }
}

TEST(FileSys, JoinPath) {
#ifdef _WIN32
    EXPECT_EQ(platform::JoinPath("C:\\site", "sub/a.html"), "C:\\site\\sub\\a.html");
#else
    EXPECT_EQ(platform::JoinPath("out", "sub/a.html"), "out/sub/a.html");
    EXPECT_EQ(platform::JoinPath("/tmp/\x95\x5C", "\xB6.html"), "/tmp/\x95\x5C/\xB6.html");
#endif
}

}  // namespace
