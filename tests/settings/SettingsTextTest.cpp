#include "settings/SettingsText.h"
#include "settings/SettingsReplay.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "RecordingPrompter.h"
#include "RecordingSink.h"
#include "TestUtil.h"

namespace {

// The books site: saved with the prefix on, numbering by sequence, records 1, 2 and 7.
Job BooksSite() {
    Job s;
    s.fileName = "D:\\site\\books.cfg";
    s.CSV = "D:\\site\\books.csv";
    s.HTML = "D:\\site\\book.html";
    s.Out = "D:\\site\\pages";
    s.Prefix = "bk";
    s.ruleNum = 1;
    s.fieldNum = -1;
    s.extNum = 0;
    s.start = 1;
    s.digit = 3;
    s.repeat = 1;
    s.prefixChk = 1;
    s.fixChk = 0;
    s.repeatChk = 0;
    s.createChk = 1;
    s.autoChk = 0;
    s.selection = {1, 2, 7};
    return s;
}

constexpr std::string_view kBooksFile =
    " FileName:D:\\site\\books.cfg\r\n"
    "      CSV:D:\\site\\books.csv\r\n"
    "     HTML:D:\\site\\book.html\r\n"
    "      Out:D:\\site\\pages\r\n"
    "   Prefix:bk\r\n"
    "  ruleNum:1\r\n"
    " fieldNum:-1\r\n"
    "   extNum:0\r\n"
    "    start:1\r\n"
    "    digit:3\r\n"
    "   repeat:1\r\n"
    "prefixChk:1\r\n"
    "   fixChk:0\r\n"
    "repeatChk:0\r\n"
    "createChk:1\r\n"
    "  autoChk:0\r\n"
    " csvCount:3\r\n"
    " SelItems:1,2,7\r\n";

TEST(SettingsWriter, BooksSiteIsWrittenByteForByte) {
    const Job s = BooksSite();
    EXPECT_EQ(ToCrLf(ComposeSettingsHead(s) + ComposeSelItemsLine(s.selection)), kBooksFile);
}

TEST(SettingsWriter, EmptyTextsNegativeNumbersAndNoSelection) {
    Job s;  // a fresh window: empty texts, no field, no selection
    s.fileName = "default.cfg";
    s.ruleNum = -1;
    s.start = -2147483647 - 1;
    s.digit = 2147483647;
    EXPECT_EQ(ComposeSettingsHead(s),
              " FileName:default.cfg\n"
              "      CSV:\n"
              "     HTML:\n"
              "      Out:\n"
              "   Prefix:\n"
              "  ruleNum:-1\n"
              " fieldNum:-1\n"
              "   extNum:0\n"
              "    start:-2147483648\n"
              "    digit:2147483647\n"
              "   repeat:1\n"
              "prefixChk:0\n"
              "   fixChk:0\n"
              "repeatChk:0\n"
              "createChk:1\n"
              "  autoChk:0\n"
              " csvCount:0\n");
    EXPECT_EQ(ComposeSelItemsLine({}), " SelItems:\n");
    EXPECT_EQ(ComposeSelItemsLine({0}), " SelItems:0\n");
    EXPECT_EQ(ComposeSelItemsLine({0, 10, 31999}), " SelItems:0,10,31999\n");
}

TEST(SettingsWriter, TextsAreWrittenUnchanged) {
    Job s;
    s.CSV = "C:\\\x95\\\x5C\\%s%d.csv";  // a trail byte 0x5C, printf-like text
    s.Prefix = " a:b ";
    const std::string head = ComposeSettingsHead(s);
    EXPECT_NE(head.find("\n      CSV:C:\\\x95\\\x5C\\%s%d.csv\n"), std::string::npos) << head;
    EXPECT_NE(head.find("\n   Prefix: a:b \n"), std::string::npos) << head;
}

TEST(SettingsWriter, EveryLineFeedBecomesCrLf) {
    const struct {
        std::string_view in, out;
    } cases[] = {
        {"", ""},
        {"a", "a"},
        {"a\n", "a\r\n"},
        {"\n\n", "\r\n\r\n"},
        {"a\nb", "a\r\nb"},
        {"a\r\n", "a\r\r\n"},  // the text never holds CR LF; nothing is folded
    };
    for (const auto& c : cases) EXPECT_EQ(ToCrLf(c.in), c.out) << c.in;
}

// Code page 932 when every character fits and the bytes read back as code
// page 932; UTF-8 after a BOM otherwise. Either way the text reads back.
TEST(SettingsWriter, EachFileReadsBackTheSame) {
    const struct {
        std::string text;
        std::string bytes;
    } cases[] = {
        {"Out:out\r\n", "Out:out\r\n"},
        {"Out:表ｶ\r\n", "Out:\x95\x5C\xB6\r\n"},
        {"Out:café\r\n", "\xEF\xBB\xBFOut:café\r\n"},
        {"Out:𠮷\r\n", "\xEF\xBB\xBFOut:𠮷\r\n"},
        // EA A3 83 58 would read as UTF-8.
        {"Out:凜ス\r\n", "\xEF\xBB\xBFOut:凜ス\r\n"},
    };
    for (const auto& c : cases) {
        const std::string bytes = EncodeSettingsFile(c.text);
        EXPECT_EQ(bytes, c.bytes) << c.text;
        EXPECT_EQ(DecodeSettingsFile(bytes), c.text) << c.text;
    }
    EXPECT_EQ(DecodeSettingsFile("\xFF\xFEO\0"), std::nullopt);
}

TEST(SettingsLines, SplitAtLineFeedsKeepingCarriageReturns) {
    using Lines = std::vector<std::string_view>;
    const struct {
        std::string_view file;
        Lines lines;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\n", {"a"}},
        {"a\r\n", {"a\r"}},
        {"a\nb", {"a", "b"}},
        {"a\r\nb\n", {"a\r", "b"}},
        {"a\rb\n", {"a\rb"}},
        {"\n", {""}},
        {"\n\nc", {"", "", "c"}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitSettingsLines(c.file), c.lines) << c.file;
}

TEST(SettingsLines, LongLinesAreTakenWhole) {
    const std::string longLine(100000, '7');
    const std::string file = "a\r\n" + longLine + "\r\nb";
    const auto lines = SplitSettingsLines(file);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], longLine + "\r");
    EXPECT_EQ(lines[2], "b");
}

