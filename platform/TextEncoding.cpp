#include "platform/TextEncoding.h"

#ifdef QUOLIX_UNICODE_TABLES
#include "platform/UnicodeTables.h"
#else
#include <unicode/uchar.h>
#endif

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "platform/CharsetPrescan.h"
#include "platform/CodePage.h"

namespace platform {

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

namespace {

constexpr uint64_t kHighBits = 0x8080808080808080ull;

// The number of ASCII bytes at p, at most left; eight bytes at a time.
size_t AsciiRun(const unsigned char* p, size_t left) {
    size_t i = 0;
    while (left - i >= 16) {
        uint64_t a, b;
        std::memcpy(&a, p + i, 8);
        std::memcpy(&b, p + i + 8, 8);
        if ((a | b) & kHighBits) break;
        i += 16;
    }
    while (left - i >= 8) {
        uint64_t a;
        std::memcpy(&a, p + i, 8);
        if (const uint64_t high = a & kHighBits) {
            if constexpr (std::endian::native == std::endian::little)
                return i + static_cast<size_t>(std::countr_zero(high)) / 8;
            break;
        }
        i += 8;
    }
    while (i < left && p[i] < 0x80) ++i;
    return i;
}

// The sequence at p, whose first byte is 0x80 or more: its code point and
// length, or kNoCharacter and the length of the malformed piece: the lead
// and the continuation bytes that could still have followed it, at least 1.
// The second byte's range rules out overlong forms (E0, F0), surrogates
// (ED) and code points past U+10FFFF (F4).
char32_t DecodeMulti(const unsigned char* p, size_t left, size_t* length) {
    const unsigned lead = p[0];
    size_t need;
    char32_t c;
    unsigned low = 0x80, high = 0xBF;
    if (lead < 0xC2 || lead > 0xF4) {
        *length = 1;
        return kNoCharacter;
    }
    if (lead < 0xE0) {
        need = 1;
        c = lead & 0x1F;
    } else if (lead < 0xF0) {
        need = 2;
        c = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else {
        need = 3;
        c = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    }
    for (size_t i = 1; i <= need; ++i) {
        if (i >= left || p[i] < low || p[i] > high) {
            *length = i;
            return kNoCharacter;
        }
        c = c << 6 | (p[i] & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    *length = need + 1;
    return c;
}

struct Utf8Survey {
    bool high = false;   // a byte of 0x80 or more
    bool long_ = false;  // a sequence of 3 or 4 bytes
};

// Whether the bytes are strict UTF-8, in one pass that stops at the first
// sequence that is not.
bool SurveyUtf8(const unsigned char* p, size_t size, Utf8Survey* survey) {
    size_t i = 0;
    while (true) {
        i += AsciiRun(p + i, size - i);
        if (i == size) return true;
        survey->high = true;
        survey->long_ |= p[i] >= 0xE0;
        size_t n;
        if (DecodeMulti(p + i, size - i, &n) == kNoCharacter) return false;
        i += n;
    }
}

const unsigned char* Bytes(std::string_view s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}


// The code page 932 form of each BMP code point from U+0080 on (code page
// 932 holds nothing past the BMP): a byte (0xA1-0xDF), a pair (lead << 8 |
// trail), or 0 for none. ASCII is itself in code page 932.
//
// Only a code point that some unit converts to counts as held, by the unit
// the converter picks for it, and only when that unit converts back to it.
// glibc's CP932 also takes U+00A5 to 0x5C and U+203E to 0x7E (backslash and
// tilde on the way back); U+00A2, U+00A3, U+00AC, U+2014, U+2016, U+2212 and
// U+301C to the units of U+FFE0, U+FFE1, U+FFE2, U+2015, U+2225, U+FF0D and
// U+FF5E; and the tag characters U+E0000-U+E007F to nothing. Those would
// come back as other characters, or none, so they are written as character
// references instead, and a settings file holding one is written in UTF-8.
// The duplicate units (NEC and IBM codes of one character) are no concern:
// the converter's pick among them converts back to the same code point.
using Cp932Forms = std::array<uint16_t, 0x10000>;

const Cp932Forms& FormsOfCp932() {
    static const std::unique_ptr<Cp932Forms> forms = [] {
        auto table = std::make_unique<Cp932Forms>();
        table->fill(0);
        // The code point of each unit that converts, 0 for none.
        auto units = std::make_unique<std::array<char32_t, 0x10000>>();
        units->fill(0);
        auto codePoint = [](std::string_view utf8) -> char32_t {
            size_t n = 0;
            const char32_t c = DecodeUtf8(Bytes(utf8), utf8.size(), &n);
            return n == utf8.size() && c < 0x10000 ? c : 0;
        };
        auto each = [](auto&& visit) {
            for (unsigned b = 0x80; b < 0x100; ++b) visit(b, 1u);
            for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
                if (!IsCp932LeadByte(static_cast<unsigned char>(lead))) continue;
                for (unsigned trail = 0x40; trail <= 0xFC; ++trail)
                    if (IsCp932TrailByte(static_cast<unsigned char>(trail))) visit(lead << 8 | trail, 2u);
            }
        };
        auto unitBytes = [](unsigned unit, unsigned length) {
            return length == 1
                       ? std::string(1, static_cast<char>(unit))
                       : std::string{static_cast<char>(unit >> 8), static_cast<char>(unit & 0xFF)};
        };
        each([&](unsigned unit, unsigned length) {
            const std::string bytes = unitBytes(unit, length);
            if (Cp932UnitConverts(Bytes(bytes), length))
                (*units)[unit] = codePoint(Cp932ToUtf8(bytes));
        });
        each([&](unsigned unit, unsigned) {
            const char32_t c = (*units)[unit];
            if (c < 0x80 || (*table)[c] != 0) return;
            std::string utf8;
            AppendUtf8(utf8, c);
            const std::string back = Utf8ToCp932(utf8);
            const size_t length = Cp932UnitLength(Bytes(back), back.size());
            if (length == 0 || length != back.size()) return;
            const unsigned form =
                length == 1 ? Bytes(back)[0] : Bytes(back)[0] << 8 | Bytes(back)[1];
            if (form >= 0x80 && (*units)[form] == c) (*table)[c] = static_cast<uint16_t>(form);
        });
        return table;
    }();
    return *forms;
}

// The code page 932 form of c (c of 0x80 or more), 0 for none.
unsigned Cp932Form(char32_t c) {
    return c < 0x10000 ? FormsOfCp932()[c] : 0;
}

// Each character of the UTF-8 text, malformed pieces as kNoCharacter; ASCII
// runs go to ascii(p, n) whole.
template <typename Ascii, typename Other>
void WalkUtf8(std::string_view text, Ascii ascii, Other other) {
    const unsigned char* p = Bytes(text);
    const size_t size = text.size();
    size_t i = 0;
    while (i < size) {
        const size_t run = AsciiRun(p + i, size - i);
        if (run > 0) {
            if (!ascii(p + i, run)) return;
            i += run;
            if (i == size) return;
        }
        size_t n;
        const char32_t c = DecodeMulti(p + i, size - i, &n);
        if (!other(c, p + i, n)) return;
        i += n;
    }
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

std::string_view TrimAsciiWhitespace(std::string_view s) {
    constexpr std::string_view kWhitespace = "\t\n\f\r ";
    const size_t first = s.find_first_not_of(kWhitespace);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(kWhitespace) - first + 1);
}

// The WHATWG Encoding Standard's encodings by canonical name, each with its
// labels (separated by spaces), and cp932 as a label of Shift_JIS: the one
// list of names for settings lines, the batch flags and template
// declarations alike.
struct EncodingLabels {
    std::string_view name, labels;
};
constexpr EncodingLabels kEncodingLabels[] = {
    {"UTF-8", "unicode-1-1-utf-8 unicode11utf8 unicode20utf8 utf-8 utf8 x-unicode20utf8"},
    {"Shift_JIS", "csshiftjis ms932 ms_kanji shift-jis shift_jis sjis windows-31j x-sjis cp932"},
    {"EUC-JP", "cseucpkdfmtjapanese euc-jp x-euc-jp"},
    {"ISO-2022-JP", "csiso2022jp iso-2022-jp"},
    {"IBM866", "866 cp866 csibm866 ibm866"},
    {"ISO-8859-2",
     "csisolatin2 iso-8859-2 iso-ir-101 iso8859-2 iso88592 iso_8859-2 iso_8859-2:1987 l2 latin2"},
    {"ISO-8859-3",
     "csisolatin3 iso-8859-3 iso-ir-109 iso8859-3 iso88593 iso_8859-3 iso_8859-3:1988 l3 latin3"},
    {"ISO-8859-4",
     "csisolatin4 iso-8859-4 iso-ir-110 iso8859-4 iso88594 iso_8859-4 iso_8859-4:1988 l4 latin4"},
    {"ISO-8859-5",
     "csisolatincyrillic cyrillic iso-8859-5 iso-ir-144 iso8859-5 iso88595 iso_8859-5 "
     "iso_8859-5:1988"},
    {"ISO-8859-6",
     "arabic asmo-708 csiso88596e csiso88596i csisolatinarabic ecma-114 iso-8859-6 iso-8859-6-e "
     "iso-8859-6-i iso-ir-127 iso8859-6 iso88596 iso_8859-6 iso_8859-6:1987"},
    {"ISO-8859-7",
     "csisolatingreek ecma-118 elot_928 greek greek8 iso-8859-7 iso-ir-126 iso8859-7 iso88597 "
     "iso_8859-7 iso_8859-7:1987 sun_eu_greek"},
    {"ISO-8859-8",
     "csiso88598e csisolatinhebrew hebrew iso-8859-8 iso-8859-8-e iso-ir-138 iso8859-8 iso88598 "
     "iso_8859-8 iso_8859-8:1988 visual"},
    {"ISO-8859-8-I", "csiso88598i iso-8859-8-i logical"},
    {"ISO-8859-10", "csisolatin6 iso-8859-10 iso-ir-157 iso8859-10 iso885910 l6 latin6"},
    {"ISO-8859-13", "iso-8859-13 iso8859-13 iso885913"},
    {"ISO-8859-14", "iso-8859-14 iso8859-14 iso885914"},
    {"ISO-8859-15", "csisolatin9 iso-8859-15 iso8859-15 iso885915 iso_8859-15 l9"},
    {"ISO-8859-16", "iso-8859-16"},
    {"KOI8-R", "cskoi8r koi koi8 koi8-r koi8_r"},
    {"KOI8-U", "koi8-ru koi8-u"},
    {"macintosh", "csmacintosh mac macintosh x-mac-roman"},
    {"windows-874", "dos-874 iso-8859-11 iso8859-11 iso885911 tis-620 windows-874"},
    {"windows-1250", "cp1250 windows-1250 x-cp1250"},
    {"windows-1251", "cp1251 windows-1251 x-cp1251"},
    {"windows-1252",
     "ansi_x3.4-1968 ascii cp1252 cp819 csisolatin1 ibm819 iso-8859-1 iso-ir-100 iso8859-1 "
     "iso88591 iso_8859-1 iso_8859-1:1987 l1 latin1 us-ascii windows-1252 x-cp1252"},
    {"windows-1253", "cp1253 windows-1253 x-cp1253"},
    {"windows-1254",
     "cp1254 csisolatin5 iso-8859-9 iso-ir-148 iso8859-9 iso88599 iso_8859-9 iso_8859-9:1989 l5 "
     "latin5 windows-1254 x-cp1254"},
    {"windows-1255", "cp1255 windows-1255 x-cp1255"},
    {"windows-1256", "cp1256 windows-1256 x-cp1256"},
    {"windows-1257", "cp1257 windows-1257 x-cp1257"},
    {"windows-1258", "cp1258 windows-1258 x-cp1258"},
    {"x-mac-cyrillic", "x-mac-cyrillic x-mac-ukrainian"},
    {"GBK", "chinese csgb2312 csiso58gb231280 gb2312 gb_2312 gb_2312-80 gbk iso-ir-58 x-gbk"},
    {"gb18030", "gb18030"},
    {"Big5", "big5 big5-hkscs cn-big5 csbig5 x-x-big5"},
    {"EUC-KR",
     "cseuckr csksc56011987 euc-kr iso-ir-149 korean ks_c_5601-1987 ks_c_5601-1989 ksc5601 "
     "ksc_5601 windows-949"},
    {"replacement", "csiso2022kr hz-gb-2312 iso-2022-cn iso-2022-cn-ext iso-2022-kr replacement"},
    {"UTF-16BE", "unicodefffe utf-16be"},
    {"UTF-16LE", "csunicode iso-10646-ucs-2 ucs-2 unicode unicodefeff utf-16 utf-16le"},
    {"x-user-defined", "x-user-defined"},
};

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
    Utf8Survey survey;
    return SurveyUtf8(Bytes(bytes), bytes.size(), &survey);
}

DetectedText DetectEncoding(std::string_view bytes, TextKind kind) {
    DetectedText found;
    if (bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') ||
                              (bytes[0] == '\xFE' && bytes[1] == '\xFF'))) {
        found.utf16 = true;
        return found;
    }
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        found.encoding = TextEncoding::kUtf8;
        found.bomLength = 3;
        bytes.remove_prefix(3);
        found.asciiOnly = AsciiRun(Bytes(bytes), bytes.size()) == bytes.size();
        return found;
    }
    if (kind == TextKind::kTemplate) {
        const std::string_view declared = PrescanCharset(bytes);
        if (const std::optional<TextEncoding> read = ReadableEncoding(declared)) {
            found.encoding = *read;
            found.declared = true;
            found.asciiOnly = AsciiRun(Bytes(bytes), bytes.size()) == bytes.size();
            return found;
        }
        found.unreadCharset = declared;
    }
    Utf8Survey survey;
    const bool valid = SurveyUtf8(Bytes(bytes), bytes.size(), &survey);
    found.asciiOnly = !survey.high;
    if (valid && survey.high && (kind != TextKind::kSettings || survey.long_))
        found.encoding = TextEncoding::kUtf8;
    return found;
}

std::string_view EncodingOfLabel(std::string_view label) {
    label = TrimAsciiWhitespace(label);
    for (const EncodingLabels& encoding : kEncodingLabels) {
        std::string_view rest = encoding.labels;
        while (!rest.empty()) {
            const size_t space = rest.find(' ');
            if (EqualsIgnoringCase(label, rest.substr(0, space))) return encoding.name;
            rest.remove_prefix(space == std::string_view::npos ? rest.size() : space + 1);
        }
    }
    return {};
}

std::optional<TextEncoding> ReadableEncoding(std::string_view name) {
    for (TextEncoding encoding : {TextEncoding::kUtf8, TextEncoding::kCp932})
        if (name == CharsetLabel(encoding)) return encoding;
    return std::nullopt;
}

std::optional<EncodingChoice> ParseEncodingChoice(std::string_view name) {
    if (EqualsIgnoringCase(TrimAsciiWhitespace(name), "auto")) return EncodingChoice::kAuto;
    const std::string_view canonical = EncodingOfLabel(name);
    // Without a byte order mark UTF-16 is read little-endian, as Windows
    // writes it: a name of the other order is none.
    if (canonical == "UTF-16LE") return EncodingChoice::kUtf16;
    if (const std::optional<TextEncoding> read = ReadableEncoding(canonical))
        return *read == TextEncoding::kUtf8 ? EncodingChoice::kUtf8 : EncodingChoice::kCp932;
    return std::nullopt;
}

const char* EncodingChoiceName(EncodingChoice choice) {
    switch (choice) {
        case EncodingChoice::kCp932:
            return "cp932";
        case EncodingChoice::kUtf8:
            return "utf-8";
        case EncodingChoice::kUtf16:
            return "utf-16";
        case EncodingChoice::kAuto:
            break;
    }
    return "auto";
}

std::optional<SeparatorChoice> ParseSeparatorChoice(std::string_view name) {
    for (SeparatorChoice choice : {SeparatorChoice::kAuto, SeparatorChoice::kComma, SeparatorChoice::kTab})
        if (EqualsIgnoringCase(TrimAsciiWhitespace(name), SeparatorChoiceName(choice))) return choice;
    return std::nullopt;
}

const char* SeparatorChoiceName(SeparatorChoice choice) {
    switch (choice) {
        case SeparatorChoice::kComma:
            return "comma";
        case SeparatorChoice::kTab:
            return "tab";
        case SeparatorChoice::kAuto:
            break;
    }
    return "auto";
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size() * 3 / 2);
    const auto* p = Bytes(bytes);
    const size_t units = bytes.size() / 2;
    auto unit = [&](size_t i) -> char32_t {
        return bigEndian ? (p[2 * i] << 8 | p[2 * i + 1]) : (p[2 * i + 1] << 8 | p[2 * i]);
    };
    for (size_t i = 0; i < units; ++i) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 &&
            unit(i + 1) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            out += '\xFF';
            continue;
        }
        AppendUtf8(out, c);
    }
    if (bytes.size() % 2 != 0) out += '\xFF';
    return out;
}

