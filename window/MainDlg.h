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
    void OpenDroppedFile(const char* name);
    void OnDropFiles(const std::vector<std::string>& names);

    // A control of the dialog by its id.
    QWidget* Control(int id) const;
    // Called with every status line text (UTF-8), after it is shown.
    void SetStatusObserver(std::function<void(const std::string&)> observer) {
        statusObserver_ = std::move(observer);
    }

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
