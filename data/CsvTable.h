// The CSV source: a file in code page 932, UTF-8 or UTF-16, its fields
// separated by commas or tabs, read whole into records and fields, which
// keep the file's bytes (UTF-16 becomes UTF-8). Record 0 is the header row
// whose fields name the columns.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/FileSys.h"
#include "platform/Memory.h"
#include "platform/TextEncoding.h"
#include "diag/Diagnostic.h"

constexpr int kMaxRecords = 32000;
constexpr int kMaxFields = 500;
// The longest field the table can hold, in bytes of the file.
constexpr size_t kMaxFieldBytes = (size_t{1} << 31) - 1;

// Something that kept a load from reading all of its source, or a source
// with nothing in it. `record` counts records from 1.
struct CsvProblem {
    enum class Kind : unsigned char {
        kReadError,       // the source could not be read
        kNoMemory,        // the text or the table is too large for the memory to be had
        kEmptyFile,       // nothing to read
        kQuoteError,      // in `record`, which is not read, nor anything after it
        kFieldTooLong,    // likewise, a field longer than the load allows
        kNul,             // a NUL cuts the data from `record` on
        kTooManyRecords,  // `record` is the first record not read
        kTooManyFields,   // `record` is the first with fields past the 500th
        // A workbook: refused (nothing read) ...
        kBookPassword,
        kBookXls,
        kBookDamaged,
        // ... or read with `record` cells shown otherwise than stored.
        kBookUnknownFormat,    // `text`: the first format's code
        kBookFormulaNoValue,
    };
    Kind kind;
    int record = 0;
    std::string text = {};
};
// In the order the user is told of them.
using CsvLoadProblems = std::vector<CsvProblem>;

class CCsvRecord {
public:
    CCsvRecord() = default;
    CCsvRecord(CCsvRecord&&) = default;
    CCsvRecord& operator=(CCsvRecord&&) = default;

    int FieldCount() const { return count_; }

    // Field i, or null when absent or at/after the field count.
    const char* GetField(int i) const {
        return (i >= 0 && i < FieldCount() && fields_[i].offset != kAbsent)
                   ? base_ + fields_[i].offset
                   : nullptr;
    }
    // Field i with its length; empty where GetField gives null.
    std::string_view FieldView(int i) const {
        if (i < 0 || i >= FieldCount() || fields_[i].offset == kAbsent) return {};
        return {base_ + fields_[i].offset, fields_[i].length};
    }
    // Whether field i holds a line feed.
    bool FieldHasLineFeed(int i) const { return i >= 0 && i < FieldCount() && fields_[i].lineFeed; }

    // Two adjacent double quotes become one, left to right ("" -> ",
    // """" -> "", """ -> ""), in place.
    static void CollapseQuotes(char* s);

private:
    friend class CCsvTable;

    // A field: where its NUL-terminated text starts, counted from the
    // record's first value (kAbsent for an absent field), and its length.
    struct Field {
        uint32_t offset;
        uint32_t length : 31;
        uint32_t lineFeed : 1;
    };
    static constexpr uint32_t kAbsent = UINT32_MAX;
    // Ends the `length` bytes at base + offset with a NUL in place,
    // collapsing doubled quotes in a quoted value, and describes them.
    static Field EndValue(char* base, size_t offset, size_t length, bool quoted,
                          bool mayHoldLineFeed);

    // count_ fields from fields_ on, their values from base_ on, all in the
    // storage of the table the record belongs to.
    const char* base_ = nullptr;
    const Field* fields_ = nullptr;
    int count_ = 0;
};

class CCsvTable {
public:
    // Opens the file for reading; whether that worked is IsOpen().
    explicit CCsvTable(std::string_view path);
    // A table that reads `bytes` instead of a file (always open).
    static CCsvTable FromBytes(std::string bytes);

    CCsvTable(CCsvTable&&) = default;
    CCsvTable& operator=(CCsvTable&&) = default;

    bool IsOpen() const {
        const platform::FilePtr* file = std::get_if<platform::FilePtr>(&source_);
        return !file || *file;
    }

