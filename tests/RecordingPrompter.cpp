#include "RecordingPrompter.h"

namespace testutil {

void RecordingPrompter::Information(std::string_view caption, std::string_view text) {
    entries.push_back({Kind::Information, std::string(caption), std::string(text), {}});
}

bool RecordingPrompter::AskYesNo(std::string_view title, std::string_view text) {
    entries.push_back({Kind::Question, std::string(title), std::string(text), {}});
    if (answers.empty()) return true;
    bool a = answers.front();
    answers.pop_front();
    return a;
}

void RecordingPrompter::Message(std::string_view text) {
    entries.push_back({Kind::Message, {}, std::string(text), {}});
}

std::optional<std::string> RecordingPrompter::ChooseFile(const diag::FileDialogRequest& request) {
    entries.push_back({Kind::FileDialog, {}, request.filter, request});
    if (fileChoices.empty()) return std::nullopt;
    auto c = fileChoices.front();
    fileChoices.pop_front();
    return c;
}

std::vector<std::string> RecordingPrompter::Texts() const {
    std::vector<std::string> t;
    for (const auto& e : entries) t.push_back(e.text);
    return t;
}

}  // namespace testutil
