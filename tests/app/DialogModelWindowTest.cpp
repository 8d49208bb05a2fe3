// The dialog model against the window: the same settings file must leave
// both with the same run settings, selection, status texts, boxes and
// enabled controls.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "TestUtil.h"
#include <QWidget>

#include "app/MainDlg.h"
#include "dialog/DialogModel.h"
#include "res/ControlIds.h"
#include "RecordingPrompter.h"
#include "platform/Prompter.h"

namespace {

using testutil::RecordingPrompter;
using testutil::Cp;
using testutil::CrLf;
using testutil::Repeat;
using testutil::TempDir;
using testutil::WriteBytes;

std::string Describe(const RunSettings& s, const std::vector<int>& selection) {
    std::ostringstream o;
    o << "CSV=" << s.CSV << "\nHTML=" << s.HTML.size() << ':' << s.HTML << "\nOut=" << s.Out
      << "\nrule=" << s.ruleNum << " field=" << s.fieldNum << " ext=" << s.extension
      << "\nstart=" << s.start << " digit=" << s.digit << " repeat=" << s.repeat
      << "\nprefix=" << s.prefixChk << ':' << s.Prefix << "\nfix=" << s.fixChk
      << " repeatChk=" << s.repeatChk << " create=" << s.createChk << " auto=" << s.autoChk
      << "\nselection=";
    for (int r : selection) o << r << ',';
    return o.str();
}

std::string Describe(const RecordingPrompter& p) {
    std::string out;
    for (const auto& e : p.entries)
        out += std::to_string(static_cast<int>(e.kind)) + '|' + e.caption + '|' + e.text + '\n';
    return out;
}

class SettingsFiles {
  public:
    explicit SettingsFiles(const TempDir& dir) {
        WriteBytes(dir.File("a.csv"),
                   CrLf(Cp("id,名前,値\n1,りんご,10\n2,みかん,20\n3,\"a,b\",30\n4,x,40\n")));
        WriteBytes(dir.File("b.csv"), CrLf("k,v\n9,z\n"));
        WriteBytes(dir.File("head.csv"), "only,a,header");
        WriteBytes(dir.File("quote.csv"), "a,b\n1,x\"y\n2,z\n");
        WriteBytes(dir.File("empty.csv"), "");
        csvs_ = {dir.File("a.csv"),
                 dir.File("b.csv"),
                 dir.File("head.csv"),
                 dir.File("quote.csv"),
                 dir.File("empty.csv"),
                 dir.File("missing.csv"),
                 ""};
    }

    std::string Make(std::mt19937& rng) const {
        auto pick = [&rng](const std::vector<std::string>& v) {
            return v[std::uniform_int_distribution<size_t>(0, v.size() - 1)(rng)];
        };
        const std::vector<std::string> texts = {"",
                                                "out",
                                                Cp("出力/ページ"),
                                                "\x81",
                                                "\xa0\xfd\x85",
                                                Repeat("a", 40000),
                                                Repeat(Cp("あ"), 40000),
                                                " pre ",
                                                "a\tb",
                                                std::string("a\0b", 3)};
        const std::vector<std::string> numbers = {"1",
                                                  "5",
                                                  "0",
                                                  "-3",
                                                  "10000",
                                                  "9999",
                                                  " 7 ",
                                                  "\t8",
                                                  Cp("　12　"),
                                                  "+4",
                                                  "abc",
                                                  "",
                                                  "99999999999",
                                                  "3x",
                                                  "0x10",
                                                  Cp("１２"),
                                                  "-0",
                                                  "007",
                                                  "2 3",
                                                  std::string("4\0x", 3),
                                                  std::string("6 \0", 3),
                                                  std::string("\0"
                                                              "7",
                                                              2),
                                                  Cp("８"),
                                                  "2147483647",
                                                  "2147483648",
                                                  "-2147483648",
                                                  "-2147483649"};
        const std::vector<std::string> indexes = {"-1", "0", "1",  "2",  "3",  "5",
                                                  "x",  "",  " 2", "+1", "-2", "99999999999"};
        const std::vector<std::string> switches = {"0", "1", "2", "-1", "", "x"};
        const std::vector<std::string> selections = {"0,1,2", "-1", "5,3,1", "",    "100",
                                                     "1,,2",  "  ", "-1,3",  "4,2", "0"};
        std::string file;
        const int lines = std::uniform_int_distribution<int>(0, 24)(rng);
        for (int i = 0; i < lines; ++i) {
            switch (std::uniform_int_distribution<int>(0, 19)(rng)) {
                case 0:
                case 1:
                case 2:
                    file += "      CSV:" + pick(csvs_);
                    break;
                case 3:
                    file += "     HTML:" + pick(texts);
                    break;
                case 4:
                    file += "      Out:" + pick(texts);
                    break;
                case 5:
                    file += "   Prefix:" + pick(texts);
                    break;
                case 6:
                    file += "  ruleNum:" + pick(indexes);
                    break;
                case 7:
                    file += " fieldNum:" + pick(indexes);
                    break;
                case 8:
                    file += "   extNum:" + pick(indexes);
                    break;
                case 9:
                    file += "    start:" + pick(numbers);
                    break;
                case 10:
                    file += "    digit:" + pick(numbers);
                    break;
                case 11:
                    file += "   repeat:" + pick(numbers);
                    break;
                case 12:
                    file += "prefixChk:" + pick(switches);
                    break;
                case 13:
                    file += "   fixChk:" + pick(switches);
                    break;
                case 14:
                case 15:
                    file += "repeatChk:" + pick(switches);
                    break;
                case 16:
                    file += "createChk:" + pick(switches);
                    break;
                case 17:
                    file += "  autoChk:" + pick(switches);
                    break;
                case 18:
                    file += " SelItems:" + pick(selections);
                    break;
                default:
                    file += pick({" FileName:x.cfg", "csvCount:3", "nokey:1", "", ":", "  :x"});
                    break;
            }
            file += std::uniform_int_distribution<int>(0, 1)(rng) ? "\r\n" : "\n";
        }
        return file;
    }

