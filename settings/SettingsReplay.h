// Reading a settings file: each line goes to the control it names and that
// control's handler runs, in the file's order. The window supplies the
// controls; so does the batch mode's stand-in for the window.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "diag/Diagnostic.h"
#include "settings/SettingsText.h"

class SettingsTarget {
  public:
    virtual ~SettingsTarget() = default;
    // The edit named by CSV, HTML, Out, Prefix, start, digit or repeat takes
    // the value as its text (UTF-8); an empty value empties it.
    virtual void ReplayText(SettingsKey key, std::string_view utf8) = 0;
    // csvCode, htmlCode: the encoding asked for from here on.
    virtual void ReplayEncoding(SettingsKey key, platform::EncodingChoice choice) = 0;
    // After the CSV line's text: the table is loaded as the Load button does.
    virtual void ReplayCsvLoad() = 0;
    // prefixChk, fixChk, repeatChk, createChk, autoChk: the box is ticked or
    // cleared, then its handler runs.
    virtual void ReplaySwitch(SettingsKey key, bool on) = 0;
    // ruleNum, fieldNum, extNum: the entry at `index` is selected; an index
    // outside the list leaves none selected.
    virtual void ReplaySelect(SettingsKey key, int index) = 0;
    // After a ruleNum line: the rule's handler.
    virtual void ReplayRuleChange() = 0;
    // SelItems: these lines are selected too (-1 selects all); nothing is
    // deselected and no selection handler runs.
    virtual void ReplaySelection(const std::vector<int>& records) = 0;
};

// A line of a settings file that could not be applied as written.
struct UnusedSettingsLine {
    int number;             // from 1
    std::string_view text;  // without its line end; a view into the file's text
};

// Applies the lines of a settings file (UTF-8) to `target`. Unknown keys and lines
// without a key are passed over, as is a numeric line without a value. The
// repeat line's text is set again at the end, whatever later handlers wrote
// into that field meanwhile. A csvCode or htmlCode line that names no
// encoding (ParseEncodingChoice) asks for automatic detection; those lines
// are returned, in the file's order.
std::vector<UnusedSettingsLine> ReplaySettings(std::string_view file, SettingsTarget& target);

// A settings file's bytes as UTF-8 text, whichever of the two encodings it
// is in (a byte order mark left out); nothing for UTF-16.
std::optional<std::string> DecodeSettingsFile(std::string_view bytes);

// Reads the settings file at `path` and applies it to `target`: 0; lines
// that could not be applied as written are then reported to `sink` as one
// warning. When it cannot be read, reports why and returns -1, applying
// nothing.
int LoadSettingsFile(const std::string& path, SettingsTarget& target, diag::Sink& sink);
