// The dialog's state and what the program does with it, without drawing:
// the edits' texts, switches, list choices, up-downs, the loaded table and
// its selection, the status text. The window shows it and hands it the
// user's actions; the batch mode runs it as it is, with the console's
// prompter.
#pragma once

#include <array>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/CsvTable.h"
#include "dialog/DialogTemplate.h"
#include "diag/Diagnostic.h"
#include "gen/GenerationRun.h"
#include "settings/SettingsReader.h"
#include "settings/SettingsText.h"

namespace diag {
class Prompter;
}

enum class DialogEdit { CSV, HTML, Out, Prefix, Start, Digit, Repeat };
enum class DialogSwitch { Prefix, Fix, Repeat, Create, Auto };
// The encoding lists hold entries in the order of EncodingChoice: automatic
// (showing what was found), code page 932, UTF-8, and for the CSV file
// UTF-16.
enum class DialogCombo { Rule, Field, Extension, CsvEncoding, TemplateEncoding };
inline int EncodingItemCount(DialogCombo combo) { return combo == DialogCombo::CsvEncoding ? 4 : 3; }
// How the selection changed: by the user (who sees it already), every line
// toggled, or the model's selection to be shown anew (a load, a settings
// file, a list drawn again).
enum class SelectionChange { User, Inverted, Shown };

// What the dialog tells whoever shows it. Every call follows the change.
class DialogListener {
public:
    virtual ~DialogListener();
    virtual void StatusChanged(const std::string& /*utf8*/) {}
    // The program set an edit's text, a box, or a list's entries or choice.
    virtual void TextChanged(DialogEdit) {}
    virtual void SwitchChanged(DialogSwitch) {}
    virtual void ComboChanged(DialogCombo) {}
    // The record list has new lines (a load, the fixed-width look, a
    // rotation) or none (ListTable), and no line is selected.
    virtual void ListRebuilt() {}
    virtual void SelectionChanged(SelectionChange) {}
    // Enabled states (Enabled) changed.
    virtual void ControlsEnabled() {}
    // A CSV load is about to start (the window shows what it has first).
    virtual void LoadStarting() {}
};

class DialogModel : private diag::Sink {
public:
    // The prompter answers the questions and file dialogs. Diagnostics are
    // shown by `shown` (each after the status line took its own), or, when
    // null, in the prompter's boxes as the window shows them.
    explicit DialogModel(diag::Prompter& prompter, diag::Sink* shown = nullptr);
    ~DialogModel() override;
    DialogModel(const DialogModel&) = delete;
    DialogModel& operator=(const DialogModel&) = delete;

    // Null: nobody listens.
    void SetListener(DialogListener* listener) { listener_ = listener ? listener : &quiet_; }

    // ---- state
    const std::string& Text(DialogEdit edit) const;
    bool Switch(DialogSwitch which) const { return SwitchOf(which); }
    // The chosen entry of a list, -1 for none.
    int Choice(DialogCombo combo) const;
    // The field list's entries (UTF-8), one per header column.
    const std::vector<std::string>& FieldItems() const { return fieldItems_; }
    // The extension's edit field (UTF-8).
    const std::string& ExtensionText() const { return job_.extension; }
    // The extension entry that the edit field shows; -1 when the text was
    // typed rather than chosen.
    int ExtensionEntry() const;
    // An up-down's position: its edit's number within its range, else the
    // last valid one (and *error set).
    int Position(DialogEdit edit, bool* error = nullptr) const;
    bool Enabled(int controlId) const;
    const std::string& StatusText() const { return status_; }
    const CCsvTable* Table() const { return table_.get(); }
    // The table whose records the list shows; none when the list is empty.
    const CCsvTable* ListTable() const { return listShown_ ? table_.get() : nullptr; }
    int Rows() const { return static_cast<int>(selected_.size()); }
    bool IsSelected(int row) const { return selected_[static_cast<size_t>(row)] != 0; }
    int SelectedCount() const { return selectedCount_; }
    std::vector<int> SelectedRecords() const;
    int RotationOffset() const { return rotationOffset_; }
    // The column the record list's lines start from.
    int ListStartColumn() const { return listStartColumn_; }
    const std::string& SettingsPath() const { return job_.fileName; }
    void SetSettingsPath(std::string path) { job_.fileName = std::move(path); }
    // The encoding asked for the CSV (CsvEncoding) or the template
    // (TemplateEncoding).
    platform::EncodingChoice EncodingChoiceOf(DialogCombo combo) const;
    // What automatic detection found for it (the CSV at its last load, the
    // template named now, which follows the CSV when it is ASCII alone).
    platform::TextEncoding DetectedEncoding(DialogCombo combo) const;
    // The entries of an encoding list (UTF-8); the CSV's list holds the
    // sheets' names while the source is a workbook.
    std::vector<std::string> EncodingItems(DialogCombo combo) const;
    // Whether the CSV's list holds sheets, and its label and tooltip.
    bool ListsSheets() const { return !sheetNames_.empty(); }
    const char* CsvListLabel() const { return ListsSheets() ? res::kSheetLabel : res::kCsvEncodingLabel; }
    const char* CsvListTip() const { return ListsSheets() ? res::kSheetTip : res::kCsvEncodingTip; }
    // Asks for an encoding that settings lines do not change (the batch
    // mode's flags).
    void ForceEncoding(DialogCombo combo, platform::EncodingChoice choice);
    const RunReport& LastRun() const { return lastRun_; }
    // The page of the last run a browser opens first; empty when the run
    // wrote none, or the paths, the naming or the selection changed since.
    const std::string& ShownPage() const { return shownPage_; }

