#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "data/CsvTable.h"
#include "data/TextScan.h"
#include "gen/Expand.h"
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

}  // namespace
