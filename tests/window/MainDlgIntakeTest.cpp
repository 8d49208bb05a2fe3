// Names reaching the window other than by typing: dropped files and folders,
// the command line and the two browse buttons.
#include <gtest/gtest.h>

#include <QAbstractButton>

#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "BookMaker.h"
#include "TestUtil.h"
#include "window/MainDlg.h"
#include "window/WindowProbe.h"
#include "platform/CodePage.h"
#include "RecordingPrompter.h"
#include "diag/Prompter.h"
#include "dialog/ControlIds.h"

namespace {

namespace fs = std::filesystem;
using testutil::RecordingPrompter;
using testutil::CannotOpen;
using testutil::Cp;
using testutil::CrLf;
using testutil::kDone;
using testutil::ReadBytes;
using testutil::TempDir;
using testutil::WriteBytes;

using testutil::Edit;
using testutil::SelectOnly;
using testutil::TextOf;

std::set<std::string> FilesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

const char kCsvUtf8[] = "id,name\n1,りんご\n2,みかん\n3,ぶどう\n4,もも\n";

class IntakeTest : public ::testing::Test {
  protected:
    IntakeTest()
        : csv_(dir_.File("fruit.csv")), html_(dir_.File("fruit.html")), out_(dir_.File("out")) {
        WriteBytes(csv_, CrLf(Cp(kCsvUtf8)));
        WriteBytes(html_, "<p>[name]</p>");
        fs::create_directory(out_);
    }

    // A settings file naming the example's source, template and `out`
    // folder, rule 0, with `extra` lines after them.
    std::string WriteSettings(std::string_view name, std::string_view out, std::string_view extra) {
        const std::string path = dir_.File(name);
        WriteBytes(path, CrLf("      CSV:" + csv_ + "\n     HTML:" + html_ + "\n      Out:" +
                              std::string(out) + "\n   fixChk:0\n" + std::string(extra)));
        return path;
    }
    std::string WriteSettings(std::string_view name, std::string_view extra) {
        return WriteSettings(name, out_, extra);
    }

