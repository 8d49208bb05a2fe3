// Message boxes and file dialogs of the window, on Qt.
#pragma once

#include <QLibraryInfo>
#include <QString>

#include "diag/Prompter.h"

class QTranslator;
class QWidget;

class QtPrompter : public diag::Prompter {
public:
    // Boxes that the window owns (questions, OK boxes, file dialogs) are
    // shown over `owner`; information boxes have no owner.
    void SetOwner(QWidget* owner) { owner_ = owner; }

    void Information(std::string_view caption, std::string_view text) override;
    bool AskYesNo(std::string_view title, std::string_view text) override;
    void Message(std::string_view text) override;
    // Always Qt's own dialog: a desktop's dialog would not speak Japanese.
    std::optional<std::string> ChooseFile(const diag::FileDialogRequest& request) override;

    // "Name(*.a)|*.a|Other|*.b;*.c||" as a Qt filter list; "*.*" matches
    // every file, as it does where the filter comes from.
    static QString ToQtFilter(const std::string& filter);

    // Qt's own texts (the standard buttons, the file dialogs, the edit
    // menus) in Japanese, whatever the system's locale: installs Qt's
    // translation from `folder` through `translator`, which must outlive
    // the window, and Japanese sizes and dates (as the file dialogs show
    // them). False, changing nothing, when the translation is not there:
    // Qt's texts stay English then.
    static bool UseQtJapanese(
        QTranslator& translator,
        const QString& folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath));

private:
    QWidget* owner_ = nullptr;
};
