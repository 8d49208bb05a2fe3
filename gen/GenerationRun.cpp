#include "gen/GenerationRun.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cctype>
#include <climits>
#include <cstring>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <unordered_set>
#include <utility>

#include "data/CsvTable.h"
#include "data/TemplateFile.h"
#include "gen/DumpPage.h"
#include "gen/CompiledTemplate.h"
#include "gen/RunPlan.h"
#include "platform/FileSys.h"
#include "platform/OutputFolder.h"
#include "platform/StrFormat.h"

using diag::Code;
using diag::Diagnostic;
using platform::OutputFile;
using platform::OutputFolder;
using platform::StrFormat;

namespace {

// _db.html is written on a thread of its own while the pages are written;
// it only reads the table. The file is created at once (or, when there is
// one, compared), before any page. No page
// is the same file: a page by its name is refused, and a file with other
// names is never written through.
class DumpWriter {
public:
    explicit DumpWriter(OutputFolder& folder) : file_(folder.NewFile()) {}
    DumpWriter(const DumpWriter&) = delete;
    DumpWriter& operator=(const DumpWriter&) = delete;
    ~DumpWriter() { Finish(); }

    // Creates the file `name` (or compares the one there) and starts
    // writing; false when it cannot be created.
    bool Start(const CCsvTable& table, platform::TextEncoding site, const char* name) {
        if (!file_->CreateUnlessSame(name)) return false;
        table_ = &table;
        site_ = site;
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            Run();  // no thread to be had: write it now
        }
        return true;
    }

    // Waits for the writing; what became of the file (kNone when it was
    // not started).
    OutputFile::Outcome Finish() {
        Join();
        return outcome_;
    }
    const OutputFile& File() const { return *file_; }
    // What had to be written in another form; valid after Finish.
    platform::SiteCounts Counts() const { return counts_; }

private:
    void Run() {
        counts_ = WriteDumpPage(*table_, *file_, site_);
        file_->Close();
        outcome_ = file_->Closed();
    }
    void Join() {
        if (thread_.joinable()) thread_.join();
    }

    std::unique_ptr<OutputFile> file_;
    const CCsvTable* table_ = nullptr;
    platform::TextEncoding site_ = platform::TextEncoding::kCp932;
    platform::SiteCounts counts_;
    std::thread thread_;
    OutputFile::Outcome outcome_ = OutputFile::Outcome::kNone;
};

NotWrittenReason ReasonOf(platform::WriteFailure failure) {
    using platform::WriteFailure;
    switch (failure) {
        case WriteFailure::kNoFolder:
            return NotWrittenReason::kNoFolder;
        case WriteFailure::kNameTooLong:
            return NotWrittenReason::kNameTooLong;
        case WriteFailure::kNotRegular:
            return NotWrittenReason::kNotRegular;
        case WriteFailure::kProtected:
            return NotWrittenReason::kRunFile;
        case WriteFailure::kWindowsName:
            return NotWrittenReason::kWindowsName;
        default:
            return NotWrittenReason::kCannotWrite;
    }
}

// A page a browser shows rather than offers to save: its extension, in any
// case, is html, htm, shtml or shtm.
bool BrowserShows(std::string_view name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || name.find('/', dot) != std::string_view::npos) return false;
    std::string extension(name.substr(dot + 1));
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == "html" || extension == "htm" || extension == "shtml" || extension == "shtm";
}

// What a run could not write as it should have: one warning of parts.
Diagnostic IncompleteRun(const RunReport& report) {
    Diagnostic d{.code = Code::kRunIncomplete};
    if (report.templateNulLine > 0)
        d.parts.push_back({.code = Code::kTemplateNulLine, .number = report.templateNulLine});
    if (report.templateEofLine > 0)
        d.parts.push_back({.code = Code::kTemplateEofLine, .number = report.templateEofLine});
    if (!report.notWritten.empty()) {
        Diagnostic& list = d.parts.emplace_back(Diagnostic{.code = Code::kFilesNotWritten});
        for (const FileNotWritten& file : report.notWritten)
            list.entries.push_back({.text = file.path, .reason = file.reason});
    }
    if (!report.overwrittenNames.empty()) {
        Diagnostic& list = d.parts.emplace_back(Diagnostic{.code = Code::kPagesOverwritten});
        for (const std::string& name : report.overwrittenNames) list.entries.push_back({.text = name});
    }
    return d;
}

