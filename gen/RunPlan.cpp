#include "gen/RunPlan.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "data/CsvTable.h"
#include "gen/ProgramIdentity.h"
#include "platform/CodePage.h"
#include "platform/TextEncoding.h"
#include "platform/StrFormat.h"

namespace {

constexpr int kIndexEntriesPerLineByValue = 5;
constexpr int kIndexEntriesPerLineByNumber = 10;
constexpr size_t kIndexValueColumn = 30;

std::string_view FieldOrEmpty(const CCsvTable& table, int record, int column) {
    const CCsvRecord* rec = table.GetRecord(record);
    return rec ? rec->FieldView(column) : std::string_view();
}

// A page name as the file system sees it, to tell when two pages are one
// file ("./a" and "a", or two values without a Unicode form). A name
// without a folder part is already in its normal form.
std::string FileSystemKey(const std::string& name) {
    if (name.find('/') == std::string::npos) return name;
    std::vector<std::string_view> parts;
    for (size_t at = 0; at <= name.size();) {
        size_t slash = name.find('/', at);
        if (slash == std::string::npos) slash = name.size();
        const std::string_view part = std::string_view(name).substr(at, slash - at);
        if (part == ".." && !parts.empty() && parts.back() != "..")
            parts.pop_back();
        else if (!part.empty() && part != ".")
            parts.push_back(part);
        at = slash + 1;
    }
    std::string key = name.starts_with('/') ? "/" : "";
    for (size_t i = 0; i < parts.size(); ++i) key.append(i ? "/" : "").append(parts[i]);
    return key;
}

bool EqualsAsciiFolded(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
               return lower(x) == lower(y);
           });
}

void AppendPercent(std::string& out, std::string_view bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    for (unsigned char c : bytes) {
        out += '%';
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
}

// Bytes a URL or the attribute would take for something else.
bool NeedsPercent(unsigned char c) {
    return c <= 0x20 || c == 0x7F || std::strchr("\"#%&<>?\\", c);
}

// Code page 932 bytes into a code page 932 site: units as they are.
void AppendCp932Href(std::string& out, std::string_view cpName) {
    const auto* p = reinterpret_cast<const unsigned char*>(cpName.data());
    const size_t size = cpName.size();
    for (size_t i = 0; i < size;) {
        const size_t n = platform::Cp932UnitLength(p + i, size - i);
        if (!platform::Cp932UnitConverts(p + i, n))
            out += "%3F";  // the "?" that the file's name has in its place
        else if (n == 1 && NeedsPercent(p[i]))
            AppendPercent(out, cpName.substr(i, 1));
        else
            out.append(cpName.substr(i, n));
        i += n;
    }
}

// UTF-8 into either site: characters as the site holds them.
void AppendUtf8Href(std::string& out, std::string_view utf8, platform::TextEncoding site) {
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t size = utf8.size();
    for (size_t i = 0; i < size;) {
        size_t n = 1;
        const char32_t c = platform::DecodeUtf8(p + i, size - i, &n);
        const std::string_view unit = utf8.substr(i, n);
        i += n;
        if (c == platform::kNoCharacter) {
            out += "%3F";
        } else if (c < 0x80) {
            if (NeedsPercent(static_cast<unsigned char>(c)))
                AppendPercent(out, unit);
            else
                out += static_cast<char>(c);
        } else if (site == platform::TextEncoding::kUtf8) {
            out.append(unit);
        } else if (std::optional<std::string> cp = platform::Utf8ToCp932Exactly(unit)) {
            out += *cp;
        } else {
            AppendPercent(out, unit);
        }
    }
}

}  // namespace

std::string NormalizeExtension(const std::string& extension) {
    std::string ext = extension.empty() ? std::string("html") : extension;
    const size_t dots = ext.find_first_not_of('.');
    ext.erase(0, dots == std::string::npos ? ext.size() : dots);
    return ext;
}

void AppendIndexHref(std::string& out, std::string_view text, platform::TextEncoding encoding,
                     platform::TextEncoding site) {
    // A NUL ends the name, as it ends the file's name.
    text = text.substr(0, text.find('\0'));
    if (encoding == platform::TextEncoding::kUtf8)
        AppendUtf8Href(out, text, site);
    else if (site == platform::TextEncoding::kCp932)
        AppendCp932Href(out, text);
    else
        AppendUtf8Href(out, platform::Cp932ToUtf8(text), site);
}

