#include "settings/SettingsText.h"
#include "settings/SettingsReader.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
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

// Choices that are not automatic come after the line they belong to, and
// read back.
TEST(SettingsWriter, ChoicesAreWrittenOnlyWhenMade) {
    Job s;
    s.CSV = "unicode.txt";
    s.csvCode = platform::EncodingChoice::kUtf16;
    s.separator = platform::SeparatorChoice::kTab;
    s.sheet = "2月";
    const std::string head = ComposeSettingsHead(s);
    EXPECT_EQ(head.substr(0, head.find("     HTML:")),
              " FileName:\n  csvCode:utf-16\n      CSV:unicode.txt\n    Sheet:2月\n      Sep:tab\n");
    const Job read = ReadSettingsText(head).job;
    EXPECT_EQ(read.csvCode, s.csvCode);
    EXPECT_EQ(read.separator, s.separator);
    EXPECT_EQ(read.sheet, s.sheet);
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
        {"FileName", SettingsKey::FileName},
        {"Sep", SettingsKey::Sep},
        {"Sheet", SettingsKey::Sheet},
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

// A job written reads back the same, every line used: the books site (code
// page 932 bytes) and one that only UTF-8 holds; with lone LFs and no final
// line end too.
TEST(SettingsReader, JobsReadBackAsWritten) {
    Job utf8 = BooksSite();
    utf8.Out = "ページ 😀";
    utf8.csvCode = platform::EncodingChoice::kUtf8;
    utf8.htmlCode = platform::EncodingChoice::kCp932;
    utf8.ruleNum = 2;
    utf8.fieldNum = 3;
    utf8.extNum = 3;
    utf8.extension = "shtm";
    utf8.start = 9999;
    utf8.digit = 5;
    utf8.repeat = 0;
    utf8.prefixChk = utf8.fixChk = utf8.repeatChk = utf8.autoChk = true;
    utf8.createChk = false;
    utf8.selection = {0, 5};
    for (const Job& job : {BooksSite(), utf8}) {
        const std::string bytes =
            EncodeSettingsFile(ToCrLf(ComposeSettingsHead(job) + ComposeSelItemsLine(job.selection)));
        std::string lf = *DecodeSettingsFile(bytes);
        std::erase(lf, '\r');
        lf.pop_back();
        for (const std::string& text : {*DecodeSettingsFile(bytes), lf}) {
            SettingsRead read = ReadSettingsText(text);
            EXPECT_TRUE(read.namesCsv);
            TakeAgainstTable(read, 4, 8);
            read.job.fileName = job.fileName;
            EXPECT_EQ(read.job, job);
            EXPECT_TRUE(read.unused.empty()) << read.unused[0].text;
        }
    }
}

// The value rules: each case a file's text and the table it is taken
// against (-1 records: none loaded), what the job holds, and which lines
// are told as not applied.
TEST(SettingsReader, ValuesAndTheLinesTold) {
    using platform::EncodingChoice;
    const struct {
        const char* name;
        std::string text;
        int records;
        std::function<void(Job&)> want;  // from a job as the window starts
        std::vector<int> told = {};
    } cases[] = {
        {"no SelItems: every data record", "CSV:a.csv\n", 4,
         [](Job& j) { j.CSV = "a.csv", j.selection = {1, 2, 3}; }},
        {"SelItems replaces; the last line wins", "SelItems:2\nSelItems:3, 1,,\n", 4,
         [](Job& j) { j.selection = {1, 3}; }},
        {"-1 is every line", "SelItems:-1\n", 3, [](Job& j) { j.selection = {0, 1, 2}; }},
        {"no selection", "SelItems:\n", 3, [](Job& j) { j.selection = {}; }},
        {"entries that are no record are told, the rest applies", "SelItems:abc,2,9,1-20,-2\n", 4,
         [](Job& j) { j.selection = {2}; }, {1}},
        {"no table: nothing selected, nothing told", "fieldNum:7\nSelItems:9\n", -1,
         [](Job& j) { j.selection = {}; }},
        {"a field beyond the columns, or no number", "fieldNum:4\n", 5, [](Job& j) { j.selection = {1, 2, 3, 4}; }, {1}},
        {"", "fieldNum:abc\n", 1, [](Job&) {}, {1}},
        {"a column", "fieldNum:3\n", 1, [](Job& j) { j.fieldNum = 3; }},
        {"numbers out of range keep the window's own",
         "start:10000\ndigit:0\nrepeat:-1\nruleNum:3\nextNum:7\nprefixChk:2\ncsvCount:x\n", 1,
         [](Job&) {}, {1, 2, 3, 4, 5, 6, 7}},
        {"numbers at the ends of their ranges",
         "start: 9999 \ndigit:+1\nrepeat:0\nruleNum:2\nextNum:6\nfixChk:1\ncreateChk:0\n", 1,
         [](Job& j) {
             j.start = 9999, j.digit = 1, j.repeat = 0, j.ruleNum = 2, j.extNum = 6;
             j.extension = "dat", j.fixChk = true, j.createChk = false;
         }},
        {"-1, no entry chosen, is the window's own", "ruleNum:2\nruleNum:-1\nextNum:-1\n", 1,
         [](Job&) {}},
        {"an unknown key, a line of colons, a bare word; blank lines pass",
         "ruleNo:2\n:::\n  \n\nHTML:t.html\nword\n", 1, [](Job& j) { j.HTML = "t.html"; }, {1, 2, 6}},
        {"the sheet is taken as it stands; the file's own name passes", "Sheet: 売上 \nFileName:y\n", 1,
         [](Job& j) { j.sheet = " 売上 "; }},
        {"an encoding that is none is told and asks for detection; UTF-16 for the CSV alone",
         "csvCode:sjis\ncsvCode:latin1\nhtmlCode: UTF8 \ncsvCode:utf-16\nhtmlCode:utf-16\n", 1,
         [](Job& j) { j.csvCode = EncodingChoice::kUtf16; }, {2, 5}},
        {"the separator: auto, comma or tab; any other is told and asks for detection",
         "Sep: TAB \nSep:semicolon\n", 1, [](Job&) {}, {2}},
        {"the last Sep line wins", "Sep:semicolon\nSep:comma\n", 1,
         [](Job& j) { j.separator = platform::SeparatorChoice::kComma; }, {1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name + std::string(" ") + c.text);
        SettingsRead read = ReadSettingsText(c.text);
        TakeAgainstTable(read, 4, c.records);
        Job want;
        if (c.records > 1) for (int r = 1; r < c.records; ++r) want.selection.push_back(r);
        c.want(want);
        EXPECT_EQ(read.job, want);
        std::vector<int> told;
        if (const std::optional<diag::Diagnostic> d = UnusedLinesWarning(read))
            for (const diag::Entry& e : d->entries) told.push_back(e.number);
        EXPECT_EQ(told, c.told);
    }
}

}  // namespace
