#include "data/CsvTable.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "data/TextScan.h"
#include "platform/Memory.h"
#include "platform/Prompter.h"
#include "platform/StrFormat.h"

using platform::StrFormat;

// ---------------------------------------------------------------- CCsvRecord

void CCsvRecord::AddField(int length, const char* value) {
    if (FieldCount() >= kMaxFields) return;
    if (!value || *value == '\0') {
        ownFields_.push_back({kAbsent, 0, 0});
    } else {
        const size_t limit = static_cast<size_t>(std::max(length, 0));
        const void* nul = std::memchr(value, '\0', limit);
        const size_t n = nul ? static_cast<size_t>(static_cast<const char*>(nul) - value) : limit;
        const size_t start = ownValues_.size();
        ownValues_.resize(start + n + 1);
        const size_t stored = StoreValue(ownValues_.data() + start, value, n, true);
        ownValues_.resize(start + stored);
        ownFields_.push_back(MakeField(ownValues_.data(), start, stored, true));
    }
    base_ = ownValues_.data();
    fields_ = ownFields_.data();
    count_ = static_cast<int>(ownFields_.size());
}

CCsvRecord::Field CCsvRecord::MakeField(const char* base, size_t offset, size_t stored,
                                        bool mayHoldLineFeed) {
    const size_t length = stored - 1;
    const bool lineFeed = mayHoldLineFeed && std::memchr(base + offset, '\n', length) != nullptr;
    return {static_cast<uint32_t>(offset), static_cast<uint32_t>(length), lineFeed ? 1u : 0u};
}

