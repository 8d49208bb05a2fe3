// The batch mode's window: the state of the controls that a settings file
// and the Generate command touch, kept without widgets or any of the
// toolkit, so that a batch run loads no Qt library. Each member does to that state what
// the window's member of the same name does to its controls; the tests
// compare the two on many settings files.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/CsvTable.h"
#include "gen/GenerationRun.h"
#include "settings/SettingsReplay.h"

namespace platform {
class Prompter;
}

class CBatchDlg : private SettingsTarget {
  public:
    explicit CBatchDlg(platform::Prompter& prompter);
    ~CBatchDlg() override;

    void SetSettingsPath(std::string path) { settingsPath_ = std::move(path); }
    // 0 when the file was read, -1 (and a message) when it could not be opened.
    int LoadSettings();
    void LoadCsv();
    void OnGenerate();

    RunSettings ReadRunSettings() const;
    std::vector<int> SelectedRecords() const;
    const CCsvTable* Table() const { return table_.get(); }
    const RunReport& LastRun() const { return lastRun_; }
    // The status line's text (UTF-8).
    const std::string& StatusText() const { return status_; }
    // Called with every status line text, after it is set.
    void SetStatusObserver(std::function<void(const std::string&)> observer) {
        statusObserver_ = std::move(observer);
    }

  private:
    // An up-down's range and the last position it read.
    struct Spin {
        int minPos = 0;
        int maxPos = 100;
        mutable int lastValid = 0;
    };

    void ReplayText(SettingsKey key, std::string_view cp932) override;
    void ReplayCsvLoad() override;
    void ReplaySwitch(SettingsKey key, bool on) override;
    void ReplaySelect(SettingsKey key, int index) override;
    void ReplayRuleChange() override {}  // it only enables controls
    void ReplaySelection(const std::vector<int>& records) override;

    std::string* Edit(SettingsKey key);
    void SetRange(Spin& spin, const std::string& text, int minPos, int maxPos);
    int Pos(const Spin& spin, const std::string& text) const;
    void OnFixChk();
    void OnRepeatChk();
    void UpdateRepeatCount();
    void FillRecordList();
    void ReleaseTable();
    void SetStatus(const std::string& utf8);

    platform::Prompter& prompter_;
    std::string settingsPath_ = "default.cfg";
    std::unique_ptr<CCsvTable> table_;
    RunReport lastRun_;
    std::string status_;
    std::function<void(const std::string&)> statusObserver_;

    // Edits, as the controls hold them (UTF-8).
    std::string csvPath_, htmlPath_, outPath_, prefix_, start_, digit_, repeat_;
    Spin startSpin_, digitSpin_, repeatSpin_;
    bool prefixChk_ = false;
    bool fixChk_ = false;
    bool repeatChk_ = false;
    bool createChk_ = true;
    bool autoChk_ = false;
    // Combo selections (-1: none); the field list has an entry per column
    // of the loaded table's header; the extension's text is its edit field.
    int rule_ = 0;
    int field_ = -1;
    int fieldCount_ = 0;
    int extension_ = 0;
    std::string extensionText_;
    // The record list: one line per record, and which are selected.
    int rows_ = 0;
    std::vector<char> selected_;
};
