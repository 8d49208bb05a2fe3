// What a generation run will write, page by page as the writing goes: the
// pages with their names, records and index entries, which names are
// refused and which repeat an earlier one. No file is touched: the writer
// tells the planner of a page it could not create (in repeat mode the
// records after it are grouped anew), so every naming rule and grouping is
// tested without a file system.
#pragma once

#include <string>
#include <optional>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "gen/GenerationRun.h"

class CCsvTable;

struct PlannedPage {
    std::string name;    // prefix, base name, "." and extension (UTF-8, as on disk)
    int firstStep = 0;   // its first record: records[firstStep]
    int recordCount = 0; // consecutive selected records on the page
    // Why the page is not written, when its name is not to be used: it names
    // nothing, would leave the output folder, or is _index.html or _db.html
    // while the run writes them.
    std::optional<NotWrittenReason> refused;
    bool repeatsName = false;  // an earlier page is the same file
    // What the page adds to _index.html once it is written, after
    // IndexSeparator (empty without an index).
    std::string indexEntry;
    platform::SiteCounts indexCounts;  // what indexEntry had to write in another form
};

// Hands out the pages of a run one after the other, as the writing goes:
// in repeat mode a page that could not be created holds no record, so the
// records after it are grouped anew (Failed).
class RunPlanner {
public:
    // `records`: ascending, each a record of `table`, which must outlive
    // the planner. _index.html is in the site's encoding.
    // `ignoresCase`: names that differ only in case are one file.
    RunPlanner(const Job& job, const CCsvTable& table, std::vector<int> records,
               platform::TextEncoding site, bool ignoresCase = false);

    const std::vector<int>& Records() const { return records_; }
    bool Repeat() const { return repeat_; }
    // The frame of _index.html; empty when no index is written.
    const std::string& IndexHead() const { return indexHead_; }
    const std::string& IndexTail() const { return indexTail_; }
    // What goes before an entry of _index.html when `written` entries are
    // there already: the line breaks.
    std::string_view IndexSeparator(int written) const;

    bool Done() const { return step_ >= static_cast<int>(records_.size()); }
    // The next page; valid until the next call.
    const PlannedPage& Next();
    // The page last handed out could not be created.
    void Failed();
    // Whether the page last handed out is a whole group (in repeat mode);
    // a page short of its group is closed only after the run.
    bool CompletesGroup() const;

private:
    // What a page's name holds between its prefix and its extension: a
    // column's value in the table's encoding, or a number.
    struct Stem {
        std::string number;
        std::string_view value;
        bool isValue = false;
        platform::TextEncoding encoding = platform::TextEncoding::kUtf8;
        std::string_view Text() const { return isValue ? value : std::string_view(number); }
    };
    // The stem of the page whose first record is `record`, the `number`th
    // page of the run (from 0). The one description both the name and the
    // link are made from.
    Stem StemOf(int record, int number) const;
    void Name(PlannedPage& page) const;
    void AddIndexEntry(PlannedPage& page);
    // The name's link, part by part as the name was made.
    void AppendHref(std::string& out, int record) const;

    const CCsvTable& table_;
    bool ignoresCase_;
    platform::TextEncoding site_;
    std::vector<int> records_;
    int rule_;
    int fieldNum_;
    int start_, digit_;
    int groupSize_;  // records to a page; all of them for 0
    bool repeat_;
    bool index_;
    std::string prefix_, extension_;
    std::string indexHead_, indexTail_;
    int step_ = 0;
    int pagesOpened_ = 0;
    std::unordered_set<std::string> names_;  // as the file system spells them
    PlannedPage page_;
};

// The extension as page names use it: "html" for an empty text, leading
// dots removed.
std::string NormalizeExtension(const std::string& extension);

// Appends a piece of a page's name (in `encoding`) to its link as the
// index page in the site's encoding writes it: each byte that a URL or the
// attribute would take for something else, as %XX; a character that the
// site's encoding cannot hold, as %XX of its UTF-8 bytes; each piece that
// is no character, as %3F, the "?" of the file's name. Code page 932 into
// a code page 932 site keeps its bytes.
void AppendIndexHref(std::string& out, std::string_view text, platform::TextEncoding encoding,
                     platform::TextEncoding site);

// Whether a page name (its extension `extension`, after a ".") names
// nothing: the part before the extension, behind its last "/", is empty,
// "." or "..", which would make a hidden file or none at all.
bool NamesNothing(std::string_view name, std::string_view extension);

// Whether a page name stays inside the output folder: not absolute and
// without a ".." component.
bool IsSafePageName(const std::string& name);