    TempDir dir_;
    RecordingPrompter prompter_;
    std::string csv_;
    std::string html_;
    std::string out_;
};

// ------------------------------------------------------------ drops

TEST_F(IntakeTest, DroppedCsvSetsTheSourceFieldOnly) {
    const std::string other = dir_.File("other.csv");
    WriteBytes(other, "a\r\nb\r\n");
    CMainDlg d(prompter_);
    d.Model().PutText(DialogEdit::CSV, csv_);
    d.Model().LoadCsv();
    SelectOnly(d, {1, 3});
    const CCsvTable* table = d.Model().Table();
    const std::vector<std::string> lines = testutil::ListLines(d);

    d.OnDropFiles({other});
    EXPECT_EQ(TextOf(d, IDC_CSV_PATH), other);
    EXPECT_EQ(d.Model().Table(), table);
    EXPECT_EQ(d.Model().Table()->RecordCount(), 5);
    EXPECT_EQ(testutil::ListLines(d), lines);
    EXPECT_EQ(testutil::SelectedRecords(d), (std::vector<int>{1, 3}));
    EXPECT_TRUE(prompter_.entries.empty());
}

TEST_F(IntakeTest, DroppedSettingsFileRunsWhenItsAutoLineIsOn) {
    for (bool autoRun : {true, false}) {
        SCOPED_TRACE(autoRun ? "autoChk 1" : "autoChk 0");
        fs::remove_all(out_);
        fs::create_directory(out_);
        const std::string cfg = WriteSettings(
            "run.cfg", std::string("SelItems:1,3,4\nautoChk:") + (autoRun ? "1" : "0") + "\n");
        CMainDlg d(prompter_);
        d.OnDropFiles({cfg});

        EXPECT_EQ(d.Model().SettingsPath(), cfg);
        ASSERT_NE(d.Model().Table(), nullptr);
        EXPECT_EQ(testutil::SelectedRecords(d), (std::vector<int>{1, 3, 4}));
        EXPECT_EQ(d.Model().Switch(DialogSwitch::Auto), autoRun);
        if (autoRun) {
            EXPECT_EQ(FilesIn(out_),
                      (std::set<std::string>{"00001.html", "00003.html", "00004.html",
                                             "_index.html", "_db.html"}));
            EXPECT_EQ(ReadBytes(fs::path(out_) / "00003.html"), Cp("<p>ぶどう</p>"));
            EXPECT_EQ(testutil::StatusText(d).toStdString(), kDone);
        } else {
            EXPECT_TRUE(FilesIn(out_).empty());
            EXPECT_EQ(testutil::StatusText(d).toStdString(), "4 件のレコードのうち 3 件を選択しています．");
        }
        EXPECT_TRUE(prompter_.entries.empty());
    }
}

// Saved with the repeat switch on, the automatic run groups the records by
// the saved count.
TEST_F(IntakeTest, AutomaticRunUsesTheSavedRepeatCount) {
    const std::string cfg =
        WriteSettings("repeat.cfg", "   repeat:2\nrepeatChk:1\n  autoChk:1\n SelItems:1,2,3,4\n");
    CMainDlg d(prompter_);
    d.OnDropFiles({cfg});
    EXPECT_EQ(TextOf(d, IDC_REPEAT), "2");
    EXPECT_EQ(FilesIn(out_),
              (std::set<std::string>{"00001.html", "00003.html", "_index.html", "_db.html"}));
    const std::string first = ReadBytes(fs::path(out_) / "00001.html");
    EXPECT_NE(first.find(Cp("りんご")), std::string::npos);
    EXPECT_NE(first.find(Cp("みかん")), std::string::npos);
    EXPECT_EQ(first.find(Cp("ぶどう")), std::string::npos);
}

// A drop of four names or more is taken only when every name holds ".cfg".
TEST_F(IntakeTest, DropsOfFourOrMoreNames) {
    const std::string a = dir_.File("a.cfg"), b = dir_.File("b.cfg"), c = dir_.File("c.cfg");
    struct Case {
        const char* name;
        std::vector<std::string> names;
        int messages;  // one per settings file that could not be read
    };
    const Case cases[] = {
        {"a CSV among four", {a, b, c, csv_}, 0},
        {"a template among four", {html_, a, b, c}, 0},
        {"a folder among five", {a, b, c, dir_.File("d.cfg"), out_}, 0},
        {"four settings names", {a, b, c, dir_.File("d.txt.cfg")}, 4},
        {"five names holding .cfg", {a, b, dir_.File("x.cfg.bak"), c, dir_.File("y.CFG.cfg")}, 4},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        RecordingPrompter prompter;
        CMainDlg d(prompter);
        d.OnDropFiles(k.names);
        EXPECT_EQ(static_cast<int>(prompter.entries.size()), k.messages);
        EXPECT_EQ(TextOf(d, IDC_CSV_PATH), "");
        EXPECT_EQ(TextOf(d, IDC_HTML_PATH), "");
        EXPECT_EQ(TextOf(d, IDC_OUT_PATH), "");
    }
}

TEST_F(IntakeTest, FourDroppedSettingsFilesEachRun) {
    std::vector<std::string> names;
    std::vector<std::string> folders;
    for (int i = 0; i < 4; ++i) {
        folders.push_back(dir_.File("out" + std::to_string(i)));
        fs::create_directory(folders.back());
        names.push_back(WriteSettings("s" + std::to_string(i) + ".cfg", folders.back(),
                                      "SelItems:" + std::to_string(i + 1) + "\nautoChk:1\n"));
    }
    CMainDlg d(prompter_);
    d.OnDropFiles(names);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        char page[16];
        std::snprintf(page, sizeof page, "%05d.html", i + 1);
        EXPECT_EQ(FilesIn(folders[i]), (std::set<std::string>{page, "_index.html", "_db.html"}));
    }
    EXPECT_EQ(d.Model().SettingsPath(), names.back());
    EXPECT_TRUE(prompter_.entries.empty());
}