    // The encoding the next Load reads the source in: found out (kAuto,
    // the default) or as given.
    void SetEncodingChoice(platform::EncodingChoice choice) { choice_ = choice; }
    // What separates the fields for the next Load: found out (kAuto, the
    // default: a tab for UTF-16, else as FindSeparator finds) or as given.
    void SetSeparatorChoice(platform::SeparatorChoice choice) { separatorChoice_ = choice; }
    // The separator the last Load took: ',' or '\t'.
    char Separator() const { return separator_; }
    // Whether the last Load read UTF-16 (into UTF-8 values).
    bool SourceIsUtf16() const { return sourceUtf16_; }
    // The encoding of the values, as the last Load took it.
    platform::TextEncoding Encoding() const { return encoding_; }
    // What the last Load found the source to be in, whatever was chosen.
    platform::TextEncoding DetectedEncoding() const { return detected_; }
    // The sheet the next Load reads from a workbook (the first when empty).
    void SetSheet(std::string sheet) { sheet_ = std::move(sheet); }
    // Whether the last Load read a workbook (or refused one); its sheets'
    // names and the one read.
    bool IsWorkbook() const { return workbook_; }
    const std::vector<std::string>& SheetNames() const { return sheets_; }
    const std::string& SheetRead() const { return sheetRead_; }
    // Whether every value is valid UTF-8 (never for code page 932): values
    // that are can go into a UTF-8 site as they are.
    bool ValidUtf8() const { return validUtf8_; }

    // Reads and parses the whole source once. Problems are reported to
    // `sink`, in order, and the records read so far are kept; a field longer than
    // `fieldLimit` bytes ends the load there. Returns the text read (after
    // continuations were rewritten), or null when nothing is open or the
    // file could not be read (too large for the memory to be had, say),
    // which leaves no record.
    const char* Load(diag::Sink& sink, size_t fieldLimit = kMaxFieldBytes);

    int RecordCount() const { return static_cast<int>(records_.size()); }
    // Record i, or null when there is no such record.
    const CCsvRecord* GetRecord(int i) const {
        return (i >= 0 && i < RecordCount()) ? &records_[i] : nullptr;
    }
    // Per column, the widest raw field in display columns, which for code
    // page 932 is its length in bytes (quotes around a field not counted,
    // doubled quotes counted twice).
    const std::array<int, kMaxFields>& ColumnWidths() const { return widths_; }

    // Position of the first header field equal to name, or -1; -1 for a null
    // or empty name and for a table without records.
    int FieldIndex(const char* name) const;

    // Every backslash-CR-LF that is not part of a two-byte character of
    // code page 932 (with `leadBytes`) becomes LF, in one left-to-right pass
    // over the `size` bytes at `text`; returns the new size.
    static size_t RewriteContinuations(char* text, size_t size, bool leadBytes = true);

private:
    CCsvTable() = default;

    // How the parse of one record ended: stored, or why the load stops there.
    enum class RecordStop : unsigned char { kStored, kQuoteError, kUnclosedQuote, kFieldTooLong };
    struct ParseState;

    // The whole source into text_, whether it is a file or bytes.
    platform::ReadStatus ReadSource();
    // Reads the source and parses it, keeping what can be read; tells what
    // went wrong. Says nothing to the user.
    CsvLoadProblems Read(size_t fieldLimit);
    // A workbook's sheet read into text_ and parsed.
    CsvLoadProblems ReadWorkbook(size_t fieldLimit);
    // False when the memory for the table cannot be had.
    bool Parse(size_t fieldLimit, CsvLoadProblems& problems);
    // Copies the text into values_ and makes room for every record and field.
    bool AllocateStorage(size_t size, ParseState& state);
    template <bool kLeadBytes, char kSeparator>
    RecordStop ParseRecord(ParseState& state);
    // The record of `count` fields whose values start at `values`.
    void AddRecord(ParseState& state, const char* values, int count, bool overflow);

    // An open file (null when it could not be opened) or the bytes to read.
    std::variant<platform::FilePtr, std::string> source_;
    std::string path_;  // of the source file, when it is one
    std::vector<CCsvRecord> records_;
    std::array<int, kMaxFields> widths_{};
    platform::EncodingChoice choice_ = platform::EncodingChoice::kAuto;
    platform::SeparatorChoice separatorChoice_ = platform::SeparatorChoice::kAuto;
    char separator_ = ',';
    bool sourceUtf16_ = false;
    std::string sheet_;
    bool workbook_ = false;
    std::vector<std::string> sheets_;
    std::string sheetRead_;
    platform::TextEncoding encoding_ = platform::TextEncoding::kCp932;
    platform::TextEncoding detected_ = platform::TextEncoding::kCp932;
    bool validUtf8_ = false;
    platform::ByteBuffer text_;
    // Every stored value of every record, one after another, and every
    // record's fields, one record after another; the records point into
    // them.
    std::unique_ptr<char[]> values_;
    std::unique_ptr<CCsvRecord::Field[]> fieldStore_;
};

// The CSV file at `path` opened, to be read in `choice`'s encoding with
// `separator`'s fields; null, and said to `sink`, when no file is named or
// none can be opened there.
std::unique_ptr<CCsvTable> OpenCsvFile(const std::string& path, platform::EncodingChoice choice,
                                       platform::SeparatorChoice separator, diag::Sink& sink);
