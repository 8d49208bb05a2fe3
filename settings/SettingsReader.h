// Reading a settings file into a job, value by value: each known key sets
// its value (the last line of a key wins), and a line that cannot be
// applied as written is kept to be told. The field and the selection are
// taken against the table, which is loaded after the file is read.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "diag/Diagnostic.h"
#include "job/Job.h"

struct SettingsRead {
    Job job;
    bool namesCsv = false;  // a CSV line: the table is loaded (an empty one says so)
    // Lines not applied as written: their numbers and texts (without line ends).
    std::vector<diag::Entry> unused;

    // Taken against the table (TakeAgainstTable).
    struct Pending {
        int line = 0;  // 0: no such line
        std::string text;
    };
    Pending fieldLine;     // the last fieldNum line, when its value is a number
    Pending selItemsLine;  // the last SelItems line
    std::vector<std::optional<int>> selItems;  // its entries; none: no number
};

// The values of a settings file's text (UTF-8).
SettingsRead ReadSettingsText(std::string_view text);

// The field and the selection against the table loaded (records < 0: none
// was): fieldNum is -1 or one of `columns`; SelItems is the selection (-1
// every line), else every data record; what does not fit is told, unless
// no table was loaded, whose load said why.
void TakeAgainstTable(SettingsRead& read, int columns, int records);

// The warning for the lines not applied, in the file's order; nothing when
// every line was.
std::optional<diag::Diagnostic> UnusedLinesWarning(const SettingsRead& read);

// A settings file's bytes as UTF-8 text, whichever of the two encodings it
// is in (a byte order mark left out); nothing for UTF-16.
std::optional<std::string> DecodeSettingsFile(std::string_view bytes);

// Reads the settings file at `path` (its job's fileName); nothing, and why
// reported to `sink`, when it cannot be read.
std::optional<SettingsRead> ReadSettingsFile(const std::string& path, diag::Sink& sink);
