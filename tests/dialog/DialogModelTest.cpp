// The dialog model without a display: how it reads up-downs and edits, which
// controls it enables, and what a settings file leaves in it.
#include "dialog/DialogModel.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "BookMaker.h"
#include "TestUtil.h"
#include "platform/FileSys.h"
#include "dialog/DialogText.h"
#include "RecordingPrompter.h"
#include "diag/Prompter.h"
#include "dialog/ControlIds.h"

namespace {

using namespace std::string_literals;
using testutil::Cp;
using testutil::CrLf;
using testutil::WriteBytes;

TEST(DialogText, UpDownReadsAWholeNumberInItsRange) {
    const struct {
        std::string text;
        int minPos, maxPos;
        int pos;     // with 42 as the last valid position
        bool error;
    } cases[] = {
        {"10", 9999, 1, 10, false},
        {"10000", 9999, 1, 42, true},  // out of range
        {"0", 9999, 0, 0, false},
        {" 7 ", 9999, 1, 7, false},
        {"\t8\n", 9999, 1, 8, false},
        {"\u300012\u3000", 9999, 1, 12, false},  // ideographic spaces are blanks
        {"\u00a05", 9999, 1, 5, false},
        {"+4", 9999, 1, 4, false},
        {"-0", 9999, 0, 0, false},
        {"007", 9999, 1, 7, false},
        {"4\0x"s, 9999, 1, 4, false},   // a NUL ends the number
        {"6 \0"s, 9999, 1, 6, false},   // ASCII blanks may stand before it
        {"\0" "7"s, 9999, 1, 42, true},
        {"", 9999, 1, 42, true},
        {"abc", 9999, 1, 42, true},
        {"3x", 9999, 1, 42, true},
        {"2 3", 9999, 1, 42, true},
        {"0x10", 9999, 1, 42, true},
        {"１２", 9999, 1, 42, true},  // full-width digits are no digits
        {"2147483647", INT_MIN, INT_MAX, INT_MAX, false},
        {"-2147483648", INT_MIN, INT_MAX, INT_MIN, false},
        {"2147483648", INT_MIN, INT_MAX, 42, true},
        {"99999999999", INT_MIN, INT_MAX, 42, true},
    };
    for (const auto& c : cases) {
        int last = 42;
        bool error = false;
        EXPECT_EQ(UpDownPosition(c.text, c.minPos, c.maxPos, last, &error), c.pos) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
        EXPECT_EQ(last, c.pos) << c.text;
    }
}

TEST(DialogText, EditsHoldAtMost32767Utf16Units) {
    const std::string a(40000, 'a');
    EXPECT_EQ(EditTextOf(a), std::string(32767, 'a'));
    std::string kana, emoji;
    for (int i = 0; i < 40000; ++i) kana += "あ";
    for (int i = 0; i < 20000; ++i) emoji += "😀";  // two units each
    EXPECT_EQ(EditTextOf(kana).size(), 32767u * 3);
    EXPECT_EQ(EditTextOf(emoji).size(), 16383u * 4);
    EXPECT_EQ(EditTextOf("短い"), "短い");
}

class DialogModelTest : public ::testing::Test {
  protected:
    DialogModelTest() : model(prompter) {
        WriteBytes(dir.Path() / "a.csv", CrLf(Cp("id,名前\n1,りんご\n2,みかん\n3,なし\n")));
        WriteBytes(dir.Path() / "empty.csv", "");
    }

    // Control ids enabled among those the program governs, in id order.
    std::vector<int> EnabledIds() const {
        std::vector<int> ids;
        for (int id : {IDC_GENERATE, IDC_INVERT, IDC_LOAD, IDC_ROTATE, IDC_FIXED_WIDTH,
                       IDC_EXIT, IDC_FIELD, IDC_PREFIX, IDC_START, IDC_START_SPIN, IDC_DIGIT,
                       IDC_DIGIT_SPIN, IDC_START_LABEL, IDC_DIGIT_LABEL, IDC_REPEAT,
                       IDC_REPEAT_SPIN})
            if (model.Enabled(id)) ids.push_back(id);
        return ids;
    }

