#include "settings/SettingsReader.h"

#include <algorithm>
#include <charconv>
#include <climits>

#include "platform/FileSys.h"
#include "platform/Memory.h"
#include "platform/TextEncoding.h"
#include "settings/SettingsText.h"

namespace {

// A whole number and nothing else, blanks around it allowed.
std::optional<int> Number(std::string_view value) {
    const size_t first = value.find_first_not_of(" \t");
    if (first == std::string_view::npos) return std::nullopt;
    value = value.substr(first, value.find_last_not_of(" \t") - first + 1);
    if (value.starts_with('+')) value.remove_prefix(1);
    int n = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    if (ec != std::errc() || end != value.data() + value.size()) return std::nullopt;
    return n;
}

struct Range {
    int low, high;
};

// The numbers a key takes, and where its value goes; switches take 0 or 1.
struct NumberKey {
    SettingsKey key;
    Range range;
};

constexpr NumberKey kNumberKeys[] = {
    {SettingsKey::ruleNum, {-1, 2}},   {SettingsKey::extNum, {-1, kExtensionCount - 1}},
    {SettingsKey::start, {1, 9999}},   {SettingsKey::digit, {1, 5}},
    {SettingsKey::repeat, {0, 9999}},  {SettingsKey::prefixChk, {0, 1}},
    {SettingsKey::fixChk, {0, 1}},     {SettingsKey::repeatChk, {0, 1}},
    {SettingsKey::createChk, {0, 1}},  {SettingsKey::autoChk, {0, 1}},
    {SettingsKey::csvCount, {INT_MIN, INT_MAX}},
};

// Sets a number's value; a value the key does not take leaves the one the
// window starts with.
void SetNumber(Job& job, SettingsKey key, std::optional<int> n) {
    const Job start;
    switch (key) {
        case SettingsKey::ruleNum: job.ruleNum = n.value_or(start.ruleNum); break;
        case SettingsKey::extNum: job.extNum = n.value_or(start.extNum); break;
        case SettingsKey::start: job.start = n.value_or(start.start); break;
        case SettingsKey::digit: job.digit = n.value_or(start.digit); break;
        case SettingsKey::repeat: job.repeat = n.value_or(start.repeat); break;
        case SettingsKey::prefixChk: job.prefixChk = n.value_or(start.prefixChk) != 0; break;
        case SettingsKey::fixChk: job.fixChk = n.value_or(start.fixChk) != 0; break;
        case SettingsKey::repeatChk: job.repeatChk = n.value_or(start.repeatChk) != 0; break;
        case SettingsKey::createChk: job.createChk = n.value_or(start.createChk) != 0; break;
        case SettingsKey::autoChk: job.autoChk = n.value_or(start.autoChk) != 0; break;
        default: break;  // csvCount is for the reader's eyes only
    }
}

// A choice's line (an encoding or the separator) into the job; false when it
// names none, which asks for detection.
bool TakeChoice(Job& job, SettingsKey key, std::string_view value) {
    if (key == SettingsKey::Sep) {
        const std::optional<platform::SeparatorChoice> choice = platform::ParseSeparatorChoice(value);
        job.separator = choice.value_or(platform::SeparatorChoice::kAuto);
        return choice.has_value();
    }
    std::optional<platform::EncodingChoice> choice = platform::ParseEncodingChoice(value);
    // UTF-16 is read for the CSV file alone.
    if (key == SettingsKey::htmlCode && choice == platform::EncodingChoice::kUtf16) choice.reset();
    (key == SettingsKey::csvCode ? job.csvCode : job.htmlCode) =
        choice.value_or(platform::EncodingChoice::kAuto);
    return choice.has_value();
}

// The items of a SelItems line: comma-separated numbers, blank items passed
// over, an item that is no number kept as nothing.
std::vector<std::optional<int>> SelItems(std::string_view value) {
    std::vector<std::optional<int>> items;
    for (size_t at = 0; at <= value.size();) {
        size_t comma = value.find(',', at);
        if (comma == std::string_view::npos) comma = value.size();
        const std::string_view item = value.substr(at, comma - at);
        if (item.find_first_not_of(" \t") != std::string_view::npos) items.push_back(Number(item));
        at = comma + 1;
    }
    return items;
}

}  // namespace

