#include "BookMaker.h"

#ifdef _WIN32
#include <zlib.h>
#else
#include <zip.h>
#endif

#include <cstdint>
#include <stdexcept>

namespace testbook {

#ifdef _WIN32
// No zip library here: the archive written by hand, its members deflated
// by zlib or stored.
std::string Zip(const Parts& parts, bool deflate) {
    auto le = [](std::string& out, uint64_t v, int width) {
        for (int i = 0; i < width; ++i) out += static_cast<char>(v >> (8 * i) & 0xFF);
    };
    std::string out, directory;
    for (const auto& [name, bytes] : parts) {
        std::string packed = bytes;
        if (deflate) {
            packed.resize(compressBound(static_cast<uLong>(bytes.size())) + 64);
            z_stream z{};
            deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
            z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
            z.avail_in = static_cast<uInt>(bytes.size());
            z.next_out = reinterpret_cast<Bytef*>(packed.data());
            z.avail_out = static_cast<uInt>(packed.size());
            if (::deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
            packed.resize(z.total_out);
            deflateEnd(&z);
        }
        const uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(bytes.data()),
                                                         static_cast<uInt>(bytes.size())));
        std::string common;  // version, flags (UTF-8 names), method, time, date, CRC, sizes, name length
        le(common, 20, 2), le(common, 0x800, 2), le(common, deflate ? 8 : 0, 2), le(common, 0, 2);
        le(common, 0x5C21, 2), le(common, crc, 4), le(common, packed.size(), 4), le(common, bytes.size(), 4);
        le(common, name.size(), 2), le(common, 0, 2);
        le(directory, 0x02014b50, 4), le(directory, 20, 2), directory += common;
        le(directory, 0, 2), le(directory, 0, 2), le(directory, 0, 2), le(directory, 0, 4), le(directory, out.size(), 4);
        directory += name;
        le(out, 0x04034b50, 4), out += common, out += name, out += packed;
    }
    const size_t at = out.size();
    out += directory;
    le(out, 0x06054b50, 4), le(out, 0, 4), le(out, parts.size(), 2), le(out, parts.size(), 2);
    le(out, directory.size(), 4), le(out, at, 4), le(out, 0, 2);
    return out;
}
#else
std::string Zip(const Parts& parts, bool deflate) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(buffer);
    zip_t* zip = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    if (!zip) throw std::runtime_error("zip_open_from_source");
    for (const auto& [name, bytes] : parts) {
        zip_source_t* s = zip_source_buffer(zip, bytes.data(), bytes.size(), 0);
        const zip_int64_t i = zip_file_add(zip, name.c_str(), s, ZIP_FL_ENC_UTF_8);
        zip_set_file_compression(zip, static_cast<zip_uint64_t>(i), deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 9);
        zip_file_set_mtime(zip, static_cast<zip_uint64_t>(i), 1767225600, 0);
    }
    if (zip_close(zip) != 0) throw std::runtime_error("zip_close");
    std::string out;
    zip_source_open(buffer);
    char chunk[1 << 16];
    for (zip_int64_t n; (n = zip_source_read(buffer, chunk, sizeof chunk)) > 0;)
        out.append(chunk, static_cast<size_t>(n));
    zip_source_close(buffer);
    zip_source_free(buffer);
    return out;
}
#endif

Parts Xlsx::Members() const {
    const std::string ns = R"( xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main")"
                           R"( xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships")";
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    std::string book = "<workbook" + ns + ">" + (date1904 ? R"(<workbookPr date1904="1"/>)" : "") + "<sheets>";
    std::string rels = R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)";
    Parts parts = {
        {"[Content_Types].xml",
         R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
         R"(<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.)"
         R"(spreadsheetml.sheet.main+xml"/></Types>)"},
        {"_rels/.rels", rels + R"(<Relationship Id="rId1" Type=")" + rel +
                            R"(officeDocument" Target="xl/workbook.xml"/></Relationships>)"}};
    for (size_t i = 0; i < sheets.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        book += "<sheet name=\"" + sheets[i].first + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
        rels += "<Relationship Id=\"rId" + n + "\" Type=\"" + rel + "worksheet\" Target=\"worksheets/sheet" + n +
                ".xml\"/>";
        parts.emplace_back("xl/worksheets/sheet" + n + ".xml", "<worksheet" + ns + ">" + sheets[i].second + "</worksheet>");
    }
    rels += "<Relationship Id=\"rS\" Type=\"" + rel + "sharedStrings\" Target=\"sharedStrings.xml\"/>";
    rels += "<Relationship Id=\"rT\" Type=\"" + rel + "styles\" Target=\"/xl/styles.xml\"/></Relationships>";
    parts.emplace_back("xl/workbook.xml", book + "</sheets></workbook>");
    parts.emplace_back("xl/_rels/workbook.xml.rels", rels);
    parts.emplace_back("xl/sharedStrings.xml", "<sst" + ns + ">" + sharedStrings + "</sst>");
    parts.emplace_back("xl/styles.xml", "<styleSheet" + ns + ">" + styles + "</styleSheet>");
    return parts;
}

std::string Ods(const std::string& tables) {
    return Zip({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                {"content.xml",
                 R"(<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0")"
                 R"( xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0")"
                 R"( xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0")"
                 R"( xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"><office:body>)"
                 "<office:spreadsheet>" + tables + "</office:spreadsheet></office:body></office:document-content>"}},
               false);
}

std::string Compound(const std::vector<std::string>& streams) {
    auto put32 = [](std::string& b, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
    };
    // The header, one sector of the allocation table, one of the directory.
    std::string b(512 * 3, '\0');
    b.replace(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
    b[0x1E] = 9;
    put32(b, 0x2C, 1);            // one allocation table sector
    put32(b, 0x30, 1);            // the directory starts at sector 1
    put32(b, 0x44, 0xFFFFFFFE);   // no further table of the table
    for (size_t i = 0; i < 109; ++i) put32(b, 0x4C + 4 * i, i == 0 ? 0 : 0xFFFFFFFF);
    for (size_t i = 0; i < 128; ++i) put32(b, 512 + 4 * i, i == 0 ? 0xFFFFFFFD : i == 1 ? 0xFFFFFFFE : 0xFFFFFFFF);
    std::vector<std::string> names = {"Root Entry"};
    names.insert(names.end(), streams.begin(), streams.end());
    for (size_t e = 0; e < names.size() && e < 4; ++e) {
        const size_t at = 1024 + 128 * e;
        for (size_t i = 0; i < names[e].size(); ++i) b[at + 2 * i] = names[e][i];
        b[at + 0x40] = static_cast<char>((names[e].size() + 1) * 2);
        b[at + 0x42] = e == 0 ? 5 : 2;
    }
    return b;
}

}  // namespace testbook
