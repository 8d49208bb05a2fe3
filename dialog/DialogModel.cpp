#include "dialog/DialogModel.h"

#include <algorithm>
#include <utility>

#include "diag/Catalogue.h"
#include "diag/BoxRenderer.h"
#include "dialog/DialogText.h"
#include "data/TemplateFile.h"
#include "platform/FileSys.h"
#include "diag/Prompter.h"
#include "platform/StrFormat.h"
#include "platform/TextEncoding.h"
#include "dialog/ControlIds.h"
#include "dialog/DialogTemplate.h"

DialogListener::~DialogListener() = default;

namespace {

size_t EncodingSlot(DialogCombo combo) {
    return combo == DialogCombo::CsvEncoding ? 0 : 1;
}

bool IsEncodingList(DialogCombo combo) {
    return combo == DialogCombo::CsvEncoding || combo == DialogCombo::TemplateEncoding;
}

}  // namespace

DialogModel::DialogModel(diag::Prompter& prompter, diag::Sink* shown)
    : prompter_(prompter),
      boxes_(shown ? nullptr : std::make_unique<BoxRenderer>(prompter)),
      shown_(shown ? shown : boxes_.get()),
      listener_(&quiet_) {
    // As the window opens: the job's first values (the first rule and
    // extension, numbers 1, 5 and 1, the check-file box ticked).
    job_.fileName = "default.cfg";
    SetRange(DialogEdit::Start, 9999, 1);
    SetRange(DialogEdit::Digit, 5, 1);
    SetRange(DialogEdit::Repeat, 9999, 0);
}

DialogModel::~DialogModel() = default;

const std::string& DialogModel::Text(DialogEdit edit) const {
    switch (edit) {
        case DialogEdit::CSV: return job_.CSV;
        case DialogEdit::HTML: return job_.HTML;
        case DialogEdit::Out: return job_.Out;
        case DialogEdit::Prefix: return job_.Prefix;
        case DialogEdit::Start: return numberTexts_[0];
        case DialogEdit::Digit: return numberTexts_[1];
        case DialogEdit::Repeat: break;
    }
    return numberTexts_[2];
}

const bool& DialogModel::SwitchOf(DialogSwitch which) const {
    switch (which) {
        case DialogSwitch::Prefix: return job_.prefixChk;
        case DialogSwitch::Fix: return job_.fixChk;
        case DialogSwitch::Repeat: return job_.repeatChk;
        case DialogSwitch::Create: return job_.createChk;
        case DialogSwitch::Auto: break;
    }
    return job_.autoChk;
}

std::string& DialogModel::TextRef(DialogEdit edit) {
    return const_cast<std::string&>(Text(edit));
}

bool& DialogModel::SwitchRef(DialogSwitch which) {
    return const_cast<bool&>(SwitchOf(which));
}

platform::EncodingChoice& DialogModel::EncodingRef(DialogCombo combo) {
    return combo == DialogCombo::CsvEncoding ? job_.csvCode : job_.htmlCode;
}

// ------------------------------------------------------------ state

int DialogModel::Choice(DialogCombo combo) const {
    switch (combo) {
        case DialogCombo::Rule: return job_.ruleNum;
        case DialogCombo::Field: return job_.fieldNum;
        case DialogCombo::Extension: return job_.extNum;
        case DialogCombo::CsvEncoding:
            if (ListsSheets()) {
                if (job_.sheet.empty()) return 0;
                const auto it = std::find(sheetNames_.begin(), sheetNames_.end(), job_.sheet);
                return it == sheetNames_.end() ? -1 : static_cast<int>(it - sheetNames_.begin());
            }
            [[fallthrough]];
        case DialogCombo::TemplateEncoding: return static_cast<int>(EncodingChoiceOf(combo));
    }
    return -1;
}

platform::EncodingChoice DialogModel::EncodingChoiceOf(DialogCombo combo) const {
    return combo == DialogCombo::CsvEncoding ? job_.csvCode : job_.htmlCode;
}

platform::TextEncoding DialogModel::DetectedEncoding(DialogCombo combo) const {
    return combo == DialogCombo::CsvEncoding ? csvDetected_ : templateDetected_;
}

