// Double-byte scanning of code page 932 text. Every scan that must not take
// the second byte of a two-byte character for a delimiter goes through here.
#pragma once

#include <cstddef>

#include "platform/CodePage.h"

// Class of a byte at its position in a string.
enum ByteClass : int {
    kSingleByte = 0,  // a character by itself
    kFirstByte = 1,   // first byte of a two-byte character
    kSecondByte = 2,  // second byte of a two-byte character
};

// Whether a byte value begins a two-byte character (the code page's own
// rule).
constexpr bool IsLeadByteValue(unsigned char c) { return platform::IsCp932LeadByte(c); }

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

// The first byte in [p, end) that is one of `stops` (at most three bytes
// below 0x40, so never the second byte of a valid character) and stands
// as a character of its own, reading from p as a character boundary; end
// when there is none. A lead byte swallows the byte after it, whatever it
// is; a lead byte as the last byte stands alone. `swallowed`, when given, is
// set when a stop byte was passed over as the second byte of a character.
template <char... Stops>
const char* FindStopMb(const char* p, const char* end, bool* swallowed = nullptr);

// Names, keys, tags and extensions are equal when they hold the same bytes:
// case-sensitive, nothing trimmed. Null equals only null.
bool TextEquals(const char* a, const char* b);

// ---------------------------------------------------------------- inline

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace textscan_detail {

// First byte in [p, end) equal to one of Stops, character boundaries aside.
template <char... Stops>
inline const char* FindAnyByte(const char* p, const char* end) {
#if defined(__SSE2__)
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hit = (_mm_cmpeq_epi8(v, _mm_set1_epi8(Stops)) | ...);
        if (const int mask = _mm_movemask_epi8(hit)) return p + __builtin_ctz(static_cast<unsigned>(mask));
        p += 16;
    }
#endif
    while (p < end && !((*p == Stops) || ...)) ++p;
    return p;
}

}  // namespace textscan_detail

template <char... Stops>
const char* FindStopMb(const char* p, const char* end, bool* swallowed) {
    static_assert(sizeof...(Stops) >= 1 && ((static_cast<unsigned char>(Stops) < 0x40) && ...));
    const char* boundary = p;  // a known character boundary
    for (;;) {
        const char* q = textscan_detail::FindAnyByte<Stops...>(p, end);
        if (q == end) return end;
        // The lead bytes right before q pair up from a boundary on: an odd
        // run leaves the last one to take q as its second byte.
        const char* b = q;
        while (b > boundary && IsLeadByteValue(static_cast<unsigned char>(b[-1]))) --b;
        if (((q - b) & 1) == 0) return q;
        if (swallowed) *swallowed = true;
        p = boundary = q + 1;
    }
}
