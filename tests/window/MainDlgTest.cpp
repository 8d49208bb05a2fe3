// The main window driven through its controls, as a user would: clicks on
// buttons and ticks, keys in combos and edits, clicks on list lines.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QFontMetricsF>
#include <QTextLayout>
#include <QToolButton>
#include <QUrl>
#include <QtTest/QTest>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "TestUtil.h"
#include "dialog/DialogTemplate.h"
#include "window/MainDlg.h"
#include "window/WindowProbe.h"
#include "window/RecordList.h"
#include "window/UpDown.h"
#include "gen/ProgramIdentity.h"
#include "RecordingPrompter.h"
#include "diag/Prompter.h"
#include "dialog/ControlIds.h"

namespace {

namespace fs = std::filesystem;
using testutil::kDone;
using testutil::kEmptyFile;
using testutil::kNoNameField;
using testutil::kNoRecords;
using testutil::kNoSource;
using testutil::kNoTemplate;
using testutil::kSourceMissing;
using testutil::QuoteError;
using testutil::ReadBytes;
using testutil::TempDir;
using testutil::WriteBytes;
using Lines = std::vector<std::string>;

QString U(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// Code page 932 CSV sources, CR LF line ends.
const std::string kThreeColumns =
    "id,name,price\r\n"
    "1,apple,100\r\n"
    "2,banana,2500\r\n";
const Lines kThreeColumnLines = {
    "000\t|id\t|name  \t|price",
    "001\t|1 \t|apple \t|100  ",
    "002\t|2 \t|banana\t|2500 ",
};

// A CSV with the header id,name and one record per name.
std::string NamesCsv(const std::vector<std::string>& names) {
    return testutil::NumberedCsv("name", names);
}

// A header and `records` one-field records.
std::string CountCsv(int records) {
    std::string csv = "n\r\n";
    for (int i = 1; i <= records; ++i) csv += std::to_string(i) + "\r\n";
    return csv;
}

// Sees the state of the window at the moment a box comes up.
class SnoopingPrompter : public testutil::RecordingPrompter {
  public:
    void Information(std::string_view caption, std::string_view text) override {
        if (onInformation) onInformation();
        RecordingPrompter::Information(caption, text);
    }
    std::function<void()> onInformation;
};

// Generate, invert, rotation, fixed-width, then load and exit.
const int kRunControls[] = {IDC_GENERATE, IDC_INVERT, IDC_ROTATE, IDC_FIXED_WIDTH};
using States = std::vector<bool>;
const States kRunOn = {true, true, true, true};
const States kRunOff = {false, false, false, false};

class MainDlgTest : public ::testing::Test {
  protected:
    void SetUp() override {
        cwd = fs::current_path();
        dlg = std::make_unique<CMainDlg>(prompter);
    }
    void TearDown() override {
        dlg.reset();
        // A generation run leaves the current folder at its output's parent.
        fs::current_path(cwd);
    }

    QWidget* W(int id) const {
        QWidget* w = dlg->Control(id);
        EXPECT_NE(w, nullptr) << "control " << id;
        return w;
    }
    template <class T>
    T* As(int id) const {
        T* t = qobject_cast<T*>(W(id));
        EXPECT_NE(t, nullptr) << "control " << id;
        return t;
    }
    bool Enabled(int id) const { return W(id)->isEnabled(); }
    bool Ticked(int id) const { return As<QAbstractButton>(id)->isChecked(); }
    QString Text(int id) const { return As<QLineEdit>(id)->text(); }
    QComboBox* Combo(int id) const { return As<QComboBox>(id); }
    QStringList Items(int id) const {
        QStringList items;
        for (int i = 0; i < Combo(id)->count(); ++i) items << Combo(id)->itemText(i);
        return items;
    }
    CUpDown* Spin(int id) const { return As<CUpDown>(id); }

    States RunControls() const {
        States s;
        for (int id : kRunControls) s.push_back(Enabled(id));
        return s;
    }
    bool LoadAndExitEnabled() const { return Enabled(IDC_LOAD) && Enabled(IDC_EXIT); }

    void Show() {
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
        dlg->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
    }

    // A click on a button or a tick.
    void Click(int id) { As<QAbstractButton>(id)->click(); }
    void ClickArrow(int spinId, bool up) {
        CUpDown* spin = Spin(spinId);
        QTest::mouseClick(up ? spin->UpButton() : spin->DownButton(), Qt::LeftButton);
    }
    void Key(int id, Qt::Key key) { QTest::keyClick(W(id), key); }
    // Replaces an edit's text by typing.
    void Type(QLineEdit* edit, const char* utf8) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, U(utf8));
    }
    void Type(int id, const char* utf8) { Type(As<QLineEdit>(id), utf8); }

    std::string WriteFile(const std::string& name, const std::string& bytes) {
        const std::string path = dir.File(name);
        WriteBytes(path, bytes);
        return path;
    }
    void LoadPath(const std::string& path) {
        dlg->Model().PutText(DialogEdit::CSV, path);
        Click(IDC_LOAD);
    }
    void LoadCsv(const std::string& bytes, const std::string& name = "source.csv") {
        LoadPath(WriteFile(name, bytes));
    }

    QListView* List() const { return testutil::RecordList(*dlg); }
    Lines ListLines() const { return testutil::ListLines(*dlg); }
    void ClickLine(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        const QModelIndex index = List()->model()->index(row, 0);
        List()->scrollTo(index);
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, modifiers,
                          List()->visualRect(index).center());
    }
    // The lines the list shows selected.
    std::vector<int> SelectedLines() const {
        std::vector<int> rows;
        for (const QModelIndex& i : List()->selectionModel()->selectedIndexes())
            rows.push_back(i.row());
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    // Every line but the header's, as a load selects them.
    std::vector<int> DataLines(int n) const {
        std::vector<int> rows = AllLines(n);
        if (!rows.empty()) rows.erase(rows.begin());
        return rows;
    }
    std::vector<int> AllLines(int n) const {
        std::vector<int> rows(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) rows[static_cast<size_t>(i)] = i;
        return rows;
    }
    int TopLine() const { return List()->indexAt(QPoint(1, 1)).row(); }

    SnoopingPrompter prompter;
    TempDir dir;
    fs::path cwd;
    std::unique_ptr<CMainDlg> dlg;
};

// --- Start-up ----------------------------------------------------------------

