// The headless batch mode, through the real quolix executable, run with no
// display in its environment.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "TestUtil.h"

namespace {

namespace fs = std::filesystem;
using testutil::CannotOpen;
using testutil::Cp;
using testutil::CrLf;
using testutil::kDone;
using testutil::NotWritten;
using testutil::Progress;
using testutil::ReadBytes;
using testutil::RunQuolix;
using testutil::RunResult;
using testutil::TempDir;
using testutil::Warning;
using testutil::WriteBytes;

std::set<std::string> FilesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

class BatchTest : public ::testing::Test {
  protected:
    BatchTest() {
        WriteBytes(dir_.Path() / "books.csv",
                   CrLf(Cp("id,title,shelf\n1,こころ,a/b\n2,門,a\n3,草枕,a\n")));
        WriteBytes(dir_.Path() / "page.html", Cp("<h1>[title]</h1>"));
        fs::create_directory(dir_.Path() / "out");
    }

    // A settings file with paths relative to the working folder.
    std::string Settings(std::string_view name, std::string_view extra,
                         std::string_view out = "out", std::string_view csv = "books.csv") {
        WriteBytes(dir_.Path() / name, CrLf("      CSV:" + std::string(csv) +
                                            "\n     HTML:page.html\n      Out:" + std::string(out) +
                                            "\n   fixChk:0\n" + std::string(extra)));
        return std::string(name);
    }
    // `quolix ARGUMENTS...` in the test's folder.
    RunResult Run(const std::vector<std::string>& arguments) {
        return RunQuolix({.folder = dir_.Path(), .arguments = arguments});
    }
    RunResult Batch(const std::vector<std::string>& files) {
        std::vector<std::string> args{"--batch"};
        args.insert(args.end(), files.begin(), files.end());
        return Run(args);
    }

