#include "gen/GenerationRun.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <filesystem>
#include <string_view>
#include <unordered_set>

#include "data/CsvTable.h"
#include "data/TemplateFile.h"
#include "gen/DumpPage.h"
#include "gen/Expand.h"
#include "gen/ProgramIdentity.h"
#include "platform/CodePage.h"
#include "platform/FileSys.h"
#include "platform/OutputFile.h"
#include "platform/Prompter.h"
#include "platform/StrFormat.h"
#include "platform/Texts.h"

using platform::OutputFile;
using platform::OutputFolder;
using platform::StrFormat;

namespace {

constexpr int kIndexEntriesPerLineByValue = 5;
constexpr int kIndexEntriesPerLineByNumber = 10;
constexpr int kIndexValueColumn = 30;
constexpr size_t kNamesInWarning = 10;

const char* FieldOrEmpty(const CCsvTable& table, int record, int column) {
    const CCsvRecord* rec = table.GetRecord(record);
    const char* v = rec ? rec->GetField(column) : nullptr;
    return v ? v : "";
}

// _db.html is written on a thread of its own while the pages are written;
// it only reads the table. The file is created at once, so files still
// appear in the order of the run, and a page that is the same file (by its
// name or through a link) waits for the dump page first, so that the later
// write wins as it would one after the other.
class DumpWriter {
public:
    DumpWriter() = default;
    DumpWriter(const DumpWriter&) = delete;
    DumpWriter& operator=(const DumpWriter&) = delete;
    ~DumpWriter() { Finish(); }

    // Creates the file `name` in `folder` and starts writing; false when it
    // cannot be created.
    bool Start(const CCsvTable& table, const OutputFolder& folder, const char* name) {
        if (!file_.Create(folder, name)) return false;
        started_ = true;
        table_ = &table;
        folder_ = folder.Fd();
        struct stat st {};
        if (::fstatat(folder_, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            device_ = st.st_dev;
            inode_ = st.st_ino;
            known_ = true;
        }
        running_ = ::pthread_create(&thread_, nullptr, &DumpWriter::Run, this) == 0;
        if (!running_) Run(this);  // no thread to be had: write it now
        return true;
    }

    // Before the page `cpName` is created: waits for the dump page when
    // the name is its file.
    void BeforeCreating(const std::string& cpName) {
        if (!running_) return;
        struct stat st {};
        if (done_.load(std::memory_order_acquire) || !known_ ||
            (::fstatat(folder_, platform::Cp932ToUtf8(cpName).c_str(), &st, AT_SYMLINK_NOFOLLOW) ==
                 0 &&
             st.st_dev == device_ && st.st_ino == inode_))
            Join();
    }

    // Waits for the writing; false when the file was created but not
    // written whole.
    bool Finish() {
        Join();
        return !started_ || written_;
    }

private:
    static void* Run(void* self) {
        auto* w = static_cast<DumpWriter*>(self);
        WriteDumpPage(*w->table_, w->file_);
        w->written_ = w->file_.Close();
        w->done_.store(true, std::memory_order_release);
        return nullptr;
    }
    void Join() {
        if (running_) ::pthread_join(thread_, nullptr);
        running_ = false;
    }

    OutputFile file_;
    const CCsvTable* table_ = nullptr;
    int folder_ = -1;
    pthread_t thread_{};
    bool started_ = false;
    bool running_ = false;
    bool known_ = false;  // whether device_ and inode_ name the file
    dev_t device_ = 0;
    ino_t inode_ = 0;
    bool written_ = false;
    std::atomic<bool> done_{false};
};

// A page name as the file system sees it, to tell when two pages are one
// file. A name without a folder part is already in its normal form.
std::string FileSystemKey(const std::string& name) {
    std::string utf8 = platform::Cp932ToUtf8(name);
    if (utf8.find('/') == std::string::npos) return utf8;
    return std::filesystem::path(utf8).lexically_normal().string();
}

std::string IncompleteRunWarning(const RunReport& report, const platform::Prompter& prompter) {
    std::string msg;
    auto line = [&msg](const std::string& text) {
        if (!msg.empty()) msg += '\n';
        msg += text;
    };
    if (report.templateNulLine > 0)
        line(StrFormat("ﾃﾝﾌﾟﾚｰﾄ(HTML) の %d 行目以降は NUL 文字のため読み込みませんでした．",
                       report.templateNulLine));
    if (report.templateEofLine > 0)
        line(StrFormat("ﾃﾝﾌﾟﾚｰﾄ(HTML) の %d 行目以降は 0x1A 文字のため読み込みませんでした．",
                       report.templateEofLine));
    auto list = [&](const std::vector<std::string>& items) {
        for (size_t i = 0; i < items.size() && i < kNamesInWarning; ++i)
            line(prompter.DataText(platform::Cp932ToUtf8(items[i])));
    };
    if (!report.failedPaths.empty()) {
        line(StrFormat("%d 個のファイルを作成または書き込みできませんでした．",
                       static_cast<int>(report.failedPaths.size())));
        list(report.failedPaths);
    }
    if (!report.overwrittenNames.empty()) {
        line(StrFormat("%d 個のページが同じ名前の後のページで上書きされました．",
                       static_cast<int>(report.overwrittenNames.size())));
        list(report.overwrittenNames);
    }
    return msg;
}

// Waits until this run alone writes the folder: false when another run
// kept it longer than `patience`. A file system that cannot lock is
// written without.
bool LockFolder(OutputFolder& folder, std::chrono::milliseconds patience,
                const std::function<void(std::string)>& status) {
    OutputFolder::Lock lock = folder.TryLock();
    if (lock != OutputFolder::Lock::kBusy) return true;
    status(kStatusWaitingForOutput);
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (lock == OutputFolder::Lock::kBusy) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        lock = folder.TryLock();
    }
    return true;
}

}  // namespace

