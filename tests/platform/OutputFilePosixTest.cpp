// Files of the output folder on a POSIX system: links, FIFOs, a full disk,
// times and permission bits.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "TestUtil.h"
#include "platform/OutputFolder.h"

namespace {

namespace fs = std::filesystem;
using platform::OutputFile;
using platform::OutputFolder;

// The folder named may be a link; below it, a link, a FIFO or anything
// but a regular file is no page, and nothing there is emptied or waited on.
TEST(OutputFile, RefusesWhatIsNoRegularFileBelowTheFolder) {
    testutil::TempDir dir;
    fs::create_directories(dir.Path() / "real" / "folder");
    fs::create_directory_symlink("real", dir.Path() / "named");
    const fs::path out = dir.Path() / "real";
    testutil::WriteBytes(dir.Path() / "precious.txt", "precious");
    fs::create_symlink("../precious.txt", out / "victim.html");
    ASSERT_EQ(::mkfifo((out / "fifo.html").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((out / "read.html").c_str(), 0600), 0);
    const int reader = ::open((out / "read.html").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);

    auto folder = platform::OpenOutputFolder((dir.Path() / "named").string());
    ASSERT_TRUE(folder);
    auto file = folder->NewFile();
    for (const char* name : {"victim.html", "fifo.html", "read.html", "folder", "missing/x.html",
                             "../precious.txt", ""}) {
        EXPECT_FALSE(file->Create(name)) << name;
        file->Append("dropped");
        EXPECT_FALSE(file->Close()) << name;  // nothing open
        EXPECT_TRUE(file->Text().empty());
        EXPECT_FALSE(file->CreateUnlessSame(name)) << name;  // nor read
        EXPECT_EQ(file->Closed(), OutputFile::Outcome::kNone);
    }
    ::close(reader);
    EXPECT_EQ(testutil::ReadBytes(dir.Path() / "precious.txt"), "precious");
    EXPECT_TRUE(file->Create("page.html"));
    EXPECT_TRUE(file->Close());
    EXPECT_TRUE(fs::exists(out / "page.html"));

    EXPECT_EQ(platform::OpenOutputFolder((dir.Path() / "missing").string()), nullptr);
    EXPECT_EQ(platform::OpenOutputFolder((dir.Path() / "precious.txt").string()), nullptr);
}

// A full disk: the lost bytes show at close, whether they were spilled
// before or left for the close.
TEST(OutputFile, ReportsBytesThatDidNotReachTheFile) {
    testutil::TempDir dir;
    auto folder = platform::OpenOutputFolder(dir.Path().string());
    ASSERT_TRUE(folder);
    struct sigaction ignore {}, old {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &old), 0);
    rlimit was{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &was), 0);
    const rlimit small{1000, was.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    auto out = folder->NewFile();
    for (const size_t size : {size_t{1001}, 2 * OutputFile::kSpillSize}) {
        ASSERT_TRUE(out->Create("full"));
        out->Append(std::string(size, 'x'));
        out->Spill();
        EXPECT_FALSE(out->Close()) << size;
    }
    ASSERT_TRUE(out->Create("fits"));
    out->Append(std::string(1000, 'x'));
    EXPECT_TRUE(out->Close());
    ::setrlimit(RLIMIT_FSIZE, &was);
    ::sigaction(SIGXFSZ, &old, nullptr);
}

// --- A file that already holds the bytes --------------------------------

constexpr time_t kLongAgo = 1000000000;  // 2001: far from any time a write sets

// Gives the file the modification time kLongAgo and returns its status
// after that, so that a later write shows in both times.
struct stat BackDate(const fs::path& file) {
    const timespec times[2] = {{kLongAgo, 0}, {kLongAgo, 0}};
    EXPECT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0) << file;
    struct stat st {};
    EXPECT_EQ(::stat(file.c_str(), &st), 0) << file;
    return st;
}

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// The new bytes are given in uneven pieces with a spill after each, as the
// page writer gives them: a file that holds them already keeps its bytes,
// its modification and change times; any other ends up with the new bytes.
TEST(OutputFile, LeavesAFileThatHoldsTheBytesAlone) {
    using Outcome = OutputFile::Outcome;
    const size_t big = 3 * OutputFile::kSpillSize + 12345;
    const std::string large = testutil::RandomBytes(11, big);
    auto changed = [](std::string bytes, size_t at) {
        bytes[at] = static_cast<char>(bytes[at] ^ 0x20);
        return bytes;
    };
    const struct {
        const char* what;
        std::optional<std::string> before;  // nothing: no file there
        std::string bytes;
        Outcome outcome;
    } cases[] = {
        {"same bytes, one piece", "<p>page</p>\n", "<p>page</p>\n", Outcome::kUnchanged},
        {"same bytes, many pieces", large, large, Outcome::kUnchanged},
        {"both empty", "", "", Outcome::kUnchanged},
        {"one byte different", "<p>page</p>\n", "<p>Page</p>\n", Outcome::kWritten},
        {"one byte different in the third piece", large,
         changed(large, 2 * OutputFile::kSpillSize + 77), Outcome::kWritten},
        {"one byte different in the last byte", large, changed(large, big - 1), Outcome::kWritten},
        {"longer by a byte", "<p>page</p>\n", "<p>page</p>\n\n", Outcome::kWritten},
        {"longer by pieces", large.substr(0, OutputFile::kSpillSize + 5), large, Outcome::kWritten},
        {"shorter by a byte", large, large.substr(0, big - 1), Outcome::kWritten},
        {"shorter by pieces", large, large.substr(0, OutputFile::kSpillSize / 2),
         Outcome::kWritten},
        {"empty now", "<p>page</p>\n", "", Outcome::kWritten},
        {"no file there", std::nullopt, large, Outcome::kWritten},
    };
    testutil::TempDir dir;
    auto folder = platform::OpenOutputFolder(dir.Path().string());
    ASSERT_TRUE(folder);
    auto out = folder->NewFile();  // one object for every file, as a run uses it
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path file = dir.Path() / "page.html";
        fs::remove(file);
        struct stat before {};
        if (c.before) {
            testutil::WriteBytes(file, *c.before);
            before = BackDate(file);
        }
        ASSERT_TRUE(out->CreateUnlessSame("page.html"));
        for (size_t at = 0, step = 1; at < c.bytes.size();
             at += step, step = step * 7 % 30011 + 1) {
            out->Append(std::string_view(c.bytes).substr(at, step));
            out->Spill();
        }
        EXPECT_TRUE(out->Close());
        EXPECT_EQ(out->Closed(), c.outcome);
        EXPECT_TRUE(testutil::ReadBytes(file) == c.bytes) << fs::file_size(file) << " bytes";
        struct stat after {};
        ASSERT_EQ(::stat(file.c_str(), &after), 0);
        if (!c.before) continue;
        EXPECT_EQ(after.st_ino, before.st_ino);  // written in place, as Create does
        const bool kept = c.outcome == Outcome::kUnchanged;
        EXPECT_EQ(SameTime(after.st_mtim, before.st_mtim), kept);
        EXPECT_EQ(after.st_mtim.tv_sec == kLongAgo, kept);
        if (kept) {
            EXPECT_TRUE(SameTime(after.st_ctim, before.st_ctim));
        }
    }
}

