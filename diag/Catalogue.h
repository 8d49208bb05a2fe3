// The product's texts: every diagnostic's message, byte for byte as the user
// reads it, with how much it weighs and where the window shows it. Window
// captions, tooltips, list entries and file-dialog filters stay with the
// window's template.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "diag/Diagnostic.h"

namespace diag {

// The caption of a warning box.
inline constexpr char kWarningCaption[] = "警告";
// Names a box lists at most, before a count of the rest.
inline constexpr size_t kNamesShown = 10;

// How a piece of data (a path, a name; UTF-8) is written into a text: as it
// is, or made harmless for a terminal.
using DataShown = std::function<std::string(std::string_view utf8)>;

// The message of `diagnostic` (UTF-8); data as `shown` writes it (as it is
// when null). A diagnostic of parts is its parts' messages, a line each.
// A list (files, pages, lines of a settings file) shows ten at most and a
// count of the rest, unless `whole` (the batch mode lists every one).
std::string Text(const Diagnostic& diagnostic, const DataShown& shown = nullptr, bool whole = false);
// What goes after a file not written, and one space.
const char* ReasonText(NotWrittenReason reason);
Severity SeverityOf(Code code);
Place PlaceOf(Code code);

}  // namespace diag