SettingsRead ReadSettingsText(std::string_view text) {
    SettingsRead read;
    Job& job = read.job;
    int number = 0;
    for (std::string_view raw : SplitSettingsLines(text)) {
        ++number;
        if (raw.ends_with('\r')) raw.remove_suffix(1);
        auto unused = [&] { read.unused.push_back({.text = std::string(raw), .number = number}); };
        const std::optional<SettingsLine> line = SplitSettingsLine(raw);
        if (!line) {
            if (raw.find_first_not_of(" \t") != std::string_view::npos) unused();
            continue;
        }
        const std::string_view value = line->value;
        const SettingsKey key = LookupSettingsKey(line->key);
        switch (key) {
            case SettingsKey::None:
                unused();
                break;
            case SettingsKey::FileName:
                break;  // the file's own name
            case SettingsKey::Sheet: job.sheet = std::string(value); break;
            case SettingsKey::Sep:
            case SettingsKey::csvCode:
            case SettingsKey::htmlCode:
                if (!TakeChoice(job, key, value)) unused();
                break;
            case SettingsKey::CSV:
                job.CSV = std::string(value);
                read.namesCsv = true;
                break;
            case SettingsKey::HTML: job.HTML = std::string(value); break;
            case SettingsKey::Out: job.Out = std::string(value); break;
            case SettingsKey::Prefix: job.Prefix = std::string(value); break;
            case SettingsKey::fieldNum:
                job.fieldNum = Number(value).value_or(-1);
                read.fieldLine = {};
                if (!Number(value))
                    unused();
                else
                    read.fieldLine = {number, std::string(raw)};
                break;
            case SettingsKey::SelItems:
                read.selItemsLine = {number, std::string(raw)};
                read.selItems = SelItems(value);
                break;
            default: {
                const auto* known = std::find_if(std::begin(kNumberKeys), std::end(kNumberKeys),
                                                 [key](const NumberKey& k) { return k.key == key; });
                std::optional<int> n = Number(value);
                if (n && (*n < known->range.low || *n > known->range.high)) n.reset();
                if (!n) unused();
                SetNumber(job, key, n);
                break;
            }
        }
    }
    // No entry chosen (a rule, or an extension typed in and not kept)
    // leaves the one the window starts with.
    const Job start;
    if (job.ruleNum == -1) job.ruleNum = start.ruleNum;
    if (job.extNum == -1) job.extNum = start.extNum;
    job.extension = kExtensions[job.extNum];
    return read;
}

void TakeAgainstTable(SettingsRead& read, int columns, int records) {
    Job& job = read.job;
    job.selection.clear();
    if (records < 0) {  // no table: its load said why
        job.fieldNum = -1;
        return;
    }
    auto unused = [&read](const SettingsRead::Pending& line) {
        read.unused.push_back({.text = line.text, .number = line.line});
    };
    if (read.fieldLine.line > 0 && (job.fieldNum < -1 || job.fieldNum >= columns)) {
        unused(read.fieldLine);
        job.fieldNum = -1;
    }
    if (read.selItemsLine.line == 0) {
        for (int r = 1; r < records; ++r) job.selection.push_back(r);
        return;
    }
    std::vector<int> items;
    for (const std::optional<int>& item : read.selItems) items.push_back(item.value_or(-2));
    bool fits = true;
    job.selection = SelectedWithin(items, records, &fits);
    if (!fits) unused(read.selItemsLine);
}

std::optional<diag::Diagnostic> UnusedLinesWarning(const SettingsRead& read) {
    if (read.unused.empty()) return std::nullopt;
    diag::Diagnostic d{.code = diag::Code::kSettingsLinesUnused, .entries = read.unused};
    std::stable_sort(d.entries.begin(), d.entries.end(),
                     [](const diag::Entry& a, const diag::Entry& b) { return a.number < b.number; });
    return d;
}

std::optional<std::string> DecodeSettingsFile(std::string_view bytes) {
    const platform::DetectedText found = platform::DetectEncoding(bytes, platform::TextKind::kSettings);
    if (found.utf16) return std::nullopt;
    bytes.remove_prefix(found.bomLength);
    return platform::ToUtf8(bytes, found.encoding);
}

std::optional<SettingsRead> ReadSettingsFile(const std::string& path, diag::Sink& sink) {
    using diag::Code;
    platform::ByteBuffer bytes;
    switch (platform::ReadWholeFile(path, bytes)) {
        case platform::ReadStatus::kRead:
            if (const std::optional<std::string> text = DecodeSettingsFile(bytes.View())) {
                SettingsRead read = ReadSettingsText(*text);
                read.job.fileName = path;
                return read;
            }
            sink.Report({.code = Code::kSettingsUtf16, .path = path});
            return std::nullopt;
        case platform::ReadStatus::kNoMemory:
            sink.Report({.code = Code::kNoMemory});
            return std::nullopt;
        case platform::ReadStatus::kCannotOpen:
            break;
    }
    sink.Report({.code = Code::kSettingsCannotOpen, .path = path});
    return std::nullopt;
}
