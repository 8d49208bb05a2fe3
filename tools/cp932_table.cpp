// Prints how this build converts code page 932: every unit to UTF-8 and
// whether it converts, every character of the BMP (and a few beyond, and
// malformed sequences) to code page 932. Two builds convert alike when
// their outputs are equal (make check-windows compares Linux and Windows).
#include <cstdio>
#include <string>

#include "platform/CodePage.h"
#include "platform/TextEncoding.h"

namespace {

void Hex(const std::string& bytes) {
    for (unsigned char c : bytes) std::printf("%02X", c);
}

std::string Utf8(char32_t c) {
    std::string s;
    platform::AppendUtf8(s, c);
    return s;
}

void Unit(const std::string& unit) {
    const auto* p = reinterpret_cast<const unsigned char*>(unit.data());
    Hex(unit);
    std::printf(" %d ", platform::Cp932UnitConverts(p, unit.size()));
    Hex(platform::Cp932ToUtf8(unit));
    std::printf("\n");
}

}  // namespace

int main() {
    for (unsigned b = 0; b < 0x100; ++b) Unit(std::string(1, static_cast<char>(b)));
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead)
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail)
            if (platform::IsCp932LeadByte(static_cast<unsigned char>(lead)) &&
                platform::IsCp932TrailByte(static_cast<unsigned char>(trail)))
                Unit({static_cast<char>(lead), static_cast<char>(trail)});
    // A lead byte before a byte that ends no pair, and at the end.
    Unit("\x81\x7F");
    Unit("\x81");
    for (char32_t c = 0; c < 0x110000; c = c < 0x10000 ? c + 1 : c + 0x1001) {
        if (c >= 0xD800 && c < 0xE000) continue;
        std::printf("U+%04X ", static_cast<unsigned>(c));
        Hex(platform::Utf8ToCp932(Utf8(c)));
        std::printf("\n");
    }
    for (const char* bad : {"\xC0\x80", "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE3\x81",
                            "\xE3\x41", "\xFF\xFE", "\x80\x80", "\xF0\x9F\x98"}) {
        Hex(bad);
        std::printf(" ");
        Hex(platform::Utf8ToCp932(std::string(bad) + "a"));
        std::printf("\n");
    }
}
