// Arbitrary bytes as a CSV file, written out as the _db.html dump.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "data/CsvTable.h"
#include "gen/DumpPage.h"
#include "platform/Prompter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // One sink for the whole run; the page only has to be written somewhere.
    static FILE* const sink = std::fopen("/dev/null", "wb");
    if (!sink) std::abort();

    platform::RecordingPrompter prompter;
    CCsvTable table = CCsvTable::FromBytes(std::string(reinterpret_cast<const char*>(data), size));
    table.Load(prompter);
    WriteDumpPage(table, sink);
    std::fflush(sink);
    if (std::ferror(sink)) std::abort();
    return 0;
}
