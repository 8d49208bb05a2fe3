// Number formats against the text a Japanese Excel shows for the same code
// and value.
#include "data/CellFormat.h"

#include <gtest/gtest.h>

namespace {

using data::BuiltInFormat;
using data::CellFormat;

struct Shown {
    const char* code;
    double value;
    const char* text;
};

constexpr Shown kShown[] = {
    // General.
    {"General", 0, "0"},
    {"General", 1234.5, "1234.5"},
    {"General", -0.5, "-0.5"},
    {"General", 0.1 + 0.2, "0.3"},
    {"General", 1.0 / 3, "0.333333333333333"},
    {"General", 999999999999999, "999999999999999"},
    {"General", 1e15, "1E+15"},
    {"General", 123456789012345678.0, "1.23456789012346E+17"},
    {"General", 1e-9, "0.000000001"},
    {"General", -1.5e-10, "-1.5E-10"},
    {"G/標準", 42, "42"},
    {"\"No.\"General", 7, "No.7"},
    // Digits, grouping, rounding half away from zero on the shown digits.
    {"0", 2.5, "3"},
    {"0", -2.5, "-3"},
    {"0.00", 1.005, "1.01"},
    {"0.0#", 1.5, "1.5"},
    {"0.0#", 1.25, "1.25"},
    {"#.##", 0.5, ".5"},
    {"#,##0", 1234567, "1,234,567"},
    {"#,##0", 0, "0"},
    {"#,###", 0, ""},
    {"#,##0.00", -1234.5, "-1,234.50"},
    {"#,##0,", 1234567, "1,235"},
    {"0.0,,\"百万\"", 1234567, "1.2百万"},
    {"000-0000", 1000001, "100-0001"},
    {"0000", 12345, "12345"},
    {"??0", 5, "  5"},
    {"0%", 0.256, "26%"},
    {"0.00%", 0.12345, "12.35%"},
    {"0.00E+00", 12345, "1.23E+04"},
    {"0.00E+00", 0.000123, "1.23E-04"},
    {"0.00E+00", 99999, "1.00E+05"},
    {"##0.0E+0", 12345, "12.3E+3"},
    // Literals, currencies, colours, padding.
    {"#,##0\"円\"", 1200, "1,200円"},
    {"#,##0円", 1200, "1,200円"},
    {"[$¥-411]#,##0", 3000, "¥3,000"},
    {"[$-411]0.0", 3, "3.0"},
    {"[Red]0.00", 1.5, "1.50"},
    {"\\#0", 5, "#5"},
    {"0_);(0)", 3, "3 "},
    {"0*-", 3, "3"},
    // Sections: positive, negative (without its sign), zero.
    {"0_);(0)", -3, "(3)"},
    {"0;[Red]-0", -5, "-5"},
    {"0;-0;\"ゼロ\"", 0, "ゼロ"},
    {"0;;", -5, ""},
    {"#,##0;▲#,##0", -1500, "▲1,500"},
    {"@", 12.5, "12.5"},
    // Dates in the 1900 date system with its 1900-02-29.
    {"yyyy/m/d", 45383, "2024/4/1"},
    {"yyyy/m/d", 59, "1900/2/28"},
    {"yyyy/m/d", 60, "1900/2/29"},
    {"yyyy/m/d", 61, "1900/3/1"},
    {"yyyy/m/d", 0, "1900/1/0"},
    {"yyyy/mm/dd hh:mm:ss", 45383.5, "2024/04/01 12:00:00"},
    {"yy/m/d(aaa)", 45383, "24/4/1(月)"},
    {"aaaa", 61, "木曜日"},
    {"ddd dddd", 45383, "Mon Monday"},
    {"d-mmm-yy", 45383, "1-Apr-24"},
    {"mmmm mmmmm", 45383, "April A"},
    {"m\"月\"d\"日\"", 45383, "4月1日"},
    // Times.
    {"h:mm", 0.375, "9:00"},
    {"h:mm AM/PM", 0.75, "6:00 PM"},
    {"h:mm am/pm", 0, "12:00 am"},
    {"午前/午後h時mm分", 0.25, "午前6時00分"},
    {"[h]:mm:ss", 1.5, "36:00:00"},
    {"[mm]:ss", 0.25, "360:00"},
    {"mm:ss.0", 1.5 / 86400, "00:01.5"},
    {"h:mm:ss", 0.5 + 0.6 / 86400, "12:00:01"},
    {"h:mm:ss", 0.5 + 0.4 / 86400, "12:00:00"},
    // Japanese eras from their first days.
    {"[$-411]ggge\"年\"m\"月\"d\"日\"", 45383, "令和6年4月1日"},
    {"[$-411]ggge\"年\"m\"月\"d\"日\"", 43585, "平成31年4月30日"},
    {"[$-411]ggge\"年\"m\"月\"d\"日\"", 43586, "令和1年5月1日"},
    {"[$-411]ggge\"年\"m\"月\"d\"日\"", 32515, "昭和64年1月7日"},
    {"[$-411]ggge\"年\"m\"月\"d\"日\"", 32516, "平成1年1月8日"},
    {"[$-411]ggge\"年\"m\"月\"d\"日\"", 9855, "大正15年12月24日"},
    {"[$-411]ggge\"年\"m\"月\"d\"日\"", 9856, "昭和1年12月25日"},
    {"[$-411]ggge\"年\"m\"月\"d\"日\"", 4594, "明治45年7月29日"},
    {"[$-411]ggge\"年\"m\"月\"d\"日\"", 4595, "大正1年7月30日"},
    {"[$-411]ge.m.d", 45383, "R6.4.1"},
    {"[$-F800]dddd, mmmm dd, yyyy", 45383, "2024年4月1日"},
    {"[$-F400]h:mm:ss AM/PM", 0.75, "18:00:00"},
    {"gge", 32516, "平1"},
    {"ggg ee", 45383, "令和 06"},
    {"##0.0E+0", 999.96, "1.0E+3"},
};

TEST(CellFormat, ShowsNumbersAsJapaneseExcelDoes) {
    for (const Shown& s : kShown)
        EXPECT_EQ(CellFormat(s.code).Number(s.value), s.text) << s.code << " " << s.value;
}

TEST(CellFormat, BuiltInFormatsAsJapaneseExcelShowsThem) {
    const struct {
        int id;
        double value;
        const char* text;
    } cases[] = {
        {0, 1.25, "1.25"},     {3, -1234, "-1,234"},       {5, -500, "¥-500"},
        {10, 0.5, "50.00%"},   {11, 0, "0.00E+00"},        {14, 45383, "2024/4/1"},
        {20, 0.375, "9:00"},   {22, 45383.75, "2024/4/1 18:00"},
        {28, 45383, "令和6年4月1日"}, {31, 45383, "2024年4月1日"}, {32, 0.5, "12時00分"},
        {38, -1234, "(1,234)"}, {41, 0, " - "},           {42, 1234, " ¥1,234 "},
        {46, 2.25, "54:00:00"}, {49, 3, "3"},             {57, 43586, "R1.5.1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CellFormat(BuiltInFormat(c.id)).Number(c.value), c.text) << c.id;
    EXPECT_TRUE(BuiltInFormat(23).empty());
}

// Codes this reader does not show (conditions, fractions, numerals of
// their own, two texts in a section, codes longer than Excel takes) show
// numbers as General does; so do dates Excel cannot show.
TEST(CellFormat, WhatItCannotShowIsGeneral) {
    const Shown cases[] = {
        {"[>=100]0;0.0", 5, "5"},
        {"# ?/?", 1.5, "1.5"},
        {"[DBNum1]0", 12, "12"},
        {"@ @", 3, "3"},
        {"yyyy/m/d", -1, "-1"},
        {"yyyy/m/d", 2958465.99999999, "2958465.99999999"},
        {"0%", 1e308, "1E+308"},
    };
    for (const Shown& c : cases) EXPECT_EQ(CellFormat(c.code).Number(c.value), c.text) << c.code;
    for (const char* code : {"[>=100]0", "# ?/?", "@ @"}) EXPECT_FALSE(CellFormat(code).Known()) << code;
    EXPECT_FALSE(CellFormat(std::string(256, '0')).Known());
    EXPECT_TRUE(CellFormat(std::string(255, '0')).Known());
    EXPECT_TRUE(CellFormat("[Blue]0;[Color10]-0").Known());
    EXPECT_TRUE(CellFormat("yyyy/m/d").IsDate());
    EXPECT_FALSE(CellFormat("#,##0").IsDate());
}

TEST(CellFormat, TextThroughItsSection) {
    EXPECT_EQ(CellFormat("\"名前：\"@").Text("山田"), "名前：山田");
    EXPECT_EQ(CellFormat("0;-0;0;\"<\"@\">\"").Text("a"), "<a>");
    EXPECT_EQ(CellFormat("0.00").Text("abc"), "abc");
}

TEST(CellFormat, The1904DateSystem) {
    EXPECT_EQ(CellFormat("yyyy/m/d").Number(0, true), "1904/1/1");
    EXPECT_EQ(CellFormat("yyyy/m/d aaa").Number(43921, true), "2024/4/1 月");
}

}  // namespace
