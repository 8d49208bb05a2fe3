// A spreadsheet cell's number format: the code a workbook stores for a
// cell (`#,##0"円"`, `yyyy/m/d`, `[$-411]ggge"年"m"月"d"日"`) turned into
// the text a Japanese Excel shows for a number or a text in that cell.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace data {

// The format code a Japanese Excel gives a built-in format number; empty
// for a number it does not define.
std::string_view BuiltInFormat(int id);

// A number as the General format shows it: at most 15 significant digits,
// no trailing zeros, decimal form for 1E-9 <= |x| < 1E15, else `1.5E+20`.
std::string GeneralNumber(double x);

class CellFormat {
public:
    // The General format.
    CellFormat();
    explicit CellFormat(std::string_view code);
    CellFormat(const CellFormat&);
    CellFormat(CellFormat&&) noexcept;
    CellFormat& operator=(const CellFormat&);
    CellFormat& operator=(CellFormat&&) noexcept;
    ~CellFormat();

    // False when the code holds something this reader does not show
    // (conditions, fractions, an unknown letter): such a cell is shown in
    // the General format.
    bool Known() const { return known_; }
    // Whether the format shows dates or times.
    bool IsDate() const;

    // `x` as the format shows it; `date1904` for a workbook counting days
    // from 1904-01-01.
    std::string Number(double x, bool date1904 = false) const;
    // A text cell's value as the format shows it (the `@` section), and
    // whether that may differ from the value.
    std::string Text(std::string_view text) const;
    bool ChangesText() const;

    struct Token;
    struct Section;

private:
    std::string Format(const Section& section, double x, bool date1904) const;

    std::vector<Section> sections_;
    bool known_ = true;
};

}  // namespace data
