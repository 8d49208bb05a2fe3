// Runs against a folder on a POSIX system: permissions, a full disk,
// links, FIFOs, times and the kernel's notice of writes.
#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "gen/GenerationRunFixture.h"

namespace {

using namespace genrun;

TEST_F(GenerationRunTest, UnwritableFolderIsReportedOnceAfterTheRun) {
    std::vector<std::string> names(12, "v");
    LoadCsv(NamesCsv(names));
    Job s = Settings();
    std::vector<std::string> failed = {OutPath("_index.html"), OutPath("_db.html")};
    for (int i = 1; i <= 12; ++i) failed.push_back(OutPath(platform::StrFormat("%05d.html", i)));

    const bool root = geteuid() == 0;
    if (root) {
        // Permissions do not stop root: folders take the place of every file.
        for (const auto& path : failed) fs::create_directory(path);
    } else {
        fs::permissions(out, fs::perms::owner_read | fs::perms::owner_exec);
    }
    const RunReport r = Run(s, Range(1, 12));
    fs::permissions(out, fs::perms::owner_all);

    EXPECT_EQ(FailedPaths(r), failed);
    EXPECT_EQ(r.pagesOpened, 12);
    EXPECT_FALSE(r.AllWritten());
    EXPECT_FALSE(r.refused);
    std::vector<std::pair<std::string, NotWrittenReason>> files;
    for (const std::string& path : failed)
        files.emplace_back(path, root ? NotWrittenReason::kNotRegular : NotWrittenReason::kCannotWrite);
    EXPECT_EQ(TheWarning(), Incomplete(files));
    // The box comes after the run has reached 100 percent.
    EXPECT_EQ(diag::Text(r.lastStatus), kDone);
    EXPECT_TRUE(std::all_of(boxesAtStatus.begin(), boxesAtStatus.end(),
                            [](size_t boxes) { return boxes == 0; }));
    EXPECT_EQ(enables.back(), std::make_pair(true, true));
}

TEST_F(GenerationRunTest, WriteThatFailsHalfwayIsReported) {
    LoadCsv("id,text\r\n1,short\r\n2," + std::string(20000, 'x') + "\r\n3,tiny\r\n");
    SetTemplate("<p>[text]</p>\n");
    const Job s = Settings();

    // The file size limit applies to a child process only.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(fds[0]);
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1024, 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        const RunReport r = Run(s, {1, 2, 3});
        std::string summary = r.AllWritten() ? "all written" : "incomplete";
        for (const auto& p : FailedPaths(r)) summary += "|" + p;
        for (const auto& e : prompter.entries) summary += "|" + e.caption + ":" + e.text;
        summary += "|" + diag::Text(r.lastStatus);
        const ssize_t written = write(fds[1], summary.data(), summary.size());
        _exit(written == static_cast<ssize_t>(summary.size()) ? 0 : 1);
    }
    close(fds[1]);
    std::string summary;
    char buf[4096];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) summary.append(buf, n);
    close(fds[0]);
    int wstatus = 0;
    ASSERT_EQ(waitpid(pid, &wstatus, 0), pid);
    ASSERT_TRUE(WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0);

    // The long value overflows both its page and _db.html; _index.html fits.
    const std::string db = OutPath("_db.html");
    const std::string page = OutPath("00002.html");
    EXPECT_EQ(summary, "incomplete|" + db + "|" + page +
                           "|警告:" + testutil::NotWritten(2) + "\n" +
                           testutil::Unwritable(db) + "\n" + testutil::Unwritable(page) + "|" + kDone);
    // A page cut short is not linked.
    EXPECT_EQ(Links(Read("_index.html")), (std::vector<std::string>{"00001.html", "00003.html"}));
    EXPECT_EQ(Read("00001.html"), "<p>short</p>\n");
    EXPECT_EQ(Read("00003.html"), "<p>tiny</p>\n");
    EXPECT_LT(fs::file_size(page), 20000u);
}

// _db.html is written while the first pages are: a page of its name, or a
// link to it, is no page, and the dump is whole.
TEST_F(GenerationRunTest, APageNamedLikeTheDumpFileIsNoPage) {
    for (const bool byLink : {false, true}) {
        SCOPED_TRACE(byLink ? "through a link" : "by name");
        fs::remove_all(out);
        fs::create_directory(out);
        if (byLink) fs::create_symlink("_db.html", out / "alias.html");
        std::vector<std::string> names(30000, "filler");
        names[0] = byLink ? "alias" : "_db";
        LoadCsv(NamesCsv(names));
        Job s = Settings();
        s.ruleNum = 2;
        s.fieldNum = 1;
        const RunReport r = Run(s, {1, 2});
        const std::string db = Read("_db.html");
        EXPECT_EQ(FailedPaths(r), std::vector<std::string>{OutPath(names[0] + ".html")});
        EXPECT_TRUE(db.starts_with("<html>")) << db.substr(0, 80);
        EXPECT_TRUE(db.ends_with("</table></body></html>\n"));
        EXPECT_EQ(Read("filler.html"), "filler\n");
    }
}

