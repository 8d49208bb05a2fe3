// What the record list shows, computed without the toolkit: the text of a
// record's line, the tab stops, the field-name items.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "data/CsvTable.h"
#include "platform/TextEncoding.h"

// Width of a cell in fixed-width mode, in display columns.
inline constexpr int kFixedCellBytes = 8;

// "%03d" with the record index, then one "\t|%-*.*s" cell per field from
// startColumn on: the value cut and padded to the column's width in display
// columns (8, or less where the 8th would cut a character, in fixed-width
// mode). The line is in the record's encoding. With a limit, the line
// stops after that many bytes, never inside a character.
std::string FormatRecordLine(const CCsvRecord& record, int index, int startColumn,
                             const std::array<int, kMaxFields>& widths, bool fixedWidth,
                             size_t limit = std::string::npos,
                             platform::TextEncoding encoding = platform::TextEncoding::kCp932);

// Tab stops in display columns: one after the record numbers of a table of
// `records` lines, then one per header column from startColumn on, each
// past the column's bar, its widest value (or the fixed width) and a gap.
std::vector<int> ComputeTabStops(int records, int headerFieldCount, int startColumn,
                                 const std::array<int, kMaxFields>& widths, bool fixedWidth);

// Field-name list item: "%03d: %s" with the column number from 1.
std::string FormatFieldItem(int column, const char* name);
