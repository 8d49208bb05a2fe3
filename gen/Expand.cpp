#include "gen/Expand.h"

#include <cstring>
#include <string>
#include <string_view>

#include "data/CsvTable.h"
#include "data/TextScan.h"

CompiledTemplate::CompiledTemplate(const CCsvTable& table, const char* text, bool strip)
    : text_(text ? text : "") {
    if (strip) {
        StripHtmlFrame(text_.data());
        text_.resize(std::strlen(text_.c_str()));
    }
    const char* const base = text_.c_str();
    const char* cur = base;
    size_t literal = 0;  // start of the literal run in progress
    std::string name;
    while (*cur) {
        const char* open = FindCharMb(cur, '[');
        const char* close = open ? FindCharMb(open + 1, ']') : nullptr;
        if (!close) break;  // the rest, an unclosed "[" included, is literal
        name.assign(open + 1, close);
        const int column = table.FieldIndex(name.c_str());
        if (column >= 0) {
            pieces_.push_back({literal, static_cast<size_t>(open - base) - literal, column});
            literal = static_cast<size_t>(close + 1 - base);
        }
        // An unknown name stays in the literal run, brackets and all.
        cur = close + 1;
    }
    pieces_.push_back({literal, text_.size() - literal, -1});
    for (const Piece& piece : pieces_) literalBytes_ += piece.length;
}

void CompiledTemplate::Write(const CCsvTable& table, int record, std::string& out) const {
    const CCsvRecord* rec = table.GetRecord(record);
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
