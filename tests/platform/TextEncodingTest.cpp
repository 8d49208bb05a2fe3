#include "platform/TextEncoding.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <random>
#include <string>
#include <tuple>

#include "TestUtil.h"
#include "platform/CharsetPrescan.h"
#include "platform/CodePage.h"

using namespace std::string_literals;
using platform::kNoCharacter;
using platform::TextEncoding;
using platform::TextKind;
using testutil::Cp;

namespace {

constexpr TextEncoding kCp = TextEncoding::kCp932, kU8 = TextEncoding::kUtf8;
constexpr TextKind kCsv = TextKind::kCsv, kHtml = TextKind::kTemplate, kIni = TextKind::kSettings;

char32_t Decode(std::string_view s, size_t at, size_t* length) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    return platform::DecodeUtf8(p + at, s.size() - at, length);
}

TEST(TextEncoding, DetectsTheEncodingOfAFile) {
    const std::string bom = "\xEF\xBB\xBF", kana = testutil::Repeat("\xD8\xBD\r\n", 3);
    const std::string utf8Meta = "<meta charset=utf-8>";
    const struct {
        const char* name;
        std::string bytes;
        TextKind kind;
        TextEncoding encoding;
        size_t bom = 0;
        bool asciiOnly = false, declared = false, utf16 = false;
        std::string unread = "";
    } cases[] = {
        {"kanji value", "id,name\r\n1,\x8A\xBF\r\n", kCsv, kCp},
        {"kana and kanji", Cp("名前,ひらがな\r\n漢字,カタカナ\r\n"), kCsv, kCp},
        {"half-width kana, CSV", kana, kCsv, kU8},  // valid UTF-8 as well
        {"half-width kana, settings", kana, kIni, kCp},
        {"symbols", Cp("①㈱髙"), kIni, kCp},
        {"ASCII", "id,name\r\n1,a\r\n", kCsv, kCp, 0, true},
        {"UTF-8", "名前,値\r\nあ,1\r\n", kCsv, kU8},
        {"UTF-8 settings", "HTML:表.html\r\n", kIni, kU8},
        {"two-byte UTF-8", "Café", kCsv, kU8},
        {"two-byte UTF-8 settings", "Café", kIni, kCp},
        {"BOM", bom + "Café", kIni, kU8, 3},
        {"BOM and ASCII", bom + "a,b", kCsv, kU8, 3, true},
        {"BOM before code page 932", bom + Cp("表"), kCsv, kU8, 3},
        {"UTF-16 LE", "\xFF\xFEz\0"s, kCsv, kCp, 0, false, false, true},
        {"UTF-16 BE", "\xFE\xFF\0a"s, kHtml, kCp, 0, false, false, true},
        {"overlong", "a\xC0\xAF", kCsv, kCp},
        {"surrogate", "\xED\xA0\x80", kCsv, kCp},
        {"past U+10FFFF", "\xF4\x90\x80\x80", kCsv, kCp},
        {"cut short", "あ\xE3\x81", kCsv, kCp},
        {"meta charset", "<meta charset=\"utf-8\">" + Cp("表"), kHtml, kU8, 0, false, true},
        {"http-equiv",
         "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=Shift_JIS\">表", kHtml,
         kCp, 0, false, true},
        {"declared by byte 1024", std::string(1004, ' ') + utf8Meta, kHtml, kU8, 0, true, true},
        {"declared after", std::string(1005, ' ') + utf8Meta + Cp("表"), kHtml, kCp},
        {"a CSV declares nothing", utf8Meta + Cp("表"), kCsv, kCp},
        {"BOM before a declaration", bom + "<meta charset=Shift_JIS>", kHtml, kU8, 3, true},
        {"UTF-16 before a declaration", "\xFF\xFE" + utf8Meta, kHtml, kCp, 0, false, false, true},
        // A declaration of an encoding that is not read: the bytes decide.
        {"EUC-JP declared, UTF-8 bytes", "<meta charset=euc-jp>表", kHtml, kU8, 0, false, false,
         false, "EUC-JP"},
        {"latin1 declared, code page 932 bytes", "<meta charset=latin1>" + Cp("表"), kHtml, kCp, 0,
         false, false, false, "windows-1252"},
        {"EUC-JP declared, ASCII", "<meta charset=EUC-JP>", kHtml, kCp, 0, true, false, false,
         "EUC-JP"},
    };
    for (const auto& c : cases) {
        const platform::DetectedText f = platform::DetectEncoding(c.bytes, c.kind);
        EXPECT_EQ(std::tuple(f.encoding == kU8, f.bomLength, f.asciiOnly, f.declared, f.utf16,
                             f.unreadCharset),
                  std::tuple(c.encoding == kU8, c.bom, c.asciiOnly, c.declared, c.utf16, c.unread))
            << c.name;
    }
}