std::vector<std::string> DialogModel::EncodingItems(DialogCombo combo) const {
    const bool csv = combo == DialogCombo::CsvEncoding;
    if (csv && ListsSheets()) return sheetNames_;
    const char* found = csv && csvDetectedUtf16_ ? "UTF-16" : platform::CharsetLabel(DetectedEncoding(combo));
    std::vector<std::string> items = {platform::StrFormat(res::kAutoEncodingItemFormat, found),
                                      "Shift_JIS", "UTF-8"};
    if (csv) items.push_back("UTF-16");
    return items;
}

void DialogModel::ForceEncoding(DialogCombo combo, platform::EncodingChoice choice) {
    encodingForced_[EncodingSlot(combo)] = true;
    EncodingRef(combo) = choice;
    listener_->ComboChanged(combo);
}

int DialogModel::ExtensionEntry() const {
    if (job_.extNum < 0 || job_.extension != res::ExtensionItems()[static_cast<size_t>(job_.extNum)])
        return -1;
    return job_.extNum;
}

DialogModel::Spin* DialogModel::SpinOf(DialogEdit edit) {
    return const_cast<Spin*>(static_cast<const DialogModel*>(this)->SpinOf(edit));
}

const DialogModel::Spin* DialogModel::SpinOf(DialogEdit edit) const {
    switch (edit) {
        case DialogEdit::Start: return &startSpin_;
        case DialogEdit::Digit: return &digitSpin_;
        case DialogEdit::Repeat: return &repeatSpin_;
        default: return nullptr;
    }
}

int DialogModel::Position(DialogEdit edit, bool* error) const {
    const Spin* spin = SpinOf(edit);
    if (!spin) return 0;
    // As the control reads its buddy's text: when asked.
    return UpDownPosition(Text(edit), spin->minPos, spin->maxPos, spin->lastValid, error);
}

void DialogModel::SetRange(DialogEdit edit, int minPos, int maxPos) {
    Spin* spin = SpinOf(edit);
    spin->minPos = minPos;
    spin->maxPos = maxPos;
    spin->lastValid = std::clamp(spin->lastValid, std::min(minPos, maxPos), std::max(minPos, maxPos));
    Position(edit);  // the edit's number, when valid, becomes the position
}

bool DialogModel::Enabled(int controlId) const {
    switch (controlId) {
        case IDC_FIELD:
            return job_.ruleNum == kRuleFieldValue;
        case IDC_START: case IDC_DIGIT: case IDC_START_LABEL: case IDC_DIGIT_LABEL:
        case IDC_START_SPIN: case IDC_DIGIT_SPIN:
            return job_.ruleNum == kRuleSequenceNumber;
        case IDC_PREFIX:
            return Switch(DialogSwitch::Prefix);
        case IDC_REPEAT: case IDC_REPEAT_SPIN:
            return Switch(DialogSwitch::Repeat);
        case IDC_GENERATE: case IDC_INVERT: case IDC_FIXED_WIDTH:
            return runControls_;
        case IDC_ROTATE:  // without a header record there are no columns to rotate
            return runControls_ && table_ && table_->RecordCount() > 0;
        case IDC_LOAD: case IDC_EXIT:
            return loadAndExit_;
        case IDC_BROWSE_RESULT:
            return !shownPage_.empty();
        default:
            // The others as the window starts.
            for (const res::DialogItem& item : res::MainDialogItems())
                if (item.id == controlId) return (item.flags & res::kDisabled) == 0;
            return true;
    }
}

std::vector<int> DialogModel::SelectedRecords() const {
    std::vector<int> records;
    records.reserve(static_cast<size_t>(selectedCount_));
    for (int r = 0; r < Rows(); ++r)
        if (selected_[static_cast<size_t>(r)]) records.push_back(r);
    return records;
}

// ------------------------------------------------------------ changes

void DialogModel::SetText(DialogEdit edit, std::string_view utf8) {
    TextRef(edit) = EditTextOf(utf8);
}

