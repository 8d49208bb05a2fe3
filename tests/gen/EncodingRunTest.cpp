// CSV files and templates in either encoding: what a load reads and what a
// run writes when the CSV's encoding and the site's (the template's) meet.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "RecordingPrompter.h"
#include "RecordingSink.h"
#include "TestUtil.h"
#include "data/CsvTable.h"
#include "gen/CompiledTemplate.h"
#include "gen/GenerationRun.h"
#include "platform/CodePage.h"
#include "platform/TextEncoding.h"

namespace {

namespace fs = std::filesystem;
using platform::EncodingChoice;
using platform::TextEncoding;
using testutil::Cp;
using testutil::ReadBytes;
using testutil::WriteBytes;

const std::string kBom = "\xEF\xBB\xBF";

struct Loaded {
    std::optional<CCsvTable> table;
    testutil::RecordingSink prompter;
    bool read = false;
};

void Load(Loaded& l, const std::string& bytes, EncodingChoice choice = EncodingChoice::kAuto) {
    l.table.emplace(CCsvTable::FromBytes(bytes));
    l.table->SetEncodingChoice(choice);
    l.read = l.table->Load(l.prompter) != nullptr;
}

std::string Field(const CCsvTable& t, int record, int field) {
    const CCsvRecord* r = t.GetRecord(record);
    return r ? std::string(r->FieldView(field)) : "<none>";
}

TEST(EncodingLoad, EachSourceIsReadInTheEncodingItIsIn) {
    const TextEncoding cp = TextEncoding::kCp932, u8 = TextEncoding::kUtf8;
    const struct {
        const char* name;
        std::string bytes;
        TextEncoding encoding;
        std::string firstName, value;  // header field 0, record 1 field 1
    } cases[] = {
        {"ASCII header, one kanji", "id,name\r\n1," + Cp("漢") + "\r\n", cp, "id", Cp("漢")},
        {"kana and kanji", Cp("番号,名前\r\n1,ひらがなとカタカナ\r\n"), cp, Cp("番号"),
         Cp("ひらがなとカタカナ")},
        {"rows of half-width kana", Cp("id,ｶﾅ\r\n1,ｶﾀｶﾅ\r\n2,ﾃｽﾄ\r\n"), cp, "id", Cp("ｶﾀｶﾅ")},
        {"NEC and IBM rows", Cp("id,x\r\n1,①㈱髙\r\n"), cp, "id", Cp("①㈱髙")},
        {"ASCII alone", "id,x\r\n1,abc\r\n", cp, "id", "abc"},
        {"UTF-8 with a BOM", kBom + "id,名前\r\n1,大阪城\r\n", u8, "id", "大阪城"},
        {"UTF-8 without one", "名前,値\n大阪城,500\n", u8, "名前", "500"},
        {"Café", "id,name\n1,Café\n", u8, "id", "Café"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Loaded l;
        Load(l, c.bytes);
        ASSERT_TRUE(l.read);
        EXPECT_TRUE(l.prompter.diagnostics.empty());
        EXPECT_EQ(l.table->Encoding(), c.encoding);
        EXPECT_EQ(Field(*l.table, 0, 0), c.firstName);
        EXPECT_EQ(Field(*l.table, 1, 1), c.value);
    }
}

// In UTF-8 no byte of a character is a comma, quote or line end; read as
// code page 932, 城 (E5 9F 8E) would take the comma after it.
TEST(EncodingLoad, Utf8BytesNeverHideADelimiter) {
    Loaded l;
    Load(l, "a,b\n大阪城,500\n\"城\",\"\"\"城\"\"\"\n\"城\\\r\n城\",x\n");
    ASSERT_TRUE(l.read);
    EXPECT_EQ(l.table->RecordCount(), 4);
    EXPECT_EQ(Field(*l.table, 1, 0), "大阪城");
    EXPECT_EQ(Field(*l.table, 2, 1), "\"城\"");
    EXPECT_EQ(Field(*l.table, 3, 0), "城\n城");  // a continuation
    // Widths count display columns.
    EXPECT_EQ(l.table->ColumnWidths()[0], 6);
    // Chosen by the user, code page 932 reads the same bytes its own way.
    Loaded forced;
    Load(forced, "a,b\n大阪城,500\n", EncodingChoice::kCp932);
    EXPECT_EQ(forced.table->Encoding(), TextEncoding::kCp932);
    EXPECT_EQ(forced.table->DetectedEncoding(), TextEncoding::kUtf8);
    EXPECT_EQ(forced.table->GetRecord(1)->FieldCount(), 1);
}

// A placeholder finds its column whichever encoding the CSV and the
// template are in.
TEST(EncodingPlaceholders, NamesMatchAcrossEncodings) {
    const std::string names = "ゾーン,従業員,表示\nあ,い,う\n";
    const std::string tpl = "[ゾーン]|[従業員]|[表示]|[ない]";
    for (const bool csvUtf8 : {false, true}) {
        for (const bool siteUtf8 : {false, true}) {
            SCOPED_TRACE(std::string(csvUtf8 ? "UTF-8" : "CP932") + " into " +
                         (siteUtf8 ? "UTF-8" : "CP932"));
            Loaded l;
            Load(l, csvUtf8 ? names : Cp(names));
            const TextEncoding site = siteUtf8 ? TextEncoding::kUtf8 : TextEncoding::kCp932;
            const CompiledTemplate compiled(*l.table, (siteUtf8 ? tpl : Cp(tpl)).c_str(), false, site);
            std::string page;
            EXPECT_EQ(compiled.Write(*l.table, 1, page).references, 0u);
            const std::string want = "あ|い|う|[ない]";
            EXPECT_EQ(page, siteUtf8 ? want : Cp(want));
        }
    }
}

// Every character of code page 932, as a column's name, is found by a
// placeholder of its bytes.
TEST(EncodingPlaceholders, EveryCodePage932CharacterNamesItsColumn) {
    std::vector<std::string> chars;
    for (unsigned b = 0xA1; b <= 0xDF; ++b) chars.emplace_back(1, static_cast<char>(b));
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead >= 0xA0 && lead < 0xE0) continue;
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            const unsigned char unit[2] = {static_cast<unsigned char>(lead),
                                           static_cast<unsigned char>(trail)};
            if (trail != 0x7F && platform::Cp932UnitConverts(unit, 2))
                chars.emplace_back(reinterpret_cast<const char*>(unit), 2);
        }
    }
    ASSERT_GT(chars.size(), 7000u);
    for (size_t first = 0; first < chars.size(); first += kMaxFields - 1) {
        const size_t n = std::min<size_t>(kMaxFields - 1, chars.size() - first);
        std::string header, values, tpl, want;
        for (size_t i = 0; i < n; ++i) {
            header += (i ? "," : "") + chars[first + i];
            values += (i ? "," : "") + std::to_string(i);
            tpl += "[" + chars[first + i] + "]|";
            want += std::to_string(i) + "|";
        }
        Loaded l;
        Load(l, header + "\n" + values + "\n", EncodingChoice::kCp932);
        std::string page;
        CompiledTemplate(*l.table, tpl.c_str(), false, TextEncoding::kCp932).Write(*l.table, 1, page);
        ASSERT_EQ(page, want) << "from " << first;
    }
}