TEST_F(MainDlgTest, StartsWithTitleDefaultsAndTemplateStates) {
    EXPECT_EQ(dlg->windowTitle(), U("Quolix ver.0.9i   ") + U(kCopyright));

    // Enabled at start; 1039, 1041, the number controls, the prefix edit, the
    // field list and the run controls wait for their switches.
    const int enabled[] = {IDC_REPEAT_CHK,  IDC_CSV_PATH,      IDC_BROWSE_CSV,    IDC_HTML_PATH,
                           IDC_BROWSE_HTML, IDC_OUT_PATH,      IDC_RULE,          IDC_PREFIX_CHK,
                           IDC_EXTENSION,   IDC_LOAD,          IDC_RECORD_LIST,   IDC_EXIT,
                           IDC_STATUS,      IDC_OPEN_SETTINGS, IDC_SAVE_SETTINGS, IDC_COMPACT,
                           IDC_CREATE_CHK,  IDC_AUTO_CHK};
    const int disabled[] = {IDC_REPEAT,      IDC_REPEAT_SPIN, IDC_START_LABEL, IDC_START,
                            IDC_START_SPIN,  IDC_DIGIT_LABEL, IDC_DIGIT,       IDC_DIGIT_SPIN,
                            IDC_PREFIX,      IDC_FIELD,       IDC_INVERT,      IDC_ROTATE,
                            IDC_FIXED_WIDTH, IDC_GENERATE};
    for (int id : enabled) EXPECT_TRUE(Enabled(id)) << id;
    for (int id : disabled) EXPECT_FALSE(Enabled(id)) << id;

    for (int id : {IDC_REPEAT_CHK, IDC_PREFIX_CHK, IDC_FIXED_WIDTH, IDC_COMPACT, IDC_AUTO_CHK})
        EXPECT_FALSE(Ticked(id)) << id;
    EXPECT_TRUE(Ticked(IDC_CREATE_CHK));

    EXPECT_EQ(Text(IDC_START), "1");
    EXPECT_EQ(Text(IDC_DIGIT), "5");
    EXPECT_EQ(Text(IDC_REPEAT), "1");
    for (int id : {IDC_CSV_PATH, IDC_HTML_PATH, IDC_OUT_PATH, IDC_PREFIX})
        EXPECT_TRUE(Text(id).isEmpty()) << id;
    EXPECT_TRUE(testutil::StatusText(*dlg).isEmpty());

    EXPECT_EQ(Items(IDC_RULE), (QStringList{U("レコード番号（自動）"), U("連番（自動）"),
                                            U("フィールド名を指定する")}));
    EXPECT_EQ(Combo(IDC_RULE)->currentIndex(), 0);
    EXPECT_EQ(Items(IDC_EXTENSION),
              (QStringList{"html", "htm", "shtml", "shtm", "asp", "txt", "dat"}));
    EXPECT_EQ(Combo(IDC_EXTENSION)->currentIndex(), 0);
    EXPECT_EQ(Combo(IDC_EXTENSION)->currentText(), "html");
    EXPECT_TRUE(Combo(IDC_EXTENSION)->isEditable());
    EXPECT_FALSE(Combo(IDC_RULE)->isEditable());
    EXPECT_EQ(Combo(IDC_FIELD)->count(), 0);

    EXPECT_TRUE(As<QPushButton>(IDC_EXIT)->isDefault());

    EXPECT_EQ(dlg->Model().Table(), nullptr);
    EXPECT_TRUE(ListLines().empty());
    EXPECT_EQ(dlg->Model().RotationOffset(), 0);
    EXPECT_EQ(dlg->Model().SettingsPath(), "default.cfg");

    Show();
    EXPECT_TRUE(W(IDC_BROWSE_OUT)->isVisible());
    EXPECT_TRUE(Enabled(IDC_BROWSE_OUT));
    EXPECT_TRUE(W(IDC_RECORD_LIST)->isVisible());
    // The first control in tab order has the focus.
    EXPECT_EQ(dlg->focusWidget(), W(IDC_REPEAT_CHK));
    EXPECT_FALSE(dlg->windowIcon().isNull());
}

// --- Switches and their enable rules -----------------------------------------

TEST_F(MainDlgTest, NamingRuleEnablesFieldListOrNumberControls) {
    const int numberControls[] = {IDC_START,      IDC_START_SPIN,  IDC_DIGIT,
                                  IDC_DIGIT_SPIN, IDC_START_LABEL, IDC_DIGIT_LABEL};
    auto expectRule = [&](bool field, bool numbers) {
        EXPECT_EQ(Enabled(IDC_FIELD), field);
        for (int id : numberControls) EXPECT_EQ(Enabled(id), numbers) << id;
    };

    // Chosen from the keyboard, as a user does: each choice runs the handler.
    Key(IDC_RULE, Qt::Key_Down);
    EXPECT_EQ(Combo(IDC_RULE)->currentIndex(), 1);
    expectRule(false, true);
    Key(IDC_RULE, Qt::Key_Down);
    EXPECT_EQ(Combo(IDC_RULE)->currentIndex(), 2);
    expectRule(true, false);
    Key(IDC_RULE, Qt::Key_Up);
    Key(IDC_RULE, Qt::Key_Up);
    EXPECT_EQ(Combo(IDC_RULE)->currentIndex(), 0);
    expectRule(false, false);

    // A selection the program makes changes nothing until the handler runs.
    struct Case {
        int rule;
        bool field;
        bool numbers;
    };
    const Case cases[] = {{1, false, true}, {2, true, false}, {0, false, false}, {2, true, false}};
    bool field = false, numbers = false;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        // A choice made by the program runs no handler; the user's does.
        Combo(IDC_RULE)->setCurrentIndex(c.rule);
        expectRule(field, numbers);
        emit Combo(IDC_RULE)->activated(c.rule);
        expectRule(c.field, c.numbers);
        field = c.field;
        numbers = c.numbers;
    }
}

TEST_F(MainDlgTest, PrefixTickEnablesThePrefixEdit) {
    Click(IDC_PREFIX_CHK);
    EXPECT_TRUE(Ticked(IDC_PREFIX_CHK));
    EXPECT_TRUE(dlg->Model().Switch(DialogSwitch::Prefix));
    EXPECT_TRUE(Enabled(IDC_PREFIX));
    Click(IDC_PREFIX_CHK);
    EXPECT_FALSE(dlg->Model().Switch(DialogSwitch::Prefix));
    EXPECT_FALSE(Enabled(IDC_PREFIX));

    // A tick set by the program runs no handler.
    As<QCheckBox>(IDC_PREFIX_CHK)->setChecked(true);
    EXPECT_FALSE(dlg->Model().Switch(DialogSwitch::Prefix));
    EXPECT_FALSE(Enabled(IDC_PREFIX));
}

TEST_F(MainDlgTest, CheckFileAndAutoRunTicksOnlySetTheirSwitches) {
    Click(IDC_CREATE_CHK);
    EXPECT_FALSE(dlg->Model().Switch(DialogSwitch::Create));
    Click(IDC_AUTO_CHK);
    EXPECT_TRUE(dlg->Model().Switch(DialogSwitch::Auto));
    Click(IDC_CREATE_CHK);
    Click(IDC_AUTO_CHK);
    EXPECT_TRUE(dlg->Model().Switch(DialogSwitch::Create));
    EXPECT_FALSE(dlg->Model().Switch(DialogSwitch::Auto));
    EXPECT_EQ(RunControls(), kRunOff);
    EXPECT_FALSE(Enabled(IDC_REPEAT));
}

TEST_F(MainDlgTest, RepeatTickShowsTheNumberOfSelectedLines) {
    LoadCsv(CountCsv(6));
    Show();
    ASSERT_EQ(SelectedLines(), DataLines(7));
    EXPECT_EQ(Text(IDC_REPEAT), "1");  // untouched while repeat is off

    Click(IDC_REPEAT_CHK);
    EXPECT_TRUE(dlg->Model().Switch(DialogSwitch::Repeat));
    EXPECT_TRUE(Enabled(IDC_REPEAT));
    EXPECT_TRUE(Enabled(IDC_REPEAT_SPIN));
    EXPECT_EQ(Text(IDC_REPEAT), "6");

    ClickLine(3);
    EXPECT_EQ(Text(IDC_REPEAT), "1");
    ClickLine(5, Qt::ControlModifier);
    EXPECT_EQ(Text(IDC_REPEAT), "2");
    ClickLine(6, Qt::ShiftModifier);
    EXPECT_EQ(SelectedLines(), (std::vector<int>{3, 5, 6}));
    EXPECT_EQ(Text(IDC_REPEAT), "3");

    Click(IDC_REPEAT_CHK);
    EXPECT_FALSE(dlg->Model().Switch(DialogSwitch::Repeat));
    EXPECT_FALSE(Enabled(IDC_REPEAT));
    EXPECT_FALSE(Enabled(IDC_REPEAT_SPIN));
    EXPECT_EQ(Text(IDC_REPEAT), "3");
    ClickLine(0);
    EXPECT_EQ(Text(IDC_REPEAT), "3");

    // Ticked again: counted at once.
    Click(IDC_REPEAT_CHK);
    EXPECT_EQ(Text(IDC_REPEAT), "1");
}

// --- Up-down controls ----------------------------------------------------------

