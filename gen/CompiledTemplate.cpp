#include "gen/CompiledTemplate.h"

#include <cstring>
#include <string>
#include <string_view>

#include "data/CsvTable.h"
#include "data/TextScan.h"

namespace {

// The header's names in the site's encoding, as placeholders spell them.
std::vector<std::string> HeaderNames(const CCsvTable& table, platform::TextEncoding site) {
    std::vector<std::string> names;
    const CCsvRecord* header = table.GetRecord(0);
    if (!header) return names;
    for (int i = 0; i < header->FieldCount(); ++i) {
        std::string& name = names.emplace_back();
        if (header->GetField(i))
            platform::AppendForSite(name, header->FieldView(i), table.Encoding(), site);
    }
    return names;
}

int ColumnNamed(const std::vector<std::string>& names, std::string_view name) {
    if (name.empty()) return -1;
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == name) return static_cast<int>(i);
    return -1;
}

}  // namespace

CompiledTemplate::CompiledTemplate(const CCsvTable& table, const char* text, bool strip,
                                   platform::TextEncoding site)
    : text_(text ? text : ""),
      from_(table.Encoding()),
      site_(site),
      copyValues_(from_ == site_ && (site_ == platform::TextEncoding::kCp932 || table.ValidUtf8())) {
    // In a UTF-8 site each piece of the text that is no character becomes
    // U+FFFD. It is marked by a byte that valid text never holds until the
    // frame is stripped, so that stripping cannot join two pieces into one
    // character; then the marks become U+FFFD, and where each went is noted.
    constexpr char kMark = '\xFF';
    const bool marked = site == platform::TextEncoding::kUtf8 && !platform::IsValidUtf8(text_);
    if (marked) {
        std::string text;
        platform::AppendReplacingBadUtf8(text, text_, std::string_view(&kMark, 1));
        text_ = std::move(text);
    }
    if (strip) {
        StripHtmlFrame(text_.data());
        text_.resize(std::strlen(text_.c_str()));
    }
    std::vector<size_t> replaced;  // where a U+FFFD stands for a bad piece
    if (marked) {
        std::string text;
        text.reserve(text_.size() + 16);
        for (char c : text_) {
            if (c != kMark) {
                text += c;
                continue;
            }
            replaced.push_back(text.size());
            text += platform::kReplacementCharacter;
        }
        text_ = std::move(text);
    }
    const char* const base = text_.c_str();
    const char* cur = base;
    size_t literal = 0;  // start of the literal run in progress
    const std::vector<std::string> names = HeaderNames(table, site);
    // In UTF-8 no bracket is ever part of a longer character.
    const bool leadBytes = site == platform::TextEncoding::kCp932;
    auto find = [leadBytes](const char* s, char c) -> const char* {
        return leadBytes ? FindCharMb(s, c) : std::strchr(s, c);
    };
    while (*cur) {
        const char* open = find(cur, '[');
        const char* close = open ? find(open + 1, ']') : nullptr;
        if (!close) break;  // the rest, an unclosed "[" included, is literal
        const int column =
            ColumnNamed(names, std::string_view(open + 1, static_cast<size_t>(close - open - 1)));
        if (column >= 0) {
            pieces_.push_back({literal, static_cast<size_t>(open - base) - literal, column});
            literal = static_cast<size_t>(close + 1 - base);
        }
        // An unknown name stays in the literal run, brackets and all.
        cur = close + 1;
    }
    pieces_.push_back({literal, text_.size() - literal, -1});
    for (const Piece& piece : pieces_) {
        literalBytes_ += piece.length;
        // A replacement inside a placeholder that became a value is not
        // written.
        for (size_t at : replaced)
            literalReplacements_ += at >= piece.offset && at < piece.offset + piece.length;
    }
}

platform::SiteCounts CompiledTemplate::WriteConverted(std::string_view value,
                                                     std::string& out) const {
    thread_local std::string converted;
    converted.clear();
    const platform::SiteCounts counts = platform::AppendForSite(converted, value, from_, site_);
    for (char c : converted) {
        if (c == '\n')
            out += "<br>";
        else
            out += c;
    }
    return counts;
}

platform::SiteCounts CompiledTemplate::Write(const CCsvTable& table, int record,
                                             std::string& out) const {
    const CCsvRecord* rec = table.GetRecord(record);
    platform::SiteCounts counts;
    counts.replacements = literalReplacements_;
    if (!copyValues_) {
        for (const Piece& piece : pieces_) {
            out.append(text_, piece.offset, piece.length);
            if (piece.column >= 0 && rec) counts += WriteConverted(rec->FieldView(piece.column), out);
        }
        return counts;
    }
    // The page's size is bounded first (a line feed becomes four bytes), so
    // that the pieces are plain copies rather than one checked append each:
    // a wide template has hundreds of short values per page.
    size_t room = literalBytes_;
    if (rec) {
        for (const Piece& piece : pieces_)
            if (piece.column >= 0)
                room += rec->FieldView(piece.column).size() *
                        (rec->FieldHasLineFeed(piece.column) ? 4 : 1);
    }
    const size_t start = out.size();
    out.resize(start + room);
    char* p = out.data() + start;
    const char* const text = text_.data();
    for (const Piece& piece : pieces_) {
        std::memcpy(p, text + piece.offset, piece.length);
        p += piece.length;
        if (piece.column < 0 || !rec) continue;
        const std::string_view value = rec->FieldView(piece.column);
        if (value.empty()) continue;
        if (!rec->FieldHasLineFeed(piece.column)) {
            std::memcpy(p, value.data(), value.size());
            p += value.size();
            continue;
        }
        for (char c : value) {
            if (c == '\n') {
                std::memcpy(p, "<br>", 4);
                p += 4;
            } else {
                *p++ = c;
            }
        }
    }
    out.resize(static_cast<size_t>(p - out.data()));
    return counts;
}

char* StripHtmlFrame(char* text) {
    if (!text || !*text) return text;
    const size_t size = std::strlen(text);
    std::string out;
    out.reserve(size);
    size_t tagStart = 0;
    bool inTag = false;
    for (size_t i = 0; i < size; ++i) {
        const char c = text[i];
        if (!inTag) {
            if (c == '<') {
                inTag = true;
                tagStart = i + 1;
            } else {
                out.push_back(c);
            }
            continue;
        }
        if (c != '>') continue;
        inTag = false;
        const std::string_view tag(text + tagStart, i - tagStart);
        if (tag == "HTML" || tag == "html" || tag == "/HTML" || tag == "/html") {
            if (i + 1 < size && text[i + 1] == '\n') ++i;
        } else {
            out.push_back('<');
            out.append(tag);
            out.push_back('>');
        }
    }
    std::memcpy(text, out.c_str(), out.size() + 1);
    return text;
}