// --- A rerun ---------------------------------------------------------------

constexpr time_t kLongAgo = 1000000000;  // 2001: far from any time a write sets

// The regular files directly in `folder`, each with its status.
std::map<std::string, struct stat> FileStats(const fs::path& folder) {
    std::map<std::string, struct stat> stats;
    for (const auto& e : fs::directory_iterator(folder)) {
        struct stat st {};
        if (::lstat(e.path().c_str(), &st) == 0 && S_ISREG(st.st_mode))
            stats[e.path().filename().string()] = st;
    }
    return stats;
}

// The files of a folder that were opened for writing or changed while the
// watch was on.
class WriteWatch {
  public:
    explicit WriteWatch(const fs::path& folder) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        EXPECT_GE(::inotify_add_watch(fd_, folder.c_str(), IN_CLOSE_WRITE | IN_MODIFY), 0);
    }
    ~WriteWatch() { ::close(fd_); }
    WriteWatch(const WriteWatch&) = delete;
    WriteWatch& operator=(const WriteWatch&) = delete;

    std::set<std::string> Written() const {
        std::set<std::string> names;
        alignas(inotify_event) char buf[1 << 16];
        for (ssize_t n; (n = ::read(fd_, buf, sizeof buf)) > 0;) {
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buf + at);
                if (event->len > 0) names.insert(event->name);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return names;
    }

  private:
    int fd_;
};

// A file that cannot be opened for writing, by root too (whom the mode does
// not stop: the immutable attribute does); made writable again with the
// object. Made() tells whether it worked.
class Unwritable {
  public:
    explicit Unwritable(fs::path file) : file_(std::move(file)) {
        fs::permissions(file_, fs::perms::owner_read, fs::perm_options::replace);
        if (::geteuid() == 0) immutable_ = SetImmutable(true);
        // A folder is unwritable when no file can be made in it.
        const bool folder = fs::is_directory(file_);
        const fs::path probe = folder ? file_ / "probe" : file_;
        const int fd = ::open(probe.c_str(), O_WRONLY | O_CLOEXEC | (folder ? O_CREAT : 0), 0600);
        made_ = fd < 0;
        if (fd >= 0) ::close(fd);
        if (fd >= 0 && folder) ::unlink(probe.c_str());
    }
    ~Unwritable() {
        if (immutable_) SetImmutable(false);
        fs::permissions(file_, fs::perms::owner_all, fs::perm_options::replace);
    }
    Unwritable(const Unwritable&) = delete;
    Unwritable& operator=(const Unwritable&) = delete;
    bool Made() const { return made_; }

  private:
    bool SetImmutable(bool on) const {
        const int fd = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC);
        int flags = 0;
        bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        if (fd >= 0) ::close(fd);
        return done;
    }

    fs::path file_;
    bool immutable_ = false;
    bool made_ = false;
};

// A page the run did not write is said with its reason and has no entry in
// the index, whose lines count the entries written; every link reaches a
// file.
TEST_F(GenerationRunTest, PagesNotWrittenSayWhyAndAreNotLinked) {
    using enum NotWrittenReason;
    fs::create_directory(out / "sub");
    fs::create_directory(out / "ro");
    ASSERT_EQ(::mkfifo((out / "fifo.html").c_str(), 0600), 0);
    fs::create_symlink("../elsewhere.html", out / "link.html");
    const std::string longName(300, 'n');
    const struct {
        const char* value;  // nullptr: the record has no such field
        std::string name;
        std::optional<NotWrittenReason> reason;  // none: written
    } cases[] = {
        {"", ".html", kEmptyName},
        {".", "..html", kEmptyName},
        {"..", "...html", kEmptyName},
        {"ok", "ok.html", {}},
        {nullptr, ".html", kEmptyName},
        {"sub/", "sub/.html", kEmptyName},
        {"sub/x", "sub/x.html", {}},
        {"nodir/x", "nodir/x.html", kNoFolder},
        {longName.c_str(), longName + ".html", kNameTooLong},
        {"_index", "_index.html", kRunFile},
        {"fifo", "fifo.html", kNotRegular},
        {"link", "link.html", kNotRegular},
        {"ro/x", "ro/x.html", kCannotWrite},
    };
    std::string csv = "id,name\r\n";
    std::vector<FileNotWritten> expected;
    for (const auto& c : cases) {
        csv += std::to_string(&c - cases + 1) + (c.value ? std::string(",") + c.value : "") + "\r\n";
        if (c.reason) expected.push_back({OutPath(c.name), *c.reason});
    }
    LoadCsv(csv);
    Job s = Settings();
    s.ruleNum = 2;
    s.fieldNum = 1;
    const Unwritable readOnly(out / "ro");
    if (!readOnly.Made()) GTEST_SKIP() << "no folder here can be made unwritable";
    const RunReport r = Run(s, Range(1, static_cast<int>(std::size(cases))));

    EXPECT_EQ(r.notWritten, expected);
    const std::string index = Read("_index.html");
    EXPECT_EQ(index, IndexHead("<pre>") + "\n[<a href=\"ok.html\">ok</a>]" + std::string(28, ' ') +
                         "[<a href=\"sub/x.html\">sub/x</a>]" + std::string(25, ' ') +
                         IndexTail("<pre>"));
    for (const std::string& link : Links(index)) EXPECT_TRUE(fs::is_regular_file(out / link)) << link;
    EXPECT_FALSE(fs::exists(out / ".html"));
}