// One set of names for settings lines, flags and template declarations.
TEST(TextEncoding, NamesOfTheEncodings) {
    using platform::EncodingChoice;
    constexpr auto kAuto = EncodingChoice::kAuto, kCp932 = EncodingChoice::kCp932,
                   kUtf8 = EncodingChoice::kUtf8;
    const struct {
        std::string name;
        std::optional<EncodingChoice> choice;  // settings line, flag
        std::string_view declared;             // <meta charset="NAME">
    } cases[] = {
        {"auto", kAuto, ""},
        {" AUTO\t", kAuto, ""},
        {"utf-8", kUtf8, "UTF-8"},
        {"UTF8", kUtf8, "UTF-8"},
        {"Unicode-1-1-UTF-8", kUtf8, "UTF-8"},
        {"unicode11utf8", kUtf8, "UTF-8"},
        {"UNICODE20UTF8", kUtf8, "UTF-8"},
        {"\n x-unicode20utf8 \f", kUtf8, "UTF-8"},
        {"Shift_JIS", kCp932, "Shift_JIS"},
        {"shift-jis", kCp932, "Shift_JIS"},
        {" SJIS ", kCp932, "Shift_JIS"},
        {"x-sjis", kCp932, "Shift_JIS"},
        {"MS932", kCp932, "Shift_JIS"},
        {"ms_kanji", kCp932, "Shift_JIS"},
        {"Windows-31J", kCp932, "Shift_JIS"},
        {"csShiftJIS", kCp932, "Shift_JIS"},
        {"\tCP932\r", kCp932, "Shift_JIS"},
        // Named, not read.
        {"latin1", std::nullopt, "windows-1252"},
        {"euc-jp", std::nullopt, "EUC-JP"},
        {"ISO-2022-JP", std::nullopt, "ISO-2022-JP"},
        // A browser reads a page that declares these as UTF-8 and
        // windows-1252.
        {"utf-16", EncodingChoice::kUtf16, "UTF-8"},
        {"UTF-16BE", std::nullopt, "UTF-8"},  // read by its byte order mark alone
        {"x-user-defined", std::nullopt, "windows-1252"},
        // No encoding.
        {"", std::nullopt, ""},
        {"utf 8", std::nullopt, ""},
        {"utf-8;", std::nullopt, ""},
        {"\vutf-8", std::nullopt, ""},  // not ASCII whitespace
        {"ｓｊｉｓ", std::nullopt, ""},
        {"auto-detect", std::nullopt, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::ParseEncodingChoice(c.name), c.choice) << c.name;
        EXPECT_EQ(platform::PrescanCharset("<meta charset=\"" + c.name + "\">"), c.declared)
            << c.name;
    }
    // The writer's names read back.
    for (auto choice : {kAuto, kCp932, kUtf8, EncodingChoice::kUtf16})
        EXPECT_EQ(platform::ParseEncodingChoice(platform::EncodingChoiceName(choice)), choice);
}

