// The main window: one dialog built from dialog template 102, a view of the
// dialog model. The user's signals reach the model through the On...
// handlers, connected in ConnectHandlers only; the model's notifications
// update the widgets, under one guard so that they run no handler.
#pragma once

#include <QDialog>
#include <QRect>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "dialog/DialogModel.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class CUpDown;
class RecordListModel;
class RecordLineDelegate;
namespace diag {
class Prompter;
}
namespace res {
struct DialogItem;
}

class CMainDlg : public QDialog, private DialogListener {
    Q_OBJECT
  public:
    // `arguments` are the command line's paths, program name excluded.
    explicit CMainDlg(diag::Prompter& prompter, std::vector<std::string> arguments = {},
                      QWidget* parent = nullptr);
    ~CMainDlg() override;

    // The dialog's state, and what the commands do with it.
    DialogModel& Model() { return model_; }
    const DialogModel& Model() const { return model_; }

    // Settings files and file intake.
    int LoadSettings() { return model_.LoadSettings(); }
    void OpenDroppedFile(const char* name);
    void OnDropFiles(const std::vector<std::string>& names);

    // What the window shows, for tests and tools.
    QWidget* Control(int id) const;
    const CCsvTable* Table() const { return model_.Table(); }
    const std::string& SettingsPath() const { return model_.SettingsPath(); }
    void SetSettingsPath(std::string path) { model_.SetSettingsPath(std::move(path)); }
    const RunReport& LastRun() const { return model_.LastRun(); }
    int RotationOffset() const { return model_.RotationOffset(); }
    Job EditedJob() const { return model_.EditedJob(); }
    // Selected lines of the record list, ascending, as the list shows them.
    std::vector<int> SelectedRecords() const;
    int SelectedCount() const { return static_cast<int>(SelectedRecords().size()); }
    QString StatusText() const;
    // Called with every status line text (UTF-8), after it is shown.
    void SetStatusObserver(std::function<void(const std::string&)> observer) {
        statusObserver_ = std::move(observer);
    }
    // The record list's lines in the table's encoding.
    std::vector<std::string> ListLines() const;
    std::vector<int> ListTabStops() const { return tabStops_; }
    QListView* RecordList() const { return list_; }
    bool fixChk() const { return model_.Switch(DialogSwitch::Fix); }
    bool prefixChk() const { return model_.Switch(DialogSwitch::Prefix); }
    bool repeatChk() const { return model_.Switch(DialogSwitch::Repeat); }
    bool createChk() const { return model_.Switch(DialogSwitch::Create); }
    bool autoChk() const { return model_.Switch(DialogSwitch::Auto); }
    bool compactChk() const { return compactChk_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    // Changes the program makes to widgets: no handler runs meanwhile.
    class ProgramChange {
      public:
        explicit ProgramChange(CMainDlg& dlg) : dlg_(dlg) { ++dlg_.programChanges_; }
        ~ProgramChange() { --dlg_.programChanges_; }
        ProgramChange(const ProgramChange&) = delete;
        ProgramChange& operator=(const ProgramChange&) = delete;

      private:
        CMainDlg& dlg_;
    };
    bool ProgramChanging() const { return programChanges_ > 0; }

    // The user's actions.
    void OnGenerate();
    void OnExit();
    void OnCompact();
    void OnSize(int cx, int cy);
    void OnOpenSettings();
    void OnSaveSettings();
    void OnBrowseCsv();
    void OnBrowseTemplate();
    void OnBrowseOut();
    void OnOpenResult();
    void OnListSelectionChanged();
    void OnClose();

    // The model's notifications.
    void StatusChanged(const std::string& utf8) override;
    void TextChanged(DialogEdit edit) override;
    void SwitchChanged(DialogSwitch which) override;
    void ComboChanged(DialogCombo combo) override;
    void ListRebuilt() override;
    void SelectionChanged(SelectionChange how) override;
    void ControlsEnabled() override;
    void LoadStarting() override;

    void CreateControls();
    QWidget* CreateControl(const res::DialogItem& item);
    QListView* CreateRecordList();
    void BindControls();
    void ConnectHandlers();
    void ConnectEdits();
    void OnInitDialog(const std::vector<std::string>& arguments);
    bool ChooseSettingsPath(bool save);
    void SetListTabStops(int startColumn);
    void SelectRows(const std::vector<int>& records);
    // A byte per line of the list, nonzero where it is selected.
    std::vector<char> SelectedRows() const;
    QLineEdit* EditWidget(DialogEdit edit) const;
    // The list of CsvEncoding or TemplateEncoding.
    QComboBox* EncodingList(DialogCombo combo) const;
    QRect DuToPixels(int x, int y, int w, int h) const;
    void ApplyMinimumSize();

    diag::Prompter& prompter_;
    DialogModel model_;
    bool compactChk_ = false;
    QRect savedWindowRect_;

    int baseUnitX_ = 0;
    int baseUnitY_ = 0;
    std::vector<int> tabStops_;
    std::map<int, QWidget*> controls_;
    int programChanges_ = 0;
    std::function<void(const std::string&)> statusObserver_;

    // Bound controls.
    QListView* list_ = nullptr;
    RecordListModel* listModel_ = nullptr;
    RecordLineDelegate* listDelegate_ = nullptr;
    QLabel* status_ = nullptr;
    QComboBox* rule_ = nullptr;
    QComboBox* field_ = nullptr;
    QComboBox* extension_ = nullptr;
    QComboBox* csvEncoding_ = nullptr;
    QComboBox* htmlEncoding_ = nullptr;
};
