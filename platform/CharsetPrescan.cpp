#include "platform/CharsetPrescan.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/TextEncoding.h"

namespace platform {
namespace {

constexpr std::string_view kNone;
constexpr std::string_view kHtmlWhitespace = "\t\n\f\r ";

bool IsHtmlWhitespace(char c) {
    return kHtmlWhitespace.find(c) != std::string_view::npos;
}

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool StartsWithMeta(std::string_view s) {
    if (s.size() < 6) return false;
    for (size_t i = 0; i < 5; ++i)
        if (AsciiLower(s[i]) != "<meta"[i]) return false;
    return IsHtmlWhitespace(s[5]) || s[5] == '/';
}

// The encoding that a content attribute's value names ("text/html;
// charset=shift_jis"); empty for none or a label of no encoding. The value
// is in lower case, as attribute values are taken.
std::string_view EncodingOfContent(std::string_view s) {
    size_t at = 0;
    while ((at = s.find("charset", at)) != std::string_view::npos) {
        size_t i = at + 7;
        while (i < s.size() && IsHtmlWhitespace(s[i])) ++i;
        at = i;
        if (i == s.size() || s[i] != '=') continue;
        ++i;
        while (i < s.size() && IsHtmlWhitespace(s[i])) ++i;
        if (i == s.size()) return kNone;
        if (s[i] == '"' || s[i] == '\'') {
            const size_t close = s.find(s[i], i + 1);
            if (close == std::string_view::npos) return kNone;
            return EncodingOfLabel(s.substr(i + 1, close - i - 1));
        }
        const size_t end = s.find_first_of("\t\n\f\r ;", i);
        return EncodingOfLabel(s.substr(i, end == std::string_view::npos ? end : end - i));
    }
    return kNone;
}

// One pass over the bytes. Every step that needs a byte past the end gives
// up: then there is no answer.
class Prescan {
  public:
    explicit Prescan(std::string_view bytes) : b_(bytes) {}

    std::string_view Run() {
        for (; pos_ < b_.size(); ++pos_) {
            const std::string_view rest = b_.substr(pos_);
            if (rest.starts_with("<!--")) {
                // To the first ">" after two dashes, those of "<!--" included.
                const size_t end = rest.find("-->", 2);
                if (end == std::string_view::npos) return kNone;
                pos_ += end + 2;
            } else if (StartsWithMeta(rest)) {
                pos_ += 5;
                const std::optional<std::string_view> charset = Meta();
                if (!charset) return kNone;
                if (!charset->empty()) return *charset;
            } else if (rest.size() >= 2 && rest[0] == '<' &&
                       (IsAsciiLetter(rest[1]) ||
                        (rest[1] == '/' && rest.size() >= 3 && IsAsciiLetter(rest[2])))) {
                // Another tag: its attributes are passed over whole, so that
                // no "<meta" inside a value counts.
                pos_ = b_.find_first_of("\t\n\f\r >", pos_);
                if (pos_ == std::string_view::npos) return kNone;
                Attribute attribute;
                Got got;
                while ((got = GetAttribute(attribute)) == Got::kAttribute) {
                }
                if (got == Got::kEnd) return kNone;
            } else if (rest.starts_with("<!") || rest.starts_with("</") || rest.starts_with("<?")) {
                pos_ = b_.find('>', pos_ + 1);
                if (pos_ == std::string_view::npos) return kNone;
            }
        }
        return kNone;
    }

  private:
    struct Attribute {
        std::string name, value;
    };
    enum class Got { kAttribute, kNoMore, kEnd };

    // The attributes of a meta tag, from the space or slash after its name
    // to its ">": the encoding it declares, empty for none; nothing when the
    // bytes end first.
    std::optional<std::string_view> Meta() {
        std::vector<std::string> names;
        bool gotPragma = false;
        std::optional<bool> needPragma;
        std::optional<std::string_view> charset;  // empty: a label of no encoding
        Attribute a;
        Got got;
        while ((got = GetAttribute(a)) == Got::kAttribute) {
            if (std::find(names.begin(), names.end(), a.name) != names.end()) continue;
            names.push_back(a.name);
            if (a.name == "http-equiv") {
                gotPragma |= a.value == "content-type";
            } else if (a.name == "content") {
                const std::string_view named = EncodingOfContent(a.value);
                if (!named.empty() && !charset) {
                    charset = named;
                    needPragma = true;
                }
            } else if (a.name == "charset") {
                charset = EncodingOfLabel(a.value);
                needPragma = false;
            }
        }
        if (got == Got::kEnd) return std::nullopt;
        if (!needPragma || (*needPragma && !gotPragma)) return kNone;
        if (*charset == "UTF-16BE" || *charset == "UTF-16LE") return "UTF-8";
        if (*charset == "x-user-defined") return "windows-1252";
        return *charset;
    }

    // The byte at pos_, if there is one.
    bool Byte(char& c) const {
        if (pos_ >= b_.size()) return false;
        c = b_[pos_];
        return true;
    }

    // Moves past HTML whitespace; false when the bytes end.
    bool SkipWhitespace(char& c) {
        while (Byte(c) && IsHtmlWhitespace(c)) ++pos_;
        return pos_ < b_.size();
    }

    // The next attribute at pos_, its name and value in lower case, pos_ left
    // after it; kNoMore at the tag's ">".
    Got GetAttribute(Attribute& a) {
        a.name.clear();
        a.value.clear();
        char c = 0;
        while (Byte(c) && (IsHtmlWhitespace(c) || c == '/')) ++pos_;
        if (pos_ >= b_.size()) return Got::kEnd;
        if (c == '>') return Got::kNoMore;
        // The name; an "=" that would start it is part of it.
        for (;; ++pos_) {
            if (!Byte(c)) return Got::kEnd;
            if (c == '=' && !a.name.empty()) break;
            if (IsHtmlWhitespace(c)) {
                if (!SkipWhitespace(c)) return Got::kEnd;
                if (c != '=') return Got::kAttribute;
                break;
            }
            if (c == '/' || c == '>') return Got::kAttribute;
            a.name += AsciiLower(c);
        }
        ++pos_;  // past the "="
        if (!SkipWhitespace(c)) return Got::kEnd;
        if (c == '"' || c == '\'') {
            const char quote = c;
            for (++pos_;; ++pos_) {
                if (!Byte(c)) return Got::kEnd;
                if (c == quote) {
                    ++pos_;
                    return Got::kAttribute;
                }
                a.value += AsciiLower(c);
            }
        }
        if (c == '>') return Got::kAttribute;
        for (;; ++pos_) {
            if (!Byte(c)) return Got::kEnd;
            if (IsHtmlWhitespace(c) || c == '>') return Got::kAttribute;
            a.value += AsciiLower(c);
        }
    }

    std::string_view b_;
    size_t pos_ = 0;
};

}  // namespace

std::string_view PrescanCharset(std::string_view html) {
    return Prescan(html.substr(0, kPrescanBytes)).Run();
}

}  // namespace platform
