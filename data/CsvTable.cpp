#include "data/CsvTable.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "data/CsvScan.h"
#include "data/TextScan.h"
#include "data/Workbook.h"
#include "platform/Memory.h"


// ---------------------------------------------------------------- CCsvRecord

// Inline: the parse calls it for every field.
inline CCsvRecord::Field CCsvRecord::EndValue(char* base, size_t offset, size_t length, bool quoted,
                                              bool mayHoldLineFeed) {
    char* const value = base + offset;
    value[length] = '\0';
    // Only a quoted field can hold doubled quotes.
    if (quoted && std::memchr(value, '"', length)) {
        CollapseQuotes(value);
        length = std::strlen(value);
    }
    const bool lineFeed = mayHoldLineFeed && std::memchr(value, '\n', length) != nullptr;
    return {static_cast<uint32_t>(offset), static_cast<uint32_t>(length), lineFeed ? 1u : 0u};
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

namespace {

// What the user is told of a problem: the kinds are the codes' order.
diag::Diagnostic DiagnosticOf(const CsvProblem& problem) {
    using diag::Code;
    using Kind = CsvProblem::Kind;
    switch (problem.kind) {
        case Kind::kReadError:
            return {.code = Code::kCsvReadError};
        case Kind::kNoMemory:
            return {.code = Code::kNoMemory};
        case Kind::kEmptyFile:
            return {.code = Code::kCsvEmpty};
        case Kind::kQuoteError:
            return {.code = Code::kCsvQuoteError, .number = problem.record};
        case Kind::kFieldTooLong:
            return {.code = Code::kCsvFieldTooLong, .number = problem.record};
        case Kind::kNul:
            return {.code = Code::kCsvNul, .number = problem.record};
        case Kind::kTooManyRecords:
            return {.code = Code::kCsvTooManyRecords, .number = problem.record};
        case Kind::kBookPassword:
            return {.code = Code::kBookPassword};
        case Kind::kBookXls:
            return {.code = Code::kBookXls};
        case Kind::kBookDamaged:
            return {.code = Code::kBookDamaged};
        case Kind::kBookUnknownFormat:
            return {.code = Code::kBookUnknownFormat, .number = problem.record, .name = problem.text};
        case Kind::kBookFormulaNoValue:
            return {.code = Code::kBookFormulaNoValue, .number = problem.record};
        case Kind::kTooManyFields:
            break;
    }
    return {.code = Code::kCsvTooManyFields, .number = problem.record};
}

// Where a field's value lies: after the opening quote when the field is
// quoted, and its raw length, which counts neither the quotes around it nor
// a CR before the LF that ends it (negative for a lone quote at the end of
// the text).
struct RawValue {
    char* start;
    ptrdiff_t raw;
    bool quoted;
};

RawValue ValueOf(char* field, const char* end, const CsvFieldScan& scan) {
    const bool quoted = field < end && *field == '"';
    ptrdiff_t raw = static_cast<ptrdiff_t>(scan.length);
    if (scan.kind == CsvFieldEnd::kLineFeed && raw > 0 && field[raw - 1] == '\r') --raw;
    if (quoted) return {field + 1, raw - 2, true};
    return {field, raw, false};
}

}  // namespace

CCsvTable::CCsvTable(std::string_view path) : source_(platform::OpenFile(path, "rb")), path_(path) {}

CCsvTable CCsvTable::FromBytes(std::string bytes) {
    CCsvTable t;
    t.source_ = std::move(bytes);
    return t;
}

const char* CCsvTable::Load(diag::Sink& sink, size_t fieldLimit) {
    if (!IsOpen()) return nullptr;
    const CsvLoadProblems problems = Read(fieldLimit);
    // The one place where the load's problems leave the table.
    for (const CsvProblem& problem : problems) sink.Report(DiagnosticOf(problem));
    const bool unread = std::any_of(problems.begin(), problems.end(), [](const CsvProblem& p) {
        using enum CsvProblem::Kind;
        return p.kind == kReadError || p.kind == kNoMemory || p.kind == kBookPassword || p.kind == kBookXls ||
               p.kind == kBookDamaged;
    });
    return unread ? nullptr : text_.Data();
}

platform::ReadStatus CCsvTable::ReadSource() {
    if (const platform::FilePtr* file = std::get_if<platform::FilePtr>(&source_))
        return platform::ReadAll(file->get(), text_);
    return text_.Assign(std::get<std::string>(source_)) ? platform::ReadStatus::kRead
                                                        : platform::ReadStatus::kNoMemory;
}

CsvLoadProblems CCsvTable::Read(size_t fieldLimit) {
    using Kind = CsvProblem::Kind;
    records_.clear();
    widths_.fill(0);
    validUtf8_ = false;
    const platform::ReadStatus read = ReadSource();
    if (read != platform::ReadStatus::kRead) {
        text_.Resize(0);
        return {{read == platform::ReadStatus::kNoMemory ? Kind::kNoMemory : Kind::kReadError}};
    }
    workbook_ = data::KindOfSource(text_.View()) != data::SourceKind::kText;
    sheets_.clear();
    sheetRead_.clear();
    if (workbook_) return ReadWorkbook(fieldLimit);
    const platform::DetectedText found = platform::DetectEncoding(text_.View(), platform::TextKind::kCsv);
    // A UTF-16 byte order mark says UTF-16, whatever was chosen.
    sourceUtf16_ = found.utf16 || choice_ == platform::EncodingChoice::kUtf16;
    if (sourceUtf16_) {
        const std::string_view bytes = text_.View();
        const bool bigEndian = bytes.starts_with("\xFE\xFF");
        const bool bom = bigEndian || bytes.starts_with("\xFF\xFE");
        if (!text_.Assign(platform::Utf16ToUtf8(bytes.substr(bom ? 2 : 0), bigEndian))) {
            text_.Resize(0);
            return {{Kind::kNoMemory}};
        }
        detected_ = encoding_ = platform::TextEncoding::kUtf8;
    } else {
        detected_ = found.encoding;
        encoding_ = platform::Resolve(choice_, found.encoding);
        // A byte order mark is no text: never part of the first column's
        // name, whichever encoding was chosen.
        text_.DropFront(found.bomLength);
    }
    const bool utf8 = encoding_ == platform::TextEncoding::kUtf8;
    if (text_.Size() == 0) return {{Kind::kEmptyFile}};
    // Detection has checked a file it found to be UTF-8; one with a byte
    // order mark, read as UTF-8 by choice or made from UTF-16, is checked
    // here. Values are pieces of the text cut at ASCII bytes, so they are
    // valid when it is, but for a quoted field whose last byte is no quote
    // (see ParseRecord).
    validUtf8_ = utf8 && ((!sourceUtf16_ && found.encoding == platform::TextEncoding::kUtf8 &&
                           found.bomLength == 0) ||
                          platform::IsValidUtf8(text_.View()));
    text_.Shrink(RewriteContinuations(text_.Data(), text_.Size(), !utf8));
    separator_ = separatorChoice_ == platform::SeparatorChoice::kTab     ? '\t'
                 : separatorChoice_ == platform::SeparatorChoice::kComma ? ','
                 : sourceUtf16_                                          ? '\t'
                       : FindSeparator(text_.Data(), text_.Data() + text_.Size(), !utf8);
    CsvLoadProblems problems;
    if (!Parse(fieldLimit, problems)) {
        records_.clear();
        widths_.fill(0);
        return {{Kind::kNoMemory}};
    }
    return problems;
}

CsvLoadProblems CCsvTable::ReadWorkbook(size_t fieldLimit) {
    using Kind = CsvProblem::Kind;
    using Status = data::WorkbookRead::Status;
    data::WorkbookRead book = data::ReadWorkbook(text_.View(), sheet_);
    sheets_ = std::move(book.sheets);
    sheetRead_ = std::move(book.sheet);
    // Its text is UTF-8 whatever was chosen, its fields separated by tabs.
    detected_ = encoding_ = platform::TextEncoding::kUtf8;
    sourceUtf16_ = false;
    separator_ = '\t';
    if (book.status != Status::kRead) {
        text_.Resize(0);
        return {{book.status == Status::kPassword ? Kind::kBookPassword
                 : book.status == Status::kXls    ? Kind::kBookXls
                 : book.status == Status::kNoMemory ? Kind::kNoMemory
                                                    : Kind::kBookDamaged}};
    }
    CsvLoadProblems problems;
    if (book.unknownFormats > 0)
        problems.push_back({Kind::kBookUnknownFormat, book.unknownFormats, book.firstUnknownFormat});
    if (book.formulasWithoutValue > 0) problems.push_back({Kind::kBookFormulaNoValue, book.formulasWithoutValue});
    text_ = std::move(book.text);
    if (text_.Size() == 0) {
        problems.push_back({Kind::kEmptyFile});
        return problems;
    }
    validUtf8_ = true;  // the parser's text, and the reader's own
    if (!Parse(fieldLimit, problems)) {
        records_.clear();
        widths_.fill(0);
        return {{Kind::kNoMemory}};
    }
    return problems;
}

size_t CCsvTable::RewriteContinuations(char* d, size_t size, bool leadBytes) {
    // Most files hold no continuation at all: leave them untouched.
    if (std::string_view(d, size).find("\\\r\n") == std::string_view::npos) return size;
    size_t r = 0, w = 0;
    while (r < size) {
        unsigned char c = static_cast<unsigned char>(d[r]);
        if (leadBytes && IsLeadByteValue(c) && r + 1 < size) {
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

// A parse in progress over the values' copy of the text.
struct CCsvTable::ParseState {
    char* next;       // where the next record starts
    const char* end;  // the end of the text, which a NUL ends
    size_t fieldLimit;
    size_t fieldCapacity = 0;  // slots in fieldStore_
    size_t fieldsUsed = 0;
    bool recordOpen = false;      // the last record ended at the end of the text, not at an LF
    int fieldOverflowRecord = 0;  // first record (from 1) with more than 500 fields
};

bool CCsvTable::Parse(size_t fieldLimit, CsvLoadProblems& problems) {
    using Kind = CsvProblem::Kind;
    const size_t size = std::strlen(text_.Data());  // a NUL ends the data
    const bool hasNul = size != text_.Size();
    ParseState state{.next = nullptr, .end = nullptr, .fieldLimit = fieldLimit};
    if (!AllocateStorage(size, state)) return false;

    RecordStop stop = RecordStop::kStored;
    bool tooManyRecords = false;
    while (state.next < state.end && stop == RecordStop::kStored) {
        tooManyRecords = RecordCount() >= kMaxRecords;
        if (tooManyRecords) break;
        const bool utf8 = encoding_ == platform::TextEncoding::kUtf8;
        if (separator_ == '\t')
            stop = utf8 ? ParseRecord<false, '\t'>(state) : ParseRecord<true, '\t'>(state);
        else
            stop = utf8 ? ParseRecord<false, ','>(state) : ParseRecord<true, ','>(state);
    }
    const int inProgress = RecordCount() + 1;
    switch (stop) {
        case RecordStop::kQuoteError:
            problems.push_back({Kind::kQuoteError, inProgress});
            break;
        case RecordStop::kUnclosedQuote:  // a NUL in the open quote is the cause
            problems.push_back({hasNul ? Kind::kNul : Kind::kQuoteError, inProgress});
            break;
        case RecordStop::kFieldTooLong:
            problems.push_back({Kind::kFieldTooLong, inProgress});
            break;
        case RecordStop::kStored:
            // Data that was not read is never dropped silently.
            if (tooManyRecords)
                problems.push_back({Kind::kTooManyRecords, kMaxRecords + 1});
            else if (hasNul)
                problems.push_back({Kind::kNul, state.recordOpen ? RecordCount() : inProgress});
            break;
    }
    if (state.fieldOverflowRecord > 0)
        problems.push_back({Kind::kTooManyFields, state.fieldOverflowRecord});
    return true;
}

// The parse works on a copy of the text, which becomes the values: each
// value is ended in place by a NUL over the byte that ends its field (or one
// in front of it), and quotes are collapsed within the field's own bytes.
// Every write lands at or before the byte that ended the field, never where
// the scan has yet to go.
bool CCsvTable::AllocateStorage(size_t size, ParseState& state) {
    values_.reset(new (std::nothrow) char[size + 1]);
    if (!values_) return false;
    platform::AdviseHugePages(values_.get(), size + 1);
    std::memcpy(values_.get(), text_.Data(), size);
    values_[size] = '\0';
    state.next = values_.get();
    state.end = values_.get() + size;

    // Room for every record and field up front: a field ends at a
    // separator, an LF or the end of the text.
    size_t lines = 1, separators = 0;
    const char separator = separator_;
    for (const char* p = state.next; p < state.end; ++p) {
        lines += *p == '\n';
        separators += *p == separator;
    }
    records_.reserve(std::min<size_t>(lines, kMaxRecords));
    state.fieldCapacity = lines + separators;
    fieldStore_.reset(new (std::nothrow) CCsvRecord::Field[state.fieldCapacity]);
    if (!fieldStore_) return false;
    platform::AdviseHugePages(fieldStore_.get(), state.fieldCapacity * sizeof(CCsvRecord::Field));
    return true;
}

template <bool kLeadBytes, char kSeparator>
CCsvTable::RecordStop CCsvTable::ParseRecord(ParseState& state) {
    // Locals, not the state: a write into the values, being of chars, would
    // make the compiler read the state again after every field.
    char* const recordValues = state.next;
    const char* const end = state.end;
    const size_t fieldLimit = state.fieldLimit;
    const size_t slotsLeft = state.fieldCapacity - state.fieldsUsed;
    CCsvRecord::Field* const fields = fieldStore_.get() + state.fieldsUsed;
    int count = 0;
    bool overflow = false;  // fields past the 500th were dropped
    for (char* start = recordValues;;) {
        const CsvFieldScan field = ScanCsvField<kLeadBytes, kSeparator>(start, end);
        if (field.kind == CsvFieldEnd::kQuoteError) return RecordStop::kQuoteError;
        if (field.kind == CsvFieldEnd::kUnclosedQuote) return RecordStop::kUnclosedQuote;
        char* const stop = start + field.length;
        const RawValue value = ValueOf(start, end, field);
        // A quoted field's last byte is taken for its closing quote; when text
        // follows that quote, the byte left out may end a character.
        if (value.quoted && value.raw >= 0 &&
            static_cast<unsigned char>(value.start[value.raw]) >= 0x80)
            validUtf8_ = false;
        // The table keeps a field's length in 31 bits and where it starts in
        // its record in 32.
        if ((value.raw > 0 && static_cast<size_t>(value.raw) > fieldLimit) ||
            static_cast<size_t>(stop - recordValues) >= CCsvRecord::kAbsent)
            return RecordStop::kFieldTooLong;
        const int length = value.raw < 0 ? 0 : static_cast<int>(value.raw);
        if (count < kMaxFields) {
            if (static_cast<size_t>(count) >= slotsLeft) std::abort();
            // A character takes no more columns than it has bytes: only a
            // value longer than the width so far can widen the column.
            if (length > widths_[count]) {
                const int width =
                    kLeadBytes ? length
                               : static_cast<int>(platform::DisplayWidth(
                                     std::string_view(value.start, static_cast<size_t>(length)),
                                     platform::TextEncoding::kUtf8));
                widths_[count] = std::max(widths_[count], width);
            }
            // A value that begins at the end of the text is absent; a line
            // feed can be only in a quoted field or after a lead byte.
            fields[count++] =
                value.start == end
                    ? CCsvRecord::Field{CCsvRecord::kAbsent, 0, 0}
                    : CCsvRecord::EndValue(recordValues,
                                           static_cast<size_t>(value.start - recordValues),
                                           static_cast<size_t>(length), value.quoted,
                                           value.quoted || field.swallowed);
        } else {
            overflow = true;
        }
        if (field.kind == CsvFieldEnd::kSeparator) {
            start = stop + 1;
            continue;
        }
        // An LF or the end of the text: the record is complete.
        AddRecord(state, recordValues, count, overflow);
        state.recordOpen = field.kind == CsvFieldEnd::kEndOfText;
        state.next = state.recordOpen ? stop : stop + 1;
        return RecordStop::kStored;
    }
}

void CCsvTable::AddRecord(ParseState& state, const char* values, int count, bool overflow) {
    if (overflow && state.fieldOverflowRecord == 0) state.fieldOverflowRecord = RecordCount() + 1;
    CCsvRecord& record = records_.emplace_back();
    record.base_ = values;
    record.fields_ = fieldStore_.get() + state.fieldsUsed;
    record.count_ = count;
    state.fieldsUsed += static_cast<size_t>(count);
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

std::unique_ptr<CCsvTable> OpenCsvFile(const std::string& path, platform::EncodingChoice choice,
                                       platform::SeparatorChoice separator, diag::Sink& sink) {
    if (path.empty()) {
        sink.Report({.code = diag::Code::kNoCsvPath});
        return nullptr;
    }
    auto table = std::make_unique<CCsvTable>(path);
    if (!table->IsOpen()) {
        sink.Report({.code = diag::Code::kCsvNotFound, .path = path});
        return nullptr;
    }
    table->SetEncodingChoice(choice);
    table->SetSeparatorChoice(separator);
    return table;
}
