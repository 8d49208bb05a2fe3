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
// closes it. Returns what had to be written in another form.
platform::SiteCounts WriteDumpPage(const CCsvTable& table, platform::OutputFile& out,
                                   platform::TextEncoding site);
