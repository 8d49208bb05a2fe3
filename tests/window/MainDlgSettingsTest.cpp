// Settings files written and read through the real window: what a saved
// file holds and what opening one shows. The rules of the values read are
// the reader's, tested with it.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QScrollBar>
#include <filesystem>
#include <string>
#include <vector>

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
using testutil::ReadBytes;
using testutil::TempDir;
using testutil::WriteBytes;

using testutil::Edit;
using testutil::SelectOnly;
using testutil::TextOf;
QComboBox* Combo(const CMainDlg& d, int id) {
    return qobject_cast<QComboBox*>(d.Control(id));
}
QCheckBox* Box(const CMainDlg& d, int id) {
    return qobject_cast<QCheckBox*>(d.Control(id));
}

// A click on a button.
void Click(const CMainDlg& d, int id) {
    qobject_cast<QAbstractButton*>(d.Control(id))->click();
}

// As the user types it.
void Type(CMainDlg& d, int id, std::string_view utf8) {
    QLineEdit* edit = Edit(d, id);
    const QString text = QString::fromUtf8(utf8.data(), static_cast<int>(utf8.size()));
    edit->setText(text);
    emit edit->textEdited(text);
}

// As the user chooses an entry.
void Choose(CMainDlg& d, int id, int index) {
    QComboBox* combo = Combo(d, id);
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

void ChooseRule(CMainDlg& d, int rule) {
    Choose(d, IDC_RULE, rule);
}



// A header and nine records; the names are Japanese, as code page 932.
constexpr int kRecords = 10;
const char kCsvUtf8[] =
    "id,name,price\n"
    "1,りんご,100\n2,みかん,80\n3,ぶどう,300\n4,もも,250\n5,なし,120\n"
    "6,かき,90\n7,いちご,400\n8,すいか,800\n9,メロン,1200\n";

class SettingsTest : public ::testing::Test {
  protected:
    SettingsTest() : csv_(dir_.File("fruit.csv")), cfg_(dir_.File("fruit.cfg")) {
        WriteBytes(csv_, CrLf(Cp(kCsvUtf8)));
    }

    // Writes `utf8` (line ends as given) as a settings file and reads it.
    int Read(CMainDlg& d, std::string_view utf8) {
        WriteBytes(cfg_, Cp(utf8));
        d.Model().SetSettingsPath(cfg_);
        return d.Model().LoadSettings();
    }
    std::string CsvLine() const { return "CSV:" + csv_ + "\r\n"; }

    TempDir dir_;
    RecordingPrompter prompter_;
    std::string csv_;
    std::string cfg_;
};

// Everything a settings file restores, as the user sees it.
struct WindowState {
    std::string csv, html, out, prefix;
    int rule = 0, field = -1, ext = 0;
    std::string extText;
    std::string start, digit, repeat;
    bool prefixBox = false, fixBox = false, repeatBox = false, createBox = true, autoBox = false;
    std::vector<int> selection;
};

void ExpectState(const CMainDlg& d, const WindowState& w) {
    EXPECT_EQ(TextOf(d, IDC_CSV_PATH), w.csv);
    EXPECT_EQ(TextOf(d, IDC_HTML_PATH), w.html);
    EXPECT_EQ(TextOf(d, IDC_OUT_PATH), w.out);
    EXPECT_EQ(TextOf(d, IDC_PREFIX), w.prefix);
    EXPECT_EQ(Combo(d, IDC_RULE)->currentIndex(), w.rule);
    EXPECT_EQ(Combo(d, IDC_FIELD)->currentIndex(), w.field);
    EXPECT_EQ(Combo(d, IDC_EXTENSION)->currentIndex(), w.ext);
    EXPECT_EQ(Combo(d, IDC_EXTENSION)->currentText().toStdString(), w.extText);
    EXPECT_EQ(TextOf(d, IDC_START), w.start);
    EXPECT_EQ(TextOf(d, IDC_DIGIT), w.digit);
    EXPECT_EQ(TextOf(d, IDC_REPEAT), w.repeat);
    // Boxes, the switches that mirror them, and what the handlers enable.
    EXPECT_EQ(Box(d, IDC_PREFIX_CHK)->isChecked(), w.prefixBox);
    EXPECT_EQ(d.Model().Switch(DialogSwitch::Prefix), w.prefixBox);
    EXPECT_EQ(d.Control(IDC_PREFIX)->isEnabled(), w.prefixBox);
    EXPECT_EQ(Box(d, IDC_FIXED_WIDTH)->isChecked(), w.fixBox);
    EXPECT_EQ(d.Model().Switch(DialogSwitch::Fix), w.fixBox);
    EXPECT_EQ(Box(d, IDC_REPEAT_CHK)->isChecked(), w.repeatBox);
    EXPECT_EQ(d.Model().Switch(DialogSwitch::Repeat), w.repeatBox);
    EXPECT_EQ(d.Control(IDC_REPEAT)->isEnabled(), w.repeatBox);
    EXPECT_EQ(Box(d, IDC_CREATE_CHK)->isChecked(), w.createBox);
    EXPECT_EQ(d.Model().Switch(DialogSwitch::Create), w.createBox);
    EXPECT_EQ(Box(d, IDC_AUTO_CHK)->isChecked(), w.autoBox);
    EXPECT_EQ(d.Model().Switch(DialogSwitch::Auto), w.autoBox);
    EXPECT_EQ(d.Control(IDC_FIELD)->isEnabled(), w.rule == 2);
    EXPECT_EQ(d.Control(IDC_START)->isEnabled(), w.rule == 1);
    EXPECT_EQ(testutil::SelectedRecords(d), w.selection);
    ASSERT_NE(d.Model().Table(), nullptr);
    EXPECT_EQ(d.Model().Table()->RecordCount(), kRecords);
}

// ------------------------------------------------------------ round trip

class SettingsRoundTrip : public SettingsTest {
  protected:
    // A window changed in every control a settings file holds.
    void SetUpWindow(CMainDlg& d) {
        Type(d, IDC_CSV_PATH, csv_);
        d.Model().LoadCsv();
        Type(d, IDC_HTML_PATH, dir_.File("テンプレート.html"));
        Type(d, IDC_OUT_PATH, "D:\\site\\pages");
        Type(d, IDC_PREFIX, "果物_");
        Box(d, IDC_PREFIX_CHK)->click();
        ChooseRule(d, 2);
        Choose(d, IDC_FIELD, 1);
        Choose(d, IDC_EXTENSION, 3);
        Type(d, IDC_START, "12");
        Type(d, IDC_DIGIT, "4");
        Type(d, IDC_REPEAT, "3");
        Box(d, IDC_FIXED_WIDTH)->click();
        Box(d, IDC_CREATE_CHK)->click();
        Box(d, IDC_AUTO_CHK)->click();
        SelectOnly(d, {9, 1, 4, 3});
    }

    WindowState Saved() const {
        WindowState w;
        w.csv = csv_;
        w.html = dir_.File("テンプレート.html");
        w.out = "D:\\site\\pages";
        w.prefix = "果物_";
        w.rule = 2;
        w.field = 1;
        w.ext = 3;
        w.extText = "shtm";
        w.start = "12";
        w.digit = "4";
        w.repeat = "3";
        w.prefixBox = true;
        w.fixBox = true;
        w.repeatBox = false;
        w.createBox = false;
        w.autoBox = true;
        w.selection = {1, 3, 4, 9};
        return w;
    }

    // Everything put back to something else, the table kept.
    static void Scramble(CMainDlg& d) {
        for (int id : {IDC_CSV_PATH, IDC_HTML_PATH, IDC_OUT_PATH, IDC_PREFIX}) Type(d, id, "x");
        ChooseRule(d, 1);
        Choose(d, IDC_FIELD, 0);
        Choose(d, IDC_EXTENSION, 0);
        Type(d, IDC_START, "1");
        Type(d, IDC_DIGIT, "5");
        Type(d, IDC_REPEAT, "1");
        for (int id : {IDC_PREFIX_CHK, IDC_FIXED_WIDTH, IDC_CREATE_CHK, IDC_AUTO_CHK})
            Box(d, id)->click();
        SelectOnly(d, {0, 2});
    }
};

TEST_F(SettingsRoundTrip, WrittenFileRestoresTheSameWindow) {
    CMainDlg d(prompter_);
    SetUpWindow(d);
    d.Model().SetSettingsPath(cfg_);
    ASSERT_EQ(d.Model().SaveSettings(), 0);
    Scramble(d);
    EXPECT_EQ(d.Model().LoadSettings(), 0);
    ExpectState(d, Saved());
    EXPECT_EQ(d.Model().SettingsPath(), cfg_);
}

TEST_F(SettingsRoundTrip, WrittenFileRestoresAFreshWindow) {
    {
        CMainDlg writer(prompter_);
        SetUpWindow(writer);
        writer.Model().SetSettingsPath(cfg_);
        ASSERT_EQ(writer.Model().SaveSettings(), 0);
    }
    CMainDlg d(prompter_);
    d.Model().SetSettingsPath(cfg_);
    EXPECT_EQ(d.Model().LoadSettings(), 0);
    ExpectState(d, Saved());
    // Only the confirmation was asked; the load reported nothing.
    ASSERT_EQ(prompter_.entries.size(), 1u);
    EXPECT_EQ(prompter_.entries[0].kind, RecordingPrompter::Kind::Question);
}

// The repeat count comes back as saved, with the repeat switch on or off.
TEST_F(SettingsRoundTrip, RepeatCountComesBack) {
    struct Case {
        bool repeatOn;
        const char* typed;
    };
    for (const Case& c : {Case{true, "2"}, Case{false, "7"}}) {
        SCOPED_TRACE(c.repeatOn ? "repeat on" : "repeat off");
        {
            CMainDlg writer(prompter_);
            Type(writer, IDC_CSV_PATH, csv_);
            writer.Model().LoadCsv();
            SelectOnly(writer, {2, 3, 5, 8});
            if (c.repeatOn) {
                Box(writer, IDC_REPEAT_CHK)->click();
                ASSERT_EQ(TextOf(writer, IDC_REPEAT), "4");  // the selected count
            }
            Type(writer, IDC_REPEAT, c.typed);
            writer.Model().SetSettingsPath(cfg_);
            ASSERT_EQ(writer.Model().SaveSettings(), 0);
        }
        const std::string file = ReadBytes(cfg_);
        EXPECT_NE(file.find(std::string("   repeat:") + c.typed + "\r\n"), std::string::npos);

        CMainDlg d(prompter_);
        d.Model().SetSettingsPath(cfg_);
        ASSERT_EQ(d.Model().LoadSettings(), 0);
        EXPECT_EQ(TextOf(d, IDC_REPEAT), c.typed);
        EXPECT_EQ(d.Model().Switch(DialogSwitch::Repeat), c.repeatOn);
        EXPECT_EQ(d.Control(IDC_REPEAT)->isEnabled(), c.repeatOn);
        EXPECT_EQ(testutil::SelectedRecords(d), (std::vector<int>{2, 3, 5, 8}));
    }
}

// The selection line of a big table is far longer than any line buffer.
TEST_F(SettingsRoundTrip, SelectionOfThirtyTwoThousandRecords) {
    std::string big = "n\r\n";
    for (int i = 1; i < 32000; ++i) big += std::to_string(i) + "\r\n";
    const std::string bigCsv = dir_.File("big.csv");
    WriteBytes(bigCsv, big);
    std::vector<int> expected;
    {
        CMainDlg writer(prompter_);
        Type(writer, IDC_CSV_PATH, bigCsv);
        writer.Model().LoadCsv();
        ASSERT_EQ(testutil::SelectedRecords(writer).size(), 31999u);  // the data records
        QItemSelectionModel* sel = testutil::RecordList(writer)->selectionModel();
        for (int r : {0, 17, 15000, 31998})
            sel->select(testutil::RecordList(writer)->model()->index(r, 0), QItemSelectionModel::Deselect);
        expected = testutil::SelectedRecords(writer);
        ASSERT_EQ(expected.size(), 31996u);
        writer.Model().SetSettingsPath(cfg_);
        ASSERT_EQ(writer.Model().SaveSettings(), 0);
    }
    const std::string file = ReadBytes(cfg_);
    const size_t sel = file.find(" SelItems:");
    ASSERT_NE(sel, std::string::npos);
    EXPECT_GT(file.size() - sel, 100000u);

    CMainDlg d(prompter_);
    d.Model().SetSettingsPath(cfg_);
    ASSERT_EQ(d.Model().LoadSettings(), 0);
    EXPECT_EQ(testutil::SelectedRecords(d), expected);
}

// ------------------------------------------------------------ writing

TEST_F(SettingsTest, SavedFileHasTheEighteenLinesOfTheExample) {
    CMainDlg d(prompter_);
    const std::string html = dir_.File("book.html");
    const std::string out = dir_.File("pages");
    Type(d, IDC_CSV_PATH, csv_);
    d.Model().LoadCsv();
    Type(d, IDC_HTML_PATH, html);
    Type(d, IDC_OUT_PATH, out);
    Type(d, IDC_PREFIX, "bk");
    Box(d, IDC_PREFIX_CHK)->click();
    ChooseRule(d, 1);
    Type(d, IDC_DIGIT, "3");
    SelectOnly(d, {1, 2, 7});
    d.Model().SetSettingsPath(cfg_);
    ASSERT_EQ(d.Model().SaveSettings(), 0);

    const std::string head = " FileName:" + cfg_ + "\n" + "      CSV:" + csv_ + "\n" +
                             "     HTML:" + html + "\n" + "      Out:" + out + "\n" +
                             "   Prefix:bk\n"
                             "  ruleNum:1\n"
                             " fieldNum:-1\n"
                             "   extNum:0\n"
                             "    start:1\n"
                             "    digit:3\n"
                             "   repeat:1\n"
                             "prefixChk:1\n"
                             "   fixChk:0\n"
                             "repeatChk:0\n"
                             "createChk:1\n"
                             "  autoChk:0\n"
                             " csvCount:3\n";
    EXPECT_EQ(ReadBytes(cfg_), CrLf(head + " SelItems:1,2,7\n"));

    // The confirmation asked, then showed lines 1 to 17, without the selection.
    ASSERT_EQ(prompter_.entries.size(), 1u);
    const RecordingPrompter::Entry& ask = prompter_.entries[0];
    EXPECT_EQ(ask.kind, RecordingPrompter::Kind::Question);
    EXPECT_EQ(ask.caption, "設定ファイルの保存");
    std::string shown = ask.text;
    std::erase(shown, '\r');
    EXPECT_EQ(shown, "この内容で保存しますか？\n\n" + head);
}

TEST_F(SettingsTest, SavedValuesOfEmptyAndTypedControls) {
    CMainDlg d(prompter_);
    // Nothing loaded, nothing selected, an extension typed in.
    QLineEdit* typed = Combo(d, IDC_EXTENSION)->lineEdit();
    typed->setText("php");
    emit typed->textEdited("php");
    d.Model().SetSettingsPath(cfg_);
    ASSERT_EQ(d.Model().SaveSettings(), 0);
    const std::string file = ReadBytes(cfg_);
    for (const char* line : {"      CSV:\r\n", "   Prefix:\r\n", "   extNum:-1\r\n",
                             " fieldNum:-1\r\n", " csvCount:0\r\n"})
        EXPECT_NE(file.find(line), std::string::npos) << line;
    EXPECT_TRUE(file.ends_with("\r\n SelItems:\r\n")) << file;

    // Read back, extNum -1 leaves a fresh window's extension alone.
    CMainDlg fresh(prompter_);
    fresh.Model().SetSettingsPath(cfg_);
    ASSERT_EQ(fresh.Model().LoadSettings(), 0);
    EXPECT_EQ(Combo(fresh, IDC_EXTENSION)->currentText().toStdString(), "html");
}

TEST_F(SettingsTest, DecliningTheConfirmationWritesNothing) {
    for (bool existing : {false, true}) {
        SCOPED_TRACE(existing ? "file exists" : "no file");
        fs::remove(cfg_);
        if (existing) WriteBytes(cfg_, "old contents\r\n");
        RecordingPrompter prompter;
        CMainDlg d(prompter);
        prompter.fileChoices.push_back(cfg_);
        prompter.answers.push_back(false);
        Click(d, IDC_SAVE_SETTINGS);

        EXPECT_EQ(fs::exists(cfg_), existing);
        if (existing) {
            EXPECT_EQ(ReadBytes(cfg_), "old contents\r\n");
        }
        EXPECT_EQ(d.Model().SettingsPath(), cfg_);
        ASSERT_EQ(prompter.entries.size(), 2u);
        const diag::FileDialogRequest& request = prompter.entries[0].request;
        EXPECT_TRUE(request.save);
        EXPECT_EQ(request.filter, "設定ﾌｧｲﾙ(*.cfg)|*.cfg||");
        EXPECT_EQ(request.proposedName, "default.cfg");
        EXPECT_EQ(request.folder, ".");
        EXPECT_EQ(prompter.entries[1].kind, RecordingPrompter::Kind::Question);
    }
}

// A name typed without an extension is saved as a settings file, which a
// later drop on the window recognises; a name with any extension is kept.
TEST_F(SettingsTest, SavedNameWithoutExtensionGetsCfg) {
    fs::create_directory(dir_.Path() / "my.sites");
    struct Case {
        const char* typed;
        const char* saved;
        bool takenWhenDropped;
    };
    const Case cases[] = {
        {"site", "site.cfg", true},
        {"my.sites/site", "my.sites/site.cfg", true},  // a dot in a folder's name does not count
        {"site.cfg", "site.cfg", true},
        {"site.txt", "site.txt", false},
        {"site.", "site.", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        RecordingPrompter prompter;
        CMainDlg d(prompter);
        Type(d, IDC_HTML_PATH, "saved.html");
        prompter.fileChoices.push_back(dir_.File(c.typed));
        Click(d, IDC_SAVE_SETTINGS);
        EXPECT_EQ(d.Model().SettingsPath(), dir_.File(c.saved));
        EXPECT_TRUE(fs::is_regular_file(dir_.File(c.saved)));
        if (std::string_view(c.typed) != c.saved) {
            EXPECT_FALSE(fs::exists(dir_.File(c.typed)));
        }

        CMainDlg later(prompter);
        later.OnDropFiles({dir_.File(c.saved)});
        EXPECT_EQ(TextOf(later, IDC_HTML_PATH), c.takenWhenDropped ? "saved.html" : "");
    }
}

TEST_F(SettingsTest, CancelledSaveDialogChangesNothing) {
    CMainDlg d(prompter_);
    d.Model().SetSettingsPath(cfg_);
    Click(d, IDC_SAVE_SETTINGS);
    EXPECT_FALSE(fs::exists(cfg_));
    EXPECT_EQ(d.Model().SettingsPath(), cfg_);
    ASSERT_EQ(prompter_.entries.size(), 1u);
    EXPECT_EQ(prompter_.entries[0].request.proposedName, "fruit.cfg");
    EXPECT_EQ(prompter_.entries[0].request.folder, dir_.Path().string());
}

// ------------------------------------------------------------ reading

TEST_F(SettingsTest, MissingFileIsReportedAndChangesNothing) {
    CMainDlg d(prompter_);
    Type(d, IDC_HTML_PATH, "keep.html");
    const std::string missing = dir_.File("gone.cfg");
    prompter_.fileChoices.push_back(missing);
    Click(d, IDC_OPEN_SETTINGS);
    EXPECT_EQ(d.Model().SettingsPath(), missing);
    ASSERT_EQ(prompter_.entries.size(), 2u);
    EXPECT_EQ(prompter_.entries[1].kind, RecordingPrompter::Kind::Message);
    EXPECT_EQ(prompter_.entries[1].text, CannotOpen(missing));
    EXPECT_EQ(TextOf(d, IDC_HTML_PATH), "keep.html");
    EXPECT_EQ(d.Model().Table(), nullptr);
    EXPECT_EQ(d.Model().LoadSettings(), -1);
}

// The Open button reads the file, ignores its FileName line, proposes its
// path next time and never generates.
TEST_F(SettingsTest, OpenButtonLoadsWithoutRunning) {
    const std::string html = dir_.File("t.html");
    const std::string out = dir_.File("out");
    WriteBytes(html, "[name]");
    fs::create_directory(out);
    WriteBytes(cfg_, CrLf(" FileName:C:\\elsewhere\\other.cfg\n") + CsvLine() +
                         CrLf("HTML:" + html + "\nOut:" + out + "\nautoChk:1\n"));
    CMainDlg d(prompter_);
    prompter_.fileChoices.push_back(cfg_);
    Click(d, IDC_OPEN_SETTINGS);

    ASSERT_EQ(prompter_.entries.size(), 1u);
    const diag::FileDialogRequest& request = prompter_.entries[0].request;
    EXPECT_FALSE(request.save);
    EXPECT_EQ(request.filter, "設定ﾌｧｲﾙ(*.cfg)|*.cfg||");
    EXPECT_EQ(request.defaultExt, "*.cfg");
    EXPECT_EQ(request.proposedName, "default.cfg");
    EXPECT_EQ(request.folder, ".");
    EXPECT_EQ(d.Model().SettingsPath(), cfg_);
    EXPECT_TRUE(d.Model().Switch(DialogSwitch::Auto));
    EXPECT_EQ(testutil::SelectedRecords(d).size(), static_cast<size_t>(kRecords - 1));  // no SelItems line
    EXPECT_TRUE(fs::is_empty(out));
    EXPECT_EQ(d.Model().LastRun().pagesOpened, 0);

    Click(d, IDC_SAVE_SETTINGS);  // cancelled
    ASSERT_EQ(prompter_.entries.size(), 2u);
    EXPECT_EQ(prompter_.entries[1].request.proposedName, "fruit.cfg");
    EXPECT_EQ(prompter_.entries[1].request.folder, dir_.Path().string());
}

// Both settings dialogs open in the folder of the current settings file and
// propose its name there; a bare name is in the current folder.
TEST_F(SettingsTest, DialogsOpenBesideTheCurrentFile) {
    struct Case {
        std::string path;  // code page 932
        std::string folder;
        std::string name;
    };
    const Case cases[] = {
        {"default.cfg", ".", "default.cfg"},
        {cfg_, dir_.Path().string(), "fruit.cfg"},
        {"sites/shop.cfg", "sites", "shop.cfg"},
        {"/shop.cfg", "/", "shop.cfg"},
        // 表 ends in the byte of a backslash, which separates nothing here.
        {"/データ/表/一覧.cfg", "/データ/表", "一覧.cfg"},
    };
    for (const Case& c : cases) {
        for (int button : {IDC_OPEN_SETTINGS, IDC_SAVE_SETTINGS}) {
            SCOPED_TRACE(c.path + (button == IDC_OPEN_SETTINGS ? " open" : " save"));
            RecordingPrompter prompter;
            CMainDlg d(prompter);
            d.Model().SetSettingsPath(c.path);
            Click(d, button);
            ASSERT_EQ(prompter.entries.size(), 1u);
            EXPECT_EQ(prompter.entries[0].request.folder, c.folder);
            EXPECT_EQ(prompter.entries[0].request.proposedName, c.name);
        }
    }
}

}  // namespace