bool NamesNothing(std::string_view name, std::string_view extension) {
    std::string_view stem = name.substr(0, name.size() - extension.size() - 1);
    stem = stem.substr(stem.rfind('/') + 1);  // the file's own part
    return stem.empty() || stem == "." || stem == "..";
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

// ------------------------------------------------------------ RunPlanner

RunPlanner::RunPlanner(const Job& job, const CCsvTable& table,
                       std::vector<int> records, platform::TextEncoding site, bool ignoresCase)
    : table_(table),
      ignoresCase_(ignoresCase),
      site_(site),
      records_(std::move(records)),
      rule_(job.ruleNum == kRuleSequenceNumber || job.ruleNum == kRuleFieldValue
                ? job.ruleNum
                : kRuleRecordNumber),
      fieldNum_(job.fieldNum),
      start_(job.start),
      digit_(job.digit),
      // A group is complete at `repeat` records; 0 (or less) never is.
      groupSize_(job.repeat > 0 ? job.repeat : 0),
      repeat_(job.repeatChk),
      index_(job.createChk),
      prefix_(job.prefixChk ? job.Prefix.c_str() : ""),
      extension_(NormalizeExtension(job.extension)) {
    names_.reserve(records_.size());
    if (index_) {
        const char* pre = rule_ == kRuleFieldValue ? "<pre>" : "";
        indexHead_ = platform::StrFormat(
            "<html>\n<head><meta http-equiv=\"Content-Type\" content=\"text/html; "
            "charset=%s\"><title>Database Index generated by %s %s</title></head>\n"
            "<body><center><font size=6>Database Index Generated by %s %s</font><br>"
            "<font size=2>%s</font></center>\n<hr>\n%s",
            platform::CharsetLabel(site_), kProgramName, kProgramVersion, kProgramName, kProgramVersion, kCopyright, pre);
        indexTail_ = rule_ == kRuleFieldValue ? "</pre></body></html>" : "</body></html>";
    }
}

const PlannedPage& RunPlanner::Next() {
    const int left = static_cast<int>(records_.size()) - step_;
    page_.firstStep = step_;
    page_.recordCount = !repeat_ ? 1 : groupSize_ > 0 ? std::min(groupSize_, left) : left;
    Name(page_);
    ++pagesOpened_;
    const std::string key =
        ignoresCase_ ? platform::CaseFolded(FileSystemKey(page_.name)) : FileSystemKey(page_.name);
    page_.refused.reset();
    if (NamesNothing(page_.name, extension_))
        page_.refused = NotWrittenReason::kEmptyName;
    else if (!IsSafePageName(page_.name))
        page_.refused = NotWrittenReason::kCannotWrite;
    // The run's own files are not pages: the page would be lost under them,
    // in any case of the letters (a folder on a USB stick or a Windows share
    // takes "_DB.html" for "_db.html").
    else if (index_ && (EqualsAsciiFolded(key, kIndexPageName) ||
                        EqualsAsciiFolded(key, kDumpPageName)))
        page_.refused = NotWrittenReason::kRunFile;
    page_.repeatsName = !page_.refused && !names_.insert(key).second;
    page_.indexEntry.clear();
    page_.indexCounts = {};
    if (index_) AddIndexEntry(page_);
    step_ += page_.recordCount;
    return page_;
}

void RunPlanner::Failed() {
    step_ = page_.firstStep + 1;
    page_.recordCount = 1;
}

std::string_view RunPlanner::IndexSeparator(int written) const {
    // Five values to a line in the <pre> block, ten numbers to a line.
    if (rule_ == kRuleFieldValue) return written % kIndexEntriesPerLineByValue == 0 ? "\n" : "";
    return written % kIndexEntriesPerLineByNumber == 0 ? "<br>" : "";
}

bool RunPlanner::CompletesGroup() const {
    return !repeat_ || (groupSize_ > 0 && page_.recordCount == groupSize_);
}

RunPlanner::Stem RunPlanner::StemOf(int record, int number) const {
    Stem stem;
    if (rule_ == kRuleFieldValue) {
        stem.value = FieldOrEmpty(table_, record, fieldNum_);
        stem.isValue = true;
        stem.encoding = table_.Encoding();
        return stem;
    }
    if (rule_ == kRuleSequenceNumber)
        platform::AppendPaddedInt(stem.number, start_ + number, digit_);
    else
        platform::AppendPaddedInt(stem.number, record, 5);
    return stem;
}

void RunPlanner::Name(PlannedPage& page) const {
    const Stem stem = StemOf(records_[static_cast<size_t>(page.firstStep)], pagesOpened_);
    page.name = prefix_;
    page.name += platform::ToUtf8(stem.Text(), stem.encoding);
    page.name += '.';
    page.name += extension_;
}

void RunPlanner::AddIndexEntry(PlannedPage& page) {
    std::string& e = page.indexEntry;
    const int record = records_[static_cast<size_t>(page.firstStep)];
    if (rule_ == kRuleFieldValue) {
        // Each value padded to 30 display columns.
        const std::string_view value = FieldOrEmpty(table_, record, fieldNum_);
        e += "[<a href=\"";
        AppendHref(e, record);
        e += "\">";
        page.indexCounts += platform::AppendForSite(e, value, table_.Encoding(), site_);
        e += "</a>]";
        const size_t width = platform::DisplayWidth(value, table_.Encoding());
        if (width < kIndexValueColumn) e.append(kIndexValueColumn - width, ' ');
    } else {
        e += "[<a href=\"";
        AppendHref(e, record);
        e += "\">";
        if (rule_ == kRuleSequenceNumber)
            platform::AppendPaddedInt(e, start_ + pagesOpened_ - 1, digit_);
        else
            platform::AppendPaddedInt(e, record, 3);
        e += "</a>] &nbsp; &nbsp;\n";
    }
}

void RunPlanner::AppendHref(std::string& out, int record) const {
    // The name's parts as Name joins them, each in its own encoding, so that
    // code page 932 into a code page 932 site keeps its bytes.
    using platform::TextEncoding;
    const Stem stem = StemOf(record, pagesOpened_ - 1);
    AppendIndexHref(out, prefix_, TextEncoding::kUtf8, site_);
    AppendIndexHref(out, stem.Text(), stem.encoding, site_);
    out += '.';
    AppendIndexHref(out, extension_, TextEncoding::kUtf8, site_);
}