TEST_F(MainDlgTest, ArrowsStepTowardTheirEndsAndStopThere) {
    Key(IDC_RULE, Qt::Key_Down);  // sequence numbers: start and digits usable
    Click(IDC_REPEAT_CHK);
    ASSERT_TRUE(Enabled(IDC_START_SPIN));
    ASSERT_TRUE(Enabled(IDC_REPEAT_SPIN));

    // The up arrow lowers the number.
    struct Case {
        int edit;
        int spin;
        const char* from;
        bool up;
        const char* to;
    };
    const Case cases[] = {
        {IDC_START, IDC_START_SPIN, "1", true, "1"},
        {IDC_START, IDC_START_SPIN, "1", false, "2"},
        {IDC_START, IDC_START_SPIN, "50", true, "49"},
        {IDC_START, IDC_START_SPIN, "9999", false, "9999"},
        {IDC_START, IDC_START_SPIN, "9999", true, "9998"},
        {IDC_DIGIT, IDC_DIGIT_SPIN, "5", true, "4"},
        {IDC_DIGIT, IDC_DIGIT_SPIN, "5", false, "5"},
        {IDC_DIGIT, IDC_DIGIT_SPIN, "1", true, "1"},
        {IDC_DIGIT, IDC_DIGIT_SPIN, "1", false, "2"},
        {IDC_REPEAT, IDC_REPEAT_SPIN, "1", true, "0"},
        {IDC_REPEAT, IDC_REPEAT_SPIN, "0", true, "0"},
        {IDC_REPEAT, IDC_REPEAT_SPIN, "0", false, "1"},
        {IDC_REPEAT, IDC_REPEAT_SPIN, "9999", false, "9999"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.edit) + " from " + c.from + (c.up ? " up" : " down"));
        Type(c.edit, c.from);
        ClickArrow(c.spin, c.up);
        EXPECT_EQ(Text(c.edit), c.to);
    }

    // The arrow keys in the edit step the same way.
    Type(IDC_START, "3");
    Key(IDC_START, Qt::Key_Up);
    EXPECT_EQ(Text(IDC_START), "2");
    Key(IDC_START, Qt::Key_Down);
    Key(IDC_START, Qt::Key_Down);
    EXPECT_EQ(Text(IDC_START), "4");
}

TEST_F(MainDlgTest, DisabledArrowsDoNothing) {
    ClickArrow(IDC_START_SPIN, false);
    ClickArrow(IDC_DIGIT_SPIN, true);
    ClickArrow(IDC_REPEAT_SPIN, true);
    EXPECT_EQ(Text(IDC_START), "1");
    EXPECT_EQ(Text(IDC_DIGIT), "5");
    EXPECT_EQ(Text(IDC_REPEAT), "1");
}

TEST_F(MainDlgTest, TextThatIsNoNumberInRangeGivesTheLastValidPosition) {
    Key(IDC_RULE, Qt::Key_Down);
    Click(IDC_REPEAT_CHK);

    ClickArrow(IDC_START_SPIN, false);
    ASSERT_EQ(Text(IDC_START), "2");
    bool error = false;
    for (const char* text : {"abc", "", "10000", "0", "-3", "2x"}) {
        SCOPED_TRACE(text);
        Type(IDC_START, text);
        EXPECT_EQ(Text(IDC_START), U(text));  // the edit takes any text
        EXPECT_EQ(dlg->Model().Position(DialogEdit::Start, &error), 2);
        EXPECT_TRUE(error);
        EXPECT_EQ(dlg->Model().EditedJob().start, 2);
    }
    // Stepping goes on from the last valid position.
    ClickArrow(IDC_START_SPIN, false);
    EXPECT_EQ(Text(IDC_START), "3");

    Type(IDC_DIGIT, "3");
    EXPECT_EQ(dlg->Model().Position(DialogEdit::Digit, &error), 3);
    EXPECT_FALSE(error);
    Type(IDC_DIGIT, "6");
    EXPECT_EQ(dlg->Model().EditedJob().digit, 3);

    // 0 is within the repeat count's range.
    Type(IDC_REPEAT, "0");
    EXPECT_EQ(dlg->Model().Position(DialogEdit::Repeat, &error), 0);
    EXPECT_FALSE(error);
    EXPECT_EQ(dlg->Model().EditedJob().repeat, 0);
}

// --- Ending the dialog -----------------------------------------------------------

TEST_F(MainDlgTest, EnterInAnEditDoesNotEndTheDialog) {
    LoadCsv(kThreeColumns);
    Show();
    for (int id : {IDC_CSV_PATH, IDC_HTML_PATH, IDC_OUT_PATH}) {
        SCOPED_TRACE(id);
        QTest::mouseClick(W(id), Qt::LeftButton);
        ASSERT_EQ(dlg->focusWidget(), W(id));
        Key(id, Qt::Key_Return);
        Key(id, Qt::Key_Enter);
        EXPECT_TRUE(dlg->isVisible());
        EXPECT_NE(dlg->Model().Table(), nullptr);
    }
    // Nor does the Exit command while another control holds the focus.
    As<QPushButton>(IDC_EXIT)->click();
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_NE(dlg->Model().Table(), nullptr);
}

TEST_F(MainDlgTest, ExitEndsTheDialogWhenItHasTheFocus) {
    enum Way { kMouse, kSpace, kEnter };
    for (Way way : {kMouse, kSpace, kEnter}) {
        SCOPED_TRACE(way);
        dlg = std::make_unique<CMainDlg>(prompter);
        LoadCsv(kThreeColumns);
        Show();
        ASSERT_NE(dlg->Model().Table(), nullptr);
        if (way == kMouse) {
            QTest::mouseClick(W(IDC_EXIT), Qt::LeftButton);
        } else {
            W(IDC_EXIT)->setFocus(Qt::TabFocusReason);
            Key(IDC_EXIT, way == kSpace ? Qt::Key_Space : Qt::Key_Return);
        }
        EXPECT_FALSE(dlg->isVisible());
        EXPECT_EQ(dlg->result(), QDialog::Accepted);
        EXPECT_EQ(dlg->Model().Table(), nullptr);
    }
}

// Every control has an Alt key of its own: Alt+C generates, Alt+S saves.
TEST_F(MainDlgTest, EachAltKeyDoesOneThing) {
    std::set<QChar> keys;
    for (const res::DialogItem& item : res::MainDialogItems()) {
        const QString caption = QString::fromUtf8(item.caption);
        const int amp = caption.indexOf('&');
        if (amp >= 0) {
            EXPECT_TRUE(keys.insert(caption[amp + 1].toUpper()).second) << item.caption;
        }
    }
    EXPECT_EQ(As<QAbstractButton>(IDC_GENERATE)->shortcut(), QKeySequence(Qt::ALT | Qt::Key_C));
    EXPECT_EQ(As<QAbstractButton>(IDC_SAVE_SETTINGS)->shortcut(), QKeySequence(Qt::ALT | Qt::Key_S));
}

// Escape leaves the window and what it holds, wherever the focus is; the
// close box ends it.
TEST_F(MainDlgTest, CloseBoxEndsTheDialogEscapeDoesNot) {
    LoadCsv(kThreeColumns);
    Show();
    for (int id : {IDC_CSV_PATH, IDC_LOAD, IDC_EXIT}) {
        W(id)->setFocus(Qt::TabFocusReason);
        Key(id, Qt::Key_Escape);
        EXPECT_TRUE(dlg->isVisible()) << id;
        EXPECT_NE(dlg->Model().Table(), nullptr) << id;
    }
    dlg->close();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->Model().Table(), nullptr);
}

// --- Loading -------------------------------------------------------------------

