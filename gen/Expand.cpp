#include "gen/Expand.h"

#include <cstring>
#include <string>

#include "data/CsvTable.h"
#include "data/TextScan.h"

namespace {
inline void Put(FILE* out, const char* p, size_t n) {
    if (n) std::fwrite(p, 1, n, out);
}
}  // namespace

void ExpandTemplate(const CCsvTable& table, const char* text, int record, FILE* out, bool strip) {
    if (!out || !text || !*text) return;
    std::string copy(text);
    if (strip) StripHtmlFrame(copy.data());
    const CCsvRecord* rec = table.GetRecord(record);
    const char* cur = copy.c_str();
    std::string name;
    while (*cur) {
        const char* open = FindCharMb(cur, '[');
        if (!open) {
            Put(out, cur, std::strlen(cur));
            return;
        }
        const char* close = FindCharMb(open + 1, ']');
        if (!close) {
            Put(out, cur, std::strlen(cur));
            return;
        }
        Put(out, cur, static_cast<size_t>(open - cur));
        name.assign(open + 1, close);
        const int column = table.FieldIndex(name.c_str());
        if (column >= 0) {
            WriteFieldText(out, rec ? rec->GetField(column) : nullptr);
        } else {
            Put(out, open, static_cast<size_t>(close - open) + 1);
        }
        cur = close + 1;
    }
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

void WriteFieldText(FILE* out, const char* value) {
    if (!out || !value || !*value) return;
    const char* p = value;
    while (const char* lf = std::strchr(p, '\n')) {
        Put(out, p, static_cast<size_t>(lf - p));
        Put(out, "<br>", 4);
        p = lf + 1;
    }
    Put(out, p, std::strlen(p));
}
