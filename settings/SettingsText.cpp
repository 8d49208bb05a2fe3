#include "settings/SettingsText.h"

#include <charconv>
#include <climits>
#include <cstddef>
#include <iterator>

namespace {

// One "key:value" line with the key right-aligned in nine columns.
void AppendKey(std::string& out, std::string_view key) {
    constexpr std::size_t kKeyColumns = 9;
    if (key.size() < kKeyColumns) out.append(kKeyColumns - key.size(), ' ');
    out.append(key);
    out.push_back(':');
}

void AppendText(std::string& out, std::string_view key, std::string_view text) {
    AppendKey(out, key);
    out.append(text);
    out.push_back('\n');
}

void AppendInt(std::string& out, int value) {
    char digits[16];
    const auto [end, ec] = std::to_chars(std::begin(digits), std::end(digits), value);
    static_cast<void>(ec);  // an int always fits
    out.append(digits, end);
}

void AppendNumber(std::string& out, std::string_view key, int value) {
    AppendKey(out, key);
    AppendInt(out, value);
    out.push_back('\n');
}

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

struct KeyName {
    std::string_view name;
    SettingsKey key;
};

constexpr KeyName kKeyNames[] = {
    {"FileName", SettingsKey::FileName},
    {"Sep", SettingsKey::Sep},
    {"Sheet", SettingsKey::Sheet},
    {"csvCode", SettingsKey::csvCode},
    {"htmlCode", SettingsKey::htmlCode},
    {"CSV", SettingsKey::CSV},
    {"HTML", SettingsKey::HTML},
    {"Out", SettingsKey::Out},
    {"Prefix", SettingsKey::Prefix},
    {"ruleNum", SettingsKey::ruleNum},
    {"fieldNum", SettingsKey::fieldNum},
    {"extNum", SettingsKey::extNum},
    {"start", SettingsKey::start},
    {"digit", SettingsKey::digit},
    {"repeat", SettingsKey::repeat},
    {"prefixChk", SettingsKey::prefixChk},
    {"fixChk", SettingsKey::fixChk},
    {"repeatChk", SettingsKey::repeatChk},
    {"createChk", SettingsKey::createChk},
    {"autoChk", SettingsKey::autoChk},
    {"csvCount", SettingsKey::csvCount},
    {"SelItems", SettingsKey::SelItems},
};

}  // namespace

std::string ComposeSettingsHead(const Job& v) {
    std::string out;
    AppendText(out, "FileName", v.fileName);
    if (v.csvCode != platform::EncodingChoice::kAuto)
        AppendText(out, "csvCode", platform::EncodingChoiceName(v.csvCode));
    if (v.htmlCode != platform::EncodingChoice::kAuto)
        AppendText(out, "htmlCode", platform::EncodingChoiceName(v.htmlCode));
    AppendText(out, "CSV", v.CSV);
    if (!v.sheet.empty()) AppendText(out, "Sheet", v.sheet);
    if (v.separator != platform::SeparatorChoice::kAuto)
        AppendText(out, "Sep", platform::SeparatorChoiceName(v.separator));
    AppendText(out, "HTML", v.HTML);
    AppendText(out, "Out", v.Out);
    AppendText(out, "Prefix", v.Prefix);
    AppendNumber(out, "ruleNum", v.ruleNum);
    AppendNumber(out, "fieldNum", v.fieldNum);
    AppendNumber(out, "extNum", v.extNum);
    AppendNumber(out, "start", v.start);
    AppendNumber(out, "digit", v.digit);
    AppendNumber(out, "repeat", v.repeat);
    AppendNumber(out, "prefixChk", v.prefixChk);
    AppendNumber(out, "fixChk", v.fixChk);
    AppendNumber(out, "repeatChk", v.repeatChk);
    AppendNumber(out, "createChk", v.createChk);
    AppendNumber(out, "autoChk", v.autoChk);
    // The selection never exceeds the record limit, so its size fits an int.
    AppendNumber(out, "csvCount", static_cast<int>(v.selection.size()));
    return out;
}

std::string ComposeSelItemsLine(const std::vector<int>& selection) {
    std::string out;
    out.reserve(16 + selection.size() * 6);
    AppendKey(out, "SelItems");
    for (std::size_t i = 0; i < selection.size(); ++i) {
        if (i > 0) out.push_back(',');
        AppendInt(out, selection[i]);
    }
    out.push_back('\n');
    return out;
}

std::string ToCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        if (c == '\n') out.push_back('\r');
        out.push_back(c);
    }
    return out;
}

std::string EncodeSettingsFile(std::string_view text) {
    // Code page 932 only when it reads back as code page 932: a few pairs
    // of characters (凜ス is EA A3 83 58) are valid UTF-8 too.
    if (std::optional<std::string> cp932 = platform::Utf8ToCp932Exactly(text))
        if (platform::DetectEncoding(*cp932, platform::TextKind::kSettings).encoding ==
            platform::TextEncoding::kCp932)
            return *cp932;
    std::string bytes = "\xEF\xBB\xBF";
    bytes.append(text);
    return bytes;
}

std::vector<std::string_view> SplitSettingsLines(std::string_view file) {
    std::vector<std::string_view> lines;
    std::size_t begin = 0;
    while (begin < file.size()) {
        const std::size_t lf = file.find('\n', begin);
        if (lf == std::string_view::npos) {
            lines.push_back(file.substr(begin));  // the last line may lack its LF
            break;
        }
        lines.push_back(file.substr(begin, lf - begin));
        begin = lf + 1;
    }
    return lines;
}

std::optional<SettingsLine> SplitSettingsLine(std::string_view line) {
    std::size_t at = line.find_first_not_of(":\r\n");
    if (at == std::string_view::npos) return std::nullopt;

    std::size_t keyEnd = line.find_first_of(":\r\n", at);
    if (keyEnd == std::string_view::npos) keyEnd = line.size();
    std::string_view key = line.substr(at, keyEnd - at);
    // Only spaces are allowed before a key; a tab stays and makes the key unknown.
    const std::size_t keyStart = key.find_first_not_of(' ');
    if (keyStart == std::string_view::npos) return std::nullopt;
    key.remove_prefix(keyStart);

    // The byte that ended the key is passed over, then any line-end bytes; further
    // colons belong to the value (a drive letter's).
    std::size_t valueStart = keyEnd < line.size() ? keyEnd + 1 : keyEnd;
    while (valueStart < line.size() && IsLineEnd(line[valueStart])) ++valueStart;
    std::size_t valueEnd = line.find_first_of("\r\n", valueStart);
    if (valueEnd == std::string_view::npos) valueEnd = line.size();
    return SettingsLine{key, line.substr(valueStart, valueEnd - valueStart)};
}

SettingsKey LookupSettingsKey(std::string_view key) {
    for (const KeyName& k : kKeyNames)
        if (k.name == key) return k.key;
    return SettingsKey::None;
}