    // ---- the user's changes and the handlers they run
    void TypeText(DialogEdit edit, std::string_view utf8);
    // A text the program puts into an edit (a file chosen or dropped).
    void PutText(DialogEdit edit, std::string_view utf8);
    // Empties the record list; the table stays loaded.
    void ClearList();
    // The window closes: the table goes.
    void Close() { ReleaseTable(); }
    void TypeExtension(std::string_view utf8);
    void SetSwitch(DialogSwitch which, bool on);  // the box, then its handler
    void Choose(DialogCombo combo, int index);     // the entry; the rule's handler for Rule
    void StepUpDown(DialogEdit edit, int direction);
    void SetSelection(std::vector<char> rows);     // a row per line, nonzero: selected
    void LoadCsv();
    void OnRotate();
    void OnInvertSelection();
    void OnGenerate();
    // What the dialog has to say, said: the status line takes its texts,
    // then it is shown.
    void Report(const diag::Diagnostic& diagnostic) override;

    // ---- what the window's commands and the run read
    // The job as the window shows it now.
    Job EditedJob() const;
    // 0 when read, -1 (and a box) when it could not be.
    int LoadSettings();
    // 0 when written or declined, -1 (and a box) when it could not be.
    int SaveSettings();
    void EnableRunControls(bool enable, bool alsoLoadAndExit);

private:
    struct Spin {
        int minPos = 0;
        int maxPos = 100;
        mutable int lastValid = 0;  // the control's own, updated as it reads its text
    };
    template <typename E>
    static size_t Index(E e) {
        return static_cast<size_t>(e);
    }

    void SetText(DialogEdit edit, std::string_view utf8);
    // The entry at `index` chosen, or none when it is outside the list; no handler.
    void Select(DialogCombo combo, int index);
    Spin* SpinOf(DialogEdit edit);
    const Spin* SpinOf(DialogEdit edit) const;
    void SetRange(DialogEdit edit, int minPos, int maxPos);
    void OnSwitch(DialogSwitch which);
    void OnRuleChange();
    void UpdateRepeatCount();
    void FillRecordList(int startColumn);
    // Exactly these records selected, and the list told so.
    void ShowSelection(const std::vector<int>& records);
    void ReleaseTable();
    void SetStatus(std::string utf8);
    void PathChanged(DialogEdit edit);
    // The status line tells how many records are selected.
    void TellSelection();
    // The output of the last run is no longer the output of what is shown.
    void ForgetShownPage();
    // The template named, or the CSV it follows, may have changed: what
    // detection finds is worked out again when it is next asked for.
    void TemplateMayHaveChanged();

    diag::Prompter& prompter_;
    std::unique_ptr<diag::Sink> boxes_;  // when nobody else shows them
    diag::Sink* shown_;
    DialogListener* listener_ = nullptr;
    DialogListener quiet_;  // when nobody listens

    const bool& SwitchOf(DialogSwitch which) const;
    std::string& TextRef(DialogEdit edit);
    bool& SwitchRef(DialogSwitch which);
    platform::EncodingChoice& EncodingRef(DialogCombo combo);

    // The job shown, but for its numbers, which are the up-downs' texts
    // (a text typed may be no number yet), and its selection, the list's.
    Job job_;
    std::array<std::string, 3> numberTexts_{"1", "5", "1"};  // start, digit, repeat
    Spin startSpin_, digitSpin_, repeatSpin_;
    std::vector<std::string> fieldItems_;
    // The run controls (Generate, Invert, Rotate, Fixed width) and Load and
    // Exit, as a load or a run left them; the rest follow the values shown.
    bool runControls_ = false;
    bool loadAndExit_ = true;
    std::string status_;
    std::optional<diag::Code> statusCode_;  // what the status line tells, when a diagnostic
    std::unique_ptr<CCsvTable> table_;
    std::string loadedPath_;  // the CSV path the table was loaded from
    std::string loadedSheet_;  // and the sheet asked for
    // The sheets of the workbook last loaded (empty for a CSV file).
    std::vector<std::string> sheetNames_;
    std::vector<char> selected_;  // a line per record
    int selectedCount_ = 0;
    int rotationOffset_ = 0;
    int listStartColumn_ = 0;
    bool listShown_ = false;
    std::array<bool, 2> encodingForced_{};
    platform::TextEncoding csvDetected_ = platform::TextEncoding::kCp932;
    bool csvDetectedUtf16_ = false;  // the CSV file's last load read UTF-16
    // What the template named was found to be in, read when it was named.
    platform::TextEncoding templateDetected_ = platform::TextEncoding::kCp932;
    RunReport lastRun_;
    std::string shownPage_;
};
