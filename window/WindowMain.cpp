// The window's entry point. It lives in a module of its own that the
// program loads only to open the window, so that the batch mode loads no
// Qt library at all.
#include <QApplication>
#include <QTranslator>
#include <cstdio>
#include <string>
#include <vector>

#include "window/MainDlg.h"
#include "window/QtPrompter.h"
#include "window/WindowDisplay.h"
#include "gen/ProgramIdentity.h"

extern "C" __attribute__((visibility("default"))) int quolix_window_main(int* argc, char** argv,
                                                                         const char* const* files,
                                                                         int fileCount) {
    // Without a display Qt would end the program with abort() and a message
    // about its plugins; the user is better told what to run instead.
    if (!WindowCanReachDisplay(DisplayEnvironment::OfThisProcess())) {
        std::fprintf(stderr, "%s\n", kNoDisplayText);
        return kNoDisplayStatus;
    }
    std::vector<std::string> arguments(files, files + fileCount);
    QApplication app(*argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kProgramName));
    // Qt's own texts in Japanese like the product's, whatever the locale;
    // in English when the translation is not installed.
    QTranslator qtJapanese;
    QtPrompter::UseQtJapanese(qtJapanese);
    QtPrompter prompter;
    CMainDlg dialog(prompter, arguments);
    prompter.SetOwner(&dialog);
    dialog.exec();
    return 0;
}