// Waits until this run alone writes the folder: false when another run
// kept it longer than `patience`. A file system that cannot lock is
// written without.
bool LockFolder(OutputFolder& folder, std::chrono::milliseconds patience, diag::Sink& sink) {
    OutputFolder::Lock lock = folder.TryLock();
    if (lock != OutputFolder::Lock::kBusy) return true;
    sink.Report({.code = Code::kWaitingForOutput});
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (lock == OutputFolder::Lock::kBusy) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        lock = folder.TryLock();
    }
    return true;
}

}  // namespace

namespace {

// Everything the checks found to be in order: what the writing works with.
struct RunInputs {
    explicit RunInputs(const std::string& templatePath) : templateFile(templatePath) {}
    CTemplateFile templateFile;
    std::vector<int> records;
    std::unique_ptr<OutputFolder> folder;
};

// The checks, in order; nothing is written before all have passed. The
// refusal of the first that fails, or nothing.
std::optional<Diagnostic> CheckRun(const Job& job, const std::vector<int>& selection,
                                   const CCsvTable* table, const RunCallbacks& callbacks,
                                   RunInputs& in, RunReport& report, diag::Sink& sink) {
    if (job.HTML.empty()) return Diagnostic{.code = Code::kNoTemplatePath};
    if (job.Out.empty()) return Diagnostic{.code = Code::kNoOutPath};
    const Diagnostic templateMissing{.code = Code::kTemplateMissing, .path = job.HTML};
    if (!in.templateFile.IsOpen()) return templateMissing;
    in.templateFile.Read();
    if (in.templateFile.ReadStatus() == platform::ReadStatus::kNoMemory) {
        sink.Report({.code = Code::kNoMemory});
        return Diagnostic{.code = Code::kRunNoMemory};
    }
    if (in.templateFile.ReadStatus() != platform::ReadStatus::kRead) return templateMissing;
    if (in.templateFile.IsUtf16()) return Diagnostic{.code = Code::kTemplateUtf16, .path = job.HTML};
    // A browser would read the pages in the encoding the template declares,
    // whatever the program was told to read it in.
    if (const std::string& charset = in.templateFile.UnreadCharset(); !charset.empty())
        return Diagnostic{.code = Code::kTemplateCharset, .path = job.HTML, .name = charset};
    report.templateNulLine = in.templateFile.NulLine();
    report.templateEofLine = in.templateFile.EofLine();
    const Diagnostic outMissing{.code = Code::kOutMissing, .path = job.Out};
    in.folder = callbacks.openFolder ? callbacks.openFolder(job.Out)
                                     : platform::OpenOutputFolder(job.Out);
    if (!in.folder) return outMissing;
    if (job.ruleNum == kRuleFieldValue && job.fieldNum < 0)
        return Diagnostic{.code = Code::kNoNamingField};
    if (table) in.records = SelectedWithin(selection, table->RecordCount());
    if (in.records.empty()) return Diagnostic{.code = Code::kNoRecords};
    // Nothing the run reads is written, whatever name reaches it.
    for (const std::string* input : {&job.CSV, &job.HTML, &job.fileName})
        in.folder->Protect(*input);
    if (!LockFolder(*in.folder, callbacks.lockPatience, sink)) return Diagnostic{.code = Code::kOutBusy};
    return std::nullopt;
}

// Writes what the planner hands out: _db.html on its own thread, the
// pages and _index.html here, the progress after every record.
class RunWriter {
public:
    RunWriter(const Job& job, const CCsvTable& table, RunInputs& in,
              RunReport& report, std::function<void(Diagnostic)> status)
        : job_(job),
          table_(table),
          folder_(*in.folder),
          report_(report),
          status_(std::move(status)),
          site_(in.templateFile.Encoding(job.htmlCode, table.Encoding())),
          // A byte order mark would make a browser read a Shift_JIS page as
          // UTF-8.
          bom_(in.templateFile.HasBom() && site_ == platform::TextEncoding::kUtf8),
          planner_(job, table, std::move(in.records), site_, in.folder->IgnoresCase()),
          // Placeholders are looked up and the frame stripped once per run.
          compiled_(table, in.templateFile.GetText(), job.repeatChk, site_) {
        report_.siteEncoding = site_;
    }

