#include "data/CsvTable.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "data/TextScan.h"
#include "platform/Memory.h"
#include "platform/Prompter.h"
#include "platform/StrFormat.h"
#include "platform/Texts.h"

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

CCsvTable::CCsvTable(std::string_view path) : stream_(platform::OpenFile(path, "rb")) {}

CCsvTable CCsvTable::FromBytes(std::string bytes) {
    CCsvTable t;
    t.fromMemory_ = true;
    t.memoryBytes_ = std::move(bytes);
    return t;
}

const char* CCsvTable::Load(platform::Prompter& prompter, size_t fieldLimit) {
    if (!IsOpen()) return nullptr;
    records_.clear();
    widths_.fill(0);
    const platform::ReadStatus read = stream_ ? platform::ReadAll(stream_.get(), text_)
                                      : text_.Assign(memoryBytes_) ? platform::ReadStatus::kRead
                                                                   : platform::ReadStatus::kNoMemory;
    if (read != platform::ReadStatus::kRead) {
        text_.Resize(0);
        prompter.Information(kWarningCaption, read == platform::ReadStatus::kNoMemory
                                                  ? platform::kNoMemoryText
                                                  : "ファイルが読めません．");
        return nullptr;
    }
    if (text_.Size() == 0) {
        prompter.Information(kWarningCaption, "ファイルが空です．");
        return text_.Data();
    }
    text_.Shrink(RewriteContinuations(text_.Data(), text_.Size()));
    if (!Parse(prompter, fieldLimit)) {
        records_.clear();
        widths_.fill(0);
        prompter.Information(kWarningCaption, platform::kNoMemoryText);
        return nullptr;
    }
    return text_.Data();
}

size_t CCsvTable::RewriteContinuations(char* d, size_t size) {
    // Most files hold no continuation at all: leave them untouched.
    if (std::string_view(d, size).find("\\\r\n") == std::string_view::npos) return size;
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
    return w;
}

bool CCsvTable::Parse(platform::Prompter& prompter, size_t fieldLimit) {
    const size_t size = std::strlen(text_.Data());  // a NUL ends the data
    const bool hasNul = size != text_.Size();

    int fieldOverflowRecord = 0;  // first record (from 1) with more than 500 fields
    bool recordsDropped = false;
    bool quoteError = false;
    bool unclosedQuote = false;  // the text ended inside a quoted field
    bool tooLong = false;        // a field too long for the table's format
    bool endedAtLf = true;  // whether the text ended with no record in progress

    // The parse works on a copy of the text, which becomes the values: each
    // value is ended in place by a NUL over the byte that ends its field (or
    // one in front of it), and quotes are collapsed within the field's own
    // bytes. Every write lands at or before the byte that ended the field,
    // never where the scan has yet to go.
    values_.reset(new (std::nothrow) char[size + 1]);
    if (!values_) return false;
    platform::AdviseHugePages(values_.get(), size + 1);
    std::memcpy(values_.get(), text_.Data(), size);
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
    fieldStore_.reset(new (std::nothrow) CCsvRecord::Field[fieldCapacity]);
    if (!fieldStore_) return false;
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
                    if (p == end) {
                        // Unclosed: the rest of the text would be one
                        // field. A lone quote as the last byte is an
                        // absent field.
                        unclosedQuote = end - s > 1;
                        break;
                    }
                    if (p + 1 < end && p[1] == '"') {
                        p += 2;
                    } else {
                        ++p;
                        break;
                    }
                }
                if (unclosedQuote) break;
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
            ptrdiff_t raw = p - s;
            if (atLf && p > s && p[-1] == '\r') --raw;
            char* value = s;
            if (quoted) {
                raw -= 2;
                value = s + 1;
            }
            // The table keeps a field's length in 31 bits and where it
            // starts in its record in 32.
            if ((raw > 0 && static_cast<size_t>(raw) > fieldLimit) ||
                static_cast<size_t>(p - recordValues) >= CCsvRecord::kAbsent) {
                tooLong = true;
                break;
            }
            const int length = raw < 0 ? 0 : static_cast<int>(raw);
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
        if (unclosedQuote && hasNul) break;  // the NUL's message tells it
        if (quoteError || unclosedQuote) {
            prompter.Information(kWarningCaption,
                                 StrFormat("%d 行目にダブルクォーテーション・エラーがあります．",
                                           RecordCount() + 1));
            quoteError = true;
            break;
        }
        if (tooLong) {
            prompter.Information(kWarningCaption,
                                 StrFormat("%d 行目のフィールドが長すぎるため，この行以降は読み込"
                                           "みませんでした．",
                                           RecordCount() + 1));
            break;
        }
    }

    // Data that was not read is never dropped silently.
    if (hasNul && !quoteError && !recordsDropped && !tooLong) {
        int line = endedAtLf || unclosedQuote ? RecordCount() + 1 : RecordCount();
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
    return true;
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