// A rerun over the site of an earlier run leaves every file that holds its
// bytes already as it was: contents, modification and change times, never
// opened for writing. The rest is written as on the first run; a file that
// cannot be opened for writing is a failure only when its bytes differ,
// with the same consequences as a page that cannot be created.
TEST_F(GenerationRunTest, RerunLeavesFilesThatHoldTheirBytesAlone) {
    const std::vector<std::string> values = {"A", "B", "C", "D", "E", "F"};
    auto edit = [this](const char* name, std::function<void(std::string&)> change) {
        return [this, name, change] {
            std::string bytes = Read(name);
            change(bytes);
            WriteBytes(out / name, bytes);
        };
    };
    auto with = [&](size_t i, const char* value) {
        std::vector<std::string> v = values;
        v[i] = value;
        return v;
    };
    using Names = std::set<std::string>;
    const struct {
        const char* what;
        std::function<void()> change = [] {};  // to the site before the rerun
        std::vector<std::string> now = {};     // the records on the rerun, when changed
        int repeat = 0;                        // records a page in repeat mode
        int last = 6;                          // records 1 to last selected on the rerun
        Names rewritten = {};
        Names locked = {};                     // cannot be opened for writing
        std::vector<std::string> failed = {};  // in the report's order
        std::vector<std::string> links = {};   // of _index.html, when not one a record
    } cases[] = {
        // clang-format off
        {"nothing changed"},
        {"a byte of a page", edit("00002.html", [](std::string& b) { b[0] = 'b'; }), {},
         0, 6, {"00002.html"}},
        {"a page longer", edit("00003.html", [](std::string& b) { b += '\n'; }), {}, 0, 6,
         {"00003.html"}},
        {"a page shorter", edit("00004.html", [](std::string& b) { b.pop_back(); }), {}, 0, 6,
         {"00004.html"}},
        {"_index.html shorter", edit("_index.html", [](std::string& b) { b.pop_back(); }), {},
         0, 6, {"_index.html"}},
        {"a page gone", [this] { fs::remove(out / "00005.html"); }, {}, 0, 6, {"00005.html"}},
        {"one record changed", {}, with(2, "C2"), 0, 6, {"00003.html", "_db.html"}},
        {"read-only page, same bytes", {}, {}, 0, 6, {}, {"00002.html"}},
        {"read-only page, record changed", {}, with(1, "B2"), 0, 6, {"_db.html", "_index.html"},
         {"00002.html"}, {"00002.html"},
         {"00001.html", "00003.html", "00004.html", "00005.html", "00006.html"}},
        {"read-only check files, all changed", {}, with(1, "B2"), 0, 5, {},
         {"_index.html", "_db.html", "00002.html"}, {"_index.html", "_db.html", "00002.html"}},
        {"repeat: read-only first page changed", {}, with(0, "A2"), 2, 6,
         {"_index.html", "_db.html", "00002.html", "00004.html", "00006.html"}, {"00001.html"},
         {"00001.html"}, {"00002.html", "00004.html", "00006.html"}},
        {"repeat: read-only last page changed", {}, with(4, "E2"), 4, 6,
         {"_index.html", "_db.html", "00006.html"}, {"00005.html"}, {"00005.html"},
         {"00001.html", "00006.html"}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(out);
        fs::create_directory(out);
        Job s = Settings();
        s.repeatChk = c.repeat > 0;
        s.repeat = c.repeat;
        LoadCsv(NamesCsv(values));
        statuses.clear();
        Run(s, Range(1, 6));
        const std::string firstIndex = Read("_index.html");
        const std::vector<std::string> firstStatuses = statuses;

        if (c.change) c.change();
        const std::vector<std::string> now = c.now.empty() ? values : c.now;
        if (c.now != values) LoadCsv(NamesCsv(now));
        for (const auto& [name, st] : FileStats(out)) {
            const timespec times[2] = {{kLongAgo, 0}, {kLongAgo, 0}};
            ASSERT_EQ(::utimensat(AT_FDCWD, (out / name).c_str(), times, 0), 0);
        }
        std::vector<std::unique_ptr<Unwritable>> locks;
        for (const std::string& name : c.locked) {
            locks.push_back(std::make_unique<Unwritable>(out / name));
            if (!locks.back()->Made()) GTEST_SKIP() << "no file here can be made unwritable";
        }
        const auto before = FileStats(out);
        const std::map<std::string, std::string> bytesBefore = [&] {
            std::map<std::string, std::string> m;
            for (const auto& [name, st] : before) m[name] = Read(name);
            return m;
        }();
        prompter.Clear();
        statuses.clear();
        const WriteWatch watch(out);
        const RunReport r = Run(s, Range(1, c.last));

        EXPECT_EQ(watch.Written(), c.rewritten);
        for (const auto& [name, st] : FileStats(out)) {
            SCOPED_TRACE(name);
            const auto was = before.find(name);
            const bool kept = was != before.end() && !c.rewritten.count(name);
            EXPECT_EQ(st.st_mtim.tv_sec == kLongAgo, kept);
            if (kept) {
                EXPECT_EQ(st.st_ctim.tv_sec, was->second.st_ctim.tv_sec);
                EXPECT_EQ(st.st_ctim.tv_nsec, was->second.st_ctim.tv_nsec);
                EXPECT_EQ(Read(name), bytesBefore.at(name));
            }
        }
        std::vector<std::string> failed;
        for (const std::string& name : c.failed) failed.push_back(OutPath(name));
        EXPECT_EQ(FailedPaths(r), failed);
        EXPECT_EQ(r.unchangedFiles, r.pagesOpened + 2 - static_cast<int>(c.rewritten.size()) -
                                        static_cast<int>(c.failed.size()));
        EXPECT_EQ(r.AllWritten(), c.failed.empty());
        EXPECT_EQ(prompter.entries.size(), c.failed.empty() ? 0u : 1u);
        if (c.last == 6) {
            EXPECT_EQ(statuses, firstStatuses);
        }
        if (!c.links.empty()) {
            EXPECT_EQ(Links(Read("_index.html")), c.links);
        } else if (!c.locked.count("_index.html")) {
            EXPECT_EQ(Read("_index.html"), firstIndex);
        }
        if (c.repeat == 0 && c.failed.empty()) {
            for (int i = 1; i <= 6; ++i)
                EXPECT_EQ(Read(platform::StrFormat("%05d.html", i)), now[i - 1] + "\n");
        }
    }
    // The regrouped page of the last case holds only the record after.
    EXPECT_EQ(Read("00006.html"), "<HTML>\nF\n</HTML>\n");
}

// A name that two pages of a run share is written every time, even when
// its bytes come out the same.
TEST_F(GenerationRunTest, NameWrittenTwiceInARunIsRewrittenOnEveryRun) {
    LoadCsv(NamesCsv({"dup", "other", "dup"}));
    SetTemplate("[name]\n");
    Job s = Settings();
    s.ruleNum = 2;
    s.fieldNum = 1;
    Run(s, Range(1, 3));
    for (const auto& [name, st] : FileStats(out)) {
        const timespec times[2] = {{kLongAgo, 0}, {kLongAgo, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (out / name).c_str(), times, 0), 0);
    }
    const WriteWatch watch(out);
    const RunReport r = Run(s, Range(1, 3));
    EXPECT_EQ(watch.Written(), std::set<std::string>{"dup.html"});
    EXPECT_EQ(r.overwrittenNames, std::vector<std::string>{"dup.html"});
    EXPECT_EQ(r.unchangedFiles, 3);  // other.html, _index.html, _db.html
    const auto after = FileStats(out);
    EXPECT_NE(after.at("dup.html").st_mtim.tv_sec, kLongAgo);
    EXPECT_EQ(after.at("other.html").st_mtim.tv_sec, kLongAgo);
    EXPECT_EQ(Read("dup.html"), "dup\n");
}

// Two pages that are one file (a hard link, as a snapshot copy leaves them)
// become two files, each with its own page; the one that already held its
// bytes was left alone.
TEST_F(GenerationRunTest, PagesThatAreOneFileBecomeTwo) {
    LoadCsv(NamesCsv({"A", "B"}));
    Run(Settings(), {1, 2});
    fs::remove(out / "00002.html");
    fs::create_hard_link(out / "00001.html", out / "00002.html");
    const RunReport r = Run(Settings(), {1, 2});
    EXPECT_EQ(Read("00001.html"), "A\n");
    EXPECT_EQ(Read("00002.html"), "B\n");
    EXPECT_EQ(r.unchangedFiles, 3);  // 00001.html, _index.html and _db.html
    EXPECT_TRUE(r.AllWritten());
}

}  // namespace
