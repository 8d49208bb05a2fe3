#include "gen/DumpPage.h"

#include "data/CsvTable.h"
#include "platform/OutputFolder.h"
#include "platform/StrFormat.h"

platform::SiteCounts WriteDumpPage(const CCsvTable& table, platform::OutputFile& out,
                                   platform::TextEncoding site) {
    platform::SiteCounts counts;
    if (!out.IsOpen()) return counts;
    const platform::TextEncoding from = table.Encoding();
    const bool copy = from == site && (site == platform::TextEncoding::kCp932 || table.ValidUtf8());
    std::string& text = out.Text();
    text += "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=";
    text += platform::CharsetLabel(site);
    text += "\"></head><body><table border>\n";
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
                if (copy)
                    text += rec->FieldView(j);
                else
                    counts += platform::AppendForSite(text, rec->FieldView(j), from, site);
                text += "</td>";
            } else {
                text += "<td bgcolor=#ffe0e0>&nbsp;</td>";
            }
        }
        text += "</tr>\n";
        out.Spill();
    }
    text += "</table></body></html>\n";
    return counts;
}