TEST_F(MainDlgTest, LoadShowsEveryDataRecordSelectedAndNamesTheFields) {
    Click(IDC_FIXED_WIDTH);  // disabled: nothing happens
    LoadCsv(kThreeColumns);

    ASSERT_NE(dlg->Model().Table(), nullptr);
    EXPECT_EQ(dlg->Model().Table()->RecordCount(), 3);
    EXPECT_EQ(ListLines(), kThreeColumnLines);
    EXPECT_EQ(List()->model()->rowCount(), 3);
    EXPECT_EQ(SelectedLines(), DataLines(3));
    EXPECT_EQ(Items(IDC_FIELD), (QStringList{"001: id", "002: name", "003: price"}));
    EXPECT_EQ(Combo(IDC_FIELD)->currentIndex(), -1);
    EXPECT_FALSE(Enabled(IDC_FIELD));  // still naming rule 0
    EXPECT_EQ(RunControls(), kRunOn);
    EXPECT_TRUE(LoadAndExitEnabled());
    EXPECT_TRUE(prompter.entries.empty());
    EXPECT_EQ(testutil::StatusText(*dlg), U("2 件のレコードのうち 2 件を選択しています．"));
    // The header line selected too is said.
    dlg->Model().OnInvertSelection();
    EXPECT_EQ(testutil::StatusText(*dlg),
              U("2 件のレコードのうち 0 件を選択しています．見出し行も選択しています．"));
    dlg->Model().OnInvertSelection();
    EXPECT_EQ(ListLines().size() - 1, testutil::SelectedRecords(*dlg).size());

    // Names in code page 932 are shown converted (名前, 値).
    LoadCsv("\x96\xBC\x91\x4F,\x92\x6C\r\nx,y\r\n", "names.csv");
    EXPECT_EQ(Items(IDC_FIELD), (QStringList{U("001: 名前"), U("002: 値")}));
    EXPECT_EQ(List()->model()->data(List()->model()->index(0, 0)).toString(), U("000\t|名前\t|値"));
    EXPECT_EQ(SelectedLines(), DataLines(2));
}

TEST_F(MainDlgTest, RefusedLoadsDisableTheRunControlsAndSaySo) {
    LoadCsv(kThreeColumns);
    ASSERT_EQ(RunControls(), kRunOn);
    const CCsvTable* first = dlg->Model().Table();

    // No path: table and list stay.
    Type(IDC_CSV_PATH, "");
    Click(IDC_LOAD);
    EXPECT_EQ(testutil::StatusText(*dlg), U(kNoSource));
    EXPECT_EQ(RunControls(), kRunOff);
    EXPECT_TRUE(LoadAndExitEnabled());
    EXPECT_EQ(dlg->Model().Table(), first);
    EXPECT_EQ(ListLines(), kThreeColumnLines);

    LoadCsv(kThreeColumns);
    ASSERT_EQ(RunControls(), kRunOn);

    // A file that is not there: no table, empty list, field names kept.
    LoadPath(dir.File("missing.csv"));
    EXPECT_EQ(testutil::StatusText(*dlg), U(kSourceMissing));
    EXPECT_EQ(RunControls(), kRunOff);
    EXPECT_TRUE(LoadAndExitEnabled());
    EXPECT_EQ(dlg->Model().Table(), nullptr);
    EXPECT_TRUE(ListLines().empty());
    EXPECT_EQ(Items(IDC_FIELD), (QStringList{"001: id", "002: name", "003: price"}));
    EXPECT_TRUE(prompter.entries.empty());

    // A successful load says what it holds now.
    LoadCsv(kThreeColumns);
    EXPECT_EQ(RunControls(), kRunOn);
    EXPECT_EQ(testutil::StatusText(*dlg), U("2 件のレコードのうち 2 件を選択しています．"));
    // A new path clears a message about the old one.
    Type(IDC_CSV_PATH, dir.File("missing.csv").c_str());
    Click(IDC_LOAD);
    ASSERT_EQ(testutil::StatusText(*dlg), U(kSourceMissing));
    Type(IDC_CSV_PATH, dir.File("other.csv").c_str());
    EXPECT_TRUE(testutil::StatusText(*dlg).isEmpty());
}

TEST_F(MainDlgTest, QuoteErrorAfterTheHeaderKeepsTheRecordsBeforeIt) {
    LoadCsv(kThreeColumns);
    ASSERT_EQ(RunControls(), kRunOn);
    // While the box is up the load has started: its run controls are off.
    std::vector<States> atBox;
    std::vector<bool> loadExitAtBox;
    prompter.onInformation = [&] {
        atBox.push_back(RunControls());
        loadExitAtBox.push_back(LoadAndExitEnabled());
    };

    LoadCsv("id,name\r\n1,a\r\n2,b\"c\r\n3,d\r\n", "broken.csv");
    ASSERT_EQ(prompter.entries.size(), 1u);
    EXPECT_EQ(prompter.entries[0].kind, testutil::RecordingPrompter::Kind::Information);
    EXPECT_EQ(prompter.entries[0].caption, "警告");
    EXPECT_EQ(prompter.entries[0].text, QuoteError(3));
    EXPECT_EQ(atBox, std::vector<States>{kRunOff});
    EXPECT_EQ(loadExitAtBox, std::vector<bool>{true});

    EXPECT_EQ(ListLines(), (Lines{"000\t|id\t|name", "001\t|1 \t|a   "}));
    EXPECT_EQ(SelectedLines(), DataLines(2));
    EXPECT_EQ(Items(IDC_FIELD), (QStringList{"001: id", "002: name"}));
    EXPECT_EQ(RunControls(), kRunOn);
}

