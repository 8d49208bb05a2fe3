#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "window/ListFormat.h"
#include "data/CsvTable.h"
#include "RecordingSink.h"

namespace {

std::array<int, kMaxFields> Widths(std::initializer_list<int> w) {
    std::array<int, kMaxFields> widths{};
    int k = 0;
    for (int v : w) widths[k++] = v;
    return widths;
}

// --- Tab stops ---------------------------------------------------------------

// Stops in display columns: after the record number and a gap, then for
// each column its bar, its width and a gap.
TEST(ListTabStops, OneStopForTheNumberThenOnePerHeaderColumn) {
    const auto widths = Widths({2, 6, 5});
    const struct {
        const char* name;
        int records, headerFields, startColumn;
        bool fixedWidth;
        std::vector<int> expected;
    } cases[] = {
        {"whole line", 10, 3, 0, false, {4, 8, 16, 23}},
        {"from the second column", 10, 3, 1, false, {4, 12, 19}},
        {"past the last column", 10, 3, 3, false, {4}},
        {"fixed width: ten columns a cell", 10, 3, 0, true, {4, 14, 24, 34}},
        {"record numbers of four digits", 1001, 3, 2, false, {5, 12}},
        {"record numbers of five digits", 32000, 1, 0, false, {6, 10}},
        {"1000 lines end at 999", 1000, 1, 0, false, {4, 8}},
        {"stops follow the header, not the widest record", 10, 2, 0, false, {4, 8, 16}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ComputeTabStops(c.records, c.headerFields, c.startColumn, widths, c.fixedWidth),
                  c.expected);
    }
    // An all-empty column: its bar and a gap.
    EXPECT_EQ(ComputeTabStops(10, 2, 0, Widths({0, 0}), false), (std::vector<int>{4, 6, 8}));
}

// --- Field-name items --------------------------------------------------------

TEST(FieldNameItem, NumberFromOneWithThreeDigitsThenTheName) {
    EXPECT_EQ(FormatFieldItem(1, "id"), "001: id");
    EXPECT_EQ(FormatFieldItem(42, "price"), "042: price");
    EXPECT_EQ(FormatFieldItem(500, "last"), "500: last");
    EXPECT_EQ(FormatFieldItem(1000, "wide"), "1000: wide");
    EXPECT_EQ(FormatFieldItem(2, ""), "002: ");
    // Code page 932 bytes pass unchanged (名前).
    EXPECT_EQ(FormatFieldItem(3, "\x96\xBC\x91\x4F"), "003: \x96\xBC\x91\x4F");
}

// --- Record lines ------------------------------------------------------------

class RecordLineTest : public ::testing::Test {
  protected:
    void Load(const std::string& bytes) {
        table.emplace(CCsvTable::FromBytes(bytes));
        table->Load(sink);
        ASSERT_TRUE(sink.diagnostics.empty());
    }
    std::string Line(int r, int start, bool fixed) const {
        return FormatRecordLine(*table->GetRecord(r), r, start, table->ColumnWidths(), fixed);
    }

    testutil::RecordingSink sink;
    std::optional<CCsvTable> table;
};

TEST_F(RecordLineTest, RecordNumberTakesMoreDigitsPastNineHundredNinetyNine) {
    Load("a,b\r\nx,yy\r\n");
    const CCsvRecord& rec = *table->GetRecord(1);
    EXPECT_EQ(FormatRecordLine(rec, 999, 0, table->ColumnWidths(), false), "999\t|x\t|yy");
    EXPECT_EQ(FormatRecordLine(rec, 1000, 0, table->ColumnWidths(), false), "1000\t|x\t|yy");
    EXPECT_EQ(FormatRecordLine(rec, 31999, 0, table->ColumnWidths(), false), "31999\t|x\t|yy");
}

TEST_F(RecordLineTest, StartColumnPastTheRecordsFieldsGivesTheNumberAlone) {
    Load("a,b,c\r\nx\r\n");
    EXPECT_EQ(Line(1, 0, false), "001\t|x");
    EXPECT_EQ(Line(1, 1, false), "001");
    EXPECT_EQ(Line(0, 2, false), "000\t|c");
    EXPECT_EQ(Line(0, 3, false), "000");
}

TEST_F(RecordLineTest, FixedWidthNeverCutsATwoByteCharacter) {
    // Value bytes are code page 932: あ 82 A0, い 82 A2, う 82 A4.
    Load(
        "v\r\n"
        "abcdefg\x82\xA0\r\n"                           // byte 7 begins あ: 7 bytes
        "abcdef\x82\xA0x\r\n"                           // あ ends at byte 7: 8 bytes
        "\x82\xA0\x82\xA2\x82\xA4\r\n"                  // shorter, ends in a whole character
        "\x82\xA0\x82\xA2\x82\xA4\x82\xA0\x82\xA2\r\n"  // byte 7 ends the 4th character
        "a\x82\xA0\x82\xA2\x82\xA4\x82\xA0\r\n");       // byte 7 begins the 4th character
    EXPECT_EQ(Line(1, 0, true), "001\t|abcdefg");
    EXPECT_EQ(Line(2, 0, true), "002\t|abcdef\x82\xA0");
    EXPECT_EQ(Line(3, 0, true), "003\t|\x82\xA0\x82\xA2\x82\xA4  ");
    EXPECT_EQ(Line(4, 0, true), "004\t|\x82\xA0\x82\xA2\x82\xA4\x82\xA0");
    EXPECT_EQ(Line(5, 0, true), "005\t|a\x82\xA0\x82\xA2\x82\xA4");
}

}  // namespace

namespace {

// UTF-8 lines: cells padded to display columns, a cut never inside a
// character nor between a letter and its combining mark.
TEST(ListUtf8Lines, CellsCountDisplayColumns) {
    const std::string pa = "\u30CF\u309A";  // パ as ハ and a combining mark
    testutil::RecordingSink sink;
    CCsvTable table = CCsvTable::FromBytes("\xEF\xBB\xBF" "a,b\né😀,x\n" + pa + pa + pa + pa +
                                           "x,y\nｶﾅ漢字かな,z\n");
    ASSERT_NE(table.Load(sink), nullptr);
    ASSERT_EQ(table.Encoding(), platform::TextEncoding::kUtf8);
    // é 1 + 😀 2; four パ 8 and x 1; ｶﾅ 2 + four wide 8.
    EXPECT_EQ(table.ColumnWidths()[0], 10);
    const struct {
        int record;
        bool fixed;
        std::string line;
    } cases[] = {
        {1, false, "001\t|é😀       \t|x"},
        {2, false, "002\t|" + pa + pa + pa + pa + "x \t|y"},
        {3, false, "003\t|ｶﾅ漢字かな\t|z"},
        // Eight columns at most; a wide character that would cross the
        // eighth is left out, and the cell ends there.
        {2, true, "002\t|" + pa + pa + pa + pa + "\t|y       "},
        {3, true, "003\t|ｶﾅ漢字か\t|z       "},
        {1, true, "001\t|é😀     \t|x       "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(FormatRecordLine(*table.GetRecord(c.record), c.record, 0, table.ColumnWidths(),
                                   c.fixed, std::string::npos, platform::TextEncoding::kUtf8),
                  c.line);
    }
    // A byte limit never cuts a character: 😀 is four bytes.
    EXPECT_EQ(FormatRecordLine(*table.GetRecord(1), 1, 0, table.ColumnWidths(), false, 9,
                               platform::TextEncoding::kUtf8),
              "001\t|é");
}

}  // namespace
