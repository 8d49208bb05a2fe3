// _db.html: the whole loaded table as one HTML table, absent fields tinted.
#pragma once

class CCsvTable;
namespace platform {
class OutputFile;
}

// Appends the page to `out` (nothing when it is not open); the caller
// closes it.
void WriteDumpPage(const CCsvTable& table, platform::OutputFile& out);