// Which field a single dropped name fills, by the first rule that applies.
TEST_F(IntakeTest, RulesForOneDroppedName) {
    // Settings files that would set the template field if opened.
    fs::create_directory(dir_.File("dir.cfg"));
    fs::create_directory(dir_.File("folder"));
    for (const char* name : {"UPPER.CFG", "Mixed.Cfg", "twice.cfg.cfg", "dir.cfg/inner.cfg"})
        WriteBytes(dir_.File(name), "HTML:opened\r\n");
    // Workbooks go to the source by their content, whatever their names.
    WriteBytes(dir_.File("book.xlsx"), testbook::Xlsx{.sheets = {{"s", "<sheetData/>"}}}.Bytes());
    WriteBytes(dir_.File("list.ods"), testbook::Ods(""));
    WriteBytes(dir_.File("saved.HTML"), testbook::Ods(""));
    WriteBytes(dir_.File("x.docx"), testbook::Zip({{"[Content_Types].xml", "<Types/>"}}));
    WriteBytes(dir_.File("old.xls"), testbook::Compound({"Workbook"}));
    enum Field { None, Csv, Html, Out };
    struct Case {
        const char* name;
        Field field;
    };
    const Case cases[] = {
        {"x.csv", Csv},          {"x.CSV", None},
        {"x.csv.bak", None},     {"x.csv.csv", None},
        {"x.htm", Html},         {"x.html", Html},
        {"x.HTML", None},        {"x.Htm", None},
        {"x.shtml", None},       {"x.htm.txt", Csv},
        {"x.txt", Csv},          {"x.tsv", Csv},
        {"x.TXT", None},         {"noext", None},
        {"UPPER.CFG", None},     {"Mixed.Cfg", None},
        {"twice.cfg.cfg", None}, {"dir.cfg/inner.cfg", None},
        {"folder", Out},         {"出力.csv", Csv},
        {"book.xlsx", Csv},      {"list.ods", Csv},
        {"saved.HTML", Csv},     {"old.xls", Csv},
        {"gone.xlsx", None},     {"x.docx", None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingPrompter prompter;
        CMainDlg d(prompter);
        const std::string name = dir_.File(c.name);
        d.OnDropFiles({name});
        const std::string shown = dir_.File(c.name);
        EXPECT_EQ(TextOf(d, IDC_CSV_PATH), c.field == Csv ? shown : "");
        EXPECT_EQ(TextOf(d, IDC_HTML_PATH), c.field == Html ? shown : "");
        EXPECT_EQ(TextOf(d, IDC_OUT_PATH), c.field == Out ? shown : "");
        EXPECT_EQ(d.Model().SettingsPath(), "default.cfg");
        EXPECT_TRUE(prompter.entries.empty());
    }
}

TEST_F(IntakeTest, DroppedFolderLeavesTheCurrentDirectory) {
    const std::string folder = dir_.File("出力先");
    fs::create_directory(folder);
    const fs::path before = fs::current_path();
    CMainDlg d(prompter_);
    d.OnDropFiles({folder});
    EXPECT_EQ(TextOf(d, IDC_OUT_PATH), folder);
    EXPECT_EQ(fs::current_path(), before);
}

// The settings rule comes before the folder rule.
TEST_F(IntakeTest, DroppedFolderNamedLikeASettingsFile) {
    const std::string folder = dir_.File("site.cfg");
    fs::create_directory(folder);
    CMainDlg d(prompter_);
    d.OnDropFiles({folder});
    EXPECT_EQ(TextOf(d, IDC_OUT_PATH), "");
    EXPECT_EQ(d.Model().SettingsPath(), folder);
    ASSERT_EQ(prompter_.entries.size(), 1u);
    EXPECT_EQ(prompter_.entries[0].text, CannotOpen(folder));
}

// The names are handled in order: the settings file loads its own source,
// then the dropped CSV only fills the field.
TEST_F(IntakeTest, SettingsFileThenCsv) {
    const std::string cfg = WriteSettings("s.cfg", "");
    const std::string other = dir_.File("other.csv");
    WriteBytes(other, "a\r\nb\r\n");
    CMainDlg d(prompter_);
    d.OnDropFiles({cfg, other});
    ASSERT_NE(d.Model().Table(), nullptr);
    EXPECT_EQ(d.Model().Table()->RecordCount(), 5);
    EXPECT_EQ(TextOf(d, IDC_CSV_PATH), other);
    EXPECT_EQ(TextOf(d, IDC_HTML_PATH), html_);
}

// Each file with an autoChk line of 1 runs at once; with the switch on,
// even a file that cannot be read, and changes nothing, starts a run.
TEST_F(IntakeTest, AutomaticRunSwitchOutlivesAFileThatCannotBeRead) {
    const std::string first = WriteSettings("first.cfg", "SelItems:1\nautoChk:1\n");
    const std::string second = WriteSettings("second.cfg", "SelItems:2\nautoChk:1\n");
    CMainDlg d(prompter_);
    d.OnDropFiles({first});
    ASSERT_EQ(FilesIn(out_).count("00001.html"), 1u);
    d.OnDropFiles({second});
    EXPECT_EQ(FilesIn(out_).count("00002.html"), 1u);

    fs::remove_all(out_);
    fs::create_directory(out_);
    const std::string missing = dir_.File("missing.cfg");
    d.OnDropFiles({missing});
    ASSERT_EQ(prompter_.entries.size(), 1u);
    EXPECT_EQ(prompter_.entries[0].text, CannotOpen(missing));
    EXPECT_EQ(FilesIn(out_), (std::set<std::string>{"00002.html", "_index.html", "_db.html"}));
}

TEST_F(IntakeTest, OpenDroppedFileNeedsASettingsExtension) {
    fs::create_directory(dir_.File("a.cfg"));
    WriteBytes(dir_.File("a.cfg/plain"), "HTML:opened\r\n");
    CMainDlg d(prompter_);
    d.OpenDroppedFile(nullptr);
    d.OpenDroppedFile("");
    d.OpenDroppedFile(dir_.File("a.cfg/plain").c_str());
    d.OpenDroppedFile("cfg");
    EXPECT_EQ(d.Model().SettingsPath(), "default.cfg");
    EXPECT_EQ(TextOf(d, IDC_HTML_PATH), "");
    EXPECT_TRUE(prompter_.entries.empty());
}

// ------------------------------------------------------------ drop events

void SendDrop(CMainDlg& d, const std::vector<std::string>& utf8Paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& p : utf8Paths) urls << QUrl::fromLocalFile(QString::fromStdString(p));
    data.setUrls(urls);
    // The drop reaches the widget that accepted the drag's entry.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&d, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&d, &drop);
}

