// What differs on Windows, against its own file system (run under wine):
// the names it refuses, names that differ only in case, links on the way,
// files with other names, devices, paths, code page 932 and widths.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TestUtil.h"
#include "gen/GenerationRunFixture.h"
#include "platform/CodePage.h"
#include "platform/FileSys.h"
#include "platform/OutputFolder.h"
#include "platform/TextEncoding.h"

namespace {

namespace fs = std::filesystem;
using namespace genrun;
using platform::OutputFile;
using platform::WriteFailure;

// Writes `bytes` to `name` through the folder; the file's outcome.
OutputFile::Outcome Write(platform::OutputFolder& folder, const std::string& name, const std::string& bytes,
                          bool unlessSame = false) {
    auto file = folder.NewFile();
    if (!(unlessSame ? file->CreateUnlessSame(name) : file->Create(name))) return OutputFile::Outcome::kNotCreated;
    file->Append(bytes);
    file->Close();
    return file->Closed();
}

TEST(WindowsRules, NamesTheFolderRefuses) {
    const std::string longest(255, 'a'), tooLong(256, 'a');
    const struct {
        std::string name;
        WriteFailure failure;
    } cases[] = {
        {longest, WriteFailure::kNone},        {"sub/" + tooLong, WriteFailure::kNameTooLong},
        {"ok.html", WriteFailure::kNone},      {"sub/表ｶ😀.html", WriteFailure::kNone},
        {"./dot.html", WriteFailure::kNone},   {"CON.html", WriteFailure::kWindowsName},
        {"aux", WriteFailure::kWindowsName},   {"sub/com1.txt", WriteFailure::kWindowsName},
        {"a:b.html", WriteFailure::kWindowsName}, {"a\\b.html", WriteFailure::kWindowsName},
        {"q?.html", WriteFailure::kWindowsName},  {"end.", WriteFailure::kWindowsName},
        {"end ", WriteFailure::kWindowsName},     {"C:/x.html", WriteFailure::kWindowsName},
        {"missing/x.html", WriteFailure::kNoFolder}, {"sub", WriteFailure::kNotRegular},
    };
    testutil::TempDir dir;
    fs::create_directory(dir.Path() / "sub");
    auto folder = platform::OpenOutputFolder(dir.Path().string());
    ASSERT_TRUE(folder);
    EXPECT_TRUE(folder->IgnoresCase());
    for (const auto& c : cases) {
        auto file = folder->NewFile();
        EXPECT_EQ(file->Create(c.name), c.failure == WriteFailure::kNone) << c.name;
        EXPECT_EQ(file->Failure(), c.failure) << c.name;
        file->Close();
    }
    EXPECT_EQ(testutil::ReadBytes(dir.Path() / "sub" / testutil::U8("表ｶ😀.html")), "");
    EXPECT_FALSE(fs::exists(dir.Path() / "x.html"));
    // A file is no output folder.
    EXPECT_FALSE(platform::OpenOutputFolder(dir.File("ok.html")));
}

// Names that differ only in case are one file: the later write takes it,
// under the spelling it had; the run tells the later page as written over
// the earlier.
TEST_F(GenerationRunTest, WindowsNamesDifferingInCaseAreOnePage) {
    auto folder = platform::OpenOutputFolder(out.string());
    ASSERT_TRUE(folder);
    EXPECT_EQ(Write(*folder, "Page.html", "1"), OutputFile::Outcome::kWritten);
    folder->NoteEntries();  // a name noted in any case is compared
    EXPECT_EQ(Write(*folder, "PAGE.HTML", "1", true), OutputFile::Outcome::kUnchanged);
    EXPECT_EQ(Write(*folder, "page.html", "22", true), OutputFile::Outcome::kWritten);
    EXPECT_EQ(fs::directory_iterator(out)->path().filename(), "Page.html");
    EXPECT_EQ(Read("Page.html"), "22");
    fs::remove(out / "Page.html");

    LoadCsv(NamesCsv({"Abc", "abc", "x"}));
    SetTemplate("[id]");
    Job s = Settings();
    s.ruleNum = 2;
    s.fieldNum = 1;
    const RunReport r = Run(s, Range(1, 3));
    EXPECT_EQ(r.overwrittenNames, std::vector<std::string>{"abc.html"});
    EXPECT_EQ(Read("Abc.html"), "2");
}

// A file with another name keeps its bytes: the page gets a file of its
// own; a link to a folder on the way is refused (where wine can make one).
TEST(WindowsRules, LinkedFilesAndFolders) {
    testutil::TempDir dir;
    fs::create_directories(dir.Path() / "out");
    fs::create_directories(dir.Path() / "elsewhere");
    testutil::WriteBytes(dir.Path() / "precious.txt", "precious");
    fs::create_hard_link(dir.Path() / "precious.txt", dir.Path() / "out" / "page.html");
    auto folder = platform::OpenOutputFolder(dir.File("out"));
    ASSERT_TRUE(folder);
    EXPECT_EQ(Write(*folder, "page.html", "new", true), OutputFile::Outcome::kWritten);
    EXPECT_EQ(testutil::ReadBytes(dir.Path() / "out" / "page.html"), "new");
    EXPECT_EQ(testutil::ReadBytes(dir.Path() / "precious.txt"), "precious");
    EXPECT_EQ(fs::hard_link_count(dir.Path() / "precious.txt"), 1u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path() / "out"), fs::directory_iterator()), 1);

    const std::wstring link = (dir.Path() / "out" / "link").wstring();
    if (!::CreateSymbolicLinkW(link.c_str(), (dir.Path() / "elsewhere").wstring().c_str(),
                               SYMBOLIC_LINK_FLAG_DIRECTORY) ||
        !(::GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) ||
        ::GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no folder link to be made here; checked on Windows";
    auto file = folder->NewFile();
    EXPECT_FALSE(file->Create("link/x.html"));
    EXPECT_EQ(file->Failure(), WriteFailure::kNotRegular);
    EXPECT_TRUE(fs::is_empty(dir.Path() / "elsewhere"));
}

