#include "data/CsvTable.h"

#include <cstring>

#include "data/TextScan.h"
#include "platform/Prompter.h"
#include "platform/StrFormat.h"

using platform::StrFormat;

// ---------------------------------------------------------------- CCsvRecord

void CCsvRecord::AddField(int length, const char* value) {
    if (FieldCount() >= kMaxFields) return;
    if (!value || *value == '\0') {
        offsets_.push_back(-1);
        return;
    }
    if (length < 0) length = 0;
    const size_t start = data_.size();
    const void* nul = std::memchr(value, '\0', static_cast<size_t>(length));
    size_t n = nul ? static_cast<size_t>(static_cast<const char*>(nul) - value)
                   : static_cast<size_t>(length);
    data_.append(value, n);
    data_.push_back('\0');
    CollapseQuotes(data_.data() + start);
    // Collapsing only shortens; the bytes after the new terminator up to the
    // old one are dead, trim them so that the next field starts right after.
    data_.resize(start + std::strlen(data_.data() + start) + 1);
    offsets_.push_back(static_cast<int32_t>(start));
}

void CCsvRecord::CollapseQuotes(char* s) {
    if (!s) return;
    char* r = std::strstr(s, "\"\"");
    if (!r) return;
    char* w = r;
    while (*r) {
        char c = *r++;
        *w++ = c;
        if (c == '"' && *r == '"') ++r;
    }
    *w = '\0';
}

void CCsvRecord::ShrinkToFit() {
    data_.shrink_to_fit();
    offsets_.shrink_to_fit();
}

// ----------------------------------------------------------------- CCsvTable

CCsvTable::CCsvTable(std::string_view path) : stream_(platform::OpenFile(path, "rb")), path_(path) {}

CCsvTable CCsvTable::FromBytes(std::string bytes) {
    CCsvTable t;
    t.fromMemory_ = true;
    t.text_ = std::move(bytes);
    return t;
}

const char* CCsvTable::Load(platform::Prompter& prompter) {
    if (!IsOpen()) return nullptr;
    if (stream_) {
        text_.clear();
        std::rewind(stream_.get());
        char buf[1 << 16];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, stream_.get())) > 0) text_.append(buf, n);
    }
    records_.clear();
    widths_.fill(0);
    if (text_.empty()) {
        prompter.Information(kWarningCaption, "ファイルが空です．");
        return text_.c_str();
    }
    RewriteContinuations(text_);
    Parse(prompter);
    return text_.c_str();
}

void CCsvTable::RewriteContinuations(std::string& text) {
    // Most files hold no continuation at all: leave them untouched.
    if (text.find("\\\r\n") == std::string::npos) return;
    const size_t size = text.size();
    char* d = text.data();
    size_t r = 0, w = 0;
    while (r < size) {
        unsigned char c = static_cast<unsigned char>(d[r]);
        if (IsLeadByteValue(c) && r + 1 < size) {
            d[w++] = d[r++];
            d[w++] = d[r++];
        } else if (c == '\\' && r + 2 < size && d[r + 1] == '\r' && d[r + 2] == '\n') {
            d[w++] = '\n';
            r += 3;
        } else {
            d[w++] = d[r++];
        }
    }
    text.resize(w);
}

void CCsvTable::Parse(platform::Prompter& prompter) {
    const char* const base = text_.c_str();
    const char* const end = base + std::strlen(base);  // a NUL ends the data
    const bool hasNul = end != base + text_.size();

    int fieldOverflowRecord = 0;  // first record (from 1) with more than 500 fields
    bool recordsDropped = false;
    bool quoteError = false;
    bool endedAtLf = true;  // whether the text ended with no record in progress

    const char* cur = base;
    while (cur < end) {
        if (RecordCount() >= kMaxRecords) {
            recordsDropped = true;
            break;
        }
        CCsvRecord rec;
        bool overflow = false;
        const char* s = cur;  // first byte of the field in progress
        for (;;) {
            const char* p = s;
            if (p < end && *p == '"') {
                ++p;  // in quotes up to the closing quote
                while (p < end) {
                    if (IsLeadByteValue(static_cast<unsigned char>(*p))) {
                        p += (p + 1 < end) ? 2 : 1;
                    } else if (*p == '"') {
                        if (p + 1 < end && p[1] == '"') {
                            p += 2;
                        } else {
                            ++p;
                            break;
                        }
                    } else {
                        ++p;
                    }
                }
            }
            // Unquoted, or after the closing quote, up to a comma or LF.
            while (p < end) {
                unsigned char c = static_cast<unsigned char>(*p);
                if (IsLeadByteValue(c)) {
                    p += (p + 1 < end) ? 2 : 1;
                } else if (c == ',' || c == '\n') {
                    break;
                } else if (c == '"') {
                    quoteError = true;
                    break;
                } else {
                    ++p;
                }
            }
            if (quoteError) break;

            // End the field at p: a comma, an LF or the end of the text.
            const bool atLf = p < end && *p == '\n';
            int length = static_cast<int>(p - s);
            if (atLf && p > s && p[-1] == '\r') --length;
            const char* value = s;
            if (*s == '"') {
                length -= 2;
                value = s + 1;
            }
            if (length < 0) length = 0;
            const int pos = rec.FieldCount();
            if (pos < kMaxFields) {
                if (length > widths_[pos]) widths_[pos] = length;
            } else {
                overflow = true;
            }
            rec.AddField(length, value);

            if (p < end && *p == ',') {
                s = p + 1;
                continue;
            }
            // LF or end of the text: the record is complete.
            rec.ShrinkToFit();
            if (overflow && fieldOverflowRecord == 0) fieldOverflowRecord = RecordCount() + 1;
            records_.push_back(std::move(rec));
            if (p < end) {
                cur = p + 1;
                endedAtLf = true;
            } else {
                cur = end;
                endedAtLf = false;
            }
            break;
        }
        if (quoteError) {
            prompter.Information(
                kWarningCaption,
                StrFormat("%d 行目にダブルクォーテーション・エラーがあります．", RecordCount() + 1));
            break;
        }
    }

    // Data that was not read is never dropped silently.
    if (hasNul && !quoteError && !recordsDropped) {
        int line = endedAtLf ? RecordCount() + 1 : RecordCount();
        prompter.Information(
            kWarningCaption,
            StrFormat("%d 行目以降のデータは NUL 文字のため読み込みませんでした．", line));
    }
    if (recordsDropped) {
        prompter.Information(
            kWarningCaption,
            StrFormat("レコード数が 32000 を超えたため，%d 行目以降は読み込みませんでした．",
                      kMaxRecords + 1));
    }
    if (fieldOverflowRecord > 0) {
        prompter.Information(kWarningCaption,
                             StrFormat("%d 行目のフィールド数が 500 を超えたため，501 "
                                       "番目以降のフィールドは読み込みませんでした．",
                                       fieldOverflowRecord));
    }
}

int CCsvTable::FieldIndex(const char* name) const {
    if (!name || !*name || records_.empty()) return -1;
    const CCsvRecord& header = records_[0];
    const int n = header.FieldCount();
    for (int i = 0; i < n; ++i) {
        const char* f = header.GetField(i);
        if (f && TextEquals(f, name)) return i;
    }
    return -1;
}
