#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "data/CsvTable.h"
#include "gen/DumpPage.h"
#include "platform/Prompter.h"

namespace {

std::string Dump(const std::string& csv) {
    platform::RecordingPrompter prompter;
    CCsvTable table = CCsvTable::FromBytes(csv);
    table.Load(prompter);
    char* buf = nullptr;
    size_t size = 0;
    FILE* f = open_memstream(&buf, &size);
    WriteDumpPage(table, f);
    std::fclose(f);
    std::string bytes(buf, size);
    std::free(buf);
    return bytes;
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
              "<html><body><table border>\n"
              "<tr><td>000</td><td>h1</td><td>h2</td><td>h3</td></tr>\n"
              "<tr><td>001</td><td>a<&></td><td></td><td>x\r\ny</td></tr>\n"
              "<tr><td>002</td><td>short</td></tr>\n"
              "<tr><td>003</td><td>b1</td><td>b2</td><td>b3</td><td>b4</td></tr>\n"
              "<tr><td>004</td><td>z</td><td bgcolor=#ffe0e0>&nbsp;</td></tr>\n"
              "</table></body></html>\n");
}

TEST(DumpPageTest, RowNumbersGrowPastThreeDigits) {
    std::string csv = "h\r\n";
    for (int i = 1; i <= 1000; ++i) csv += "v\r\n";
    const std::string page = Dump(csv);
    EXPECT_NE(page.find("<tr><td>999</td><td>v</td></tr>\n<tr><td>1000</td><td>v</td></tr>\n"
                        "</table>"),
              std::string::npos);
}

TEST(DumpPageTest, EmptyTableGivesTheFrameOnly) {
    EXPECT_EQ(Dump(""), "<html><body><table border>\n</table></body></html>\n");
    platform::RecordingPrompter prompter;
    CCsvTable table = CCsvTable::FromBytes("h\r\n");
    table.Load(prompter);
    WriteDumpPage(table, nullptr);
}

}  // namespace
