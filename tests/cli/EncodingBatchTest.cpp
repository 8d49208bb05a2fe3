// The batch mode and settings files with both encodings: code page 932
// sites exactly as before, the encoding flags, the count of character
// references, and settings files that keep every path.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "RecordingPrompter.h"
#include "TestUtil.h"
#include "dialog/DialogModel.h"

namespace {

namespace fs = std::filesystem;
using testutil::Cp;
using testutil::CrLf;
using testutil::kDone;
using testutil::ReadBytes;
using testutil::RunQuolix;
using testutil::RunResult;
using testutil::WriteBytes;

const fs::path kGolden = fs::path(QUOLIX_SOURCE_DIR) / "tests" / "golden" / "cp932";

// Every file below `folder`, by its path relative to it, with its bytes.
std::map<std::string, std::string> Tree(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), folder).string()] = ReadBytes(entry.path());
    return files;
}

class EncodingBatchTest : public ::testing::Test {
  protected:
    RunResult Batch(std::vector<std::string> args) {
        args.insert(args.begin(), "--batch");
        return RunQuolix({.folder = dir_.Path(), .arguments = args});
    }
    testutil::TempDir dir_;
};

// Pages, index and dump of a code page 932 CSV and template, under each
// naming rule, are byte for byte what the program wrote before it read
// UTF-8: NEC and IBM rows, the user-defined area, 0x5C and 0x7E included.
TEST_F(EncodingBatchTest, CodePage932SitesAreUnchanged) {
    for (const char* name : {"data.csv", "page.html", "rule0.cfg", "rule2.cfg", "repeat.cfg"})
        fs::copy_file(kGolden / name, dir_.Path() / name);
    for (const char* out : {"rule0", "rule2", "repeat"}) fs::create_directories(dir_.Path() / "out" / out);
    const RunResult run = Batch({"rule0.cfg", "rule2.cfg", "repeat.cfg"});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(Tree(dir_.Path() / "out"), Tree(kGolden / "expected"));
}

TEST_F(EncodingBatchTest, FlagsAndTheCountOfReferences) {
    WriteBytes(dir_.Path() / "shop.csv", "\xEF\xBB\xBFid,name\n1,café\n2,大阪城\n");
    WriteBytes(dir_.Path() / "page.html", Cp("<p>[name] 円</p>"));
    WriteBytes(dir_.Path() / "site.cfg",
               CrLf("      CSV:shop.csv\n     HTML:page.html\n      Out:out\n SelItems:1,2\n"));
    fs::create_directory(dir_.Path() / "out");

    // Into a Shift_JIS site: said on its own line before the last word; no
    // failure. One é on a page, one in the dump.
    RunResult run = Batch({"site.cfg"});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.ErrLines(),
              (std::vector<std::string>{
                  testutil::Say(diag::Code::kCharacterReferences, 2), kDone}));
    EXPECT_EQ(ReadBytes(dir_.Path() / "out" / "00001.html"), Cp("<p>caf&#233; 円</p>"));

    // Read as code page 932, the CSV holds no é; a flag wins over a
    // settings line.
    WriteBytes(dir_.Path() / "site.cfg", CrLf("  csvCode:UTF-8\n      CSV:shop.csv\n     HTML:page.html\n"
                                              "      Out:out2\n SelItems:1,2\n"));
    fs::create_directory(dir_.Path() / "out2");
    run = Batch({"--csv-encoding=cp932", "site.cfg"});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.ErrLines(), std::vector<std::string>{kDone});
    EXPECT_EQ(ReadBytes(dir_.Path() / "out2" / "00001.html"), Cp("<p>") + "café" + Cp(" 円</p>"));

    const struct {
        const char* flag;
        int exit;
    } flags[] = {{"--csv-encoding=utf8", 0}, {"--template-encoding= Shift_JIS ", 0},
                 {"--csv-encoding=", 2},     {"--template-encoding=UTF-8", 0},
                 {"--csv-encoding=AUTO", 0}, {"--csv-encoding=latin1", 2}};
    // Only the batch mode takes them.
    EXPECT_EQ(RunQuolix({.folder = dir_.Path(), .arguments = {"--csv-encoding=cp932", "site.cfg"}})
                  .exitStatus,
              2);
    for (const auto& f : flags) {
        SCOPED_TRACE(f.flag);
        run = Batch({f.flag, "site.cfg"});
        EXPECT_EQ(run.exitStatus, f.exit) << run.err;
        if (f.exit == 2) {
            EXPECT_NE(run.err.find("unknown encoding"), std::string::npos) << run.err;
        }
    }
}

// Any name of an encoding in a settings line. (A line that names none is a
// row of the bad-input table.)
TEST_F(EncodingBatchTest, EncodingNamesInSettingsFiles) {
    // Half-width kana that read as UTF-8 too: only the line makes them code
    // page 932, which the Shift_JIS site holds as they are.
    WriteBytes(dir_.Path() / "kana.csv", "id,name\r\n1,\xD8\xBD\r\n");
    WriteBytes(dir_.Path() / "page.html", Cp("<p>[name] 円</p>"));
    fs::create_directory(dir_.Path() / "out");
    const std::string rest = "      CSV:kana.csv\n     HTML:page.html\n SelItems:1\n";
    WriteBytes(dir_.Path() / "sjis.cfg", CrLf("  csvCode:sjis\n      Out:out\n" + rest));
    const RunResult run = Batch({"sjis.cfg"});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.ErrLines(), std::vector<std::string>{kDone});
    EXPECT_EQ(ReadBytes(dir_.Path() / "out" / "00001.html"),
              Cp("<p>") + "\xD8\xBD" + Cp(" 円</p>"));
}

