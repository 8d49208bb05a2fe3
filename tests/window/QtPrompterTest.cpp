// The window's boxes and file dialogs as Qt draws them: Qt's own texts in
// Japanese, the filters as the product writes them, the folder a dialog
// opens in. Each box is read and closed from a timer while it waits for
// the user, as a user would see it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <QTreeView>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "window/QtPrompter.h"

namespace {

namespace fs = std::filesystem;
using testutil::Cp;
using testutil::TempDir;
using testutil::WriteBytes;

std::string S(const QString& text) {
    return text.toStdString();
}

// Runs `inspect` on the dialog of type W that the code under test shows
// modally, from the event loop that waits for it; a dialog that `inspect`
// leaves open is then cancelled.
template <class W>
class WhenShown {
  public:
    explicit WhenShown(std::function<void(W&)> inspect) : inspect_(std::move(inspect)) {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            W* shown = qobject_cast<W*>(QApplication::activeModalWidget());
            if (!shown || !shown->isVisible()) return;
            timer_.stop();
            ran_ = true;
            inspect_(*shown);
            if (shown->isVisible()) shown->reject();
        });
        timer_.start();
    }
    bool Ran() const { return ran_; }

  private:
    std::function<void(W&)> inspect_;
    QTimer timer_;
    bool ran_ = false;
};

// The entries of the file-type list, as the user reads them.
std::vector<std::string> FileTypes(const QFileDialog& dialog) {
    std::vector<std::string> items;
    const auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    for (int i = 0; combo && i < combo->count(); ++i) items.push_back(S(combo->itemText(i)));
    return items;
}

// The names the dialog lists in its folder, once they are `expected` or
// the dialog has had time to read the folder and apply its filter.
std::set<std::string> Listed(const QFileDialog& dialog, const std::set<std::string>& expected) {
    const auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    std::set<std::string> names;
    if (!view) return names;
    auto read = [&] {
        names.clear();
        const QModelIndex root = view->rootIndex();
        for (int r = 0; r < view->model()->rowCount(root); ++r)
            names.insert(S(view->model()->index(r, 0, root).data().toString()));
        return names == expected;
    };
    if (!QTest::qWaitFor(read, 5000)) read();
    return names;
}

std::string LabelText(const QWidget& w, const char* name) {
    const auto* label = w.findChild<QLabel*>(QString::fromLatin1(name));
    return label ? S(label->text()) : "(no " + std::string(name) + ")";
}

// Qt's Japanese translation installed, as the window installs it.
class QtJapaneseTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(QtPrompter::UseQtJapanese(translator_))
            << "qtbase_ja.qm is missing from Qt's translations (make deps installs it)";
    }
    void TearDown() override {
        QApplication::removeTranslator(&translator_);
        QLocale::setDefault(locale_);
    }

    const QLocale locale_;
    QTranslator translator_;
    QtPrompter prompter_;
};

// ------------------------------------------------------------ boxes

TEST_F(QtJapaneseTest, ConfirmationBoxButtonsAreJapanese) {
    for (QMessageBox::StandardButton answer : {QMessageBox::Yes, QMessageBox::No}) {
        SCOPED_TRACE(answer == QMessageBox::Yes ? "Yes" : "No");
        WhenShown<QMessageBox> box([&](QMessageBox& b) {
            EXPECT_EQ(S(b.windowTitle()), "設定ファイルの保存");
            EXPECT_EQ(S(b.text()), "CSV:books.csv");
            ASSERT_EQ(b.buttons().size(), 2);
            ASSERT_NE(b.button(QMessageBox::Yes), nullptr);
            ASSERT_NE(b.button(QMessageBox::No), nullptr);
            EXPECT_EQ(S(b.button(QMessageBox::Yes)->text()), "はい(&Y)");
            EXPECT_EQ(S(b.button(QMessageBox::No)->text()), "いいえ(&N)");
            b.button(answer)->click();
        });
        const bool yes = prompter_.AskYesNo("設定ファイルの保存", "CSV:books.csv");
        EXPECT_TRUE(box.Ran());
        EXPECT_EQ(yes, answer == QMessageBox::Yes);
    }
}

