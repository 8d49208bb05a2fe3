#include "gen/GenerationRunFixture.h"

namespace {

using namespace genrun;
// --- The checks ------------------------------------------------------------

TEST_F(GenerationRunTest, FirstFailingCheckIsReportedAndNothingIsWritten) {
    LoadCsv(NamesCsv({"alpha", "beta"}));
    const std::string missing = dir.File("missing");
    WriteBytes(dir.Path() / "plain-file", "x");
    const struct {
        const char* what;
        std::function<void(Job&, std::vector<int>&, bool&)> change;
        diag::Code code;
    } cases[] = {
        {"both paths empty",
         [](Job& s, auto&, bool&) {
             s.HTML.clear();
             s.Out.clear();
         },
         diag::Code::kNoTemplatePath},
        {"template path empty", [](Job& s, auto&, bool&) { s.HTML.clear(); },
         diag::Code::kNoTemplatePath},
        {"output path empty", [](Job& s, auto&, bool&) { s.Out.clear(); },
         diag::Code::kNoOutPath},
        {"template and folder missing",
         [&](Job& s, auto&, bool&) {
             s.HTML = missing;
             s.Out = missing;
         },
         diag::Code::kTemplateMissing},
        {"template is a folder", [&](Job& s, auto&, bool&) { s.HTML = s.Out; },
         diag::Code::kTemplateMissing},
        {"folder missing", [&](Job& s, auto&, bool&) { s.Out = missing; },
         diag::Code::kOutMissing},
        {"folder is a file", [&](Job& s, auto&, bool&) { s.Out = dir.File("plain-file"); },
         diag::Code::kOutMissing},
        {"rule 2 without a field, nothing selected",
         [](Job& s, std::vector<int>& sel, bool&) {
             s.ruleNum = 2;
             sel.clear();
         },
         diag::Code::kNoNamingField},
        {"nothing selected", [](Job&, std::vector<int>& sel, bool&) { sel.clear(); },
         diag::Code::kNoRecords},
        {"no table loaded", [](Job&, auto&, bool& loaded) { loaded = false; },
         diag::Code::kNoRecords},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Job s = Settings();
        std::vector<int> selection = {1, 2};
        bool loaded = true;
        c.change(s, selection, loaded);
        statuses.clear();
        enables.clear();
        std::optional<CCsvTable> saved;
        if (!loaded) saved.swap(table);
        const RunReport r = Run(s, selection);
        if (!loaded) saved.swap(table);

        // One refusal, the run's last word, about the file or folder it names.
        ASSERT_EQ(diagnostics.size(), 1u);
        EXPECT_EQ(diagnostics[0].code, c.code);
        EXPECT_EQ(r.lastStatus, diagnostics[0]);
        EXPECT_EQ(r.lastStatus.path, c.code == diag::Code::kTemplateMissing ? s.HTML
                                     : c.code == diag::Code::kOutMissing    ? s.Out
                                                                            : "");
        EXPECT_TRUE(r.refused);
        EXPECT_FALSE(r.AllWritten());
        EXPECT_EQ(r.pagesOpened, 0);
        EXPECT_TRUE(enables.empty());
        EXPECT_TRUE(prompter.entries.empty());
        EXPECT_TRUE(Entries().empty());
        EXPECT_FALSE(fs::exists(missing));
    }
}

// --- Page names ------------------------------------------------------------

#ifndef _WIN32  // names Windows refuses; its rules are tested in WindowsRulesTest
TEST_F(GenerationRunTest, NamingRulesPrefixAndExtension) {
    const std::vector<std::string> values = {"alpha", "beta", "gamma"};
    LoadCsv(NamesCsv(values));
    const struct {
        const char* what;
        int rule;
        const char* ext;
        bool prefixChk;
        const char* prefix;
        int start, digit;
        std::vector<int> selection;
        std::vector<std::string> pages;  // one per selected record
    } cases[] = {
        // clang-format off
        {"record number", 0, "html", false, "", 1, 5, {1, 3}, {"00001.html", "00003.html"}},
        {"record number, prefix, .htm", 0, ".htm", true, "p-", 1, 5, {1, 3},
         {"p-00001.htm", "p-00003.htm"}},
        {"prefix text with the switch off", 0, "html", false, "p-", 1, 5, {2}, {"00002.html"}},
        {"switch on, empty prefix", 0, "html", true, "", 1, 5, {2}, {"00002.html"}},
        {"any other rule is rule 0", 7, "txt", false, "", 1, 5, {3}, {"00003.txt"}},
        {"sequence, empty extension", 1, "", false, "", 1, 5, {1, 3}, {"00001.html", "00002.html"}},
        {"sequence, prefix, dots only", 1, "...", true, "n", 7, 1, {2, 3}, {"n7.", "n8."}},
        {"sequence past its digits", 1, "html", false, "", 98, 2, {1, 2, 3},
         {"98.html", "99.html", "100.html"}},
        {"field value, .htm", 2, ".htm", false, "", 1, 5, {1, 3}, {"alpha.htm", "gamma.htm"}},
        {"field value, prefix, dots only", 2, "...", true, "x_", 1, 5, {1, 2},
         {"x_alpha.", "x_beta."}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(out);
        fs::create_directory(out);
        prompter.Clear();
        Job s = Settings();
        s.ruleNum = c.rule;
        s.fieldNum = 1;
        s.extension = c.ext;
        s.prefixChk = c.prefixChk;
        s.Prefix = c.prefix;
        s.start = c.start;
        s.digit = c.digit;
        const RunReport r = Run(s, c.selection);

        std::set<std::string> expected = {"_index.html", "_db.html"};
        for (size_t i = 0; i < c.pages.size(); ++i) {
            expected.insert(c.pages[i]);
            EXPECT_EQ(Read(c.pages[i]), values[c.selection[i] - 1] + "\n") << c.pages[i];
        }
        EXPECT_EQ(Entries(), expected);
        EXPECT_EQ(Links(Read("_index.html")), c.pages);
        EXPECT_EQ(r.pagesOpened, static_cast<int>(c.pages.size()));
        EXPECT_TRUE(r.AllWritten());
        EXPECT_TRUE(prompter.entries.empty());
    }
}
#endif

TEST_F(GenerationRunTest, SequenceNumberCountsPagesThatCouldNotBeCreated) {
    LoadCsv(NamesCsv({"alpha", "beta", "gamma"}));
    Job s = Settings();
    s.ruleNum = 1;

    // A folder occupies the second page's name.
    fs::create_directory(out / "00002.html");
    RunReport r = Run(s, {1, 2, 3});
    EXPECT_EQ(Read("00001.html"), "alpha\n");
    EXPECT_EQ(Read("00003.html"), "gamma\n");
    EXPECT_EQ(r.pagesOpened, 3);
    EXPECT_EQ(FailedPaths(r), std::vector<std::string>{OutPath("00002.html")});
    // The index links what was written, and says the number in the name.
    EXPECT_EQ(Links(Read("_index.html")), (std::vector<std::string>{"00001.html", "00003.html"}));
    EXPECT_NE(Read("_index.html").find("\">00003</a>"), std::string::npos);
    EXPECT_EQ(TheWarning(), Incomplete({{OutPath("00002.html"), NotWrittenReason::kNotRegular}}));
    EXPECT_EQ(diag::Text(r.lastStatus), kDone);

    // A prefix into a folder that does not exist: no page at all, yet every
    // page keeps its number.
    prompter.Clear();
    s.prefixChk = true;
    s.Prefix = "nosuchdir/";
    r = Run(s, {1, 2, 3});
    EXPECT_EQ(r.pagesOpened, 3);
    EXPECT_EQ(FailedPaths(r).size(), 3u);
    EXPECT_FALSE(r.AllWritten());
    EXPECT_EQ(Read("_index.html"), IndexHead("") + IndexTail(""));
    EXPECT_EQ(TheWarning().parts.at(0).entries.size(), 3u);

    // In repeat mode the record after a failed page opens a page of its own.
    fs::remove_all(out);
    fs::create_directories(out / "00001.html");
    prompter.Clear();
    s.prefixChk = false;
    s.repeatChk = true;
    s.repeat = 2;
    r = Run(s, {1, 2, 3});
    EXPECT_EQ(Read("00002.html"), "<HTML>\nbeta\ngamma\n</HTML>\n");
    EXPECT_FALSE(fs::exists(out / "00003.html"));
    EXPECT_EQ(r.pagesOpened, 2);
    EXPECT_EQ(FailedPaths(r), std::vector<std::string>{OutPath("00001.html")});
}

// --- Repeat mode -----------------------------------------------------------

TEST_F(GenerationRunTest, RepeatGroupsRecordsIntoFramedPages) {
    LoadCsv(NamesCsv({"A", "B", "C", "D", "E"}));
    SetTemplate("<html>\n<p>[name]</p>\n</html>\n");
    const struct {
        const char* what;
        bool repeatChk;
        int repeat;
        int rule;
        std::vector<std::pair<int, std::string>> pages;  // number in the name, records held
    } cases[] = {
        // clang-format off
        {"two per page", true, 2, 1, {{1, "AB"}, {2, "CD"}, {3, "E"}}},
        {"zero: one page", true, 0, 0, {{1, "ABCDE"}}},
        {"one per page", true, 1, 0, {{1, "A"}, {2, "B"}, {3, "C"}, {4, "D"}, {5, "E"}}},
        {"switch off", false, 2, 0, {{1, "A"}, {2, "B"}, {3, "C"}, {4, "D"}, {5, "E"}}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(out);
        fs::create_directory(out);
        Job s = Settings();
        s.repeatChk = c.repeatChk;
        s.repeat = c.repeat;
        s.ruleNum = c.rule;
        const RunReport r = Run(s, Range(1, 5));

        std::set<std::string> expected = {"_index.html", "_db.html"};
        std::vector<std::string> names;
        for (const auto& [number, records] : c.pages) {
            const std::string name = platform::StrFormat("%05d.html", number);
            expected.insert(name);
            names.push_back(name);
            std::string body;
            for (char record : records) body += std::string("<p>") + record + "</p>\n";
            EXPECT_EQ(Read(name), c.repeatChk ? "<HTML>\n" + body + "</HTML>\n"
                                              : "<html>\n" + body + "</html>\n")
                << name;
        }
        EXPECT_EQ(Entries(), expected);
        EXPECT_EQ(Links(Read("_index.html")), names);
        EXPECT_EQ(r.pagesOpened, static_cast<int>(c.pages.size()));
        EXPECT_TRUE(r.AllWritten());
    }
    // The index names each page after its group's first record.
    EXPECT_NE(Read("_index.html").find(">005</a>"), std::string::npos);
}

// --- _index.html, _db.html, progress ---------------------------------------

TEST_F(GenerationRunTest, RecordNumberRunWritesIndexDumpAndProgress) {
    LoadCsv(NamesCsv({"one", "two", "three", "four", "five"}));
    const RunReport r = Run(Settings(), {1, 2, 5});

    EXPECT_EQ(Read("00001.html"), "one\n");
    EXPECT_EQ(Read("00002.html"), "two\n");
    EXPECT_EQ(Read("00005.html"), "five\n");
    EXPECT_EQ(Read("_index.html"), IndexHead("") +
                                       "<br>[<a href=\"00001.html\">001</a>] &nbsp; &nbsp;\n"
                                       "[<a href=\"00002.html\">002</a>] &nbsp; &nbsp;\n"
                                       "[<a href=\"00005.html\">005</a>] &nbsp; &nbsp;\n" +
                                       IndexTail(""));
    // Every record, whatever the selection.
    EXPECT_EQ(Read("_db.html"),
              "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
              "charset=Shift_JIS\"></head><body><table border>\n"
              "<tr><td>000</td><td>id</td><td>name</td></tr>\n"
              "<tr><td>001</td><td>1</td><td>one</td></tr>\n"
              "<tr><td>002</td><td>2</td><td>two</td></tr>\n"
              "<tr><td>003</td><td>3</td><td>three</td></tr>\n"
              "<tr><td>004</td><td>4</td><td>four</td></tr>\n"
              "<tr><td>005</td><td>5</td><td>five</td></tr>\n"
              "</table></body></html>\n");
    EXPECT_EQ(statuses, (std::vector<std::string>{testutil::Progress(0), testutil::Progress(33),
                                                  testutil::Progress(66), kDone}));
    EXPECT_EQ(diag::Text(r.lastStatus), kDone);
    EXPECT_EQ(enables, (std::vector<std::pair<bool, bool>>{{false, true}, {true, true}}));
    EXPECT_EQ(filesAtEnable, (std::vector<size_t>{0, 5}));
    EXPECT_TRUE(r.AllWritten());
    EXPECT_FALSE(r.refused);
    EXPECT_TRUE(prompter.entries.empty());
}

TEST_F(GenerationRunTest, ProgressShowsEachPercentOnce) {
    LoadCsv(NamesCsv(std::vector<std::string>(200, "v")));
    Job s = Settings();
    s.createChk = false;
    s.ruleNum = 1;
    Run(s, Range(1, 200));
    ASSERT_EQ(statuses.size(), 101u);
    for (int k = 0; k <= 100; ++k) EXPECT_EQ(statuses[k], platform::StrFormat("%3d%% 完了", k));
}

TEST_F(GenerationRunTest, SequenceNumberIndexBreaksEveryTenEntries) {
    std::vector<std::string> names;
    for (int i = 1; i <= 12; ++i) names.push_back("n" + std::to_string(i));
    LoadCsv(NamesCsv(names));
    Job s = Settings();
    s.ruleNum = 1;
    s.start = 5;
    s.digit = 3;
    Run(s, Range(1, 12));

    std::string expected = IndexHead("");
    for (int i = 0; i < 12; ++i) {
        const std::string num = platform::StrFormat("%03d", 5 + i);
        expected += (i % 10 == 0 ? "<br>" : "");
        expected += "[<a href=\"" + num + ".html\">" + num + "</a>] &nbsp; &nbsp;\n";
    }
    EXPECT_EQ(Read("_index.html"), expected + IndexTail(""));
    EXPECT_EQ(Read("016.html"), "n12\n");
}

TEST_F(GenerationRunTest, FieldValueIndexIsAPreBlockOfFiveEntriesALine) {
    // Values of 30 and 31 bytes take no filler; a two-byte value counts bytes.
    const std::vector<std::string> values = {"a",
                                             "bb",
                                             "\x88\xA2\x82\xA8",
                                             std::string(30, 'x'),
                                             std::string(31, 'y'),
                                             "f6",
                                             "g7",
                                             "h8",
                                             "i9",
                                             "j10",
                                             "k11"};
    LoadCsv(NamesCsv(values));
    Job s = Settings();
    s.ruleNum = 2;
    s.fieldNum = 1;
    const RunReport r = Run(s, Range(1, 11));

    const std::string fill[] = {std::string(29, ' '),
                                std::string(28, ' '),
                                std::string(26, ' '),
                                "",
                                "",
                                std::string(28, ' '),
                                std::string(28, ' '),
                                std::string(28, ' '),
                                std::string(28, ' '),
                                std::string(27, ' '),
                                std::string(27, ' ')};
    std::string expected = IndexHead("<pre>");
    for (int i = 0; i < 11; ++i) {
        expected += (i == 0 || i == 5 || i == 10) ? "\n" : "";
        expected += "[<a href=\"" + values[i] + ".html\">" + values[i] + "</a>]" + fill[i];
    }
    EXPECT_EQ(Read("_index.html"), expected + IndexTail("<pre>"));
    EXPECT_EQ(ReadBytes(out / fs::path(u8"阿お.html")), "\x88\xA2\x82\xA8\n");
    EXPECT_EQ(r.pagesOpened, 11);
    EXPECT_TRUE(r.AllWritten());
}

TEST_F(GenerationRunTest, HeaderRecordIsAPageLikeAnyOther) {
    LoadCsv(NamesCsv({"alpha"}));
    SetTemplate("[id]:[name]");
    Run(Settings(), {0, 1});
    EXPECT_EQ(Read("00000.html"), "id:name");
    EXPECT_EQ(Read("00001.html"), "1:alpha");
    EXPECT_NE(Read("_index.html").find("<br>[<a href=\"00000.html\">000</a>]"), std::string::npos);
}

TEST_F(GenerationRunTest, WithoutCheckFilesIndexAndDumpAreLeftAlone) {
    LoadCsv(NamesCsv({"alpha"}));
    WriteBytes(out / "_index.html", "old index");
    WriteBytes(out / "_db.html", "old dump");
    Job s = Settings();
    s.createChk = false;
    const RunReport r = Run(s, {1});
    EXPECT_EQ(Read("_index.html"), "old index");
    EXPECT_EQ(Read("_db.html"), "old dump");
    EXPECT_EQ(Read("00001.html"), "alpha\n");
    EXPECT_EQ(Entries(), (std::set<std::string>{"_index.html", "_db.html", "00001.html"}));
    EXPECT_TRUE(r.AllWritten());

    // Without the check files, a page may take their names.
    LoadCsv(NamesCsv({"_index"}));
    s.ruleNum = 2;
    s.fieldNum = 1;
    EXPECT_TRUE(Run(s, {1}).AllWritten());
    EXPECT_TRUE(prompter.entries.empty());
}

// The page a browser opens first: _index.html, else the first page a
// browser shows that holds its bytes.
TEST_F(GenerationRunTest, ShownPageIsTheIndexElseTheFirstPageABrowserShows) {
    LoadCsv(NamesCsv({"", "beta", "gamma"}));
    const struct {
        const char* what;
        bool createChk;
        int rule;
        const char* ext;
        const char* shown;  // "" for none
    } cases[] = {
        {"the index", true, 0, "txt", "_index.html"},
        {"the first page", false, 0, "html", "00001.html"},
        {"a page named by nothing is skipped", false, 2, "HTM", "beta.HTM"},
        {"shtml", false, 0, "shtml", "00001.shtml"},
        {"no page a browser shows", false, 0, "txt", ""},
        {"a name with nothing after its dot", false, 0, "...", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Job s = Settings();
        s.createChk = c.createChk;
        s.ruleNum = c.rule;
        s.fieldNum = 1;
        s.extension = c.ext;
        const RunReport r = Run(s, {1, 2, 3});
        EXPECT_EQ(r.shownPage, *c.shown ? OutPath(c.shown) : "");
    }
    // An _index.html that cannot be made leaves the first page.
    fs::remove(out / "_index.html");
    fs::create_directory(out / "_index.html");
    EXPECT_EQ(Run(Settings(), {1}).shownPage, OutPath("00001.html"));
}

// On a folder that takes names differing only in case for one file, the
// last page of such names wins, as with one writer, and each later one is
// told as written over an earlier page.
TEST_F(GenerationRunTest, NamesThatDifferInCaseAloneAreWrittenInOrder) {
    std::vector<std::string> values;
    for (int i = 0; i < 200; ++i) values.push_back(i % 2 ? "n" + std::to_string(i / 2) : "N" + std::to_string(i / 2));
    LoadCsv(NamesCsv(values));
    SetTemplate("[id]");
    Job s = Settings();
    s.ruleNum = 2;
    s.fieldNum = 1;
    testutil::MemoryFolder folder(out.string());
    folder.ignoresCase = true;
    RunCallbacks callbacks;
    callbacks.openFolder = [&](const std::string&) { return folder.Lend(); };
    Shown shown(*this);
    const RunReport r = RunGeneration(s, Range(1, 200), &*table, callbacks, shown);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(folder.files["n" + std::to_string(i) + ".html"].bytes, std::to_string(2 * i + 2));
        EXPECT_EQ(r.overwrittenNames.at(i), "n" + std::to_string(i) + ".html");
    }
}

// On a folder that refuses the names Windows refuses, those pages are told
// with their reason and the others written.
TEST_F(GenerationRunTest, NamesWindowsRefusesAreTold) {
    LoadCsv(NamesCsv({"CON", "a:b", "ok", "dot."}));
    SetTemplate("[id]");
    Job s = Settings();
    s.ruleNum = 2;
    s.fieldNum = 1;
    testutil::MemoryFolder folder(out.string());
    folder.windowsNames = true;
    RunCallbacks callbacks;
    callbacks.openFolder = [&](const std::string&) { return folder.Lend(); };
    Shown shown(*this);
    RunGeneration(s, Range(1, 4), &*table, callbacks, shown);
    EXPECT_EQ(TheWarning(), Incomplete({{OutPath("CON.html"), NotWrittenReason::kWindowsName},
                                        {OutPath("a:b.html"), NotWrittenReason::kWindowsName}}));
    EXPECT_EQ(folder.files.count("ok.html"), 1u);
    EXPECT_EQ(folder.files.count("dot..html"), 1u);  // the dot is no longer last
}

// --- What a run could not write --------------------------------------------

// In a folder in memory any page may fail: not created, cut short, or found
// different and read-only. Whatever fails, the run says so for that page
// alone, _index.html links exactly the pages that hold their bytes, every
// record is on one page, and without repeat every other page is what a
// run without failures writes.
TEST_F(GenerationRunTest, AnyPageMayFail) {
    LoadCsv(NamesCsv({"a", "b", "c", "d", "e"}));
    SetTemplate("<[name]>");
    enum class Failure { kRefused, kCut, kReadOnly };
    for (const int rule : {0, 2}) {
        for (const bool repeat : {false, true}) {
            SCOPED_TRACE(std::string("rule ") + std::to_string(rule) + (repeat ? ", repeat" : ""));
            Job s = Settings();
            s.ruleNum = rule;
            s.fieldNum = 1;
            s.repeatChk = repeat;
            s.repeat = 2;
            auto run = [&](testutil::MemoryFolder& folder) {
                patience = std::chrono::milliseconds(0);
                diagnostics.clear();
                Shown shown(*this);
                RunCallbacks callbacks;
                callbacks.openFolder = [&](const std::string&) { return folder.Lend(); };
                return RunGeneration(s, {1, 2, 3, 4, 5}, &*table, callbacks, shown);
            };
            testutil::MemoryFolder clean(out.string());
            ASSERT_TRUE(run(clean).AllWritten());
            for (const auto& [name, file] : clean.files) {
                if (name == kIndexPageName || name == kDumpPageName) continue;
                for (const Failure failure : {Failure::kRefused, Failure::kCut, Failure::kReadOnly}) {
                    SCOPED_TRACE(name + " " + std::to_string(static_cast<int>(failure)));
                    testutil::MemoryFolder folder(out.string());
                    if (failure == Failure::kRefused) folder.refused[name] = platform::WriteFailure::kNoFolder;
                    if (failure == Failure::kCut) folder.cut.insert(name);
                    if (failure == Failure::kReadOnly) {
                        folder.Put(name, "old");
                        folder.readOnly.insert(name);
                    }
                    const RunReport r = run(folder);
                    ASSERT_EQ(r.notWritten.size(), 1u);
                    EXPECT_EQ(r.notWritten[0].path, OutPath(name));
                    EXPECT_EQ(r.notWritten[0].reason, failure == Failure::kRefused
                                                          ? NotWrittenReason::kNoFolder
                                                          : NotWrittenReason::kCannotWrite);
                    std::vector<std::string> whole;
                    std::string covered;
                    for (const auto& [other, bytes] : folder.files) {
                        if (other == kIndexPageName || other == kDumpPageName || other == name) continue;
                        whole.push_back(other);
                        covered += bytes.bytes;
                        if (!repeat) {
                            EXPECT_EQ(bytes.bytes, clean.files[other].bytes) << other;
                        }
                    }
                    std::vector<std::string> links = Links(folder.files[kIndexPageName].bytes);
                    std::sort(links.begin(), links.end());
                    EXPECT_EQ(links, whole);
                    // A page not made holds its first record alone in repeat
                    // mode (the records after it are grouped anew); one made
                    // but cut short keeps them all.
                    const bool firstAlone = repeat && failure != Failure::kCut;
                    for (const char* record : {"<a>", "<b>", "<c>", "<d>", "<e>"}) {
                        const size_t at = file.bytes.find(record);
                        const bool onFailed = firstAlone ? at == 7 : at != std::string::npos;
                        EXPECT_EQ(covered.find(record) == std::string::npos, onFailed) << record;
                    }
                    if (!repeat) {
                        EXPECT_EQ(whole.size() + 3, clean.files.size());
                    }
                }
            }
        }
    }
}

TEST_F(GenerationRunTest, LaterPageOfTheSameNameIsReported) {
    LoadCsv(NamesCsv({"same", "same", "other", "same"}));
    SetTemplate("[id]");
    Job s = Settings();
    s.ruleNum = 2;
    s.fieldNum = 1;
    const RunReport r = Run(s, Range(1, 4));
    EXPECT_EQ(Read("same.html"), "4");
    EXPECT_EQ(Links(Read("_index.html")).size(), 4u);
    EXPECT_EQ(r.overwrittenNames, (std::vector<std::string>{"same.html", "same.html"}));
    EXPECT_TRUE(FailedPaths(r).empty());
    EXPECT_FALSE(r.AllWritten());
    EXPECT_EQ(TheWarning(), Incomplete({}, {"same.html", "same.html"}));


    // Another spelling of the same file is the same page.
    LoadCsv(NamesCsv({"x", "./x", "sub//y", "sub/y"}));
    fs::create_directory(out / "sub");
    const RunReport spelled = Run(s, Range(1, 4));
    EXPECT_EQ(spelled.overwrittenNames, (std::vector<std::string>{"./x.html", "sub/y.html"}));
}

// One run at a time per folder: a run that finds the folder taken waits,
// says so once, and gives up after its patience like a refused check.
TEST_F(GenerationRunTest, WaitsForAnotherRunWritingTheFolder) {
    LoadCsv(NamesCsv({"a", "b"}));
    for (const bool released : {true, false}) {
        SCOPED_TRACE(released ? "released" : "kept");
        statuses.clear();
        enables.clear();
        fs::remove_all(out);
        fs::create_directory(out);
        auto other = platform::OpenOutputFolder(out.string());
        ASSERT_TRUE(other);
        ASSERT_EQ(other->TryLock(), platform::OutputFolder::Lock::kHeld);
        std::thread release([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            if (released) other->Unlock();
        });
        patience = std::chrono::milliseconds(released ? 60000 : 600);
        const RunReport r = Run(Settings(), {1, 2});
        release.join();
        ASSERT_FALSE(statuses.empty());
        EXPECT_EQ(statuses.front(), kWaiting);
        if (released) {
            EXPECT_EQ(std::count(statuses.begin(), statuses.end(), kWaiting), 1);
            EXPECT_TRUE(r.AllWritten());
            EXPECT_EQ(statuses.back(), kDone);
            EXPECT_EQ(Entries(), (std::set<std::string>{"00001.html", "00002.html", "_db.html",
                                                        "_index.html"}));
        } else {
            EXPECT_TRUE(r.refused);
            // Said once while waiting, then as the status it gave up with.
            EXPECT_EQ(statuses, std::vector<std::string>(2, kWaiting));
            EXPECT_TRUE(enables.empty());
            EXPECT_TRUE(Entries().empty());
        }
        // Released at the end: the next run goes ahead at once.
        EXPECT_EQ(other->TryLock(), platform::OutputFolder::Lock::kHeld);
    }
}

TEST_F(GenerationRunTest, PageNamesMustStayInsideTheFolder) {
    // out lies two levels down, so that an escape would have somewhere to go.
    const fs::path top = dir.Path() / "w";
    out = top / "out";
    fs::create_directories(out / "sub");
    fs::create_directories(out / "a");
    const std::string absolute = dir.Path().string() + "/abs";
    fs::create_directories(out / dir.Path().relative_path());
    LoadCsv(NamesCsv({"../\x88\xA2", absolute, "a/../../b", "sub/page", "dup", "dup"}));
    SetTemplate("[id]");
    Job s = Settings();
    s.ruleNum = 2;
    s.fieldNum = 1;
    const RunReport r = Run(s, Range(1, 6));

    const std::vector<std::string> refused = {
        OutPath("../阿.html"), OutPath(absolute + ".html"), OutPath("a/../../b.html")};
    EXPECT_EQ(FailedPaths(r), refused);
    EXPECT_EQ(r.pagesOpened, 6);
    EXPECT_EQ(Read("sub/page.html"), "4");
    EXPECT_EQ(Read("dup.html"), "6");
    EXPECT_EQ(Links(Read("_index.html")),
              (std::vector<std::string>{"sub/page.html", "dup.html", "dup.html"}));
    // The paths in UTF-8.
#ifdef _WIN32
    constexpr NotWrittenReason kAbsolute = NotWrittenReason::kWindowsName;  // "C:\\…"
#else
    constexpr NotWrittenReason kAbsolute = NotWrittenReason::kCannotWrite;
#endif
    EXPECT_EQ(TheWarning(), Incomplete({{OutPath("../阿.html"), NotWrittenReason::kCannotWrite},
                                        {refused[1], kAbsolute},
                                        {refused[2], NotWrittenReason::kCannotWrite}},
                                       {"dup.html"}));
    // Nothing landed anywhere but in out and its existing subfolders.
    EXPECT_EQ(fs::directory_iterator(top)->path().filename(), "out");
    EXPECT_EQ(std::distance(fs::directory_iterator(top), fs::directory_iterator()), 1);
    EXPECT_FALSE(fs::exists(absolute + ".html"));
    EXPECT_TRUE(fs::is_empty(out / dir.Path().relative_path()));

    // A prefix is held to the same rule.
    prompter.Clear();
    s.ruleNum = 0;
    s.prefixChk = true;
    s.Prefix = "../";
    const RunReport viaPrefix = Run(s, {1});
    EXPECT_EQ(FailedPaths(viaPrefix), std::vector<std::string>{OutPath("../00001.html")});
    EXPECT_FALSE(fs::exists(top / "00001.html"));
}

TEST_F(GenerationRunTest, RelativePathsResolveTheSameOnEveryRun) {
    LoadCsv(NamesCsv({"alpha"}));
    struct RestoreCwd {
        fs::path saved = fs::current_path();
        ~RestoreCwd() { fs::current_path(saved); }
    } restore;
    fs::current_path(dir.Path());
    Job s = Settings();
    s.HTML = "template.html";
    s.Out = "out";
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        fs::remove(out / "00001.html");
        const RunReport r = Run(s, {1});
        EXPECT_TRUE(r.AllWritten());
        EXPECT_EQ(fs::current_path(), dir.Path());
        EXPECT_EQ(Read("00001.html"), "alpha\n");
    }
}

// --- The shipped example ---------------------------------------------------

#ifndef _WIN32  // names Windows refuses; its rules are tested in WindowsRulesTest
// Every link of the index reaches the file written, whatever its name: the
// bytes a URL or the attribute would read otherwise as %XX, units with no
// Unicode form as %3F (the "?" the file has), the rest as it is.
TEST_F(GenerationRunTest, IndexLinksReachThePagesWhateverTheirNames) {
    using testutil::Cp;
    const struct {
        std::string value;
        std::string href;  // without ".html"
        std::string file = {};  // on disk (UTF-8), when not the value
    } cases[] = {
        {Cp("#1 人気せんべい"), Cp("%231%20人気せんべい")},
        {Cp("Q&A? ブック"), Cp("Q%26A%3F%20ブック")},
        {Cp("100% 綿タオル"), Cp("100%25%20綿タオル")},
        {"x\"y", "x%22y"},
        {"a&lt;b", "a%26lt;b"},
        {"<b>\\~'", "%3Cb%3E%5C~'"},
        {Cp("表ｶ①㈱髙～"), Cp("表ｶ①㈱髙～")},  // 表 ends in 0x5C
        {"tab\tesc\x1b" "del\x7f", "tab%09esc%1Bdel%7F"},
        {"cd\x81", "cd%3F", "cd?"},                 // a lone lead byte
        {"\x81\x7F" "e", "%3F%7Fe", "?\x7F" "e"},     // lead byte before DEL
        {"\x85\x40z", "%3Fz", "?z"},               // unassigned pair
        {"\x80\xA0\xFD" "f", "%3F%3F%3Ff", "???f"},  // never characters
        {"sub/" + Cp("ｶﾅ"), "sub/" + Cp("ｶﾅ"), "sub/ｶﾅ"},
    };
    std::vector<std::string> values;
    for (const auto& c : cases) values.push_back(c.value);
    LoadCsv(NamesCsv(values));
    fs::create_directory(out / "sub");
    fs::create_directory(out / testutil::U8("#p 「sub"));
    Job s = Settings();
    s.ruleNum = 2;
    s.fieldNum = 1;
    for (const bool prefixed : {false, true}) {
        SCOPED_TRACE(prefixed ? "with a prefix" : "no prefix");
        s.prefixChk = prefixed;
        s.Prefix = "#p 「";
        const std::string pre = prefixed ? Cp("%23p%20「") : "";
        const RunReport r = Run(s, Range(1, static_cast<int>(std::size(cases))));
        EXPECT_TRUE(FailedPaths(r).empty());
        const std::vector<std::string> links = Links(Read("_index.html"));
        ASSERT_EQ(links.size(), std::size(cases));
        for (size_t i = 0; i < std::size(cases); ++i) {
            const auto& c = cases[i];
            EXPECT_EQ(links[i], pre + c.href + ".html") << i;
            const std::string file = (c.file.empty() ? platform::Cp932ToUtf8(c.value) : c.file);
            const std::string onDisk = (prefixed ? "#p 「" : "") + file + ".html";
            EXPECT_TRUE(fs::exists(out / onDisk)) << onDisk;
        }
    }
}
#endif

TEST_F(GenerationRunTest, BooksExampleGivesJapaneseTitles) {
    const fs::path books =
        fs::path(__FILE__).parent_path().parent_path().parent_path() / "examples" / "books";
    if (!fs::exists(books / "books.csv")) GTEST_SKIP() << "no examples folder at " << books;
    testutil::RecordingSink loadSink;
    table.emplace((books / "books.csv").string());
    ASSERT_NE(table->Load(loadSink), nullptr);
    EXPECT_TRUE(loadSink.diagnostics.empty());
    EXPECT_GE(table->RecordCount(), 20);

    Job s = Settings();
    s.HTML = (books / "book.html").string();
    const RunReport r = Run(s, Range(1, table->RecordCount() - 1));
    EXPECT_TRUE(r.AllWritten());
    const std::string page = Read("00001.html");
    // 吾輩は猫である in code page 932.
    EXPECT_NE(page.find("<h1>\x8c\xe1\x94\x79\x82\xcd\x94\x4c\x82\xc5\x82\xa0\x82\xe9</h1>"),
              std::string::npos);
    EXPECT_EQ(page.find("[title]"), std::string::npos);
    EXPECT_NE(page.find("Shift_JIS"), std::string::npos);
}

}  // namespace
