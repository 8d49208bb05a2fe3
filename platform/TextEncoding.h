// The two encodings of the files the program reads and writes: code page 932
// (iconv's "CP932", labelled Shift_JIS in HTML) and UTF-8. Which one a file
// is in, moving text between them, and how wide text is on screen.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class TextEncoding : unsigned char { kCp932, kUtf8 };

// What the user or a settings line asks for: find out, or this one.
// UTF-16 is read for a CSV source only, into UTF-8.
enum class EncodingChoice : unsigned char { kAuto, kCp932, kUtf8, kUtf16 };

// The three kinds of file that are read as text; each asks a little
// differently (see DetectEncoding).
enum class TextKind : unsigned char { kCsv, kTemplate, kSettings };

struct DetectedText {
    TextEncoding encoding = TextEncoding::kCp932;
    size_t bomLength = 0;   // 3 when the bytes begin with EF BB BF
    bool utf16 = false;     // FF FE or FE FF at the start: not to be read
    bool asciiOnly = false; // no byte of 0x80 or more after the BOM
    bool declared = false;  // a template's meta declaration decided
    // A template's declaration of an encoding that is not read: its WHATWG
    // name ("EUC-JP"); empty when there is none.
    std::string unreadCharset;
};

// The encoding of a whole file's bytes:
// - EF BB BF at the start: UTF-8 (bomLength 3);
// - FF FE or FE FF at the start: utf16;
// - a template: a charset declared within its first 1024 bytes decides
//   next (PrescanCharset), when it is UTF-8 or Shift_JIS; another one is
//   named in unreadCharset and the bytes decide as below;
// - valid UTF-8 (IsValidUtf8) holding a byte of 0x80 or more: UTF-8; for
//   a settings file only when it holds a 3- or 4-byte sequence, so that an
//   old file whose only non-ASCII text is half-width katakana stays code
//   page 932;
// - otherwise code page 932 (ASCII alone too: asciiOnly tells).
DetectedText DetectEncoding(std::string_view bytes, TextKind kind);

// Strict UTF-8: no overlong form, no surrogate, nothing past U+10FFFF, no
// sequence cut short.
bool IsValidUtf8(std::string_view bytes);

// The encoding a label names, as the WHATWG Encoding Standard's "get an
// encoding" finds it (in any ASCII case, ASCII whitespace around it
// ignored), by its canonical name: "UTF-8", "Shift_JIS", "EUC-JP", ...;
// "cp932" names Shift_JIS as well. Empty for a label of no encoding.
std::string_view EncodingOfLabel(std::string_view label);
// The encoding the program reads for a canonical name: UTF-8, and code
// page 932 for Shift_JIS; nothing for any other.
std::optional<TextEncoding> ReadableEncoding(std::string_view name);

// What separates the fields of a source: found out from it, or this one.
enum class SeparatorChoice : unsigned char { kAuto, kComma, kTab };
// "auto", "comma" or "tab", in any case, with blanks around; nothing for
// any other text.
std::optional<SeparatorChoice> ParseSeparatorChoice(std::string_view name);
const char* SeparatorChoiceName(SeparatorChoice choice);

// "auto", or a label of UTF-8, Shift_JIS or UTF-16LE (EncodingOfLabel);
// nothing for any other text.
std::optional<EncodingChoice> ParseEncodingChoice(std::string_view name);
// "auto", "cp932", "utf-8" or "utf-16".
const char* EncodingChoiceName(EncodingChoice choice);
// "Shift_JIS" or "UTF-8", as HTML names them.
const char* CharsetLabel(TextEncoding encoding);

// The encoding a choice asks for, or `detected` for kAuto.
inline TextEncoding Resolve(EncodingChoice choice, TextEncoding detected) {
    return choice == EncodingChoice::kCp932                                      ? TextEncoding::kCp932
           : choice == EncodingChoice::kUtf8 || choice == EncodingChoice::kUtf16 ? TextEncoding::kUtf8
                                                                                 : detected;
}