// The declaration a browser finds in the first 1024 bytes.
TEST(TextEncoding, DeclaredCharsetIsFoundAsABrowserFindsIt) {
    const std::string pad(1004, ' ');
    const struct {
        std::string head;
        std::string_view declared;
    } cases[] = {
        {"<!DOCTYPE html><html lang=ja><head><meta charset=\"utf-8\">", "UTF-8"},
        {"<META CHARSET='SHIFT_JIS'>", "Shift_JIS"},
        {"<Meta\tCharSet = utf8 />", "UTF-8"},
        {"<meta/charset=sjis>", "Shift_JIS"},
        {"<meta charset=utf-8/>", ""},  // the value is "utf-8/"
        {"<metadata charset=utf-8>", ""},
        {"</meta charset=utf-8>", ""},
        // Comments, other tags' attributes and markup declarations hide
        // what is in them; the text of a script does not.
        {"<!-- <meta charset=utf-8> --><meta charset=sjis>", "Shift_JIS"},
        {"<!--><meta charset=sjis>", "Shift_JIS"},
        {"<!-- <meta charset=utf-8>", ""},
        {"<p title=\"<meta charset=shift_jis>\"><meta charset=utf-8>", "UTF-8"},
        {"<?xml encoding=\"euc-jp\"?><!x <meta charset=euc-jp>><meta charset=utf-8>", "UTF-8"},
        {"<script>s = '<meta charset=euc-jp>';</script><meta charset=utf-8>", "EUC-JP"},
        // A content attribute counts with http-equiv=content-type only, in
        // either order; a charset attribute wins over it.
        {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">",
         "Shift_JIS"},
        {"<meta content='text/html;charset = \"utf-8\"' http-equiv=CONTENT-TYPE>", "UTF-8"},
        {"<meta content=\"text/html; charset=utf-8\"><meta charset=sjis>", "Shift_JIS"},
        {"<meta http-equiv=content-type content=\"charset=euc-jp\" charset=utf-8>", "UTF-8"},
        {"<meta charset=utf-8 http-equiv=content-type content=\"charset=euc-jp\">", "UTF-8"},
        {"<meta http-equiv=content-type content=\"charset=bogus\" charset=sjis>", "Shift_JIS"},
        // The first of two attributes of one name counts.
        {"<meta charset=utf-8 CHARSET=euc-jp>", "UTF-8"},
        {"<meta http-equiv=refresh http-equiv=content-type content='charset=sjis'>", ""},
        // A label of no encoding is passed over; a known one ends the scan.
        {"<meta charset=latin9x><meta charset=utf-8>", "UTF-8"},
        {"<meta charset=euc-jp><meta charset=utf-8>", "EUC-JP"},
        {"<meta http-equiv=content-type content=\"text/html; charset=ISO-2022-JP\">",
         "ISO-2022-JP"},
        {"<meta charset=UTF-16BE>", "UTF-8"},
        {"<meta charset=x-user-defined>", "windows-1252"},
        // Within the first 1024 bytes, the whole tag.
        {pad + "<meta charset=utf-8>", "UTF-8"},
        {pad + " <meta charset=utf-8>", ""},
        {pad.substr(2) + "<meta charset='utf-8'>" + pad, "UTF-8"},
        {pad.substr(1) + "<meta charset='utf-8'>", ""},
        {"<meta charset=\"utf-8>" + pad, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::PrescanCharset(c.head), c.declared) << c.head;
    // Any start of a declaration: nothing.
    const std::string whole = "<meta http-equiv=Content-Type content=\"a; charset='utf-8'\">";
    for (size_t n = 0; n < whole.size(); ++n)
        EXPECT_EQ(platform::PrescanCharset(whole.substr(0, n)), "") << n;
    EXPECT_EQ(platform::PrescanCharset(whole), "UTF-8");
}

// A plain decoder to compare with: the length the lead byte announces, then
// the value's range; a malformed piece is the longest start of a character.
char32_t PlainValue(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const size_t n = p[0] < 0x80 ? 1 : p[0] < 0xC0 || p[0] >= 0xF8 ? 0
                   : p[0] < 0xE0 ? 2 : 3 + (p[0] >= 0xF0);
    if (s.size() != n) return kNoCharacter;
    char32_t c = n == 1 ? p[0] : p[0] & (0x7F >> n);
    for (size_t i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80) return kNoCharacter;
        c = c << 6 | (p[i] & 0x3F);
    }
    const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    return c >= least[n] && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF) ? c : kNoCharacter;
}
bool StartsACharacter(const std::string& start) {
    static std::map<std::string, bool> known;
    auto [at, fresh] = known.emplace(start, false);
    for (int b = 0x80; fresh && b <= 0xBF; ++b)
        for (size_t pad = 0; start.size() + 1 + pad <= 4; ++pad)
            at->second |= PlainValue(start + char(b) + std::string(pad, '\x80')) != kNoCharacter;
    return at->second;
}
// What DecodeUtf8 and IsValidUtf8 say otherwise than the plain decoder.
std::string Mismatch(const std::string& s) {
    bool valid = true;
    for (size_t i = 0, length = 0; i < s.size(); i += length) {
        const char32_t c = Decode(s, i, &length);
        char32_t plainC = kNoCharacter;
        size_t plain = 0;
        for (size_t n = 1; n <= 4 && n <= s.size() - i && !plain; ++n)
            if ((plainC = PlainValue(s.substr(i, n))) != kNoCharacter) plain = n;
        if (!plain)
            for (plain = 1; plain < 3 && plain < s.size() - i; ++plain)
                if (!StartsACharacter(s.substr(i, plain + 1))) break;
        if (c != plainC || length != plain)
            return testing::PrintToString(s) + " at " + std::to_string(i);
        valid &= c != kNoCharacter;
    }
    return platform::IsValidUtf8(s) == valid ? "" : testing::PrintToString(s);
}

