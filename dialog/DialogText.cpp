#include "dialog/DialogText.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <optional>

#include "platform/TextEncoding.h"

namespace {

// One character at `at`: its code point (kNoCharacter for a byte sequence
// that is none) and length.
char32_t Decode(std::string_view s, size_t at, size_t* length) {
    return platform::DecodeUtf8(reinterpret_cast<const unsigned char*>(s.data()) + at,
                                s.size() - at, length);
}

// White space: Unicode's space separators, line and paragraph separators,
// and the controls TAB to CR and NEL.
bool IsBlank(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

// `s` without blanks at either end.
std::string_view Trimmed(std::string_view s) {
    size_t first = 0;
    while (first < s.size()) {
        size_t n;
        if (!IsBlank(Decode(s, first, &n))) break;
        first += n;
    }
    size_t last = first;  // end of the last character that is not blank
    for (size_t at = first; at < s.size();) {
        size_t n;
        const bool blank = IsBlank(Decode(s, at, &n));
        at += n;
        if (!blank) last = at;
    }
    return s.substr(first, last - first);
}

std::optional<int> ReadInt(std::string_view text) {
    // Trimmed, read up to a NUL; ASCII blanks (only those) may stand
    // between the number and that NUL.
    text = Trimmed(text);
    text = text.substr(0, text.find('\0'));
    while (!text.empty() && (text.back() == ' ' || (text.back() >= '\t' && text.back() <= '\r')))
        text.remove_suffix(1);
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) ++i;
    if (i == text.size()) return std::nullopt;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
        if (value > int64_t{INT_MAX} + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > INT_MAX || value < INT_MIN) return std::nullopt;
    return static_cast<int>(value);
}

}  // namespace

std::string EditTextOf(std::string_view text) {
    std::string utf8(text);
    size_t units = 0;
    for (size_t at = 0; at < utf8.size();) {
        size_t n;
        const char32_t c = Decode(utf8, at, &n);
        units += c > 0xFFFF && c != platform::kNoCharacter ? 2 : 1;
        if (units > static_cast<size_t>(kEditMaxLength)) {
            utf8.resize(at);
            break;
        }
        at += n;
    }
    return utf8;
}

int UpDownPosition(std::string_view utf8, int minPos, int maxPos, int& lastValid, bool* error) {
    const std::optional<int> value = ReadInt(utf8);
    const bool ok =
        value && *value >= std::min(minPos, maxPos) && *value <= std::max(minPos, maxPos);
    if (ok) lastValid = *value;
    if (error) *error = !ok;
    return lastValid;
}
