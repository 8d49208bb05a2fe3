// Template expansion over a small table, as a run does it: the template
// compiled once, then written for the records. The input is
//   one flags byte, the table's value rows, a NUL, the template text.
// Flags: bit 0 strips the <html> frame; bit 1 puts the rows under a fixed
// header (otherwise the first row is the header); bits 2-3 pick the record,
// 3 being one past the last.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "Require.h"
#include "data/CsvTable.h"
#include "data/TextScan.h"
#include "gen/CompiledTemplate.h"
#include "RecordingSink.h"
#include "platform/TextEncoding.h"

namespace {

// Names as templates use them: plain, repeated, one whose second byte is "]"
// (0x81 0x5D), one in half-width katakana, and an empty one.
constexpr std::string_view kHeader = "id,name,note,name,\x81\x5D\x82\xA0,\xB6\xC5,,tag\r\n";

// The expansion written out plainly, one placeholder at a time: what the
// generator's pages must hold byte for byte.
std::string ReferenceExpansion(const CCsvTable& table, std::string text, int record, bool strip) {
    if (strip) StripHtmlFrame(text.data());
    const char* cur = text.c_str();
    const CCsvRecord* rec = table.GetRecord(record);
    // The template is in the table's encoding; in UTF-8 no bracket is part
    // of a longer character.
    const bool leadBytes = table.Encoding() == platform::TextEncoding::kCp932;
    auto find = [leadBytes](const char* s, char c) -> const char* {
        return leadBytes ? FindCharMb(s, c) : std::strchr(s, c);
    };
    std::string out;
    while (*cur) {
        const char* open = find(cur, '[');
        const char* close = open ? find(open + 1, ']') : nullptr;
        if (!close) break;
        out.append(cur, open);
        const std::string name(open + 1, close);
        const int column = table.FieldIndex(name.c_str());
        if (column < 0) {
            out.append(open, close + 1);
        } else if (const char* value = rec ? rec->GetField(column) : nullptr) {
            for (const char* v = value; *v; ++v) {
                if (*v == '\n')
                    out += "<br>";
                else
                    out += *v;
            }
        }
        cur = close + 1;
    }
    out += cur;
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const unsigned flags = data[0];
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const size_t nul = rest.find('\0');
    const std::string_view rows = rest.substr(0, nul);
    // The template is a C string: it ends at its next NUL.
    std::string_view tail = nul == std::string_view::npos ? std::string_view() : rest.substr(nul + 1);
    const std::string text(tail.substr(0, tail.find('\0')));
    const bool strip = flags & 1;

    std::string csv;
    if (flags & 2) csv = kHeader;
    csv.append(rows);
    testutil::RecordingSink prompter;
    CCsvTable table = CCsvTable::FromBytes(std::move(csv));
    // Found out, or either encoding as the user may choose it.
    table.SetEncodingChoice(static_cast<platform::EncodingChoice>((flags >> 4) % 3));
    table.Load(prompter);
    const int count = table.RecordCount();
    const int pick = static_cast<int>((flags >> 2) & 3);
    const int record = pick == 3 ? count : (count > 0 ? pick % count : 0);

    // Write appends; one compiled template serves every record of the run.
    const CompiledTemplate compiled(table, text.c_str(), strip, table.Encoding());
    // A UTF-8 page is always valid UTF-8; it is the plain expansion when
    // nothing had to be replaced.
    const bool utf8 = table.Encoding() == platform::TextEncoding::kUtf8;
    const bool plain = !utf8 || (table.ValidUtf8() && platform::IsValidUtf8(text));
    std::string page = "kept";
    compiled.Write(table, record, page);
    Require(page.compare(0, 4, "kept") == 0);
    Require(!plain ||
            page.compare(4, std::string::npos, ReferenceExpansion(table, text, record, strip)) == 0);
    for (int other = 0; other < count; ++other) {
        page.clear();
        const platform::SiteCounts counts = compiled.Write(table, other, page);
        Require(!plain || page == ReferenceExpansion(table, text, other, strip));
        Require(!utf8 || platform::IsValidUtf8(page));
        Require(!plain || counts.replacements == 0);
    }

    // Stripping the frame never lengthens the text.
    std::string copy = text;
    StripHtmlFrame(copy.data());
    Require(std::strlen(copy.c_str()) <= text.size());
    return 0;
}