TEST_F(MainDlgTest, TableWithoutHeaderRecordShowsNothingAndCannotRotate) {
    struct Case {
        const char* name;
        std::string csv;
        std::string message;
    };
    const Case cases[] = {
        {"empty file", "", kEmptyFile},
        {"quote error in the header", "id,na\"me\r\n1,2\r\n", QuoteError(1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dlg = std::make_unique<CMainDlg>(prompter);
        prompter.Clear();
        LoadCsv(kThreeColumns);
        Click(IDC_ROTATE);
        ASSERT_EQ(dlg->Model().RotationOffset(), 1);

        LoadCsv(c.csv, "bad.csv");
        ASSERT_EQ(prompter.Texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(prompter.entries[0].caption, "警告");
        ASSERT_NE(dlg->Model().Table(), nullptr);
        EXPECT_EQ(dlg->Model().Table()->RecordCount(), 0);
        EXPECT_TRUE(ListLines().empty());
        EXPECT_EQ(Combo(IDC_FIELD)->count(), 0);
        EXPECT_FALSE(Enabled(IDC_ROTATE));

        // Nothing reads a header that is not there.
        dlg->Model().OnRotate();
        EXPECT_EQ(dlg->Model().RotationOffset(), 1);
        if (Enabled(IDC_FIXED_WIDTH)) {
            Click(IDC_FIXED_WIDTH);
            Click(IDC_FIXED_WIDTH);
        }
        if (Enabled(IDC_INVERT)) Click(IDC_INVERT);
        Click(IDC_REPEAT_CHK);
        EXPECT_EQ(Text(IDC_REPEAT), "0");
        EXPECT_TRUE(ListLines().empty());
        EXPECT_EQ(prompter.entries.size(), 1u);
    }
}

// --- The lines of the list --------------------------------------------------------

TEST_F(MainDlgTest, ListLinesByteForByte) {
    struct Case {
        const char* name;
        std::string csv;
        bool fixedWidth;
        Lines expected;
    };
    const Case cases[] = {
        {"columns padded to their widest value", kThreeColumns, false, kThreeColumnLines},
        {"a five-byte column: empty and absent values are blanks",
         "k,v\r\n1,12345\r\n2,\r\n3,",  // the last value is absent
         false,
         {"000\t|k\t|v    ", "001\t|1\t|12345", "002\t|2\t|     ", "003\t|3\t|     "}},
        {"an all-empty column is the bar alone",
         "a,,c\r\n1,,3\r\n",
         false,
         {"000\t|a\t|\t|c", "001\t|1\t|\t|3"}},
        {"records longer and shorter than the header",
         "a,b\r\n1,2,extra\r\n3\r\n",
         false,
         {"000\t|a\t|b", "001\t|1\t|2\t|extra", "002\t|3"}},
        {"fixed width: eight bytes a cell",
         kThreeColumns,
         true,
         {"000\t|id      \t|name    \t|price   ", "001\t|1       \t|apple   \t|100     ",
          "002\t|2       \t|banana  \t|2500    "}},
        {"fixed width: long values cut, two-byte characters kept whole",
         "k,v\r\n"
         "1,abcdefghij\r\n"
         "2,abcdefg\x82\xA0x\r\n"  // byte 7 begins あ
         "3,abcdef\x82\xA0x\r\n"   // あ ends at byte 7
         "4,\x82\xA0\x82\xA2\x82\xA4\r\n"
         "5,\r\n",
         true,
         {"000\t|k       \t|v       ", "001\t|1       \t|abcdefgh", "002\t|2       \t|abcdefg",
          "003\t|3       \t|abcdef\x82\xA0", "004\t|4       \t|\x82\xA0\x82\xA2\x82\xA4  ",
          "005\t|5       \t|        "}},
        {"the same values in normal mode",
         "k,v\r\n1,abcdefghij\r\n2,abcdefg\x82\xA0x\r\n",
         false,
         {"000\t|k\t|v         ", "001\t|1\t|abcdefghij", "002\t|2\t|abcdefg\x82\xA0x"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dlg = std::make_unique<CMainDlg>(prompter);
        LoadCsv(c.csv);
        if (c.fixedWidth) Click(IDC_FIXED_WIDTH);
        EXPECT_EQ(dlg->Model().Switch(DialogSwitch::Fix), c.fixedWidth);
        EXPECT_EQ(ListLines(), c.expected);
        // One stop for the record number and one per header column.
        const int headerFields = dlg->Model().Table()->GetRecord(0)->FieldCount();
        EXPECT_EQ(testutil::ListTabStops(*dlg).size(), static_cast<size_t>(headerFields + 1));
    }
    // What the list shows is the code page 932 line converted.
    EXPECT_EQ(List()->model()->data(List()->model()->index(2, 0)).toString(),
              U("002\t|2\t|abcdefgあx"));
}

TEST_F(MainDlgTest, TabStopsFollowTheColumnsShown) {
    using Stops = std::vector<int>;
    LoadCsv(kThreeColumns);  // widths 2, 6, 5
    EXPECT_EQ(testutil::ListTabStops(*dlg), (Stops{4, 8, 16, 23}));
    Click(IDC_FIXED_WIDTH);
    EXPECT_EQ(testutil::ListTabStops(*dlg), (Stops{4, 14, 24, 34}));
    Click(IDC_ROTATE);
    EXPECT_EQ(testutil::ListTabStops(*dlg), (Stops{4, 14, 24}));
    Click(IDC_FIXED_WIDTH);
    EXPECT_EQ(testutil::ListTabStops(*dlg), (Stops{4, 8, 16, 23}));
    Click(IDC_ROTATE);  // offset 2
    EXPECT_EQ(testutil::ListTabStops(*dlg), (Stops{4, 11}));
}

// Where the list draws its lines' bars and each cell's end, in pixels, as
// its delegate lays a line out in the list's font on the list's device.
struct LineGeometry {
    std::vector<qreal> bars, cellEnds;
};
std::vector<LineGeometry> DrawnLines(QListView* list) {
    const auto* delegate = qobject_cast<const RecordLineDelegate*>(list->itemDelegate());
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTabArray(delegate->TabStops());
    std::vector<LineGeometry> lines;
    for (int r = 0; r < list->model()->rowCount(); ++r) {
        const QString text = list->model()->data(list->model()->index(r, 0)).toString();
        QTextLayout layout(text, list->font(), list->viewport());
        layout.setTextOption(option);
        layout.beginLayout();
        const QTextLine line = layout.createLine();
        layout.endLayout();
        LineGeometry g;
        for (int i = 0; i < text.size(); ++i) {
            if (text[i] == '|') g.bars.push_back(line.cursorToX(i));
            if (text[i] == '\t' && i > 0) g.cellEnds.push_back(line.cursorToX(i));
        }
        g.cellEnds.push_back(line.naturalTextWidth());
        lines.push_back(g);
    }
    return lines;
}

// In the list's fixed-pitch font a full-width character is two columns: the
// bars of every line meet at the stops, and the widest value of a column
// ends one column before the next, in both encodings and in fixed width.
TEST_F(MainDlgTest, ListColumnsMeetInPixels) {
    const std::string csv =
        "名前,ｶﾅ,code\r\n竹富町,ﾀｹﾄﾐﾁｮｳ,47381\r\n北海道札幌市中央区役所,ｻｯﾎﾟﾛ,1\r\n"
        "a,ｱ,xyz\r\nＡＢ,ﾊﾞﾝｺﾞｳ,\r\n";
    const qreal column = QFontMetricsF(List()->font()).horizontalAdvance(QLatin1Char('0'));
    ASSERT_GT(column, 0);
    for (const bool utf8 : {false, true}) {
        for (const bool fixed : {false, true}) {
            SCOPED_TRACE(std::string(utf8 ? "UTF-8" : "code page 932") + (fixed ? ", fixed" : ""));
            dlg = std::make_unique<CMainDlg>(prompter);
            LoadCsv(utf8 ? csv : testutil::Cp(csv));
            if (fixed) Click(IDC_FIXED_WIDTH);
            const std::vector<int> stops = testutil::ListTabStops(*dlg);
            ASSERT_EQ(stops.size(), 4u);
            std::vector<qreal> widest(3, 0);
            for (const LineGeometry& line : DrawnLines(List())) {
                ASSERT_EQ(line.bars.size(), 3u);
                ASSERT_EQ(line.cellEnds.size(), 4u);
                EXPECT_LE(line.cellEnds[0], (stops[0] - 1) * column);
                for (size_t k = 0; k < 3; ++k) {
                    EXPECT_DOUBLE_EQ(line.bars[k], stops[k] * column) << k;
                    widest[k] = std::max(widest[k], line.cellEnds[k + 1]);
                }
            }
            for (size_t k = 0; k < 3; ++k) EXPECT_DOUBLE_EQ(widest[k], (stops[k + 1] - 1) * column) << k;
        }
    }
}

// --- Rotation ---------------------------------------------------------------------

TEST_F(MainDlgTest, RotationHidesOneMoreLeadingColumnEachTime) {
    LoadCsv(kThreeColumns);
    Click(IDC_REPEAT_CHK);
    ASSERT_EQ(Text(IDC_REPEAT), "2");

    const Lines expected[] = {
        {"000\t|name  \t|price", "001\t|apple \t|100  ", "002\t|banana\t|2500 "},
        {"000\t|price", "001\t|100  ", "002\t|2500 "},
        kThreeColumnLines,
    };
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i + 1);
        Click(IDC_ROTATE);
        EXPECT_EQ(dlg->Model().RotationOffset(), (i + 1) % 3);
        EXPECT_EQ(ListLines(), expected[i]);
        // The selection stays.
        EXPECT_EQ(SelectedLines(), (std::vector<int>{1, 2}));
        EXPECT_EQ(Text(IDC_REPEAT), "2");
    }
}

TEST_F(MainDlgTest, NewLoadShowsAllColumnsButKeepsTheRotationOffset) {
    LoadCsv(kThreeColumns);
    Click(IDC_ROTATE);
    Click(IDC_ROTATE);
    ASSERT_EQ(dlg->Model().RotationOffset(), 2);

    LoadCsv("a,b\r\nx,y\r\n", "two.csv");
    EXPECT_EQ(ListLines(), (Lines{"000\t|a\t|b", "001\t|x\t|y"}));
    EXPECT_EQ(dlg->Model().RotationOffset(), 2);
    Click(IDC_ROTATE);  // (2 + 1) modulo 2
    EXPECT_EQ(dlg->Model().RotationOffset(), 1);
    EXPECT_EQ(ListLines(), (Lines{"000\t|b", "001\t|y"}));
}

TEST_F(MainDlgTest, FixedWidthToggleShowsFromTheFirstColumnKeepingTheSelection) {
    LoadCsv(kThreeColumns);
    Show();
    Click(IDC_REPEAT_CHK);
    Click(IDC_ROTATE);
    Click(IDC_ROTATE);
    ClickLine(1);
    ASSERT_EQ(Text(IDC_REPEAT), "1");

    Click(IDC_FIXED_WIDTH);
    EXPECT_TRUE(dlg->Model().Switch(DialogSwitch::Fix));
    EXPECT_TRUE(Ticked(IDC_FIXED_WIDTH));
    EXPECT_EQ(ListLines(),
              (Lines{"000\t|id      \t|name    \t|price   ", "001\t|1       \t|apple   \t|100     ",
                     "002\t|2       \t|banana  \t|2500    "}));
    EXPECT_EQ(SelectedLines(), (std::vector<int>{1}));
    EXPECT_EQ(dlg->Model().RotationOffset(), 2);
    EXPECT_EQ(Text(IDC_REPEAT), "1");  // the toggle leaves the count alone

    Click(IDC_ROTATE);  // (2 + 1) modulo 3: the whole line again
    EXPECT_EQ(dlg->Model().RotationOffset(), 0);
    EXPECT_EQ(ListLines().front(), "000\t|id      \t|name    \t|price   ");
    Click(IDC_FIXED_WIDTH);
    EXPECT_FALSE(dlg->Model().Switch(DialogSwitch::Fix));
    EXPECT_EQ(ListLines(), kThreeColumnLines);
}

// --- Inverting the selection --------------------------------------------------------

TEST_F(MainDlgTest, InvertSelectsTheOtherLines) {
    LoadCsv(CountCsv(3));
    Show();
    ClickLine(0);
    ClickLine(2, Qt::ControlModifier);
    ASSERT_EQ(SelectedLines(), (std::vector<int>{0, 2}));
    Click(IDC_REPEAT_CHK);

    Click(IDC_INVERT);
    EXPECT_EQ(SelectedLines(), (std::vector<int>{1, 3}));
    EXPECT_EQ(testutil::SelectedRecords(*dlg), (std::vector<int>{1, 3}));
    EXPECT_EQ(Text(IDC_REPEAT), "2");
    ClickLine(3, Qt::ControlModifier);
    EXPECT_EQ(Text(IDC_REPEAT), "1");
    Click(IDC_INVERT);
    EXPECT_EQ(SelectedLines(), (std::vector<int>{0, 2, 3}));
    EXPECT_EQ(Text(IDC_REPEAT), "3");
}

TEST_F(MainDlgTest, InvertKeepsTheTopLine) {
    LoadCsv(CountCsv(59));
    Show();
    ClickLine(25);
    List()->scrollTo(List()->model()->index(20, 0), QAbstractItemView::PositionAtTop);
    ASSERT_EQ(TopLine(), 20);
    const int scroll = List()->verticalScrollBar()->value();

    Click(IDC_INVERT);
    std::vector<int> others = AllLines(60);
    others.erase(others.begin() + 25);
    EXPECT_EQ(SelectedLines(), others);
    EXPECT_EQ(TopLine(), 20);
    EXPECT_EQ(List()->verticalScrollBar()->value(), scroll);
    EXPECT_TRUE(List()->isVisible());
}

// --- Generating -----------------------------------------------------------------------

class MainDlgGenerateTest : public MainDlgTest {
  protected:
    void SetUp() override {
        MainDlgTest::SetUp();
        out = dir.Path() / "out";
        fs::create_directory(out);
        dlg->SetStatusObserver([this](const std::string& text) {
            statuses.push_back(text);
            if (statuses.size() == 1) {
                runControlsAtFirstStatus = RunControls();
                loadExitAtFirstStatus = Enabled(IDC_LOAD) || Enabled(IDC_EXIT);
            }
        });
    }
    void SetPaths(const std::string& templateBytes) {
        dlg->Model().PutText(DialogEdit::HTML, WriteFile("template.html", templateBytes));
        dlg->Model().PutText(DialogEdit::Out, out.string());
    }
    std::set<std::string> Entries(const fs::path& folder) const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(folder))
            names.insert(e.path().filename().string());
        return names;
    }
    std::string Read(const std::string& name) const { return ReadBytes(out / name); }

    fs::path out;
    std::vector<std::string> statuses;
    States runControlsAtFirstStatus;
    bool loadExitAtFirstStatus = true;
};

TEST_F(MainDlgGenerateTest, RecordNumbersOfTheSelectedLines) {
    LoadCsv(NamesCsv({"one", "two", "three", "four", "five"}));
    SetPaths("[name]\n");
    Show();
    ClickLine(1);
    ClickLine(2, Qt::ControlModifier);
    ClickLine(5, Qt::ControlModifier);
    ASSERT_EQ(SelectedLines(), (std::vector<int>{1, 2, 5}));
    // Each change of the selection was told; then the run's statuses.
    EXPECT_EQ(testutil::StatusText(*dlg), U("5 件のレコードのうち 3 件を選択しています．"));
    statuses.clear();

    Click(IDC_GENERATE);

    EXPECT_EQ(Entries(out), (std::set<std::string>{"00001.html", "00002.html", "00005.html",
                                                   "_index.html", "_db.html"}));
    EXPECT_EQ(Read("00001.html"), "one\n");
    EXPECT_EQ(Read("00002.html"), "two\n");
    EXPECT_EQ(Read("00005.html"), "five\n");
    // What the run writes is the run's to test; the window runs it on the
    // lines selected.
    EXPECT_EQ(statuses, (std::vector<std::string>{testutil::Progress(0), testutil::Progress(33),
                                                  testutil::Progress(66), kDone}));
    EXPECT_EQ(testutil::StatusText(*dlg), U(kDone));
    // Everything is off while the run writes, and on again at its end.
    EXPECT_EQ(runControlsAtFirstStatus, kRunOff);
    EXPECT_FALSE(loadExitAtFirstStatus);
    EXPECT_EQ(RunControls(), kRunOn);
    EXPECT_TRUE(LoadAndExitEnabled());
    EXPECT_TRUE(prompter.entries.empty());
    EXPECT_TRUE(dlg->Model().LastRun().AllWritten());
    // The selection is what it was.
    EXPECT_EQ(SelectedLines(), (std::vector<int>{1, 2, 5}));
}

TEST_F(MainDlgGenerateTest, RunTakesItsSettingsFromTheControls) {
    LoadCsv(NamesCsv({"one", "two", "three"}));
    SetPaths("[name]\n");
    Show();
    Key(IDC_RULE, Qt::Key_Down);        // sequence numbers
    ClickArrow(IDC_START_SPIN, false);  // start 2
    ClickArrow(IDC_DIGIT_SPIN, true);   // 4 digits
    Type(Combo(IDC_EXTENSION)->lineEdit(), ".htm");
    Click(IDC_PREFIX_CHK);
    Type(IDC_PREFIX, "p-");
    Click(IDC_CREATE_CHK);  // no index or dump page
    ClickLine(1);
    ClickLine(3, Qt::ControlModifier);

    Click(IDC_GENERATE);
    EXPECT_EQ(Entries(out), (std::set<std::string>{"p-0002.htm", "p-0003.htm"}));
    EXPECT_EQ(Read("p-0002.htm"), "one\n");
    EXPECT_EQ(Read("p-0003.htm"), "three\n");
    EXPECT_EQ(testutil::StatusText(*dlg), U(kDone));

    // Unticked, the prefix text stays in its edit but is not used.
    Click(IDC_PREFIX_CHK);
    EXPECT_EQ(Text(IDC_PREFIX), "p-");
    fs::remove_all(out);
    fs::create_directory(out);
    Click(IDC_GENERATE);
    EXPECT_EQ(Entries(out), (std::set<std::string>{"0002.htm", "0003.htm"}));
}

TEST_F(MainDlgGenerateTest, RefusedRunLeavesTheControlsAsTheyWere) {
    LoadCsv(NamesCsv({"one", "two", "three"}));
    Show();

    Click(IDC_GENERATE);
    EXPECT_EQ(testutil::StatusText(*dlg), U(kNoTemplate));
    EXPECT_EQ(RunControls(), kRunOn);
    EXPECT_TRUE(LoadAndExitEnabled());

    SetPaths("[name]\n");
    Key(IDC_RULE, Qt::Key_Down);
    Key(IDC_RULE, Qt::Key_Down);  // names from a field, none chosen yet
    Click(IDC_GENERATE);
    EXPECT_EQ(testutil::StatusText(*dlg), U(kNoNameField));
    EXPECT_EQ(RunControls(), kRunOn);
    EXPECT_TRUE(Entries(out).empty());

    ClickLine(0);
    ClickLine(0, Qt::ControlModifier);  // nothing selected
    Key(IDC_FIELD, Qt::Key_Down);
    Key(IDC_FIELD, Qt::Key_Down);
    EXPECT_EQ(Combo(IDC_FIELD)->currentText(), "002: name");
    Click(IDC_GENERATE);
    EXPECT_EQ(testutil::StatusText(*dlg), U(kNoRecords));
    EXPECT_TRUE(Entries(out).empty());
    EXPECT_EQ(RunControls(), kRunOn);

    Click(IDC_INVERT);  // every line, the header's included
    Click(IDC_GENERATE);
    EXPECT_EQ(Entries(out), (std::set<std::string>{"name.html", "one.html", "two.html",
                                                   "three.html", "_index.html", "_db.html"}));
    EXPECT_EQ(Read("two.html"), "two\n");
    EXPECT_EQ(testutil::StatusText(*dlg), U(kDone));
}

TEST_F(MainDlgGenerateTest, ExtensionIsTheTextTypedIntoItsBox) {
    LoadCsv(NamesCsv({"one"}));
    SetPaths("[name]\n");
    Show();
    Click(IDC_CREATE_CHK);
    ClickLine(1);
    struct Case {
        const char* typed;
        const char* page;
    };
    for (const Case& c : {Case{"htm", "00001.htm"}, Case{"TX", "00001.TX"}, Case{"sh", "00001.sh"},
                          Case{"shtm", "00001.shtm"}}) {
        SCOPED_TRACE(c.typed);
        Type(Combo(IDC_EXTENSION)->lineEdit(), c.typed);
        fs::remove_all(out);
        fs::create_directory(out);
        Click(IDC_GENERATE);
        EXPECT_EQ(Entries(out), std::set<std::string>{c.page});
    }
}

// Stands in for the desktop's browser.
class BrowserStandIn : public QObject {
    Q_OBJECT
  public:
    BrowserStandIn() { QDesktopServices::setUrlHandler("file", this, "Open"); }
    ~BrowserStandIn() override { QDesktopServices::unsetUrlHandler("file"); }
    std::vector<QUrl> urls;
  public slots:
    void Open(const QUrl& url) { urls.push_back(url); }
};

TEST_F(MainDlgGenerateTest, BrowserButtonOpensWhatTheRunWrote) {
    BrowserStandIn browser;
    LoadCsv(NamesCsv({"one", "two"}));
    SetPaths("[name]\n");
    Show();
    EXPECT_FALSE(Enabled(IDC_BROWSE_RESULT));
    Click(IDC_GENERATE);
    Click(IDC_BROWSE_RESULT);
    Click(IDC_CREATE_CHK);  // no index: the first page
    EXPECT_FALSE(Enabled(IDC_BROWSE_RESULT));
    Click(IDC_GENERATE);
    Click(IDC_BROWSE_RESULT);
    const QString folder = QString::fromStdString(fs::canonical(out).string());
    EXPECT_EQ(browser.urls, (std::vector<QUrl>{QUrl::fromLocalFile(folder + "/_index.html"),
                                               QUrl::fromLocalFile(folder + "/00001.html")}));
    Type(IDC_OUT_PATH, "elsewhere");
    EXPECT_FALSE(Enabled(IDC_BROWSE_RESULT));
}

// --- Encodings -----------------------------------------------------------------

TEST_F(MainDlgTest, EncodingListsSitBesideGenerateAndShowTheirEntriesWhole) {
    Show();
    const QSize frame = dlg->frameGeometry().size() - dlg->size();
    struct Strip {
        int label;
        int list;
    };
    const Strip strips[] = {{IDC_CSV_ENCODING_LABEL, IDC_CSV_ENCODING},
                            {IDC_HTML_ENCODING_LABEL, IDC_HTML_ENCODING}};
    for (const Strip& s : strips) {
        SCOPED_TRACE(s.list);
        QStringList items{U("自動 (Shift_JIS)"), "Shift_JIS", "UTF-8"};
        if (s.list == IDC_CSV_ENCODING) items << "UTF-16";  // the template is never UTF-16
        EXPECT_EQ(Items(s.list), items);
        EXPECT_EQ(Combo(s.list)->currentIndex(), 0);
        EXPECT_FALSE(Combo(s.list)->isEditable());
        EXPECT_TRUE(Enabled(s.list));  // nothing loaded yet
    }
    // The smallest window, the first size and a larger one.
    for (QSize outer : {QSize(586, 320), dlg->frameGeometry().size(), QSize(900, 600)}) {
        SCOPED_TRACE(outer.width());
        dlg->resize(outer - frame);
        const QRect generate = W(IDC_GENERATE)->geometry();
        const QRect exit = W(IDC_EXIT)->geometry();
        int left = generate.right();
        for (const Strip& s : strips) {
            for (int id : {s.label, s.list}) {
                SCOPED_TRACE(id);
                const QRect r = W(id)->geometry();
                // Left to right without overlap, within the strip, on the buttons' row.
                EXPECT_GT(r.left(), left);
                EXPECT_LT(r.right(), exit.left());
                EXPECT_LE(std::abs(r.center().y() - generate.center().y()), 1);
                // Wide enough for the longest entry, or the caption.
                EXPECT_GE(r.width(), W(id)->sizeHint().width());
                EXPECT_GE(r.height(), W(id)->sizeHint().height());
                left = r.right();
            }
        }
    }
}

TEST_F(MainDlgTest, EncodingListsShowWhatWasFoundAndTheUsersChoiceReloads) {
    // A UTF-8 CSV: the automatic entry names what was found.
    LoadCsv("id,\xE5\x90\x8D\xE5\x89\x8D\r\n1,caf\xC3\xA9\r\n2,x\r\n3,y\r\n", "utf8.csv");
    ASSERT_NE(dlg->Model().Table(), nullptr);
    EXPECT_EQ(dlg->Model().Table()->Encoding(), platform::TextEncoding::kUtf8);
    EXPECT_EQ(Items(IDC_CSV_ENCODING), (QStringList{U("自動 (UTF-8)"), "Shift_JIS", "UTF-8", "UTF-16"}));
    EXPECT_EQ(Items(IDC_FIELD), (QStringList{"001: id", U("002: 名前")}));

    // The user's choice reads the file anew, the selection kept.
    ClickLine(1);
    ASSERT_EQ(SelectedLines(), (std::vector<int>{1}));
    Key(IDC_CSV_ENCODING, Qt::Key_Down);
    EXPECT_EQ(Combo(IDC_CSV_ENCODING)->currentIndex(), 1);
    EXPECT_EQ(dlg->Model().Choice(DialogCombo::CsvEncoding), 1);
    ASSERT_NE(dlg->Model().Table(), nullptr);
    EXPECT_EQ(dlg->Model().Table()->Encoding(), platform::TextEncoding::kCp932);
    EXPECT_EQ(SelectedLines(), (std::vector<int>{1}));
    EXPECT_EQ(Combo(IDC_CSV_ENCODING)->itemText(0), U("自動 (UTF-8)"));  // still what was found

    // The template's list: what the file named holds, the user's choice, and
    // choices the program makes, which the user's handler does not see.
    dlg->Model().PutText(DialogEdit::HTML, WriteFile("page.html", "<p>\xE5\x90\x8D</p>\r\n"));
    EXPECT_EQ(Combo(IDC_HTML_ENCODING)->itemText(0), U("自動 (UTF-8)"));
    Key(IDC_HTML_ENCODING, Qt::Key_End);
    EXPECT_EQ(dlg->Model().Choice(DialogCombo::TemplateEncoding), 2);
    Combo(IDC_HTML_ENCODING)->setCurrentIndex(1);
    EXPECT_EQ(dlg->Model().Choice(DialogCombo::TemplateEncoding), 2);
    dlg->Model().ForceEncoding(DialogCombo::TemplateEncoding, platform::EncodingChoice::kAuto);
    EXPECT_EQ(Combo(IDC_HTML_ENCODING)->currentIndex(), 0);
    EXPECT_EQ(dlg->Model().Choice(DialogCombo::CsvEncoding), 1);
    EXPECT_TRUE(prompter.entries.empty());

    // Excel's Unicode text: UTF-16 whatever was chosen, found and named so.
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("id\tname\r\n1\ta\r\n")) utf16 += std::string{c, '\0'};
    LoadCsv(utf16, "unicode.txt");
    EXPECT_EQ(Combo(IDC_CSV_ENCODING)->itemText(0), U("自動 (UTF-16)"));
    EXPECT_EQ(Items(IDC_FIELD), (QStringList{"001: id", "002: name"}));
}

