// Writes platform/UnicodeTables.inc: the character properties the program
// takes from ICU on Linux, as tables for builds without ICU (Windows).
//
//   unicode_tables > platform/UnicodeTables.inc
//
// The tables: the ranges of marks (general category M), which take no
// column; the ranges of other characters East Asian Wide or Fullwidth,
// which take two; and each character's simple case folding where it is
// another character. A test checks the tables against ICU.
#include <unicode/uchar.h>
#include <unicode/uversion.h>

#include <cstdio>
#include <vector>

namespace {

struct Range {
    UChar32 first, last;
};

bool IsMark(UChar32 c) { return (U_GET_GC_MASK(c) & U_GC_M_MASK) != 0; }

bool IsWide(UChar32 c) {
    const int w = u_getIntPropertyValue(c, UCHAR_EAST_ASIAN_WIDTH);
    return !IsMark(c) && (w == U_EA_WIDE || w == U_EA_FULLWIDTH);
}

template <typename In>
std::vector<Range> Ranges(In in) {
    std::vector<Range> out;
    for (UChar32 c = 0x80; c <= 0x10FFFF; ++c) {
        if (!in(c)) continue;
        if (!out.empty() && out.back().last == c - 1)
            out.back().last = c;
        else
            out.push_back({c, c});
    }
    return out;
}

void PrintRanges(const char* name, const std::vector<Range>& ranges) {
    std::printf("constexpr CodeRange %s[] = {", name);
    for (size_t i = 0; i < ranges.size(); ++i)
        std::printf("%s{0x%X, 0x%X},", i % 6 == 0 ? "\n    " : " ", ranges[i].first, ranges[i].last);
    std::printf("\n};\n\n");
}

}  // namespace

int main() {
    UVersionInfo version;
    u_getUnicodeVersion(version);
    std::printf("// Made by tools/unicode_tables.cpp from ICU's Unicode %d.%d.%d; do not edit.\n\n",
                version[0], version[1], version[2]);
    PrintRanges("kMarks", Ranges(IsMark));
    PrintRanges("kWide", Ranges(IsWide));
    std::printf("constexpr CaseFold kFolds[] = {");
    int n = 0;
    for (UChar32 c = 0x80; c <= 0x10FFFF; ++c) {
        const UChar32 folded = u_foldCase(c, U_FOLD_CASE_DEFAULT);
        if (folded != c) std::printf("%s{0x%X, 0x%X},", n++ % 6 == 0 ? "\n    " : " ", c, folded);
    }
    std::printf("\n};\n");
    return 0;
}
