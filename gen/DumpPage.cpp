#include "gen/DumpPage.h"

#include "data/CsvTable.h"
#include "platform/OutputFile.h"
#include "platform/StrFormat.h"

void WriteDumpPage(const CCsvTable& table, platform::OutputFile& out) {
    if (!out.IsOpen()) return;
    std::string& text = out.Text();
    text +=
        "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"
        "</head><body><table border>\n";
    const int count = table.RecordCount();
    for (int i = 0; i < count; ++i) {
        const CCsvRecord* rec = table.GetRecord(i);
        text += "<tr><td>";
        platform::AppendPaddedInt(text, i, 3);
        text += "</td>";
        const int fields = rec->FieldCount();
        for (int j = 0; j < fields; ++j) {
            if (rec->GetField(j)) {
                text += "<td>";
                text += rec->FieldView(j);
                text += "</td>";
            } else {
                text += "<td bgcolor=#ffe0e0>&nbsp;</td>";
            }
        }
        text += "</tr>\n";
        out.Spill();
    }
    text += "</table></body></html>\n";
}