// Whole runs: pages, names, the index and the dump where the encodings meet.
class EncodingRunTest : public ::testing::Test {
  protected:
    EncodingRunTest() { fs::create_directory(out_); }

    RunReport Run(const std::string& csv, const std::string& tpl, int rule = kRuleFieldValue,
                  EncodingChoice htmlCode = EncodingChoice::kAuto,
                  EncodingChoice csvCode = EncodingChoice::kAuto) {
        Load(loaded_, csv, csvCode);
        EXPECT_TRUE(loaded_.read);
        WriteBytes(dir_.Path() / "t.html", tpl);
        Job s;
        s.HTML = dir_.File("t.html");
        s.Out = out_.string();
        s.ruleNum = rule;
        s.fieldNum = 1;
        s.htmlCode = htmlCode;
        std::vector<int> all;
        for (int r = 1; r < loaded_.table->RecordCount(); ++r) all.push_back(r);
        testutil::RecordingSink sink;
        const RunReport report = RunGeneration(s, all, &*loaded_.table, {}, sink);
        EXPECT_TRUE(sink.Problems().empty()) << diag::Text(sink.Problems()[0]);
        return report;
    }
    std::string Read(const std::string& name) const { return ReadBytes(out_ / testutil::U8(name)); }

    testutil::TempDir dir_;
    fs::path out_ = dir_.Path() / "out";
    Loaded loaded_;
};

