// Renders the window, or a box or dialog that it shows, offscreen to a PNG:
//   quolix_screenshot OUT.png [SETTINGS.cfg]              the window
//   quolix_screenshot --generated OUT.png SETTINGS.cfg    the window after a run
//                                                         (the run writes its files)
//   quolix_screenshot --question OUT.png SETTINGS.cfg     the box that asks
//                                                         before the settings are saved
//   quolix_screenshot --file-dialog OUT.png SETTINGS.cfg  the template's file dialog,
//                                                         opened beside the CSV file
//   quolix_screenshot --folder-dialog OUT.png SETTINGS.cfg  the output folder's dialog
//   quolix_screenshot --after-run OUT.png SETTINGS.cfg    the box a run shows when it
//                                                         could not write everything
//                                                         (the run writes its files)
// The box and the dialog are Qt's, with Qt's Japanese translation as the
// window has it; they are closed unanswered, so nothing is written.
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QPixmap>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
#include <cstring>
#include <string>

#include "RecordingPrompter.h"
#include "window/MainDlg.h"
#include "window/QtPrompter.h"
#include "diag/Prompter.h"
#include "dialog/ControlIds.h"

namespace {

bool Save(QWidget& widget, const char* path) {
    if (widget.grab().save(QString::fromLocal8Bit(path))) return true;
    std::fprintf(stderr, "cannot write %s\n", path);
    return false;
}

// Saves the next modal dialog once it is drawn and has read its folder,
// then cancels it.
class GrabNextDialog {
  public:
    explicit GrabNextDialog(const char* path) : path_(path) {
        poll_.setInterval(20);
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible()) return;
            poll_.stop();
            QTimer::singleShot(500, dialog, [this, dialog] {
                saved_ = Save(*dialog, path_);
                dialog->reject();
            });
        });
        poll_.start();
    }
    bool Saved() const { return saved_; }

  private:
    const char* path_;
    QTimer poll_;
    bool saved_ = false;
};

int Usage() {
    std::fprintf(stderr,
                 "usage: quolix_screenshot [--generated] OUT.png [SETTINGS.cfg]\n"
                 "       quolix_screenshot --question|--file-dialog|--folder-dialog|--after-run OUT.png "
                 "SETTINGS.cfg\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const bool generated = std::strcmp(argv[1], "--generated") == 0;
    if (generated) {
        if (argc != 4) return Usage();
        ++argv;
        --argc;
    }
    const bool question = std::strcmp(argv[1], "--question") == 0;
    const bool fileDialog = std::strcmp(argv[1], "--file-dialog") == 0;
    const bool afterRun = std::strcmp(argv[1], "--after-run") == 0;
    const bool folderDialog = std::strcmp(argv[1], "--folder-dialog") == 0;
    if ((question || fileDialog || afterRun || folderDialog) && argc != 4) return Usage();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    if (!question && !fileDialog && !afterRun && !folderDialog) {
        testutil::RecordingPrompter prompter;
        CMainDlg dialog(prompter);
        if (argc > 2) {
            dialog.Model().SetSettingsPath(argv[2]);
            dialog.Model().LoadSettings();
        }
        dialog.show();
        QApplication::processEvents();
        if (generated) {
            qobject_cast<QAbstractButton*>(dialog.Control(IDC_GENERATE))->click();
            QApplication::processEvents();
        }
        for (const auto& e : prompter.entries) std::fprintf(stderr, "%s\n", e.text.c_str());
        return Save(dialog, argv[1]) ? 0 : 1;
    }

    QTranslator qtJapanese;
    if (!QtPrompter::UseQtJapanese(qtJapanese)) {
        std::fprintf(stderr, "Qt's Japanese translation (qtbase_ja.qm) is not installed\n");
        return 1;
    }
    QtPrompter prompter;
    CMainDlg dialog(prompter);
    prompter.SetOwner(&dialog);
    dialog.Model().SetSettingsPath(argv[3]);
    if (dialog.Model().LoadSettings() != 0) return 1;
    dialog.show();
    QApplication::processEvents();

    GrabNextDialog grab(argv[2]);
    if (question) {
        dialog.Model().SaveSettings();
    } else if (afterRun) {
        dialog.Model().OnGenerate();
    } else if (folderDialog) {
        qobject_cast<QAbstractButton*>(dialog.Control(IDC_BROWSE_OUT))->click();
    } else {
        dialog.Model().PutText(DialogEdit::HTML, "");
        qobject_cast<QAbstractButton*>(dialog.Control(IDC_BROWSE_HTML))->click();
    }
    return grab.Saved() ? 0 : 1;
}
