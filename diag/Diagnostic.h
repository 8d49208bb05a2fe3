// What the program tells its user, as values: a code, and the data the
// message is about. The layers that load, check and write report these to a
// Sink and hold no text; the catalogue (Catalogue.h) turns one into the
// product's text, and the window and the batch mode each show them their
// way.
#pragma once

#include <string>
#include <vector>

namespace diag {

// How much a diagnostic weighs: a batch run that saw a warning or a
// refusal ends with status 1.
enum class Severity {
    kInformation,  // progress, counts, a wait
    kWarning,      // something was left out or not written
    kRefusal,      // the load or the run did not take place
};

// Where the window shows a diagnostic.
enum class Place {
    kStatus,       // the status line
    kProgress,     // the status line while a run goes (the batch: on a terminal only)
    kWarningBox,   // a box captioned 警告
    kMessageBox,   // a box titled with the program's name
    kAfterStatus,  // after the run's last status, behind a full-width space
    kConsoleOnly,  // a line of the batch mode; the window leaves it unsaid
};

enum class Code {
    // The CSV load.
    kNoCsvPath,          // status
    kCsvNotFound,        // status; path
    kCsvReadError,       // box
    kCsvEmpty,           // box
    kCsvQuoteError,      // box; number: the record (from 1)
    kCsvFieldTooLong,    // box; number: the record
    kCsvNul,             // box; number: the record
    kCsvTooManyRecords,  // box; number: the first record left out
    kCsvTooManyFields,   // box; number: the record
    kNoMemory,           // box: a file larger than the memory to be had
    // Workbooks.
    kBookUnknownFormat,  // box; number: the cells; name: the first format's code
    kBookFormulaNoValue, // box; number: the cells
    kBookPassword,       // box: the load did not take place
    kBookXls,            // box: likewise
    kBookDamaged,        // box: likewise
    // The run's checks, each a refusal in the status line.
    kNoTemplatePath,
    kNoOutPath,
    kTemplateMissing,  // path
    kTemplateUtf16,    // path
    kTemplateCharset,  // path; name: the encoding it declares
    kRunNoMemory,      // the template is larger than the memory to be had
    kOutMissing,       // path
    kNoNamingField,
    kNoRecords,
    kOutBusy,  // another run kept the output folder too long
    // While a run goes.
    kWaitingForOutput,  // another run writes the output folder
    kProgress,          // number: percent done
    // The window's list.
    kSelection,            // number: data records; count: those selected
    kSelectionWithHeader,  // the same, the header line selected too
    kBrowserFailed,        // path: the page the desktop would not open
    // After a run.
    kRunIncomplete,        // box; parts: the four below that apply
    kTemplateNulLine,      // number: the template's line
    kTemplateEofLine,      // number: the template's line
    kFilesNotWritten,      // entries: paths and reasons
    kPagesOverwritten,     // entries: page names
    kCharacterReferences,  // number: how many
    kReplacements,         // number: how many
    kUnchangedFiles,       // number: how many
    // Settings files.
    kSettingsCannotOpen,   // message box; path
    kSettingsUtf16,        // message box; path
    kSettingsLinesUnused,  // box; entries: the lines (text) and their numbers
};

// Why a file of a run was not written.
enum class NotWrittenReason {
    kEmptyName,    // the name before its extension is empty, "." or ".."
    kNoFolder,     // a folder on the name's way does not exist
    kNameTooLong,  // for the file system
    kNotRegular,   // a symbolic link, folder, FIFO or device in the way
    kRunFile,      // _index.html, _db.html, or a file the run reads
    kWindowsName,  // a name Windows does not take
    kCannotWrite,  // anything else
};

// An item of a list a diagnostic holds (UTF-8).
struct Entry {
    std::string text = {};  // a path, a page name, a line of a file
    int number = 0;    // a line's number
    NotWrittenReason reason = NotWrittenReason::kCannotWrite;
    bool operator==(const Entry&) const = default;
};

struct Diagnostic {
    Code code = Code::kProgress;
    std::string path = {};  // the file or folder it is about, as it was named (UTF-8)
    int number = 0;    // a line or record number, a count, a percent
    int count = 0;     // a second number
    std::string name = {};  // a name the message holds (an encoding's)
    std::vector<Entry> entries = {};
    std::vector<Diagnostic> parts = {};  // messages shown together as one
    bool operator==(const Diagnostic&) const = default;
};

// Receives diagnostics as they arise.
class Sink {
public:
    virtual ~Sink() = default;
    virtual void Report(const Diagnostic& diagnostic) = 0;
};

}  // namespace diag
