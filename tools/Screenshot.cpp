// Renders the window offscreen, with a settings file read into it, to a PNG:
//   quolix_screenshot OUT.png [SETTINGS.cfg]
#include <QApplication>
#include <QPixmap>
#include <cstdio>

#include "app/MainDlg.h"
#include "platform/CodePage.h"
#include "RecordingPrompter.h"
#include "platform/Prompter.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: quolix_screenshot OUT.png [SETTINGS.cfg]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testutil::RecordingPrompter prompter;
    CMainDlg dialog(prompter);
    if (argc > 2) {
        dialog.SetSettingsPath(platform::Utf8ToCp932(argv[2]));
        dialog.LoadSettings();
    }
    dialog.show();
    QApplication::processEvents();
    for (const auto& e : prompter.entries) std::fprintf(stderr, "%s\n", e.text.c_str());
    if (!dialog.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