std::string NormalizeExtension(const std::string& extension) {
    std::string ext = extension.empty() ? std::string("html") : extension;
    const size_t dots = ext.find_first_not_of('.');
    ext.erase(0, dots == std::string::npos ? ext.size() : dots);
    return ext;
}

void AppendIndexHref(std::string& out, std::string_view cpName) {
    static const char kHex[] = "0123456789ABCDEF";
    // A NUL ends the name, as it ends the file's name.
    cpName = cpName.substr(0, cpName.find('\0'));
    const auto* p = reinterpret_cast<const unsigned char*>(cpName.data());
    const size_t size = cpName.size();
    for (size_t i = 0; i < size;) {
        const size_t n = platform::Cp932UnitLength(p + i, size - i);
        const unsigned char c = p[i];
        if (!platform::Cp932UnitConverts(p + i, n)) {
            out += "%3F";  // the "?" that the file's name has in its place
        } else if (n == 1 && (c <= 0x20 || c == 0x7F || std::strchr("\"#%&<>?\\", c))) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out.append(cpName.substr(i, n));
        }
        i += n;
    }
}

bool IsSafePageName(const std::string& name) {
    if (name.empty() || name[0] == '/') return false;
    size_t pos = 0;
    while (pos <= name.size()) {
        size_t slash = name.find('/', pos);
        if (slash == std::string::npos) slash = name.size();
        if (std::string_view(name).substr(pos, slash - pos) == "..") return false;
        pos = slash + 1;
    }
    return true;
}

