// Reading a settings file: each line goes to the control it names and that
// control's handler runs, in the file's order. The window supplies the
// controls; so does the batch mode's stand-in for the window.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "settings/SettingsText.h"

namespace platform {
class Prompter;
}

class SettingsTarget {
  public:
    virtual ~SettingsTarget() = default;
    // The edit named by CSV, HTML, Out, Prefix, start, digit or repeat takes
    // the value as its text (code page 932); an empty value empties it.
    virtual void ReplayText(SettingsKey key, std::string_view cp932) = 0;
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

// Applies the lines of a settings file to `target`. Unknown keys and lines
// without a key are passed over, as is a numeric line without a value. The
// repeat line's text is set again at the end, whatever later handlers wrote
// into that field meanwhile.
void ReplaySettings(std::string_view file, SettingsTarget& target);

// Reads the settings file at `cpPath` (code page 932) and applies it to
// `target`: 0. When it cannot be read, says so through `prompter` and
// returns -1, applying nothing.
int LoadSettingsFile(const std::string& cpPath, SettingsTarget& target,
                     platform::Prompter& prompter);

// The message for a settings file (code page 932 path) that cannot be
// opened, read or written (UTF-8); the path as `shownBy` shows data, when
// given.
std::string CannotOpenSettingsText(const std::string& cpPath,
                                   const platform::Prompter* shownBy = nullptr);
