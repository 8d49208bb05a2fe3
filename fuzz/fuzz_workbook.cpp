// Workbooks from arbitrary bytes: the first byte chooses what the rest is.
//   0: the whole file (a zip, a compound file, anything);
//   1: an .xlsx whose sheet, shared strings and styles are the rest's
//      pieces (cut at \x01), so that the XML itself is mutated;
//   2: an .ods whose tables are the rest;
//   3: a number format code and a number to show through it.
// The reader must refuse or read within its bounds; what it reads is valid
// UTF-8 text of at most 501 fields a line, and a table loads from it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "BookMaker.h"
#include "Require.h"
#include "RecordingSink.h"
#include "data/CellFormat.h"
#include "data/CsvTable.h"
#include "data/Workbook.h"
#include "platform/TextEncoding.h"

namespace {

std::vector<std::string> Pieces(std::string_view rest, size_t count) {
    std::vector<std::string> pieces;
    for (size_t i = 0; i < count; ++i) {
        const size_t cut = i + 1 < count ? rest.find('\x01') : std::string_view::npos;
        pieces.emplace_back(rest.substr(0, cut));
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
    }
    return pieces;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::string bytes;
    switch (data[0] % 4) {
        case 0: bytes = rest; break;
        case 1: {
            const std::vector<std::string> p = Pieces(rest, 3);
            // Stored, not deflated: the time goes to the reader.
            bytes = testbook::Zip(testbook::Xlsx{.sheets = {{"s", p[0]}}, .sharedStrings = p[1], .styles = p[2]}.Members(),
                                  false);
            break;
        }
        case 2: bytes = testbook::Ods(std::string(rest)); break;
        default: {
            double x = 0;
            const size_t n = std::min(rest.size(), sizeof x);
            std::memcpy(&x, rest.data(), n);
            const data::CellFormat format(rest.substr(n));
            const std::string shown = format.Number(x) + format.Text("t");
            Require(platform::IsValidUtf8(shown) || !platform::IsValidUtf8(rest.substr(n)));
            return 0;
        }
    }
    const data::WorkbookRead read = data::ReadWorkbook(bytes, "");
    if (read.status == data::WorkbookRead::Status::kRead) {
        Require(platform::IsValidUtf8(read.text.View()));
        Require(read.text.Size() == 0 || read.text.View().back() == '\n');
        Require(read.unknownFormats >= 0 && read.formulasWithoutValue >= 0);
    } else {
        Require(read.text.Size() == 0);
    }
    testutil::RecordingSink sink;
    CCsvTable table = CCsvTable::FromBytes(bytes);
    const bool loaded = table.Load(sink) != nullptr;
    Require(loaded == (read.status == data::WorkbookRead::Status::kRead) ||
            data::KindOfSource(bytes) == data::SourceKind::kText);
    Require(table.RecordCount() <= kMaxRecords);
    for (int r = 0; r < table.RecordCount(); ++r) Require(table.GetRecord(r)->FieldCount() <= kMaxFields);
    return 0;
}
