// The generation run: checks its inputs, then writes the pages of the
// selected records, _db.html and _index.html into the output folder. The
// dialog model's Generate command and the batch mode both run exactly this.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "diag/Diagnostic.h"
#include "job/Job.h"
#include "platform/OutputFolder.h"
#include "platform/TextEncoding.h"

class CCsvTable;

// The run's own files in the output folder, beside the pages.
inline constexpr char kIndexPageName[] = "_index.html";
inline constexpr char kDumpPageName[] = "_db.html";

struct RunCallbacks {
    // Enables or disables the run controls (and also Load and Exit).
    std::function<void(bool enable, bool alsoLoadAndExit)> enableRunControls;
    // How long to wait for another run that is writing the same folder.
    std::chrono::milliseconds lockPatience = std::chrono::minutes(10);
    // Opens the output folder the job names; null when it is none. By
    // default the folder on disk.
    std::function<std::unique_ptr<platform::OutputFolder>(const std::string& path)> openFolder;
};

using NotWrittenReason = diag::NotWrittenReason;

struct FileNotWritten {
    std::string path;  // the folder's path and the name (UTF-8)
    NotWrittenReason reason;
    bool operator==(const FileNotWritten&) const = default;
};

struct RunReport {
    bool refused = false;     // a check failed; nothing was written
    diag::Diagnostic lastStatus;  // the run's last word: its refusal or its progress
    int pagesOpened = 0;
    std::vector<FileNotWritten> notWritten;     // not created, refused or not fully written
    std::vector<std::string> overwrittenNames;  // pages replaced later in the same run
    // Pages, _index.html and _db.html that already held exactly their bytes
    // and were left untouched (they count as written).
    int unchangedFiles = 0;
    // What a browser opens first: _index.html, else the first page with an
    // extension browsers show, among the files that hold their bytes now;
    // empty when there is none.
    std::string shownPage;
    int templateNulLine = 0;  // line of the template in which a NUL cut it short
    int templateEofLine = 0;  // line of a 0x1A that cut text off the template
    // Characters the site's encoding cannot hold, written as references,
    // over every file written.
    int characterReferences = 0;
    // Byte sequences that are no character, written as U+FFFD in a UTF-8
    // site, over every file written (the template's own once a copy).
    int replacements = 0;
    platform::TextEncoding siteEncoding = platform::TextEncoding::kCp932;

    bool AllWritten() const {
        return !refused && notWritten.empty() && overwrittenNames.empty() &&
               templateNulLine == 0 && templateEofLine == 0;
    }
};

// Runs the generation for the selected record indexes (ascending) of
// `table` (may be null when nothing is loaded). What the run has to say goes
// to `sink` as it arises: a refusal, the wait for another run, the
// progress, then, when it could not write everything, one warning of what
// it left out, and the counts of what it wrote in another form or left
// alone.
RunReport RunGeneration(const Job& job, const std::vector<int>& selection,
                        const CCsvTable* table, const RunCallbacks& callbacks, diag::Sink& sink);
