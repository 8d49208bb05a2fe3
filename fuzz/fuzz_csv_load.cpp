// Arbitrary bytes as a CSV file: the reader must keep every record it can,
// never read or write out of bounds, and keep its own limits. The bytes are
// read from memory and, as the window reads them, from a file. The field
// scanner also walks the raw bytes, NULs and all.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Require.h"
#include "data/CsvScan.h"
#include "data/CsvTable.h"
#include "data/Workbook.h"
#include "RecordingSink.h"
#include "platform/TextEncoding.h"

namespace {

// The table as plain values, absent fields marked apart from empty ones.
std::vector<std::vector<std::string>> Contents(const CCsvTable& table) {
    std::vector<std::vector<std::string>> out;
    for (int r = 0; r < table.RecordCount(); ++r) {
        const CCsvRecord* rec = table.GetRecord(r);
        auto& fields = out.emplace_back();
        for (int i = 0; i < rec->FieldCount(); ++i) {
            const char* f = rec->GetField(i);
            fields.push_back(f ? "=" + std::string(f) : "absent");
            Require(rec->FieldView(i) == (f ? std::string_view(f) : std::string_view()));
            Require(rec->FieldHasLineFeed(i) == (f && std::strchr(f, '\n')));
        }
    }
    return out;
}

// Field after field from the start of the bytes: each ends inside them, at
// the byte its kind names, read as code page 932 or as UTF-8.
template <bool kLeadBytes>
void WalkFields(const char* text, const char* end) {
    for (const char* field = text; field <= end;) {
        const CsvFieldScan scan = ScanCsvField<kLeadBytes>(field, end);
        Require(scan.length <= static_cast<size_t>(end - field));
        const char* stop = field + scan.length;
        switch (scan.kind) {
            case CsvFieldEnd::kSeparator:
                Require(*stop == ',');
                break;
            case CsvFieldEnd::kLineFeed:
                Require(*stop == '\n');
                break;
            case CsvFieldEnd::kQuoteError:
                Require(*stop == '"');
                return;
            case CsvFieldEnd::kUnclosedQuote:
                Require(*field == '"' && stop == end && scan.length > 1);
                return;
            case CsvFieldEnd::kEndOfText:
                Require(stop == end);
                return;
        }
        field = stop + 1;
    }
}

// A file in memory, rewritten for each input; its path is /proc/self/fd/N.
int InputFile() {
    static const int fd = memfd_create("quolix-fuzz-csv", 0);
    if (fd < 0) std::abort();
    return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* const bytes = reinterpret_cast<const char*>(data);
    WalkFields<true>(bytes, bytes + size);
    WalkFields<false>(bytes, bytes + size);

    // A workbook may be refused; fuzz_workbook reads those.
    if (data::KindOfSource({bytes, size}) != data::SourceKind::kText) return 0;
    testutil::RecordingSink prompter;
    CCsvTable table = CCsvTable::FromBytes(std::string(bytes, size));
    Require(table.IsOpen());
    const char* text = table.Load(prompter);
    Require(text != nullptr);

    Require(table.RecordCount() <= kMaxRecords);
    Require(table.GetRecord(-1) == nullptr && table.GetRecord(table.RecordCount()) == nullptr);
    const auto& widths = table.ColumnWidths();
    for (int r = 0; r < table.RecordCount(); ++r) {
        const CCsvRecord* rec = table.GetRecord(r);
        Require(rec != nullptr);
        Require(rec->FieldCount() >= 1 && rec->FieldCount() <= kMaxFields);
        Require(rec->GetField(rec->FieldCount()) == nullptr);
        for (int i = 0; i < rec->FieldCount(); ++i) {
            const char* f = rec->GetField(i);
            if (!f) continue;
            // A stored value is never wider than its column's widest raw field.
            Require(platform::DisplayWidth(f, table.Encoding()) <= static_cast<size_t>(widths[i]));
        }
    }
    // Every header name but the empty one finds a column of that name.
    if (const CCsvRecord* header = table.GetRecord(0)) {
        for (int i = 0; i < header->FieldCount(); ++i) {
            const char* name = header->GetField(i);
            const int at = table.FieldIndex(name);
            if (!name || !*name) {
                Require(at == -1);
                continue;
            }
            Require(at >= 0 && at <= i && std::strcmp(header->GetField(at), name) == 0);
        }
    }
    // Every message is a warning box.
    for (const diag::Diagnostic& d : prompter.diagnostics)
        Require(diag::SeverityOf(d.code) == diag::Severity::kWarning);

    // The same bytes as a file give the same table and the same messages.
    const int fd = InputFile();
    Require(ftruncate(fd, 0) == 0);
    Require(size == 0 || pwrite(fd, data, size, 0) == static_cast<ssize_t>(size));
    CCsvTable fromFile("/proc/self/fd/" + std::to_string(fd));
    Require(fromFile.IsOpen());
    testutil::RecordingSink filePrompter;
    Require(fromFile.Load(filePrompter) != nullptr);
    Require(Contents(fromFile) == Contents(table));
    Require(fromFile.ColumnWidths() == widths);
    Require(filePrompter.diagnostics == prompter.diagnostics);
    return 0;
}
