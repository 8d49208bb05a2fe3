// The headless batch mode, through the real quolix executable, run with no
// display in its environment.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "gen/GenerationRun.h"
#include "platform/CodePage.h"

namespace {

namespace fs = std::filesystem;
using testutil::Cp;
using testutil::CrLf;
using testutil::ReadBytes;
using testutil::TempDir;
using testutil::WriteBytes;

struct ProcessResult {
    int exitCode = -1;
    std::string out;
    std::string err;

    std::vector<std::string> ErrLines() const {
        std::vector<std::string> lines;
        size_t pos = 0;
        while (pos < err.size()) {
            size_t end = err.find('\n', pos);
            if (end == std::string::npos) end = err.size();
            lines.push_back(err.substr(pos, end - pos));
            pos = end + 1;
        }
        return lines;
    }
    std::string LastErrLine() const {
        const std::vector<std::string> lines = ErrLines();
        return lines.empty() ? std::string() : lines.back();
    }
    bool ErrHasLine(std::string_view line) const {
        for (const std::string& l : ErrLines())
            if (l == line) return true;
        return false;
    }
};

ProcessResult RunQuolix(const std::vector<std::string>& arguments, const fs::path& workingDir) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // No display of any kind, and no platform chosen for the program.
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(QString::fromStdString(workingDir.string()));
    QStringList args;
    for (const std::string& a : arguments) args << QString::fromStdString(a);
    process.start(QStringLiteral(QUOLIX_EXE), args);
    ProcessResult run;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << "quolix did not finish";
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

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
    ProcessResult Batch(const std::vector<std::string>& files) {
        std::vector<std::string> args{"--batch"};
        args.insert(args.end(), files.begin(), files.end());
        return RunQuolix(args, dir_.Path());
    }

    TempDir dir_;
};

TEST_F(BatchTest, GoodRunWritesEveryPage) {
    // The file's own autoChk says no run; the batch mode runs all the same.
    const ProcessResult run = Batch({Settings("good.cfg", "  autoChk:0\n SelItems:1,3\n")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(FilesIn(dir_.Path() / "out"),
              (std::set<std::string>{"00001.html", "00003.html", "_index.html", "_db.html"}));
    EXPECT_EQ(ReadBytes(dir_.Path() / "out" / "00003.html"), Cp("<h1>草枕</h1>"));
    // Not a terminal: no progress, only the final status line.
    EXPECT_EQ(run.err, "100% 完了\n");
    EXPECT_EQ(run.out, "");
}

// On a terminal the progress is shown in place before the final line.
TEST_F(BatchTest, ProgressOnlyOnATerminal) {
    const std::string cfg = Settings("tty.cfg", "SelItems:1,2,3\n");
    testutil::HeadlessEnvironment env;
    const std::string folder = dir_.Path().string();
    const char* exe = QUOLIX_EXE;

    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0) << std::strerror(errno);
    if (pid == 0) {
        if (chdir(folder.c_str()) == 0) {
            char* const argv[] = {const_cast<char*>("quolix"), const_cast<char*>("--batch"),
                                  const_cast<char*>(cfg.c_str()), nullptr};
            execve(exe, argv, env.Envp());
        }
        _exit(127);
    }
    std::string output;
    for (;;) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 30000) <= 0) break;
        char buffer[4096];
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0) break;  // EIO once the child has gone
        output.append(buffer, static_cast<size_t>(n));
    }
    close(master);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << output;
    EXPECT_NE(output.find("\r 33% 完了"), std::string::npos) << output;
    EXPECT_NE(output.find("\r 66% 完了"), std::string::npos) << output;
    EXPECT_NE(output.find("100% 完了"), std::string::npos) << output;
}

