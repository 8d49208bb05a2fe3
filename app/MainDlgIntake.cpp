// CMainDlg: names that reach the window by the browse buttons, by a drop or
// on the command line.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "app/MainDlg.h"
#include "app/QtPrompter.h"
#include "app/RecordList.h"
#include "platform/FileSys.h"
#include "platform/Prompter.h"
#include "res/ControlIds.h"

namespace {

// The first occurrence of `tail` in `name` is its last bytes.
bool EndsIn(const std::string& name, std::string_view tail) {
    const size_t pos = name.find(tail);
    return pos != std::string::npos && pos + tail.size() == name.size();
}

}  // namespace

void CMainDlg::OnBrowseCsv() {
    platform::FileDialogRequest request;
    request.filter = "CSVﾌｧｲﾙ(*.csv)|*.csv|ﾃｷｽﾄﾌｧｲﾙ(*.txt)|*.txt|すべてのﾌｧｲﾙ(*.*)|*.*||";
    request.defaultExt = "*.csv";
    std::optional<std::string> chosen = prompter_.ChooseFile(request);
    if (!chosen) return;
    SetText(IDC_CSV_PATH, *chosen);
    programChange_ = true;
    listModel_->Clear();
    programChange_ = false;
}

void CMainDlg::OnBrowseTemplate() {
    platform::FileDialogRequest request;
    request.filter =
        "HTMLﾌｧｲﾙ(*.html, *.htm)|*.html;*.htm|ﾃｷｽﾄﾌｧｲﾙ(*.txt)|*.txt|すべてのﾌｧｲﾙ(*.*)|*.*||";
    request.defaultExt = "*.html;*.html";
    std::optional<std::string> chosen = prompter_.ChooseFile(request);
    if (!chosen) return;
    SetText(IDC_HTML_PATH, *chosen);
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
        } else if (EndsIn(name, ".csv")) {
            SetText(IDC_CSV_PATH, name);
        } else if (EndsIn(name, ".htm") || EndsIn(name, ".html")) {
            SetText(IDC_HTML_PATH, name);
        } else if (platform::IsFolder(name)) {
            SetText(IDC_OUT_PATH, name);
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
    settingsPath_ = name;
    LoadSettings();
    repaint();
    if (autoChk_) OnGenerate();
}

void CMainDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMainDlg::dropEvent(QDropEvent* event) {
    std::vector<std::string> names;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) names.push_back(ToCp(url.toLocalFile()));
    event->acceptProposedAction();
    OnDropFiles(names);
}