TEST(TextEncoding, Utf8IsDecodedStrictly) {
    // Every one and two bytes, then three and four with continuation bytes,
    // after ASCII of every length from 0 to 19 (the eight-byte steps).
    for (int a = 0; a < 256; ++a) {
        ASSERT_EQ(Mismatch(std::string(1, char(a))), "");
        for (int b = 0; b < 256; ++b) {
            const std::string pair = std::string((a + b) % 20, 'x') + char(a) + char(b);
            for (const char* more : {"", "\x80", "\x80\x80", "\xBF\xBF", "\x80z"})
                ASSERT_EQ(Mismatch(pair + more), "");
        }
    }
    // Long ASCII runs, Japanese text and any bytes, mixed at random.
    std::mt19937 random(932);
    const std::string pieces[] = {std::string(37, 'a'), "日本語", "é😀", "\xF4\x8F\xBF\xBF"};
    for (int round = 0; round < 3000; ++round) {
        std::string s;
        while (s.size() < 200)
            s += random() % 3 ? pieces[random() % 4]
                              : testutil::RandomBytes(random(), 1 + random() % 3);
        ASSERT_EQ(Mismatch(s), "");
    }
}

TEST(TextEncoding, TextIsWrittenInTheSiteEncoding) {
    const std::string fffd = "\xEF\xBF\xBD", nec = "\xED\x40\x87\x90\xEE\xF9\xFA\x40\x85\x40";
    const struct {
        std::string text;
        TextEncoding from, site;
        std::string out;
        size_t references, replacements = 0;
    } cases[] = {
        {"Café", kU8, kCp, "Caf&#233;", 1},
        {"a😀b", kU8, kCp, "a&#128512;b", 1},
        {"名前：ｶﾅ,①", kU8, kCp, "\x96\xBC\x91\x4F\x81\x46\xB6\xC5,\x87\x40", 0},
        {"～〜¥‾", kU8, kCp, "\x81\x60&#12316;&#165;&#8254;", 3},  // never a lookalike
        {"￢ⅰ", kU8, kCp, "\x81\xCA\xFA\x40", 0},
        {"a\xFFz\xE8\xA1y\xF0\x9F\x98", kU8, kCp, "a?z?y?", 0},
        {"\xED\xA0\x80", kU8, kCp, "???", 0},
        {"x\xF3\xA0\x80\x81", kU8, kCp, "x&#917505;", 1},  // U+E0001
        // Maximal ill-formed subsequences, a U+FFFD each: overlong, surrogate,
        // F5-FF, cut short, code page 932 bytes.
        {"a\xFFz\xC0\xAF", kU8, kU8, "a" + fffd + "z" + fffd + fffd, 0, 3},
        {"\xED\xA0\x80\xF5\xF4\x90", kU8, kU8, fffd + fffd + fffd + fffd + fffd + fffd, 0, 6},
        {"\xE8\xA1y\xF0\x9F\x98", kU8, kU8, fffd + "y" + fffd, 0, 2},
        {"\x93\xFA\xE6\x97\xA5", kU8, kU8, fffd + fffd + "日", 0, 2},
        {"\x96\xBC\x91\x4F,\xB6\xC5", kCp, kU8, "名前,ｶﾅ", 0},
        {"x\x85\x40y\x95", kCp, kU8, "x" + fffd + "y" + fffd, 0, 2},
        {"\x80\xFD\x81.", kCp, kU8, fffd + fffd + fffd + ".", 0, 3},
        {nec, kCp, kCp, nec, 0},
    };
    for (const auto& c : cases) {
        std::string out = "<";
        const platform::SiteCounts counts = platform::AppendForSite(out, c.text, c.from, c.site);
        EXPECT_EQ(counts.references, c.references) << c.text;
        EXPECT_EQ(counts.replacements, c.replacements) << c.text;
        EXPECT_EQ(out, "<" + c.out) << c.text;
        const bool exact = c.from == kU8 && c.site == kCp && c.references == 0 &&
                           c.replacements == 0 &&
                           c.out.find('?') == std::string::npos;
        EXPECT_EQ(platform::Utf8ToCp932Exactly(c.text), exact ? std::optional(c.out) : std::nullopt)
            << c.text;
    }
    EXPECT_EQ(platform::ToUtf8("a\xFFz\xE8\xA1", kU8), "a?z?");
    EXPECT_EQ(platform::ToUtf8("\x95\x5C\x85\x40", kCp), "表?");
}