const std::string kUtf8Csv = kBom + "id,name\n1,café\n2,😀\n3,大阪城\n4,𠮷\n";

TEST_F(EncodingRunTest, Utf8IntoAShiftJisSiteWritesReferences) {
    const std::string tpl = Cp("<meta charset=\"Shift_JIS\">名:[name]");
    const RunReport r = Run(kUtf8Csv, tpl);
    EXPECT_TRUE(r.AllWritten());
    EXPECT_EQ(r.siteEncoding, TextEncoding::kCp932);
    // Names are the values in UTF-8, on disk as they are.
    EXPECT_EQ(Read("café.html"), Cp("<meta charset=\"Shift_JIS\">名:") + "caf&#233;");
    EXPECT_EQ(Read("😀.html"), Cp("<meta charset=\"Shift_JIS\">名:") + "&#128512;");
    EXPECT_EQ(Read("大阪城.html"), Cp("<meta charset=\"Shift_JIS\">名:大阪城"));
    const std::string index = Read("_index.html");
    EXPECT_NE(index.find("charset=Shift_JIS"), std::string::npos);
    // A character Shift_JIS cannot hold is linked by its UTF-8 bytes.
    for (const std::string& link : std::vector<std::string>{
             "href=\"caf%C3%A9.html\">caf&#233;</a>", "href=\"%F0%9F%98%80.html\">&#128512;</a>",
          "href=\"" + Cp("大阪城") + ".html\">" + Cp("大阪城") + "</a>",
          "href=\"%F0%A0%AE%B7.html\">&#134071;</a>"})
        EXPECT_NE(index.find(link), std::string::npos) << link;
    // The rule-2 filler counts display columns: 大阪城 takes 6 of 30.
    EXPECT_NE(index.find(Cp("大阪城") + "</a>]" + std::string(24, ' ') + "[<a"), std::string::npos);
    EXPECT_NE(Read("_db.html").find("<td>caf&#233;</td>"), std::string::npos);
    // Three on the pages, three in the index, three in the dump.
    EXPECT_EQ(r.characterReferences, 9);
}

TEST_F(EncodingRunTest, ShiftJisIntoAUtf8SiteIsConverted) {
    const std::string csv = Cp("id,名前\r\n1,ソ表\r\n2,") + "\x85\x40" + "\r\n";
    const std::string tpl = kBom + "<meta charset=\"utf-8\"><p>[名前]</p>";
    const RunReport r = Run(csv, tpl, kRuleRecordNumber);
    EXPECT_TRUE(r.AllWritten());
    EXPECT_EQ(r.characterReferences, 0);
    EXPECT_EQ(r.replacements, 2);  // on its page and in the dump
    EXPECT_EQ(Read("00001.html"), kBom + "<meta charset=\"utf-8\"><p>ソ表</p>");
    // A unit without a Unicode form.
    EXPECT_EQ(Read("00002.html"), kBom + "<meta charset=\"utf-8\"><p>\uFFFD</p>");
    // The index and the dump declare UTF-8 and never begin with a BOM.
    for (const char* name : {"_index.html", "_db.html"}) {
        const std::string page = Read(name);
        EXPECT_TRUE(page.starts_with("<html>")) << name;
        EXPECT_NE(page.find("charset=UTF-8"), std::string::npos) << name;
    }
    EXPECT_NE(Read("_db.html").find("<td>ソ表</td>"), std::string::npos);
}