TEST(WindowsRules, DevicesAndPaths) {
    for (const char* device : {"NUL", "CON", "COM1", "nul.txt"})
        for (const char* mode : {"rb", "wb"}) EXPECT_EQ(platform::OpenFile(device, mode), nullptr) << device;
    const struct {
        const char* path;
        bool absolute;
    } paths[] = {{"C:\\site\\out", true}, {"c:/site", true}, {"\\\\server\\share", true}, {"\\top", true},
                 {"/top", true},          {"C:relative", false}, {"out\\books", false},  {"", false}};
    for (const auto& p : paths) EXPECT_EQ(platform::IsAbsolutePath(p.path), p.absolute) << p.path;
    EXPECT_TRUE(platform::IsAbsolutePath(platform::CurrentFolder()));
}

// Code page 932 and widths as on Linux (the whole table is compared by
// make check-windows).
TEST(WindowsRules, CodePageAndWidths) {
    const unsigned char x80 = 0x80;
    EXPECT_FALSE(platform::Cp932UnitConverts(&x80, 1));
    EXPECT_EQ(platform::Cp932ToUtf8("\x80\x82\xA0\xED\x40"), "?\u3042\u7E8A");
    const struct {
        const char* utf8;
        const char* cp932;
    } out[] = {{"\u00A5", "\x5C"},       {"\u301C", "\x81\x60"}, {"\uFF5E", "\x81\x60"}, {"\u2014", "\x81\x5C"},
               {"\u7E8A", "\xFA\x5C"},   {"\u0080", "?"},        {"\U0001F600", "?"},    {"\xED\xA0\x80", "?"},
               {"\xE3\x81", "?"},        {"\xC0\x80", "??"}};
    for (const auto& c : out) EXPECT_EQ(platform::Utf8ToCp932(c.utf8), c.cp932) << c.utf8;
    const struct {
        char32_t c;
        int width;
    } widths[] = {{U'a', 1}, {U'ｶ', 1}, {U'表', 2}, {U'\u0301', 0}, {U'\U0001F600', 2}, {U'\uFF21', 2}};
    for (const auto& w : widths) EXPECT_EQ(platform::CharDisplayWidth(w.c), w.width) << static_cast<unsigned>(w.c);
}

}  // namespace