    // Reads `lines` (LF between them) as a settings file.
    int Replay(const std::string& lines) {
        WriteBytes(dir.Path() / "s.cfg", CrLf(lines));
        model.SetSettingsPath(dir.File("s.cfg"));
        return model.LoadSettings();
    }
    std::string Csv(const char* name) const { return "      CSV:" + dir.File(name) + "\n"; }

    testutil::TempDir dir;
    testutil::RecordingPrompter prompter;
    DialogModel model;
};

TEST_F(DialogModelTest, EnableRules) {
    using Ids = std::vector<int>;
    const Ids atStart = {IDC_LOAD, IDC_EXIT};
    EXPECT_EQ(EnabledIds(), atStart);
    const struct {
        const char* name;
        std::function<void(DialogModel&)> act;
        Ids enabled;
    } steps[] = {
        {"prefix box", [](DialogModel& m) { m.SetSwitch(DialogSwitch::Prefix, true); },
         {IDC_LOAD, IDC_EXIT, IDC_PREFIX}},
        {"repeat box", [](DialogModel& m) { m.SetSwitch(DialogSwitch::Repeat, true); },
         {IDC_LOAD, IDC_EXIT, IDC_PREFIX, IDC_REPEAT, IDC_REPEAT_SPIN}},
        {"both off", [](DialogModel& m) {
             m.SetSwitch(DialogSwitch::Prefix, false);
             m.SetSwitch(DialogSwitch::Repeat, false);
         }, atStart},
        {"rule: by value", [](DialogModel& m) { m.Choose(DialogCombo::Rule, 2); },
         {IDC_LOAD, IDC_EXIT, IDC_FIELD}},
        {"rule: running number", [](DialogModel& m) { m.Choose(DialogCombo::Rule, 1); },
         {IDC_LOAD, IDC_EXIT, IDC_START, IDC_START_SPIN, IDC_DIGIT, IDC_DIGIT_SPIN,
          IDC_START_LABEL, IDC_DIGIT_LABEL}},
        {"no rule", [](DialogModel& m) { m.Choose(DialogCombo::Rule, 5); }, atStart},
        {"a table loaded", [](DialogModel& m) { m.LoadCsv(); },
         {IDC_GENERATE, IDC_INVERT, IDC_LOAD, IDC_ROTATE, IDC_FIXED_WIDTH, IDC_EXIT}},
        {"a run", [](DialogModel& m) { m.OnGenerate(); },  // refused: nothing changes
         {IDC_GENERATE, IDC_INVERT, IDC_LOAD, IDC_ROTATE, IDC_FIXED_WIDTH, IDC_EXIT}},
        {"a table without records: no rotation", [this](DialogModel& m) {
             m.TypeText(DialogEdit::CSV, dir.File("empty.csv"));
             m.LoadCsv();
         }, {IDC_GENERATE, IDC_INVERT, IDC_LOAD, IDC_FIXED_WIDTH, IDC_EXIT}},
        {"a load that fails", [](DialogModel& m) {
             m.TypeText(DialogEdit::CSV, "missing.csv");
             m.LoadCsv();
         }, atStart},
    };
    model.TypeText(DialogEdit::CSV, dir.File("a.csv"));
    for (const auto& step : steps) {
        step.act(model);
        EXPECT_EQ(EnabledIds(), step.enabled) << step.name;
    }
}

// The browser button opens what the last run wrote until the paths, the
// naming or the selection change.
TEST_F(DialogModelTest, ShownPageLastsUntilTheOutputWouldChange) {
    WriteBytes(dir.Path() / "t.html", "[名前]");
    std::filesystem::create_directory(dir.Path() / "out");
    const struct {
        const char* name;
        std::function<void(DialogModel&)> act;
        bool kept;
    } changes[] = {
        {"the list's look", [](DialogModel& m) { m.SetSwitch(DialogSwitch::Fix, true); }, true},
        {"rotation", [](DialogModel& m) { m.OnRotate(); }, true},
        {"the template's encoding", [](DialogModel& m) { m.Choose(DialogCombo::TemplateEncoding, 1); }, true},
        {"the output folder", [](DialogModel& m) { m.TypeText(DialogEdit::Out, "elsewhere"); }, false},
        {"the template", [](DialogModel& m) { m.PutText(DialogEdit::HTML, "t.html"); }, false},
        {"the rule", [](DialogModel& m) { m.Choose(DialogCombo::Rule, 1); }, false},
        {"the start number", [](DialogModel& m) { m.StepUpDown(DialogEdit::Start, 1); }, false},
        {"the extension", [](DialogModel& m) { m.TypeExtension("htm"); }, false},
        {"the prefix box", [](DialogModel& m) { m.SetSwitch(DialogSwitch::Prefix, true); }, false},
        {"the selection", [](DialogModel& m) { m.SetSelection({0, 1}); }, false},
        {"inverted", [](DialogModel& m) { m.OnInvertSelection(); }, false},
        {"a load", [](DialogModel& m) { m.LoadCsv(); }, false},
    };
    for (const auto& change : changes) {
        SCOPED_TRACE(change.name);
        model.TypeText(DialogEdit::CSV, dir.File("a.csv"));
        model.TypeText(DialogEdit::HTML, dir.File("t.html"));
        model.TypeText(DialogEdit::Out, dir.File("out"));
        model.Choose(DialogCombo::Rule, 0);
        model.LoadCsv();
        EXPECT_FALSE(model.Enabled(IDC_BROWSE_RESULT));
        model.OnGenerate();
        ASSERT_EQ(model.ShownPage(), platform::JoinPath(dir.File("out"), "_index.html"));
        EXPECT_TRUE(model.Enabled(IDC_BROWSE_RESULT));
        change.act(model);
        EXPECT_EQ(model.Enabled(IDC_BROWSE_RESULT), change.kept);
    }
}

// What opening a settings file shows: its values, whatever their order,
// the field and the selection taken against the table it names.
TEST_F(DialogModelTest, OpeningAFileShowsItsJob) {
    const struct {
        const char* name;
        std::string lines;
        std::vector<int> selection;
        std::string repeatText;
        int field, extension;
        std::string extensionText;
        size_t boxes = 0;  // the warning of lines not applied
    } cases[] = {
        {"without SelItems every data record", Csv("a.csv"), {1, 2, 3}, "1", -1, 0, "html"},
        {"SelItems is the selection, a record beyond the table told",
         " SelItems:2\n" + Csv("a.csv") + "   fixChk:0\n SelItems:1,3,9\n", {1, 3}, "1", -1, 0,
         "html", 1},
        {"-1 is every line", Csv("a.csv") + " SelItems:-1\n", {0, 1, 2, 3}, "1", -1, 0, "html"},
        {"the repeat count as saved, not the selection's",
         Csv("a.csv") + "   repeat:7\nrepeatChk:1\n SelItems:1,2\n", {1, 2}, "7", -1, 0, "html"},
        {"a field line before the CSV line", " fieldNum:1\n" + Csv("a.csv"), {1, 2, 3}, "1", 1, 0,
         "html"},
        {"a field beyond the columns chooses none", Csv("a.csv") + " fieldNum:2\n", {1, 2, 3}, "1",
         -1, 0, "html", 1},
        {"an extension by its entry", "   extNum:3\n", {}, "1", -1, 3, "shtm"},
        {"none chosen, or beyond the list: the window's own", "   extNum:-1\n   extNum:7\n", {}, "1",
         -1, 0, "html", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testutil::RecordingPrompter boxes;
        DialogModel m(boxes);
        WriteBytes(dir.Path() / "s.cfg", CrLf(c.lines));
        m.SetSettingsPath(dir.File("s.cfg"));
        ASSERT_EQ(m.LoadSettings(), 0);
        EXPECT_EQ(m.SelectedRecords(), c.selection);
        EXPECT_EQ(m.Text(DialogEdit::Repeat), c.repeatText);
        EXPECT_EQ(m.Choice(DialogCombo::Field), c.field);
        EXPECT_EQ(m.Choice(DialogCombo::Extension), c.extension);
        EXPECT_EQ(m.ExtensionText(), c.extensionText);
        EXPECT_EQ(boxes.entries.size(), c.boxes);
    }
}

// Texts as the edits hold them (UTF-8); code page 932 at the settings file
// and in the run's settings.
TEST_F(DialogModelTest, CodePage932SettingsBecomeUtf8Inside) {
    ASSERT_EQ(Replay("     HTML:" + Cp("頁.html") + "\n   Prefix:" + Cp("ｶﾅ") +
                     "\nprefixChk:1\n    start:  12 \n  ruleNum:1\n"),
              0);
    EXPECT_EQ(model.Text(DialogEdit::HTML), "頁.html");
    const Job s = model.EditedJob();
    EXPECT_EQ(s.HTML, "頁.html");
    EXPECT_EQ(s.Prefix, "ｶﾅ");
    EXPECT_EQ(s.start, 12);
    EXPECT_EQ(s.ruleNum, 1);
    const Job v = model.EditedJob();
    EXPECT_EQ(v.Prefix, "ｶﾅ");
    EXPECT_EQ(v.start, 12);
    // A number the up-down cannot take keeps the last valid one.
    model.TypeText(DialogEdit::Start, "12000");
    EXPECT_EQ(model.Position(DialogEdit::Start), 12);
    // Its range runs from 9999 down to 1: the up arrow counts down.
    model.StepUpDown(DialogEdit::Start, +1);
    EXPECT_EQ(model.Text(DialogEdit::Start), "11");
    // A typed extension is no entry of the list.
    model.TypeExtension("php");
    EXPECT_EQ(model.ExtensionEntry(), -1);
    EXPECT_EQ(model.EditedJob().extension, "php");
}

// A load selects the data records; the list's looks keep the selection;
// the same file loaded again keeps the records still there and the field
// of the same name, another file selects its data records.
TEST_F(DialogModelTest, SelectionsSurvive) {
    model.TypeText(DialogEdit::CSV, dir.File("a.csv"));
    model.LoadCsv();
    EXPECT_EQ(model.SelectedRecords(), (std::vector<int>{1, 2, 3}));
    model.SetSwitch(DialogSwitch::Repeat, true);
    EXPECT_EQ(model.Text(DialogEdit::Repeat), "3");
    model.SetSelection({0, 1, 0, 1});
    model.OnInvertSelection();
    EXPECT_EQ(model.SelectedRecords(), (std::vector<int>{0, 2}));
    model.OnRotate();  // lists the lines anew, from the second column
    model.SetSwitch(DialogSwitch::Fix, true);
    EXPECT_EQ(model.RotationOffset(), 1);
    EXPECT_EQ(model.SelectedRecords(), (std::vector<int>{0, 2}));
    EXPECT_EQ(model.Text(DialogEdit::Repeat), "2");

    model.Choose(DialogCombo::Field, 1);
    WriteBytes(dir.Path() / "a.csv", CrLf(Cp("No,名前\n1,りんご\n2,みかん\n")));
    model.LoadCsv();  // the same file, edited: one record fewer, the column renamed
    EXPECT_EQ(model.SelectedRecords(), (std::vector<int>{0, 2}));
    EXPECT_EQ(model.Choice(DialogCombo::Field), 1);
    WriteBytes(dir.Path() / "a.csv", CrLf(Cp("id,品名\n1,りんご\n")));
    model.LoadCsv();
    EXPECT_EQ(model.SelectedRecords(), (std::vector<int>{0}));
    EXPECT_EQ(model.Choice(DialogCombo::Field), -1);  // no column of that name

    WriteBytes(dir.Path() / "b.csv", CrLf("x\n1\n2\n"));
    model.TypeText(DialogEdit::CSV, dir.File("b.csv"));
    model.LoadCsv();
    EXPECT_EQ(model.SelectedRecords(), (std::vector<int>{1, 2}));
    EXPECT_EQ(model.RotationOffset(), 1);  // the offset stays
}

// A workbook, whatever its name, turns the CSV's encoding list into its
// sheets; choosing one loads it afresh, and the settings keep it.
TEST_F(DialogModelTest, AWorkbookListsItsSheets) {
    auto rows = [](int n) {
        std::string xml = "<sheetData>";
        for (int r = 1; r <= n; ++r) xml += "<row><c><v>" + std::to_string(r) + "</v></c></row>";
        return xml + "</sheetData>";
    };
    WriteBytes(dir.Path() / "book.dat", testbook::Xlsx{.sheets = {{"一", rows(3)}, {"二", rows(4)}}}.Bytes());
    model.TypeText(DialogEdit::CSV, dir.File("book.dat"));
    model.LoadCsv();
    EXPECT_STREQ(model.CsvListLabel(), "ｼｰﾄ：");
    EXPECT_EQ(model.EncodingItems(DialogCombo::CsvEncoding), (std::vector<std::string>{"一", "二"}));
    EXPECT_EQ(model.Choice(DialogCombo::CsvEncoding), 0);
    model.SetSelection({0, 1, 0});
    model.Choose(DialogCombo::CsvEncoding, 1);
    EXPECT_EQ(model.Rows(), 4);
    EXPECT_EQ(model.SelectedRecords(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(model.EditedJob().sheet, "二");

    ASSERT_EQ(Replay(" FileName:s.cfg\n" + Csv("book.dat") + "    Sheet:二\n SelItems:2\n"), 0);
    EXPECT_EQ(model.Choice(DialogCombo::CsvEncoding), 1);
    EXPECT_EQ(model.SelectedRecords(), (std::vector<int>{2}));

    // Another settings file's CSV in the encoding it names.
    ASSERT_EQ(Replay(" FileName:s.cfg\n  csvCode:utf-8\n" + Csv("a.csv")), 0);
    EXPECT_EQ(model.EncodingChoiceOf(DialogCombo::CsvEncoding), platform::EncodingChoice::kUtf8);
    ASSERT_EQ(Replay(" FileName:s.cfg\n" + Csv("book.dat") + "    Sheet:二\n"), 0);
    model.TypeText(DialogEdit::CSV, dir.File("a.csv"));  // another source: its own first sheet
    model.LoadCsv();
    EXPECT_STREQ(model.CsvListLabel(), "CSV：");
    EXPECT_EQ(model.EncodingItems(DialogCombo::CsvEncoding).size(), 4u);
    EXPECT_EQ(model.EditedJob().sheet, "");
}

// What reading a settings file leaves in the model when its CSV line fails,
// and the repeat count against the repeat switch's handler; a file that
// cannot be written is said so.
TEST_F(DialogModelTest, SettingsFileSourceRepeatAndAnUnwritableFile) {
    const struct {
        const char* name;
        std::string lines;
        std::string status;    // after reading
        const char* repeat;    // the repeat count shown
    } cases[] = {
        {"an empty CSV line: reading goes on", "CSV:\nHTML:after.html\n", testutil::kNoSource, "1"},
        {"a missing CSV file: reading goes on", "CSV:" + dir.File("missing.csv") + "\nHTML:after.html\n",
         testutil::kSourceMissing, "1"},
        {"the count as written", Csv("a.csv") + "repeat:3\nfixChk:0\nrepeatChk:1\nSelItems:1,2\n", "", "3"},
        {"count zero kept", Csv("a.csv") + "repeat:0\nrepeatChk:1\n", "", "0"},
        {"the last repeat line", Csv("a.csv") + "repeat:2\nrepeatChk:1\nrepeat:5\nrepeatChk:1\n", "", "5"},
        {"switch off", Csv("a.csv") + "repeat:4\nrepeatChk:0\n", "", "4"},
        {"no repeat line", Csv("a.csv") + "repeatChk:1\nfixChk:0\nSelItems:1,2\n", "", "1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DialogModel m(prompter);
        WriteBytes(dir.Path() / "s.cfg", CrLf(c.lines));
        m.SetSettingsPath(dir.File("s.cfg"));
        m.TypeText(DialogEdit::CSV, "old.csv");
        ASSERT_EQ(m.LoadSettings(), 0);
        if (!c.status.empty()) {
            EXPECT_EQ(m.StatusText(), c.status);
            EXPECT_EQ(m.Text(DialogEdit::HTML), "after.html");
            EXPECT_EQ(m.Table(), nullptr);
        }
        EXPECT_EQ(m.Text(DialogEdit::Repeat), c.repeat);
    }
    const std::string path = dir.File("no such folder/x.cfg");
    model.SetSettingsPath(path);
    prompter.Clear();
    EXPECT_EQ(model.SaveSettings(), -1);
    EXPECT_FALSE(std::filesystem::exists(path));
    ASSERT_EQ(prompter.entries.size(), 2u);  // the question, then the message
    EXPECT_EQ(prompter.entries[1].kind, testutil::RecordingPrompter::Kind::Message);
    EXPECT_EQ(prompter.entries[1].text, testutil::CannotOpen(path));
}

}  // namespace