TEST_F(IntakeTest, DropEventsReachTheSameRules) {
    const std::string folder = dir_.File("ページ");
    fs::create_directory(folder);
    const std::string cfg = WriteSettings("s.cfg", "Prefix:from settings\n");
    {
        CMainDlg d(prompter_);
        SendDrop(d, {csv_, html_, folder});
        EXPECT_EQ(TextOf(d, IDC_CSV_PATH), csv_);
        EXPECT_EQ(TextOf(d, IDC_HTML_PATH), html_);
        EXPECT_EQ(TextOf(d, IDC_OUT_PATH), folder);
        EXPECT_EQ(d.Model().Table(), nullptr);
    }
    {
        CMainDlg d(prompter_);
        SendDrop(d, {cfg, cfg, cfg, csv_});
        EXPECT_EQ(TextOf(d, IDC_CSV_PATH), "");
        EXPECT_EQ(d.Model().SettingsPath(), "default.cfg");
    }
    {
        CMainDlg d(prompter_);
        SendDrop(d, {cfg});
        EXPECT_EQ(d.Model().SettingsPath(), cfg);
        EXPECT_EQ(TextOf(d, IDC_PREFIX), "from settings");
        ASSERT_NE(d.Model().Table(), nullptr);
    }
    EXPECT_TRUE(prompter_.entries.empty());
}

// ------------------------------------------------------------ command line

TEST_F(IntakeTest, CommandLineOpensSettingsFilesOnly) {
    fs::create_directory(dir_.File("dir.cfg"));
    for (const char* name : {"UPPER.CFG", "Mixed.Cfg", "twice.cfg.cfg", "dir.cfg/noext"})
        WriteBytes(dir_.File(name), "Prefix:" + std::string(name) + "\r\n");
    struct Case {
        std::vector<std::string> arguments;
        const char* prefix;  // left by the last file opened
        size_t messages;
    };
    const Case cases[] = {
        {{dir_.File("UPPER.CFG")}, "UPPER.CFG", 0},
        {{dir_.File("twice.cfg.cfg")}, "twice.cfg.cfg", 0},
        {{dir_.File("Mixed.Cfg")}, "", 0},
        {{dir_.File("dir.cfg/noext")}, "", 0},
        {{csv_, html_, out_}, "", 0},
        {{dir_.File("missing.cfg")}, "", 1},
        {{dir_.File("UPPER.CFG"), dir_.File("missing.cfg"), dir_.File("twice.cfg.cfg")},
         "twice.cfg.cfg",
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.front());
        RecordingPrompter prompter;
        CMainDlg d(prompter, c.arguments);
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(TextOf(d, IDC_PREFIX), c.prefix);
        EXPECT_EQ(TextOf(d, IDC_CSV_PATH), "");
        EXPECT_EQ(TextOf(d, IDC_HTML_PATH), "");
        EXPECT_EQ(TextOf(d, IDC_OUT_PATH), "");
        EXPECT_EQ(prompter.entries.size(), c.messages);
        if (c.messages == 1) {
            EXPECT_EQ(prompter.entries[0].text, CannotOpen(dir_.File("missing.cfg")));
        }
    }
}