void DialogModel::TypeText(DialogEdit edit, std::string_view utf8) {
    if (edit == DialogEdit::CSV && utf8 != Text(edit)) job_.sheet.clear();  // another source
    SetText(edit, utf8);
    ForgetShownPage();
    PathChanged(edit);
}

void DialogModel::PutText(DialogEdit edit, std::string_view utf8) {
    if (edit == DialogEdit::CSV && utf8 != Text(edit)) job_.sheet.clear();
    SetText(edit, utf8);
    listener_->TextChanged(edit);
    ForgetShownPage();
    PathChanged(edit);
}

// A new path: a message about the old one is old news.
void DialogModel::PathChanged(DialogEdit edit) {
    using diag::Code;
    if (edit == DialogEdit::HTML) TemplateMayHaveChanged();
    static constexpr std::pair<DialogEdit, Code> kAbout[] = {
        {DialogEdit::CSV, Code::kNoCsvPath},          {DialogEdit::CSV, Code::kCsvNotFound},
        {DialogEdit::HTML, Code::kNoTemplatePath},    {DialogEdit::HTML, Code::kTemplateMissing},
        {DialogEdit::HTML, Code::kTemplateUtf16},     {DialogEdit::HTML, Code::kTemplateCharset},
        {DialogEdit::Out, Code::kNoOutPath},          {DialogEdit::Out, Code::kOutMissing},
    };
    for (const auto& [about, code] : kAbout)
        if (about == edit && statusCode_ == code) SetStatus({});
}

void DialogModel::TemplateMayHaveChanged() {
    const platform::TextEncoding otherwise = table_ ? table_->Encoding() : csvDetected_;
    CTemplateFile file(Text(DialogEdit::HTML));
    templateDetected_ = file.IsOpen() && file.Read() > 0 ? file.DetectedEncoding(otherwise) : otherwise;
    listener_->ComboChanged(DialogCombo::TemplateEncoding);
}

void DialogModel::ClearList() {
    ForgetShownPage();
    selected_.clear();
    selectedCount_ = 0;
    listShown_ = false;
    listener_->ListRebuilt();
    if (statusCode_ == diag::Code::kSelection || statusCode_ == diag::Code::kSelectionWithHeader)
        SetStatus({});
}

void DialogModel::TypeExtension(std::string_view utf8) {
    job_.extension = EditTextOf(utf8);
    ForgetShownPage();
}

void DialogModel::SetSwitch(DialogSwitch which, bool on) {
    SwitchRef(which) = on;
    listener_->SwitchChanged(which);
    // The look of the list and the start-up run change no page.
    if (which != DialogSwitch::Fix && which != DialogSwitch::Auto) ForgetShownPage();
    OnSwitch(which);
}

void DialogModel::OnSwitch(DialogSwitch which) {
    switch (which) {
        case DialogSwitch::Prefix:
            listener_->ControlsEnabled();
            break;
        case DialogSwitch::Fix:
            FillRecordList(0);
            break;
        case DialogSwitch::Repeat:
            listener_->ControlsEnabled();
            UpdateRepeatCount();
            break;
        case DialogSwitch::Create:
        case DialogSwitch::Auto:
            break;
    }
}

void DialogModel::Choose(DialogCombo combo, int index) {
    const int before = Choice(combo);
    Select(combo, index);
    if (!IsEncodingList(combo)) ForgetShownPage();
    if (combo == DialogCombo::Rule) OnRuleChange();
    // The CSV is read anew in the encoding chosen, a workbook's sheet as a
    // fresh load (the same entry chosen again keeps the table and its
    // selection).
    if (combo == DialogCombo::CsvEncoding && Choice(combo) != before &&
        !Text(DialogEdit::CSV).empty()) {
        listener_->LoadStarting();
        LoadCsv();
    }
}

