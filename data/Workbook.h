// Workbooks as sources: an Office Open XML workbook (.xlsx) or an
// OpenDocument spreadsheet (.ods), told by its content, one sheet of it read
// into the text of a table, each cell as the spreadsheet shows it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/Memory.h"

namespace data {

// What a source's bytes are, by their first bytes and, for a zip, the
// parts it holds.
enum class SourceKind : unsigned char {
    kText,      // anything else: read as CSV
    kWorkbook,  // a zip: a workbook, or a damaged one
    kCompound,  // an OLE compound file: .xls, or a workbook with a password
};
SourceKind KindOfSource(std::string_view bytes);
// Whether the file at `path` is a workbook: a zip holding
// [Content_Types].xml that names a workbook, an OpenDocument spreadsheet,
// or a compound file holding an Excel or an encrypted workbook.
bool IsWorkbookFile(const std::string& path);

struct WorkbookRead {
    enum class Status : unsigned char {
        kRead,
        kDamaged,   // a damaged zip or XML, no such sheet, or past a bound
        kPassword,  // an encrypted workbook
        kXls,       // Excel 97-2003
        kNoMemory,
    };
    Status status = Status::kDamaged;
    // Every sheet's name, in the workbook's order, and the one read.
    std::vector<std::string> sheets = {};
    std::string sheet = {};
    // The sheet as UTF-8 text: a line per row from row 1, fields separated
    // by tabs, a field holding a tab, a quote or a line feed in quotes
    // (quotes doubled). Every row has the fields up to the last column
    // holding a value; a row with values past the 500th field and a row
    // past the 32000th with a value come along, for the table's limits to
    // tell.
    platform::ByteBuffer text = {};
    // Number cells whose format this reader does not show (shown in the
    // General format), and the first such format's code.
    int unknownFormats = 0;
    std::string firstUnknownFormat = {};
    // Formula cells without a stored value (read as empty).
    int formulasWithoutValue = 0;
};

// Reads the sheet named `sheet` (the first when empty) of the workbook or
// compound file in `bytes`.
WorkbookRead ReadWorkbook(std::string_view bytes, std::string_view sheet);

}  // namespace data
