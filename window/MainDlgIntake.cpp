// CMainDlg: names that reach the window by the browse buttons, by a drop or
// on the command line.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>

#include "window/MainDlg.h"
#include "window/QtPrompter.h"
#include "window/RecordList.h"
#include "platform/FileSys.h"
#include "diag/Prompter.h"
#include "dialog/ControlIds.h"
#include "data/Workbook.h"

namespace {

// The first occurrence of `tail` in `name` is its last bytes.
bool EndsIn(const std::string& name, std::string_view tail) {
    const size_t pos = name.find(tail);
    return pos != std::string::npos && pos + tail.size() == name.size();
}

// The folder that holds the file `path` names, when that folder exists ("."
// for a bare name); empty otherwise.
std::string ExistingFolderOf(const std::string& path) {
    if (path.empty()) return {};
    diag::FileDialogRequest beside;
    beside.OpenBeside(path);
    return platform::IsFolder(beside.folder) ? beside.folder : std::string();
}

// `path` when it names a folder that exists, else its nearest existing
// parent named in it; empty when none.
std::string NearestFolder(std::string path) {
    while (!path.empty() && !platform::IsFolder(path)) {
        const size_t slash = path.rfind('/');
        path = slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
    }
    return path;
}

// The first of `folders` that exists, else the current folder.
std::string FirstFolder(std::initializer_list<std::string> folders) {
    for (const std::string& folder : folders)
        if (!folder.empty()) return folder;
    return ".";
}

}  // namespace

// Each browse button opens where its own box points, when that folder
// exists.
void CMainDlg::OnBrowseCsv() {
    diag::FileDialogRequest request;
    // Excel's tab-separated and Unicode text files end in .txt.
    request.filter =
        "表計算・CSVﾌｧｲﾙ(*.csv;*.txt;*.tsv;*.xlsx;*.ods)|*.csv;*.txt;*.tsv;*.xlsx;*.ods|すべてのﾌｧｲﾙ(*.*)|*.*||";
    request.defaultExt = "*.csv";
    request.folder = FirstFolder({ExistingFolderOf(model_.Text(DialogEdit::CSV)),
                                  ExistingFolderOf(model_.SettingsPath())});
    std::optional<std::string> chosen = prompter_.ChooseFile(request);
    if (!chosen) return;
    model_.PutText(DialogEdit::CSV, *chosen);
    model_.ClearList();
}

void CMainDlg::OnBrowseTemplate() {
    diag::FileDialogRequest request;
    request.filter =
        "HTMLﾌｧｲﾙ(*.html, *.htm)|*.html;*.htm|ﾃｷｽﾄﾌｧｲﾙ(*.txt)|*.txt|すべてのﾌｧｲﾙ(*.*)|*.*||";
    request.defaultExt = "*.html;*.html";
    // A template usually sits beside its data.
    request.folder = FirstFolder({ExistingFolderOf(model_.Text(DialogEdit::HTML)),
                                  ExistingFolderOf(model_.Text(DialogEdit::CSV))});
    std::optional<std::string> chosen = prompter_.ChooseFile(request);
    if (!chosen) return;
    model_.PutText(DialogEdit::HTML, *chosen);
}

void CMainDlg::OnBrowseOut() {
    diag::FileDialogRequest request;
    request.chooseFolder = true;
    // Pages usually go near their data.
    request.folder = FirstFolder({NearestFolder(model_.Text(DialogEdit::Out)),
                                  ExistingFolderOf(model_.Text(DialogEdit::CSV))});
    std::optional<std::string> chosen = prompter_.ChooseFile(request);
    if (chosen) model_.PutText(DialogEdit::Out, *chosen);
}

void CMainDlg::OnDropFiles(const std::vector<std::string>& names) {
    const size_t n = names.size();
    // Four names or more are taken only when every one is a settings file.
    for (const std::string& name : names) {
        if (name.find(".cfg") != std::string::npos) continue;
        if (n > 3) return;
        break;
    }
    for (const std::string& name : names) {
        if (EndsIn(name, ".cfg")) {
            OpenDroppedFile(name.c_str());
        } else if (EndsIn(name, ".csv") || EndsIn(name, ".txt") || EndsIn(name, ".tsv") ||
                   data::IsWorkbookFile(name)) {  // a workbook, whatever its name
            model_.PutText(DialogEdit::CSV, name);
        } else if (EndsIn(name, ".htm") || EndsIn(name, ".html")) {
            model_.PutText(DialogEdit::HTML, name);
        } else if (platform::IsFolder(name)) {
            model_.PutText(DialogEdit::Out, name);
        }
    }
}

void CMainDlg::OpenDroppedFile(const char* name) {
    if (!name || !*name) return;
    const std::string_view path(name);
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) return;
    const std::string_view ext = path.substr(dot);
    if (ext != ".cfg" && ext != ".CFG") return;
    model_.SetSettingsPath(name);
    model_.LoadSettings();
    repaint();
    if (model_.Switch(DialogSwitch::Auto)) OnGenerate();
}

void CMainDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMainDlg::dropEvent(QDropEvent* event) {
    std::vector<std::string> names;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) names.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
    event->acceptProposedAction();
    OnDropFiles(names);
}