void DialogModel::Select(DialogCombo combo, int index) {
    if (combo == DialogCombo::CsvEncoding && ListsSheets()) {
        if (index < 0 || index >= static_cast<int>(sheetNames_.size())) return;
        job_.sheet = index == 0 ? "" : sheetNames_[static_cast<size_t>(index)];
        listener_->ComboChanged(combo);
        return;
    }
    if (IsEncodingList(combo)) {
        if (index < 0 || index >= EncodingItemCount(combo)) return;
        EncodingRef(combo) = static_cast<platform::EncodingChoice>(index);
        listener_->ComboChanged(combo);
        return;
    }
    const int count = combo == DialogCombo::Rule    ? static_cast<int>(res::RuleItems().size())
                      : combo == DialogCombo::Field ? static_cast<int>(fieldItems_.size())
                                                    : static_cast<int>(res::ExtensionItems().size());
    const int entry = index >= 0 && index < count ? index : -1;
    if (combo == DialogCombo::Rule) {
        job_.ruleNum = entry;
    } else if (combo == DialogCombo::Field) {
        job_.fieldNum = entry;
    } else {
        job_.extNum = entry;
        // The edit field shows the entry chosen, or nothing.
        job_.extension = entry >= 0 ? res::ExtensionItems()[static_cast<size_t>(entry)] : "";
    }
    listener_->ComboChanged(combo);
}

void DialogModel::OnRuleChange() {
    listener_->ControlsEnabled();
}

void DialogModel::EnableRunControls(bool enable, bool alsoLoadAndExit) {
    runControls_ = enable;
    if (alsoLoadAndExit) loadAndExit_ = enable;
    listener_->ControlsEnabled();
}

void DialogModel::StepUpDown(DialogEdit edit, int direction) {
    Spin* spin = SpinOf(edit);
    if (!spin) return;
    const int toward = spin->maxPos >= spin->minPos ? direction : -direction;
    const int pos = std::clamp(Position(edit) + toward, std::min(spin->minPos, spin->maxPos),
                               std::max(spin->minPos, spin->maxPos));
    spin->lastValid = pos;
    SetText(edit, std::to_string(pos));
    listener_->TextChanged(edit);
    ForgetShownPage();
}

void DialogModel::UpdateRepeatCount() {
    if (!Switch(DialogSwitch::Repeat)) return;
    SetText(DialogEdit::Repeat, std::to_string(selectedCount_));
    listener_->TextChanged(DialogEdit::Repeat);
}

// ------------------------------------------------------------ the list

void DialogModel::SetSelection(std::vector<char> rows) {
    rows.resize(selected_.size());
    selected_ = std::move(rows);
    selectedCount_ = static_cast<int>(std::count_if(selected_.begin(), selected_.end(),
                                                    [](char c) { return c != 0; }));
    for (char& c : selected_) c = c ? 1 : 0;
    ForgetShownPage();
    listener_->SelectionChanged(SelectionChange::User);
    UpdateRepeatCount();
    TellSelection();
}

void DialogModel::TellSelection() {
    if (!listShown_) return;
    const bool header = Rows() > 0 && selected_[0];
    Report({.code = header ? diag::Code::kSelectionWithHeader : diag::Code::kSelection,
            .number = std::max(0, Rows() - 1),
            .count = selectedCount_ - (header ? 1 : 0)});
}

// The list is drawn anew from `startColumn` on, or in its other look; the
// selection stays (a new table starts with none).
void DialogModel::FillRecordList(int startColumn) {
    if (!table_) return;
    listStartColumn_ = startColumn;
    listShown_ = true;
    selected_.resize(static_cast<size_t>(table_->RecordCount()), 0);
    listener_->ListRebuilt();
    listener_->SelectionChanged(SelectionChange::Shown);
}

void DialogModel::ShowSelection(const std::vector<int>& records) {
    ForgetShownPage();
    std::fill(selected_.begin(), selected_.end(), 0);
    const std::vector<int> shown = SelectedWithin(records, Rows());
    for (int r : shown) selected_[static_cast<size_t>(r)] = 1;
    selectedCount_ = static_cast<int>(shown.size());
    listener_->SelectionChanged(SelectionChange::Shown);
    TellSelection();
}

void DialogModel::ReleaseTable() {
    ForgetShownPage();
    selected_.clear();
    selectedCount_ = 0;
    listShown_ = false;
    table_.reset();
    listener_->ListRebuilt();
}

void DialogModel::OnRotate() {
    const CCsvRecord* header = table_ ? table_->GetRecord(0) : nullptr;
    const int columns = header ? header->FieldCount() : 0;
    if (columns <= 0) return;
    rotationOffset_ = (rotationOffset_ + 1) % columns;
    FillRecordList(rotationOffset_);
    UpdateRepeatCount();
}