TEST(TextEncoding, CodePage932TextShowsAsWideAsItsBytes) {
    // Each unit that converts: as wide as its bytes, and back to the same
    // character (through the same unit or a duplicate of it).
    for (unsigned unit = 0; unit < 0x10000; ++unit) {
        const std::string bytes =
            unit < 0x100 ? std::string(1, char(unit)) : std::string{char(unit >> 8), char(unit)};
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
        if (platform::Cp932UnitLength(p, bytes.size()) != bytes.size() ||
            !platform::Cp932UnitConverts(p, bytes.size()))
            continue;
        const std::string utf8 = platform::Cp932ToUtf8(bytes);
        size_t length = 0;
        const char32_t c = Decode(utf8, 0, &length);
        ASSERT_EQ(length, utf8.size()) << unit;
        EXPECT_EQ(platform::CharDisplayWidth(c), int(bytes.size())) << unit;
        const std::optional<std::string> back = platform::Utf8ToCp932Exactly(utf8);
        ASSERT_TRUE(back) << unit;
        EXPECT_EQ(platform::Cp932ToUtf8(*back), utf8) << unit;
    }
    const std::pair<char32_t, int> widths[] = {
        {U'a', 1},  {U'é', 1}, {U'😀', 2},  {0x0301, 0}, {0x309A, 0},       {U'｟', 2},
        {U'한', 2}, {U'ｱ', 1}, {U'〜', 2}, {U'￢', 2},  {kNoCharacter, 1},
    };
    for (auto [c, width] : widths) EXPECT_EQ(platform::CharDisplayWidth(c), width) << unsigned(c);
    EXPECT_EQ(platform::DisplayWidth("日本ｶﾅé\u0301\xFF", kU8), 8u);
    EXPECT_EQ(platform::DisplayWidth(Cp("日本ｶﾅ"), kCp), 6u);
}

