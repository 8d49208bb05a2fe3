#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "data/CsvScan.h"
#include "data/CsvTable.h"
#include "data/TextScan.h"
#include "RecordingSink.h"

using namespace std::string_literals;

namespace {

using Field = std::optional<std::string>;
using Records = std::vector<std::vector<Field>>;
const Field kAbsent = std::nullopt;

Records RecordsOf(const CCsvTable& t) {
    Records out;
    for (int r = 0; r < t.RecordCount(); ++r) {
        const CCsvRecord* rec = t.GetRecord(r);
        std::vector<Field> fields;
        for (int i = 0; i < rec->FieldCount(); ++i) {
            const char* f = rec->GetField(i);
            fields.push_back(f ? Field(f) : kAbsent);
            // The stored length agrees with the terminator.
            EXPECT_EQ(rec->FieldView(i), f ? std::string_view(f) : std::string_view())
                << r << "," << i;
            EXPECT_EQ(rec->FieldHasLineFeed(i), f && std::strchr(f, '\n')) << r << "," << i;
        }
        out.push_back(std::move(fields));
    }
    return out;
}

// What the load reported, in order: every one a warning.
using Diags = std::vector<diag::Diagnostic>;
Diags Warnings(const testutil::RecordingSink& sink) {
    for (const diag::Diagnostic& d : sink.diagnostics)
        EXPECT_EQ(diag::SeverityOf(d.code), diag::Severity::kWarning);
    return sink.diagnostics;
}

struct Loaded {
    CCsvTable table;
    testutil::RecordingSink prompter;
    std::optional<std::string> text;  // what Load returned; nothing for null
};

Loaded LoadBytes(std::string bytes) {
    Loaded l{CCsvTable::FromBytes(std::move(bytes)), {}, {}};
    if (const char* t = l.table.Load(l.prompter)) l.text = t;
    return l;
}

// The load's warnings about record n.
diag::Diagnostic FieldTooLong(int n) { return {.code = diag::Code::kCsvFieldTooLong, .number = n}; }
diag::Diagnostic NulInData(int n) { return {.code = diag::Code::kCsvNul, .number = n}; }
diag::Diagnostic QuoteError(int n) { return {.code = diag::Code::kCsvQuoteError, .number = n}; }
diag::Diagnostic TooManyFields(int n) { return {.code = diag::Code::kCsvTooManyFields, .number = n}; }
const diag::Diagnostic kRecordsMessage{.code = diag::Code::kCsvTooManyRecords, .number = kMaxRecords + 1};
const diag::Diagnostic kEmptyFile{.code = diag::Code::kCsvEmpty};

struct ParseCase {
    const char* name;
    std::string input;
    Records records;
    Diags messages = {};
};

// Each case is the text, where the field starts, and where and how it ends.
TEST(CsvScan, OneField) {
    using E = CsvFieldEnd;
    const struct {
        const char* name;
        std::string text;
        size_t start;
        size_t end;
        CsvFieldEnd kind;
        bool swallowed;
    } cases[] = {
        {"unquoted, at a comma", "ab,c", 0, 2, E::kSeparator, false},
        {"from a later start", "ab,c\n", 3, 4, E::kLineFeed, false},
        {"CR is no end", "a\rb\nc", 0, 3, E::kLineFeed, false},
        {"empty at the end of the text", "a,", 2, 2, E::kEndOfText, false},
        {"quoted, comma and LF inside", "\"a,\nb\",c", 0, 6, E::kSeparator, false},
        {"doubled quotes stay inside", "\"a\"\"\"\"\"\n", 0, 7, E::kLineFeed, false},
        {"empty quoted field", "\"\"", 0, 2, E::kEndOfText, false},
        {"bytes after the closing quote", "\"a\"b,", 0, 4, E::kSeparator, false},
        {"quote after the closing quote", "\"a\"b\"", 0, 4, E::kQuoteError, false},
        {"quote in an unquoted field", "ab\"c,d", 0, 2, E::kQuoteError, false},
        {"lone quote as the last byte", "a,\"", 2, 3, E::kEndOfText, false},
        {"quote open to the end", "a,\"b", 2, 4, E::kUnclosedQuote, false},
        {"open quote, CR LF inside", "\"\r\n", 0, 3, E::kUnclosedQuote, false},
        {"lead byte takes a comma", "\x81,a\n", 0, 3, E::kLineFeed, true},
        {"lead byte takes an LF", "\x81\n,", 0, 2, E::kSeparator, true},
        {"lead byte takes a stray quote", "\x81\"", 0, 2, E::kEndOfText, true},
        {"two lead bytes are one character", "\x81\x81,", 0, 2, E::kSeparator, false},
        {"lead byte hides the closing quote", "\"a\x81\",b", 0, 6, E::kUnclosedQuote, false},
        {"lead byte as the last byte", "a\x81", 0, 2, E::kEndOfText, false},
        {"after the closing quote a lead byte takes a comma", "\"a\"\x81,\n", 0, 5, E::kLineFeed,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const char* const text = c.text.data();
        const CsvFieldScan scan = ScanCsvField(text + c.start, text + c.text.size());
        EXPECT_EQ(c.start + scan.length, c.end);
        EXPECT_EQ(scan.kind, c.kind);
        EXPECT_EQ(scan.swallowed, c.swallowed);
    }
}

TEST(CsvParse, RecordsAndFields) {
    const ParseCase cases[] = {
        {"two lines", "h1,h2\r\nb1,b2\r\n", {{"h1", "h2"}, {"b1", "b2"}}},
        {"no line end after the last line", "h1,h2\r\nb1,b2", {{"h1", "h2"}, {"b1", "b2"}}},
        {"empty line at the end", "h1,h2\r\nb1,b2\r\n\r\n", {{"h1", "h2"}, {"b1", "b2"}, {""}}},
        {"comma at field start", ",a\r\n", {{"", "a"}}},
        {"empty field between commas", "a,,b\r\n", {{"a", "", "b"}}},
        {"comma before CR LF", "a,\r\n", {{"a", ""}}},
        {"comma at the end of the text", "a,", {{"a", kAbsent}}},
        {"lone quote at the end of the text", "a,\"", {{"a", kAbsent}}},
        {"closing quote is the last byte", "a,\"b\"", {{"a", "b"}}},
        {"spaces kept", " a , b \r\n", {{" a ", " b "}}},
        {"lone CR is data", "a\rb,c\r\n", {{"a\rb", "c"}}},
        {"LF after a lead byte stays in the field",
         "a\x81\nb,c\x81,d\r\n",
         {{"a\x81\nb", "c\x81,d"}}},
        // Quoted fields.
        {"comma and CR LF inside quotes", "\"x,\r\ny\",z\r\nn\r\n", {{"x,\r\ny", "z"}, {"n"}}},
        {"empty quoted field", "\"\",x\r\n", {{"", "x"}}},
        {"doubled quote", "\"a\"\"b\"\r\n", {{"a\"b"}}},
        {"doubled quote before the closing one", "\"a\"\"\",b\r\n", {{"a\"", "b"}}},
        {"quadrupled quote", "\"a\"\"\"\"b\"\r\n", {{"a\"\"b"}}},
        {"a quote alone", "\"\"\"\"\r\n", {{"\""}}},
        {"quotes around a word", "\"say \"\"hi\"\"\"\r\n", {{"say \"hi\""}}},
        {"text after the closing quote", "\"abc\"de\r\nx\r\n", {{"abc\"d"}, {"x"}}},
        // LF-only line ends keep every byte.
        {"LF only", "a,bc\nd,e\n", {{"a", "bc"}, {"d", "e"}}},
        {"LF only, empty line", "a\n\nb\n", {{"a"}, {""}, {"b"}}},
        {"LF only, comma before LF", "a,\nb\n", {{"a", ""}, {"b"}}},
        {"LF only, quoted", "\"ab\"\n\"\"\n", {{"ab"}, {""}}},
        // Continuations.
        {"continuation inside quotes", "\"a\\\r\nb\",c\r\n", {{"a\nb", "c"}}},
        {"continuation outside quotes", "ab\\\r\ncd\r\n", {{"ab"}, {"cd"}}},
        {"continuation ends an empty line", "\\\r\nx\r\n", {{""}, {"x"}}},
        {"表 before CR LF", "a,\x95\x5C\r\nb,c\r\n", {{"a", "\x95\x5C"}, {"b", "c"}}},
        {"backslash after 表", "\x95\x5C\\\r\nx\r\n", {{"\x95\x5C"}, {"x"}}},
        // Two-byte and half-width characters.
        {"half-width katakana before a comma", "\xB6,x\r\n", {{"\xB6", "x"}}},
        {"half-width katakana in quotes", "\"\xB6\",\"\xDF\"\r\n", {{"\xB6", "\xDF"}}},
        {"second byte is never a delimiter", "\x81,a\r\n", {{"\x81,a"}}},
        {"ー and a quote inside quotes", "\"\x81\x5B\"\"\"\r\n", {{"\x81\x5B\""}}},
        {"lead byte as the last byte", "a,\x81", {{"a", "\x81"}}},
        // A NUL ends the data.
        {"NUL inside a record", "h\r\nab\0cd\r\nx\r\n"s, {{"h"}, {"ab"}}, {NulInData(2)}},
        {"NUL after a line end", "h\r\nb\r\n\0x\r\n"s, {{"h"}, {"b"}}, {NulInData(3)}},
        {"NUL after a comma", "h\r\na,\0x"s, {{"h"}, {"a", kAbsent}}, {NulInData(2)}},
        {"NUL first", "\0h\r\n"s, {}, {NulInData(1)}},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.name);
        Loaded l = LoadBytes(c.input);
        EXPECT_EQ(RecordsOf(l.table), c.records);
        EXPECT_EQ(Warnings(l.prompter), c.messages);
    }
}

TEST(CsvParse, QuoteErrorKeepsTheRecordsBeforeIt) {
    const ParseCase cases[] = {
        {"quote inside an unquoted field",
         "h1,h2\r\na,b\r\nc,d\"e\r\nf,g\r\n",
         {{"h1", "h2"}, {"a", "b"}},
         {QuoteError(3)}},
        {"quote after a leading space", "h\r\nx\r\n \"a\"\r\n", {{"h"}, {"x"}}, {QuoteError(3)}},
        {"second quote after the closing one", "h\r\n\"a\"b\"\r\n", {{"h"}}, {QuoteError(2)}},
        {"in the header", "id,na\"me\r\na,b\r\n", {}, {QuoteError(1)}},
        // The number counts records, not lines of the file.
        {"after a line break in quotes",
         "h\r\n\"a\r\nb\"\r\nx\"\r\n",
         {{"h"}, {"a\r\nb"}},
         {QuoteError(3)}},
        {"quote at the end of the text", "h\r\nab\"", {{"h"}}, {QuoteError(2)}},
        // A quote open to the end would swallow every record after it.
        {"quoted field open at the end", "a,\"bc", {}, {QuoteError(1)}},
        {"unclosed quote before more records",
         "id,title\r\n1,\"Alpha\r\n2,Beta\r\n3,Gamma\r\n",
         {{"id", "title"}},
         {QuoteError(2)}},
        {"lead byte hides the closing quote",
         "id,title\r\n1,\"Alpha\x81\"\r\n2,Beta\r\n",
         {{"id", "title"}},
         {QuoteError(2)}},
        {"NUL inside an open quote: the NUL is the cause",
         "h\r\nx\r\n\"ab\0c\"\r\ny\r\n"s,
         {{"h"}, {"x"}},
         {NulInData(3)}},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.name);
        Loaded l = LoadBytes(c.input);
        EXPECT_EQ(RecordsOf(l.table), c.records);
        EXPECT_EQ(Warnings(l.prompter), c.messages);
    }
}

