#include "RecordingPrompter.h"
#include "diag/Prompter.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

using testutil::RecordingPrompter;

TEST(RecordingPrompter, RecordsEveryBoxAndAnswersFromItsQueues) {
    RecordingPrompter p;
    p.answers = {false, true};
    p.fileChoices = {std::string("a.cfg"), std::nullopt};

    p.Information("警告", "ファイルが空です．");
    EXPECT_FALSE(p.AskYesNo("保存", "上書きしますか？"));
    EXPECT_TRUE(p.AskYesNo("t", "q2"));
    EXPECT_TRUE(p.AskYesNo("t", "q3"));  // queue used up: Yes
    p.Message("完了");
    diag::FileDialogRequest req{true, "設定(*.cfg)|*.cfg||", "*.cfg", "default.cfg"};
    EXPECT_EQ(p.ChooseFile(req), std::optional<std::string>("a.cfg"));
    EXPECT_EQ(p.ChooseFile(req), std::nullopt);
    EXPECT_EQ(p.ChooseFile(req), std::nullopt);  // queue used up: cancel

    using K = RecordingPrompter::Kind;
    ASSERT_EQ(p.entries.size(), 8u);
    EXPECT_EQ(p.entries[0].kind, K::Information);
    EXPECT_EQ(p.entries[0].caption, "警告");
    EXPECT_EQ(p.entries[1].kind, K::Question);
    EXPECT_EQ(p.entries[1].caption, "保存");
    EXPECT_EQ(p.entries[4].kind, K::Message);
    EXPECT_EQ(p.entries[4].caption, "");
    EXPECT_EQ(p.entries[5].kind, K::FileDialog);
    EXPECT_TRUE(p.entries[5].request.save);
    EXPECT_EQ(p.entries[5].request.defaultExt, "*.cfg");
    EXPECT_EQ(p.entries[5].request.proposedName, "default.cfg");
    EXPECT_EQ(p.Texts(),
              (std::vector<std::string>{"ファイルが空です．", "上書きしますか？", "q2", "q3",
                                        "完了", req.filter, req.filter, req.filter}));
    p.Clear();
    EXPECT_TRUE(p.entries.empty());
}

}  // namespace
