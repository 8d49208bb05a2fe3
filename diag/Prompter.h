// Every message box and file dialog of the program goes through a Prompter:
// the window's is Qt's, tests have a recorder of their own (the batch mode
// asks nothing and shows its diagnostics through ConsoleRenderer).
// Texts given to a Prompter and paths it returns are UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/TextEncoding.h"

namespace diag {

struct FileDialogRequest {
    bool save = false;          // save dialog (asks before replacing) or open dialog
    std::string filter;         // "Name(*.x)|*.x|Other|*.y||" in UTF-8
    std::string defaultExt;     // as given by the caller, e.g. "*.cfg"
    std::string proposedName;   // may be empty
    // Where the dialog opens, the proposed name being taken
    // in it; empty: where the last file dialog was left, at first the
    // current folder (a proposed name is then taken in the current folder).
    std::string folder = {};
    bool chooseFolder = false;  // a folder, not a file, is chosen (a new one may be made)

    // Opens the dialog in the folder that holds `path` ("." for a bare
    // name).
    void OpenBeside(std::string_view path) {
        const size_t slash = path.rfind('/');
        if (slash == std::string_view::npos)
            folder = ".";
        else
            folder = std::string(path.substr(0, slash == 0 ? 1 : slash));
    }
    // Proposes the file `path`: its name, in its folder.
    void ProposeFile(std::string_view path) {
        OpenBeside(path);
        proposedName = std::string(path.substr(path.rfind('/') + 1));
    }
};

class Prompter {
public:
    virtual ~Prompter();

    // Information box with an OK button and no owner window.
    virtual void Information(std::string_view caption, std::string_view text) = 0;
    // Question box with Yes and No; true for Yes.
    virtual bool AskYesNo(std::string_view title, std::string_view text) = 0;
    // OK box titled with the application's name.
    virtual void Message(std::string_view text) = 0;
    // File dialog; the chosen full path, or nothing when cancelled.
    virtual std::optional<std::string> ChooseFile(const FileDialogRequest& request) = 0;
};

}  // namespace diag
