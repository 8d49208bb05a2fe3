// A prompter for tests and tools: remembers every box and file dialog and
// answers from queues set up beforehand, so that nothing ever waits for a
// user.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "diag/Prompter.h"

namespace testutil {

// Remembers what was asked and answers from queues set up by a test.
class RecordingPrompter : public diag::Prompter {
public:
    enum class Kind { Information, Question, Message, FileDialog };
    struct Entry {
        Kind kind;
        std::string caption;  // caption or title; empty for Message
        std::string text;     // for FileDialog: the filter
        diag::FileDialogRequest request;
    };

    void Information(std::string_view caption, std::string_view text) override;
    bool AskYesNo(std::string_view title, std::string_view text) override;
    void Message(std::string_view text) override;
    std::optional<std::string> ChooseFile(const diag::FileDialogRequest& request) override;

    std::vector<Entry> entries;
    std::deque<bool> answers;                            // AskYesNo; Yes when empty
    std::deque<std::optional<std::string>> fileChoices;  // ChooseFile; cancel when empty

    // The texts of all entries, in order.
    std::vector<std::string> Texts() const;
    void Clear() { entries.clear(); }
};

}  // namespace testutil