// --- Layout ---------------------------------------------------------------------------

TEST_F(MainDlgTest, ListStatusAndBottomButtonsFollowTheSize) {
    Show();
    const QPoint listTopLeft = W(IDC_RECORD_LIST)->pos();
    dlg->resize(800, 600);
    ASSERT_EQ(dlg->size(), QSize(800, 600));

    const QRect list = W(IDC_RECORD_LIST)->geometry();
    EXPECT_EQ(list.topLeft(), listTopLeft);
    EXPECT_EQ(list.x() + list.width(), 786);
    EXPECT_EQ(list.y() + list.height(), 540);
    EXPECT_EQ(W(IDC_STATUS)->geometry(), QRect(12, 573, 666, 20));
    EXPECT_EQ(W(IDC_GENERATE)->geometry(), QRect(12, 546, 98, 21));
    EXPECT_EQ(W(IDC_EXIT)->geometry(), QRect(684, 546, 102, 21));
    EXPECT_EQ(W(IDC_BROWSE_RESULT)->geometry(), QRect(684, 572, 102, 21));

    // Other controls keep their places.
    const QRect load = W(IDC_LOAD)->geometry();
    dlg->resize(700, 500);
    EXPECT_EQ(W(IDC_LOAD)->geometry(), load);
    EXPECT_EQ(W(IDC_EXIT)->geometry(), QRect(584, 446, 102, 21));
}

