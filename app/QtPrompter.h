// Message boxes and file dialogs of the window, on Qt.
#pragma once

#include <QString>

#include "app/QtText.h"
#include "platform/Prompter.h"

class QWidget;

class QtPrompter : public platform::Prompter {
public:
    // Boxes that the window owns (questions, OK boxes, file dialogs) are
    // shown over `owner`; information boxes have no owner.
    void SetOwner(QWidget* owner) { owner_ = owner; }

    void Information(std::string_view caption, std::string_view text) override;
    bool AskYesNo(std::string_view title, std::string_view text) override;
    void Message(std::string_view text) override;
    std::optional<std::string> ChooseFile(const platform::FileDialogRequest& request) override;

    // "Name(*.a)|*.a|Other|*.b;*.c||" as a Qt filter list.
    static QString ToQtFilter(const std::string& filter);

private:
    QWidget* owner_ = nullptr;
};

