// Double-byte scanning of code page 932 text. Every scan that must not take
// the second byte of a two-byte character for a delimiter goes through here.
#pragma once

#include <cstddef>

// Class of a byte at its position in a string.
enum ByteClass : int {
    kSingleByte = 0,  // a character by itself
    kFirstByte = 1,   // first byte of a two-byte character
    kSecondByte = 2,  // second byte of a two-byte character
};

// Whether a byte value begins a two-byte character: 0x81-0x9F and 0xE0-0xFC.
// Half-width katakana (0xA1-0xDF), 0x80, 0xA0 and 0xFD-0xFF stand alone.
constexpr bool IsLeadByteValue(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// 1 when p is not null and points at a lead byte, otherwise 0. Meaningful at
// character boundaries only.
int IsLeadByte(const char* p);

// First byte of s at a character boundary that equals the low 8 bits of ch;
// null when s is null or empty, ch is 0, or there is none. A lead byte right
// before the terminator is taken as a character by itself.
const char* FindCharMb(const char* s, int ch);

// ByteClass of byte n of s, s read from its first byte; the class of the last
// byte when s is shorter; 0 for an empty s or a negative n.
int EndsInLeadByte(const char* s, int n);

// Names, keys, tags and extensions are equal when they hold the same bytes:
// case-sensitive, nothing trimmed. Null equals only null.
bool TextEquals(const char* a, const char* b);
