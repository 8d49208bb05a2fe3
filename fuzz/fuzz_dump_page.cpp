// Arbitrary bytes as a CSV file, written out as the _db.html dump.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "data/CsvTable.h"
#include "gen/DumpPage.h"
#include "platform/OutputFolder.h"
#include "RecordingSink.h"
#include "platform/TextEncoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The page only has to be written somewhere: one file, again and again.
    static const std::string folderPath = [] {
        char name[] = "/tmp/fuzz_dump_page.XXXXXX";
        if (!::mkdtemp(name)) std::abort();
        return std::string(name);
    }();
    static const std::unique_ptr<platform::OutputFolder> folder =
        platform::OpenOutputFolder(folderPath);
    if (!folder) std::abort();
    const std::unique_ptr<platform::OutputFile> sink = folder->NewFile();
    if (!sink->Create("_db.html")) std::abort();

    testutil::RecordingSink prompter;
    CCsvTable table = CCsvTable::FromBytes(std::string(reinterpret_cast<const char*>(data), size));
    table.Load(prompter);
    WriteDumpPage(table, *sink, table.Encoding());
    if (!sink->Close()) std::abort();
    // A UTF-8 dump is valid UTF-8, whatever the bytes were.
    if (table.Encoding() == platform::TextEncoding::kUtf8) {
        std::ifstream in(folderPath + "/_db.html", std::ios::binary);
        const std::string page{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (!platform::IsValidUtf8(page)) std::abort();
    }
    return 0;
}
