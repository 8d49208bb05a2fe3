// Conversion between code page 932 and UTF-8 (through iconv; on Windows,
// through the system's table), and the units of code page 932 text.
// platform/TextEncoding builds on it.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Code page 932 bytes to UTF-8. Each unit that has no Unicode form becomes
// one "?", as Windows does; see Cp932UnitLength.
std::string Cp932ToUtf8(std::string_view cp932);

// Whether a byte value begins a two-byte character: 0x81-0x9F and 0xE0-0xFC.
// Half-width katakana (0xA1-0xDF), 0x80, 0xA0 and 0xFD-0xFF stand alone.
constexpr bool IsCp932LeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
// Whether a byte value may end a two-byte character: 0x40-0x7E, 0x80-0xFC.
constexpr bool IsCp932TrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// The length of the unit at p (1 or 2 bytes; 0 when left is 0): a lead
// byte (0x81-0x9F, 0xE0-0xFC) takes the next byte with it only when that
// is a trail byte (0x40-0x7E, 0x80-0xFC).
inline size_t Cp932UnitLength(const unsigned char* p, size_t left) {
    if (left == 0) return 0;
    return IsCp932LeadByte(p[0]) && left >= 2 && IsCp932TrailByte(p[1]) ? 2 : 1;
}

// Whether the unit of `length` bytes at p (as Cp932UnitLength gives it)
// has a Unicode form, that is, whether Cp932ToUtf8 keeps it.
bool Cp932UnitConverts(const unsigned char* p, size_t length);

// UTF-8 to code page 932 bytes. A character that code page 932 cannot hold,
// or a malformed UTF-8 sequence, becomes "?".
std::string Utf8ToCp932(std::string_view utf8);

}  // namespace platform
