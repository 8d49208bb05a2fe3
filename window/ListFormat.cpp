#include "window/ListFormat.h"

#include <algorithm>
#include <cstring>

#include "data/TextScan.h"
#include "platform/StrFormat.h"

namespace {

// A UTF-8 cell: `text` fitted to `columns` display columns and padded to
// them, or, cut short, to what it fills; nothing past `limit` bytes of the
// line is made (a character the limit cuts is taken whole and cut later).
void AppendUtf8Cell(std::string& line, std::string_view text, size_t columns, bool fixed,
                    size_t limit) {
    const size_t room = limit - std::min(limit, line.size());
    constexpr size_t kLongestCharacter = 4;
    const std::string_view shown = text.substr(0, std::min(text.size(), room + kLongestCharacter));
    size_t width = 0;
    const size_t bytes = platform::FitUtf8(shown, columns, &width);
    line.append(shown.substr(0, bytes));
    if (fixed && bytes < text.size()) columns = width;
    if (width < columns) line.append(std::min(columns - width, room - std::min(room, bytes)), ' ');
}

std::string FormatUtf8Line(const CCsvRecord& record, int index, int startColumn,
                           const std::array<int, kMaxFields>& widths, bool fixedWidth,
                           size_t limit) {
    std::string line = platform::StrFormat("%03d", index);
    const int fields = record.FieldCount();
    for (int k = std::max(startColumn, 0); k < fields && line.size() < limit; ++k) {
        const int w = fixedWidth ? kFixedCellBytes : (k < kMaxFields ? widths[k] : 0);
        line += "\t|";
        AppendUtf8Cell(line, record.FieldView(k), static_cast<size_t>(std::max(w, 0)), fixedWidth,
                       limit);
    }
    if (line.size() > limit) {
        // Back to the start of the character that the limit cuts.
        size_t end = limit;
        while (end > 0 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80) --end;
        line.resize(end);
    }
    return line;
}

}  // namespace

std::string FormatRecordLine(const CCsvRecord& record, int index, int startColumn,
                             const std::array<int, kMaxFields>& widths, bool fixedWidth,
                             size_t limit, platform::TextEncoding encoding) {
    if (encoding == platform::TextEncoding::kUtf8)
        return FormatUtf8Line(record, index, startColumn, widths, fixedWidth, limit);
    std::string line = platform::StrFormat("%03d", index);
    const int fields = record.FieldCount();
    for (int k = std::max(startColumn, 0); k < fields && line.size() < limit; ++k) {
        const char* v = record.GetField(k);
        if (!v) v = "";
        int w = k < kMaxFields ? widths[k] : 0;
        if (fixedWidth) {
            w = kFixedCellBytes;
            if (*v && EndsInLeadByte(v, kFixedCellBytes - 1) == kFirstByte) w = kFixedCellBytes - 1;
        }
        const size_t len = std::min(std::strlen(v), static_cast<size_t>(w));
        line += "\t|";
        line.append(v, std::min(len, limit - std::min(limit, line.size())));
        line.append(std::min(static_cast<size_t>(w) - len, limit - std::min(limit, line.size())), ' ');
    }
    if (line.size() > limit) line.resize(limit);
    return line;
}

namespace {
// Columns of megabytes would overflow; such stops lie far off screen.
constexpr int kFarStop = 1 << 22;
}  // namespace

std::vector<int> ComputeTabStops(int records, int headerFieldCount, int startColumn,
                                 const std::array<int, kMaxFields>& widths, bool fixedWidth) {
    std::vector<int> stops;
    if (startColumn < 0 || headerFieldCount < startColumn) return stops;
    // "%03d": three digits, more for a record number past 999.
    int digits = 3;
    for (int last = records - 1; last > 999; last /= 10) ++digits;
    int pos = digits + 1;
    stops.push_back(pos);
    for (int k = startColumn; k < headerFieldCount; ++k) {
        const int w = fixedWidth ? kFixedCellBytes : (k < kMaxFields ? widths[k] : 0);
        pos = std::min(pos + 1 + w + 1, kFarStop);
        stops.push_back(pos);
    }
    return stops;
}

std::string FormatFieldItem(int column, const char* name) {
    return platform::StrFormat("%03d: %s", column, name ? name : "");
}