TEST_F(MainDlgTest, WindowCannotBeMadeSmallerThanItsMinimum) {
    Show();
    const QSize frame = dlg->frameGeometry().size() - dlg->size();
    // Outer sizes asked for, frame included.
    for (QSize asked : {QSize(100, 100), QSize(585, 600), QSize(800, 319), QSize(10, 10)}) {
        SCOPED_TRACE(asked.width());
        dlg->resize(asked - frame);
        const QSize outer = dlg->frameGeometry().size();
        EXPECT_EQ(outer.width(), std::max(asked.width(), 586));
        EXPECT_EQ(outer.height(), std::max(asked.height(), 320));
    }
}

TEST_F(MainDlgTest, CompactShrinksToTheMinimumAndRestoresWhereTheWindowIsNow) {
    Show();
    const QSize frame = dlg->frameGeometry().size() - dlg->size();
    dlg->move(100, 80);
    dlg->resize(QSize(700, 500) - frame);
    ASSERT_EQ(dlg->frameGeometry(), QRect(100, 80, 700, 500));

    Click(IDC_COMPACT);
    EXPECT_TRUE(testutil::Ticked(*dlg, IDC_COMPACT));
    EXPECT_TRUE(Ticked(IDC_COMPACT));
    EXPECT_EQ(dlg->frameGeometry(), QRect(100, 80, 586, 320));
    // Too short for the list; the buttons moved up with the bottom edge.
    const QRect list = W(IDC_RECORD_LIST)->geometry();
    EXPECT_TRUE(list.isEmpty() || !W(IDC_RECORD_LIST)->isVisible());
    EXPECT_EQ(W(IDC_EXIT)->geometry().bottom() + 1, dlg->height() - 33);

    dlg->move(300, 200);
    Click(IDC_COMPACT);
    EXPECT_FALSE(testutil::Ticked(*dlg, IDC_COMPACT));
    EXPECT_FALSE(Ticked(IDC_COMPACT));
    EXPECT_EQ(dlg->frameGeometry(), QRect(300, 200, 700, 500));
    const QRect back = W(IDC_RECORD_LIST)->geometry();
    EXPECT_EQ(back.y() + back.height(), dlg->height() - 60);
    EXPECT_EQ(back.x() + back.width(), dlg->width() - 14);

    // A size dragged while compact is not what comes back.
    Click(IDC_COMPACT);
    dlg->resize(QSize(650, 400) - frame);
    Click(IDC_COMPACT);
    EXPECT_EQ(dlg->frameGeometry().size(), QSize(700, 500));
}

