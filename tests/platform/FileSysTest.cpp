#include "platform/FileSys.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TestUtil.h"

namespace {

TEST(FileSys, CodePagePathNamesTheUtf8File) {
    testutil::TempDir dir;
    const std::string cpPath = dir.File("") + "\x95\x5C\xB6.txt";  // 表ｶ.txt
    {
        platform::FilePtr f = platform::OpenFile(cpPath, "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fwrite("xyz", 1, 3, f.get()), 3u);
        EXPECT_TRUE(platform::CloseChecked(f));
        EXPECT_EQ(f, nullptr);
    }
    EXPECT_EQ(testutil::ReadBytes(dir.Path() / "表ｶ.txt"), "xyz");

    std::string bytes;
    EXPECT_TRUE(platform::ReadWholeFile(cpPath, bytes));
    EXPECT_EQ(bytes, "xyz");
    EXPECT_FALSE(platform::ReadWholeFile(dir.File("missing"), bytes));
    EXPECT_EQ(bytes, "");
}

TEST(FileSys, OpenFileRefusesFoldersAndEmptyPaths) {
    testutil::TempDir dir;
    EXPECT_EQ(platform::OpenFile(dir.Path().string(), "rb"), nullptr);
    EXPECT_EQ(platform::OpenFile("", "rb"), nullptr);
    EXPECT_EQ(platform::OpenFile(dir.File("missing"), "rb"), nullptr);
}

TEST(FileSys, CloseCheckedReportsALostWrite) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    platform::FilePtr f = platform::OpenFile("/dev/full", "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("data", f.get());
    EXPECT_FALSE(platform::CloseChecked(f));
    platform::FilePtr none;
    EXPECT_FALSE(platform::CloseChecked(none));
}

TEST(FileSys, IsFolderLeavesTheCurrentDirectoryAlone) {
    testutil::TempDir dir;
    std::filesystem::create_directory(dir.Path() / "表");
    testutil::WriteBytes(dir.Path() / "file", "x");
    const auto cwd = std::filesystem::current_path();
    const struct {
        std::string path;
        bool folder;
    } cases[] = {
        {dir.Path().string(), true},
        {dir.File("") + "\x95\x5C", true},
        {dir.File("file"), false},
        {dir.File("missing"), false},
        {"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::IsFolder(c.path), c.folder) << c.path;
        EXPECT_EQ(std::filesystem::current_path(), cwd);
    }
}

TEST(FileSys, JoinPath) {
    EXPECT_EQ(platform::JoinPath("out", "a.html"), "out/a.html");
    EXPECT_EQ(platform::JoinPath("/tmp/\x95\x5C", "\xB6.html"), "/tmp/\x95\x5C/\xB6.html");
}

}  // namespace