    void Run() {
        folder_.NoteEntries();
        StartCheckFiles();
        if (planner_.Repeat())
            WriteGroups();
        else
            WritePlanned();
        FinishCheckFiles();
        report_.pagesOpened = pagesOpened_;
        counts_ += dump_.Counts();
        auto clamp = [](size_t n) { return static_cast<int>(std::min<size_t>(n, INT_MAX)); };
        report_.characterReferences = clamp(counts_.references);
        report_.replacements = clamp(counts_.replacements);
    }

private:
    std::string OutPath(std::string_view name) const { return platform::JoinPath(job_.Out, name); }
    void NotWrittenAt(size_t at, std::string_view name, NotWrittenReason reason) {
        report_.notWritten.insert(report_.notWritten.begin() + static_cast<std::ptrdiff_t>(at),
                                  {OutPath(name), reason});
    }
    void NoteNotWritten(std::string_view name, platform::WriteFailure failure) {
        NotWrittenAt(report_.notWritten.size(), name, ReasonOf(failure));
        // A name that came again and failed the second time.
        if (report_.shownPage == OutPath(name)) report_.shownPage.clear();
    }

    void StartCheckFiles() {
        if (!job_.createChk) return;
        if (!index_->CreateUnlessSame(kIndexPageName))
            NoteNotWritten(kIndexPageName, index_->Failure());
        dbFailSlot_ = report_.notWritten.size();
        if (!dump_.Start(table_, site_, kDumpPageName))
            NoteNotWritten(kDumpPageName, dump_.File().Failure());
        if (index_->IsOpen()) index_->Append(planner_.IndexHead());
    }

    // What the writing of a file left, for the report.
    struct Closing {
        bool written = false;  // Close said every byte is there
        OutputFile::Outcome outcome = OutputFile::Outcome::kNone;
        platform::WriteFailure failure = platform::WriteFailure::kNone;
        platform::FileIdentity identity;
    };
    static Closing ClosingOf(const OutputFile& file, bool written) {
        return {written, file.Closed(), file.Failure(), file.Identity()};
    }

    // In repeat mode a page that could not be created holds one record and
    // the records after it are grouped anew. A page compared with the file
    // there may find that out only as it is closed: then the planner goes
    // back to the record after its first.
    void WriteGroups() {
        const int n = static_cast<int>(planner_.Records().size());
        do {
            while (!planner_.Done()) {
                const PlannedPage& page = planner_.Next();
                if (!OpenPage(page)) planner_.Failed();
                for (int s = page.firstStep; s < page.firstStep + page.recordCount; ++s) {
                    if (page_->IsOpen()) {
                        counts_ += compiled_.Write(
                            table_, planner_.Records()[static_cast<size_t>(s)], page_->Text());
                        page_->Spill();
                    }
                    if (s + 1 == page.firstStep + page.recordCount && planner_.CompletesGroup() &&
                        !ClosePage())
                        planner_.Failed();
                    Progress(s, n);
                }
            }
            Progress(n, n);
            if (ClosePage()) break;
            planner_.Failed();
        } while (!planner_.Done());
    }

    // Creates the page of a group and holds its index entry until it is
    // written; false when it could not be created.
    bool OpenPage(const PlannedPage& page) {
        held_ = page;
        const bool created = !page.refused && CreatePage(page, *page_);
        if (!NoteOpened(page, created, page_->Failure())) return false;
        page_->Append("<HTML>\n");
        return true;
    }

    // Closes the page of a group; false when it could not be created after
    // all.
    bool ClosePage() {
        if (!page_->IsOpen()) return true;
        page_->Append("</HTML>\n");
        const bool written = page_->Close();
        return NoteClosed(held_, ClosingOf(*page_, written));
    }