const char* CharsetLabel(TextEncoding encoding) {
    return encoding == TextEncoding::kUtf8 ? "UTF-8" : "Shift_JIS";
}

size_t AppendReplacingBadUtf8(std::string& out, std::string_view text,
                              std::string_view replacement) {
    size_t replacements = 0;
    WalkUtf8(
        text,
        [&](const unsigned char* p, size_t n) {
            out.append(reinterpret_cast<const char*>(p), n);
            return true;
        },
        [&](char32_t c, const unsigned char* p, size_t n) {
            if (c == kNoCharacter) {
                out += replacement;
                ++replacements;
            } else {
                out.append(reinterpret_cast<const char*>(p), n);
            }
            return true;
        });
    return replacements;
}

std::string ToUtf8(std::string_view text, TextEncoding from) {
    if (from == TextEncoding::kCp932) return Cp932ToUtf8(text);
    if (IsValidUtf8(text)) return std::string(text);
    std::string out;
    out.reserve(text.size());
    AppendReplacingBadUtf8(out, text, "?");
    return out;
}

SiteCounts AppendForSite(std::string& out, std::string_view text, TextEncoding from,
                         TextEncoding site) {
    SiteCounts counts;
    if (from == site) {
        if (site == TextEncoding::kCp932 || IsValidUtf8(text))
            out.append(text);
        else
            counts.replacements = AppendReplacingBadUtf8(out, text);
        return counts;
    }
    if (from == TextEncoding::kCp932) {
        // Runs of units that convert go to the converter whole.
        const unsigned char* p = Bytes(text);
        size_t runStart = 0, i = 0;
        while (i < text.size()) {
            i += AsciiRun(p + i, text.size() - i);
            if (i == text.size()) break;
            const size_t n = Cp932UnitLength(p + i, text.size() - i);
            if (!Cp932UnitConverts(p + i, n)) {
                out += Cp932ToUtf8(text.substr(runStart, i - runStart));
                out += kReplacementCharacter;
                ++counts.replacements;
                runStart = i + n;
            }
            i += n;
        }
        out += Cp932ToUtf8(text.substr(runStart));
        return counts;
    }
    WalkUtf8(
        text,
        [&](const unsigned char* p, size_t n) {
            out.append(reinterpret_cast<const char*>(p), n);
            return true;
        },
        [&](char32_t c, const unsigned char*, size_t) {
            if (c == kNoCharacter) {
                out += '?';
            } else if (const unsigned form = Cp932Form(c)) {
                if (form > 0xFF) out += static_cast<char>(form >> 8);
                out += static_cast<char>(form & 0xFF);
            } else {
                out += "&#";
                out += std::to_string(static_cast<uint32_t>(c));
                out += ';';
                ++counts.references;
            }
            return true;
        });
    return counts;
}

