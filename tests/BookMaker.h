// Workbooks made in the tests from the XML written here: zip archives of
// parts, .xlsx and .ods around a sheet's XML, and compound files with the
// streams named.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace testbook {

using Parts = std::vector<std::pair<std::string, std::string>>;

// A zip archive of `parts` (name, bytes) in order, deflated or stored.
std::string Zip(const Parts& parts, bool deflate = true);

// An .xlsx: each sheet's name and the XML inside its <worksheet>, the
// <si> items of the shared strings, and the XML inside <styleSheet>.
struct Xlsx {
    std::vector<std::pair<std::string, std::string>> sheets;
    std::string sharedStrings = {};
    std::string styles = {};
    bool date1904 = false;
    Parts Members() const;
    std::string Bytes() const { return Zip(Members()); }
};

// An .ods whose content.xml holds `tables` inside <office:spreadsheet>.
std::string Ods(const std::string& tables);

// A compound file whose directory holds the streams named.
std::string Compound(const std::vector<std::string>& streams);

}  // namespace testbook