    // One record a page: the pages are planned first, then written by two
    // writers at once where two cores are to be had, each taking the next
    // page not yet taken, and reported in the plan's order. Names that may
    // be one file (the same name again, or names that differ only in case,
    // which a USB stick or a Windows share takes for one) are written by
    // one writer, in order, so that the last page wins.
    void WritePlanned() {
        std::vector<PlannedPage> pages;
        std::unordered_set<std::string> folded;
        bool namesRepeat = false;
        while (!planner_.Done()) {
            pages.push_back(planner_.Next());
            const PlannedPage& page = pages.back();
            namesRepeat |= page.repeatsName ||
                           (!page.refused && !folded.insert(platform::CaseFolded(page.name)).second);
        }
        struct Written {
            bool created = false;
            Closing closing;
            platform::SiteCounts counts;
        };
        const size_t n = pages.size();
        std::vector<Written> written(n);
        std::atomic<size_t> next{0}, done{0};
        // The progress of each page finished, as one writer would tell it.
        size_t told = 0;
        auto tell = [&](size_t finished) {
            for (; told < finished; ++told) Progress(static_cast<int>(told), static_cast<int>(n));
        };
        auto write = [&](OutputFile& file, bool tells) {
            for (size_t i; (i = next.fetch_add(1)) < n;) {
                const PlannedPage& page = pages[i];
                Written& w = written[i];
                w.created = !page.refused && CreatePage(page, file);
                if (w.created) {
                    w.counts = compiled_.Write(
                        table_, planner_.Records()[static_cast<size_t>(page.firstStep)], file.Text());
                    w.closing = ClosingOf(file, file.Close());
                } else if (!page.refused) {
                    w.closing.failure = file.Failure();
                }
                const size_t finished = done.fetch_add(1) + 1;
                if (tells) tell(finished);
            }
        };
        std::unique_ptr<OutputFile> second;
        std::thread helper;
        if (!namesRepeat && n > 1 && std::thread::hardware_concurrency() > 1) {
            second = folder_.NewFile();
            try {
                helper = std::thread(write, std::ref(*second), false);
            } catch (const std::system_error&) {
                // No thread to be had: one writer does it all.
            }
        }
        write(*page_, true);
        if (helper.joinable()) helper.join();
        tell(n);
        Progress(static_cast<int>(n), static_cast<int>(n));
        for (size_t i = 0; i < n; ++i) {
            if (!NoteOpened(pages[i], written[i].created, written[i].closing.failure)) continue;
            counts_ += written[i].counts;
            NoteClosed(pages[i], written[i].closing);
        }
    }

    // Creates the file of a page that is not refused; a UTF-8 template that
    // begins with a byte order mark gives pages that do.
    bool CreatePage(const PlannedPage& page, OutputFile& file) const {
        // A name that comes again in the run is written every time, as its
        // last page must win.
        if (!(page.repeatsName ? file.Create(page.name) : file.CreateUnlessSame(page.name)))
            return false;
        if (bom_) file.Append("\xEF\xBB\xBF");
        return true;
    }

    // The report of a page opened: refused, not created (false), or
    // created.
    bool NoteOpened(const PlannedPage& page, bool created, platform::WriteFailure failure) {
        ++pagesOpened_;
        if (page.refused) {
            NotWrittenAt(report_.notWritten.size(), page.name, *page.refused);
            return false;
        }
        if (!created) {
            NoteNotWritten(page.name, failure);
            return false;
        }
        if (page.repeatsName) report_.overwrittenNames.push_back(page.name);
        return true;
    }

    // The report of a page closed; the index links it only when it holds
    // its bytes now. False when the page could not be created after all.
    bool NoteClosed(const PlannedPage& page, const Closing& closing) {
        if (!closing.written) {
            NoteNotWritten(page.name, closing.failure);
        } else if (report_.shownPage.empty() && BrowserShows(page.name)) {
            report_.shownPage = OutPath(page.name);
        }
        if (closing.written && index_->IsOpen()) {
            index_->Append(planner_.IndexSeparator(indexEntries_++));
            index_->Append(page.indexEntry);
            counts_ += page.indexCounts;
            index_->Spill();
        }
        return Closed(closing, page.repeatsName);
    }

    // Notes a file left as it was or written; false when the file turned
    // out to differ from the one there and that could not be opened for
    // writing. One file is found unchanged and written in one run only
    // through a name that comes again (`repeated`): a file with other names
    // is replaced, never written through.
    bool Closed(const Closing& closing, bool repeated = false) {
        switch (closing.outcome) {
            case OutputFile::Outcome::kUnchanged:
                unchanged_.insert(closing.identity);
                break;
            case OutputFile::Outcome::kWritten:
            case OutputFile::Outcome::kNotWritten:
                if (repeated) written_.insert(closing.identity);
                break;
            default:
                break;
        }
        return closing.outcome != OutputFile::Outcome::kNotCreated;
    }