TEST_F(IntakeTest, CommandLineSettingsFileRunsAtOnce) {
    const std::string cfg = WriteSettings("run.cfg", "SelItems:2,4\nautoChk:1\n");
    CMainDlg d(prompter_, {cfg});
    EXPECT_EQ(d.Model().SettingsPath(), cfg);
    EXPECT_EQ(FilesIn(out_),
              (std::set<std::string>{"00002.html", "00004.html", "_index.html", "_db.html"}));
    EXPECT_EQ(testutil::StatusText(d).toStdString(), kDone);
    EXPECT_TRUE(d.isVisible());
    // The window is usable afterwards.
    EXPECT_TRUE(d.Control(IDC_GENERATE)->isEnabled());
    EXPECT_TRUE(d.Control(IDC_EXIT)->isEnabled());
}

TEST_F(IntakeTest, NoCommandLineOpensNothing) {
    CMainDlg d(prompter_, {});
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.Model().SettingsPath(), "default.cfg");
    EXPECT_EQ(d.Model().Table(), nullptr);
    EXPECT_TRUE(prompter_.entries.empty());
}

// ------------------------------------------------------------ browsing

const char kCsvFilter[] =
    "表計算・CSVﾌｧｲﾙ(*.csv;*.txt;*.tsv;*.xlsx;*.ods)|*.csv;*.txt;*.tsv;*.xlsx;*.ods|すべてのﾌｧｲﾙ(*.*)|*.*||";
const char kHtmlFilter[] =
    "HTMLﾌｧｲﾙ(*.html, *.htm)|*.html;*.htm|ﾃｷｽﾄﾌｧｲﾙ(*.txt)|*.txt|すべてのﾌｧｲﾙ(*.*)|*.*||";

TEST_F(IntakeTest, BrowsingForTheSourceEmptiesTheListOnly) {
    CMainDlg d(prompter_);
    d.Model().PutText(DialogEdit::CSV, csv_);
    d.Model().LoadCsv();
    const CCsvTable* table = d.Model().Table();
    const int fields = qobject_cast<QComboBox*>(d.Control(IDC_FIELD))->count();
    const std::string chosen = dir_.File("データ.csv");
    prompter_.fileChoices.push_back(chosen);
    qobject_cast<QAbstractButton*>(d.Control(IDC_BROWSE_CSV))->click();

    EXPECT_EQ(TextOf(d, IDC_CSV_PATH), chosen);
    EXPECT_TRUE(testutil::ListLines(d).empty());
    EXPECT_TRUE(testutil::SelectedRecords(d).empty());
    EXPECT_EQ(d.Model().Table(), table);
    EXPECT_EQ(d.Model().Table()->RecordCount(), 5);
    EXPECT_EQ(qobject_cast<QComboBox*>(d.Control(IDC_FIELD))->count(), fields);
    ASSERT_EQ(prompter_.entries.size(), 1u);
    const diag::FileDialogRequest& request = prompter_.entries[0].request;
    EXPECT_FALSE(request.save);
    EXPECT_EQ(request.filter, kCsvFilter);
    EXPECT_EQ(request.defaultExt, "*.csv");
    EXPECT_EQ(request.proposedName, "");
}

TEST_F(IntakeTest, BrowsingForTheTemplateSetsItsFieldOnly) {
    CMainDlg d(prompter_);
    d.Model().PutText(DialogEdit::CSV, csv_);
    d.Model().LoadCsv();
    const std::vector<std::string> lines = testutil::ListLines(d);
    const std::string chosen = dir_.File("ひな形.html");
    prompter_.fileChoices.push_back(chosen);
    qobject_cast<QAbstractButton*>(d.Control(IDC_BROWSE_HTML))->click();

    EXPECT_EQ(TextOf(d, IDC_HTML_PATH), chosen);
    EXPECT_EQ(TextOf(d, IDC_CSV_PATH), csv_);
    EXPECT_EQ(testutil::ListLines(d), lines);
    EXPECT_EQ(testutil::SelectedRecords(d).size(), 4u);
    ASSERT_EQ(prompter_.entries.size(), 1u);
    EXPECT_EQ(prompter_.entries[0].request.filter, kHtmlFilter);
    EXPECT_EQ(prompter_.entries[0].request.proposedName, "");
    EXPECT_EQ(prompter_.entries[0].request.folder, dir_.Path().string());
}

