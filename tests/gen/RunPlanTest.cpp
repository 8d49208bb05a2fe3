// The plan of a run, without a file system: names under each rule, groups,
// refused names, repeated names and index entries.
#include "gen/RunPlan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestUtil.h"
#include "data/CsvTable.h"
#include "RecordingSink.h"

namespace {

// A page as the tests spell it: name, first step, records, and the flags
// R (refused) and D (repeats a name).
struct Page {
    std::string name;
    int firstStep;
    int count;
    std::string flags = {};
    bool operator==(const Page&) const = default;
};

void PrintTo(const Page& p, std::ostream* os) {
    *os << "{" << p.name << " " << p.firstStep << "+" << p.count << " " << p.flags << "}";
}

// Every page of a run, each taken as created.
std::vector<PlannedPage> PlanPages(const Job& job, const CCsvTable& table, std::vector<int> records) {
    RunPlanner planner(job, table, std::move(records), table.Encoding());
    std::vector<PlannedPage> pages;
    while (!planner.Done()) pages.push_back(planner.Next());
    return pages;
}

std::vector<Page> Spelled(const std::vector<PlannedPage>& pages) {
    std::vector<Page> out;
    for (const PlannedPage& p : pages)
        out.push_back({p.name, p.firstStep, p.recordCount,
                       std::string(p.refused ? "R" : "") + (p.repeatsName ? "D" : "")});
    return out;
}

CCsvTable Names(const std::vector<std::string>& names) {
    std::string csv = "id,name\r\n";
    for (size_t i = 0; i < names.size(); ++i) csv += std::to_string(i + 1) + "," + names[i] + "\r\n";
    CCsvTable table = CCsvTable::FromBytes(csv);
    testutil::RecordingSink sink;
    table.Load(sink);
    EXPECT_TRUE(sink.diagnostics.empty());
    return table;
}

Job By(int rule, void (*more)(Job&) = nullptr) {
    Job s;
    s.ruleNum = rule;
    s.fieldNum = 1;
    if (more) more(s);
    return s;
}

TEST(RunPlan, NamesGroupsAndRepeatedNames) {
    const CCsvTable table =
        Names({"a", "../x", "/abs", "a", "./a", "_DB", "sub/../b", "\x95\x5C", "", "a/./b"});
    const struct {
        const char* name;
        Job settings;
        std::vector<int> records;
        std::vector<Page> pages;
    } cases[] = {
        {"record numbers", By(0), {0, 3, 10}, {{"00000.html", 0, 1}, {"00003.html", 1, 1},
                                                 {"00010.html", 2, 1}}},
        {"an unknown rule is the record number", By(7), {2}, {{"00002.html", 0, 1}}},
        {"running numbers from start, digit wide",
         By(1, [](Job& s) { s.start = 98, s.digit = 3, s.extension = ".htm"; }),
         {5, 6, 7},
         {{"098.htm", 0, 1}, {"099.htm", 1, 1}, {"100.htm", 2, 1}}},
        {"numbers wider than the digits", By(1, [](Job& s) { s.start = 9, s.digit = 1; }),
         {1, 2}, {{"9.html", 0, 1}, {"10.html", 1, 1}}},
        {"values; refused, repeated and odd names",
         By(2),
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
         {{"a.html", 0, 1},
          {"../x.html", 1, 1, "R"},
          {"/abs.html", 2, 1, "R"},
          {"a.html", 3, 1, "D"},
          {"./a.html", 4, 1, "D"},  // the same file
          {"_DB.html", 5, 1, "R"},  // the dump page's name, to a folder that ignores case
          {"sub/../b.html", 6, 1, "R"},
          {"表.html", 7, 1},
          {".html", 8, 1, "R"},  // named by nothing
          {"a/./b.html", 9, 1}}},
        {"no check files: _db.html is a page like any",
         By(2, [](Job& s) { s.createChk = false; }),
         {6},
         {{"_DB.html", 0, 1}}},
        {"prefix when ticked only",
         By(0, [](Job& s) { s.prefixChk = true, s.Prefix = "p-", s.extension = "."; }),
         {1},
         {{"p-00001.", 0, 1}}},
        {"a prefix alone is a name; a folder alone is not",
         By(2, [](Job& s) { s.prefixChk = true, s.Prefix = "p-"; }), {9}, {{"p-.html", 0, 1}}},
        {"", By(2, [](Job& s) { s.prefixChk = true, s.Prefix = "p/"; }), {9},
         {{"p/.html", 0, 1, "R"}}},
        {"prefix not ticked", By(0, [](Job& s) { s.Prefix = "p-"; }), {1}, {{"00001.html", 0, 1}}},
        {"repeat: groups of two, the last one short",
         By(1, [](Job& s) { s.repeatChk = true, s.repeat = 2; }),
         {1, 2, 3, 4, 5},
         {{"00001.html", 0, 2}, {"00002.html", 2, 2}, {"00003.html", 4, 1}}},
        {"repeat 0: one page", By(0, [](Job& s) { s.repeatChk = true, s.repeat = 0; }),
         {4, 5, 6}, {{"00004.html", 0, 3}}},
        {"repeat count without the switch", By(0, [](Job& s) { s.repeat = 3; }), {4, 5},
         {{"00004.html", 0, 1}, {"00005.html", 1, 1}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Spelled(PlanPages(c.settings, table, c.records)), c.pages);
    }
}

// In repeat mode a page that cannot be created takes its first record only;
// the next record opens the next page, numbered on.
TEST(RunPlan, RepeatRegroupsAfterAPageThatFailed) {
    const CCsvTable table = Names({"a", "b", "c", "d", "e", "f", "g"});
    RunPlanner planner(By(1, [](Job& s) { s.repeatChk = true, s.repeat = 3; }), table,
                       {1, 2, 3, 4, 5, 6, 7}, table.Encoding());
    std::vector<Page> pages;
    for (bool fail = true; !planner.Done(); fail = false) {
        const PlannedPage& page = planner.Next();
        if (fail) planner.Failed();
        pages.push_back(Spelled({page})[0]);
    }
    EXPECT_EQ(pages, (std::vector<Page>{
                         {"00001.html", 0, 1}, {"00002.html", 1, 3}, {"00003.html", 4, 3}}));
}

TEST(RunPlan, IndexEntries) {
    const CCsvTable table = Names({"a&b", "\x95\x5C", "x y"});
    auto entries = [&](const Job& s, std::vector<int> records) {
        std::vector<std::string> out;
        RunPlanner planner(s, table, std::move(records), table.Encoding());
        while (!planner.Done()) out.push_back(planner.Next().indexEntry);
        return out;
    };
    // By value: values padded to 30 bytes.
    EXPECT_EQ(entries(By(2), {1, 2, 3}),
              (std::vector<std::string>{
                  "[<a href=\"a%26b.html\">a&b</a>]" + std::string(27, ' '),
                  "[<a href=\"\x95\x5C.html\">\x95\x5C</a>]" + std::string(28, ' '),
                  "[<a href=\"x%20y.html\">x y</a>]" + std::string(27, ' ')}));
    // By number: the page's own number.
    const std::vector<std::string> byNumber =
        entries(By(1, [](Job& s) { s.start = 7, s.digit = 2; }), std::vector<int>(11, 1));
    EXPECT_EQ(byNumber[0], "[<a href=\"07.html\">07</a>] &nbsp; &nbsp;\n");
    EXPECT_EQ(byNumber[10], "[<a href=\"17.html\">17</a>] &nbsp; &nbsp;\n");
    EXPECT_EQ(entries(By(0), {3}), std::vector<std::string>{
                                       "[<a href=\"00003.html\">003</a>] &nbsp; &nbsp;\n"});
    EXPECT_EQ(entries(By(0, [](Job& s) { s.createChk = false; }), {3}),
              std::vector<std::string>{""});
}

}  // namespace
