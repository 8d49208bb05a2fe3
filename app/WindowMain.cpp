// The window's entry point. It lives in a module of its own that the
// program loads only to open the window, so that the batch mode loads no
// Qt library at all.
#include <QApplication>
#include <string>
#include <vector>

#include "app/MainDlg.h"
#include "app/QtPrompter.h"
#include "gen/ProgramIdentity.h"

extern "C" __attribute__((visibility("default"))) int quolix_window_main(int* argc, char** argv,
                                                                         const char* const* files,
                                                                         int fileCount) {
    std::vector<std::string> arguments(files, files + fileCount);
    QApplication app(*argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kProgramName));
    QtPrompter prompter;
    CMainDlg dialog(prompter, arguments);
    prompter.SetOwner(&dialog);
    dialog.exec();
    return 0;
}
