#include "data/CellFormat.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <tuple>

namespace data {

namespace {

enum class T : unsigned char {
    kLiteral,
    kZero,      // 0: a digit, or 0
    kHash,      // #: a digit, or nothing
    kQuestion,  // ?: a digit, or a space
    kPoint,
    kComma,
    kPercent,
    kExp,      // E+ or E- (`width` 1 for E+)
    kAt,       // the text
    kGeneral,  // the number in the General format
    kYear2,
    kYear4,
    kMonth,  // m, mm, mmm, mmmm, mmmmm by width; a minute when width < 3 and `minute`
    kDay,    // d, dd, ddd, dddd by width
    kJaDay,  // aaa, aaaa by width
    kHour,
    kSecond,
    kSubSecond,  // the digits after s.
    kElapsed,    // [h], [m], [s]: `text` holds the letter
    kAmPm,       // `text`: the code as written
    kEra,        // g, gg, ggg by width
    kEraYear,    // e, ee by width
};

bool IsDigitToken(T t) { return t == T::kZero || t == T::kHash || t == T::kQuestion; }
bool IsDateToken(T t) { return t >= T::kYear2; }

size_t Utf8Length(unsigned char c) { return c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4; }

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
    return true;
}

size_t RunOf(std::string_view s, size_t i) {
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(s[i])));
    size_t n = 0;
    while (i + n < s.size() && std::tolower(static_cast<unsigned char>(s[i + n])) == c) ++n;
    return n;
}

constexpr std::array<const char*, 12> kMonthNames = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
constexpr std::array<const char*, 7> kDayNames = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                  "Thursday", "Friday", "Saturday"};
constexpr std::array<const char*, 7> kJaDays = {"日", "月", "火", "水", "木", "金", "土"};

struct Era {
    int year, month, day;  // its first day
    const char* letter;
    const char* initial;
    const char* name;
};
constexpr std::array<Era, 5> kEras = {{
    {1868, 10, 23, "M", "明", "明治"},
    {1912, 7, 30, "T", "大", "大正"},
    {1926, 12, 25, "S", "昭", "昭和"},
    {1989, 1, 8, "H", "平", "平成"},
    {2019, 5, 1, "R", "令", "令和"},
}};

// The date of day `serial` of the 1900 date system, which takes 1900 for a
// leap year: day 60 is 1900-02-29 and day 0 is 1900-01-00.
void DateOfSerial(long serial, int& y, int& m, int& d) {
    if (serial == 0) {
        y = 1900, m = 1, d = 0;
        return;
    }
    if (serial == 60) {
        y = 1900, m = 2, d = 29;
        return;
    }
    // Days since 1970-01-01 to a civil date (proleptic Gregorian).
    long z = serial - (serial < 60 ? 25568 : 25569) + 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

std::string Padded(long v, int width) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*ld", width, v);
    return buf;
}

// The 15 significant digits of x > 0 and its decimal exponent: x is
// d.dddd... x 10^exponent.
struct Digits {
    char d[16];
    int exponent;
};
Digits DigitsOf(double x) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", x);
    Digits r{};
    r.d[0] = buf[0];
    std::memcpy(r.d + 1, buf + 2, 14);
    r.exponent = std::atoi(buf + 17);
    return r;
}

// x >= 0 rounded half away from zero at `frac` decimals, as a string of
// digits without leading zeros (empty for 0): x times 10^frac.
std::string Scaled(double x, int frac) {
    if (x == 0 || !std::isfinite(x)) return "";
    // Most numbers are whole at the digits shown: those read as they are.
    if (const double y = x * std::pow(10.0, frac); y < 1e15 && y == std::floor(y)) return std::to_string(static_cast<int64_t>(y));
    const Digits g = DigitsOf(x);
    const int keep = g.exponent + 1 + frac;
    std::string n;
    if (keep <= 0) {
        if (keep == 0 && g.d[0] >= '5') n = "1";
        return n;
    }
    if (keep >= 15) {
        n.assign(g.d, 15);
        n.append(static_cast<size_t>(keep - 15), '0');
    } else {
        n.assign(g.d, static_cast<size_t>(keep));
        if (g.d[keep] >= '5') {
            size_t i = n.size();
            while (i > 0 && n[i - 1] == '9') n[--i] = '0';
            if (i == 0)
                n.insert(n.begin(), '1');
            else
                ++n[i - 1];
        }
    }
    const size_t lead = n.find_first_not_of('0');
    return lead == std::string::npos ? "" : n.substr(lead);
}

}  // namespace