std::optional<std::string> Utf8ToCp932Exactly(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    bool exact = true;
    WalkUtf8(
        utf8,
        [&](const unsigned char* p, size_t n) {
            out.append(reinterpret_cast<const char*>(p), n);
            return true;
        },
        [&](char32_t c, const unsigned char*, size_t) {
            const unsigned form = c == kNoCharacter ? 0 : Cp932Form(c);
            if (form == 0) return exact = false;
            if (form > 0xFF) out += static_cast<char>(form >> 8);
            out += static_cast<char>(form & 0xFF);
            return true;
        });
    if (!exact) return std::nullopt;
    return out;
}

char32_t DecodeUtf8(const unsigned char* p, size_t left, size_t* length) {
    size_t n = 0;
    char32_t c = kNoCharacter;
    if (left > 0) {
        if (p[0] < 0x80) {
            n = 1;
            c = p[0];
        } else {
            c = DecodeMulti(p, left, &n);
        }
    }
    if (length) *length = n;
    return c;
}

namespace {

// The character properties: ICU's, or the tables made from it.
#ifdef QUOLIX_UNICODE_TABLES
char32_t FoldCase(char32_t c) { return unicode::FoldCase(c); }
bool IsMark(char32_t c) { return unicode::IsMark(c); }
bool IsWide(char32_t c) { return unicode::IsWide(c); }
#else
char32_t FoldCase(char32_t c) {
    return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
}
bool IsMark(char32_t c) { return (U_GET_GC_MASK(static_cast<UChar32>(c)) & U_GC_M_MASK) != 0; }
bool IsWide(char32_t c) {
    const int eastAsian = u_getIntPropertyValue(static_cast<UChar32>(c), UCHAR_EAST_ASIAN_WIDTH);
    return eastAsian == U_EA_WIDE || eastAsian == U_EA_FULLWIDTH;
}
#endif

}  // namespace