// A field longer than the table can hold ends the load there; none is
// ever stored empty. (The limit is lowered: the table's own is 2 GiB.)
TEST(CsvParse, FieldTooLongStopsTheLoad) {
    const struct {
        const char* name;
        std::string input;
        Records records;
        Diags messages;
    } cases[] = {
        {"unquoted", "h\r\nshort\r\n0123456789\r\nafter\r\n", {{"h"}, {"short"}},
         {FieldTooLong(3)}},
        {"quoted", "h\r\n\"0123456789\"\r\n\"012345678\"\r\n", {{"h"}}, {FieldTooLong(2)}},
        {"in the header, after a field", "ok,0123456789\r\n", {}, {FieldTooLong(1)}},
        {"at the limit", "h\r\n012345678\r\n", {{"h"}, {"012345678"}}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Loaded l{CCsvTable::FromBytes(c.input), {}, {}};
        EXPECT_NE(l.table.Load(l.prompter, 9), nullptr);
        EXPECT_EQ(RecordsOf(l.table), c.records);
        EXPECT_EQ(Warnings(l.prompter), c.messages);
    }
}

TEST(CsvParse, ColumnWidthsCountRawBytes) {
    struct Case {
        const char* name;
        std::string input;
        std::vector<int> widths;  // columns 0, 1, 2
    };
    const Case cases[] = {
        {"two lines", "h1,h2\r\nb1,b2\r\n", {2, 2, 0}},
        {"widest over all records", "a,bbb\r\ncccc,d,\r\n", {4, 3, 0}},
        {"doubled quotes count twice", "\"say \"\"hi\"\"\"\r\n", {10, 0, 0}},
        {"CR LF inside quotes counts two", "x,\"a\r\nb\"\r\n", {1, 4, 0}},
        {"quotes around a field count nothing", "\"\",\"ab\"\r\n", {0, 2, 0}},
        {"LF only", "ab,c\n", {2, 1, 0}},
        {"two-byte characters count two", "\x95\x5C\xB6\r\n", {3, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Loaded l = LoadBytes(c.input);
        const auto& w = l.table.ColumnWidths();
        EXPECT_EQ((std::vector<int>{w[0], w[1], w[2]}), c.widths);
    }
}

// A text as UTF-16 bytes after their byte order mark.
std::string Utf16(std::u16string_view text, bool bigEndian = false) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t u : text) {
        const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
        out += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return out;
}

// Commas, or tabs: Excel's Unicode text (UTF-16, tabs), tab-separated text
// in code page 932 or UTF-8, and comma CSV files that merely hold tabs.
TEST(CsvSources, TheSeparatorAndTheEncodingGiveTheRecords) {
    using platform::SeparatorChoice;
    const struct {
        const char* name;
        std::string bytes;
        SeparatorChoice choice;
        Records records;  // as UTF-8
        char separator;
        bool utf16;
    } cases[] = {
        {"UTF-16LE with tabs", Utf16(u"id\t名前\r\n1\tりんご\r\n"), SeparatorChoice::kAuto,
         {{"id", "名前"}, {"1", "りんご"}}, '\t', true},
        {"UTF-16BE, a quoted tab and line break", Utf16(u"a\tb\r\n\"x\ty\"\t\"1\r\n2\"\r\n", true),
         SeparatorChoice::kAuto, {{"a", "b"}, {"x\ty", "1\r\n2"}}, '\t', true},
        {"UTF-16: a surrogate pair, and one without its pair",
         Utf16(u"a\tb\r\n\U0001F600\t\xD800x\r\n"), SeparatorChoice::kAuto,
         {{"a", "b"}, {"\U0001F600", "\xFFx"}}, '\t', true},
        {"UTF-16 with commas, named", Utf16(u"a,b\r\n1,2\r\n"), SeparatorChoice::kComma,
         {{"a", "b"}, {"1", "2"}}, ',', true},
        {"code page 932 with tabs", testutil::Cp("名前\t値\r\nソ表\t1\r\n"), SeparatorChoice::kAuto,
         {{"名前", "値"}, {"ソ表", "1"}}, '\t', false},
        {"UTF-8 with tabs", "名前\t値\r\nりんご\t1\r\n", SeparatorChoice::kAuto,
         {{"名前", "値"}, {"りんご", "1"}}, '\t', false},
        {"a comma CSV whose values hold tabs", "a,b\r\n1\t2,3\r\n", SeparatorChoice::kAuto,
         {{"a", "b"}, {"1\t2", "3"}}, ',', false},
        {"a header with a tab inside quotes", "\"a\tb\"\r\n1\t2\r\n", SeparatorChoice::kAuto,
         {{"a\tb"}, {"1\t2"}}, ',', false},
        {"a header with a tab and a comma", "a\tb,c\r\n", SeparatorChoice::kAuto, {{"a\tb", "c"}},
         ',', false},
        {"tabs named for a comma CSV", "a,b\tc\r\n", SeparatorChoice::kTab, {{"a,b", "c"}}, '\t',
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CCsvTable table = CCsvTable::FromBytes(c.bytes);
        table.SetSeparatorChoice(c.choice);
        testutil::RecordingSink sink;
        ASSERT_NE(table.Load(sink), nullptr);
        EXPECT_TRUE(sink.diagnostics.empty());
        Records records = RecordsOf(table);
        if (table.Encoding() == platform::TextEncoding::kCp932)
            for (auto& record : records)
                for (Field& f : record) f = platform::Cp932ToUtf8(*f);
        EXPECT_EQ(records, c.records);
        EXPECT_EQ(table.Separator(), c.separator);
        EXPECT_EQ(table.SourceIsUtf16(), c.utf16);
        EXPECT_EQ(table.ValidUtf8(), table.Encoding() == platform::TextEncoding::kUtf8 &&
                                         c.bytes.find("\x00\xD8"s) == std::string::npos);
    }
}

TEST(CsvRecord, CollapseQuotes) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"abc", "abc"},
        {"\"", "\""},
        {"\"\"", "\""},
        {"\"\"\"", "\"\""},
        {"\"\"\"\"", "\"\""},
        {"a\"b\"c", "a\"b\"c"},
        {"a\"\"b\"\"c", "a\"b\"c"},
        {"\x81\x5B\"\"", "\x81\x5B\""},
    };
    for (const auto& [in, out] : cases) {
        std::string s = in;
        CCsvRecord::CollapseQuotes(s.data());
        EXPECT_STREQ(s.c_str(), out.c_str()) << in;
    }
    CCsvRecord::CollapseQuotes(nullptr);
}