// The template's dialog opens beside the source while no template is named;
// otherwise, and for the source itself, where the last dialog was left.
// Each browse dialog opens where its own box points when that folder
// exists; else the template's beside the source, the source's beside the
// settings file; else the current folder.
TEST_F(IntakeTest, WhereTheBrowseDialogsOpen) {
    const std::string top = dir_.Path().string();
    for (const char* folder : {"web", "shop", "cfg", "データ"}) fs::create_directory(dir_.Path() / folder);
    struct Case {
        const char* name;
        int button;
        std::string csv, html, settings;  // UTF-8, as typed
        std::string folder;
    };
    const Case cases[] = {
        {"template in its own folder", IDC_BROWSE_HTML, top + "/shop/a.csv", top + "/web/t.html", "",
         top + "/web"},
        {"template's folder missing: beside the source", IDC_BROWSE_HTML, top + "/データ/商品.csv",
         "/nowhere/t.html", "", top + "/データ"},
        {"bare source name", IDC_BROWSE_HTML, "items.csv", "", "", "."},
        {"nothing named", IDC_BROWSE_HTML, "", "", "", "."},
        {"source in its own folder", IDC_BROWSE_CSV, top + "/shop/items.csv", "", top + "/cfg/s.cfg",
         top + "/shop"},
        {"source's folder missing: beside the settings file", IDC_BROWSE_CSV, "/nowhere/x.csv", "",
         top + "/cfg/s.cfg", top + "/cfg"},
        {"neither", IDC_BROWSE_CSV, "/nowhere/x.csv", "", "/elsewhere/s.cfg", "."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingPrompter prompter;
        CMainDlg d(prompter);
        d.Model().PutText(DialogEdit::CSV, c.csv);
        d.Model().PutText(DialogEdit::HTML, c.html);
        if (!c.settings.empty()) d.Model().SetSettingsPath(c.settings);
        qobject_cast<QAbstractButton*>(d.Control(c.button))->click();
        ASSERT_EQ(prompter.entries.size(), 1u);
        EXPECT_EQ(prompter.entries[0].request.folder, c.folder);
        EXPECT_EQ(prompter.entries[0].request.proposedName, "");
    }
}

// The output folder's 参照... chooses a folder, starting at the one named
// when it exists, else its nearest existing parent, else beside the CSV
// file, else the current folder; the folder chosen fills the box.
TEST_F(IntakeTest, OutputFolderIsChosenFromItsBox) {
    const std::string top = dir_.Path().string();
    fs::create_directories(dir_.Path() / "site" / "pages");
    const struct {
        std::string out, csv, folder;
    } cases[] = {
        {top + "/site/pages", "", top + "/site/pages"},
        {top + "/site/new/deeper", "", top + "/site"},
        {"", top + "/site/data.csv", top + "/site"},
        {"", "", "."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.out + "|" + c.csv);
        RecordingPrompter prompter;
        prompter.fileChoices.push_back(top + "/site/pages");
        CMainDlg d(prompter);
        d.Model().PutText(DialogEdit::Out, c.out);
        d.Model().PutText(DialogEdit::CSV, c.csv);
        qobject_cast<QAbstractButton*>(d.Control(IDC_BROWSE_OUT))->click();
        ASSERT_EQ(prompter.entries.size(), 1u);
        EXPECT_TRUE(prompter.entries[0].request.chooseFolder);
        EXPECT_EQ(prompter.entries[0].request.folder, c.folder);
        EXPECT_EQ(TextOf(d, IDC_OUT_PATH), top + "/site/pages");
    }
}

TEST_F(IntakeTest, CancelledBrowseChangesNothing) {
    CMainDlg d(prompter_);
    d.Model().PutText(DialogEdit::CSV, csv_);
    d.Model().LoadCsv();
    d.Model().PutText(DialogEdit::HTML, "keep.html");
    const std::vector<std::string> lines = testutil::ListLines(d);
    qobject_cast<QAbstractButton*>(d.Control(IDC_BROWSE_CSV))->click();
    qobject_cast<QAbstractButton*>(d.Control(IDC_BROWSE_HTML))->click();
    EXPECT_EQ(TextOf(d, IDC_CSV_PATH), csv_);
    EXPECT_EQ(TextOf(d, IDC_HTML_PATH), "keep.html");
    EXPECT_EQ(testutil::ListLines(d), lines);
    EXPECT_EQ(testutil::SelectedRecords(d).size(), 4u);
    EXPECT_EQ(prompter_.entries.size(), 2u);
}

}  // namespace