struct CellFormat::Token {
    T kind;
    int width = 1;
    std::string text = {};
    bool minute = false;
};

struct CellFormat::Section {
    std::vector<Token> tokens;
    bool date = false;
    bool ampm = false;
    int subSecond = 0;  // digits after the seconds
    // Numbers: the placeholders before the point, after it and after E.
    int intCount = 0, fracCount = 0, expCount = 0;
    bool intHash = false;
    bool grouping = false;
    int scale = 0;  // thousands taken off by trailing commas
    int percent = 0;
    bool text = false;     // holds @
    bool general = false;  // holds General
};

namespace {

// Cuts a code into its sections at the semicolons outside quotes,
// brackets and escapes.
std::vector<std::string_view> SplitSections(std::string_view code) {
    std::vector<std::string_view> out;
    size_t start = 0;
    for (size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (c == '"') {
            const size_t end = code.find('"', i + 1);
            i = end == std::string_view::npos ? code.size() : end;
        } else if (c == '[') {
            const size_t end = code.find(']', i + 1);
            i = end == std::string_view::npos ? code.size() : end;
        } else if (c == '\\' || c == '_' || c == '*') {
            ++i;
        } else if (c == ';') {
            out.push_back(code.substr(start, i - start));
            start = i + 1;
        }
    }
    out.push_back(code.substr(std::min(start, code.size())));
    return out;
}

bool IsColour(std::string_view name) {
    static constexpr const char* kColours[] = {"black", "blue",    "cyan",  "green",
                                               "magenta", "red", "white", "yellow"};
    for (const char* c : kColours)
        if (name.size() == std::strlen(c) && StartsWithNoCase(name, c)) return true;
    if (!StartsWithNoCase(name, "color") || name.size() == 5) return false;
    return name.substr(5).find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

CellFormat::CellFormat() = default;
CellFormat::CellFormat(const CellFormat&) = default;
CellFormat::CellFormat(CellFormat&&) noexcept = default;
CellFormat& CellFormat::operator=(const CellFormat&) = default;
CellFormat& CellFormat::operator=(CellFormat&&) noexcept = default;
CellFormat::~CellFormat() = default;

CellFormat::CellFormat(std::string_view code) {
    if (StartsWithNoCase(code, "general") && code.size() == 7) return;
    // Excel's own bound on a code's length.
    if (code.size() > 255) {
        known_ = false;
        return;
    }
    // The system's long date and time, whatever follows: Japanese
    // Windows' own.
    if (StartsWithNoCase(code, "[$-f800]") || StartsWithNoCase(code, "[$-x-sysdate]"))
        code = R"(yyyy"年"m"月"d"日")";
    else if (StartsWithNoCase(code, "[$-f400]") || StartsWithNoCase(code, "[$-x-systime]"))
        code = "h:mm:ss";
    for (std::string_view part : SplitSections(code)) {
        if (sections_.size() == 4) {
            known_ = false;
            break;
        }
        Section s;
        auto literal = [&](std::string_view text) {
            if (!s.tokens.empty() && s.tokens.back().kind == T::kLiteral)
                s.tokens.back().text += text;
            else
                s.tokens.push_back({T::kLiteral, 1, std::string(text)});
        };
        for (size_t i = 0; i < part.size();) {
            const unsigned char c = static_cast<unsigned char>(part[i]);
            const char lower = static_cast<char>(std::tolower(c));
            const std::string_view rest = part.substr(i);
            size_t next = i + 1;
            if (c == '"') {
                size_t end = part.find('"', i + 1);
                if (end == std::string_view::npos) end = part.size();
                literal(part.substr(i + 1, end - i - 1));
                next = end + 1;
            } else if (c == '\\' || c == '_' || c == '*') {
                if (i + 1 < part.size()) {
                    const size_t n = Utf8Length(static_cast<unsigned char>(part[i + 1]));
                    if (c == '\\') literal(part.substr(i + 1, n));
                    if (c == '_') literal(" ");
                    next = i + 1 + n;
                }
            } else if (c == '[') {
                size_t end = part.find(']', i + 1);
                if (end == std::string_view::npos) end = part.size();
                const std::string_view inner = part.substr(i + 1, end - i - 1);
                next = end + 1;
                if (inner.starts_with("$")) {
                    literal(inner.substr(1, inner.find('-') == std::string_view::npos
                                                ? std::string_view::npos
                                                : inner.find('-') - 1));
                } else if (!inner.empty() && RunOf(inner, 0) == inner.size() &&
                           std::strchr("hms", std::tolower(static_cast<unsigned char>(inner[0])))) {
                    s.tokens.push_back({T::kElapsed, static_cast<int>(inner.size()),
                                        std::string(1, static_cast<char>(std::tolower(
                                                           static_cast<unsigned char>(inner[0]))))});
                } else if (!IsColour(inner)) {
                    known_ = false;  // a condition, a numeral system
                }
            } else if (c == '@') {
                s.tokens.push_back({T::kAt});
            } else if (c == '0' || c == '#' || c == '?') {
                s.tokens.push_back({c == '0' ? T::kZero : c == '#' ? T::kHash : T::kQuestion});
            } else if (c == '.' || c == ',' || c == '%') {
                s.tokens.push_back({c == '.' ? T::kPoint : c == ',' ? T::kComma : T::kPercent});
            } else if (lower == 'e' && i + 1 < part.size() && (part[i + 1] == '+' || part[i + 1] == '-')) {
                s.tokens.push_back({T::kExp, part[i + 1] == '+' ? 1 : 0});
                next = i + 2;
            } else if (StartsWithNoCase(rest, "general") || rest.starts_with("G/標準")) {
                s.tokens.push_back({T::kGeneral});
                next = i + (rest[1] == '/' ? std::strlen("G/標準") : 7);
            } else if (StartsWithNoCase(rest, "am/pm") || StartsWithNoCase(rest, "a/p")) {
                const size_t n = StartsWithNoCase(rest, "am/pm") ? 5 : 3;
                s.tokens.push_back({T::kAmPm, 1, std::string(rest.substr(0, n))});
                next = i + n;
            } else if (rest.starts_with("午前/午後")) {
                s.tokens.push_back({T::kAmPm, 1, "午前/午後"});
                next = i + std::strlen("午前/午後");
            } else if (std::strchr("ymdhsgea", lower) && lower != 0) {
                const int n = static_cast<int>(RunOf(part, i));
                next = i + static_cast<size_t>(n);
                switch (lower) {
                    case 'y': s.tokens.push_back({n <= 2 ? T::kYear2 : T::kYear4}); break;
                    case 'm': s.tokens.push_back({T::kMonth, std::min(n, 5)}); break;
                    case 'd': s.tokens.push_back({T::kDay, std::min(n, 4)}); break;
                    case 'h': s.tokens.push_back({T::kHour, std::min(n, 2)}); break;
                    case 's': s.tokens.push_back({T::kSecond, std::min(n, 2)}); break;
                    case 'g': s.tokens.push_back({T::kEra, std::min(n, 3)}); break;
                    case 'e': s.tokens.push_back({T::kEraYear, std::min(n, 2)}); break;
                    default:
                        if (n < 3) known_ = false;
                        s.tokens.push_back({T::kJaDay, std::min(n, 4)});
                }
            } else if (std::isalpha(c)) {
                known_ = false;  // B1, B2, N, ...
            } else {
                next = i + Utf8Length(c);
                literal(part.substr(i, next - i));
            }
            i = std::min(next, part.size());
        }

        std::vector<Token>& t = s.tokens;
        for (const Token& token : t) {
            s.date = s.date || IsDateToken(token.kind);
            s.ampm = s.ampm || token.kind == T::kAmPm;
            if (token.kind == T::kAt && s.text) known_ = false;  // the text once a section
            s.text = s.text || token.kind == T::kAt;
            s.general = s.general || token.kind == T::kGeneral;
        }
        if (s.date) {
            for (size_t i = 0; i < t.size(); ++i) {
                if (t[i].kind == T::kMonth && t[i].width <= 2) {
                    // m after an hour or before a second is a minute.
                    for (size_t j = i; j-- > 0;)
                        if (IsDateToken(t[j].kind)) {
                            t[i].minute = t[j].kind == T::kHour || (t[j].kind == T::kElapsed && t[j].text == "h");
                            break;
                        }
                    for (size_t j = i + 1; j < t.size() && !t[i].minute; ++j)
                        if (IsDateToken(t[j].kind)) {
                            t[i].minute = t[j].kind == T::kSecond || (t[j].kind == T::kElapsed && t[j].text == "s");
                            break;
                        }
                } else if (t[i].kind == T::kPoint && i + 1 < t.size() && t[i + 1].kind == T::kZero) {
                    size_t n = 0;
                    while (i + 1 + n < t.size() && t[i + 1 + n].kind == T::kZero) ++n;
                    t[i] = {T::kSubSecond, static_cast<int>(std::min<size_t>(n, 3))};
                    t.erase(t.begin() + static_cast<long>(i) + 1, t.begin() + static_cast<long>(i + 1 + n));
                    s.subSecond = std::max(s.subSecond, t[i].width);
                } else if (t[i].kind == T::kPoint || t[i].kind == T::kComma) {
                    t[i] = {T::kLiteral, 1, t[i].kind == T::kPoint ? "." : ","};
                } else if (IsDigitToken(t[i].kind) || t[i].kind == T::kExp || t[i].kind == T::kPercent ||
                           t[i].kind == T::kGeneral) {
                    known_ = false;
                }
            }
        } else {
            int part = 0;  // 0: before the point, 1: after it, 2: after E
            for (size_t i = 0; i < t.size(); ++i) {
                const T k = t[i].kind;
                if (IsDigitToken(k)) {
                    (part == 0 ? s.intCount : part == 1 ? s.fracCount : s.expCount) += 1;
                    s.intHash = s.intHash || (part == 0 && k == T::kHash);
                } else if (k == T::kPoint && part == 0) {
                    part = 1;
                } else if (k == T::kPoint) {
                    t[i] = {T::kLiteral, 1, "."};
                } else if (k == T::kExp) {
                    part = 2;
                } else if (k == T::kPercent) {
                    ++s.percent;
                } else if (k == T::kComma) {
                    bool digitBefore = false, digitAfter = false;
                    for (size_t j = 0; j < i; ++j) digitBefore = digitBefore || IsDigitToken(t[j].kind);
                    for (size_t j = i + 1; j < t.size() && t[j].kind != T::kPoint && t[j].kind != T::kExp; ++j)
                        digitAfter = digitAfter || IsDigitToken(t[j].kind);
                    if (!digitBefore) {
                        t[i] = {T::kLiteral, 1, ","};
                    } else if (digitAfter && part == 0) {
                        s.grouping = true;
                    } else {
                        bool onlyCommas = true;  // up to the next digit
                        for (size_t j = i + 1; j < t.size() && !IsDigitToken(t[j].kind); ++j)
                            onlyCommas = onlyCommas && (t[j].kind == T::kComma || t[j].kind == T::kLiteral ||
                                                        t[j].kind == T::kPoint || t[j].kind == T::kPercent);
                        if (digitAfter || !onlyCommas)
                            t[i] = {T::kLiteral, 1, ","};
                        else
                            ++s.scale;
                    }
                } else if (k == T::kLiteral && t[i].text.find('/') != std::string::npos && part == 0 &&
                           s.intCount > 0) {
                    for (size_t j = i + 1; j < t.size(); ++j)
                        if (IsDigitToken(t[j].kind)) known_ = false;  // a fraction
                }
            }
        }
        sections_.push_back(std::move(s));
    }
    if (!known_) sections_.clear();
}

bool CellFormat::IsDate() const { return !sections_.empty() && sections_[0].date; }

std::string CellFormat::Number(double x, bool date1904) const {
    if (sections_.empty() || !std::isfinite(x)) return GeneralNumber(x);
    const size_t n = std::min<size_t>(sections_.size(), 3);
    const bool negative = x < 0;
    const Section* s = &sections_[0];
    if (n >= 2 && negative) s = &sections_[1];
    if (n >= 3 && x == 0) s = &sections_[2];
    const bool sign = negative && s == &sections_[0];
    // Excel shows ### for a date before 1900 or after 9999.
    if (s->date && (negative || x + (date1904 ? 1462 : 0) >= 2958466)) return GeneralNumber(x);
    // A section of text shows a number as General does.
    if (s->text && s->intCount + s->fracCount == 0 && !s->general) return GeneralNumber(x);
    std::string shown = Format(*s, std::fabs(x), date1904);
    if (s->tokens.empty() && n == 1) return GeneralNumber(x);
    return sign && !s->date ? "-" + shown : shown;
}

bool CellFormat::ChangesText() const {
    return sections_.size() == 4 || (sections_.size() == 1 && sections_[0].text);
}

std::string CellFormat::Text(std::string_view text) const {
    const Section* s = sections_.size() == 4                       ? &sections_[3]
                       : sections_.size() == 1 && sections_[0].text ? &sections_[0]
                                                                    : nullptr;
    if (!s) return std::string(text);
    std::string out;
    for (const Token& t : s->tokens)
        if (t.kind == T::kLiteral)
            out += t.text;
        else if (t.kind == T::kAt)
            out += text;
    return out;
}

std::string CellFormat::Format(const Section& s, double x, bool date1904) const {
    std::string out;
    if (s.date) {
        const long scaleK = s.subSecond == 0 ? 1 : s.subSecond == 1 ? 10 : s.subSecond == 2 ? 100 : 1000;
        long days = static_cast<long>(std::floor(x));
        long ticks = std::lround((x - static_cast<double>(days)) * 86400.0 * static_cast<double>(scaleK));
        if (ticks >= 86400 * scaleK) ++days, ticks -= 86400 * scaleK;
        const long seconds = ticks / scaleK;
        const long serial = days + (date1904 ? 1462 : 0);
        if (serial >= 2958466) return GeneralNumber(x);  // rounded past 9999-12-31
        int y, m, d;
        DateOfSerial(serial, y, m, d);
        const int weekday = static_cast<int>((serial + 6) % 7);
        const long total = days * 86400 + seconds;
        size_t era = kEras.size() - 1;
        while (era > 0 && std::make_tuple(y, m, d) < std::make_tuple(kEras[era].year, kEras[era].month,
                                                                      kEras[era].day))
            --era;
        long hour = seconds / 3600;
        if (s.ampm) hour = hour % 12 == 0 ? 12 : hour % 12;
        for (const Token& t : s.tokens) {
            switch (t.kind) {
                case T::kLiteral: out += t.text; break;
                case T::kYear2: out += Padded(y % 100, 2); break;
                case T::kYear4: out += Padded(y, 4); break;
                case T::kMonth:
                    if (t.minute)
                        out += Padded(seconds / 60 % 60, t.width);
                    else if (t.width <= 2)
                        out += Padded(m, t.width);
                    else
                        out += t.width == 3 ? std::string(kMonthNames[m - 1], 3)
                               : t.width == 4 ? std::string(kMonthNames[m - 1])
                                             : std::string(kMonthNames[m - 1], 1);
                    break;
                case T::kDay:
                    out += t.width <= 2   ? Padded(d, t.width)
                           : t.width == 3 ? std::string(kDayNames[weekday], 3)
                                          : std::string(kDayNames[weekday]);
                    break;
                case T::kJaDay: out += std::string(kJaDays[weekday]) + (t.width == 4 ? "曜日" : ""); break;
                case T::kHour: out += Padded(hour, t.width); break;
                case T::kSecond: out += Padded(seconds % 60, t.width); break;
                case T::kSubSecond:
                    out += "." + Padded(ticks % scaleK, s.subSecond).substr(0, static_cast<size_t>(t.width));
                    break;
                case T::kElapsed:
                    out += Padded(t.text == "h" ? total / 3600 : t.text == "m" ? total / 60 : total, t.width);
                    break;
                case T::kAmPm: {
                    const bool pm = seconds >= 12 * 3600;
                    if (t.text == "午前/午後")
                        out += pm ? "午後" : "午前";
                    else if (t.text.size() == 3)
                        out += t.text[pm ? 2 : 0];
                    else
                        out += t.text.substr(pm ? 3 : 0, 2);
                    break;
                }
                case T::kEra:
                    out += t.width == 1 ? kEras[era].letter : t.width == 2 ? kEras[era].initial : kEras[era].name;
                    break;
                case T::kEraYear: out += Padded(y - kEras[era].year + 1, t.width); break;
                default: break;
            }
        }
        return out;
    }

    double v = x * std::pow(100.0, s.percent) / std::pow(1000.0, s.scale);
    if (!std::isfinite(v)) return GeneralNumber(x);
    int exponent = 0;
    std::string whole, frac;
    for (int pass = 0; pass < 2; ++pass) {
        double mantissa = v;
        if (s.expCount > 0 || std::any_of(s.tokens.begin(), s.tokens.end(),
                                          [](const Token& t) { return t.kind == T::kExp; })) {
            if (v != 0) {
                const int e10 = DigitsOf(v).exponent + (pass == 1 ? 1 : 0);
                const int step = std::max(s.intCount, 1);
                exponent = s.intHash && step > 1 ? (e10 >= 0 ? e10 / step : -((-e10 + step - 1) / step)) * step
                                                 : e10 - (step - 1);
                mantissa = v / std::pow(10.0, exponent);
            }
        }
        const std::string scaled = Scaled(mantissa, s.fracCount);
        const size_t f = static_cast<size_t>(s.fracCount);
        frac = scaled.size() >= f ? scaled.substr(scaled.size() - f)
                                  : std::string(f - scaled.size(), '0') + scaled;
        whole = scaled.size() > f ? scaled.substr(0, scaled.size() - f) : "";
        // A mantissa rounded up to a further digit moves the exponent.
        if (pass == 0 && v != 0 && whole.size() > static_cast<size_t>(std::max(s.intCount, 1)) &&
            std::any_of(s.tokens.begin(), s.tokens.end(), [](const Token& t) { return t.kind == T::kExp; }))
            continue;
        break;
    }

    // The integer digits, right to left over their placeholders; the
    // leftmost takes any digits beyond them.
    std::vector<std::string> placed(static_cast<size_t>(s.intCount));
    std::vector<T> intKinds;
    for (const Token& t : s.tokens)
        if (IsDigitToken(t.kind) && intKinds.size() < placed.size()) intKinds.push_back(t.kind);
    int digitsOut = 0;
    for (int p = s.intCount - 1, idx = 0; p >= 0; --p, ++idx) {
        const T kind = intKinds[static_cast<size_t>(p)];
        std::string chars;
        if (static_cast<size_t>(idx) < whole.size())
            chars = whole.substr(whole.size() - 1 - static_cast<size_t>(idx), 1);
        else
            chars = kind == T::kZero ? "0" : kind == T::kQuestion ? " " : "";
        if (p == 0 && whole.size() > static_cast<size_t>(s.intCount))
            chars = whole.substr(0, whole.size() - static_cast<size_t>(s.intCount)) + chars;
        std::string grouped;
        for (size_t i = chars.size(); i-- > 0;) {
            if (chars[i] >= '0' && chars[i] <= '9') {
                if (s.grouping && digitsOut > 0 && digitsOut % 3 == 0) grouped += ',';
                ++digitsOut;
            }
            grouped += chars[i];
        }
        placed[static_cast<size_t>(p)].assign(grouped.rbegin(), grouped.rend());
    }
    // Trailing zeros of the fraction go where # and ? stand.
    std::vector<std::string> fracPlaced(frac.size());
    {
        std::vector<T> kinds;
        bool after = false;
        for (const Token& t : s.tokens) {
            if (t.kind == T::kPoint) after = true;
            if (t.kind == T::kExp) break;
            if (after && IsDigitToken(t.kind)) kinds.push_back(t.kind);
        }
        bool trailing = true;
        for (size_t i = frac.size(); i-- > 0;) {
            trailing = trailing && frac[i] == '0' && kinds[i] != T::kZero;
            fracPlaced[i] = trailing ? (kinds[i] == T::kQuestion ? " " : "") : std::string(1, frac[i]);
        }
    }
    int part = 0, intIndex = 0, fracIndex = 0, expIndex = 0;
    const std::string expDigits = std::to_string(std::abs(exponent));
    for (const Token& t : s.tokens) {
        switch (t.kind) {
            case T::kLiteral: out += t.text; break;
            case T::kPercent: out += '%'; break;
            case T::kPoint:
                if (s.intCount == 0) out += whole;
                out += '.';
                part = 1;
                break;
            case T::kExp:
                out += 'E';
                out += exponent < 0 ? "-" : t.width == 1 ? "+" : "";
                part = 2;
                break;
            case T::kGeneral: out += GeneralNumber(x); break;
            case T::kZero:
            case T::kHash:
            case T::kQuestion:
                if (part == 0) {
                    out += placed[static_cast<size_t>(intIndex++)];
                } else if (part == 1) {
                    out += fracPlaced[static_cast<size_t>(fracIndex++)];
                } else {
                    // The exponent's digits: the last placeholders take them.
                    const int fromRight = s.expCount - 1 - expIndex++;
                    const int len = static_cast<int>(expDigits.size());
                    if (fromRight < len) {
                        if (expIndex == 1) out += expDigits.substr(0, static_cast<size_t>(len - fromRight));
                        else out += expDigits[static_cast<size_t>(len - 1 - fromRight)];
                    } else if (t.kind == T::kZero) {
                        out += '0';
                    } else if (t.kind == T::kQuestion) {
                        out += ' ';
                    }
                }
                break;
            default: break;
        }
    }
    return out;
}

std::string GeneralNumber(double x) {
    if (!std::isfinite(x)) return "#NUM!";
    if (x == 0) return "0";
    if (std::fabs(x) < 1e15 && x == std::floor(x)) return std::to_string(static_cast<int64_t>(x));
    const bool negative = x < 0;
    Digits g = DigitsOf(std::fabs(x));
    std::string digits(g.d, 15);
    digits.erase(digits.find_last_not_of('0') + 1);
    std::string out = negative ? "-" : "";
    if (g.exponent >= -9 && g.exponent < 15) {
        if (g.exponent < 0) {
            out += "0." + std::string(static_cast<size_t>(-g.exponent - 1), '0') + digits;
        } else {
            const size_t point = static_cast<size_t>(g.exponent) + 1;
            if (digits.size() <= point) {
                out += digits + std::string(point - digits.size(), '0');
            } else {
                out += digits.substr(0, point) + "." + digits.substr(point);
            }
        }
        return out;
    }
    out += digits.substr(0, 1);
    if (digits.size() > 1) out.append(".").append(digits, 1);
    out += g.exponent < 0 ? "E-" : "E+";
    out += Padded(std::abs(g.exponent), 2);
    return out;
}

std::string_view BuiltInFormat(int id) {
    static constexpr std::string_view kWareki = R"([$-411]ggge"年"m"月"d"日")";
    static constexpr std::string_view kEraShort = "[$-411]ge.m.d";
    switch (id) {
        case 0: return "General";
        case 1: return "0";
        case 2: return "0.00";
        case 3: return "#,##0";
        case 4: return "#,##0.00";
        case 5: return R"("¥"#,##0;"¥"\-#,##0)";
        case 6: return R"("¥"#,##0;[Red]"¥"\-#,##0)";
        case 7: return R"("¥"#,##0.00;"¥"\-#,##0.00)";
        case 8: return R"("¥"#,##0.00;[Red]"¥"\-#,##0.00)";
        case 9: return "0%";
        case 10: return "0.00%";
        case 11: return "0.00E+00";
        case 12: return "# ?/?";
        case 13: return "# ?\?/?\?";
        case 14: return "yyyy/m/d";
        case 15: return "d-mmm-yy";
        case 16: return "d-mmm";
        case 17: return "mmm-yy";
        case 18: return "h:mm AM/PM";
        case 19: return "h:mm:ss AM/PM";
        case 20: return "h:mm";
        case 21: return "h:mm:ss";
        case 22: return "yyyy/m/d h:mm";
        case 27: case 36: case 50: case 57: return kEraShort;
        case 28: case 29: case 51: case 54: case 58: return kWareki;
        case 30: return "m/d/yy";
        case 31: return R"(yyyy"年"m"月"d"日")";
        case 32: return R"(h"時"mm"分")";
        case 33: return R"(h"時"mm"分"ss"秒")";
        case 34: case 52: case 55: return R"(yyyy"年"m"月")";
        case 35: case 53: case 56: return R"(m"月"d"日")";
        case 37: return "#,##0 ;(#,##0)";
        case 38: return "#,##0 ;[Red](#,##0)";
        case 39: return "#,##0.00;(#,##0.00)";
        case 40: return "#,##0.00;[Red](#,##0.00)";
        case 41: return R"(_ * #,##0_ ;_ * \-#,##0_ ;_ * "-"_ ;_ @_ )";
        case 42: return R"(_ "¥"* #,##0_ ;_ "¥"* \-#,##0_ ;_ "¥"* "-"_ ;_ @_ )";
        case 43: return R"(_ * #,##0.00_ ;_ * \-#,##0.00_ ;_ * "-"??_ ;_ @_ )";
        case 44: return R"(_ "¥"* #,##0.00_ ;_ "¥"* \-#,##0.00_ ;_ "¥"* "-"??_ ;_ @_ )";
        case 45: return "mm:ss";
        case 46: return "[h]:mm:ss";
        case 47: return "mm:ss.0";
        case 48: return "##0.0E+0";
        case 49: return "@";
        default: return {};
    }
}

}  // namespace data
