// The tables a build without ICU takes its character properties from agree
// with ICU on every code point: make unicode-tables writes them again when
// ICU changes.
#include "platform/UnicodeTables.h"

#include <gtest/gtest.h>
#include <unicode/uchar.h>

namespace {

TEST(UnicodeTables, AgreeWithIcu) {
    int differences = 0;
    for (UChar32 c = 0; c <= 0x10FFFF && differences < 10; ++c) {
        const char32_t u = static_cast<char32_t>(c);
        const bool mark = (U_GET_GC_MASK(c) & U_GC_M_MASK) != 0;
        const int eastAsian = u_getIntPropertyValue(c, UCHAR_EAST_ASIAN_WIDTH);
        const bool wide = !mark && (eastAsian == U_EA_WIDE || eastAsian == U_EA_FULLWIDTH);
        const char32_t folded = static_cast<char32_t>(u_foldCase(c, U_FOLD_CASE_DEFAULT));
        if (c < 0x80) continue;  // ASCII is the program's own
        const bool same = platform::unicode::IsMark(u) == mark && platform::unicode::IsWide(u) == wide &&
                          platform::unicode::FoldCase(u) == folded;
        if (!same) ++differences;
        EXPECT_TRUE(same) << std::hex << "U+" << c;
    }
}

TEST(UnicodeTables, Examples) {
    EXPECT_TRUE(platform::unicode::IsMark(U'\u3099'));  // wide, yet a mark
    EXPECT_FALSE(platform::unicode::IsWide(U'\u3099'));
    EXPECT_TRUE(platform::unicode::IsWide(U'漢'));
    EXPECT_FALSE(platform::unicode::IsWide(U'ｱ'));
    EXPECT_EQ(platform::unicode::FoldCase(U'Ａ'), U'ａ');
    EXPECT_EQ(platform::unicode::FoldCase(U'Q'), U'q');
}

}  // namespace
