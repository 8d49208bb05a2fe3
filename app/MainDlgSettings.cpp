// CMainDlg: writing and reading settings files. Reading replays each line
// through the control it names and that control's handler.
#include <QCheckBox>
#include <algorithm>
#include <iterator>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>

#include "app/MainDlg.h"
#include "app/QtPrompter.h"
#include "app/UpDown.h"
#include "platform/CodePage.h"
#include "platform/FileSys.h"
#include "platform/Prompter.h"
#include "platform/StrFormat.h"
#include "res/ControlIds.h"
#include "settings/SettingsText.h"

namespace {

const char kSettingsFilter[] = "設定ﾌｧｲﾙ(*.cfg)|*.cfg||";
const char kSettingsDefaultExt[] = "*.cfg";

std::string CannotOpen(const std::string& path) {
    return platform::StrFormat("ファイル(%s)が開けません．", platform::Cp932ToUtf8(path).c_str());
}

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
// replaces it before the file is read or written.
bool CMainDlg::ChooseSettingsPath(bool save) {
    platform::FileDialogRequest request;
    request.save = save;
    request.filter = kSettingsFilter;
    request.defaultExt = kSettingsDefaultExt;
    request.proposedName = settingsPath_;
    std::optional<std::string> chosen = prompter_.ChooseFile(request);
    if (!chosen) return false;
    settingsPath_ = *chosen;
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
    prompter_.Message(CannotOpen(settingsPath_));
    return -1;
}

int CMainDlg::LoadSettings() {
    std::string bytes;
    if (!platform::ReadWholeFile(settingsPath_, bytes)) {
        prompter_.Message(CannotOpen(settingsPath_));
        return -1;
    }
    // Lines that set a check box and then run the box's handler.
    struct SwitchLine {
        SettingsKey key;
        QCheckBox* box;
        void (CMainDlg::*handler)();
    };
    const SwitchLine switches[] = {
        {SettingsKey::prefixChk, prefixBox_, &CMainDlg::OnPrefixChk},
        {SettingsKey::fixChk, fixedWidthBox_, &CMainDlg::OnFixChk},
        {SettingsKey::repeatChk, repeatBox_, &CMainDlg::OnRepeatChk},
        {SettingsKey::createChk, createBox_, &CMainDlg::OnCreateChk},
        {SettingsKey::autoChk, autoBox_, &CMainDlg::OnAutoChk},
    };
    // Lines whose value is the text of an edit, unconverted.
    const std::pair<SettingsKey, int> texts[] = {
        {SettingsKey::CSV, IDC_CSV_PATH}, {SettingsKey::HTML, IDC_HTML_PATH},
        {SettingsKey::Out, IDC_OUT_PATH}, {SettingsKey::Prefix, IDC_PREFIX},
        {SettingsKey::start, IDC_START},  {SettingsKey::digit, IDC_DIGIT},
        {SettingsKey::repeat, IDC_REPEAT},
    };

    std::optional<std::string> repeatText;
    for (std::string_view raw : SplitSettingsLines(bytes)) {
        const std::optional<SettingsLine> line = SplitSettingsLine(raw);
        if (!line) continue;
        const SettingsKey key = LookupSettingsKey(line->key);
        const std::string_view value = line->value;
        if (key == SettingsKey::None) continue;

        const auto text = std::find_if(std::begin(texts), std::end(texts),
                                       [key](const auto& t) { return t.first == key; });
        if (text != std::end(texts)) {
            // An empty value empties the field.
            SetText(text->second, value);
            if (key == SettingsKey::CSV) {
                repaint();
                LoadCsv();
            }
            if (key == SettingsKey::repeat) repeatText = std::string(value);
            continue;
        }
        if (key == SettingsKey::SelItems) {
            list_->setVisible(false);
            AddToSelection(ParseSelItems(value));
            list_->scrollToTop();
            list_->setVisible(true);
            continue;
        }
        // The rest are numbers; a numeric line without a value is passed over.
        if (value.empty()) continue;
        const int number = ParseSettingsInt(value);
        for (const SwitchLine& s : switches) {
            if (s.key != key) continue;
            s.box->setChecked(number != 0);
            (this->*s.handler)();
        }
        if (key == SettingsKey::ruleNum) {
            if (number != -1) SelectEntry(rule_, number);
            OnRuleChange();
        } else if (key == SettingsKey::fieldNum && number != -1) {
            SelectEntry(field_, number);
        } else if (key == SettingsKey::extNum && number != -1) {
            SelectEntry(extension_, number);
        }
    }
    // The saved repeat count comes back, whatever the handlers of later
    // lines wrote into the field meanwhile.
    if (repeatText) SetText(IDC_REPEAT, *repeatText);
    return 0;
}