// An argument is shown with its control characters and stray bytes as
// \xNN: nothing of it can drive the terminal.
TEST_F(EncodingBatchTest, BadArgumentsAreShownHarmlessly) {
    const std::string hostile = "\x1b[2J\xc2\x9b[31m\x7f\x01\xff";
    const std::string shown = "\\x1b[2J\\xc2\\x9b[31m\\x7f\\x01\\xff";
    const struct {
        std::string argument, line;
    } cases[] = {
        {"--csv-encoding=" + hostile, "quolix: unknown encoding '" + shown + "'"},
        {"--template-encoding=" + hostile, "quolix: unknown encoding '" + shown + "'"},
        {"--csv-encoding=シフトJIS", "quolix: unknown encoding 'シフトJIS'"},
        {"--template-encoding=utf-16", "quolix: unknown encoding 'utf-16' (auto, or a name of UTF-8 or "
                                       "Shift_JIS such as utf-8 or sjis)"},
        {"--separator=" + hostile, "quolix: unknown separator '" + shown + "' (auto, comma or tab)"},
        {"--" + hostile, "quolix: unknown option '--" + shown + "'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const RunResult run = Batch({c.argument, "site.cfg"});
        EXPECT_EQ(run.exitStatus, 2);
        EXPECT_TRUE(run.err.starts_with(c.line)) << run.err;
        for (size_t i = 0; i < run.err.size(); ++i) {
            const auto b = static_cast<unsigned char>(run.err[i]);
            EXPECT_TRUE((b >= 0x20 && b != 0x7F) || b == '\n') << i;
            const auto next =
                i + 1 < run.err.size() ? static_cast<unsigned char>(run.err[i + 1]) : 0;
            EXPECT_FALSE(b == 0xC2 && next >= 0x80 && next <= 0x9F) << i;
        }
    }
}

// An old code page 932 settings file saves back byte for byte; a path that
// code page 932 cannot hold turns the file into UTF-8 with a BOM, which
// reads back the same.
TEST_F(EncodingBatchTest, SettingsFilesKeepEveryPath) {
    const std::string old = ReadBytes(kGolden / "rule2.cfg");
    WriteBytes(dir_.Path() / "rule2.cfg", old);
    for (const char* name : {"data.csv", "page.html"}) fs::copy_file(kGolden / name, dir_.Path() / name);
    testutil::RecordingPrompter prompter;
    DialogModel model(prompter);
    struct Back {
        fs::path to = fs::current_path();
        ~Back() { fs::current_path(to); }
    } back;
    fs::current_path(dir_.Path());
    model.SetSettingsPath("rule2.cfg");
    ASSERT_EQ(model.LoadSettings(), 0);
    ASSERT_EQ(model.SaveSettings(), 0);
    EXPECT_EQ(ReadBytes(dir_.Path() / "rule2.cfg"), old);

    model.PutText(DialogEdit::Out, "出力/𠮷野家 café 😀");
    model.Choose(DialogCombo::TemplateEncoding, static_cast<int>(platform::EncodingChoice::kUtf8));
    ASSERT_EQ(model.SaveSettings(), 0);
    const std::string saved = ReadBytes(dir_.Path() / "rule2.cfg");
    EXPECT_TRUE(saved.starts_with("\xEF\xBB\xBF FileName:rule2.cfg\r\n htmlCode:utf-8\r\n")) << saved;
    DialogModel again(prompter);
    again.SetSettingsPath("rule2.cfg");
    ASSERT_EQ(again.LoadSettings(), 0);
    EXPECT_EQ(again.Text(DialogEdit::Out), "出力/𠮷野家 café 😀");
    EXPECT_EQ(again.Text(DialogEdit::Prefix), "ｿ-");
    EXPECT_EQ(again.EncodingChoiceOf(DialogCombo::TemplateEncoding), platform::EncodingChoice::kUtf8);
    EXPECT_EQ(again.EncodingChoiceOf(DialogCombo::CsvEncoding), platform::EncodingChoice::kAuto);
    EXPECT_EQ(again.EditedJob().Out, model.EditedJob().Out);

    // A file without the line asks for automatic detection again.
    WriteBytes(dir_.Path() / "rule2.cfg", old);
    ASSERT_EQ(again.LoadSettings(), 0);
    EXPECT_EQ(again.EncodingChoiceOf(DialogCombo::TemplateEncoding), platform::EncodingChoice::kAuto);
    // The CSV's entry chosen again keeps the lines chosen; another reloads
    // the same file and keeps them too.
    again.SetSelection({0, 1, 0, 0});
    again.Choose(DialogCombo::CsvEncoding, 0);
    EXPECT_EQ(again.SelectedRecords(), std::vector<int>{1});
    again.Choose(DialogCombo::CsvEncoding, 1);
    EXPECT_EQ(again.SelectedRecords(), std::vector<int>{1});
}

}  // namespace
