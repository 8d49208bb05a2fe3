#include "data/TemplateFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "TestUtil.h"

using namespace std::string_literals;

namespace {

TEST(TemplateFile, ReadsLikeWindowsTextMode) {
    const struct {
        const char* name;
        std::string file;
        std::string text;
        int eofLine = 0;  // where a 0x1A cut text off
    } cases[] = {
        {"CR LF lines", "<p>\r\n[a]\r\n</p>\r\n", "<p>\n[a]\n</p>\n"},
        {"LF lines", "a\nb\n", "a\nb\n"},
        {"lone CR", "a\rb\r", "a\rb\r"},
        {"CR CR LF", "a\r\r\nb", "a\r\nb"},
        {"0x1A ends the text", "ab\r\ncd\x1Axy\r\n", "ab\ncd", 2},
        {"0x1A first", "\x1Axyz", "", 1},
        {"CR before 0x1A", "a\r\x1A\n", "a\r"},
        {"0x1A and line ends only after it", "a\r\n\x1A\r\n\x1A\n", "a\n"},
        {"0x1A at the very end", "a\r\n\x1A", "a\n"},
        {"code page 932 bytes unchanged", "\x95\x5C\xB6\x81\x5B\r\n", "\x95\x5C\xB6\x81\x5B\n"},
        {"empty", "", ""},
    };
    testutil::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testutil::WriteBytes(dir.Path() / "t.html", c.file);
        CTemplateFile t(dir.File("t.html"));
        ASSERT_TRUE(t.IsOpen());
        EXPECT_EQ(t.GetText(), nullptr);
        EXPECT_EQ(t.Read(), static_cast<int>(c.text.size()));
        ASSERT_NE(t.GetText(), nullptr);
        EXPECT_EQ(std::string(t.GetText()), c.text);
        EXPECT_EQ(t.EofLine(), c.eofLine);
    }
}

TEST(TemplateFile, ThreeCrLfLinesAreThreeBytesShorter) {
    testutil::TempDir dir;
    const std::string file = "<html>\r\n<b>[name]</b>\r\n</html>\r\n";
    testutil::WriteBytes(dir.Path() / "t.html", file);
    CTemplateFile t(dir.File("t.html"));
    EXPECT_EQ(t.Read(), static_cast<int>(file.size()) - 3);
}

TEST(TemplateFile, ReadingTwiceGivesTheSameText) {
    testutil::TempDir dir;
    testutil::WriteBytes(dir.Path() / testutil::U8("表.html"), "a\r\n[\x95\x5C]\r\n");
    CTemplateFile t(dir.File("表.html"));
    ASSERT_TRUE(t.IsOpen());
    EXPECT_EQ(t.Read(), 7);
    const std::string first = t.GetText();
    EXPECT_EQ(t.Read(), 7);
    EXPECT_EQ(std::string(t.GetText()), first);
    EXPECT_EQ(first, "a\n[\x95\x5C]\n");
}

TEST(TemplateFile, NoFileToRead) {
    testutil::TempDir dir;
#ifdef _WIN32
    const std::string special = "CON", device = "NUL";
#else
    ASSERT_EQ(::mkfifo(dir.File("fifo.html").c_str(), 0600), 0);
    const std::string special = dir.File("fifo.html"), device = "/dev/zero";
#endif
    for (const std::string& path : {dir.File("missing.html"), dir.Path().string(), ""s, special, device}) {
        CTemplateFile t(path);
        EXPECT_FALSE(t.IsOpen()) << path;
        EXPECT_EQ(t.Read(), 0);
        EXPECT_EQ(t.GetText(), nullptr);
    }
}

}  // namespace
