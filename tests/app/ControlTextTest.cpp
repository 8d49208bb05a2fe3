// The batch mode's reading of edits and up-downs without the toolkit, held
// against the toolkit's own: every short text over an alphabet of the
// characters that matter, every character of code page 932, and the edit's
// length limit.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <climits>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "app/ControlText.h"
#include "app/QtText.h"
#include "platform/CodePage.h"

namespace {

using testutil::Cp;
using testutil::Repeat;

// The number read, or "-" when the text is none, by both readers.
std::string ByQt(const std::string& utf8) {
    int last = INT_MIN + 7;
    bool error = false;
    const int v = UpDownPos(QString::fromStdString(utf8), INT_MIN, INT_MAX, last, &error);
    return error ? "-" : std::to_string(v);
}
std::string ByUs(const std::string& utf8) {
    int last = INT_MIN + 7;
    bool error = false;
    const int v = UpDownPosition(utf8, INT_MIN, INT_MAX, last, &error);
    return error ? "-" : std::to_string(v);
}

TEST(ControlTextTest, ReadsEveryShortTextAsTheToolkit) {
    const std::vector<std::string> alphabet = {std::string(1, '\0'),
                                               " ",
                                               "\t",
                                               "\n",
                                               "\u3000",
                                               "\u00a0",
                                               "0",
                                               "1",
                                               "9",
                                               "-",
                                               "+",
                                               "x",
                                               ",",
                                               ".",
                                               "e",
                                               "\uff11",
                                               "\u2212"};
    std::vector<std::string> texts = {""};
    size_t from = 0;
    for (int length = 1; length <= 4; ++length) {
        const size_t to = texts.size();
        for (size_t i = from; i < to; ++i)
            for (const std::string& c : alphabet) texts.push_back(texts[i] + c);
        from = to;
    }
    for (const std::string& t : texts) ASSERT_EQ(ByUs(t), ByQt(t)) << testing::PrintToString(t);
}

TEST(ControlTextTest, ReadsEveryCodePage932CharacterAsTheToolkit) {
    auto check = [](const std::string& cp) {
        const std::string c = platform::Cp932ToUtf8(cp);
        for (const std::string& t :
             {c, "1" + c, c + "1", "-" + c + "2", "1" + c + "1", " " + c + " 3"})
            ASSERT_EQ(ByUs(t), ByQt(t)) << testing::PrintToString(cp);
    };
    for (int b = 0; b < 256; ++b) {
        const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        if (!lead) {
            check(std::string(1, static_cast<char>(b)));
            continue;
        }
        for (int t = 0x40; t <= 0xFC; ++t) check({static_cast<char>(b), static_cast<char>(t)});
    }
}

TEST(ControlTextTest, ReadsTheEdgesOfIntAsTheToolkit) {
    for (const std::string t :
         {"2147483647", "2147483648", "-2147483648", "-2147483649", "99999999999999999999",
          "00000000000000000000000042", "-0", "+0", "--1", "+-1", "1-", " 12 ", "\u3000-7\u3000"})
        EXPECT_EQ(ByUs(t), ByQt(t)) << t;
    // The range and the last valid position.
    int last = 5;
    bool error = false;
    EXPECT_EQ(UpDownPosition("10", 9999, 1, last, &error), 10);
    EXPECT_FALSE(error);
    EXPECT_EQ(UpDownPosition("10000", 9999, 1, last, &error), 10);
    EXPECT_TRUE(error);
    EXPECT_EQ(UpDownPosition("0", 9999, 0, last, &error), 0);
    EXPECT_FALSE(error);
}

TEST(ControlTextTest, EditHoldsWhatTheToolkitsEditHolds) {
    QLineEdit edit;
    for (const std::string& cp :
         {std::string(), std::string("abc"), Cp("出力/ページ"), std::string("a\0b", 3),
          std::string("\x81\xa0\xfd"), Repeat("a", 32767) + "bc", Repeat(Cp("あ"), 40000),
          Repeat("x", 32766) + Cp("あい")}) {
        edit.setText(FromCp(cp));
        EXPECT_EQ(EditTextOf(cp), edit.text().toStdString()) << cp.size();
    }
}

}  // namespace
