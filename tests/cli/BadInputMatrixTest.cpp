// Bad input, end to end: the real quolix executable in batch mode, one fresh
// folder per case. Every case checks the exit status, that standard error is
// exactly the lines the user is meant to see, that the output folder holds
// exactly the pages named, that no file appears outside the output folder and
// that no file the run does not name is changed.
//
// docs/reliability.md is this table written out. The test below checks that
// it is up to date; to write it again after a change to the table:
//
//   QUOLIX_WRITE_RELIABILITY_DOC=$PWD/docs/reliability.md build/quolix_cli_tests
//     --gtest_filter='BadInputMatrixDocument.*'
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "BookMaker.h"
#include "TestUtil.h"
#include "platform/TextEncoding.h"
#include "settings/SettingsReader.h"
#include "platform/TextEncoding.h"

namespace {

namespace fs = std::filesystem;
using testutil::CannotOpen;
using testutil::InTheWay;
using testutil::Nameless;
using testutil::NoFolder;
using testutil::RunFile;
using testutil::TooLong;
using testutil::Unwritable;
using testutil::Cp;
using testutil::CrLf;
using testutil::kDone;
using testutil::kHangSeconds;
using testutil::kNoRecords;
using testutil::kNoTemplate;
using testutil::kSourceMissing;
using testutil::kUnderAddressSanitizer;
using testutil::NotWritten;
using testutil::RandomBytes;
using testutil::Say;
using testutil::ReadBytes;
using testutil::Repeat;
using testutil::TempDir;
using testutil::Warning;
using testutil::WriteBytes;
using Lines = std::vector<std::string>;

// ------------------------------------------------------------ running quolix

// Inputs larger than the memory the program is given.
constexpr uintmax_t kSparseSize = uintmax_t{2} << 30;
constexpr long kMemoryLimit = 512L << 20;

// Standard error's lines; `{dir}` stands for `folder` wherever that appears,
// so that a line does not depend on where the case ran.
Lines ErrLinesIn(const testutil::RunResult& run, const std::string& folder) {
    Lines lines = run.ErrLines();
    for (std::string& line : lines)
        for (size_t at; (at = line.find(folder)) != std::string::npos;)
            line.replace(at, folder.size(), "{dir}");
    return lines;
}

// ------------------------------------------------------------ inputs

// A CSV with the header id,title and one record per value.
std::string TitlesCsv(const Lines& values) {
    return testutil::NumberedCsv("title", values);
}

// ASCII text as UTF-16LE with a byte-order mark.
std::string Utf16(std::string_view ascii) {
    std::string bytes = "\xFF\xFE";
    for (char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

// Random bytes for a template, without the two that end a template's
// text: NUL and 0x1A.
std::string RandomTemplate() {
    std::string bytes = RandomBytes(3, 64 * 1024);
    for (char& c : bytes)
        if (c == '\0' || c == '\x1A') c = ' ';
    return bytes;
}

bool RunningAsRoot() { return geteuid() == 0; }

// A whole file in one read; empty when it cannot be read. (Inputs and pages
// run to tens of megabytes.)
std::string Slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in) return {};
    std::string bytes(static_cast<size_t>(in.tellg()), '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

// One case's folder: `work` is the run's current folder and holds the
// inputs, the output folder `out` (with a file the run does not name), a
// sibling folder with a page in it and a file next to the output folder.
class Scene {
public:
    Scene() : work_(dir_.Path() / "work") {
        fs::create_directories(work_ / "out");
        fs::create_directories(work_ / "sibling");
        WriteBytes(work_ / "sibling" / "00001.html", "a page of another site\n");
        WriteBytes(work_ / "out.html", "a file next to the output folder\n");
        WriteBytes(work_ / "out" / "keep.txt", "a file the run does not name\n");
        WriteBytes(work_ / "books.csv",
                   CrLf(Cp("id,title,shelf\n1,こころ,a\n2,門,b\n3,草枕,c\n")));
        WriteBytes(work_ / "page.html", Cp("<h1>[title]</h1>\n"));
    }

    const fs::path& Root() const { return dir_.Path(); }
    const fs::path& Work() const { return work_; }
    fs::path Out() const { return work_ / "out"; }

    void Write(const fs::path& name, std::string_view bytes) const { WriteBytes(work_ / name, bytes); }
    std::string Read(const fs::path& name) const { return Slurp(work_ / name); }
    void Folder(const fs::path& name) const { fs::create_directories(work_ / name); }
    void Fifo(const fs::path& name) const {
        ASSERT_EQ(::mkfifo((work_ / name).c_str(), 0600), 0) << name;
    }
    void Link(const fs::path& target, const fs::path& name) const {
        fs::create_symlink(target, work_ / name);
    }
    // A file of 2 GiB of zeros that takes no room on the disk.
    void Sparse(const fs::path& name) const {
        Write(name, "");
        fs::resize_file(work_ / name, kSparseSize);
    }
    void Mode(const fs::path& name, fs::perms perms) const {
        fs::permissions(work_ / name, perms, fs::perm_options::replace);
    }

    // A settings file: the three paths, fixChk (which lists the records
    // again, so that only SelItems are selected) and `extra` lines.
    std::string Settings(const std::string& name, std::string_view extra = "SelItems:1,2\n",
                         std::string_view csv = "books.csv", std::string_view html = "page.html",
                         std::string_view out = "out") const {
        Write(name, CrLf("      CSV:" + std::string(csv) + "\n     HTML:" + std::string(html) +
                         "\n      Out:" + std::string(out) + "\n   fixChk:0\n" +
                         std::string(extra)));
        return name;
    }

private:
    TempDir dir_;
    fs::path work_;
};

// Every entry under the case's folder: kind, size and a digest of the bytes.
struct EntryState {
    fs::file_type type;
    uintmax_t size;
    size_t digest;
    bool operator==(const EntryState&) const = default;
};
using Snapshot = std::map<std::string, EntryState>;

Snapshot Take(const fs::path& root) {
    Snapshot shot;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(
             root, fs::directory_options::skip_permission_denied, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (ec) break;
        const fs::file_status st = it->symlink_status(ec);
        EntryState state{st.type(), 0, 0};
        if (st.type() == fs::file_type::regular) {
            state.size = it->file_size(ec);
            if (state.size < kSparseSize)  // a sparse input is told by its size
                state.digest = std::hash<std::string>{}(Slurp(it->path()));
        }
        shot[fs::relative(it->path(), root).string()] = state;
    }
    return shot;
}

// ------------------------------------------------------------ the table

enum class Needs { Nothing, NotRoot };

struct MatrixCase {
    const char* id;       // test name
    const char* group;    // heading in the document
    const char* title;    // what is wrong
    const char* setup;    // how the inputs look
    // Writes the inputs; returns the settings files to run, in order (the
    // arguments after `--batch`).
    std::function<Lines(const Scene&)> prepare;
    int exitStatus;
    Lines err;    // standard error, line by line, exactly
    Lines pages;  // the output folder's entries afterwards, keep.txt aside
    // Further checks of what was written.
    std::function<void(const Scene&)> check = nullptr;
    long fileSizeLimit = 0;  // bytes; 0: no limit
    long memoryLimit = 0;    // bytes the program may allocate; 0: no limit
    // `prepare` gives the whole command line, `--batch` wherever it goes.
    bool wholeCommandLine = false;
    Needs needs = Needs::Nothing;
    // Set while the program does not yet do what the row says: why.
    const char* knownProblem = nullptr;
};

const std::string kNoMemory = Warning(testutil::kNoMemory);
const std::string kUnusedLines = Warning(testutil::Say(diag::Code::kSettingsLinesUnused));

// A SelItems line of 1 MB: record 3, then no records, then record 1.
std::string BigSelItems() {
    std::string sel = "SelItems:3,";
    while (sel.size() < 1024 * 1024) sel += "-7,99999999999999999999,40000,";
    return sel + "1";
}

// 64 KiB of random bytes with no line end: a settings file of one line.
std::string RandomLine() {
    std::string bytes = RandomBytes(1, 64 * 1024);
    std::erase(bytes, '\n');
    return bytes;
}
const Lines kBooksPages = {"00001.html", "00002.html", "_db.html", "_index.html"};

// Workbooks: an .xlsx of the sheets 一 and 二, a row of an .ods.
const testbook::Xlsx kTitles = {.sheets = {{"一", "<sheetData/>"}, {"二", "<sheetData/>"}}};
std::string Row(const std::vector<std::string>& values) {
    std::string row = "<table:table-row>";
    for (const std::string& v : values) row += "<table:table-cell><text:p>" + v + "</text:p></table:table-cell>";
    return row + "</table:table-row>";
}
const std::string kBookDamaged = testutil::Say(diag::Code::kBookDamaged);
const Lines kOnlyIndexAndDump = {"_db.html", "_index.html"};

// The line before a message about a file or folder: its path made absolute
// from the run's folder, {dir}/work.
std::string PathLine(std::string_view path) {
    return "  {dir}/work/" + std::string(path);
}

const std::string kLongName = Repeat("n", 300);
const std::string kLongJapaneseName = Repeat("名", 150);  // 300 bytes in code page 932
const std::string kLongestName = Repeat("m", 250);        // 255 bytes with ".html"
const std::string kUnclosedTail = "END OF THE TEMPLATE";

// Rule 2: pages named after column 1 (title) of a CSV of `values`, every
// record selected.
Lines ByValue(const Scene& s, const Lines& values) {
    s.Write("names.csv", TitlesCsv(values));
    std::string sel;
    for (size_t i = 1; i <= values.size(); ++i) sel += (i > 1 ? "," : "") + std::to_string(i);
    return {s.Settings("names.cfg", "ruleNum:2\nfieldNum:1\nSelItems:" + sel + "\n", "names.csv")};
}

// The line before the final status when files already held their bytes.
std::string Unchanged(int count) { return testutil::Say(diag::Code::kUnchangedFiles, count); }

bool IsUnchangedLine(const std::string& line) {
    const std::string zero = Unchanged(0);  // the text after the count
    return std::regex_match(line.substr(0, line.find(' ')), std::regex("[1-9][0-9]*")) &&
           line.substr(line.find(' ')) == zero.substr(1);
}

// Runs `cfg` once before the case's run, which then finds its output.
Lines AfterAnEarlierRun(
    const Scene& s, const std::string& cfg, const std::function<void()>& then = [] {}) {
    const testutil::RunResult first =
        testutil::RunQuolix({.folder = s.Work(), .arguments = {"--batch", cfg}});
    EXPECT_EQ(first.exitStatus, 0) << first.err;
    then();
    return {cfg};
}

// A UTF-8 template, and a CSV file whose titles are `titles` behind a byte
// order mark: rule 0, records 1 and 2.
Lines Utf8Site(const Scene& s, const Lines& titles) {
    s.Write("utf8.csv", "\xEF\xBB\xBF" + TitlesCsv(titles));
    s.Write("page8.html", "<meta charset=\"utf-8\"><h1>[title]</h1>\n");
    return {s.Settings("site.cfg", "SelItems:1,2\n", "utf8.csv", "page8.html")};
}

// Every file of the output folder but keep.txt is valid UTF-8.
void ExpectValidUtf8(const Scene& s) {
    for (const auto& entry : fs::directory_iterator(s.Out())) {
        if (entry.path().filename() != "keep.txt") {
            EXPECT_TRUE(platform::IsValidUtf8(Slurp(entry.path()))) << entry.path();
        }
    }
}

// The line after a run that wrote U+FFFD for bytes that are no character.
std::string Replaced(int count) { return testutil::Say(diag::Code::kReplacements, count); }

void ExpectPage(const Scene& s, const fs::path& name, const std::string& bytes) {
    ASSERT_TRUE(fs::exists(s.Out() / name)) << name;
    EXPECT_EQ(Slurp(s.Out() / name), bytes) << name;
}

const std::vector<MatrixCase>& Matrix() {
    static const std::vector<MatrixCase> cases = {
        // ---------------------------------------------------- settings file
        {.id = "SettingsMissing",
         .group = "Settings file",
         .title = "missing",
         .setup = "`quolix --batch missing.cfg`, no such file",
         .prepare = [](const Scene&) { return Lines{"missing.cfg"}; },
         .exitStatus = 1,
         .err = {PathLine("missing.cfg"), CannotOpen("missing.cfg"), kNoTemplate},
         .pages = {}},
        {.id = "SettingsEmpty",
         .group = "Settings file",
         .title = "empty",
         .setup = "a settings file of 0 bytes",
         .prepare =
             [](const Scene& s) {
                 s.Write("empty.cfg", "");
                 return Lines{"empty.cfg"};
             },
         .exitStatus = 1,
         .err = {kNoTemplate},
         .pages = {}},
        {.id = "SettingsBehindAFile",
         .group = "Settings file",
         .title = "unreadable: a path through a file",
         .setup = "`books.csv/site.cfg`, where books.csv is a file",
         .prepare = [](const Scene&) { return Lines{"books.csv/site.cfg"}; },
         .exitStatus = 1,
         .err = {PathLine("books.csv/site.cfg"), CannotOpen("books.csv/site.cfg"), kNoTemplate},
         .pages = {}},
        {.id = "SettingsMode000",
         .group = "Settings file",
         .title = "unreadable: mode 000",
         .setup = "a good settings file with mode 000 (checked when the tests do not run as "
                  "root, who reads it anyway)",
         .prepare =
             [](const Scene& s) {
                 s.Settings("locked.cfg");
                 s.Mode("locked.cfg", fs::perms::none);
                 return Lines{"locked.cfg"};
             },
         .exitStatus = 1,
         .err = {PathLine("locked.cfg"), CannotOpen("locked.cfg"), kNoTemplate},
         .pages = {},
         .needs = Needs::NotRoot},
        {.id = "SettingsIsAFolder",
         .group = "Settings file",
         .title = "a folder",
         .setup = "`folder.cfg` is a folder",
         .prepare =
             [](const Scene& s) {
                 s.Folder("folder.cfg");
                 return Lines{"folder.cfg"};
             },
         .exitStatus = 1,
         .err = {PathLine("folder.cfg"), CannotOpen("folder.cfg"), kNoTemplate},
         .pages = {}},
        {.id = "SettingsRandomBytes",
         .group = "Settings file",
         .title = "random bytes",
         .setup = "64 KiB of random bytes (fixed seed) on one line: told as a line not applied",
         .prepare =
             [](const Scene& s) {
                 s.Write("random.cfg", RandomLine());
                 return Lines{"random.cfg"};
             },
         .exitStatus = 1,
         .err = {kUnusedLines,
                 "1 行目: " + platform::EscapeForTerminal(*DecodeSettingsFile(RandomLine())),
                 kNoTemplate},
         .pages = {}},
        {.id = "SettingsSelItemsOf1MB",
         .group = "Settings file",
         .title = "a SelItems line of 1 MB",
         .setup = "SelItems: record 3, then 1 MB of -7, 99999999999999999999 and 40000 "
                  "(none of them records), then record 1",
         .prepare =
             [](const Scene& s) {
                 return Lines{s.Settings("big.cfg", BigSelItems() + "\n")};
             },
         .exitStatus = 1,
         .err = {kUnusedLines, "5 行目: " + BigSelItems(), kDone},
         .pages = {"00001.html", "00003.html", "_db.html", "_index.html"},
         .check = [](const Scene& s) { ExpectPage(s, "00003.html", Cp("<h1>草枕</h1>\n")); }},

        // ---------------------------------------------------- CSV source
        {.id = "SettingsIsAFifo",
         .group = "Settings file",
         .title = "a FIFO",
         .setup = "`fifo.cfg` is a FIFO that nobody writes to",
         .prepare =
             [](const Scene& s) {
                 s.Fifo("fifo.cfg");
                 return Lines{"fifo.cfg"};
             },
         .exitStatus = 1,
         .err = {PathLine("fifo.cfg"), CannotOpen("fifo.cfg"), kNoTemplate},
         .pages = {}},
        {.id = "SettingsIsADevice",
         .group = "Settings file",
         .title = "a device",
         .setup = "`quolix --batch /dev/urandom`",
         .prepare = [](const Scene&) { return Lines{"/dev/urandom"}; },
         .exitStatus = 1,
         .err = {"  /dev/urandom", CannotOpen("/dev/urandom"), kNoTemplate},
         .pages = {}},
        {.id = "SettingsLargerThanMemory",
         .group = "Settings file",
         .title = "larger than the memory to be had",
         .setup = "a settings file of 2 GiB (sparse), the program limited to 512 MiB",
         .prepare =
             [](const Scene& s) {
                 s.Sparse("huge.cfg");
                 return Lines{"huge.cfg"};
             },
         .exitStatus = 1,
         .err = {kNoMemory, kNoTemplate},
         .pages = {},
         .memoryLimit = kMemoryLimit},
        {.id = "SettingsUnknownEncodings",
         .group = "Settings file",
         .title = "encoding lines that name no encoding",
         .setup = "`csvCode:latin1` and `htmlCode:utf` ESC `[2J-8` after the paths: both count as "
                  "automatic, the run goes on; `csvCode: Shift_JIS ` or `htmlCode:UTF8` would "
                  "have been taken",
         .prepare =
             [](const Scene& s) {
                 return Lines{s.Settings("site.cfg", "  csvCode:latin1\n htmlCode:utf\x1b[2J-8\nSelItems:1,2\n")};
             },
         .exitStatus = 1,
         .err = {Warning(testutil::Say(diag::Code::kSettingsLinesUnused)),
                 "5 行目:   csvCode:latin1", "6 行目:  htmlCode:utf\\x1b[2J-8", kDone},
         .pages = kBooksPages},
        {.id = "CsvNotNamed",
         .group = "CSV source",
         .title = "not named",
         .setup = "an empty `CSV:` line",
         .prepare = [](const Scene& s) { return Lines{s.Settings("site.cfg", "SelItems:1\n", "")}; },
         .exitStatus = 1,
         .err = {testutil::kNoSource, kNoRecords},
         .pages = {}},
        {.id = "CsvMissing",
         .group = "CSV source",
         .title = "missing",
         .setup = "`CSV:no-such.csv`",
         .prepare =
             [](const Scene& s) { return Lines{s.Settings("site.cfg", "SelItems:1\n", "no-such.csv")}; },
         .exitStatus = 1,
         .err = {PathLine("no-such.csv"), kSourceMissing, kNoRecords},
         .pages = {}},
        {.id = "CsvEmpty",
         .group = "CSV source",
         .title = "empty",
         .setup = "a CSV file of 0 bytes",
         .prepare =
             [](const Scene& s) {
                 s.Write("empty.csv", "");
                 return Lines{s.Settings("site.cfg", "SelItems:1\n", "empty.csv")};
             },
         .exitStatus = 1,
         .err = {Warning(testutil::kEmptyFile), kUnusedLines, "5 行目: SelItems:1", kNoRecords},
         .pages = {}},
        {.id = "CsvBehindAFile",
         .group = "CSV source",
         .title = "unreadable: a path through a file",
         .setup = "`CSV:page.html/books.csv`, where page.html is a file",
         .prepare =
             [](const Scene& s) {
                 return Lines{s.Settings("site.cfg", "SelItems:1\n", "page.html/books.csv")};
             },
         .exitStatus = 1,
         .err = {PathLine("page.html/books.csv"), kSourceMissing, kNoRecords},
         .pages = {}},
        {.id = "CsvMode000",
         .group = "CSV source",
         .title = "unreadable: mode 000",
         .setup = "books.csv with mode 000 (checked when the tests do not run as root)",
         .prepare =
             [](const Scene& s) {
                 s.Mode("books.csv", fs::perms::none);
                 return Lines{s.Settings("site.cfg", "SelItems:1\n")};
             },
         .exitStatus = 1,
         .err = {PathLine("books.csv"), kSourceMissing, kNoRecords},
         .pages = {},
         .needs = Needs::NotRoot},
        {.id = "CsvIsAFolder",
         .group = "CSV source",
         .title = "a folder named .csv",
         .setup = "`CSV:data.csv`, where data.csv is a folder",
         .prepare =
             [](const Scene& s) {
                 s.Folder("data.csv");
                 return Lines{s.Settings("site.cfg", "SelItems:1\n", "data.csv")};
             },
         .exitStatus = 1,
         .err = {PathLine("data.csv"), kSourceMissing, kNoRecords},
         .pages = {}},
        {.id = "CsvRandomBytes",
         .group = "CSV source",
         .title = "random bytes",
         .setup = "64 KiB of random bytes (fixed seed), records 1 and 2 selected",
         .prepare =
             [](const Scene& s) {
                 s.Write("random.csv", RandomBytes(2, 64 * 1024));
                 return Lines{s.Settings("site.cfg", "SelItems:1,2\n", "random.csv")};
             },
         .exitStatus = 1,
         .err = {Warning(testutil::QuoteError(1)), kUnusedLines, "5 行目: SelItems:1,2", kNoRecords},
         .pages = {}},
        {.id = "CsvUtf16",
         .group = "CSV source",
         .title = "UTF-16 with a byte-order mark (Excel's Unicode text)",
         .setup = "a table saved as UTF-16LE with a BOM, its fields separated by tabs",
         .prepare =
             [](const Scene& s) {
                 s.Write("utf16.csv", Utf16("id\ttitle\r\n1\ta\r\n2\tb\r\n"));
                 return Lines{s.Settings("site.cfg", "SelItems:1,2\n", "utf16.csv")};
             },
         .exitStatus = 0,
         .err = {kDone},
         .pages = {"00001.html", "00002.html", "_db.html", "_index.html"}},
        {.id = "Csv40000Records",
         .group = "CSV source",
         .title = "40000 records",
         .setup = "a header and 40000 records; records 1, 31999, 32000 and 40000 selected",
         .prepare =
             [](const Scene& s) {
                 std::string csv = "id,title\r\n";
                 for (int i = 1; i <= 40000; ++i)
                     csv += std::to_string(i) + ",t" + std::to_string(i) + "\r\n";
                 s.Write("many.csv", csv);
                 return Lines{s.Settings("site.cfg", "SelItems:1,31999,32000,40000\n", "many.csv")};
             },
         .exitStatus = 1,
         .err = {Warning(testutil::kTooManyRecords), kUnusedLines,
                 "5 行目: SelItems:1,31999,32000,40000", kDone},
         .pages = {"00001.html", "31999.html", "_db.html", "_index.html"},
         .check =
             [](const Scene& s) {
                 ExpectPage(s, "31999.html", "<h1>t31999</h1>\n");
                 EXPECT_EQ(s.Read("out/_db.html").find("t32000<"), std::string::npos);
             }},
        {.id = "Csv100000Fields",
         .group = "CSV source",
         .title = "a record of 100000 fields",
         .setup = "record 1 has 100000 fields",
         .prepare =
             [](const Scene& s) {
                 std::string record = "1,wide";
                 for (int i = 3; i <= 100000; ++i) record += ",f" + std::to_string(i);
                 s.Write("wide.csv", "id,title,shelf\r\n" + record + "\r\n2,narrow,x\r\n");
                 return Lines{s.Settings("site.cfg", "SelItems:1,2\n", "wide.csv")};
             },
         .exitStatus = 1,
         .err = {Warning(testutil::TooManyFields(2)), kDone},
         .pages = kBooksPages,
         .check =
             [](const Scene& s) {
                 ExpectPage(s, "00001.html", "<h1>wide</h1>\n");
                 const std::string dump = s.Read("out/_db.html");
                 EXPECT_NE(dump.find("<td>f500</td>"), std::string::npos);
                 EXPECT_EQ(dump.find("<td>f501</td>"), std::string::npos);
             }},
        {.id = "Csv20MBField",
         .group = "CSV source",
         .title = "a field of 20 MB",
         .setup = "record 1's title is 20 MB of text",
         .prepare =
             [](const Scene& s) {
                 s.Write("huge.csv", "id,title\r\n1," + Repeat("0123456789abcdef", 20 << 16) +
                                         "\r\n2,small\r\n");
                 return Lines{s.Settings("site.cfg", "SelItems:1,2\n", "huge.csv")};
             },
         .exitStatus = 0,
         .err = {kDone},
         .pages = kBooksPages,
         .check =
             [](const Scene& s) {
                 EXPECT_EQ(fs::file_size(s.Out() / "00001.html"), (20u << 20) + 10);
                 ExpectPage(s, "00002.html", "<h1>small</h1>\n");
             }},

        // ---------------------------------------------------- workbook
        {.id = "BookXls",
         .group = "Workbook source",
         .title = "an Excel 97-2003 workbook",
         .setup = "`CSV:old.xls`, a compound file holding a `Workbook` stream",
         .prepare =
             [](const Scene& s) {
                 s.Write("old.xls", testbook::Compound({"Workbook"}));
                 return Lines{s.Settings("site.cfg", "SelItems:1\n", "old.xls")};
             },
         .exitStatus = 1,
         .err = {Warning(Say(diag::Code::kBookXls)), kNoRecords},
         .pages = {}},
        {.id = "BookPassword",
         .group = "Workbook source",
         .title = "a workbook with a password",
         .setup = "`CSV:secret.xlsx`, a compound file holding `EncryptionInfo` and `EncryptedPackage`",
         .prepare =
             [](const Scene& s) {
                 s.Write("secret.xlsx", testbook::Compound({"EncryptionInfo", "EncryptedPackage"}));
                 return Lines{s.Settings("site.cfg", "SelItems:1\n", "secret.xlsx")};
             },
         .exitStatus = 1,
         .err = {Warning(Say(diag::Code::kBookPassword)), kNoRecords},
         .pages = {}},
        {.id = "BookCut",
         .group = "Workbook source",
         .title = "a cut workbook",
         .setup = "the first 300 bytes of a workbook",
         .prepare =
             [](const Scene& s) {
                 s.Write("cut.xlsx", kTitles.Bytes().substr(0, 300));
                 return Lines{s.Settings("site.cfg", "SelItems:1\n", "cut.xlsx")};
             },
         .exitStatus = 1,
         .err = {Warning(kBookDamaged), kNoRecords},
         .pages = {}},
        {.id = "BookSheetMissing",
         .group = "Workbook source",
         .title = "a sheet the workbook does not hold",
         .setup = "`Sheet:三` for a workbook of the sheets 一 and 二",
         .prepare =
             [](const Scene& s) {
                 s.Write("book.xlsx", kTitles.Bytes());
                 return Lines{s.Settings("site.cfg", "    Sheet:三\nSelItems:1\n", "book.xlsx")};
             },
         .exitStatus = 1,
         .err = {Warning(kBookDamaged), kNoRecords},
         .pages = {}},
        {.id = "BookZipBomb",
         .group = "Workbook source",
         .title = "a part compressed 1000:1",
         .setup = "shared strings of 64 MiB of spaces, deflated to some 64 KiB; the program limited to 512 MiB",
         .prepare =
             [](const Scene& s) {
                 testbook::Xlsx bomb = kTitles;
                 bomb.sharedStrings = "<si><t>" + std::string(64 << 20, ' ') + "</t></si>";
                 s.Write("bomb.xlsx", bomb.Bytes());
                 return Lines{s.Settings("site.cfg", "SelItems:1\n", "bomb.xlsx")};
             },
         .exitStatus = 1,
         .err = {Warning(kBookDamaged), kNoRecords},
         .pages = {},
         .memoryLimit = kMemoryLimit},
        {.id = "BookEntities",
         .group = "Workbook source",
         .title = "entities that expand a billionfold",
         .setup = "a sheet whose document type defines nine entities of ten of the one before",
         .prepare =
             [](const Scene& s) {
                 std::string dtd = "<!DOCTYPE worksheet [<!ENTITY e0 \"lol\">";
                 for (int i = 1; i < 10; ++i) {
                     dtd += "<!ENTITY e" + std::to_string(i) + " \"";
                     for (int k = 0; k < 10; ++k) dtd += "&e" + std::to_string(i - 1) + ";";
                     dtd += "\">";
                 }
                 testbook::Parts parts = kTitles.Members();
                 parts[2].second = dtd + "]><worksheet><sheetData><row><c t=\"inlineStr\"><is><t>&e9;</t>"
                                         "</is></c></row></sheetData></worksheet>";
                 s.Write("laughs.xlsx", testbook::Zip(parts));
                 return Lines{s.Settings("site.cfg", "SelItems:1\n", "laughs.xlsx")};
             },
         .exitStatus = 1,
         .err = {Warning(kBookDamaged), kNoRecords},
         .pages = {},
         .memoryLimit = kMemoryLimit},
        {.id = "BookDeepNesting",
         .group = "Workbook source",
         .title = "XML nested 100000 deep",
         .setup = "a sheet of 100000 nested elements",
         .prepare =
             [](const Scene& s) {
                 testbook::Xlsx deep = kTitles;
                 deep.sheets[0].second = Repeat("<a>", 100000) + Repeat("</a>", 100000);
                 s.Write("deep.xlsx", deep.Bytes());
                 return Lines{s.Settings("site.cfg", "SelItems:1\n", "deep.xlsx")};
             },
         .exitStatus = 1,
         .err = {Warning(kBookDamaged), kNoRecords},
         .pages = {}},
        {.id = "BookMillionEmptyCells",
         .group = "Workbook source",
         .title = "an .ods of a million repeated rows of 16384 repeated cells",
         .setup = "a table of two records, then 1048573 empty rows of 16384 empty cells, as repeats",
         .prepare =
             [](const Scene& s) {
                 s.Write("list.ods",
                         testbook::Ods("<table:table table:name=\"t\">" + Row({"id", "title"}) + Row({"1", "a"}) +
                                       Row({"2", "b"}) +
                                       "<table:table-row table:number-rows-repeated=\"1048573\"><table:table-cell "
                                       "table:number-columns-repeated=\"16384\"/></table:table-row></table:table>"));
                 return Lines{s.Settings("site.cfg", "SelItems:1,2\n", "list.ods")};
             },
         .exitStatus = 0,
         .err = {kDone},
         .pages = kBooksPages,
         .check = [](const Scene& s) { ExpectPage(s, "00002.html", "<h1>b</h1>\n"); }},
        {.id = "BookFormatsAndFormulas",
         .group = "Workbook source",
         .title = "a format it cannot show, a formula without its value",
         .setup = "title 1 the number 12 in `[DBNum1]0`, title 2 a formula saved without its value",
         .prepare =
             [](const Scene& s) {
                 testbook::Xlsx book = kTitles;
                 book.sheets[0].second =
                     "<sheetData><row><c t=\"inlineStr\"><is><t>id</t></is></c><c t=\"inlineStr\"><is><t>title"
                     "</t></is></c></row><row><c><v>1</v></c><c s=\"1\"><v>12</v></c></row><row><c><v>2</v></c>"
                     "<c><f>A1*2</f></c></row></sheetData>";
                 book.styles = "<numFmts><numFmt numFmtId=\"200\" formatCode=\"[DBNum1]0\"/></numFmts>"
                               "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"200\"/></cellXfs>";
                 s.Write("book.xlsx", book.Bytes());
                 return Lines{s.Settings("site.cfg", "SelItems:1,2\n", "book.xlsx")};
             },
         .exitStatus = 1,
         .err = {Warning(diag::Text({.code = diag::Code::kBookUnknownFormat, .number = 1, .name = "[DBNum1]0"})),
                 Warning(Say(diag::Code::kBookFormulaNoValue, 1)), kDone},
         .pages = kBooksPages,
         .check =
             [](const Scene& s) {
                 ExpectPage(s, "00001.html", "<h1>12</h1>\n");
                 ExpectPage(s, "00002.html", "<h1></h1>\n");
             }},

        // ---------------------------------------------------- template
        {.id = "CsvIsAFifo",
         .group = "CSV source",
         .title = "a FIFO",
         .setup = "`data.csv` is a FIFO that nobody writes to",
         .prepare =
             [](const Scene& s) {
                 s.Fifo("data.csv");
                 return Lines{s.Settings("site.cfg", "SelItems:1\n", "data.csv")};
             },
         .exitStatus = 1,
         .err = {PathLine("data.csv"), kSourceMissing, kNoRecords},
         .pages = {}},
        {.id = "CsvIsADevice",
         .group = "CSV source",
         .title = "a device",
         .setup = "`CSV:/dev/zero`",
         .prepare =
             [](const Scene& s) { return Lines{s.Settings("site.cfg", "SelItems:1\n", "/dev/zero")}; },
         .exitStatus = 1,
         .err = {"  /dev/zero", kSourceMissing, kNoRecords},
         .pages = {}},
        {.id = "CsvLargerThanMemory",
         .group = "CSV source",
         .title = "larger than the memory to be had",
         .setup = "a CSV file of 2 GiB (sparse), the program limited to 512 MiB",
         .prepare =
             [](const Scene& s) {
                 s.Sparse("huge.csv");
                 return Lines{s.Settings("site.cfg", "SelItems:1\n", "huge.csv")};
             },
         .exitStatus = 1,
         .err = {kNoMemory, kNoRecords},
         .pages = {},
         .memoryLimit = kMemoryLimit},
        {.id = "CsvUnclosedQuote",
         .group = "CSV source",
         .title = "a quote that is never closed",
         .setup = "`id,title` / `1,Alpha` / `2,\"Beta` / `3,Gamma`: records 2 and 3 would be one "
                  "value",
         .prepare =
             [](const Scene& s) {
                 s.Write("quote.csv", "id,title\r\n1,Alpha\r\n2,\"Beta\r\n3,Gamma\r\n");
                 return Lines{s.Settings("site.cfg", "SelItems:1,2\n", "quote.csv")};
             },
         .exitStatus = 1,
         .err = {Warning(testutil::QuoteError(3)), kUnusedLines, "5 行目: SelItems:1,2", kDone},
         .pages = {"00001.html", "_db.html", "_index.html"},
         .check = [](const Scene& s) { ExpectPage(s, "00001.html", "<h1>Alpha</h1>\n"); }},
        {.id = "CsvLeadByteBeforeClosingQuote",
         .group = "CSV source",
         .title = "a lone lead byte before the closing quote",
         .setup = "`2,\"Beta` 0x81 `\"`: the lead byte takes the quote as its second byte",
         .prepare =
             [](const Scene& s) {
                 s.Write("quote.csv", "id,title\r\n1,Alpha\r\n2,\"Beta\x81\"\r\n3,Gamma\r\n");
                 return Lines{s.Settings("site.cfg", "SelItems:1,2\n", "quote.csv")};
             },
         .exitStatus = 1,
         .err = {Warning(testutil::QuoteError(3)), kUnusedLines, "5 行目: SelItems:1,2", kDone},
         .pages = {"00001.html", "_db.html", "_index.html"}},
        {.id = "CsvUtf8BadBytes",
         .group = "CSV source",
         .title = "UTF-8 with a byte order mark, and bytes that are no character",
         .setup = "titles `a` C0 AF `b` (overlong), ED A0 80 (a surrogate), F5 and F0 9F 98 (cut "
                  "short); a UTF-8 template: each piece becomes U+FFFD, 5 in the pages and 7 "
                  "in `_db.html`",
         .prepare =
             [](const Scene& s) {
                 return Utf8Site(s, {"a\xC0\xAF" "b", "\xED\xA0\x80", "\xF5\xF0\x9F\x98"});
             },
         .exitStatus = 0,
         .err = {Replaced(12), kDone},
         .pages = kBooksPages,
         .check =
             [](const Scene& s) {
                 ExpectValidUtf8(s);
                 ExpectPage(s, "00001.html", "<meta charset=\"utf-8\"><h1>a\uFFFD\uFFFD" "b</h1>\n");
             }},
        {.id = "CsvCodePage932ReadAsUtf8",
         .group = "CSV source",
         .title = "code page 932 read as UTF-8",
         .setup = "`--csv-encoding=utf-8` on a code page 932 file (titles こころ, 門, 草枕) with a "
                  "UTF-8 template",
         .prepare =
             [](const Scene& s) {
                 s.Write("page8.html", "<meta charset=\"utf-8\"><h1>[title]</h1>\n");
                 return Lines{"--batch", "--csv-encoding=utf-8",
                              s.Settings("site.cfg", "SelItems:1,2\n", "books.csv", "page8.html")};
             },
         .exitStatus = 0,
         .err = {Replaced(20), kDone},
         .pages = kBooksPages,
         .check = ExpectValidUtf8,
         .wholeCommandLine = true},
        {.id = "TemplateNotNamed",
         .group = "Template",
         .title = "not named",
         .setup = "an empty `HTML:` line",
         .prepare =
             [](const Scene& s) { return Lines{s.Settings("site.cfg", "SelItems:1\n", "books.csv", "")}; },
         .exitStatus = 1,
         .err = {kNoTemplate},
         .pages = {}},
        {.id = "TemplateMissing",
         .group = "Template",
         .title = "missing",
         .setup = "`HTML:no-such.html`",
         .prepare =
             [](const Scene& s) {
                 return Lines{s.Settings("site.cfg", "SelItems:1\n", "books.csv", "no-such.html")};
             },
         .exitStatus = 1,
         .err = {PathLine("no-such.html"), testutil::kTemplateMissing},
         .pages = {}},
        {.id = "TemplateEmpty",
         .group = "Template",
         .title = "empty",
         .setup = "a template of 0 bytes",
         .prepare =
             [](const Scene& s) {
                 s.Write("empty.html", "");
                 return Lines{s.Settings("site.cfg", "SelItems:1\n", "books.csv", "empty.html")};
             },
         // An empty template is a template: its pages are empty.
         .exitStatus = 0,
         .err = {kDone},
         .pages = {"00001.html", "_db.html", "_index.html"},
         .check = [](const Scene& s) { EXPECT_EQ(s.Read("out/00001.html"), ""); }},
        {.id = "TemplateBehindAFile",
         .group = "Template",
         .title = "unreadable: a path through a file",
         .setup = "`HTML:books.csv/page.html`, where books.csv is a file",
         .prepare =
             [](const Scene& s) {
                 return Lines{s.Settings("site.cfg", "SelItems:1\n", "books.csv", "books.csv/page.html")};
             },
         .exitStatus = 1,
         .err = {PathLine("books.csv/page.html"), testutil::kTemplateMissing},
         .pages = {}},
        {.id = "TemplateMode000",
         .group = "Template",
         .title = "unreadable: mode 000",
         .setup = "page.html with mode 000 (checked when the tests do not run as root)",
         .prepare =
             [](const Scene& s) {
                 s.Mode("page.html", fs::perms::none);
                 return Lines{s.Settings("site.cfg", "SelItems:1\n")};
             },
         .exitStatus = 1,
         .err = {PathLine("page.html"), testutil::kTemplateMissing},
         .pages = {},
         .needs = Needs::NotRoot},
        {.id = "TemplateIsAFolder",
         .group = "Template",
         .title = "a folder",
         .setup = "`HTML:folder.html`, where folder.html is a folder",
         .prepare =
             [](const Scene& s) {
                 s.Folder("folder.html");
                 return Lines{s.Settings("site.cfg", "SelItems:1\n", "books.csv", "folder.html")};
             },
         .exitStatus = 1,
         .err = {PathLine("folder.html"), testutil::kTemplateMissing},
         .pages = {}},
        {.id = "TemplateRandomBytes",
         .group = "Template",
         .title = "random bytes",
         .setup = "64 KiB of random bytes, none of them NUL or 0x1A (fixed seed): taken as they "
                  "are, CR LF read as LF",
         .prepare =
             [](const Scene& s) {
                 s.Write("random.html", RandomTemplate());
                 return Lines{s.Settings("site.cfg", "SelItems:1\n", "books.csv", "random.html")};
             },
         .exitStatus = 0,
         .err = {kDone},
         .pages = {"00001.html", "_db.html", "_index.html"},
         .check =
             [](const Scene& s) {
                 // Text mode: CR LF is LF.
                 const std::string raw = RandomTemplate();
                 std::string text;
                 for (size_t i = 0; i < raw.size(); ++i)
                     if (!(raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n'))
                         text += raw[i];
                 ASSERT_EQ(text.find("[title]"), std::string::npos);
                 ExpectPage(s, "00001.html", text);
             }},
        {.id = "TemplateUtf16",
         .group = "Template",
         .title = "UTF-16 with a byte-order mark",
         .setup = "`<h1>[title]</h1>` saved as UTF-16LE with a BOM",
         .prepare =
             [](const Scene& s) {
                 s.Write("utf16.html", Utf16("<h1>[title]</h1>\r\n"));
                 return Lines{s.Settings("site.cfg", "SelItems:1\n", "books.csv", "utf16.html")};
             },
         .exitStatus = 1,
         .err = {"  {dir}/work/utf16.html", testutil::kTemplateUtf16},
         .pages = {}},
        {.id = "TemplateDeclaresAnotherEncoding",
         .group = "Template",
         .title = "declares an encoding that is not read",
         .setup = "`<meta charset=\"euc-jp\">` (as a browser finds it, so not inside another "
                  "tag's attribute value), `htmlCode:utf-8`: a browser would read the pages as "
                  "EUC-JP whatever the program was told",
         .prepare =
             [](const Scene& s) {
                 s.Write("euc.html", "<p title=\"<meta charset=utf-8>\"><meta charset=\"euc-jp\">[title]");
                 return Lines{s.Settings("site.cfg", " htmlCode:utf-8\nSelItems:1\n", "books.csv",
                                         "euc.html")};
             },
         .exitStatus = 1,
         .err = {"  {dir}/work/euc.html",
                 "ﾃﾝﾌﾟﾚｰﾄ(HTML) の文字コード (EUC-JP) は読み込めません．UTF-8 か Shift_JIS "
                 "で保存してください．"},
         .pages = {}},
        {.id = "Template10MBUnclosedBracket",
         .group = "Template",
         .title = "10 MB with an unclosed \"[\"",
         .setup = "`<h1>[title]</h1>[` and 10 MB of text, no \"]\" after it",
         .prepare =
             [](const Scene& s) {
                 s.Write("big.html", "<h1>[title]</h1>[" + Repeat("0123456789abcdef", 10 << 16) +
                                         kUnclosedTail);
                 return Lines{s.Settings("site.cfg", "SelItems:1,2\n", "books.csv", "big.html")};
             },
         .exitStatus = 0,
         .err = {kDone},
         .pages = kBooksPages,
         .check =
             [](const Scene& s) {
                 const std::string page = s.Read("out/00002.html");
                 EXPECT_EQ(page.size(), (10u << 20) + Cp("<h1>門</h1>[").size() + kUnclosedTail.size());
                 EXPECT_TRUE(page.starts_with(Cp("<h1>門</h1>[0123")));
                 EXPECT_TRUE(page.ends_with(kUnclosedTail));
             }},
        {.id = "Template10MBUnclosedAngle",
         .group = "Template",
         .title = "10 MB with an unclosed \"<\", repeat mode",
         .setup = "`[title]<p>`, 5 MB, `<` and 5 MB more; two records to a page",
         .prepare =
             [](const Scene& s) {
                 s.Write("big.html", "[title]<p>" + Repeat("0123456789abcdef", 5 << 16) + "<" +
                                         Repeat("0123456789abcdef", 5 << 16) + kUnclosedTail);
                 return Lines{s.Settings("site.cfg", "repeatChk:1\nrepeat:2\nSelItems:1,2\n",
                                         "books.csv", "big.html")};
             },
         .exitStatus = 0,
         .err = {kDone},
         .pages = {"00001.html", "_db.html", "_index.html"},
         .check =
             [](const Scene& s) {
                 // Repeat mode strips tags, and a "<" that no ">" closes
                 // takes the rest of the template with it.
                 const std::string page = s.Read("out/00001.html");
                 EXPECT_EQ(page.find(kUnclosedTail), std::string::npos) << page.size();
                 EXPECT_TRUE(page.starts_with("<HTML>\n")) << page.substr(0, 40);
             }},

        // ---------------------------------------------------- output folder
        {.id = "TemplateIsAFifo",
         .group = "Template",
         .title = "a FIFO",
         .setup = "`page.html` is a FIFO that nobody writes to",
         .prepare =
             [](const Scene& s) {
                 std::filesystem::remove(s.Work() / "page.html");
                 s.Fifo("page.html");
                 return Lines{s.Settings("site.cfg", "SelItems:1\n")};
             },
         .exitStatus = 1,
         .err = {PathLine("page.html"), testutil::kTemplateMissing},
         .pages = {}},
        {.id = "TemplateIsADevice",
         .group = "Template",
         .title = "a device",
         .setup = "`HTML:/dev/urandom`",
         .prepare =
             [](const Scene& s) {
                 return Lines{s.Settings("site.cfg", "SelItems:1\n", "books.csv", "/dev/urandom")};
             },
         .exitStatus = 1,
         .err = {"  /dev/urandom", testutil::kTemplateMissing},
         .pages = {}},
        {.id = "TemplateLargerThanMemory",
         .group = "Template",
         .title = "larger than the memory to be had",
         .setup = "a template of 2 GiB (sparse), the program limited to 512 MiB",
         .prepare =
             [](const Scene& s) {
                 s.Sparse("huge.html");
                 return Lines{s.Settings("site.cfg", "SelItems:1\n", "books.csv", "huge.html")};
             },
         .exitStatus = 1,
         .err = {kNoMemory, testutil::kNoMemory},
         .pages = {},
         .memoryLimit = kMemoryLimit},
        {.id = "TemplateCtrlZBeforeText",
         .group = "Template",
         .title = "a 0x1A byte before more text",
         .setup = "`<h1>[title]</h1>`, then on line 2 a 0x1A byte and `<p>more</p>`",
         .prepare =
             [](const Scene& s) {
                 s.Write("page.html", "<h1>[title]</h1>\r\n\x1A<p>more</p>\r\n");
                 return Lines{s.Settings("site.cfg")};
             },
         .exitStatus = 1,
         .err = {Warning(testutil::EofInTemplate(2)), kDone},
         .pages = kBooksPages,
         .check = [](const Scene& s) { ExpectPage(s, "00002.html", Cp("<h1>門</h1>\n")); }},
        {.id = "TemplateCtrlZAtTheEnd",
         .group = "Template",
         .title = "0x1A bytes after the last line",
         .setup = "`<h1>[title]</h1>`, then 0x1A, CR LF and 0x1A: nothing is lost",
         .prepare =
             [](const Scene& s) {
                 s.Write("page.html", "<h1>[title]</h1>\r\n\x1A\r\n\x1A");
                 return Lines{s.Settings("site.cfg")};
             },
         .exitStatus = 0,
         .err = {kDone},
         .pages = kBooksPages},
        {.id = "OutNotNamed",
         .group = "Output folder",
         .title = "not named",
         .setup = "an empty `Out:` line",
         .prepare =
             [](const Scene& s) {
                 return Lines{s.Settings("site.cfg", "SelItems:1\n", "books.csv", "page.html", "")};
             },
         .exitStatus = 1,
         .err = {testutil::kNoOut},
         .pages = {}},
        {.id = "OutMissing",
         .group = "Output folder",
         .title = "missing",
         .setup = "`Out:no-such-folder`",
         .prepare =
             [](const Scene& s) {
                 return Lines{s.Settings("site.cfg", "SelItems:1\n", "books.csv", "page.html", "no-such-folder")};
             },
         .exitStatus = 1,
         .err = {PathLine("no-such-folder"), testutil::kOutMissing},
         .pages = {}},
        {.id = "OutBehindAFile",
         .group = "Output folder",
         .title = "unreadable: a path through a file",
         .setup = "`Out:books.csv/out`, where books.csv is a file",
         .prepare =
             [](const Scene& s) {
                 return Lines{s.Settings("site.cfg", "SelItems:1\n", "books.csv", "page.html", "books.csv/out")};
             },
         .exitStatus = 1,
         .err = {PathLine("books.csv/out"), testutil::kOutMissing},
         .pages = {}},
        {.id = "OutIsAFile",
         .group = "Output folder",
         .title = "a file",
         .setup = "`Out:out.html`, a file",
         .prepare =
             [](const Scene& s) {
                 return Lines{s.Settings("site.cfg", "SelItems:1\n", "books.csv", "page.html", "out.html")};
             },
         .exitStatus = 1,
         .err = {PathLine("out.html"), testutil::kOutMissing},
         .pages = {}},
        {.id = "OutMode000",
         .group = "Output folder",
         .title = "unreadable: mode 000",
         .setup = "the output folder with mode 000 (checked when the tests do not run as root)",
         .prepare =
             [](const Scene& s) {
                 s.Mode("out", fs::perms::none);
                 return Lines{s.Settings("site.cfg", "SelItems:1\n")};
             },
         .exitStatus = 1,
         .err = {PathLine("out"), testutil::kOutMissing},
         .pages = {},
         .needs = Needs::NotRoot},
        {.id = "OutReadOnly",
         .group = "Output folder",
         .title = "read-only",
         .setup = "the output folder with mode 555 (checked when the tests do not run as root)",
         .prepare =
             [](const Scene& s) {
                 s.Mode("out", fs::perms::owner_read | fs::perms::owner_exec |
                                   fs::perms::group_read | fs::perms::group_exec |
                                   fs::perms::others_read | fs::perms::others_exec);
                 return Lines{s.Settings("site.cfg")};
             },
         .exitStatus = 1,
         .err = {Warning(NotWritten(4)), Unwritable("out/_index.html"), Unwritable("out/_db.html"),
                 Unwritable("out/00001.html"), Unwritable("out/00002.html"), kDone},
         .pages = {},
         .needs = Needs::NotRoot},
        {.id = "OutNamesTakenByFolders",
         .group = "Output folder",
         .title = "no page can be made",
         .setup = "every name the run writes is taken by a folder (what a read-only folder "
                  "does, also for root)",
         .prepare =
             [](const Scene& s) {
                 for (const char* name : {"00001.html", "00002.html", "_index.html", "_db.html"})
                     s.Folder(fs::path("out") / name);
                 return Lines{s.Settings("site.cfg")};
             },
         .exitStatus = 1,
         .err = {Warning(NotWritten(4)), InTheWay("out/_index.html"), InTheWay("out/_db.html"),
                 InTheWay("out/00001.html"), InTheWay("out/00002.html"), kDone},
         .pages = kBooksPages,  // the folders, untouched
         .check =
             [](const Scene& s) {
                 for (const std::string& name : kBooksPages) {
                     EXPECT_TRUE(fs::is_directory(s.Out() / name)) << name;
                     EXPECT_TRUE(fs::is_empty(s.Out() / name)) << name;
                 }
             }},
        {.id = "DiskFillsUp",
         .group = "Output folder",
         .title = "the disk fills up mid-run",
         .setup = "no file may grow past 350 KiB (RLIMIT_FSIZE); page n holds n × 100 KiB",
         .prepare =
             [](const Scene& s) {
                 Lines titles;
                 for (int n = 1; n <= 6; ++n) titles.push_back(Repeat("x", n * 100 * 1024));
                 s.Write("growing.csv", TitlesCsv(titles));
                 return Lines{s.Settings("site.cfg", "SelItems:1,2,3,4,5,6\n", "growing.csv")};
             },
         .exitStatus = 1,
         .err = {Warning(NotWritten(4)), Unwritable("out/_db.html"), Unwritable("out/00004.html"),
                 Unwritable("out/00005.html"), Unwritable("out/00006.html"), kDone},
         .pages = {"00001.html", "00002.html", "00003.html", "00004.html", "00005.html",
                   "00006.html", "_db.html", "_index.html"},
         .check =
             [](const Scene& s) {
                 EXPECT_EQ(fs::file_size(s.Out() / "00003.html"), 300u * 1024 + 10);
                 EXPECT_EQ(fs::file_size(s.Out() / "00004.html"), 350u * 1024);
                 EXPECT_TRUE(s.Read("out/_index.html").ends_with("</body></html>"));
             },
         .fileSizeLimit = 350 * 1024},

        // ---------------------------------------------------- page names
        {.id = "OutLinkToAFileOutside",
         .group = "Output folder",
         .title = "a page that is a link to a file outside",
         .setup = "`out/00001.html` is a link to `../out.html`",
         .prepare =
             [](const Scene& s) {
                 s.Link("../out.html", "out/00001.html");
                 return Lines{s.Settings("site.cfg")};
             },
         .exitStatus = 1,
         .err = {Warning(NotWritten(1)), InTheWay("out/00001.html"), kDone},
         .pages = kBooksPages},
        {.id = "OutLinkedFolder",
         .group = "Output folder",
         .title = "a linked folder below the output folder",
         .setup = "`out/link` is a link to `../sibling`; values `link/x` and `c`",
         .prepare =
             [](const Scene& s) {
                 s.Link("../sibling", "out/link");
                 return ByValue(s, {"link/x", "c"});
             },
         .exitStatus = 1,
         .err = {Warning(NotWritten(1)), InTheWay("out/link/x.html"), kDone},
         .pages = {"_db.html", "_index.html", "c.html", "link"}},
        {.id = "OutDanglingLink",
         .group = "Output folder",
         .title = "a dangling link to an absolute path",
         .setup = "`out/00002.html` is a link to `{dir}/planted.html`, which does not exist",
         .prepare =
             [](const Scene& s) {
                 s.Link((s.Root() / "planted.html").string(), "out/00002.html");
                 return Lines{s.Settings("site.cfg")};
             },
         .exitStatus = 1,
         .err = {Warning(NotWritten(1)), InTheWay("out/00002.html"), kDone},
         .pages = kBooksPages},
        {.id = "OutLinkedIndexAndDump",
         .group = "Output folder",
         .title = "_index.html and _db.html are links",
         .setup = "`out/_index.html` links to `../out.html`, `out/_db.html` to `../books.csv`",
         .prepare =
             [](const Scene& s) {
                 s.Link("../out.html", "out/_index.html");
                 s.Link("../books.csv", "out/_db.html");
                 return Lines{s.Settings("site.cfg")};
             },
         .exitStatus = 1,
         .err = {Warning(NotWritten(2)), InTheWay("out/_index.html"), InTheWay("out/_db.html"), kDone},
         .pages = kBooksPages},
        {.id = "OutFifos",
         .group = "Output folder",
         .title = "FIFOs at a page and at _index.html",
         .setup = "`out/00001.html` and `out/_index.html` are FIFOs that nobody reads",
         .prepare =
             [](const Scene& s) {
                 s.Fifo("out/00001.html");
                 s.Fifo("out/_index.html");
                 return Lines{s.Settings("site.cfg")};
             },
         .exitStatus = 1,
         .err = {Warning(NotWritten(2)), InTheWay("out/_index.html"), InTheWay("out/00001.html"), kDone},
         .pages = kBooksPages},
        {.id = "NameWithSlash",
         .group = "Pages named by a column's value (ruleNum 2)",
         .title = "a value with \"/\"",
         .setup = "values `a/b` (there is no folder a) and `c`",
         .prepare = [](const Scene& s) { return ByValue(s, {"a/b", "c"}); },
         .exitStatus = 1,
         .err = {Warning(NotWritten(1)), NoFolder("out/a/b.html"), kDone},
         .pages = {"_db.html", "_index.html", "c.html"}},
        {.id = "NameWithDotDot",
         .group = "Pages named by a column's value (ruleNum 2)",
         .title = "values with \"..\"",
         .setup = "values `..`, `.`, `../out` and `sub/../../out` (the file out.html next to the "
                  "output folder); out/sub is a folder. The first two would make the hidden files "
                  "`...html` and `..html`",
         .prepare =
             [](const Scene& s) {
                 s.Folder("out/sub");
                 return ByValue(s, {"..", ".", "../out", "sub/../../out"});
             },
         .exitStatus = 1,
         .err = {Warning(NotWritten(4)), Nameless("out/...html"), Nameless("out/..html"),
                 Unwritable("out/../out.html"), Unwritable("out/sub/../../out.html"), kDone},
         .pages = {"_db.html", "_index.html", "sub"},
         .check = [](const Scene& s) { EXPECT_TRUE(fs::is_empty(s.Out() / "sub")); }},
        {.id = "NameAbsolute",
         .group = "Pages named by a column's value (ruleNum 2)",
         .title = "an absolute path",
         .setup = "value `{dir}/work/out`, {dir}/work being the run's folder, where out.html is",
         .prepare =
             [](const Scene& s) { return ByValue(s, {(s.Work() / "out").string(), "c"}); },
         .exitStatus = 1,
         .err = {Warning(NotWritten(1)), Unwritable("out/{dir}/work/out.html"), kDone},
         .pages = {"_db.html", "_index.html", "c.html"}},
        {.id = "NameControlCharacters",
         .group = "Pages named by a column's value (ruleNum 2)",
         .title = "control characters",
         .setup = "values with a tab, a bell, an escape sequence, a line feed and DEL",
         .prepare =
             [](const Scene& s) {
                 return ByValue(s, {"tab\there", "bell\x07", "esc\x1b[0m", "line\nfeed", "del\x7f"});
             },
         .exitStatus = 0,
         .err = {kDone},
         .pages = {"_db.html", "_index.html", "bell\x07.html", "del\x7f.html", "esc\x1b[0m.html",
                   "line\nfeed.html", "tab\there.html"},
         .check =
             [](const Scene& s) { ExpectPage(s, "line\nfeed.html", "<h1>line<br>feed</h1>\n"); }},
        {.id = "NameOf300Bytes",
         .group = "Pages named by a column's value (ruleNum 2)",
         .title = "300-byte names",
         .setup = "values of 300 × `n`, 150 × `名` (300 bytes) and 250 × `m`",
         .prepare =
             [](const Scene& s) {
                 return ByValue(s, {kLongName, Cp(kLongJapaneseName), kLongestName});
             },
         .exitStatus = 1,
         .err = {Warning(NotWritten(2)), TooLong("out/" + kLongName + ".html"),
                 TooLong("out/" + kLongJapaneseName + ".html"), kDone},
         .pages = {"_db.html", "_index.html", kLongestName + ".html"}},
        {.id = "NameJapanese",
         .group = "Pages named by a column's value (ruleNum 2)",
         .title = "Japanese text",
         .setup = "values `日本語` and `ｶﾀｶﾅ`",
         .prepare = [](const Scene& s) { return ByValue(s, {Cp("日本語"), Cp("ｶﾀｶﾅ")}); },
         .exitStatus = 0,
         .err = {kDone},
         .pages = {"_db.html", "_index.html", "ｶﾀｶﾅ.html", "日本語.html"},
         .check =
             [](const Scene& s) {
                 ExpectPage(s, "日本語.html", Cp("<h1>日本語</h1>\n"));
                 const std::string index = s.Read("out/_index.html");
                 EXPECT_NE(index.find(Cp("<a href=\"日本語.html\">日本語</a>")), std::string::npos)
                     << index;
                 EXPECT_NE(index.find(Cp("<a href=\"ｶﾀｶﾅ.html\">ｶﾀｶﾅ</a>")), std::string::npos);
             }},
        {.id = "NameTwice",
         .group = "Pages named by a column's value (ruleNum 2)",
         .title = "two records, one name",
         .setup = "values `dup`, `other`, `dup`",
         .prepare = [](const Scene& s) { return ByValue(s, {"dup", "other", "dup"}); },
         .exitStatus = 1,
         .err = {Warning(testutil::Overwritten(1)), "dup.html", kDone},
         .pages = {"_db.html", "_index.html", "dup.html", "other.html"}},
        {.id = "NameWithoutUnicodeForm",
         .group = "Pages named by a column's value (ruleNum 2)",
         .title = "values with no Unicode form",
         .setup = "values 0xFD, 0xFE and `?`: all three are the file name `?.html`",
         .prepare = [](const Scene& s) { return ByValue(s, {"\xFD", "\xFE", "?"}); },
         .exitStatus = 1,
         .err = {Warning(testutil::Overwritten(2)), "?.html", "?.html",
                 kDone},
         .pages = {"?.html", "_db.html", "_index.html"}},
        {.id = "NamesOfTheIndexAndDump",
         .group = "Pages named by a column's value (ruleNum 2)",
         .title = "values that name the index and the dump",
         .setup = "values `_index`, `_db` and `c`: those pages would be lost under the run's own "
                  "files, so they are not written",
         .prepare = [](const Scene& s) { return ByValue(s, {"_index", "_db", "c"}); },
         .exitStatus = 1,
         .err = {Warning(NotWritten(2)), RunFile("out/_index.html"), RunFile("out/_db.html"), kDone},
         .pages = {"_db.html", "_index.html", "c.html"},
         .check =
             [](const Scene& s) {
                 EXPECT_TRUE(s.Read("out/_index.html").ends_with("</pre></body></html>"));
                 const std::string db = s.Read("out/_db.html");
                 EXPECT_TRUE(db.starts_with("<html><head>") && db.ends_with("</table></body></html>\n"))
                     << db;
             }},
        {.id = "NameOfTheTemplate",
         .group = "Pages named by a column's value (ruleNum 2)",
         .title = "a value that names the template",
         .setup = "the template is `out/t.html`; values `t` and `x`: the run never writes its "
                  "own template (nor its CSV or settings file)",
         .prepare =
             [](const Scene& s) {
                 s.Write("out/t.html", "<p>[title]</p>\n");
                 s.Write("names.csv", TitlesCsv({"t", "x"}));
                 return Lines{s.Settings("names.cfg", "ruleNum:2\nfieldNum:1\nSelItems:1,2\n",
                                         "names.csv", "out/t.html")};
             },
         .exitStatus = 1,
         .err = {Warning(NotWritten(1)), RunFile("out/t.html"), kDone},
         .pages = {"_db.html", "_index.html", "t.html", "x.html"},
         .check =
             [](const Scene& s) {
                 ExpectPage(s, "t.html", "<p>[title]</p>\n");
                 ExpectPage(s, "x.html", "<p>x</p>\n");
             }},
        {.id = "NameEndsInLoneLeadByte",
         .group = "Pages named by a column's value (ruleNum 2)",
         .title = "a lead byte as the last byte of the file",
         .setup = "values `ab` and `cd` 0x81, the file ending in that byte: `cd?.html`, the dot "
                  "kept",
         .prepare =
             [](const Scene& s) {
                 s.Write("names.csv", "id,title\r\n1,ab\r\n2,cd\x81");
                 return Lines{s.Settings("names.cfg", "ruleNum:2\nfieldNum:1\nSelItems:1,2\n",
                                         "names.csv")};
             },
         .exitStatus = 0,
         .err = {kDone},
         .pages = {"_db.html", "_index.html", "ab.html", "cd?.html"},
         .check =
             [](const Scene& s) {
                 const std::string index = s.Read("out/_index.html");
                 EXPECT_NE(index.find("<a href=\"cd%3F.html\">cd\x81</a>"), std::string::npos)
                     << index;
             }},

        // ---------------------------------------------------- earlier output
        {.id = "RerunNothingChanged",
         .group = "Files of an earlier run",
         .title = "a rerun with nothing changed",
         .setup = "`quolix --batch site.cfg` ran before: every file already holds its bytes and "
                  "is left as it is, modification time included",
         .prepare = [](const Scene& s) { return AfterAnEarlierRun(s, s.Settings("site.cfg")); },
         .exitStatus = 0,
         .err = {Unchanged(4), kDone},
         .pages = kBooksPages},
        {.id = "RerunReadOnlyPage",
         .group = "Files of an earlier run",
         .title = "a read-only page that holds its bytes",
         .setup = "the run before; then `out/00001.html` made mode 444 (checked when the tests do "
                  "not run as root)",
         .prepare =
             [](const Scene& s) {
                 return AfterAnEarlierRun(s, s.Settings("site.cfg"), [&s] {
                     s.Mode("out/00001.html", fs::perms::owner_read | fs::perms::group_read |
                                                  fs::perms::others_read);
                 });
             },
         .exitStatus = 0,
         .err = {Unchanged(4), kDone},
         .pages = kBooksPages,
         .needs = Needs::NotRoot},
        {.id = "RerunPageNotWritten",
         .group = "Files of an earlier run",
         .title = "a rerun that cannot write a page",
         .setup = "the run before; then `out/00002.html` replaced by a link to `../out.html`",
         .prepare =
             [](const Scene& s) {
                 return AfterAnEarlierRun(s, s.Settings("site.cfg"), [&s] {
                     fs::remove(s.Out() / "00002.html");
                     s.Link("../out.html", "out/00002.html");
                 });
             },
         .exitStatus = 1,
         .err = {Warning(NotWritten(1)), InTheWay("out/00002.html"), Unchanged(2), kDone},
         .pages = kBooksPages},

        {.id = "RerunPageLinkedOutside",
         .group = "Files of an earlier run",
         .title = "a page that is a hard link to a file outside",
         .setup = "`ln out.html out/00001.html` before the run: the page gets a file of its own, "
                  "`out.html` keeps its bytes",
         .prepare =
             [](const Scene& s) {
                 fs::create_hard_link(s.Work() / "out.html", s.Out() / "00001.html");
                 return Lines{s.Settings("site.cfg")};
             },
         .exitStatus = 0,
         .err = {kDone},
         .pages = kBooksPages,
         .check =
             [](const Scene& s) {
                 ExpectPage(s, "00001.html", Cp("<h1>こころ</h1>\n"));
                 EXPECT_EQ(fs::hard_link_count(s.Work() / "out.html"), 1u);
             }},
        {.id = "RerunOverASnapshot",
         .group = "Files of an earlier run",
         .title = "a snapshot made with hard links",
         .setup = "the run before, `cp -al out snap`, then record 1's title changed: the rerun "
                  "replaces `00001.html` and `_db.html`, the snapshot keeps the old ones",
         .prepare =
             [](const Scene& s) {
                 return AfterAnEarlierRun(s, s.Settings("site.cfg"), [&s] {
                     fs::copy(s.Out(), s.Work() / "snap",
                              fs::copy_options::recursive | fs::copy_options::create_hard_links);
                     s.Write("books.csv", CrLf(Cp("id,title,shelf\n1,坊っちゃん,a\n2,門,b\n3,草枕,c\n")));
                 });
             },
         .exitStatus = 0,
         .err = {Unchanged(2), kDone},
         .pages = kBooksPages,
         .check =
             [](const Scene& s) {
                 ExpectPage(s, "00001.html", Cp("<h1>坊っちゃん</h1>\n"));
                 EXPECT_EQ(s.Read("snap/00001.html"), Cp("<h1>こころ</h1>\n"));
             }},
        {.id = "RerunIndexLinkedToDump",
         .group = "Files of an earlier run",
         .title = "`_db.html` a hard link to `_index.html`",
         .setup = "the run before; then `_db.html` replaced by a hard link to `_index.html`: they "
                  "end as two files, the index left as it was",
         .prepare =
             [](const Scene& s) {
                 return AfterAnEarlierRun(s, s.Settings("site.cfg"), [&s] {
                     fs::remove(s.Out() / "_db.html");
                     fs::create_hard_link(s.Out() / "_index.html", s.Out() / "_db.html");
                 });
             },
         .exitStatus = 0,
         .err = {Unchanged(3), kDone},
         .pages = kBooksPages,
         .check =
             [](const Scene& s) {
                 EXPECT_EQ(fs::hard_link_count(s.Out() / "_index.html"), 1u);
                 EXPECT_TRUE(s.Read("out/_index.html").starts_with("<html>\n<head>"));
                 EXPECT_TRUE(s.Read("out/_db.html").ends_with("</table></body></html>\n"));
             }},

        // ---------------------------------------------------- command line
        {.id = "SettingsBeforeAndAfterBatch",
         .group = "Command line and messages",
         .title = "settings files before and after --batch",
         .setup = "`quolix first.cfg --batch second.cfg`: record 1, then record 2 into the same "
                  "folder; each run under a line with its file's name. The second finds "
                  "`_db.html` as it would write it",
         .prepare =
             [](const Scene& s) {
                 return Lines{s.Settings("first.cfg", "SelItems:1\n"), "--batch",
                              s.Settings("second.cfg", "SelItems:2\n")};
             },
         .exitStatus = 0,
         .err = {"==> first.cfg <==", kDone, "==> second.cfg <==", Unchanged(1), kDone},
         .pages = kBooksPages,
         .check =
             [](const Scene& s) {
                 // The index is the later run's.
                 const std::string index = s.Read("out/_index.html");
                 EXPECT_EQ(index.find("00001.html"), std::string::npos) << index;
                 EXPECT_NE(index.find("00002.html"), std::string::npos) << index;
             },
         .wholeCommandLine = true},
        {.id = "SettingsNamedLikeAnOption",
         .group = "Command line and messages",
         .title = "a settings file named like an option",
         .setup = "`quolix --batch -- --site.cfg`: after `--` every argument is a file",
         .prepare = [](const Scene& s) { return Lines{"--", s.Settings("--site.cfg")}; },
         .exitStatus = 0,
         .err = {kDone},
         .pages = kBooksPages},
        {.id = "ControlCharactersInNames",
         .group = "Command line and messages",
         .title = "control characters in names",
         .setup = "`quolix --batch good.cfg $'b\\nc.cfg' $'gone\\e.cfg'`: the source of "
                  "b\\nc.cfg, `no\\e[31m.csv`, is missing, and so is gone\\e.cfg; names are "
                  "shown with control bytes as \\xNN",
         .prepare =
             [](const Scene& s) {
                 return Lines{s.Settings("good.cfg"),
                              s.Settings("b\nc.cfg", "SelItems:1\n", "no\x1b[31m.csv"),
                              "gone\x1b.cfg"};
             },
         .exitStatus = 1,
         .err = {"==> good.cfg <==", kDone, "==> b\\x0ac.cfg <==", PathLine("no\\x1b[31m.csv"),
                 kSourceMissing, kNoRecords, "==> gone\\x1b.cfg <==", PathLine("gone\\x1b.cfg"),
                 CannotOpen("gone\\x1b.cfg"), kNoTemplate},
         .pages = kBooksPages},
        {.id = "PathsAsUsed",
         .group = "Command line and messages",
         .title = "paths in messages",
         .setup = "`CSV:./sub/../no-such.csv` (there is no folder sub) and "
                  "`HTML:{dir}/work/none.html`: each path made absolute from the current folder, "
                  "nothing in it resolved",
         .prepare =
             [](const Scene& s) {
                 return Lines{s.Settings("site.cfg", "SelItems:1\n", "./sub/../no-such.csv",
                                         (s.Work() / "none.html").string())};
             },
         .exitStatus = 1,
         .err = {PathLine("./sub/../no-such.csv"), kSourceMissing, "  {dir}/work/none.html",
                 testutil::kTemplateMissing},
         .pages = {}},
        {.id = "ControlCharactersInUnwrittenNames",
         .group = "Command line and messages",
         .title = "control characters in pages not written",
         .setup = "ruleNum 2 with values `esc\\e[31m/x`, `line\\nfeed/y` and `csi` U+009B `31m/z` "
                  "(no such folders) and `c`",
         .prepare =
             [](const Scene& s) {
                 return ByValue(s, {"esc\x1b[31m/x", "line\nfeed/y", "csi\xC2\x9B" "31m/z", "c"});
             },
         .exitStatus = 1,
         .err = {Warning(NotWritten(3)), NoFolder("out/esc\\x1b[31m/x.html"),
                 NoFolder("out/line\\x0afeed/y.html"), NoFolder("out/csi\\xc2\\x9b31m/z.html"), kDone},
         .pages = {"_db.html", "_index.html", "c.html"}},
    };
    return cases;
}

// ------------------------------------------------------------ the test

class BadInputMatrix : public ::testing::TestWithParam<size_t> {};

TEST_P(BadInputMatrix, Batch) {
    const MatrixCase& c = Matrix()[GetParam()];
    if (c.knownProblem) GTEST_SKIP() << "known problem: " << c.knownProblem;
    if (c.needs == Needs::NotRoot && RunningAsRoot())
        GTEST_SKIP() << "runs as root, and root reads and writes whatever the mode says";
    SCOPED_TRACE(std::string(c.group) + ": " + c.title);

    Scene scene;
    Lines arguments = c.prepare(scene);
    if (!c.wholeCommandLine) arguments.insert(arguments.begin(), "--batch");
    const Snapshot before = Take(scene.Root());
    testutil::RunResult run = testutil::RunQuolix({.folder = scene.Work(),
                                                   .arguments = arguments,
                                                   .fileSizeLimit = c.fileSizeLimit,
                                                   .memoryLimit = c.memoryLimit});
    if (c.memoryLimit > 0 && kUnderAddressSanitizer)
        run.err = std::regex_replace(
            run.err, std::regex("==[0-9]+==WARNING: AddressSanitizer failed to allocate [^\n]*\n"), "");
    const Snapshot after = Take(scene.Root());
    fs::permissions(scene.Out(), fs::perms::owner_all, fs::perm_options::add);

    ASSERT_TRUE(run.finished) << "killed after " << kHangSeconds << " s: " << run.err;
    ASSERT_EQ(run.signal, 0) << "ended by signal " << run.signal << ": " << run.err;
    EXPECT_EQ(run.exitStatus, c.exitStatus) << run.err;
    EXPECT_EQ(ErrLinesIn(run, scene.Root().string()), c.err);
    EXPECT_EQ(run.out, "");

    std::set<std::string> expected(c.pages.begin(), c.pages.end());
    expected.insert("keep.txt");
    std::set<std::string> present;
    for (const auto& entry : fs::directory_iterator(scene.Out()))
        present.insert(entry.path().filename().string());
    EXPECT_EQ(present, expected);

    // Outside the output folder nothing appears and nothing changes; in it,
    // only what the run names.
    const std::string outPrefix = "work/out/";
    auto runNames = [&](const std::string& path) {
        if (!path.starts_with(outPrefix)) return false;
        const std::string rest = path.substr(outPrefix.size());
        return rest != "keep.txt" && expected.count(rest.substr(0, rest.find('/'))) > 0;
    };
    for (const auto& [path, state] : after) {
        const auto was = before.find(path);
        if (was == before.end()) {
            EXPECT_TRUE(runNames(path)) << "appeared: " << path;
        } else if (!(was->second == state)) {
            EXPECT_TRUE(runNames(path) && state.type == fs::file_type::regular)
                << "changed: " << path;
        }
    }
    for (const auto& [path, state] : before)
        EXPECT_TRUE(after.count(path)) << "disappeared: " << path;

    if (c.check) c.check(scene);
}

std::string CaseName(const ::testing::TestParamInfo<size_t>& info) {
    return Matrix()[info.param].id;
}

std::vector<size_t> AllCases() {
    std::vector<size_t> indexes(Matrix().size());
    for (size_t i = 0; i < indexes.size(); ++i) indexes[i] = i;
    return indexes;
}

INSTANTIATE_TEST_SUITE_P(BadInput, BadInputMatrix, ::testing::ValuesIn(AllCases()), CaseName);

// ------------------------------------------------------------ the document

// A table cell: control bytes as \xNN, "|" escaped, a text of more than 80
// characters cut in the middle.
std::string Cell(const std::string& text) {
    constexpr size_t kMost = 80, kHead = 40, kTail = 16;
    std::vector<size_t> starts;  // where each UTF-8 character starts
    for (size_t i = 0; i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) starts.push_back(i);
    std::string shown = text;
    if (starts.size() > kMost) {
        shown = text.substr(0, starts[kHead]) + "…(" + std::to_string(starts.size()) +
                " characters)…" + text.substr(starts[starts.size() - kTail]);
    }
    std::string cell;
    for (char ch : shown) {
        const unsigned char u = static_cast<unsigned char>(ch);
        if (u < 0x20 || u == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            cell += hex;
        } else if (ch == '|') {
            cell += "\\|";
        } else {
            cell += ch;
        }
    }
    return "`" + cell + "`";
}

std::string Join(const Lines& lines, const char* separator) {
    std::string joined;
    for (const std::string& l : lines) {
        if (!joined.empty()) joined += separator;
        joined += Cell(l);
    }
    return joined;
}

std::string ReliabilityDocument() {
    std::string doc =
        "# What Quolix does with bad input\n"
        "\n"
        "Each row is one case of the bad-input test (`tests/cli/BadInputMatrixTest.cpp`), run\n"
        "through the real program as `quolix --batch site.cfg` (or the command line the row\n"
        "gives) in a fresh folder, `{dir}/work`. The test checks, for every row, the exit status,\n"
        "that standard error is exactly the lines shown, that the output folder holds exactly\n"
        "the pages listed, that no file appears outside the output folder and that no file the\n"
        "run does not name is changed. Exit status 1 means something was not read or not\n"
        "written; the last line of each run is its final status. A message about a file or\n"
        "folder that cannot be found or opened comes after a line with its path, made absolute.\n"
        "\n"
        "This page is written from the test's table and checked against it by the test suite;\n"
        "after changing the table, write it again with\n"
        "\n"
        "    QUOLIX_WRITE_RELIABILITY_DOC=$PWD/docs/reliability.md \\\n"
        "      build/quolix_cli_tests --gtest_filter='BadInputMatrixDocument.*'\n"
        "\n"
        "Settings files name `books.csv` (three books), the template `page.html`\n"
        "(`<h1>[title]</h1>`) and the output folder `out`, and select records 1 and 2, unless a\n"
        "row says otherwise. Long lines are shortened in the middle here.\n";
    const char* group = "";
    for (const MatrixCase& c : Matrix()) {
        if (c.knownProblem) continue;  // listed once the program does what the row says
        if (std::strcmp(group, c.group) != 0) {
            group = c.group;
            doc += std::string("\n## ") + group + "\n\n";
            doc += "| Case | Setup | What the user sees (standard error) | Exit status | Output "
                   "folder afterwards |\n";
            doc += "|---|---|---|---|---|\n";
        }
        doc += "| " + std::string(c.title) + " | " + c.setup + " | " + Join(c.err, "<br>") + " | " +
               std::to_string(c.exitStatus) + " | " +
               (c.pages.empty() ? std::string("nothing new") : Join(c.pages, " ")) + " |\n";
    }
    return doc;
}

TEST(BadInputMatrixDocument, MatchesTheTable) {
    const std::string doc = ReliabilityDocument();
    if (const char* target = std::getenv("QUOLIX_WRITE_RELIABILITY_DOC")) {
        WriteBytes(target, doc);
        std::printf("wrote %s\n", target);
        return;
    }
    const fs::path path = fs::path(QUOLIX_SOURCE_DIR) / "docs" / "reliability.md";
    ASSERT_TRUE(fs::exists(path)) << path;
    EXPECT_EQ(ReadBytes(path), doc) << "docs/reliability.md is not the table in this test; write "
                                       "it again (see the top of this file)";
}

// The table itself: every case runs at least one settings file, has a
// message and names each page once.
TEST(BadInputMatrixDocument, TableIsWellFormed) {
    std::set<std::string> ids;
    for (const MatrixCase& c : Matrix()) {
        SCOPED_TRACE(c.id);
        EXPECT_TRUE(ids.insert(c.id).second);
        EXPECT_FALSE(c.err.empty());
        EXPECT_TRUE(c.exitStatus == 0 || c.exitStatus == 1);
        // A run that writes every page says nothing but its final status,
        // after its file's name when there are several, how many pieces of
        // bad UTF-8 it replaced and how many files it left as they were.
        if (c.exitStatus == 0) {
            for (const std::string& line : c.err) {
                EXPECT_TRUE(line == kDone || IsUnchangedLine(line) ||
                            (line.ends_with(Replaced(0).substr(1)) && line[0] >= '1' &&
                                 line[0] <= '9') ||
                            (line.starts_with("==> ") && line.ends_with(" <==")))
                    << line;
            }
        }
        EXPECT_EQ(std::set<std::string>(c.pages.begin(), c.pages.end()).size(), c.pages.size());
    }
}

}  // namespace