// What was found equal is in the file when the writing starts, also when
// another file has taken the name meanwhile.
TEST(OutputFile, BytesFoundEqualAreKept) {
    const std::string old = testutil::RandomBytes(5, 2 * OutputFile::kSpillSize);
    std::string now = old;
    now[OutputFile::kSpillSize + 3] ^= 1;
    const std::string first = now.substr(0, OutputFile::kSpillSize);
    const std::string rest = now.substr(OutputFile::kSpillSize);
    testutil::TempDir dir;
    const fs::path file = dir.Path() / "page.html";
    auto folder = platform::OpenOutputFolder(dir.Path().string());
    ASSERT_TRUE(folder);
    auto out = folder->NewFile();

    // Replaced between the first piece and the difference.
    testutil::WriteBytes(file, old);
    ASSERT_TRUE(out->CreateUnlessSame("page.html"));
    out->Append(first);
    out->Spill();
    testutil::WriteBytes(dir.Path() / "other", "another file");
    fs::rename(dir.Path() / "other", file);
    out->Append(rest);
    EXPECT_TRUE(out->Close());
    EXPECT_EQ(out->Closed(), OutputFile::Outcome::kWritten);
    EXPECT_TRUE(testutil::ReadBytes(file) == now);

}

// A file with other names is never written through: the name gets a new
// file with the old one's permission bits and the other names keep their
// bytes. A file the folder protects is not opened for writing at all.
TEST(OutputFile, LinkedFilesAreReplacedAndProtectedOnesLeftAlone) {
    const std::string old = testutil::RandomBytes(9, OutputFile::kSpillSize + 100);
    std::string late = old;  // differs only after the first spill
    late.back() ^= 1;
    const struct {
        const char* name;
        bool compare;  // CreateUnlessSame, else Create
        std::string bytes;
        OutputFile::Outcome outcome;
    } cases[] = {
        {"page.html", true, "new", OutputFile::Outcome::kWritten},
        {"page.html", true, late, OutputFile::Outcome::kWritten},
        {"sub/page.html", true, "new", OutputFile::Outcome::kWritten},
        {"page.html", false, old, OutputFile::Outcome::kWritten},
        {"page.html", true, old, OutputFile::Outcome::kUnchanged},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (c.compare ? " compared" : " created"));
        testutil::TempDir dir;
        fs::create_directory(dir.Path() / "sub");
        const fs::path file = dir.Path() / c.name, other = dir.Path() / "outside.txt";
        testutil::WriteBytes(other, old);
        ASSERT_EQ(::chmod(other.c_str(), 0640), 0);
        fs::create_hard_link(other, file);
        auto folder = platform::OpenOutputFolder(dir.Path().string());
        ASSERT_TRUE(folder);
        auto out = folder->NewFile();
        ASSERT_TRUE(c.compare ? out->CreateUnlessSame(c.name) : out->Create(c.name));
        for (size_t at = 0; at < c.bytes.size(); at += OutputFile::kSpillSize) {
            out->Append(std::string_view(c.bytes).substr(at, OutputFile::kSpillSize));
            out->Spill();
        }
        EXPECT_TRUE(out->Close());
        EXPECT_EQ(out->Closed(), c.outcome);
        EXPECT_TRUE(testutil::ReadBytes(other) == old);
        EXPECT_TRUE(testutil::ReadBytes(file) == c.bytes);
        const bool kept = c.outcome == OutputFile::Outcome::kUnchanged;
        EXPECT_EQ(fs::hard_link_count(file), kept ? 2u : 1u);
        EXPECT_EQ(fs::status(file).permissions(), fs::perms(0640));
        // Nothing hidden is left behind.
        size_t entries = 0;
        for (auto it = fs::recursive_directory_iterator(dir.Path()); it != fs::end(it); ++it)
            ++entries;
        EXPECT_EQ(entries, 3u);  // sub, outside.txt, the page
    }

    testutil::TempDir dir;
    const fs::path input = dir.Path() / "input.csv";
    testutil::WriteBytes(input, old);
    auto folder = platform::OpenOutputFolder(dir.Path().string());
    ASSERT_TRUE(folder);
    folder->Protect(input.string());
    auto out = folder->NewFile();
    EXPECT_FALSE(out->CreateUnlessSame("input.csv"));
    EXPECT_FALSE(out->Create("input.csv"));
    EXPECT_FALSE(out->IsOpen());
    EXPECT_TRUE(testutil::ReadBytes(input) == old);
}

}  // namespace
