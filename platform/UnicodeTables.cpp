#include "platform/UnicodeTables.h"

#include <algorithm>
#include <iterator>

namespace platform::unicode {
namespace {

struct CodeRange {
    char32_t first, last;
};
struct CaseFold {
    char32_t from, to;
};

#include "platform/UnicodeTables.inc"

template <size_t N>
bool InRanges(const CodeRange (&ranges)[N], char32_t c) {
    const auto it = std::upper_bound(std::begin(ranges), std::end(ranges), c,
                                     [](char32_t v, const CodeRange& r) { return v < r.first; });
    return it != std::begin(ranges) && c <= std::prev(it)->last;
}

}  // namespace

bool IsMark(char32_t c) { return InRanges(kMarks, c); }
bool IsWide(char32_t c) { return InRanges(kWide, c); }

char32_t FoldCase(char32_t c) {
    if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
    const auto it = std::lower_bound(std::begin(kFolds), std::end(kFolds), c,
                                     [](const CaseFold& f, char32_t v) { return f.from < v; });
    return it != std::end(kFolds) && it->from == c ? it->to : c;
}

}  // namespace platform::unicode
