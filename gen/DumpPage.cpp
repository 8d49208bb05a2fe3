#include "gen/DumpPage.h"

#include "data/CsvTable.h"

void WriteDumpPage(const CCsvTable& table, FILE* out) {
    if (!out) return;
    std::fputs("<html><body><table border>\n", out);
    const int count = table.RecordCount();
    for (int i = 0; i < count; ++i) {
        const CCsvRecord* rec = table.GetRecord(i);
        std::fprintf(out, "<tr><td>%03d</td>", i);
        const int fields = rec->FieldCount();
        for (int j = 0; j < fields; ++j) {
            const char* v = rec->GetField(j);
            if (v)
                std::fprintf(out, "<td>%s</td>", v);
            else
                std::fputs("<td bgcolor=#ffe0e0>&nbsp;</td>", out);
        }
        std::fputs("</tr>\n", out);
    }
    std::fputs("</table></body></html>\n", out);
}