std::string CaseFolded(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    const auto* p = Bytes(utf8);
    for (size_t i = 0; i < utf8.size();) {
        size_t n = 1;
        const char32_t c = DecodeUtf8(p + i, utf8.size() - i, &n);
        if (c < 0x80)
            out += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        else if (c == kNoCharacter)
            out.append(utf8.substr(i, n));
        else
            AppendUtf8(out, FoldCase(c));
        i += n;
    }
    return out;
}

int CharDisplayWidth(char32_t c) {
    if (c < 0x80 || c == kNoCharacter) return 1;
    if (const unsigned form = Cp932Form(c)) return form > 0xFF ? 2 : 1;
    // A mark first: U+3099 and U+309A, the combining voiced sound marks,
    // are East Asian Wide too, yet take no column of their own.
    if (IsMark(c)) return 0;
    return IsWide(c) ? 2 : 1;
}

size_t DisplayWidth(std::string_view text, TextEncoding encoding) {
    if (encoding == TextEncoding::kCp932) return text.size();
    size_t width = 0;
    WalkUtf8(
        text,
        [&](const unsigned char*, size_t n) {
            width += n;
            return true;
        },
        [&](char32_t c, const unsigned char*, size_t) {
            width += static_cast<size_t>(CharDisplayWidth(c));
            return true;
        });
    return width;
}

