#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "data/CsvTable.h"
#include "data/TextScan.h"
#include "gen/CompiledTemplate.h"
#include "RecordingSink.h"

namespace {

// The expansion written out the plain way, one record at a time: a fresh
// copy, stripped, placeholders looked up as they are met.
std::string Reference(const CCsvTable& table, const std::string& text, int record, bool strip) {
    std::string copy = text;
    if (strip) {
        StripHtmlFrame(copy.data());
        copy.resize(std::strlen(copy.c_str()));
    }
    std::string out;
    const char* cur = copy.c_str();
    while (*cur) {
        const char* open = FindCharMb(cur, '[');
        const char* close = open ? FindCharMb(open + 1, ']') : nullptr;
        if (!close) {
            out += cur;
            break;
        }
        out.append(cur, open);
        const std::string name(open + 1, close);
        const int column = table.FieldIndex(name.c_str());
        if (column < 0) {
            out += "[" + name + "]";
        } else if (const char* v = table.GetRecord(record)->GetField(column)) {
            for (; *v; ++v) {
                if (*v == '\n')
                    out += "<br>";
                else
                    out += *v;
            }
        }
        cur = close + 1;
    }
    return out;
}

std::string Written(const CompiledTemplate& compiled, const CCsvTable& table, int record) {
    std::string s = "kept:";  // Write appends
    compiled.Write(table, record, s);
    EXPECT_EQ(s.compare(0, 5, "kept:"), 0);
    return s.substr(5);
}

// Random templates from pieces that matter to the scanner: brackets, names
// known and unknown, frame tags, two-byte characters with bracket-valued
// second bytes, half-width katakana and line feeds.
TEST(CompiledTemplate, WritesTheSameBytesAsThePlainExpansion) {
    testutil::RecordingSink sink;
    CCsvTable table = CCsvTable::FromBytes(
        "id,name,\x95\x5c,id,note\r\n"
        "1,abc,x\ny,dup,\"multi\r\nline\"\r\n"
        "2,,,\r\n"
        "3\r\n");
    table.Load(sink);
    const char* pieces[] = {"[",      "]",     "[id]",   "[name]", "[\x95\x5c]", "[nope]",
                            "[]",     "<html>", "</HTML>", "<",      ">",         "\n",
                            "\x81[",  "\x81]", "\xb6",   "text ",  "[note]",    "<Html>"};
    std::mt19937 rng(12345);
    std::uniform_int_distribution<size_t> pick(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> length(0, 14);
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        for (int i = length(rng); i > 0; --i) text += pieces[pick(rng)];
        for (bool strip : {false, true}) {
            const CompiledTemplate compiled(table, text.c_str(), strip, table.Encoding());
            for (int record = 0; record < table.RecordCount(); ++record)
                ASSERT_EQ(Written(compiled, table, record), Reference(table, text, record, strip))
                    << "template: " << text << " strip: " << strip << " record: " << record;
        }
    }
}

// Header with a repeated name and a name whose second byte is "]" (0x81 0x5D);
// record 1 has a multi-line value, an empty value, a value that looks like a
// placeholder and one that looks like a frame tag; record 2 has one field only.
CCsvTable SampleTable() {
    testutil::RecordingSink sink;
    CCsvTable table = CCsvTable::FromBytes(
        "id,name,note,name,\x81\x5D\x82\xA0,blank,raw,tag\r\n"
        "7,Taro,\"a\nb\n\",Other,K,,[id],<html>\r\n"
        "8\r\n");
    table.Load(sink);
    EXPECT_TRUE(sink.diagnostics.empty());
    EXPECT_EQ(table.RecordCount(), 3);
    return table;
}

std::string Expand(const CCsvTable& table, const char* text, int record, bool strip) {
    std::string page;
    CompiledTemplate(table, text, strip, table.Encoding()).Write(table, record, page);
    return page;
}

struct ExpandCase {
    const char* what;
    const char* text;
    int record;
    const char* expected;
};

TEST(CompiledTemplate, ReplacesPlaceholdersByteForByte) {
    const CCsvTable table = SampleTable();
    const ExpandCase cases[] = {
        {"no placeholder", "<p>plain & simple</p>\n", 1, "<p>plain & simple</p>\n"},
        {"known name", "<b>[id]</b>", 1, "<b>7</b>"},
        {"first of two equal names", "[name]", 1, "Taro"},
        {"unknown name written back", "x[Nope]y", 1, "x[Nope]y"},
        {"empty brackets written back", "[]", 1, "[]"},
        {"name holding a bracket", "[a[b]", 1, "[a[b]"},
        {"bracket inside name is not a new placeholder", "[x[id]", 1, "[x[id]"},
        {"unclosed bracket", "x[abc", 1, "x[abc"},
        {"unclosed bracket after a placeholder", "[id] x[abc", 1, "7 x[abc"},
        {"closing bracket alone", "a]b[id]", 1, "a]b7"},
        {"line feeds in a value", "[note]|", 1, "a<br>b<br>|"},
        {"value not rescanned", "[raw]", 1, "[id]"},
        {"empty value", "<[blank]>", 1, "<>"},
        {"0x5D as second byte inside the name", "[\x81\x5D\x82\xA0]", 1, "K"},
        {"bracket as second byte is text", "\x81[[id]", 1, "\x81[7"},
        {"after half-width katakana", "\xB6[id]\xB6", 1,
         "\xB6"
         "7\xB6"},
        {"header record", "[id]/[name]/[note]", 0, "id/name/note"},
        {"fields the record lacks", "<[name]|[id]|[tag]>", 2, "<|8|>"},
        {"empty template", "", 1, ""},
        {"no template text", nullptr, 1, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Expand(table, c.text, c.record, false), c.expected) << c.what;
}

TEST(CompiledTemplate, StripFlagRemovesTheTemplatesFrameOnly) {
    const CCsvTable table = SampleTable();
    EXPECT_EQ(Expand(table, "<html>\n<p>[id]</p>\n</html>\n", 1, true), "<p>7</p>\n");
    // Values are never stripped; only the template's own tags are.
    EXPECT_EQ(Expand(table, "<HTML>[tag]</HTML>", 1, true), "<html>");
    EXPECT_EQ(Expand(table, "<html>[tag]</html>", 1, false), "<html><html></html>");
    EXPECT_EQ(Expand(table, "<html>\n", 1, true), "");
    EXPECT_EQ(Expand(table, "[id]<b", 1, true), "7");
}

TEST(StripHtmlFrameTest, DropsTheFourFrameTagsAndOneLineFeed) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"<html>\nbody\n</html>\n", "body\n"},
        {"<HTML>\n<p>x</p>\n</HTML>", "<p>x</p>\n"},
        {"<html>\n\nx", "\nx"},
        {"a</HTML>b<html>c", "abc"},
        {"<HTML x>a", "<HTML x>a"},
        {"<Html>a</Html>", "<Html>a</Html>"},
        {"< html>", "< html>"},
        {"<html >", "<html >"},
        {"<>", "<>"},
        {"a > b", "a > b"},
        {"<a<b>c", "<a<b>c"},
        {"keep<html", "keep"},
        {"x<html>\n<p", "x"},
        {"<html>", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        std::string text = c.in;
        EXPECT_EQ(StripHtmlFrame(text.data()), text.data());
        EXPECT_STREQ(text.c_str(), c.out) << "input: " << c.in;
    }
    EXPECT_EQ(StripHtmlFrame(nullptr), nullptr);
}

}  // namespace
