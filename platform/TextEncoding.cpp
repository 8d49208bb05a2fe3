#include "platform/TextEncoding.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "platform/CodePage.h"

namespace platform {
namespace {

constexpr uint64_t kHighBits = 0x8080808080808080ull;
constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";  // U+FFFD

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
                if (lead >= 0xA0 && lead < 0xE0) continue;
                for (unsigned trail = 0x40; trail <= 0xFC; ++trail)
                    if (trail != 0x7F) visit(lead << 8 | trail, 2u);
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

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return s;
}

std::optional<TextEncoding> CharsetNamed(std::string_view name) {
    name = Trim(name);
    for (const char* utf8 : {"utf-8", "utf8"})
        if (EqualsIgnoringCase(name, utf8)) return TextEncoding::kUtf8;
    for (const char* cp932 : {"shift_jis", "shift-jis", "sjis", "x-sjis", "windows-31j", "cp932",
                              "ms_kanji", "csshiftjis"})
        if (EqualsIgnoringCase(name, cp932)) return TextEncoding::kCp932;
    return std::nullopt;
}

// Where `word` starts in `s` from `from` on, in any case; npos for nowhere.
size_t FindIgnoringCase(std::string_view s, std::string_view word, size_t from) {
    for (size_t i = from; i + word.size() <= s.size(); ++i)
        if (EqualsIgnoringCase(s.substr(i, word.size()), word)) return i;
    return std::string_view::npos;
}

// The charset that the value of a content attribute names
// ("text/html; charset=Shift_JIS"), if any.
std::optional<TextEncoding> CharsetOfContent(std::string_view content) {
    size_t at = 0;
    while ((at = FindIgnoringCase(content, "charset", at)) != std::string_view::npos) {
        size_t i = at + 7;
        at = i;
        while (i < content.size() && IsSpace(content[i])) ++i;
        if (i == content.size() || content[i] != '=') continue;
        ++i;
        while (i < content.size() && IsSpace(content[i])) ++i;
        if (i == content.size()) return std::nullopt;
        if (content[i] == '"' || content[i] == '\'') {
            const size_t close = content.find(content[i], i + 1);
            if (close == std::string_view::npos) return std::nullopt;
            return CharsetNamed(content.substr(i + 1, close - i - 1));
        }
        size_t end = i;
        while (end < content.size() && !IsSpace(content[end]) && content[end] != ';') ++end;
        return CharsetNamed(content.substr(i, end - i));
    }
    return std::nullopt;
}

// The attributes of the tag whose name ends at `i`, up to its ">": the
// charset it declares, if any; `i` moves on to the tag's end.
std::optional<TextEncoding> MetaCharset(std::string_view s, size_t& i) {
    std::optional<std::string_view> charset, content;
    bool contentType = false;
    while (i < s.size() && s[i] != '>') {
        if (IsSpace(s[i]) || s[i] == '/') {
            ++i;
            continue;
        }
        const size_t nameStart = i;
        while (i < s.size() && !IsSpace(s[i]) && s[i] != '=' && s[i] != '>' && s[i] != '/') ++i;
        const std::string_view name = s.substr(nameStart, i - nameStart);
        if (i == nameStart) ++i;  // a stray "=": skipped
        while (i < s.size() && IsSpace(s[i])) ++i;
        std::optional<std::string_view> value;
        if (i < s.size() && s[i] == '=' && !name.empty()) {
            ++i;
            while (i < s.size() && IsSpace(s[i])) ++i;
            if (i < s.size() && (s[i] == '"' || s[i] == '\'')) {
                const size_t close = s.find(s[i], i + 1);
                if (close == std::string_view::npos) {  // never closed: no tag
                    i = s.size();
                    return std::nullopt;
                }
                value = s.substr(i + 1, close - i - 1);
                i = close + 1;
            } else {
                const size_t valueStart = i;
                while (i < s.size() && !IsSpace(s[i]) && s[i] != '>') ++i;
                if (i == s.size()) return std::nullopt;  // perhaps cut short
                value = s.substr(valueStart, i - valueStart);
            }
        }
        if (!value) continue;
        if (EqualsIgnoringCase(name, "charset") && !charset) charset = value;
        if (EqualsIgnoringCase(name, "content") && !content) content = value;
        if (EqualsIgnoringCase(name, "http-equiv"))
            contentType |= EqualsIgnoringCase(Trim(*value), "content-type");
    }
    if (charset) return CharsetNamed(*charset);
    if (contentType && content) return CharsetOfContent(*content);
    return std::nullopt;
}

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
        if (const std::optional<TextEncoding> declared = DeclaredCharset(bytes.substr(0, 1024))) {
            found.encoding = *declared;
            found.declared = true;
            found.asciiOnly = AsciiRun(Bytes(bytes), bytes.size()) == bytes.size();
            return found;
        }
    }
    Utf8Survey survey;
    const bool valid = SurveyUtf8(Bytes(bytes), bytes.size(), &survey);
    found.asciiOnly = !survey.high;
    if (valid && survey.high && (kind != TextKind::kSettings || survey.long_))
        found.encoding = TextEncoding::kUtf8;
    return found;
}