void DialogModel::OnInvertSelection() {
    ForgetShownPage();
    for (char& c : selected_) c = c ? 0 : 1;
    selectedCount_ = Rows() - selectedCount_;
    if (Rows() > 0) listener_->SelectionChanged(SelectionChange::Inverted);
    UpdateRepeatCount();
    TellSelection();
}

void DialogModel::LoadCsv() {
    ForgetShownPage();
    EnableRunControls(false, false);
    const std::string path = Text(DialogEdit::CSV);
    // The same file read again (edited, or in another encoding) keeps the
    // field of the same name and the records still there.
    const bool again = table_ && path == loadedPath_ && job_.sheet == loadedSheet_;
    const std::string field = again && job_.fieldNum >= 0 ? fieldItems_[static_cast<size_t>(job_.fieldNum)] : "";
    const std::vector<int> kept = again ? SelectedRecords() : std::vector<int>{};
    // A path named lets the table go, whatever becomes of the new one.
    if (!path.empty() && table_) ReleaseTable();
    std::unique_ptr<CCsvTable> table =
        OpenCsvFile(path, EncodingChoiceOf(DialogCombo::CsvEncoding), job_.separator, *this);
    if (!table) {
        if (!path.empty() && ListsSheets()) {
            sheetNames_.clear();
            listener_->ComboChanged(DialogCombo::CsvEncoding);
        }
        return;
    }
    table_ = std::move(table);
    loadedPath_ = path;
    loadedSheet_ = job_.sheet;
    table_->SetSheet(job_.sheet);
    const bool read = table_->Load(*this) != nullptr;
    if (sheetNames_ != table_->SheetNames()) {
        sheetNames_ = table_->SheetNames();
        listener_->ComboChanged(DialogCombo::CsvEncoding);
    }
    fieldItems_.clear();
    job_.fieldNum = -1;
    if (csvDetected_ != table_->DetectedEncoding() || csvDetectedUtf16_ != table_->SourceIsUtf16()) {
        csvDetected_ = table_->DetectedEncoding();
        csvDetectedUtf16_ = table_->SourceIsUtf16();
        listener_->ComboChanged(DialogCombo::CsvEncoding);
    }
    if (!read) {  // could not be read; the box said why
        ReleaseTable();
        listener_->ComboChanged(DialogCombo::Field);
        TemplateMayHaveChanged();
        return;
    }
    if (const CCsvRecord* header = table_->GetRecord(0))
        for (int i = 0; i < header->FieldCount(); ++i) {
            fieldItems_.push_back(platform::ToUtf8(header->FieldView(i), table_->Encoding()));
            if (job_.fieldNum < 0 && !field.empty() && fieldItems_.back() == field) job_.fieldNum = i;
        }
    FillRecordList(0);
    std::vector<int> records;
    if (again) {
        for (int r : kept)
            if (r < Rows()) records.push_back(r);
    } else {
        for (int r = 1; r < Rows(); ++r) records.push_back(r);  // the data, not the header
    }
    ShowSelection(records);
    listener_->ComboChanged(DialogCombo::Field);
    TemplateMayHaveChanged();  // a template of ASCII alone follows the CSV
    EnableRunControls(true, false);
    UpdateRepeatCount();
}

void DialogModel::SetStatus(std::string utf8) {
    status_ = std::move(utf8);
    statusCode_.reset();
    listener_->StatusChanged(status_);
}

// ------------------------------------------------------------ settings