size_t FitUtf8(std::string_view text, size_t columns, size_t* width) {
    size_t used = 0, bytes = 0;
    // A character that would take the total past `columns` ends the fit; a
    // zero-width mark never does, so it stays with the character before it.
    WalkUtf8(
        text,
        [&](const unsigned char*, size_t n) {
            const size_t take = std::min(n, columns - used);
            used += take;
            bytes += take;
            return take == n;
        },
        [&](char32_t c, const unsigned char*, size_t n) {
            const size_t w = static_cast<size_t>(CharDisplayWidth(c));
            if (w > columns - used) return false;
            used += w;
            bytes += n;
            return true;
        });
    if (width) *width = used;
    return bytes;
}

std::string EscapeForTerminal(std::string_view utf8) {
    static const char kHex[] = "0123456789abcdef";
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    std::string shown;
    shown.reserve(utf8.size());
    for (size_t i = 0, n = 0; i < utf8.size(); i += n) {
        const char32_t c = DecodeUtf8(p + i, utf8.size() - i, &n);
        if (c >= 0x20 && c != 0x7F && (c < 0x80 || c > 0x9F) && c != kNoCharacter) {
            shown.append(utf8.substr(i, n));
            continue;
        }
        for (size_t k = i; k < i + n; ++k) {
            shown += "\\x";
            shown += kHex[p[k] >> 4];
            shown += kHex[p[k] & 15];
        }
    }
    return shown;
}

}  // namespace platform
