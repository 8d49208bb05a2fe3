// The character properties the program takes from ICU, from tables made
// from ICU by tools/unicode_tables.cpp (platform/UnicodeTables.inc): what a
// build without ICU (the Windows one) uses instead. A test checks them
// against ICU wherever ICU is.
#pragma once

namespace platform::unicode {

// Whether c is a mark (general category M), which takes no column.
bool IsMark(char32_t c);
// Whether c, no mark, is East Asian Wide or Fullwidth: two columns.
bool IsWide(char32_t c);
// c's simple case folding.
char32_t FoldCase(char32_t c);

}  // namespace platform::unicode