TEST(SettingsLine, KeyAndValue) {
    const struct {
        std::string_view line;
        std::optional<std::pair<std::string_view, std::string_view>> kv;
    } cases[] = {
        {"      CSV:D:\\site\\books.csv", {{"CSV", "D:\\site\\books.csv"}}},
        {"CSV:a:b::c", {{"CSV", "a:b::c"}}},
        {"CSV: D:\\x", {{"CSV", " D:\\x"}}},
        {"CSV::x", {{"CSV", ":x"}}},
        {"   Prefix:", {{"Prefix", ""}}},
        {"   Prefix:\r", {{"Prefix", ""}}},
        {"   Prefix:bk\r", {{"Prefix", "bk"}}},
        {"   Prefix:bk\rjunk", {{"Prefix", "bk"}}},
        {"CSV :x", {{"CSV ", "x"}}},
        {"\tCSV:x", {{"\tCSV", "x"}}},
        {"::  CSV:x", {{"CSV", "x"}}},
        {"\r:CSV:x", {{"CSV", "x"}}},
        {"CSV", {{"CSV", ""}}},
        {"CSV\r", {{"CSV", ""}}},
        {"CSV\rx", {{"CSV", "x"}}},
        {"CSV:\r\rx", {{"CSV", "x"}}},
        {"", std::nullopt},
        {"\r", std::nullopt},
        {":::", std::nullopt},
        {":\r:", std::nullopt},
        {"   ", std::nullopt},
        {"  :value", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto got = SplitSettingsLine(c.line);
        ASSERT_EQ(got.has_value(), c.kv.has_value()) << c.line;
        if (!got) continue;
        EXPECT_EQ(got->key, c.kv->first) << c.line;
        EXPECT_EQ(got->value, c.kv->second) << c.line;
    }
}

TEST(SettingsKey, OnlyTheReadersKeysExactlyAsWritten) {
    const struct {
        std::string_view key;
        SettingsKey want;
    } cases[] = {
        {"CSV", SettingsKey::CSV},
        {"HTML", SettingsKey::HTML},
        {"Out", SettingsKey::Out},
        {"Prefix", SettingsKey::Prefix},
        {"ruleNum", SettingsKey::ruleNum},
        {"fieldNum", SettingsKey::fieldNum},
        {"extNum", SettingsKey::extNum},
        {"start", SettingsKey::start},
        {"digit", SettingsKey::digit},
        {"repeat", SettingsKey::repeat},
        {"prefixChk", SettingsKey::prefixChk},
        {"fixChk", SettingsKey::fixChk},
        {"repeatChk", SettingsKey::repeatChk},
        {"createChk", SettingsKey::createChk},
        {"autoChk", SettingsKey::autoChk},
        {"csvCount", SettingsKey::csvCount},
        {"SelItems", SettingsKey::SelItems},
        {"FileName", SettingsKey::None},
        {"csv", SettingsKey::None},
        {"Csv", SettingsKey::None},
        {"selitems", SettingsKey::None},
        {"CSV ", SettingsKey::None},
        {" CSV", SettingsKey::None},
        {"CS", SettingsKey::None},
        {"CSVX", SettingsKey::None},
        {"", SettingsKey::None},
    };
    for (const auto& c : cases) EXPECT_EQ(LookupSettingsKey(c.key), c.want) << c.key;
}

TEST(SettingsReader, BooksSiteReadsBackLineByLine) {
    const struct {
        SettingsKey key;
        std::string_view value;
    } want[] = {
        {SettingsKey::None, "D:\\site\\books.cfg"},
        {SettingsKey::CSV, "D:\\site\\books.csv"},
        {SettingsKey::HTML, "D:\\site\\book.html"},
        {SettingsKey::Out, "D:\\site\\pages"},
        {SettingsKey::Prefix, "bk"},
        {SettingsKey::ruleNum, "1"},
        {SettingsKey::fieldNum, "-1"},
        {SettingsKey::extNum, "0"},
        {SettingsKey::start, "1"},
        {SettingsKey::digit, "3"},
        {SettingsKey::repeat, "1"},
        {SettingsKey::prefixChk, "1"},
        {SettingsKey::fixChk, "0"},
        {SettingsKey::repeatChk, "0"},
        {SettingsKey::createChk, "1"},
        {SettingsKey::autoChk, "0"},
        {SettingsKey::csvCount, "3"},
        {SettingsKey::SelItems, "1,2,7"},
    };
    // CR LF as written, and the same file with lone LFs and no final line end.
    std::string lf;
    for (char c : kBooksFile)
        if (c != '\r') lf.push_back(c);
    lf.pop_back();
    for (std::string_view file : {kBooksFile, std::string_view(lf)}) {
        const auto lines = SplitSettingsLines(file);
        ASSERT_EQ(lines.size(), std::size(want));
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const auto line = SplitSettingsLine(lines[i]);
            ASSERT_TRUE(line) << lines[i];
            EXPECT_EQ(LookupSettingsKey(line->key), want[i].key) << lines[i];
            EXPECT_EQ(line->value, want[i].value) << lines[i];
        }
    }
    EXPECT_EQ(ParseSelItems("1,2,7"), (std::vector<int>{1, 2, 7}));
}