RunReport RunGeneration(const RunSettings& settings, const std::vector<int>& selection,
                        const CCsvTable* table, const RunCallbacks& callbacks,
                        platform::Prompter& prompter) {
    RunReport report;
    auto status = [&](std::string text) {
        if (callbacks.status) callbacks.status(text);
        report.lastStatus = std::move(text);
    };
    auto refuse = [&](const char* message) {
        report.refused = true;
        status(message);
        return report;
    };
    auto statusText = [&](std::string text) { status(std::move(text)); };

    // The checks, in order; nothing is written before all have passed.
    if (settings.HTML.empty()) return refuse("ﾃﾝﾌﾟﾚｰﾄ(HTML) を指定してください．");
    if (settings.Out.empty()) return refuse("出力先(ﾌｫﾙﾀﾞ) を指定してください．");
    CTemplateFile templateFile(settings.HTML);
    if (!templateFile.IsOpen()) return refuse(kStatusTemplateMissing);
    templateFile.Read();
    if (templateFile.ReadStatus() == platform::ReadStatus::kNoMemory) {
        prompter.Information(kWarningCaption, platform::kNoMemoryText);
        return refuse(platform::kNoMemoryText);
    }
    if (templateFile.ReadStatus() != platform::ReadStatus::kRead)
        return refuse(kStatusTemplateMissing);
    report.templateNulLine = templateFile.NulLine();
    report.templateEofLine = templateFile.EofLine();
    if (!platform::IsFolder(settings.Out)) return refuse(kStatusOutMissing);
    if (settings.ruleNum == kRuleFieldValue && settings.fieldNum < 0)
        return refuse("生成ファイル用のフィールド名を選択してください．");
    std::vector<int> records;
    if (table) {
        records.reserve(selection.size());
        for (int r : selection)
            if (r >= 0 && r < table->RecordCount()) records.push_back(r);
    }
    if (records.empty()) return refuse("出力したいレコードを選択してください．");
    OutputFolder folder;
    if (!folder.Open(settings.Out)) return refuse(kStatusOutMissing);
    if (!LockFolder(folder, callbacks.lockPatience, statusText))
        return refuse(kStatusWaitingForOutput);

    const int n = static_cast<int>(records.size());
    if (callbacks.enableRunControls) callbacks.enableRunControls(false, true);

    const int rule = (settings.ruleNum == kRuleSequenceNumber || settings.ruleNum == kRuleFieldValue)
                         ? settings.ruleNum
                         : kRuleRecordNumber;
    const char* const pre = rule == kRuleFieldValue ? "<pre>" : "";

    // Names already taken in this run, as the file system spells them ("./a"
    // and "a", or two values without a Unicode form, are one file); a later
    // page of the same name replaces the earlier file.
    std::unordered_set<std::string> taken;
    taken.reserve(static_cast<size_t>(n) + 2);
    DumpWriter dump;
    size_t dbFailSlot = 0;  // where a failure of the dump page goes in the list
    const std::string indexPath = platform::JoinPath(settings.Out, "_index.html");
    const std::string dbPath = platform::JoinPath(settings.Out, "_db.html");
    OutputFile index;
    if (settings.createChk) {
        taken.insert("_index.html");
        taken.insert("_db.html");
        if (!index.Create(folder, "_index.html")) report.failedPaths.push_back(indexPath);
        dbFailSlot = report.failedPaths.size();
        if (!dump.Start(*table, folder, "_db.html")) report.failedPaths.push_back(dbPath);
    }
    if (index.IsOpen()) {
        index.Append(StrFormat(
            "<html>\n<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"
            "<title>Database Index generated by %s %s</title></head>\n"
            "<body><center><font size=6>Database Index Generated by %s %s</font><br>"
            "<font size=2>%s</font></center>\n<hr>\n%s",
            kProgramName, kProgramVersion, kProgramName, kProgramVersion, kCopyright, pre));
    }

    const std::string ext = NormalizeExtension(settings.extension);
    const std::string prefix = settings.prefixChk ? settings.Prefix : std::string();
    const int start = settings.start;
    const int digit = settings.digit;
    const int repeat = settings.repeat;
    // Placeholders are looked up and the frame stripped once per run.
    const CompiledTemplate compiled(*table, templateFile.GetText(), settings.repeatChk);

    int pagesOpened = 0;
    int indexEntries = 0;
    int recordsInPage = 0;
    OutputFile page;  // one buffer for every page of the run
    std::string pagePath;
    std::string name;
    auto closePage = [&]() {
        if (!page.Close()) report.failedPaths.push_back(pagePath);
    };

    int lastPercent = -1;
    for (int s = 0; s <= n; ++s) {
        if (s < n) {
            const int r = records[s];
            if (!settings.repeatChk || recordsInPage == 0) {
                name.assign(prefix.c_str());
                const char* value = "";
                if (rule == kRuleSequenceNumber) {
                    platform::AppendPaddedInt(name, start + pagesOpened, digit);
                } else if (rule == kRuleFieldValue) {
                    value = FieldOrEmpty(*table, r, settings.fieldNum);
                    name += value;
                } else {
                    platform::AppendPaddedInt(name, r, 5);
                }
                name += '.';
                name += ext;
                pagePath = platform::JoinPath(settings.Out, name);
                if (IsSafePageName(name)) {
                    dump.BeforeCreating(name);
                    page.Create(folder, name);
                }
                ++pagesOpened;
                if (!page.IsOpen()) {
                    report.failedPaths.push_back(pagePath);
                } else {
                    if (!taken.insert(FileSystemKey(name)).second)
                        report.overwrittenNames.push_back(name);
                    if (settings.repeatChk) page.Append("<HTML>\n");
                }
                if (index.IsOpen()) {
                    std::string& f = index.Text();
                    if (rule == kRuleFieldValue) {
                        if (indexEntries % kIndexEntriesPerLineByValue == 0) f += '\n';
                        f += "[<a href=\"";
                        AppendIndexHref(f, name);
                        f += "\">";
                        f += value;
                        f += "</a>]";
                        const int len = static_cast<int>(std::strlen(value));
                        f.append(static_cast<size_t>(std::max(0, kIndexValueColumn - len)), ' ');
                    } else {
                        if (indexEntries % kIndexEntriesPerLineByNumber == 0) f += "<br>";
                        f += "[<a href=\"";
                        AppendIndexHref(f, name);
                        f += "\">";
                        if (rule == kRuleSequenceNumber)
                            platform::AppendPaddedInt(f, start + pagesOpened - 1, digit);
                        else
                            platform::AppendPaddedInt(f, r, 3);
                        f += "</a>] &nbsp; &nbsp;\n";
                    }
                    index.Spill();
                    ++indexEntries;
                }
            }
            if (page.IsOpen()) {
                compiled.Write(*table, r, page.Text());
                page.Spill();
                if (!settings.repeatChk) {
                    closePage();
                    recordsInPage = 0;
                } else if (recordsInPage == repeat - 1) {
                    page.Append("</HTML>\n");
                    closePage();
                    recordsInPage = 0;
                } else {
                    ++recordsInPage;
                }
            }
        }
        // The text changes a hundred times at most; only a change is shown.
        const int percent = static_cast<int>(s * 100LL / n);
        if (percent != lastPercent) {
            status(StrFormat("%3d%% 完了", percent));
            lastPercent = percent;
        }
    }

    if (page.IsOpen()) {
        if (settings.repeatChk) page.Append("</HTML>\n");
        closePage();
    }
    if (index.IsOpen()) {
        index.Append(pre);
        index.Append("</body></html>");
        if (!index.Close()) report.failedPaths.push_back(indexPath);
    }
    if (!dump.Finish())
        report.failedPaths.insert(report.failedPaths.begin() + static_cast<std::ptrdiff_t>(dbFailSlot),
                                  dbPath);
    folder.Unlock();  // before any box: another run may go on meanwhile
    report.pagesOpened = pagesOpened;
    if (callbacks.enableRunControls) callbacks.enableRunControls(true, true);

    if (!report.AllWritten())
        prompter.Information(kWarningCaption, IncompleteRunWarning(report, prompter));
    return report;
}
