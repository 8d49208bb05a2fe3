#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "TestUtil.h"
#include "data/CsvTable.h"
#include "gen/DumpPage.h"
#include "MemoryFolder.h"
#include "RecordingSink.h"


const std::string kHead =
    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"
    "</head><body><table border>\n";

namespace {

std::string Dump(const std::string& csv) {
    testutil::RecordingSink sink;
    CCsvTable table = CCsvTable::FromBytes(csv);
    table.Load(sink);
    testutil::MemoryFolder folder("out");
    auto out = folder.NewFile();
    EXPECT_TRUE(out->Create("_db.html"));
    WriteDumpPage(table, *out, table.Encoding());
    EXPECT_TRUE(out->Close());
    return folder.files["_db.html"].bytes;
}

TEST(DumpPageTest, WritesEveryRecordAsItWasRead) {
    // Row 1: an empty value, a multi-line value and markup, all unescaped.
    // Row 2 is shorter and row 3 longer than the header; the text ends after
    // a comma, so row 4's last field is absent.
    const std::string csv =
        "h1,h2,h3\r\n"
        "a<&>,,\"x\r\ny\"\r\n"
        "short\r\n"
        "b1,b2,b3,b4\r\n"
        "z,";
    EXPECT_EQ(Dump(csv),
              kHead +
              "<tr><td>000</td><td>h1</td><td>h2</td><td>h3</td></tr>\n"
              "<tr><td>001</td><td>a<&></td><td></td><td>x\r\ny</td></tr>\n"
              "<tr><td>002</td><td>short</td></tr>\n"
              "<tr><td>003</td><td>b1</td><td>b2</td><td>b3</td><td>b4</td></tr>\n"
              "<tr><td>004</td><td>z</td><td bgcolor=#ffe0e0>&nbsp;</td></tr>\n"
              "</table></body></html>\n");
}

TEST(DumpPageTest, RowNumbersGrowPastThreeDigitsAndLargePagesStayWhole) {
    // Several times the write buffer, so the page goes out in pieces.
    std::string csv = "h\r\n";
    std::string rows = "<tr><td>000</td><td>h</td></tr>\n";
    for (int i = 1; i <= 12000; ++i) {
        csv += "v" + std::to_string(i) + "\r\n";
        char number[16];
        std::snprintf(number, sizeof number, "%03d", i);
        rows += std::string("<tr><td>") + number + "</td><td>v" + std::to_string(i) + "</td></tr>\n";
    }
    EXPECT_EQ(Dump(csv), kHead + rows + "</table></body></html>\n");
}

TEST(DumpPageTest, EmptyTableGivesTheFrameOnly) {
    EXPECT_EQ(Dump(""), kHead + "</table></body></html>\n");
    testutil::RecordingSink sink;
    CCsvTable table = CCsvTable::FromBytes("h\r\n");
    table.Load(sink);
    testutil::MemoryFolder folder("out");
    auto closed = folder.NewFile();
    WriteDumpPage(table, *closed, table.Encoding());
    EXPECT_TRUE(closed->Text().empty());
}

}  // namespace