TEST_F(QtJapaneseTest, OkBoxes) {
    const std::function<void()> shows[] = {
        [&] { prompter_.Message("ファイルが空です．"); },
        [&] { prompter_.Information("警告", "ファイルが空です．"); },
    };
    for (const auto& show : shows) {
        WhenShown<QMessageBox> box([](QMessageBox& b) {
            EXPECT_EQ(S(b.text()), "ファイルが空です．");
            ASSERT_EQ(b.buttons().size(), 1);
            EXPECT_EQ(S(b.buttons().front()->text()), "OK");
            b.buttons().front()->click();
        });
        show();
        EXPECT_TRUE(box.Ran());
    }
}

// Without the translation the window still works, in Qt's English.
TEST(QtEnglishTest, MissingTranslationLeavesQtsTexts) {
    TempDir empty;
    QTranslator translator;
    const QLocale locale;
    EXPECT_FALSE(
        QtPrompter::UseQtJapanese(translator, QString::fromStdString(empty.Path().string())));
    EXPECT_TRUE(translator.isEmpty());
    EXPECT_EQ(QLocale(), locale);
    QtPrompter prompter;
    WhenShown<QMessageBox> box([](QMessageBox& b) {
        EXPECT_EQ(S(b.button(QMessageBox::Yes)->text()), "&Yes");
        EXPECT_EQ(S(b.button(QMessageBox::No)->text()), "&No");
        b.button(QMessageBox::Yes)->click();
    });
    EXPECT_TRUE(prompter.AskYesNo("設定ファイルの保存", "x"));
    EXPECT_TRUE(box.Ran());
}

// ------------------------------------------------------------ file dialogs

TEST_F(QtJapaneseTest, FileDialogsAreJapanese) {
    for (bool save : {false, true}) {
        SCOPED_TRACE(save ? "save" : "open");
        diag::FileDialogRequest request;
        request.save = save;
        request.filter = "設定ﾌｧｲﾙ(*.cfg)|*.cfg||";
        WhenShown<QFileDialog> dialog([&](QFileDialog& d) {
            EXPECT_EQ(S(d.windowTitle()), save ? "名前を付けて保存" : "開く");
            EXPECT_EQ(LabelText(d, "lookInLabel"), "アドレス:");
            EXPECT_EQ(LabelText(d, "fileNameLabel"), "ファイル名(&N):");
            EXPECT_EQ(LabelText(d, "fileTypeLabel"), "ファイルの種類:");
            const auto* buttons = d.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
            ASSERT_NE(buttons, nullptr);
            ASSERT_NE(buttons->button(QDialogButtonBox::Cancel), nullptr);
            EXPECT_EQ(S(buttons->button(QDialogButtonBox::Cancel)->text()), "キャンセル");
            const QDialogButtonBox::StandardButton accept =
                save ? QDialogButtonBox::Save : QDialogButtonBox::Open;
            ASSERT_NE(buttons->button(accept), nullptr);
            EXPECT_EQ(S(buttons->button(accept)->text()), save ? "保存(&S)" : "開く(&O)");
        });
        EXPECT_EQ(prompter_.ChooseFile(request), std::nullopt);
        EXPECT_TRUE(dialog.Ran());
    }
}

