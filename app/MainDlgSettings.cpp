// CMainDlg: writing and reading settings files. Reading replays each line
// through the control it names and that control's handler.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>

#include "app/MainDlg.h"
#include "app/QtPrompter.h"
#include "app/UpDown.h"
#include "platform/CodePage.h"
#include "platform/FileSys.h"
#include "platform/Prompter.h"
#include "res/ControlIds.h"
#include "settings/SettingsReplay.h"
#include "settings/SettingsText.h"

namespace {

const char kSettingsFilter[] = "設定ﾌｧｲﾙ(*.cfg)|*.cfg||";
const char kSettingsDefaultExt[] = "*.cfg";

// Index of a combo's selected entry; -1 when none, or when the text of an
// editable combo was typed rather than chosen.
int SelectedEntry(const QComboBox* combo) {
    const int i = combo->currentIndex();
    if (i >= 0 && combo->isEditable() && combo->currentText() != combo->itemText(i)) return -1;
    return i;
}

void SelectEntry(QComboBox* combo, int index) {
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

}  // namespace

// The settings dialogs propose the current settings path; the choice
// replaces it before the file is read or written. A name saved without an
// extension gets ".cfg", so that the file is taken for settings when it is
// dropped on the window later.
bool CMainDlg::ChooseSettingsPath(bool save) {
    platform::FileDialogRequest request;
    request.save = save;
    request.filter = kSettingsFilter;
    request.defaultExt = kSettingsDefaultExt;
    request.proposedName = settingsPath_;
    std::optional<std::string> chosen = prompter_.ChooseFile(request);
    if (!chosen) return false;
    settingsPath_ = *chosen;
    // "/" and "." are never the second byte of a code page 932 character.
    const size_t nameStart = settingsPath_.rfind('/') + 1;  // 0 without a folder
    if (save && settingsPath_.find('.', nameStart) == std::string::npos) settingsPath_ += ".cfg";
    return true;
}

void CMainDlg::OnOpenSettings() {
    if (ChooseSettingsPath(false)) LoadSettings();
}

void CMainDlg::OnSaveSettings() {
    if (ChooseSettingsPath(true)) SaveSettings();
}

int CMainDlg::SaveSettings() {
    SettingsSnapshot v;
    v.fileName = settingsPath_;
    v.CSV = Text(IDC_CSV_PATH);
    v.HTML = Text(IDC_HTML_PATH);
    v.Out = Text(IDC_OUT_PATH);
    v.Prefix = Text(IDC_PREFIX);
    v.ruleNum = rule_->currentIndex();
    v.fieldNum = field_->currentIndex();
    v.extNum = SelectedEntry(extension_);
    v.start = startSpin_->Pos();
    v.digit = digitSpin_->Pos();
    v.repeat = repeatSpin_->Pos();
    v.prefixChk = prefixBox_->isChecked();
    v.fixChk = fixedWidthBox_->isChecked();
    v.repeatChk = repeatBox_->isChecked();
    v.createChk = createBox_->isChecked();
    v.autoChk = autoBox_->isChecked();
    v.selection = SelectedRecords();

    std::string text = ComposeSettingsHead(v);
    if (!prompter_.AskYesNo("設定ファイルの保存", platform::Cp932ToUtf8(text))) return 0;
    text += ComposeSelItemsLine(v.selection);
    platform::FilePtr file = platform::OpenFile(settingsPath_, "wb");
    if (file) {
        const std::string bytes = ToCrLf(text);
        std::fwrite(bytes.data(), 1, bytes.size(), file.get());
        if (platform::CloseChecked(file)) return 0;
    }
    // Not opened, or not written whole: either way the settings are not saved.
    prompter_.Message(CannotOpenSettingsText(settingsPath_));
    return -1;
}

int CMainDlg::LoadSettings() {
    return LoadSettingsFile(settingsPath_, *this, prompter_);
}

namespace {

int EditOf(SettingsKey key) {
    switch (key) {
        case SettingsKey::CSV:
            return IDC_CSV_PATH;
        case SettingsKey::HTML:
            return IDC_HTML_PATH;
        case SettingsKey::Out:
            return IDC_OUT_PATH;
        case SettingsKey::Prefix:
            return IDC_PREFIX;
        case SettingsKey::start:
            return IDC_START;
        case SettingsKey::digit:
            return IDC_DIGIT;
        case SettingsKey::repeat:
            return IDC_REPEAT;
        default:
            return IDC_STATIC;
    }
}

}  // namespace

void CMainDlg::ReplayText(SettingsKey key, std::string_view cp932) {
    SetText(EditOf(key), cp932);
}

void CMainDlg::ReplayCsvLoad() {
    repaint();
    LoadCsv();
}

void CMainDlg::ReplaySwitch(SettingsKey key, bool on) {
    // The box, then its handler.
    struct Switch {
        SettingsKey key;
        QCheckBox* box;
        void (CMainDlg::*handler)();
    };
    const Switch switches[] = {
        {SettingsKey::prefixChk, prefixBox_, &CMainDlg::OnPrefixChk},
        {SettingsKey::fixChk, fixedWidthBox_, &CMainDlg::OnFixChk},
        {SettingsKey::repeatChk, repeatBox_, &CMainDlg::OnRepeatChk},
        {SettingsKey::createChk, createBox_, &CMainDlg::OnCreateChk},
        {SettingsKey::autoChk, autoBox_, &CMainDlg::OnAutoChk},
    };
    for (const Switch& s : switches) {
        if (s.key != key) continue;
        s.box->setChecked(on);
        (this->*s.handler)();
    }
}

void CMainDlg::ReplaySelect(SettingsKey key, int index) {
    QComboBox* combo = key == SettingsKey::ruleNum    ? rule_
                       : key == SettingsKey::fieldNum ? field_
                       : key == SettingsKey::extNum   ? extension_
                                                      : nullptr;
    if (combo) SelectEntry(combo, index);
}

void CMainDlg::ReplayRuleChange() {
    OnRuleChange();
}

void CMainDlg::ReplaySelection(const std::vector<int>& records) {
    list_->setVisible(false);
    AddToSelection(records);
    list_->scrollToTop();
    list_->setVisible(true);
}