std::string Line(int fields, const std::string& prefix) {
    std::string s;
    for (int i = 0; i < fields; ++i) s += (i ? "," : "") + prefix + std::to_string(i);
    return s + "\r\n";
}

TEST(CsvLimits, FieldsBeyondThe500thAreDroppedWithOneMessage) {
    Loaded l = LoadBytes("h\r\n" + Line(501, "f") + Line(500, "g") + Line(600, "k"));
    ASSERT_EQ(l.table.RecordCount(), 4);
    for (int r : {1, 2, 3}) EXPECT_EQ(l.table.GetRecord(r)->FieldCount(), 500) << r;
    EXPECT_STREQ(l.table.GetRecord(1)->GetField(499), "f499");
    EXPECT_STREQ(l.table.GetRecord(3)->GetField(499), "k499");
    EXPECT_EQ(l.table.ColumnWidths()[499], 4);
    EXPECT_EQ(Warnings(l.prompter), Diags{TooManyFields(2)});
}

TEST(CsvLimits, RecordsBeyondThe32000thAreDroppedWithOneMessage) {
    std::string rows;
    for (int i = 0; i < kMaxRecords; ++i) rows += "r" + std::to_string(i) + "\r\n";

    Loaded exact = LoadBytes(rows);
    EXPECT_EQ(exact.table.RecordCount(), kMaxRecords);
    EXPECT_TRUE(exact.prompter.diagnostics.empty());

    Loaded over = LoadBytes(rows + "x\r\ny\r\nz");
    EXPECT_EQ(over.table.RecordCount(), kMaxRecords);
    EXPECT_STREQ(over.table.GetRecord(kMaxRecords - 1)->GetField(0), "r31999");
    EXPECT_EQ(over.table.GetRecord(kMaxRecords), nullptr);
    EXPECT_EQ(Warnings(over.prompter), Diags{kRecordsMessage});

    // One more CR LF is one more record, an empty one.
    Loaded empty = LoadBytes(rows + "\r\n");
    EXPECT_EQ(empty.table.RecordCount(), kMaxRecords);
    EXPECT_EQ(Warnings(empty.prompter), Diags{kRecordsMessage});
}

