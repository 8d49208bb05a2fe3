#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace {

TEST(CodePage, JapaneseTextConvertsBothWays) {
    const struct {
        std::string cp932;
        std::string utf8;
    } cases[] = {
        {"", ""},
        {"abc\\~,\r\n", "abc\\~,\r\n"},
        {"\x95\x5C", "表"},
        {"\xB6\xC0\xB6\xC5", "ｶﾀｶﾅ"},
        {"\x93\xFA\x96\x7B\x8C\xEA", "日本語"},
        {"\x81\x5B\x81\x40\x82\xA0", "ー　あ"},
        {"x\x95\x5Cy\xB6z", "x表yｶz"},
        {"a\0b"s, "a\0b"s},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::Cp932ToUtf8(c.cp932), c.utf8) << c.utf8;
        EXPECT_EQ(platform::Utf8ToCp932(c.utf8), c.cp932) << c.utf8;
    }
}

TEST(CodePage, LongTextGrowsTheOutput) {
    // Each half-width katakana byte becomes three UTF-8 bytes.
    std::string cp(3000, '\xB6'), utf8;
    for (int i = 0; i < 3000; ++i) utf8 += "ｶ";
    EXPECT_EQ(platform::Cp932ToUtf8(cp), utf8);
    EXPECT_EQ(platform::Utf8ToCp932(utf8), cp);
}

TEST(CodePage, UnconvertibleCharactersBecomeQuestionMarks) {
    struct Case {
        const char* name;
        std::string in;
        std::string out;
    };
    const Case toUtf8[] = {
        {"unassigned two-byte code", "x\x85\x40y", "x?y"},
        {"lead byte at the end", "a\x95", "a?"},
        {"two in a row", "\x85\x40\x85\x41z", "??z"},
        // A lead byte whose next byte is no trail byte stands alone: the
        // extension's dot stays.
        {"lead byte before a dot", "cd\x81.html", "cd?.html"},
        {"lead byte before a control byte", "\xE0\x1F", "?\x1F"},
        {"lead byte before DEL", "\x81\x7F", "?\x7F"},
        {"lead byte before 0xFD", "\x81\xFD" "a", "??a"},
        {"bytes that are never characters", "\x80\xA0\xFD\xFE\xFF.", "?????."},
    };
    const Case toCp932[] = {
        {"emoji", "a😀b", "a?b"},
        {"letter outside the code page", "x\xC3\xA9y", "x?y"},  // é
        {"malformed UTF-8", "x\xFFy", "x?y"},
        {"cut sequence at the end", "表\xE8\xA1", "\x95\x5C?"},
        {"cut sequence before a letter", "\xE8\xA1y\xE8", "?y?"},
        {"stray continuation bytes", "\x80\x80", "??"},
    };
    for (const auto& c : toUtf8) EXPECT_EQ(platform::Cp932ToUtf8(c.in), c.out) << c.name;
    for (const auto& c : toCp932) EXPECT_EQ(platform::Utf8ToCp932(c.in), c.out) << c.name;
}

}  // namespace