// Text of the encoding `from` as UTF-8: code page 932 as Cp932ToUtf8 gives
// it; UTF-8 as it is, except that each byte sequence that is no character
// becomes one "?".
std::string ToUtf8(std::string_view text, TextEncoding from);

// What appending text for the site had to write in another form.
struct SiteCounts {
    size_t references = 0;    // characters as decimal character references
    size_t replacements = 0;  // pieces that are no character, as U+FFFD
    SiteCounts& operator+=(const SiteCounts& more) {
        references += more.references;
        replacements += more.replacements;
        return *this;
    }
};

// Appends `text` (in `from`) to `out` in the site's encoding `site`. Code
// page 932 into code page 932: the bytes as they are. Into UTF-8: every
// piece that is no character becomes U+FFFD (a maximal ill-formed
// subsequence of UTF-8 each, or a code page 932 unit without a Unicode
// form), so that the site is valid UTF-8. UTF-8 into code page 932: a
// character that code page 932 cannot hold becomes a decimal character
// reference ("&#233;", "&#128512;"); a byte sequence that is no character
// becomes "?".
SiteCounts AppendForSite(std::string& out, std::string_view text, TextEncoding from,
                         TextEncoding site);

// Appends UTF-8 `text` with each maximal ill-formed subsequence (as the
// WHATWG decoder takes them) as `replacement`; returns how many there were.
inline constexpr char kReplacementCharacter[] = "\xEF\xBF\xBD";  // U+FFFD
size_t AppendReplacingBadUtf8(std::string& out, std::string_view text,
                              std::string_view replacement = kReplacementCharacter);

// UTF-16 bytes (little-endian unless `bigEndian`) as UTF-8. What is no
// character (a surrogate without its pair, an odd last byte) becomes the
// byte 0xFF, which no UTF-8 text holds, so that it is replaced and counted
// as every byte sequence that is no character is.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian);

// UTF-8 text as code page 932 when every character of it has a code page
// 932 form; nothing otherwise (a malformed sequence included).
std::optional<std::string> Utf8ToCp932Exactly(std::string_view utf8);

// One UTF-8 character at p: its code point and byte length. A byte
// sequence that is no character (strictly, as IsValidUtf8) gives
// kNoCharacter and the length of the malformed piece (at least 1).
inline constexpr char32_t kNoCharacter = 0xFFFFFFFF;
char32_t DecodeUtf8(const unsigned char* p, size_t left, size_t* length);
// The character c (a code point, no surrogate) appended to `out` in UTF-8.
void AppendUtf8(std::string& out, char32_t c);

// A UTF-8 name as a file system that ignores case compares it (a USB stick,
// a Windows share): every character case-folded; bytes that are no
// character kept.
std::string CaseFolded(std::string_view utf8);

// Display columns of one character: its code page 932 length (1 or 2) when
// code page 932 holds it; else 2 when East Asian Wide or Fullwidth, 0 for
// a combining mark, 1 otherwise. kNoCharacter counts 1.
int CharDisplayWidth(char32_t c);

// Display columns of a text: for code page 932 its byte count; for UTF-8
// the sum of CharDisplayWidth.
size_t DisplayWidth(std::string_view text, TextEncoding encoding);

// The longest start of the UTF-8 `text` that takes at most `columns`
// display columns without splitting a character or leaving the combining
// marks of a character behind: its byte length; *width, when given, gets
// its columns.
size_t FitUtf8(std::string_view text, size_t columns, size_t* width = nullptr);

// UTF-8 text made safe to write on a terminal: each byte of a C0 control
// character, DEL, a C1 control character (U+0080-U+009F) and of every piece
// that is no UTF-8 character, as \xNN (lower-case hex); all else as it is.
std::string EscapeForTerminal(std::string_view utf8);

}  // namespace platform