TEST(CsvLimits, FullTableLoads) {
    std::string rows;
    for (int r = 0; r < kMaxRecords; ++r) rows += Line(20, std::to_string(r) + "_");
    Loaded l = LoadBytes(rows);
    ASSERT_EQ(l.table.RecordCount(), kMaxRecords);
    EXPECT_STREQ(l.table.GetRecord(kMaxRecords - 1)->GetField(19), "31999_19");
    EXPECT_TRUE(l.prompter.diagnostics.empty());
}

TEST(CsvLimits, EachMessageOncePerLoad) {
    const std::string wide = "h\r\n" + Line(501, "f") + Line(501, "g");
    const struct {
        const char* name;
        std::string input;
        int records;
        Diags messages;  // in the order shown
    } cases[] = {
        {"fields and NUL", wide + "c\0d\r\n\0e"s, 4, {NulInData(4), TooManyFields(2)}},
        {"fields and quote", wide + "a\"b\r\nc\r\n", 3, {QuoteError(4), TooManyFields(2)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Loaded l = LoadBytes(c.input);
        EXPECT_EQ(l.table.RecordCount(), c.records);
        EXPECT_EQ(Warnings(l.prompter), c.messages);
    }
}

TEST(CsvLoad, EmptySource) {
    Loaded l = LoadBytes("");
    EXPECT_EQ(l.table.RecordCount(), 0);
    EXPECT_EQ(l.table.GetRecord(0), nullptr);
    EXPECT_EQ(l.table.FieldIndex("a"), -1);
    EXPECT_EQ(l.text, "");
    EXPECT_EQ(Warnings(l.prompter), Diags{kEmptyFile});
}

TEST(CsvLoad, ReturnsTheTextWithContinuationsRewritten) {
    Loaded l = LoadBytes("a\\\r\nb\r\n\x95\x5C\r\n\"c\\\r\n\"");
    EXPECT_EQ(l.text, "a\nb\r\n\x95\x5C\r\n\"c\n\"");
}

TEST(CsvTable, FieldIndex) {
    Loaded l = LoadBytes("id,name,name,\"Quoted\",\"\",\"a\"\"b\"\r\nname,id\r\n");
    const struct {
        const char* name;
        int index;
    } cases[] = {
        {"id", 0},   {"name", 1},    {"Name", -1}, {"NAME", -1},  {"Quoted", 3}, {"\"Quoted\"", -1},
        {"a\"b", 5}, {"a\"\"b", -1}, {"nam", -1},  {"name ", -1}, {"", -1},      {nullptr, -1},
    };
    for (const auto& c : cases) EXPECT_EQ(l.table.FieldIndex(c.name), c.index) << c.name;

    // With LF-only line ends the last header name is whole.
    Loaded lf = LoadBytes("id,name\na,b\n");
    EXPECT_EQ(lf.table.FieldIndex("name"), 1);

    Loaded nul = LoadBytes("\0id\r\n"s);
    EXPECT_EQ(nul.table.FieldIndex("id"), -1);
}

TEST(CsvTable, ReadsOutsideTheTableAreNull) {
    Loaded l = LoadBytes("a,b\r\nc\r\n");
    ASSERT_EQ(l.table.RecordCount(), 2);
    EXPECT_EQ(l.table.GetRecord(-1), nullptr);
    EXPECT_EQ(l.table.GetRecord(2), nullptr);
    const CCsvRecord* short_rec = l.table.GetRecord(1);
    EXPECT_EQ(short_rec->FieldCount(), 1);
    EXPECT_EQ(short_rec->GetField(1), nullptr);  // the header has it, this record not
    EXPECT_EQ(short_rec->GetField(kMaxFields - 1), nullptr);
}

TEST(CsvFile, ReadsAFileByItsPath) {
    testutil::TempDir dir;
    testutil::WriteBytes(dir.Path() / testutil::U8("表ｶ.csv"), "h1,h2\r\n\x95\x5C,\"x\\\r\ny\"\r\nab\0cd"s);
    CCsvTable t(dir.File("表ｶ.csv"));
    ASSERT_TRUE(t.IsOpen());
    testutil::RecordingSink p;
    ASSERT_NE(t.Load(p), nullptr);
    EXPECT_EQ(RecordsOf(t), (Records{{"h1", "h2"}, {"\x95\x5C", "x\ny"}, {"ab"}}));
    EXPECT_EQ(Warnings(p), Diags{NulInData(3)});
}

TEST(CsvFile, EmptyFile) {
    testutil::TempDir dir;
    testutil::WriteBytes(dir.Path() / "e.csv", "");
    CCsvTable t(dir.File("e.csv"));
    ASSERT_TRUE(t.IsOpen());
    testutil::RecordingSink p;
    EXPECT_NE(t.Load(p), nullptr);
    EXPECT_EQ(t.RecordCount(), 0);
    EXPECT_EQ(Warnings(p), Diags{kEmptyFile});
}

TEST(CsvFile, NoFileToRead) {
    testutil::TempDir dir;
    for (const std::string& path : {dir.File("missing.csv"), dir.File(""), dir.Path().string()}) {
        CCsvTable t(path);
        EXPECT_FALSE(t.IsOpen()) << path;
        testutil::RecordingSink p;
        EXPECT_EQ(t.Load(p), nullptr) << path;
        EXPECT_EQ(t.RecordCount(), 0);
        EXPECT_TRUE(p.diagnostics.empty());
    }
}

}  // namespace

// The reader's rules applied one byte at a time, with nothing skipped ahead:
// the table must agree with it on every record, value and column width.
struct ReferenceTable {
    Records records;
    std::vector<int> widths = std::vector<int>(kMaxFields, 0);
    bool quoteError = false;
};

ReferenceTable ReferenceRead(std::string text) {
    ReferenceTable out;
    text.resize(CCsvTable::RewriteContinuations(text.data(), text.size()));
    const std::string t = text.substr(0, std::strlen(text.c_str()));
    const bool nulCut = t.size() != text.size();
    const size_t n = t.size();
    auto lead = [&t](size_t i) { return IsLeadByteValue(static_cast<unsigned char>(t[i])); };
    size_t pos = 0;
    while (pos < n) {
        std::vector<Field> record;
        for (;;) {
            const size_t s = pos;
            size_t i = s;
            if (t[i] == '"') {
                bool closed = false;
                for (++i; i < n;) {
                    if (lead(i)) {
                        i += 2;
                    } else if (t[i] == '"') {
                        if (i + 1 < n && t[i + 1] == '"') {
                            i += 2;
                            continue;
                        }
                        ++i;
                        closed = true;
                        break;
                    } else {
                        ++i;
                    }
                }
                // Open to the end with a byte after the quote: the record
                // is dropped, and said so unless a NUL cut the text.
                if (!closed && n - s > 1) {
                    out.quoteError = !nulCut;
                    return out;
                }
            }
            while (i < n && t[i] != ',' && t[i] != '\n') {
                if (t[i] == '"') {
                    out.quoteError = true;
                    return out;
                }
                i += lead(i) ? 2 : 1;
            }
            i = std::min(i, n);
            int length = static_cast<int>(i - s);
            if (i < n && t[i] == '\n' && i > s && t[i - 1] == '\r') --length;
            size_t value = s;
            if (s < n && t[s] == '"') {
                length -= 2;
                value = s + 1;
            }
            length = std::max(length, 0);
            const size_t column = record.size();
            if (column < static_cast<size_t>(kMaxFields)) {
                out.widths[column] = std::max(out.widths[column], length);
                if (value >= n) {
                    record.push_back(kAbsent);
                } else {
                    std::string v = t.substr(value, static_cast<size_t>(length)), collapsed;
                    for (size_t k = 0; k < v.size(); ++k) {
                        collapsed += v[k];
                        if (v[k] == '"' && k + 1 < v.size() && v[k + 1] == '"') ++k;
                    }
                    record.push_back(collapsed);
                }
            }
            pos = i + 1;
            if (i < n && t[i] == ',') continue;
            break;
        }
        out.records.push_back(std::move(record));
    }
    return out;
}

TEST(CsvTableTest, AgreesWithByteByByteReadingOnRandomTexts) {
    const char alphabet[] = {',',    '\n',   '\r',   '"',    'a',  '\\',
                             '\x81', '\x40', '\x5c', '\xe0', '\0', ' '};
    uint32_t state = 12345;
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        state = state * 1103515245u + 12345u;
        const size_t size = (state >> 16) % 120;
        for (size_t k = 0; k < size; ++k) {
            state = state * 1103515245u + 12345u;
            const size_t pick = (state >> 16) % (round % 3 == 0 ? sizeof alphabet : 5);
            text += alphabet[pick];
        }
        const ReferenceTable expected = ReferenceRead(text);
        Loaded l = LoadBytes(text);
        const Diags warnings = Warnings(l.prompter);
        const bool quoteWarning =
            std::any_of(warnings.begin(), warnings.end(), [](const diag::Diagnostic& w) {
                return w.code == diag::Code::kCsvQuoteError;
            });
        ASSERT_EQ(quoteWarning, expected.quoteError) << testing::PrintToString(text);
        ASSERT_EQ(RecordsOf(l.table), expected.records) << testing::PrintToString(text);
        for (int c = 0; c < kMaxFields; ++c)
            ASSERT_EQ(l.table.ColumnWidths()[static_cast<size_t>(c)],
                      expected.widths[static_cast<size_t>(c)])
                << c << " " << testing::PrintToString(text);
    }
}