// A settings file opened: its job shown, the CSV it names loaded, then its
// field and selection taken against that table.
int DialogModel::LoadSettings() {
    std::optional<SettingsRead> read = ReadSettingsFile(job_.fileName, *this);
    if (!read) return -1;
    const Job& job = read->job;
    for (const auto& [edit, text] :
         {std::pair{DialogEdit::CSV, job.CSV}, std::pair{DialogEdit::HTML, job.HTML},
          std::pair{DialogEdit::Out, job.Out}, std::pair{DialogEdit::Prefix, job.Prefix},
          std::pair{DialogEdit::Start, std::to_string(job.start)},
          std::pair{DialogEdit::Digit, std::to_string(job.digit)}})
        PutText(edit, text);
    for (const auto& [combo, choice] : {std::pair{DialogCombo::CsvEncoding, job.csvCode},
                                        std::pair{DialogCombo::TemplateEncoding, job.htmlCode}})
        if (!encodingForced_[EncodingSlot(combo)]) {
            EncodingRef(combo) = choice;  // whatever the list shows now
            listener_->ComboChanged(combo);
        }
    job_.separator = job.separator;
    job_.sheet = job.sheet;
    for (const auto& [which, on] :
         {std::pair{DialogSwitch::Prefix, job.prefixChk}, std::pair{DialogSwitch::Fix, job.fixChk},
          std::pair{DialogSwitch::Repeat, job.repeatChk}, std::pair{DialogSwitch::Create, job.createChk},
          std::pair{DialogSwitch::Auto, job.autoChk}})
        SetSwitch(which, on);
    Select(DialogCombo::Rule, job.ruleNum);
    OnRuleChange();
    Select(DialogCombo::Extension, job.extNum);
    if (read->namesCsv) {
        listener_->LoadStarting();
        LoadCsv();
    }
    const CCsvRecord* header = table_ ? table_->GetRecord(0) : nullptr;
    TakeAgainstTable(*read, header ? header->FieldCount() : 0, table_ ? table_->RecordCount() : -1);
    Select(DialogCombo::Field, job.fieldNum);
    if (table_) ShowSelection(job.selection);
    // The repeat count as saved, whatever the selection made of it.
    PutText(DialogEdit::Repeat, std::to_string(job.repeat));
    if (std::optional<diag::Diagnostic> unused = UnusedLinesWarning(*read)) Report(*unused);
    return 0;
}

Job DialogModel::EditedJob() const {
    Job v = job_;
    v.extNum = ExtensionEntry();
    v.start = Position(DialogEdit::Start);
    v.digit = Position(DialogEdit::Digit);
    v.repeat = Position(DialogEdit::Repeat);
    v.selection = SelectedRecords();
    return v;
}

int DialogModel::SaveSettings() {
    const Job v = EditedJob();
    std::string text = ComposeSettingsHead(v);
    if (!prompter_.AskYesNo(res::kSaveSettingsTitle, res::kSaveSettingsQuestion + text)) return 0;
    text += ComposeSelItemsLine(v.selection);
    platform::FilePtr file = platform::OpenFile(job_.fileName, "wb");
    if (file) {
        const std::string bytes = EncodeSettingsFile(ToCrLf(text));
        std::fwrite(bytes.data(), 1, bytes.size(), file.get());
        if (platform::CloseChecked(file)) return 0;
    }
    // Not opened, or not written whole: either way the settings are not saved.
    Report({.code = diag::Code::kSettingsCannotOpen, .path = job_.fileName});
    return -1;
}

// ------------------------------------------------------------ generate

void DialogModel::OnGenerate() {
    RunCallbacks callbacks;
    callbacks.enableRunControls = [this](bool enable, bool also) { EnableRunControls(enable, also); };
    const Job job = EditedJob();
    ForgetShownPage();
    lastRun_ = RunGeneration(job, job.selection, table_.get(), callbacks, *this);
    shownPage_ = lastRun_.shownPage;
    if (!shownPage_.empty()) listener_->ControlsEnabled();
}

void DialogModel::ForgetShownPage() {
    if (shownPage_.empty()) return;
    shownPage_.clear();
    listener_->ControlsEnabled();
}

void DialogModel::Report(const diag::Diagnostic& d) {
    switch (diag::PlaceOf(d.code)) {
        case diag::Place::kStatus:
        case diag::Place::kProgress:
            SetStatus(diag::Text(d));
            statusCode_ = d.code;
            break;
        case diag::Place::kAfterStatus:
            // No failure: the status line tells it after the run's last word.
            SetStatus(status_ + "　" + diag::Text(d));
            break;
        default:
            break;
    }
    shown_->Report(d);
}