TEST_F(EncodingRunTest, AnAsciiTemplateFollowsTheCsvUnlessTold) {
    RunReport r = Run(kUtf8Csv, "<p>[name]</p>", kRuleSequenceNumber);
    EXPECT_EQ(r.siteEncoding, TextEncoding::kUtf8);
    EXPECT_EQ(Read("00001.html"), "<p>café</p>");
    EXPECT_NE(Read("_index.html").find("charset=UTF-8"), std::string::npos);
    r = Run(kUtf8Csv, "<p>[name]</p>", kRuleSequenceNumber, EncodingChoice::kCp932);
    EXPECT_EQ(r.siteEncoding, TextEncoding::kCp932);
    EXPECT_EQ(Read("00001.html"), "<p>caf&#233;</p>");
    EXPECT_NE(Read("_index.html").find("charset=Shift_JIS"), std::string::npos);
}

// A byte order mark is never text; pages get one only in a UTF-8 site.
TEST_F(EncodingRunTest, ByteOrderMarks) {
    const std::string csv = kBom + "id,name\n1,a\n";
    RunReport r = Run(csv, kBom + "<p>[name]</p>", kRuleRecordNumber, EncodingChoice::kCp932,
                      EncodingChoice::kCp932);
    EXPECT_EQ(Field(*loaded_.table, 0, 0), "id");
    EXPECT_EQ(Read("00001.html"), "<p>a</p>");
    r = Run(csv, kBom + "<p>[name]</p>", kRuleRecordNumber);
    EXPECT_EQ(Read("00001.html"), kBom + "<p>a</p>");
}

#ifndef _WIN32  // names Windows refuses; its rules are tested in WindowsRulesTest
// A CSV forced into the wrong encoding: bytes that are no character give
// "?" in a file's name, and U+FFFD or "?" where a value is converted.
TEST_F(EncodingRunTest, BytesThatAreNoCharacter) {
    const std::string csv = Cp("id,名前\n1,表\n");  // 95 5C: no UTF-8
    RunReport r = Run(csv, "<p>[id]</p>", kRuleFieldValue, EncodingChoice::kCp932,
                      EncodingChoice::kUtf8);
    EXPECT_EQ(loaded_.table->Encoding(), TextEncoding::kUtf8);
    EXPECT_EQ(Read("?\\.html"), "<p>1</p>");
    EXPECT_NE(Read("_index.html").find("href=\"%3F%5C.html\""), std::string::npos);
    r = Run(Cp("id,name\n1,a") + "\x85\x40" + "\n", "<meta charset=utf-8>[name]",
            kRuleFieldValue);
    EXPECT_EQ(Read("a?.html"), "<meta charset=utf-8>a\uFFFD");
    // A valid file whose quoted value loses its last byte, taken for the
    // closing quote, in the middle of a character.
    r = Run("id,name\n1,\"ab\"\xDF\x82\n", "<meta charset=utf-8>[name]", kRuleRecordNumber);
    EXPECT_EQ(Read("00001.html"), "<meta charset=utf-8>ab\"\uFFFD");
    EXPECT_EQ(r.replacements, 2);  // the page and the dump
}
#endif

// In a UTF-8 site the template's own bad bytes become U+FFFD too, counted
// on every page they are written to; one inside a placeholder that becomes
// a value is not written. Names match as both are written.
TEST_F(EncodingRunTest, TheTemplatesBadBytesAreReplacedOnEveryPage) {
    const RunReport r = Run(kBom + "id,n\xFF\n1,a\n2,b\n", "<meta charset=utf-8>\xFF[n\xFF]|[x\xFE]",
                            kRuleRecordNumber);
    EXPECT_EQ(Read("00002.html"), "<meta charset=utf-8>\uFFFD" "b|[x\uFFFD]");
    EXPECT_EQ(r.replacements, 2 + 2 + 1);  // two pages, the header in the dump
    EXPECT_TRUE(platform::IsValidUtf8(Read("_db.html")));
    // Stripping the frame joins no two bad pieces into a character.
    std::string page;
    const platform::SiteCounts counts =
        CompiledTemplate(*loaded_.table, "\xE3<html>\x81\x82", true, TextEncoding::kUtf8)
            .Write(*loaded_.table, 1, page);
    EXPECT_EQ(page, "\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(counts.replacements, 3u);
}

}  // namespace