std::optional<TextEncoding> DeclaredCharset(std::string_view head) {
    size_t i = 0;
    while ((i = head.find('<', i)) != std::string_view::npos) {
        if (head.substr(i, 4) == "<!--") {
            const size_t end = head.find("-->", i + 4);
            if (end == std::string_view::npos) return std::nullopt;
            i = end + 3;
            continue;
        }
        if (!EqualsIgnoringCase(head.substr(i, 5), "<meta") || i + 5 >= head.size() ||
            !(IsSpace(head[i + 5]) || head[i + 5] == '/')) {
            ++i;
            continue;
        }
        i += 5;
        if (const std::optional<TextEncoding> charset = MetaCharset(head, i)) return charset;
    }
    return std::nullopt;
}

std::optional<EncodingChoice> ParseEncodingChoice(std::string_view name) {
    for (EncodingChoice choice :
         {EncodingChoice::kAuto, EncodingChoice::kCp932, EncodingChoice::kUtf8})
        if (EqualsIgnoringCase(name, EncodingChoiceName(choice))) return choice;
    return std::nullopt;
}

const char* EncodingChoiceName(EncodingChoice choice) {
    switch (choice) {
        case EncodingChoice::kCp932:
            return "cp932";
        case EncodingChoice::kUtf8:
            return "utf-8";
        case EncodingChoice::kAuto:
            break;
    }
    return "auto";
}

const char* CharsetLabel(TextEncoding encoding) {
    return encoding == TextEncoding::kUtf8 ? "UTF-8" : "Shift_JIS";
}

std::string ToUtf8(std::string_view text, TextEncoding from) {
    if (from == TextEncoding::kCp932) return Cp932ToUtf8(text);
    if (IsValidUtf8(text)) return std::string(text);
    std::string out;
    out.reserve(text.size());
    WalkUtf8(
        text,
        [&](const unsigned char* p, size_t n) {
            out.append(reinterpret_cast<const char*>(p), n);
            return true;
        },
        [&](char32_t c, const unsigned char* p, size_t n) {
            if (c == kNoCharacter)
                out += '?';
            else
                out.append(reinterpret_cast<const char*>(p), n);
            return true;
        });
    return out;
}

size_t AppendValidUtf8(std::string& out, std::string_view text, std::vector<size_t>* where) {
    size_t replacements = 0;
    WalkUtf8(
        text,
        [&](const unsigned char* p, size_t n) {
            out.append(reinterpret_cast<const char*>(p), n);
            return true;
        },
        [&](char32_t c, const unsigned char* p, size_t n) {
            if (c == kNoCharacter) {
                if (where) where->push_back(out.size());
                out += kReplacementUtf8;
                ++replacements;
            } else {
                out.append(reinterpret_cast<const char*>(p), n);
            }
            return true;
        });
    return replacements;
}

SiteCounts AppendForSite(std::string& out, std::string_view text, TextEncoding from,
                         TextEncoding site) {
    SiteCounts counts;
    if (from == site) {
        if (site == TextEncoding::kCp932 || IsValidUtf8(text))
            out.append(text);
        else
            counts.replacements = AppendValidUtf8(out, text);
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
                out += kReplacementUtf8;
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

int CharDisplayWidth(char32_t c) {
    if (c < 0x80 || c == kNoCharacter) return 1;
    if (const unsigned form = Cp932Form(c)) return form > 0xFF ? 2 : 1;
    const UChar32 u = static_cast<UChar32>(c);
    // A mark first: U+3099 and U+309A, the combining voiced sound marks,
    // are East Asian Wide too, yet take no column of their own.
    if (U_GET_GC_MASK(u) & U_GC_M_MASK) return 0;
    const int eastAsian = u_getIntPropertyValue(u, UCHAR_EAST_ASIAN_WIDTH);
    return eastAsian == U_EA_WIDE || eastAsian == U_EA_FULLWIDTH ? 2 : 1;
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

}  // namespace platform