// Stands in for the window: remembers the encodings and texts applied.
class EncodingTarget : public SettingsTarget {
  public:
    void ReplayText(SettingsKey, std::string_view utf8) override { texts.emplace_back(utf8); }
    void ReplayEncoding(SettingsKey key, platform::EncodingChoice choice) override {
        encodings.emplace_back(key, choice);
    }
    void ReplayCsvLoad() override {}
    void ReplaySwitch(SettingsKey, bool) override {}
    void ReplaySelect(SettingsKey, int) override {}
    void ReplayRuleChange() override {}
    void ReplaySelection(const std::vector<int>&) override {}

    std::vector<std::pair<SettingsKey, platform::EncodingChoice>> encodings;
    std::vector<std::string> texts;
};

// Every name of an encoding is taken; a line that names none asks for
// detection, the rest of the file still applies, and one box after the file
// tells each such line as written.
TEST(SettingsReader, EncodingLinesThatNameNoEncodingAreTold) {
    testutil::TempDir dir;
    testutil::WriteBytes(dir.Path() / "site.cfg",
                         " FileName:site.cfg\r\n"
                         "  csvCode:Shift_JIS\r\n"
                         " htmlCode: UTF8 \r\n"
                         "      CSV:data.csv\r\n"
                         "  csvCode:latin1\r\n"
                         "\r\n"
                         " htmlCode:utf\x1b[2J-8\r\n"
                         "  csvCode:シフトJIS\n"
                         "     HTML:page.html");
    EncodingTarget target;
    testutil::RecordingSink sink;
    ASSERT_EQ(LoadSettingsFile(dir.File("site.cfg"), target, sink), 0);

    using platform::EncodingChoice;
    EXPECT_EQ(target.encodings, (std::vector<std::pair<SettingsKey, EncodingChoice>>{
                                    {SettingsKey::csvCode, EncodingChoice::kCp932},
                                    {SettingsKey::htmlCode, EncodingChoice::kUtf8},
                                    {SettingsKey::csvCode, EncodingChoice::kAuto},
                                    {SettingsKey::htmlCode, EncodingChoice::kAuto},
                                    {SettingsKey::csvCode, EncodingChoice::kAuto}}));
    EXPECT_EQ(target.texts, (std::vector<std::string>{"data.csv", "page.html"}));
    EXPECT_EQ(sink.diagnostics,
              (std::vector<diag::Diagnostic>{
                  {.code = diag::Code::kSettingsLinesUnused,
                   .entries = {{.text = "  csvCode:latin1", .number = 5},
                               {.text = " htmlCode:utf\x1b[2J-8", .number = 7},
                               {.text = "  csvCode:シフトJIS", .number = 8}}}}));

    EXPECT_TRUE(ReplaySettings("csvCode:sjis\nhtmlCode:auto\n", target).empty());
}