    // Failures keep their places: _index.html not created first, then
    // _db.html, the pages, and _index.html not written whole.
    void FinishCheckFiles() {
        bool indexCreated = true;
        if (index_->IsOpen()) {
            index_->Append(planner_.IndexTail());
            const bool written = index_->Close();
            indexCreated = Closed(ClosingOf(*index_, written));
            if (!written && indexCreated) NoteNotWritten(kIndexPageName, index_->Failure());
            if (written) report_.shownPage = OutPath(kIndexPageName);
        }
        const OutputFile::Outcome dump = dump_.Finish();
        Closed(ClosingOf(dump_.File(), dump == OutputFile::Outcome::kWritten ||
                                           dump == OutputFile::Outcome::kUnchanged));
        if (dump == OutputFile::Outcome::kNotCreated || dump == OutputFile::Outcome::kNotWritten)
            NotWrittenAt(dbFailSlot_, kDumpPageName, ReasonOf(dump_.File().Failure()));
        if (!indexCreated) NotWrittenAt(0, kIndexPageName, ReasonOf(index_->Failure()));
        // A file left alone once and written later in the run (a name that
        // comes again) was not left alone.
        for (const platform::FileIdentity& id : unchanged_) report_.unchangedFiles += written_.count(id) == 0;
    }

    // The text changes a hundred times at most; only a step forward is
    // shown (a page regrouped goes back a few records).
    void Progress(int step, int n) {
        const int percent = static_cast<int>(step * 100LL / n);
        if (percent <= lastPercent_) return;
        status_({.code = Code::kProgress, .number = percent});
        lastPercent_ = percent;
    }

    const Job& job_;
    const CCsvTable& table_;
    OutputFolder& folder_;
    RunReport& report_;
    std::function<void(Diagnostic)> status_;
    const platform::TextEncoding site_;
    const bool bom_;  // every page begins with a byte order mark
    platform::SiteCounts counts_;
    RunPlanner planner_;
    const CompiledTemplate compiled_;
    DumpWriter dump_{folder_};
    size_t dbFailSlot_ = 0;  // where a failure of the dump page goes in the list
    std::unique_ptr<OutputFile> index_ = folder_.NewFile();
    std::unique_ptr<OutputFile> page_ = folder_.NewFile();  // one buffer for every page of the run
    PlannedPage held_;  // the page of a group open now, its index entry held until it is written
    int pagesOpened_ = 0;
    int indexEntries_ = 0;      // entries in _index.html
    int lastPercent_ = -1;
    // Files found holding their bytes, and files written that may be among
    // them.
    std::unordered_set<platform::FileIdentity, platform::FileIdentityHash> unchanged_, written_;
};

}  // namespace

RunReport RunGeneration(const Job& job, const std::vector<int>& selection,
                        const CCsvTable* table, const RunCallbacks& callbacks, diag::Sink& sink) {
    RunReport report;
    auto status = [&](Diagnostic d) {
        sink.Report(d);
        report.lastStatus = std::move(d);
    };
    RunInputs in(job.HTML);
    if (std::optional<Diagnostic> refusal =
            CheckRun(job, selection, table, callbacks, in, report, sink)) {
        report.refused = true;
        status(std::move(*refusal));
        return report;
    }

    if (callbacks.enableRunControls) callbacks.enableRunControls(false, true);
    RunWriter(job, *table, in, report, status).Run();
    in.folder->Unlock();  // before any box: another run may go on meanwhile
    if (callbacks.enableRunControls) callbacks.enableRunControls(true, true);

    if (!report.AllWritten()) sink.Report(IncompleteRun(report));
    // No failure: each said after the run's last word.
    for (const auto& [code, count] : {std::pair{Code::kCharacterReferences, report.characterReferences},
                                      std::pair{Code::kReplacements, report.replacements},
                                      std::pair{Code::kUnchangedFiles, report.unchangedFiles}})
        if (count > 0) sink.Report({.code = code, .number = count});
    return report;
}
