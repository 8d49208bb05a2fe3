// CMainDlg: the settings file dialogs. Reading and writing the file is the
// model's.
#include "window/MainDlg.h"
#include "diag/Prompter.h"

namespace {

const char kSettingsFilter[] = "設定ﾌｧｲﾙ(*.cfg)|*.cfg||";
const char kSettingsDefaultExt[] = "*.cfg";

}  // namespace

// The settings dialogs propose the current settings file, in its folder
// (the current folder until one is opened or saved); the choice replaces it
// before the file is read or written. A name saved without an extension
// gets ".cfg", so that the file is taken for settings when it is dropped on
// the window later.
bool CMainDlg::ChooseSettingsPath(bool save) {
    diag::FileDialogRequest request;
    request.save = save;
    request.filter = kSettingsFilter;
    request.defaultExt = kSettingsDefaultExt;
    request.ProposeFile(model_.SettingsPath());
    std::optional<std::string> chosen = prompter_.ChooseFile(request);
    if (!chosen) return false;
    std::string path = *chosen;
    const size_t nameStart = path.rfind('/') + 1;  // 0 without a folder
    if (save && path.find('.', nameStart) == std::string::npos) path += ".cfg";
    model_.SetSettingsPath(std::move(path));
    return true;
}

void CMainDlg::OnOpenSettings() {
    if (ChooseSettingsPath(false)) model_.LoadSettings();
}

void CMainDlg::OnSaveSettings() {
    if (ChooseSettingsPath(true)) model_.SaveSettings();
}