TEST_F(MainDlgTest, CompactLeftOfTheScreenOriginKeepsTheWidthToTheOrigin) {
    Show();
    dlg->move(-700, 10);
    dlg->resize(QSize(800, 500) - (dlg->frameGeometry().size() - dlg->size()));
    const int left = dlg->frameGeometry().left();
    ASSERT_LT(left, -586);

    Click(IDC_COMPACT);
    EXPECT_EQ(dlg->frameGeometry().size(), QSize(-left, 320));
}

}  // namespace

// After a run that wrote character references, or U+FFFD for bytes that are
// no character, the status line says how many, behind the run's last word.
TEST_F(MainDlgTest, StatusLineCountsCharacterReferencesAndReplacements) {
    Show();
    LoadCsv("\xEF\xBB\xBFid,name\r\n1,café\r\n2,😀\r\n");
    dlg->Model().PutText(DialogEdit::HTML, WriteFile("page.html", testutil::Cp("<p>[name]円</p>")));
    fs::create_directory(dir.Path() / "out");
    dlg->Model().PutText(DialogEdit::Out, (dir.Path() / "out").string());
    Click(IDC_GENERATE);
    EXPECT_EQ(testutil::StatusText(*dlg).toStdString(),
              testutil::kDone + "　" + testutil::Say(diag::Code::kCharacterReferences, 4));
    dlg->Model().PutText(DialogEdit::HTML, WriteFile("page8.html", "<meta charset=utf-8>\xFF[name]"));
    Click(IDC_GENERATE);
    EXPECT_EQ(testutil::StatusText(*dlg).toStdString(),
              testutil::kDone + "　" + testutil::Say(diag::Code::kReplacements, 2));  // two pages
    EXPECT_TRUE(prompter.entries.empty());
}

#include "MainDlgTest.moc"