    TempDir dir_;
};

TEST_F(BatchTest, GoodRunWritesEveryPage) {
    // The file's own autoChk says no run; the batch mode runs all the same.
    const RunResult run = Batch({Settings("good.cfg", "  autoChk:0\n SelItems:1,3\n")});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(FilesIn(dir_.Path() / "out"),
              (std::set<std::string>{"00001.html", "00003.html", "_index.html", "_db.html"}));
    EXPECT_EQ(ReadBytes(dir_.Path() / "out" / "00003.html"), Cp("<h1>草枕</h1>"));
    // Not a terminal: no progress, only the final status line.
    EXPECT_EQ(run.err, std::string(kDone) + "\n");
    EXPECT_EQ(run.out, "");
}

// The separator: found out from the header line, named by a Sep line, and
// the flag over both.
TEST_F(BatchTest, SeparatorFromTheHeaderTheSettingsOrTheFlag) {
    WriteBytes(dir_.Path() / "tabs.txt", CrLf(Cp("id\ttitle\n1\tこころ,門\n")));
    const struct {
        const char* sepLine;
        std::vector<std::string> flags;
        std::string page;
    } cases[] = {
        {"", {}, Cp("<h1>こころ,門</h1>")},
        {"Sep:comma\n", {}, "<h1>[title]</h1>"},
        {"Sep:comma\n", {"--separator=tab"}, Cp("<h1>こころ,門</h1>")},
        {"", {"--separator=comma"}, "<h1>[title]</h1>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sepLine + (c.flags.empty() ? "" : c.flags[0]));
        std::vector<std::string> args{"--batch"};
        args.insert(args.end(), c.flags.begin(), c.flags.end());
        args.push_back(Settings("tabs.cfg", std::string(c.sepLine) + "createChk:0\nSelItems:1\n",
                                "out", "tabs.txt"));
        const RunResult run = Run(args);
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_EQ(ReadBytes(dir_.Path() / "out" / "00001.html"), c.page);
    }
}

// On a terminal the progress is shown in place before the final line.
TEST_F(BatchTest, ProgressOnlyOnATerminal) {
    const std::string cfg = Settings("tty.cfg", "SelItems:1,2,3\n");
    const RunResult run =
        RunQuolix({.folder = dir_.Path(), .arguments = {"--batch", cfg}, .terminal = true});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_NE(run.err.find("\r" + Progress(33)), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("\r" + Progress(66)), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(kDone), std::string::npos) << run.err;
}

TEST_F(BatchTest, SeveralSettingsFilesRunInTurn) {
    fs::create_directory(dir_.Path() / "out2");
    // Each file starts from a fresh window: the second one has no prefix.
    const RunResult run = Batch({Settings("a.cfg", "Prefix:p_\nprefixChk:1\nSelItems:1\n"),
                                 Settings("b.cfg", "SelItems:2\n", "out2")});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(FilesIn(dir_.Path() / "out"),
              (std::set<std::string>{"p_00001.html", "_index.html", "_db.html"}));
    EXPECT_EQ(FilesIn(dir_.Path() / "out2"),
              (std::set<std::string>{"00002.html", "_index.html", "_db.html"}));
    EXPECT_EQ(run.ErrLines(),
              (std::vector<std::string>{"==> a.cfg <==", kDone, "==> b.cfg <==", kDone}));
}

// Standard error is a pipe that nobody reads any more (as after `| head -1`):
// the run is not ended by SIGPIPE, writes every page of every file, and its
// status says that its messages were lost.
TEST_F(BatchTest, ReaderGoneEndsNoRun) {
    fs::create_directory(dir_.Path() / "out2");
    const std::string a = Settings("a.cfg", "SelItems:1\n");
    const std::string b = Settings("b.cfg", "SelItems:2\n", "out2");
    const RunResult run =
        RunQuolix({.folder = dir_.Path(), .arguments = {"--batch", a, b}, .errorsUnread = true});
    ASSERT_EQ(run.signal, 0) << "ended by signal " << run.signal;
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(FilesIn(dir_.Path() / "out"),
              (std::set<std::string>{"00001.html", "_index.html", "_db.html"}));
    EXPECT_EQ(FilesIn(dir_.Path() / "out2"),
              (std::set<std::string>{"00002.html", "_index.html", "_db.html"}));
}

// Another run holds the output folder: the wait is a line of its own while
// the run is generating, and the run goes on once the folder is free.
TEST_F(BatchTest, WaitForAnotherRunIsALineOfItsOwn) {
    const std::string cfg = Settings("wait.cfg", "SelItems:1\n");
    const int otherRun = open((dir_.Path() / "out").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(otherRun, 0) << std::strerror(errno);
    ASSERT_EQ(flock(otherRun, LOCK_EX), 0) << std::strerror(errno);
    testutil::Quolix run({.folder = dir_.Path(), .arguments = {"--batch", cfg}});
    // The first line, or all there is if none comes before the hang guard;
    // then the folder is let go and the rest read.
    const std::string whileHeld = run.ReadErrLine();
    close(otherRun);
    const RunResult result = run.Finish();
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(whileHeld, std::string(testutil::kWaitingForOutput) + "\n");
    EXPECT_EQ(result.err, std::string(testutil::kWaitingForOutput) + "\n" + kDone + "\n");
    EXPECT_EQ(FilesIn(dir_.Path() / "out"),
              (std::set<std::string>{"00001.html", "_index.html", "_db.html"}));
}

// Whatever was not read or not written makes the status 1; the message the
// window would show is on standard error.
TEST_F(BatchTest, ProblemsGiveStatusOne) {
    WriteBytes(dir_.Path() / "quote.csv", CrLf("id,title\n1,ok\n2,b\"ad\n3,x\n"));
    WriteBytes(dir_.Path() / "empty.csv", "");
    struct Case {
        const char* name;
        std::vector<std::string> files;
        std::string lineShown;  // a whole stderr line; "": not checked
        std::string lastLine;   // "": not checked
    };
    const Case cases[] = {
        {"missing settings file", {"missing.cfg"}, CannotOpen("missing.cfg"), ""},
        {"quote error in the source",
         {Settings("quote.cfg", "SelItems:1\n", "out", "quote.csv")},
         Warning(testutil::QuoteError(3)),
         kDone},
        {"empty source",
         {Settings("empty.cfg", "", "out", "empty.csv")},
         Warning(testutil::kEmptyFile),
         ""},
        {"source missing",
         {Settings("nocsv.cfg", "SelItems:1\n", "out", "no-such.csv")},
         testutil::kSourceMissing,
         testutil::kNoRecords},
        {"output folder missing",
         {Settings("nofolder.cfg", "SelItems:1\n", "no-such-folder")},
         testutil::kOutMissing,
         testutil::kOutMissing},
        {"nothing selected",
         {Settings("none.cfg", "SelItems:\n")},
         testutil::kNoRecords,
         testutil::kNoRecords},
        {"page overwritten in the run",
         {Settings("twice.cfg", "ruleNum:2\nfieldNum:2\nSelItems:2,3\n")},
         "",
         kDone},
        {"one good file, one bad",
         {Settings("ok.cfg", "SelItems:1\n"), "missing.cfg"},
         CannotOpen("missing.cfg"),
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RunResult run = Batch(c.files);
        EXPECT_EQ(run.exitStatus, 1) << run.err;
        if (!c.lineShown.empty()) {
            EXPECT_TRUE(run.ErrHasLine(c.lineShown)) << run.err;
        }
        if (!c.lastLine.empty()) {
            EXPECT_EQ(run.LastErrLine(), c.lastLine) << run.err;
        }
    }
}

// Record 1's shelf a/b names a folder that does not exist.
TEST_F(BatchTest, UnwrittenPagesAreNamed) {
    const RunResult run =
        Batch({Settings("unwritable.cfg", "ruleNum:2\nfieldNum:2\nSelItems:1,2\n")});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_NE(run.err.find(NotWritten(1)), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("a/b.html"), std::string::npos) << run.err;
    // The other page was written.
    EXPECT_EQ(FilesIn(dir_.Path() / "out").count("a.html"), 1u);
    EXPECT_EQ(run.LastErrLine(), kDone);
}

// Bad usage runs nothing, not even a good settings file named before it.
TEST_F(BatchTest, BadUsageGivesStatusTwo) {
    const std::string good = Settings("good.cfg", "SelItems:1\n");
    const std::vector<std::vector<std::string>> cases = {
        {"--batch"},
        {"--batch", "--"},
        {"--frobnicate"},
        {"--batch", good, "--frobnicate"},
        {good, "--frobnicate", "--batch", good},
    };
    for (const auto& args : cases) {
        std::string line;
        for (const std::string& a : args) line += a + " ";
        SCOPED_TRACE(line);
        const RunResult run = Run(args);
        EXPECT_EQ(run.exitStatus, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err, "");
    }
    EXPECT_TRUE(FilesIn(dir_.Path() / "out").empty());
}

TEST_F(BatchTest, HelpAndVersionOnStandardOutput) {
    const RunResult help = Run({"--help"});
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_NE(help.out.find("--batch"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("  --         end of the options"), std::string::npos) << help.out;
    EXPECT_EQ(help.err, "");
    const RunResult version = Run({"--version"});
    EXPECT_EQ(version.exitStatus, 0);
    EXPECT_EQ(version.out.rfind("Quolix ver.0.9i", 0), 0u) << version.out;
    EXPECT_EQ(version.err, "");
}

// The bundled example, run as the README runs it, in a copy of its folder.
TEST_F(BatchTest, BundledExample) {
    const fs::path example = fs::path(QUOLIX_SOURCE_DIR) / "examples" / "books";
    fs::create_directories(dir_.Path() / "examples");
    fs::copy(example, dir_.Path() / "examples" / "books", fs::copy_options::recursive);
    fs::create_directories(dir_.Path() / "out" / "books");
    const RunResult run = Batch({"examples/books/books.cfg"});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.LastErrLine(), kDone);
    const std::set<std::string> pages = FilesIn(dir_.Path() / "out" / "books");
    EXPECT_EQ(pages.size(), 22u);  // twenty records, the index and the dump
    EXPECT_EQ(pages.count("_index.html"), 1u);
    EXPECT_EQ(pages.count("00020.html"), 1u);
}

// The shop list as Excel's Unicode text (UTF-16, tabs), as an .xlsx and as
// an .ods gives the pages the same list gives as a UTF-8 CSV file, byte for
// byte.
TEST_F(BatchTest, ExamplesGiveThePagesOfTheirUtf8Csv) {
    const fs::path examples = fs::path(QUOLIX_SOURCE_DIR) / "examples";
    fs::create_directories(dir_.Path() / "examples");
    for (const char* name : {"shop-utf8", "shop-unicode", "shop-book"})
        fs::copy(examples / name, dir_.Path() / "examples" / name, fs::copy_options::recursive);
    const struct {
        const char* csv;
        std::vector<std::string> others;
    } sets[] = {{"shop-utf8", {"shop-unicode"}}, {"shop-book-csv", {"shop-book", "shop-book-ods"}}};
    for (const char* out : {"shop-utf8", "shop-unicode", "shop-book", "shop-book-ods", "shop-book-csv"})
        fs::create_directories(dir_.Path() / "out" / out);
    const RunResult run = Batch({"examples/shop-utf8/shop.cfg", "examples/shop-unicode/shop.cfg",
                                 "examples/shop-book/shop.cfg", "examples/shop-book/shop-ods.cfg",
                                 "examples/shop-book/shop-csv.cfg"});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    for (const auto& set : sets) {
        const std::set<std::string> pages = FilesIn(dir_.Path() / "out" / set.csv);
        EXPECT_EQ(pages.size(), 8u);  // six records, the index and the dump
        for (const std::string& other : set.others) {
            EXPECT_EQ(pages, FilesIn(dir_.Path() / "out" / other));
            for (const std::string& page : pages)
                EXPECT_EQ(ReadBytes(dir_.Path() / "out" / other / page),
                          ReadBytes(dir_.Path() / "out" / set.csv / page))
                    << other << "/" << page;
        }
    }
}

}  // namespace
