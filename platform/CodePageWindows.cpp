// Code page 932 on Windows: the system's table, asked once for every unit
// and every character, keeping only what converts both ways without a
// best-fit guess, and then the few differences from iconv, so that texts
// convert as the POSIX build converts them (tools/cp932_table.cpp prints
// both builds' conversions to compare them).
#include <windows.h>

#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include "platform/CodePage.h"
#include "platform/TextEncoding.h"

namespace platform {
namespace {

constexpr char32_t kNone = 0xFFFFFFFF;

// A unit's key: its byte, or lead << 8 | trail.
unsigned KeyOf(const unsigned char* p, size_t length) { return length == 2 ? p[0] << 8 | p[1] : p[0]; }

struct Tables {
    std::vector<char32_t> toUnicode = std::vector<char32_t>(0x10000, kNone);  // by key
    std::vector<uint32_t> fromUnicode = std::vector<uint32_t>(0x10000, 0);    // key + 1, by BMP character
};

char32_t AskToUnicode(const char* bytes, int length) {
    wchar_t w[2];
    const int n = ::MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes, length, w, 2);
    return n == 1 ? static_cast<char32_t>(w[0]) : kNone;
}

// The bytes of `c`, or 0 bytes when it has none without a guess.
int AskFromUnicode(char32_t c, char* out) {
    const wchar_t w = static_cast<wchar_t>(c);
    BOOL guessed = FALSE;
    const int n = ::WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &w, 1, out, 2, nullptr, &guessed);
    return guessed ? 0 : n;
}

const Tables& TheTables() {
    static const std::unique_ptr<Tables> tables = [] {
        auto t = std::make_unique<Tables>();
        auto take = [&t](const char* bytes, int length) {
            const char32_t c = AskToUnicode(bytes, length);
            if (c == kNone) return;
            char back[2];
            const int n = AskFromUnicode(c, back);
            // The character's own bytes must give it back (a unit with a
            // twin elsewhere in the table still converts).
            if (n > 0 && AskToUnicode(back, n) == c)
                t->toUnicode[KeyOf(reinterpret_cast<const unsigned char*>(bytes), static_cast<size_t>(length))] = c;
        };
        for (unsigned b = 0; b < 0x100; ++b) {
            const char one = static_cast<char>(b);
            take(&one, 1);
        }
        for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
            if (!IsCp932LeadByte(static_cast<unsigned char>(lead))) continue;
            for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
                if (!IsCp932TrailByte(static_cast<unsigned char>(trail))) continue;
                const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                take(pair, 2);
            }
        }
        // Single bytes Windows gives a character (U+0080, and the private
        // U+F8F0-U+F8F3 on some versions) and iconv does not.
        for (const unsigned byte : {0x80, 0xA0, 0xFD, 0xFE, 0xFF}) t->toUnicode[byte] = kNone;
        for (char32_t c = 0; c < 0x10000; ++c) {
            if (c >= 0xD800 && c < 0xE000) continue;
            char bytes[2];
            const int n = AskFromUnicode(c, bytes);
            if (n <= 0) continue;
            const unsigned key = KeyOf(reinterpret_cast<const unsigned char*>(bytes), static_cast<size_t>(n));
            if (t->toUnicode[key] == c) t->fromUnicode[c] = key + 1;
        }
        // Characters iconv writes as the code page's look-alike, one way
        // only: the JIS forms of the yen sign, the wave dash and the like,
        // as text from elsewhere than Windows spells them.
        static constexpr std::pair<char32_t, unsigned> kLookAlikes[] = {
            {0x00A2, 0x8191}, {0x00A3, 0x8192}, {0x00A5, 0x5C},   {0x00AC, 0x81CA}, {0x2014, 0x815C},
            {0x2016, 0x8161}, {0x203E, 0x7E},   {0x2212, 0x817C}, {0x301C, 0x8160}};
        for (const auto& [c, key] : kLookAlikes)
            if (t->fromUnicode[c] == 0) t->fromUnicode[c] = key + 1;
        return t;
    }();
    return *tables;
}

// The character at p, or kNone for a malformed sequence (overlong, a
// surrogate, past U+10FFFF, cut short); `length` gets the bytes it spans,
// a malformed sequence counted as one character as iconv's caller counts it.
char32_t DecodeUtf8(const unsigned char* p, size_t left, size_t& length) {
    size_t n = 1;
    char32_t c = p[0];
    if (p[0] >= 0xF0 && p[0] <= 0xF4) {
        n = 4;
        c &= 0x07;
    } else if (p[0] >= 0xE0 && p[0] <= 0xEF) {
        n = 3;
        c &= 0x0F;
    } else if (p[0] >= 0xC2 && p[0] <= 0xDF) {
        n = 2;
        c &= 0x1F;
    } else if (p[0] >= 0x80) {
        length = 1;
        return kNone;
    }
    size_t i = 1;
    while (i < n && i < left && (p[i] & 0xC0) == 0x80) c = c << 6 | (p[i++] & 0x3F);
    length = i;
    if (i < n) return kNone;
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kLeast[n] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) return kNone;
    return c;
}

bool IsAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

}  // namespace

bool Cp932UnitConverts(const unsigned char* p, size_t length) {
    return (length == 1 || length == 2) && TheTables().toUnicode[KeyOf(p, length)] != kNone;
}

std::string Cp932ToUtf8(std::string_view cp932) {
    if (IsAscii(cp932)) return std::string(cp932);
    const Tables& t = TheTables();
    std::string out;
    out.reserve(cp932.size() * 3 / 2);
    const auto* p = reinterpret_cast<const unsigned char*>(cp932.data());
    for (size_t at = 0; at < cp932.size();) {
        const size_t n = Cp932UnitLength(p + at, cp932.size() - at);
        const char32_t c = t.toUnicode[KeyOf(p + at, n)];
        if (c == kNone)
            out += '?';
        else
            AppendUtf8(out, c);
        at += n;
    }
    return out;
}

std::string Utf8ToCp932(std::string_view utf8) {
    if (IsAscii(utf8)) return std::string(utf8);
    const Tables& t = TheTables();
    std::string out;
    out.reserve(utf8.size());
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    for (size_t at = 0; at < utf8.size();) {
        size_t n;
        const char32_t c = DecodeUtf8(p + at, utf8.size() - at, n);
        const uint32_t key = c < 0x10000 ? t.fromUnicode[c] : 0;
        if (key == 0) {
            out += '?';
        } else if (key - 1 > 0xFF) {
            out += static_cast<char>((key - 1) >> 8);
            out += static_cast<char>((key - 1) & 0xFF);
        } else {
            out += static_cast<char>(key - 1);
        }
        at += n;
    }
    return out;
}

}  // namespace platform
