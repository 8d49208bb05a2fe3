// The main window: one dialog built from dialog template 102. Handlers are
// the On... members; Qt signals reach them in ConnectHandlers only.
#pragma once

#include <QDialog>
#include <QRect>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "data/CsvTable.h"
#include "gen/GenerationRun.h"
#include "settings/SettingsReplay.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class CUpDown;
class RecordListModel;
class RecordLineDelegate;
namespace res {
struct DialogItem;
}
namespace platform {
class Prompter;
}

class CMainDlg : public QDialog, private SettingsTarget {
    Q_OBJECT
  public:
    // `arguments` are the command line's (code page 932), program name excluded.
    explicit CMainDlg(platform::Prompter& prompter, std::vector<std::string> arguments = {},
                      QWidget* parent = nullptr);
    ~CMainDlg() override;

    // Window handlers and operations.
    void LoadCsv();
    void FillRecordList(int startColumn);
    void SetListTabStops(int startColumn);
    void OnRotate();
    void OnInvertSelection();
    void OnGenerate();
    void EnableRunControls(bool enable, bool alsoLoadAndExit);
    void EnableNumberControls(bool on);
    void UpdateRepeatCount();
    void OnFixChk();
    void OnPrefixChk();
    void OnRepeatChk();
    void OnCreateChk();
    void OnAutoChk();
    void OnRuleChange();
    void OnExit();
    void OnCompact();
    void OnSize(int cx, int cy);

    // Settings files and file intake.
    void OnOpenSettings();
    void OnSaveSettings();
    int LoadSettings();
    int SaveSettings();
    void OnBrowseCsv();
    void OnBrowseTemplate();
    void OnDropFiles(const std::vector<std::string>& names);
    void OpenDroppedFile(const char* name);

    // What the generation run reads from the controls.
    RunSettings ReadRunSettings() const;
    // Selected lines of the record list, ascending.
    std::vector<int> SelectedRecords() const;
    int SelectedCount() const;

    // For the batch mode and tests.
    QWidget* Control(int id) const;
    const CCsvTable* Table() const { return table_.get(); }
    const std::string& SettingsPath() const { return settingsPath_; }
    void SetSettingsPath(std::string path) { settingsPath_ = std::move(path); }
    const RunReport& LastRun() const { return lastRun_; }
    int RotationOffset() const { return rotationOffset_; }
    int BaseUnitX() const { return baseUnitX_; }
    int BaseUnitY() const { return baseUnitY_; }
    QString StatusText() const;
    // Called with every status line text (UTF-8), after it is shown.
    void SetStatusObserver(std::function<void(const std::string&)> observer) {
        statusObserver_ = std::move(observer);
    }
    // The record list's lines as code page 932 bytes.
    std::vector<std::string> ListLines() const;
    std::vector<int> ListTabStops() const { return tabStops_; }
    QListView* RecordList() const { return list_; }
    bool fixChk() const { return fixChk_; }
    bool prefixChk() const { return prefixChk_; }
    bool repeatChk() const { return repeatChk_; }
    bool createChk() const { return createChk_; }
    bool autoChk() const { return autoChk_; }
    bool compactChk() const { return compactChk_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    // Settings lines applied to the controls.
    void ReplayText(SettingsKey key, std::string_view cp932) override;
    void ReplayCsvLoad() override;
    void ReplaySwitch(SettingsKey key, bool on) override;
    void ReplaySelect(SettingsKey key, int index) override;
    void ReplayRuleChange() override;
    void ReplaySelection(const std::vector<int>& records) override;

    // The controls of the dialog template, in its order.
    void CreateControls();
    // One control, placed at its position in the template.
    QWidget* CreateControl(const res::DialogItem& item);
    QListView* CreateRecordList();
    // The members that name the controls the handlers use.
    void BindControls();
    void ConnectHandlers();
    void OnInitDialog(const std::vector<std::string>& arguments);
    void OnClose();
    void ReleaseTable();
    bool ChooseSettingsPath(bool save);
    void OnListSelectionChanged();
    // Program-made selection changes: no selection handler runs meanwhile.
    void SelectAllLines();
    void AddToSelection(const std::vector<int>& records);
    QRect DuToPixels(int x, int y, int w, int h) const;
    std::string Text(int id) const;
    void SetText(int id, std::string_view cp932);
    void SetStatus(const std::string& utf8);
    void ApplyMinimumSize();

    platform::Prompter& prompter_;
    std::unique_ptr<CCsvTable> table_;
    std::string settingsPath_ = "default.cfg";
    bool fixChk_ = false;
    bool prefixChk_ = false;
    bool compactChk_ = false;
    bool repeatChk_ = false;
    bool createChk_ = true;
    bool autoChk_ = false;
    int rotationOffset_ = 0;
    QRect savedWindowRect_;
    RunReport lastRun_;

    int baseUnitX_ = 0;
    int baseUnitY_ = 0;
    std::vector<int> tabStops_;
    std::map<int, QWidget*> controls_;
    bool programChange_ = false;
    std::function<void(const std::string&)> statusObserver_;

    // Bound controls.
    QLineEdit* csvPath_ = nullptr;
    QLineEdit* htmlPath_ = nullptr;
    QLineEdit* outPath_ = nullptr;
    QListView* list_ = nullptr;
    RecordListModel* listModel_ = nullptr;
    RecordLineDelegate* listDelegate_ = nullptr;
    QLabel* status_ = nullptr;
    QCheckBox* fixedWidthBox_ = nullptr;
    QComboBox* rule_ = nullptr;
    QComboBox* field_ = nullptr;
    QComboBox* extension_ = nullptr;
    QLineEdit* prefix_ = nullptr;
    QCheckBox* prefixBox_ = nullptr;
    QCheckBox* repeatBox_ = nullptr;
    QLineEdit* start_ = nullptr;
    CUpDown* startSpin_ = nullptr;
    QLineEdit* digit_ = nullptr;
    CUpDown* digitSpin_ = nullptr;
    QLineEdit* repeat_ = nullptr;
    CUpDown* repeatSpin_ = nullptr;
    QCheckBox* compactBox_ = nullptr;
    QCheckBox* createBox_ = nullptr;
    QCheckBox* autoBox_ = nullptr;
};