TEST(TextEncoding, TextIsFittedWithoutSplittingACharacter) {
    const std::string pa = "ハ\u309A";  // パ, decomposed
    const struct {
        std::string text;
        size_t columns, bytes, width;
    } cases[] = {
        {"abc", 2, 2, 2},       {"日本", 3, 3, 2},      {"a日", 2, 1, 1},
        {pa + "x", 2, 6, 2},    {"a" + pa, 2, 1, 1},    {"e\u0301\u0301x", 1, 5, 1},
        {"ab\u0301", 1, 1, 1}, {"a\xE8\xA1z", 2, 3, 2}, {"😀a", 1, 0, 0},
    };
    for (const auto& c : cases) {
        size_t width = 99;
        EXPECT_EQ(platform::FitUtf8(c.text, c.columns, &width), c.bytes) << c.text << c.columns;
        EXPECT_EQ(width, c.width) << c.text << c.columns;
    }
    // Any width: whole characters, and the next one would not have fitted.
    const std::string text = "ab日本" + pa + "😀e\u0301ｶ\xE8\xA1z한";
    for (size_t columns = 0; columns <= 20; ++columns) {
        size_t width = 0, at = 0, length = 0;
        const size_t bytes = platform::FitUtf8(text, columns, &width);
        EXPECT_EQ(width, platform::DisplayWidth(text.substr(0, bytes), kU8)) << columns;
        EXPECT_LE(width, columns);
        for (; at < bytes; at += length) Decode(text, at, &length);
        EXPECT_EQ(at, bytes) << columns;
        if (bytes < text.size()) {
            EXPECT_GT(size_t(platform::CharDisplayWidth(Decode(text, bytes, &length))),
                      columns - width);
        }
    }
}

// What the batch mode prints for data: no control character, nor a byte
// that is no UTF-8, gets through as itself; every character else does.
// Names as a file system that ignores case compares them.
TEST(TextEncoding, NamesAreCaseFoldedCharacterByCharacter) {
    const struct {
        std::string name, folded;
    } cases[] = {
        {"Apple.HTML", "apple.html"},
        {"ＡＢｃ", "ａｂｃ"},
        {"Éß", "éß"},  // simple folding, one character for one
        {"表.html", "表.html"},
        {"X\xFFy", "x\xFFy"},  // a byte that is no character stays
    };
    for (const auto& c : cases) EXPECT_EQ(platform::CaseFolded(c.name), c.folded) << c.name;
}

TEST(EscapeForTerminal, NoControlNorBadByteGetsThrough) {
    const struct {
        std::string_view data, shown;
    } cases[] = {
        {"plain/name.csv", "plain/name.csv"},
        {"esc\x1b[31m", "esc\\x1b[31m"},
        {"line\nfeed\r", "line\\x0afeed\\x0d"},
        {std::string_view("nul\0tab\t", 8), "nul\\x00tab\\x09"},
        {"del\x7f", "del\\x7f"},
        {"csi\xc2\x9b[2J nel\xc2\x85 pad\xc2\x80", "csi\\xc2\\x9b[2J nel\\xc2\\x85 pad\\xc2\\x80"},
        {"nbsp\xc2\xa0 é", "nbsp\xc2\xa0 é"},
        {"日本語 ｶﾅ 😀", "日本語 ｶﾅ 😀"},
        {"lone \x80\xff", "lone \\x80\\xff"},
        {"cut \xe3\x81 short", "cut \\xe3\\x81 short"},
        {"overlong \xc0\xaf surrogate \xed\xa0\x80",
         "overlong \\xc0\\xaf surrogate \\xed\\xa0\\x80"},
        {"sjis \x95\x5c", "sjis \\x95\\"},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::EscapeForTerminal(c.data), c.shown) << c.data;
}

}  // namespace