size_t CCsvRecord::StoreValue(char* dest, const char* value, size_t n, bool collapse) {
    std::memcpy(dest, value, n);
    dest[n] = '\0';
    if (!collapse || !std::memchr(dest, '"', n)) return n + 1;
    CollapseQuotes(dest);
    return std::strlen(dest) + 1;
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

// ----------------------------------------------------------------- CCsvTable

CCsvTable::CCsvTable(std::string_view path)
    : stream_(platform::OpenFile(path, "rb")), path_(path) {}

CCsvTable CCsvTable::FromBytes(std::string bytes) {
    CCsvTable t;
    t.fromMemory_ = true;
    t.text_ = std::move(bytes);
    return t;
}

const char* CCsvTable::Load(platform::Prompter& prompter) {
    if (!IsOpen()) return nullptr;
    if (stream_) {
        // Straight into the text when the size is known; a file that is no
        // regular file, or grows meanwhile, is read on in pieces.
        text_.clear();
        std::rewind(stream_.get());
        struct stat st {};
        if (::fstat(fileno(stream_.get()), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
            text_.reserve(static_cast<size_t>(st.st_size));
            platform::AdviseHugePages(text_.data(), text_.capacity());
            text_.resize(static_cast<size_t>(st.st_size));
            text_.resize(std::fread(text_.data(), 1, text_.size(), stream_.get()));
        }
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
    const size_t size = std::strlen(text_.c_str());  // a NUL ends the data
    const bool hasNul = size != text_.size();

    int fieldOverflowRecord = 0;  // first record (from 1) with more than 500 fields
    bool recordsDropped = false;
    bool quoteError = false;
    bool endedAtLf = true;  // whether the text ended with no record in progress

    // The parse works on a copy of the text, which becomes the values: each
    // value is ended in place by a NUL over the byte that ends its field (or
    // one in front of it), and quotes are collapsed within the field's own
    // bytes. Every write lands at or before the byte that ended the field,
    // never where the scan has yet to go.
    values_ = std::make_unique_for_overwrite<char[]>(size + 1);
    platform::AdviseHugePages(values_.get(), size + 1);
    std::memcpy(values_.get(), text_.data(), size);
    values_[size] = '\0';
    char* const base = values_.get();
    char* const end = base + size;

    // Room for every record and field up front: a field ends at a comma, an
    // LF or the end of the text.
    size_t lines = 1, commas = 0;
    for (const char* p = base; p < end; ++p) {
        lines += *p == '\n';
        commas += *p == ',';
    }
    records_.reserve(std::min<size_t>(lines, kMaxRecords));
    const size_t fieldCapacity = lines + commas;
    fieldStore_ = std::make_unique_for_overwrite<CCsvRecord::Field[]>(fieldCapacity);
    platform::AdviseHugePages(fieldStore_.get(), fieldCapacity * sizeof(CCsvRecord::Field));
    size_t fieldsUsed = 0;

    char* cur = base;
    while (cur < end) {
        if (RecordCount() >= kMaxRecords) {
            recordsDropped = true;
            break;
        }
        CCsvRecord::Field* const fields = fieldStore_.get() + fieldsUsed;  // of this record
        char* const recordValues = cur;
        int count = 0;
        bool overflow = false;
        char* s = cur;  // first byte of the field in progress
        for (;;) {
            const char* p = s;
            if (p < end && *p == '"') {
                ++p;  // in quotes up to the closing quote; "" stays inside
                for (;;) {
                    p = FindStopMb<'"'>(p, end);
                    if (p == end) break;
                    if (p + 1 < end && p[1] == '"') {
                        p += 2;
                    } else {
                        ++p;
                        break;
                    }
                }
            }
            // Unquoted, or after the closing quote, up to a comma or LF; a
            // quote there is an error.
            bool swallowed = false;  // a stop byte inside a character (bad text)
            p = FindStopMb<',', '\n', '"'>(p, end, &swallowed);
            quoteError = p < end && *p == '"';
            if (quoteError) break;

            // End the field at p: a comma, an LF or the end of the text.
            const bool atComma = p < end && *p == ',';
            const bool atLf = p < end && *p == '\n';
            const bool quoted = *s == '"';
            int length = static_cast<int>(p - s);
            if (atLf && p > s && p[-1] == '\r') --length;
            char* value = s;
            if (quoted) {
                length -= 2;
                value = s + 1;
            }
            if (length < 0) length = 0;
            if (count < kMaxFields) {
                if (fieldsUsed + static_cast<size_t>(count) >= fieldCapacity) std::abort();
                if (length > widths_[count]) widths_[count] = length;
                if (value == end) {
                    fields[count++] = {CCsvRecord::kAbsent, 0, 0};  // begins at the end of the text
                } else {
                    // value + length is at most p, and p at most end.
                    value[length] = '\0';
                    // Only a quoted field can hold doubled quotes, and a line
                    // feed only a quoted one or one whose line feed follows a
                    // lead byte.
                    size_t stored = static_cast<size_t>(length) + 1;
                    if (quoted && std::memchr(value, '"', static_cast<size_t>(length))) {
                        CCsvRecord::CollapseQuotes(value);
                        stored = std::strlen(value) + 1;
                    }
                    fields[count++] = CCsvRecord::MakeField(
                        recordValues, static_cast<size_t>(value - recordValues), stored,
                        quoted || swallowed);
                }
            } else {
                overflow = true;
            }

            if (atComma) {
                s = const_cast<char*>(p) + 1;
                continue;
            }
            // LF or end of the text: the record is complete.
            if (overflow && fieldOverflowRecord == 0) fieldOverflowRecord = RecordCount() + 1;
            CCsvRecord& rec = records_.emplace_back();
            rec.base_ = recordValues;
            rec.fields_ = fields;
            rec.count_ = count;
            fieldsUsed += static_cast<size_t>(count);
            if (p < end) {
                cur = const_cast<char*>(p) + 1;
                endedAtLf = true;
            } else {
                cur = end;
                endedAtLf = false;
            }
            break;
        }
        if (quoteError) {
            prompter.Information(kWarningCaption,
                                 StrFormat("%d 行目にダブルクォーテーション・エラーがあります．",
                                           RecordCount() + 1));
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
