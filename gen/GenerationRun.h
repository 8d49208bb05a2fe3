// The generation run: checks its inputs, then writes the pages of the
// selected records, _db.html and _index.html into the output folder. The
// window's Generate button and the batch mode both run exactly this.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/TextEncoding.h"

class CCsvTable;
namespace platform {
class Prompter;
}

// Status texts of the run that callers tell apart (UTF-8).
inline constexpr char kStatusTemplateMissing[] = "ﾃﾝﾌﾟﾚｰﾄ(HTML) が見つかりません．";
inline constexpr char kStatusTemplateUtf16[] =
    "ﾃﾝﾌﾟﾚｰﾄ(HTML) は UTF-16 のため読み込めません．UTF-8 か Shift_JIS で保存してください．";
// A template that declares an encoding the program does not read (%s: its
// name, as "EUC-JP").
inline constexpr char kStatusTemplateCharsetFormat[] =
    "ﾃﾝﾌﾟﾚｰﾄ(HTML) の文字コード (%s) は読み込めません．UTF-8 か Shift_JIS で保存してください．";
// After a run that wrote character references: how many (%d).
inline constexpr char kCharacterReferencesText[] =
    "%d 文字をサイトの文字コードで表せないため，文字参照 (&#…;) で書きました．";
// After a run that wrote U+FFFD for byte sequences that are no character:
// how many (%d).
inline constexpr char kReplacementsText[] =
    "%d か所の不正なバイト列を U+FFFD (�) に置き換えました．";
inline constexpr char kStatusOutMissing[] = "出力先(ﾌｫﾙﾀﾞ) が見つかりません．";
// Shown once when another run is writing the same output folder; the run
// waits for it, and gives up with this text as its status after a while.
inline constexpr char kStatusWaitingForOutput[] =
    "別の実行が出力先に書き込み中のため，終わるまで待ちます．";

// The run's own files in the output folder, beside the pages.
inline constexpr char kIndexPageName[] = "_index.html";
inline constexpr char kDumpPageName[] = "_db.html";

enum NamingRule : int {
    kRuleRecordNumber = 0,
    kRuleSequenceNumber = 1,
    kRuleFieldValue = 2,
};

// What a run reads from the window when it starts. Texts are UTF-8.
struct RunSettings {
    std::string FileName;  // the settings file, when the run has one
    std::string CSV;
    std::string HTML;
    std::string Out;
    int ruleNum = kRuleRecordNumber;
    int fieldNum = -1;  // -1: no field chosen
    std::string extension = "html";
    int start = 1;
    int digit = 5;
    int repeat = 1;
    bool prefixChk = false;
    std::string Prefix;
    bool fixChk = false;
    bool repeatChk = false;
    bool createChk = true;
    bool autoChk = false;
    // The template's encoding, which is the site's.
    platform::EncodingChoice htmlCode = platform::EncodingChoice::kAuto;
};

struct RunCallbacks {
    // New status line text (UTF-8).
    std::function<void(const std::string&)> status;
    // Enables or disables the run controls (and also Load and Exit).
    std::function<void(bool enable, bool alsoLoadAndExit)> enableRunControls;
    // How long to wait for another run that is writing the same folder.
    std::chrono::milliseconds lockPatience = std::chrono::minutes(10);
};

// Why a file of the run was not written.
enum class NotWrittenReason {
    kEmptyName,    // the name before its extension is empty, "." or ".."
    kNoFolder,     // a folder on the name's way does not exist
    kNameTooLong,  // for the file system
    kNotRegular,   // a symbolic link, folder, FIFO or device in the way
    kRunFile,      // _index.html, _db.html, or a file the run reads
    kCannotWrite,  // anything else
};

struct FileNotWritten {
    std::string path;  // the folder's path and the name (UTF-8)
    NotWrittenReason reason;
    bool operator==(const FileNotWritten&) const = default;
};

struct RunReport {
    bool refused = false;     // a check failed; nothing was written
    std::string lastStatus;   // the last status line text (UTF-8)
    int pagesOpened = 0;
    std::vector<FileNotWritten> notWritten;     // not created, refused or not fully written
    std::vector<std::string> overwrittenNames;  // pages replaced later in the same run
    // Pages, _index.html and _db.html that already held exactly their bytes
    // and were left untouched (they count as written).
    int unchangedFiles = 0;
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
// `table` (may be null when nothing is loaded). Status texts go to
// `callbacks.status`; a run that could not write everything says so once
// through `prompter` after it has finished.
RunReport RunGeneration(const RunSettings& settings, const std::vector<int>& selection,
                        const CCsvTable* table, const RunCallbacks& callbacks,
                        platform::Prompter& prompter);