// Each entry reads as the product writes it, once, and lists the files its
// patterns match; "*.*" lists every file, as it does where it comes from.
TEST_F(QtJapaneseTest, FiltersReadAsGivenAndMatchTheirPatterns) {
    TempDir dir;
    const std::vector<std::string> files = {"a.cfg", "b.html", "c.htm",    "d.txt",
                                            "e.csv", "README", "f.cfg.bak"};
    for (const std::string& f : files) WriteBytes(dir.File(f), "x");
    struct Case {
        const char* filter;
        std::vector<std::string> shown;
        std::vector<std::set<std::string>> listed;  // per entry
    };
    const std::set<std::string> all(files.begin(), files.end());
    const Case cases[] = {
        {"設定ﾌｧｲﾙ(*.cfg)|*.cfg||", {"設定ﾌｧｲﾙ(*.cfg)"}, {{"a.cfg"}}},
        {"CSVﾌｧｲﾙ(*.csv)|*.csv|ﾃｷｽﾄﾌｧｲﾙ(*.txt)|*.txt|すべてのﾌｧｲﾙ(*.*)|*.*||",
         {"CSVﾌｧｲﾙ(*.csv)", "ﾃｷｽﾄﾌｧｲﾙ(*.txt)", "すべてのﾌｧｲﾙ(*.*)"},
         {{"e.csv"}, {"d.txt"}, all}},
        {"HTMLﾌｧｲﾙ(*.html, *.htm)|*.html;*.htm|ﾃｷｽﾄﾌｧｲﾙ(*.txt)|*.txt|すべてのﾌｧｲﾙ(*.*)|*.*||",
         {"HTMLﾌｧｲﾙ(*.html, *.htm)", "ﾃｷｽﾄﾌｧｲﾙ(*.txt)", "すべてのﾌｧｲﾙ(*.*)"},
         {{"b.html", "c.htm"}, {"d.txt"}, all}},
        // A name that does not show its patterns keeps them hidden too.
        {"設定|*.cfg||", {"設定"}, {{"a.cfg"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.filter);
        diag::FileDialogRequest request;
        request.filter = c.filter;
        request.folder = dir.Path().string();
        WhenShown<QFileDialog> dialog([&](QFileDialog& d) {
            EXPECT_EQ(FileTypes(d), c.shown);
            const QStringList filters = d.nameFilters();
            ASSERT_EQ(static_cast<size_t>(filters.size()), c.listed.size());
            for (size_t i = 0; i < c.listed.size(); ++i) {
                SCOPED_TRACE(c.shown[i]);
                d.selectNameFilter(filters[static_cast<qsizetype>(i)]);
                EXPECT_EQ(Listed(d, c.listed[i]), c.listed[i]);
            }
        });
        EXPECT_EQ(prompter_.ChooseFile(request), std::nullopt);
        EXPECT_TRUE(dialog.Ran());
    }
}

// The folder a dialog opens in and the name it proposes there.
TEST_F(QtJapaneseTest, WhereTheDialogOpens) {
    TempDir dir;
    const std::string sub = dir.File("データ");
    fs::create_directory(sub);
    const std::string here = S(QDir::currentPath());
    struct Case {
        const char* name;
        std::string folder, proposed;  // code page 932
        std::string directory, nameBox;
    };
    const Case cases[] = {
        {"a name in a folder", sub, "一覧.cfg", sub, "一覧.cfg"},
        {"a folder alone", sub, "", sub, ""},
        {"a bare name in the current folder", ".", "default.cfg", here, "default.cfg"},
        {"a name without a folder", "", "default.cfg", here, "default.cfg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        diag::FileDialogRequest request;
        request.save = true;
        request.filter = "設定ﾌｧｲﾙ(*.cfg)|*.cfg||";
        request.folder = c.folder;
        request.proposedName = c.proposed;
        WhenShown<QFileDialog> dialog([&](QFileDialog& d) {
            EXPECT_EQ(S(d.directory().absolutePath()), c.directory);
            const auto* name = d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(name, nullptr);
            EXPECT_EQ(S(name->text()), c.nameBox);
        });
        EXPECT_EQ(prompter_.ChooseFile(request), std::nullopt);
        EXPECT_TRUE(dialog.Ran());
    }
}

}  // namespace
