#include "settings/SettingsReplay.h"

#include <optional>
#include <string>

#include "platform/TextEncoding.h"
#include "platform/FileSys.h"
#include "platform/Memory.h"

namespace {

bool IsText(SettingsKey key) {
    switch (key) {
        case SettingsKey::CSV:
        case SettingsKey::HTML:
        case SettingsKey::Out:
        case SettingsKey::Prefix:
        case SettingsKey::start:
        case SettingsKey::digit:
        case SettingsKey::repeat:
            return true;
        default:
            return false;
    }
}

bool IsSwitch(SettingsKey key) {
    switch (key) {
        case SettingsKey::prefixChk:
        case SettingsKey::fixChk:
        case SettingsKey::repeatChk:
        case SettingsKey::createChk:
        case SettingsKey::autoChk:
            return true;
        default:
            return false;
    }
}

}  // namespace

std::vector<UnusedSettingsLine> ReplaySettings(std::string_view file, SettingsTarget& target) {
    std::vector<UnusedSettingsLine> unused;
    std::optional<std::string> repeatText;
    int number = 0;
    for (std::string_view raw : SplitSettingsLines(file)) {
        ++number;
        const std::optional<SettingsLine> line = SplitSettingsLine(raw);
        if (!line) continue;
        const SettingsKey key = LookupSettingsKey(line->key);
        const std::string_view value = line->value;
        if (key == SettingsKey::None) continue;
        if (key == SettingsKey::csvCode || key == SettingsKey::htmlCode) {
            const std::optional<platform::EncodingChoice> choice =
                platform::ParseEncodingChoice(value);
            if (!choice) {
                if (raw.ends_with('\r')) raw.remove_suffix(1);
                unused.push_back({number, raw});
            }
            target.ReplayEncoding(key, choice.value_or(platform::EncodingChoice::kAuto));
            continue;
        }

        if (IsText(key)) {
            target.ReplayText(key, value);
            if (key == SettingsKey::CSV) target.ReplayCsvLoad();
            if (key == SettingsKey::repeat) repeatText = std::string(value);
            continue;
        }
        if (key == SettingsKey::SelItems) {
            target.ReplaySelection(ParseSelItems(value));
            continue;
        }
        // The rest are numbers; a numeric line without a value is passed over.
        if (value.empty()) continue;
        const int number = ParseSettingsInt(value);
        if (IsSwitch(key)) {
            target.ReplaySwitch(key, number != 0);
        } else if (key == SettingsKey::ruleNum) {
            if (number != -1) target.ReplaySelect(key, number);
            target.ReplayRuleChange();
        } else if ((key == SettingsKey::fieldNum || key == SettingsKey::extNum) && number != -1) {
            target.ReplaySelect(key, number);
        }
    }
    if (repeatText) target.ReplayText(SettingsKey::repeat, *repeatText);
    return unused;
}

std::optional<std::string> DecodeSettingsFile(std::string_view bytes) {
    const platform::DetectedText found = platform::DetectEncoding(bytes, platform::TextKind::kSettings);
    if (found.utf16) return std::nullopt;
    bytes.remove_prefix(found.bomLength);
    return platform::ToUtf8(bytes, found.encoding);
}

int LoadSettingsFile(const std::string& path, SettingsTarget& target, diag::Sink& sink) {
    using diag::Code;
    platform::ByteBuffer bytes;
    switch (platform::ReadWholeFile(path, bytes)) {
        case platform::ReadStatus::kRead:
            if (const std::optional<std::string> text = DecodeSettingsFile(bytes.View())) {
                const std::vector<UnusedSettingsLine> unused = ReplaySettings(*text, target);
                if (!unused.empty()) {
                    diag::Diagnostic d{.code = Code::kSettingsLinesUnused};
                    for (const UnusedSettingsLine& line : unused)
                        d.entries.push_back({.text = std::string(line.text), .number = line.number});
                    sink.Report(d);
                }
                return 0;
            }
            sink.Report({.code = Code::kSettingsUtf16, .path = path});
            return -1;
        case platform::ReadStatus::kNoMemory:
            sink.Report({.code = Code::kNoMemory});
            return -1;
        case platform::ReadStatus::kCannotOpen:
            break;
    }
    sink.Report({.code = Code::kSettingsCannotOpen, .path = path});
    return -1;
}
