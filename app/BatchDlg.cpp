#include "app/BatchDlg.h"

#include <algorithm>

#include "app/ControlText.h"
#include "platform/CodePage.h"
#include "platform/Prompter.h"
#include "res/DialogTemplate.h"

CBatchDlg::CBatchDlg(platform::Prompter& prompter) : prompter_(prompter) {
    // As the window starts: first rule and extension, numbers 1, 5 and 1.
    extensionText_ = res::ExtensionItems()[0];
    start_ = "1";
    digit_ = "5";
    repeat_ = "1";
    SetRange(startSpin_, start_, 9999, 1);
    SetRange(digitSpin_, digit_, 5, 1);
    SetRange(repeatSpin_, repeat_, 9999, 0);
}

CBatchDlg::~CBatchDlg() = default;

int CBatchDlg::LoadSettings() {
    return LoadSettingsFile(settingsPath_, *this, prompter_);
}

// ------------------------------------------------------------ controls

std::string* CBatchDlg::Edit(SettingsKey key) {
    switch (key) {
        case SettingsKey::CSV:
            return &csvPath_;
        case SettingsKey::HTML:
            return &htmlPath_;
        case SettingsKey::Out:
            return &outPath_;
        case SettingsKey::Prefix:
            return &prefix_;
        case SettingsKey::start:
            return &start_;
        case SettingsKey::digit:
            return &digit_;
        case SettingsKey::repeat:
            return &repeat_;
        default:
            return nullptr;
    }
}

void CBatchDlg::SetRange(Spin& spin, const std::string& text, int minPos, int maxPos) {
    spin.minPos = minPos;
    spin.maxPos = maxPos;
    spin.lastValid = std::clamp(spin.lastValid, std::min(minPos, maxPos), std::max(minPos, maxPos));
    Pos(spin, text);
}

int CBatchDlg::Pos(const Spin& spin, const std::string& text) const {
    return UpDownPosition(text, spin.minPos, spin.maxPos, spin.lastValid);
}

void CBatchDlg::ReplayText(SettingsKey key, std::string_view cp932) {
    if (std::string* edit = Edit(key)) *edit = EditTextOf(cp932);
}

void CBatchDlg::ReplayCsvLoad() {
    LoadCsv();
}

void CBatchDlg::ReplaySwitch(SettingsKey key, bool on) {
    switch (key) {
        case SettingsKey::prefixChk:
            prefixChk_ = on;
            break;
        case SettingsKey::fixChk:
            fixChk_ = on;
            OnFixChk();
            break;
        case SettingsKey::repeatChk:
            repeatChk_ = on;
            OnRepeatChk();
            break;
        case SettingsKey::createChk:
            createChk_ = on;
            break;
        case SettingsKey::autoChk:
            autoChk_ = on;
            break;
        default:
            break;
    }
}

void CBatchDlg::ReplaySelect(SettingsKey key, int index) {
    auto entry = [index](int count) { return index >= 0 && index < count ? index : -1; };
    if (key == SettingsKey::ruleNum) {
        rule_ = entry(static_cast<int>(res::RuleItems().size()));
    } else if (key == SettingsKey::fieldNum) {
        field_ = entry(fieldCount_);
    } else if (key == SettingsKey::extNum) {
        extension_ = entry(static_cast<int>(res::ExtensionItems().size()));
        // The combo's edit field shows the entry chosen, or nothing.
        extensionText_ = extension_ >= 0 ? res::ExtensionItems()[extension_] : "";
    }
}

void CBatchDlg::ReplaySelection(const std::vector<int>& records) {
    for (int r : records) {
        if (r == -1)
            std::fill(selected_.begin(), selected_.end(), 1);
        else if (r >= 0 && r < rows_)
            selected_[static_cast<size_t>(r)] = 1;
    }
}

// ------------------------------------------------------------ handlers

void CBatchDlg::OnFixChk() {
    FillRecordList();
}

void CBatchDlg::OnRepeatChk() {
    UpdateRepeatCount();
}

void CBatchDlg::UpdateRepeatCount() {
    if (repeatChk_) repeat_ = std::to_string(SelectedRecords().size());
}

// The list is filled anew: every line, none selected.
void CBatchDlg::FillRecordList() {
    if (!table_) return;
    rows_ = table_->RecordCount();
    selected_.assign(static_cast<size_t>(rows_), 0);
}

void CBatchDlg::ReleaseTable() {
    rows_ = 0;
    selected_.clear();
    table_.reset();
}

void CBatchDlg::LoadCsv() {
    const std::string path = platform::Utf8ToCp932(csvPath_);
    if (path.empty()) {
        SetStatus(res::kStatusNoCsvPath);
        return;
    }
    if (table_) ReleaseTable();
    table_ = std::make_unique<CCsvTable>(path);
    if (!table_->IsOpen()) {
        SetStatus(res::kStatusCsvNotFound);
        table_.reset();
        return;
    }
    if (!table_->Load(prompter_)) {  // could not be read; the box said why
        ReleaseTable();
        fieldCount_ = 0;
        field_ = -1;
        return;
    }
    FillRecordList();
    std::fill(selected_.begin(), selected_.end(), 1);
    const CCsvRecord* header = table_->GetRecord(0);
    fieldCount_ = header ? header->FieldCount() : 0;
    field_ = -1;
    UpdateRepeatCount();
}

void CBatchDlg::SetStatus(const std::string& utf8) {
    status_ = utf8;
    if (statusObserver_) statusObserver_(utf8);
}

// ------------------------------------------------------------ generate

std::vector<int> CBatchDlg::SelectedRecords() const {
    std::vector<int> records;
    for (int r = 0; r < rows_; ++r)
        if (selected_[static_cast<size_t>(r)]) records.push_back(r);
    return records;
}

RunSettings CBatchDlg::ReadRunSettings() const {
    RunSettings s;
    s.CSV = platform::Utf8ToCp932(csvPath_);
    s.HTML = platform::Utf8ToCp932(htmlPath_);
    s.Out = platform::Utf8ToCp932(outPath_);
    s.ruleNum = rule_;
    s.fieldNum = field_;
    s.extension = platform::Utf8ToCp932(extensionText_);
    s.start = Pos(startSpin_, start_);
    s.digit = Pos(digitSpin_, digit_);
    s.repeat = Pos(repeatSpin_, repeat_);
    s.prefixChk = prefixChk_;
    if (s.prefixChk) s.Prefix = platform::Utf8ToCp932(prefix_);
    s.fixChk = fixChk_;
    s.repeatChk = repeatChk_;
    s.createChk = createChk_;
    s.autoChk = autoChk_;
    return s;
}

void CBatchDlg::OnGenerate() {
    RunCallbacks callbacks;
    callbacks.status = [this](const std::string& text) { SetStatus(text); };
    lastRun_ =
        RunGeneration(ReadRunSettings(), SelectedRecords(), table_.get(), callbacks, prompter_);
}