TEST(SettingsInt, ReadsAsTheCLibraryDoes) {
    const struct {
        std::string_view text;
        int want;
    } cases[] = {
        {"12", 12},
        {" -3", -3},
        {"+4", 4},
        {"7x", 7},
        {"", 0},
        {"x", 0},
        {"-", 0},
        {"+-1", 0},
        {"- 1", 0},
        {" \t\v\f\r\n42", 42},
        {"0012", 12},
        {"1 2", 1},
        {"-0", 0},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"2147483648", INT_MAX},
        {"-2147483649", INT_MIN},
        {"99999999999999999999999999", INT_MAX},
        {"-99999999999999999999999999", INT_MIN},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseSettingsInt(c.text), c.want) << c.text;
}

TEST(SettingsInt, StopsAtTheEndOfTheView) {
    const std::string_view digits = "123456";
    EXPECT_EQ(ParseSettingsInt(digits.substr(0, 2)), 12);
    EXPECT_EQ(ParseSettingsInt(digits.substr(0, 0)), 0);
    EXPECT_EQ(ParseSettingsInt(std::string_view(" -").substr(0, 1)), 0);
}

TEST(SettingsSelItems, IndexesInTheOrderGiven) {
    using Ints = std::vector<int>;
    const struct {
        std::string_view value;
        Ints want;
    } cases[] = {
        {"", {}},
        {"   ", {}},
        {",,,", {}},
        {"1,2,7", {1, 2, 7}},
        {"7,2,1,2", {7, 2, 1, 2}},
        {"-1", {-1}},
        {"3,-1", {3, -1}},
        {"  5", {5}},
        {", 5", {5}},
        {"1, 2,\t3", {1, 2, 3}},
        {"1,  ,2", {1, 0, 2}},
        {"1, ", {1, 0}},
        {"1,,2", {1, 2}},
        {"1,,,2,,", {1, 2}},
        {"1,2,", {1, 2}},
        {"1 2,3", {1, 2, 3}},
        {"1\t2", {1, 2}},
        {"1 ", {1}},
        {"1 ,2", {1, 2}},  // the blank that ends the first index is used up
        {"x,2y,", {0, 2}},
        {"40000,99999999999", {40000, INT_MAX}},
        {"1\r", {1}},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseSelItems(c.value), c.want) << c.value;
}

TEST(SettingsSelItems, ThirtyTwoThousandIndexesRoundTrip) {
    std::vector<int> selection(32000);
    for (int i = 0; i < 32000; ++i) selection[i] = i;
    const std::string file = ToCrLf(ComposeSelItemsLine(selection));
    const auto lines = SplitSettingsLines(file);
    ASSERT_EQ(lines.size(), 1u);
    const auto line = SplitSettingsLine(lines[0]);
    ASSERT_TRUE(line);
    EXPECT_EQ(LookupSettingsKey(line->key), SettingsKey::SelItems);
    EXPECT_EQ(ParseSelItems(line->value), selection);
}

}  // namespace
