// Workbooks written here as XML, read as the spreadsheet shows them.
#include "data/Workbook.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "BookMaker.h"
#include "RecordingSink.h"
#include "data/CsvTable.h"

namespace {

using data::ReadWorkbook;
using Status = data::WorkbookRead::Status;
using testbook::Xlsx;

std::string Cell(const std::string& ref, const std::string& attributes, const std::string& inside) {
    return "<c r=\"" + ref + "\"" + attributes + ">" + inside + "</c>";
}

const Xlsx kBook = {
    .sheets = {{"名簿",
                "<sheetData>"
                "<row r=\"1\">" + Cell("A1", " t=\"s\"", "<v>0</v>") +
                    Cell("B1", " t=\"inlineStr\"", "<is><t>値</t></is>") +
                    Cell("C1", " t=\"inlineStr\"", "<is><r><t>日</t></r><r><t>付</t></r><rPh><t>ヒ</t></rPh></is>") +
                    "</row>"
                "<row r=\"2\">" + Cell("A2", " t=\"s\"", "<v>1</v>") + Cell("B2", " s=\"1\"", "<v>1200</v>") +
                    Cell("C2", " s=\"2\"", "<v>45383</v>") + "</row>"
                "<row r=\"4\">" + Cell("A4", " t=\"s\"", "<v>2</v>") + Cell("B4", " t=\"b\"", "<v>1</v>") +
                    Cell("C4", " t=\"e\"", "<v>#N/A</v>") + "</row>"
                "<row r=\"5\">" + Cell("A5", " t=\"s\"", "<v>3</v>") +
                    Cell("B5", " s=\"1\"", "<f>SUM(B2)</f><v>1200</v>") + Cell("C5", "", "<f>NOW()</f>") + "</row>"
                "<row r=\"6\" hidden=\"1\">" + Cell("A6", " t=\"s\"", "<v>4</v>") + Cell("B6", " s=\"3\"", "<v>12</v>") +
                    Cell("C6", " t=\"str\"", "<f>A1</f><v>a_x0041_</v>") + "<c r=\"F6\" s=\"1\"/></row>"
                "<row><c t=\"inlineStr\"><is><t>x</t></is></c><c><v>0.5</v></c>"
                "<c t=\"d\" s=\"2\"><v>2024-04-01T12:00:00</v></c></row>"
                "<row r=\"8\"><c xmlns:r=\"urn:rel\" r=\"A8\" t=\"inlineStr\"><is><t>merged</t></is></c>" +
                    Cell("B8", " t=\"inlineStr\"", "<is><t>covered</t></is>") + "</row>"
                "<row r=\"9\" s=\"1\" customFormat=\"1\"><c r=\"A9\" s=\"1\"/></row>"
                "</sheetData><mergeCells count=\"1\"><mergeCell ref=\"A8:B8\"/></mergeCells>"},
               {"二", "<sheetData><row r=\"1\">" + Cell("A1", " s=\"2\"", "<v>0</v>") + "</row></sheetData>"}},
    .sharedStrings = "<si><t>名前</t></si>"
                     "<si><t>山田</t><rPh sb=\"0\" eb=\"2\"><t>ヤマダ</t></rPh><phoneticPr fontId=\"1\"/></si>"
                     "<si><r><t>赤</t></r><r><rPr><b/></rPr><t xml:space=\"preserve\"> 太字</t></r>"
                     "<rPh sb=\"0\" eb=\"1\"><t>アカ</t></rPh></si>"
                     "<si><t>一行目_x000D_\n二行目</t></si>"
                     "<si><t>say \"hi\"\ttab</t></si>",
    .styles = "<numFmts count=\"2\"><numFmt numFmtId=\"176\" formatCode=\"#,##0&quot;円&quot;\"/>"
              "<numFmt numFmtId=\"177\" formatCode=\"[DBNum1]0\"/></numFmts>"
              "<cellStyleXfs><xf numFmtId=\"14\"/></cellStyleXfs>"
              "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"176\"/><xf numFmtId=\"14\"/><xf numFmtId=\"177\"/></cellXfs>",
};

TEST(Workbook, XlsxSheetAsItShows) {
    const data::WorkbookRead read = ReadWorkbook(kBook.Bytes(), "");
    ASSERT_EQ(read.status, Status::kRead);
    EXPECT_EQ(read.text.View(),
              "名前\t値\t日付\n"
              "山田\t1,200円\t2024/4/1\n"
              "\t\t\n"
              "赤 太字\tTRUE\t#N/A\n"
              "\"一行目\n二行目\"\t1,200円\t\n"
              "\"say \"\"hi\"\"\ttab\"\t12\taA\n"
              "x\t0.5\t2024/4/1\n"
              "merged\t\t\n");
    EXPECT_EQ(read.sheets, (std::vector<std::string>{"名簿", "二"}));
    EXPECT_EQ(read.sheet, "名簿");
    EXPECT_EQ(read.unknownFormats, 1);
    EXPECT_EQ(read.firstUnknownFormat, "[DBNum1]0");
    EXPECT_EQ(read.formulasWithoutValue, 1);
}

TEST(Workbook, SheetChosenByNameInEitherDateSystem) {
    Xlsx book = kBook;
    EXPECT_EQ(ReadWorkbook(book.Bytes(), "二").text.View(), "1900/1/0\n");
    book.date1904 = true;
    const data::WorkbookRead read = ReadWorkbook(book.Bytes(), "二");
    EXPECT_EQ(read.sheet, "二");
    EXPECT_EQ(read.text.View(), "1904/1/1\n");
    book.sheets.push_back({"三", "<x:sheetData xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                                "<x:row><x:c t=\"inlineStr\"><x:is><x:t>p</x:t></x:is></x:c></x:row></x:sheetData>"});
    EXPECT_EQ(ReadWorkbook(book.Bytes(), "三").text.View(), "p\n");  // elements of any prefix
    const data::WorkbookRead missing = ReadWorkbook(book.Bytes(), "四");
    EXPECT_EQ(missing.status, Status::kDamaged);
    EXPECT_EQ(missing.sheets.size(), 3u);  // the list still offers the others
}

TEST(Workbook, OdsCellsCarryTheirShownText) {
    const std::string ods = testbook::Ods(
        "<table:table table:name=\"表1\"><table:table-column table:number-columns-repeated=\"1024\"/>"
        "<table:table-row><table:table-cell office:value-type=\"string\">"
        "<text:p>a<text:s text:c=\"2\"/>b</text:p><text:p>c<text:tab/>d<text:line-break/><text:span>e</text:span></text:p>"
        "<office:annotation><text:p>memo</text:p></office:annotation><text:span xmlns:draw=\"urn:other\"/>"
        "<draw:frame><draw:text-box><text:p>shape</text:p></draw:text-box></draw:frame></table:table-cell>"
        "<table:table-cell table:number-columns-repeated=\"2\" office:value-type=\"float\" office:value=\"1\">"
        "<text:p>1.0</text:p></table:table-cell><table:table-cell table:number-columns-repeated=\"1000\"/>"
        "</table:table-row>"
        "<table:table-row table:number-rows-repeated=\"2\">"
        "<table:table-cell table:number-columns-spanned=\"2\"><text:p>m</text:p></table:table-cell>"
        "<table:covered-table-cell><text:p>hidden</text:p></table:covered-table-cell>"
        "<table:table-cell office:value-type=\"float\" office:value=\"3\"/></table:table-row>"
        "<table:table-row table:number-rows-repeated=\"1048000\">"
        "<table:table-cell table:number-columns-repeated=\"16384\"/></table:table-row></table:table>"
        "<table:table table:name=\"表2\"><table:table-row><table:table-cell><text:p>second</text:p>"
        "</table:table-cell></table:table-row></table:table>");
    const data::WorkbookRead first = ReadWorkbook(ods, "");
    ASSERT_EQ(first.status, Status::kRead);
    EXPECT_EQ(first.text.View(), "\"a  b\nc\td\ne\"\t1.0\t1.0\nm\t\t3\nm\t\t3\n");
    EXPECT_EQ(first.sheets, (std::vector<std::string>{"表1", "表2"}));
    EXPECT_EQ(ReadWorkbook(ods, "表2").text.View(), "second\n");
}

// Refusals the bad-input table does not show end to end.
TEST(Workbook, RefusesWhatItCannotRead) {
    Xlsx badIndex = kBook;
    badIndex.sheets[0].second = "<sheetData><row>" + Cell("A1", " t=\"s\"", "<v>99</v>") + "</row></sheetData>";
    const struct {
        const char* what;
        std::string bytes;
        Status status;
    } cases[] = {
        {"a zip of no workbook", testbook::Zip({{"a.txt", "x"}}), Status::kDamaged},
        {"an OpenDocument text", testbook::Zip({{"mimetype", "application/vnd.oasis.opendocument.text"}}),
         Status::kDamaged},
        {"an encrypted OpenDocument spreadsheet",
         testbook::Zip({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                        {"META-INF/manifest.xml", "<manifest><file-entry><encryption-data/></file-entry></manifest>"},
                        {"content.xml", "\x93\x01binary"}}),
         Status::kPassword},
        {"unclosed XML", Xlsx{.sheets = {{"s", "<sheetData><row>"}}}.Bytes(), Status::kDamaged},
        {"a shared string that is not there", badIndex.Bytes(), Status::kDamaged},
        {"Excel 5.0", testbook::Compound({"SummaryInformation", "Book"}), Status::kXls},
        {"another compound file", testbook::Compound({"WordDocument"}), Status::kDamaged},
        {"a cut compound file", testbook::Compound({"Workbook"}).substr(0, 600), Status::kDamaged},
    };
    for (const auto& c : cases) EXPECT_EQ(ReadWorkbook(c.bytes, "").status, c.status) << c.what;
}

// An escape the parser hands over in two pieces, where a read of the part
// ends, is one character.
TEST(Workbook, EscapeAcrossTheEndOfARead) {
    Xlsx book = {.sheets = {{"s", "<sheetData><row>" + Cell("A1", " t=\"s\"", "<v>0</v>") + "</row></sheetData>"}},
                 .sharedStrings = "<si><t>@</t></si>"};
    const testbook::Parts parts = book.Members();
    const auto shared = std::find_if(parts.begin(), parts.end(), [](const auto& p) { return p.first.ends_with("sharedStrings.xml"); });
    const size_t at = shared->second.find('@');
    for (size_t before = (1 << 18) - 8 - at; before < (1 << 18) - at; ++before) {
        book.sharedStrings = "<si><t>" + std::string(before, 'a') + "_x0041_</t></si>";
        EXPECT_EQ(ReadWorkbook(book.Bytes(), "").text.View(), std::string(before, 'a') + "A\n") << before;
    }
}

// The table's limits hold for a workbook as for a CSV file.
TEST(Workbook, LimitsOfTheTable) {
    const std::string wide = "<sheetData><row r=\"1\">" + Cell("A1", "", "<v>1</v>") +
                             "</row><row r=\"3\">" + Cell("SG3", "", "<v>2</v>") + "</row>"
                             "<row r=\"40000\">" + Cell("B40000", "", "<v>3</v>") + "</row></sheetData>";
    CCsvTable table = CCsvTable::FromBytes(Xlsx{.sheets = {{"s", wide}}}.Bytes());
    testutil::RecordingSink sink;
    ASSERT_NE(table.Load(sink), nullptr);
    EXPECT_TRUE(table.IsWorkbook());
    EXPECT_EQ(table.RecordCount(), 32000);
    EXPECT_EQ(table.GetRecord(0)->FieldCount(), 500);
    EXPECT_EQ(table.GetRecord(2)->FieldCount(), 500);
    EXPECT_EQ(sink.Codes(), (std::vector<diag::Code>{diag::Code::kCsvTooManyRecords, diag::Code::kCsvTooManyFields}));

    // An .ods whose rows repeat past any bound, one of them with many values
    // past the 500th column.
    std::string wideRow = "<table:table-row table:number-rows-repeated=\"3\">"
                          "<table:table-cell table:number-columns-repeated=\"500\"/>";
    for (int i = 0; i < 2000; ++i) wideRow += "<table:table-cell><text:p>v</text:p></table:table-cell>";
    CCsvTable ods = CCsvTable::FromBytes(testbook::Ods(
        "<table:table><table:table-row><table:table-cell><text:p>id</text:p></table:table-cell></table:table-row>"
        "<table:table-row table:number-rows-repeated=\"9223372036854775807\"/><table:table-row>"
        "<table:table-cell><text:p>x</text:p></table:table-cell></table:table-row></table:table>"
        "<table:table table:name=\"wide\"><table:table-row><table:table-cell><text:p>id</text:p></table:table-cell>"
        "</table:table-row>" + wideRow + "</table:table-row></table:table>"));
    testutil::RecordingSink odsSink;
    ASSERT_NE(ods.Load(odsSink), nullptr);
    EXPECT_EQ(std::string(ods.GetRecord(0)->FieldView(0)), "id");
    EXPECT_EQ(ods.RecordCount(), 32000);
    EXPECT_EQ(odsSink.Codes(), (std::vector<diag::Code>{diag::Code::kCsvTooManyRecords}));
    ods.SetSheet("wide");
    testutil::RecordingSink wideSink;
    ASSERT_NE(ods.Load(wideSink), nullptr);
    EXPECT_EQ(ods.RecordCount(), 4);
    EXPECT_EQ(ods.GetRecord(3)->FieldCount(), 500);
    EXPECT_EQ(wideSink.Codes(), (std::vector<diag::Code>{diag::Code::kCsvTooManyFields}));
}

}  // namespace