  private:
    std::vector<std::string> csvs_;
};

struct StatusLog : DialogListener {
    void StatusChanged(const std::string& t) override { text += t + '\n'; }
    std::string text;
};

std::string EnabledControls(const CMainDlg& window) {
    std::string out;
    for (int id : {IDC_GENERATE, IDC_INVERT, IDC_LOAD, IDC_EXIT, IDC_ROTATE, IDC_FIXED_WIDTH,
                   IDC_PREFIX, IDC_REPEAT, IDC_REPEAT_SPIN, IDC_FIELD, IDC_START, IDC_DIGIT,
                   IDC_START_LABEL, IDC_DIGIT_LABEL, IDC_START_SPIN, IDC_DIGIT_SPIN})
        out += std::to_string(id) + (window.Control(id)->isEnabled() ? "+ " : "- ");
    return out;
}

std::string EnabledControls(const DialogModel& model) {
    std::string out;
    for (int id : {IDC_GENERATE, IDC_INVERT, IDC_LOAD, IDC_EXIT, IDC_ROTATE, IDC_FIXED_WIDTH,
                   IDC_PREFIX, IDC_REPEAT, IDC_REPEAT_SPIN, IDC_FIELD, IDC_START, IDC_DIGIT,
                   IDC_START_LABEL, IDC_DIGIT_LABEL, IDC_START_SPIN, IDC_DIGIT_SPIN})
        out += std::to_string(id) + (model.Enabled(id) ? "+ " : "- ");
    return out;
}

TEST(DialogModelWindowTest, ReadsEverySettingsFileAsTheWindowDoes) {
    TempDir dir;
    const SettingsFiles files(dir);
    std::mt19937 rng(20261207);
    const std::string path = dir.File("s.cfg");
    for (int i = 0; i < 300; ++i) {
        const std::string cfg = files.Make(rng);
        WriteBytes(path, cfg);
        RecordingPrompter windowBoxes, batchBoxes;
        CMainDlg window(windowBoxes);
        DialogModel batch(batchBoxes);
        std::string windowStatus;
        StatusLog batchStatus;
        batch.SetListener(&batchStatus);
        window.SetStatusObserver([&](const std::string& t) { windowStatus += t + '\n'; });
        window.SetSettingsPath(path);
        batch.SetSettingsPath(path);
        ASSERT_EQ(window.LoadSettings(), batch.LoadSettings());
        SCOPED_TRACE("settings file:\n" + cfg.substr(0, 2000));
        ASSERT_EQ(Describe(window.ReadRunSettings(), window.SelectedRecords()),
                  Describe(batch.ReadRunSettings(), batch.SelectedRecords()));
        ASSERT_EQ(windowStatus, batchStatus.text);
        ASSERT_EQ(EnabledControls(window), EnabledControls(batch));
        ASSERT_EQ(window.StatusText().toStdString(), batch.StatusText());
        ASSERT_EQ(Describe(windowBoxes), Describe(batchBoxes));
        ASSERT_EQ(window.Table() != nullptr, batch.Table() != nullptr);
        if (window.Table()) {
            ASSERT_EQ(window.Table()->RecordCount(), batch.Table()->RecordCount());
        }
    }
}

TEST(DialogModelWindowTest, MissingSettingsFileGivesTheWindowsMessage) {
    TempDir dir;
    RecordingPrompter windowBoxes, batchBoxes;
    CMainDlg window(windowBoxes);
    DialogModel batch(batchBoxes);
    window.SetSettingsPath(dir.File(Cp("無い.cfg")));
    batch.SetSettingsPath(dir.File(Cp("無い.cfg")));
    EXPECT_EQ(window.LoadSettings(), -1);
    EXPECT_EQ(batch.LoadSettings(), -1);
    EXPECT_EQ(Describe(windowBoxes), Describe(batchBoxes));
    EXPECT_EQ(Describe(window.ReadRunSettings(), window.SelectedRecords()),
              Describe(batch.ReadRunSettings(), batch.SelectedRecords()));
}

}  // namespace
