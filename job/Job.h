// What to generate: everything a settings file holds and a run needs. The
// settings reader makes one from a file and the writer a file from one; the
// window edits one; the run takes one and a loaded table.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "platform/TextEncoding.h"

enum NamingRule : int {
    kRuleRecordNumber = 0,
    kRuleSequenceNumber = 1,
    kRuleFieldValue = 2,
};

// The extensions a job names by their index (extNum), in the list's order.
inline constexpr const char* kExtensions[] = {"html", "htm", "shtml", "shtm", "asp", "txt", "dat"};
inline constexpr int kExtensionCount = 7;

// Texts are UTF-8. Each value starts as the dialog starts.
struct Job {
    std::string fileName;  // the settings file the job is kept in, when there is one
    std::string CSV;
    std::string HTML;
    std::string Out;
    // The encodings asked for the CSV file and the template (whose encoding
    // is the site's).
    platform::EncodingChoice csvCode = platform::EncodingChoice::kAuto;
    platform::EncodingChoice htmlCode = platform::EncodingChoice::kAuto;
    // What separates the CSV file's fields.
    platform::SeparatorChoice separator = platform::SeparatorChoice::kAuto;
    // The sheet read when the source is a workbook; empty for the first.
    std::string sheet;
    int ruleNum = kRuleRecordNumber;  // any other value than 1 and 2 names by record number
    int fieldNum = -1;                // the column naming pages under rule 2; -1: none chosen
    // The extension: the list's entry chosen (-1 for a text typed in) and
    // the text the pages take.
    int extNum = 0;
    std::string extension = "html";
    bool prefixChk = false;
    std::string Prefix;  // taken only while prefixChk is on
    int start = 1;
    int digit = 5;
    int repeat = 1;
    bool repeatChk = false;
    bool createChk = true;  // _index.html and _db.html
    bool autoChk = false;   // generate as soon as the window opens the file
    bool fixChk = false;    // the record list's fixed-width look, kept with the job
    std::vector<int> selection;  // record indexes, ascending

    bool operator==(const Job&) const = default;
};

// The records `items` select in a table of `records` records, ascending,
// each once: -1 stands for every record, an item outside the table for
// none (and clears *allFit).
inline std::vector<int> SelectedWithin(const std::vector<int>& items, int records,
                                       bool* allFit = nullptr) {
    std::vector<char> marked(static_cast<size_t>(std::max(records, 0)), 0);
    bool fit = true;
    for (int item : items) {
        if (item == -1)
            std::fill(marked.begin(), marked.end(), 1);
        else if (item >= 0 && item < records)
            marked[static_cast<size_t>(item)] = 1;
        else
            fit = false;
    }
    if (allFit) *allFit = fit;
    std::vector<int> selected;
    for (int r = 0; r < records; ++r)
        if (marked[static_cast<size_t>(r)]) selected.push_back(r);
    return selected;
}