TEST_F(BatchTest, SeveralSettingsFilesRunInTurn) {
    fs::create_directory(dir_.Path() / "out2");
    // Each file starts from a fresh window: the second one has no prefix.
    const ProcessResult run = Batch({Settings("a.cfg", "Prefix:p_\nprefixChk:1\nSelItems:1\n"),
                                     Settings("b.cfg", "SelItems:2\n", "out2")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(FilesIn(dir_.Path() / "out"),
              (std::set<std::string>{"p_00001.html", "_index.html", "_db.html"}));
    EXPECT_EQ(FilesIn(dir_.Path() / "out2"),
              (std::set<std::string>{"00002.html", "_index.html", "_db.html"}));
    EXPECT_EQ(run.ErrLines(), (std::vector<std::string>{"==> a.cfg <==", "100% 完了",
                                                        "==> b.cfg <==", "100% 完了"}));
}

// Starts `quolix ARGS` in `folder` without a display, its standard error on
// `errFd`, SIGPIPE as a new process has it; the child's id, or -1.
pid_t StartQuolix(const fs::path& folder, const std::vector<std::string>& arguments, int errFd) {
    testutil::HeadlessEnvironment env;
    const std::string cwd = folder.string();
    std::vector<std::string> args{"quolix"};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        // Only async-signal-safe calls from here on. What the program does
        // with SIGPIPE is its own doing, not inherited from the tests.
        signal(SIGPIPE, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        if (dup2(errFd, 2) >= 0 && chdir(cwd.c_str()) == 0)
            execve(QUOLIX_EXE, argv.data(), env.Envp());
        _exit(127);
    }
    return pid;
}

// Standard error is a pipe that nobody reads any more (as after `| head -1`):
// the run is not ended by SIGPIPE, writes every page of every file, and its
// status says that its messages were lost.
TEST_F(BatchTest, ReaderGoneEndsNoRun) {
    fs::create_directory(dir_.Path() / "out2");
    const std::string a = Settings("a.cfg", "SelItems:1\n");
    const std::string b = Settings("b.cfg", "SelItems:2\n", "out2");
    int errPipe[2];
    ASSERT_EQ(pipe(errPipe), 0) << std::strerror(errno);
    close(errPipe[0]);
    const pid_t pid = StartQuolix(dir_.Path(), {"--batch", a, b}, errPipe[1]);
    close(errPipe[1]);
    ASSERT_GE(pid, 0) << std::strerror(errno);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_FALSE(WIFSIGNALED(status)) << "ended by signal " << WTERMSIG(status);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
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
    int errPipe[2];
    ASSERT_EQ(pipe2(errPipe, O_CLOEXEC), 0) << std::strerror(errno);
    const pid_t pid = StartQuolix(dir_.Path(), {"--batch", cfg}, errPipe[1]);
    close(errPipe[1]);
    ASSERT_GE(pid, 0) << std::strerror(errno);

    // The first line, or nothing if none comes before the guard runs out;
    // then the folder is let go and the rest read.
    std::string err;
    auto readSome = [&](int timeoutMs) {
        pollfd p{errPipe[0], POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0) return false;
        char buffer[4096];
        const ssize_t n = read(errPipe[0], buffer, sizeof buffer);
        if (n > 0) err.append(buffer, static_cast<size_t>(n));
        return n > 0;
    };
    while (err.find('\n') == std::string::npos && readSome(30000)) {
    }
    const std::string whileHeld = err;
    close(otherRun);
    while (readSome(30000)) {
    }
    close(errPipe[0]);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << err;
    EXPECT_EQ(whileHeld, std::string(kStatusWaitingForOutput) + "\n");
    EXPECT_EQ(err, std::string(kStatusWaitingForOutput) + "\n100% 完了\n");
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
        const char* lineShown;  // a whole stderr line
        const char* lastLine;   // nullptr: not checked
    };
    const Case cases[] = {
        {"missing settings file", {"missing.cfg"}, "ファイル(missing.cfg)が開けません．", nullptr},
        {"quote error in the source",
         {Settings("quote.cfg", "SelItems:1\n", "out", "quote.csv")},
         "警告: 3 行目にダブルクォーテーション・エラーがあります．",
         "100% 完了"},
        {"empty source",
         {Settings("empty.cfg", "", "out", "empty.csv")},
         "警告: ファイルが空です．",
         nullptr},
        {"source missing",
         {Settings("nocsv.cfg", "SelItems:1\n", "out", "no-such.csv")},
         "ｿｰｽﾌｧｲﾙ(CSV) が見つかりません．",
         "出力したいレコードを選択してください．"},
        {"output folder missing",
         {Settings("nofolder.cfg", "SelItems:1\n", "no-such-folder")},
         "出力先(ﾌｫﾙﾀﾞ) が見つかりません．",
         "出力先(ﾌｫﾙﾀﾞ) が見つかりません．"},
        {"nothing selected",
         {Settings("none.cfg", "SelItems:\n")},
         "出力したいレコードを選択してください．",
         "出力したいレコードを選択してください．"},
        {"page overwritten in the run",
         {Settings("twice.cfg", "ruleNum:2\nfieldNum:2\nSelItems:2,3\n")},
         nullptr,
         "100% 完了"},
        {"one good file, one bad",
         {Settings("ok.cfg", "SelItems:1\n"), "missing.cfg"},
         "ファイル(missing.cfg)が開けません．",
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ProcessResult run = Batch(c.files);
        EXPECT_EQ(run.exitCode, 1) << run.err;
        if (c.lineShown) {
            EXPECT_TRUE(run.ErrHasLine(c.lineShown)) << run.err;
        }
        if (c.lastLine) {
            EXPECT_EQ(run.LastErrLine(), c.lastLine) << run.err;
        }
    }
}

// Record 1's shelf a/b names a folder that does not exist.
TEST_F(BatchTest, UnwrittenPagesAreNamed) {
    const ProcessResult run =
        Batch({Settings("unwritable.cfg", "ruleNum:2\nfieldNum:2\nSelItems:1,2\n")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("1 個のファイルを作成または書き込みできませんでした．"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("a/b.html"), std::string::npos) << run.err;
    // The other page was written.
    EXPECT_EQ(FilesIn(dir_.Path() / "out").count("a.html"), 1u);
    EXPECT_EQ(run.LastErrLine(), "100% 完了");
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
        const ProcessResult run = RunQuolix(args, dir_.Path());
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err, "");
    }
    EXPECT_TRUE(FilesIn(dir_.Path() / "out").empty());
}

TEST_F(BatchTest, HelpAndVersionOnStandardOutput) {
    const ProcessResult help = RunQuolix({"--help"}, dir_.Path());
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--batch"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("  --         end of the options"), std::string::npos) << help.out;
    EXPECT_EQ(help.err, "");
    const ProcessResult version = RunQuolix({"--version"}, dir_.Path());
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("Quolix ver.0.9i", 0), 0u) << version.out;
    EXPECT_EQ(version.err, "");
}

// The bundled example, run as the README runs it, in a copy of its folder.
TEST_F(BatchTest, BundledExample) {
    const fs::path example = fs::path(QUOLIX_SOURCE_DIR) / "examples" / "books";
    fs::create_directories(dir_.Path() / "examples");
    fs::copy(example, dir_.Path() / "examples" / "books", fs::copy_options::recursive);
    fs::create_directories(dir_.Path() / "out" / "books");
    const ProcessResult run = Batch({"examples/books/books.cfg"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.LastErrLine(), "100% 完了");
    const std::set<std::string> pages = FilesIn(dir_.Path() / "out" / "books");
    EXPECT_EQ(pages.size(), 22u);  // twenty records, the index and the dump
    EXPECT_EQ(pages.count("_index.html"), 1u);
    EXPECT_EQ(pages.count("00020.html"), 1u);
}

}  // namespace
