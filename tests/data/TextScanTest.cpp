#include "data/TextScan.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

// The byte-by-byte reading FindStopMb must agree with.
const char* StopByteByByte(const char* p, const char* end, const std::string& stops) {
    while (p < end) {
        if (IsLeadByteValue(static_cast<unsigned char>(*p)))
            p += (p + 1 < end) ? 2 : 1;
        else if (stops.find(*p) != std::string::npos)
            return p;
        else
            ++p;
    }
    return end;
}

// Random texts from the bytes that matter: lead bytes (whose runs decide
// what a stop byte is), bytes that are leads and seconds alike, half-width
// katakana, the stop bytes themselves; long enough for the 16-byte blocks.
TEST(FindStopMb, AgreesWithByteByByteReading) {
    const char alphabet[] = {',', '\n', '"', 'a', '\r', '\x81', '\x9F', '\xE0', '\xFC',
                             '\x40', '\x5C', '\xA0', '\xB6', '\xFD', '\x80'};
    std::mt19937 rng(932);
    for (int round = 0; round < 20000; ++round) {
        std::string text(std::uniform_int_distribution<size_t>(0, 70)(rng), 'a');
        const int stopsEvery = std::uniform_int_distribution<int>(1, 40)(rng);
        for (char& c : text) {
            const bool stop = std::uniform_int_distribution<int>(0, stopsEvery)(rng) == 0;
            c = alphabet[std::uniform_int_distribution<size_t>(stop ? 0 : 3, sizeof alphabet - 1)(rng)];
        }
        const char* b = text.data();
        const char* e = b + text.size();
        bool swallowed = false;
        const char* stop = FindStopMb<',', '\n', '"'>(b, e, &swallowed);
        ASSERT_EQ(stop - b, StopByteByByte(b, e, ",\n\"") - b) << testing::PrintToString(text);
        // Passed-over stop bytes are told.
        ASSERT_EQ(swallowed, std::string_view(b, stop).find_first_of(",\n\"") != std::string_view::npos)
            << testing::PrintToString(text);
        ASSERT_EQ((FindStopMb<'"'>(b, e) - b), StopByteByByte(b, e, "\"") - b)
            << testing::PrintToString(text);
    }
}

TEST(IsLeadByte, OnlyTheCodePageLeadRangesBeginTwoByteCharacters) {
    struct Case {
        unsigned char byte;
        int lead;
    };
    const Case cases[] = {
        {0x01, 0}, {0x5C, 0}, {0x7F, 0}, {0x80, 0}, {0x81, 1}, {0x95, 1}, {0x9F, 1}, {0xA0, 0},
        {0xA1, 0}, {0xB6, 0}, {0xDF, 0}, {0xE0, 1}, {0xFC, 1}, {0xFD, 0}, {0xFF, 0},
    };
    for (const Case& c : cases) {
        const char s[2] = {static_cast<char>(c.byte), '\0'};
        EXPECT_EQ(IsLeadByte(s), c.lead) << std::hex << int(c.byte);
    }
    EXPECT_EQ(IsLeadByte(nullptr), 0);
}

TEST(FindCharMb, FindsOnlyCharactersAtCharacterBoundaries) {
    struct Case {
        const char* name;
        const char* s;
        int ch;
        int at;  // -1: not found
    };
    const Case cases[] = {
        // The second byte of ー (0x81 0x5B) has the value of [.
        {"trail 0x5B skipped", "\x81\x5B[", '[', 2},
        {"trail 0x5C skipped", "\x95\x5C\\", '\\', 2},
        {"trail 0x5D skipped", "\x81\x5D]", ']', 2},
        {"trail only", "\x81\x5B", '[', -1},
        {"after half-width katakana", "\xB6[", '[', 1},
        {"after 0x80", "\x80[", '[', 1},
        {"after 0xA0", "\xA0[", '[', 1},
        {"after 0xFD", "\xFD[", '[', 1},
        {"first byte", "[ab", '[', 0},
        {"last byte", "ab]", ']', 2},
        {"first of two", "a]b]", ']', 1},
        {"absent", "abc", ']', -1},
        {"lead byte as last byte", "a\x81", ']', -1},
        {"low 8 bits only", "a[", '[' + 0x100, 1},
        {"NUL", "abc", 0, -1},
        {"empty", "", '[', -1},
    };
    for (const Case& c : cases) {
        const char* r = FindCharMb(c.s, c.ch);
        if (c.at < 0)
            EXPECT_EQ(r, nullptr) << c.name;
        else
            EXPECT_EQ(r, c.s + c.at) << c.name;
    }
    EXPECT_EQ(FindCharMb(nullptr, '['), nullptr);
}

TEST(EndsInLeadByte, ClassOfTheByteAtN) {
    struct Case {
        const char* s;
        int n;
        int cls;
    };
    const Case cases[] = {
        {"ab\x95\x5C", 0, kSingleByte},  // ab表
        {"ab\x95\x5C", 1, kSingleByte},
        {"ab\x95\x5C", 2, kFirstByte},
        {"ab\x95\x5C", 3, kSecondByte},
        {"ab\x95\x5C", 9, kSecondByte},  // past the end: class of the last byte
        {"ab", 5, kSingleByte},
        {"a\x81", 4, kFirstByte},
        {"\xB6\xB6", 1, kSingleByte},  // half-width katakana are one byte each
        {"\x81\x81\x81", 2, kFirstByte},
        {"ab", -1, kSingleByte},
        {"\x81\x40", -1, kSingleByte},
        {"", 0, kSingleByte},
        {"", 3, kSingleByte},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EndsInLeadByte(c.s, c.n), c.cls) << '"' << c.s << "\" n=" << c.n;
}

TEST(TextEquals, SameBytesOnly) {
    EXPECT_TRUE(TextEquals("name", "name"));
    EXPECT_TRUE(TextEquals("", ""));
    EXPECT_TRUE(TextEquals("\x95\x5C", "\x95\x5C"));
    EXPECT_FALSE(TextEquals("HTML", "html"));
    EXPECT_FALSE(TextEquals(".cfg", ".CFG"));
    EXPECT_FALSE(TextEquals("name", "name "));
    EXPECT_FALSE(TextEquals("name", "nam"));
    EXPECT_FALSE(TextEquals("", nullptr));
    EXPECT_FALSE(TextEquals(nullptr, "a"));
    EXPECT_TRUE(TextEquals(nullptr, nullptr));
}

}  // namespace
