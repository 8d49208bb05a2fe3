// The settings file's text: eighteen "key:value" lines, keys right-aligned in
// nine columns. Composing the lines from a job and splitting a line into key
// and value live here; SettingsReader makes a job of the lines.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "job/Job.h"
#include "platform/TextEncoding.h"

// The keys the reader knows, in the order the writer writes them.
enum class SettingsKey {
    None,  // not one of the reader's keys
    FileName, csvCode, htmlCode, Sep, Sheet,
    CSV, HTML, Out, Prefix, ruleNum, fieldNum, extNum, start, digit, repeat,
    prefixChk, fixChk, repeatChk, createChk, autoChk, csvCount, SelItems,
};

// Lines 1 to 17 (FileName to csvCount; csvCode and htmlCode after FileName
// and Sheet and Sep after CSV when asked for), each ended by "\n".
std::string ComposeSettingsHead(const Job& values);
// Line 18: " SelItems:" and the indexes separated by ",", ended by "\n".
std::string ComposeSelItemsLine(const std::vector<int>& selection);
// Every "\n" as "\r\n", as the file stores it.
std::string ToCrLf(std::string_view text);
// The bytes of a settings file holding the UTF-8 `text`: code page 932 when
// every character fits (and the bytes read back as code page 932), else
// UTF-8 after a byte order mark, so that it reads back the same.
std::string EncodeSettingsFile(std::string_view text);

// The lines of a settings file, each without its line end (LF or CR LF).
// A line is taken whole, however long.
std::vector<std::string_view> SplitSettingsLines(std::string_view file);

struct SettingsLine {
    std::string_view key;    // spaces before the key removed
    std::string_view value;  // everything after the first colon; empty: no value
};
// Key and value of one line; nothing when no key remains (a blank line, only
// colons, or only spaces before the first colon).
std::optional<SettingsLine> SplitSettingsLine(std::string_view line);
// Exact, case-sensitive lookup.
SettingsKey LookupSettingsKey(std::string_view key);
