// One field of a source at a time: where it ends and what ended it. Pure and
// allocation-free; the table's parse calls it once per field, so it lives
// here inline.
#pragma once

#include <cstddef>

#include "data/TextScan.h"

// What ended a field.
enum class CsvFieldEnd : unsigned char {
    kSeparator,      // another field follows (after a comma, or a tab)
    kLineFeed,       // the record is complete
    kEndOfText,      // the field runs to the end of the text
    kQuoteError,     // a quote in an unquoted field or after the closing quote
    kUnclosedQuote,  // a quote opened the field and nothing closes it
};

struct CsvFieldScan {
    // Bytes from the field's start to the byte that ended it (the
    // separator, LF or stray quote), or to the end of the text.
    size_t length;
    CsvFieldEnd kind;
    // A separator, LF or quote outside quotes was taken as the second byte
    // of a character (text that is not valid code page 932).
    bool swallowed;
};

// The first of `Stops` in [p, end): in code page 932 text (kLeadBytes) one
// that stands as a character of its own; in UTF-8 text, where no byte
// below 0x80 is ever part of a longer character, simply the first.
template <bool kLeadBytes, char... Stops>
inline const char* FindCsvStop(const char* p, const char* end, bool* swallowed = nullptr) {
    if constexpr (kLeadBytes)
        return FindStopMb<Stops...>(p, end, swallowed);
    else
        return textscan_detail::FindAnyByte<Stops...>(p, end);
}

// The field that starts at `field`, in a text that ends at `end` whose
// fields `kSeparator` separates. A field that starts with a quote runs in
// quotes up to the closing quote ("" stays inside), then, as an unquoted
// field does, up to a separator, an LF or the end of the text. A quote open to the end
// of the text is unclosed, except a lone quote as the last byte: that field
// ends at the end of the text (and holds no value). In code page 932 text
// (kLeadBytes) lead bytes hide the byte after them.
template <bool kLeadBytes = true, char kSeparator = ','>
inline CsvFieldScan ScanCsvField(const char* field, const char* end) {
    const char* p = field;
    if (p < end && *p == '"') {
        for (++p;;) {
            p = FindCsvStop<kLeadBytes, '"'>(p, end);
            if (p == end) {
                if (end - field > 1)
                    return {static_cast<size_t>(end - field), CsvFieldEnd::kUnclosedQuote, false};
                break;
            }
            const bool doubled = p + 1 < end && p[1] == '"';
            p += doubled ? 2 : 1;
            if (!doubled) break;
        }
    }
    bool swallowed = false;
    p = FindCsvStop<kLeadBytes, kSeparator, '\n', '"'>(p, end, &swallowed);
    const CsvFieldEnd kind = p == end           ? CsvFieldEnd::kEndOfText
                             : *p == kSeparator ? CsvFieldEnd::kSeparator
                             : *p == '\n' ? CsvFieldEnd::kLineFeed
                                          : CsvFieldEnd::kQuoteError;
    return {static_cast<size_t>(p - field), kind, swallowed};
}

// The separator of a text whose fields the choice does not name: a tab when
// its first record (the header line) holds a tab and no comma outside
// quotes, else a comma. In code page 932 text (leadBytes) a lead byte hides
// the byte after it.
inline char FindSeparator(const char* p, const char* end, bool leadBytes) {
    bool quoted = false, tab = false, comma = false;
    for (; p < end; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (leadBytes && IsLeadByteValue(c)) {
            ++p;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (!quoted) {
            if (c == '\n') break;
            tab |= c == '\t';
            comma |= c == ',';
        }
    }
    return tab && !comma ? '\t' : ',';
}
