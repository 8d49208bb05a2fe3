// _db.html: the whole loaded table as one HTML table, absent fields tinted.
#pragma once

#include <cstddef>

#include "platform/TextEncoding.h"

class CCsvTable;
namespace platform {
class OutputFile;
}

// Appends the page to `out` (nothing when it is not open) in the site's
// encoding, the values converted when the table's differs; the caller
// closes it. Returns the number of character references written for
// characters the site cannot hold.
size_t WriteDumpPage(const CCsvTable& table, platform::OutputFile& out,
                     platform::TextEncoding site);
// In the table's own encoding.
size_t WriteDumpPage(const CCsvTable& table, platform::OutputFile& out);
