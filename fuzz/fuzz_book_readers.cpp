// Arbitrary bytes through the Windows build's workbook readers: as an XML
// part (the first byte even) or a zip archive (odd). Neither may fail
// but by saying so; what XML is read is told whole, elements balanced.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Require.h"
#include "data/XmlScan.h"
#include "data/ZipArchive.h"

namespace {

struct Balance : data::XmlEvents {
    int depth = 0;
    void Start(const char* name, const char** attributes) override {
        Require(*name != 0);
        for (const char** a = attributes; *a; a += 2) Require(a[1] != nullptr);
        ++depth;
    }
    void End(const char*) override { Require(--depth >= 0); }
    void Text(std::string_view) override { Require(depth > 0); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] % 2 == 0) {
        Balance b;
        if (data::ScanXml(bytes, b) == data::XmlScanned::kRead) Require(b.depth == 0);
        return 0;
    }
    data::ZipArchive zip;
    if (!zip.Open(bytes)) return 0;
    std::string out;
    for (const char* name : {"mimetype", "content.xml", "[Content_Types].xml", "xl/workbook.xml"})
        if (const data::ZipArchive::Member* m = zip.Find(name))
            if (zip.Extract(*m, out, 1 << 20) == data::ZipArchive::Read::kRead) Require(out.size() == m->size);
    return 0;
}
