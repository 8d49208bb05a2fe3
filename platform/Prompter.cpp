#include "platform/Prompter.h"

#include <cstdio>

#include "platform/TextEncoding.h"

namespace platform {

Prompter::~Prompter() = default;

void ConsolePrompter::Print(std::string_view caption, std::string_view text) const {
    std::string lines;
    if (!caption.empty()) {
        lines.append(caption);
        lines.append(": ");
    }
    lines.append(text);
    lines.push_back('\n');
    std::fwrite(lines.data(), 1, lines.size(), stderr);
    std::fflush(stderr);
}

void ConsolePrompter::Information(std::string_view caption, std::string_view text) {
    Print(caption, text);
}

bool ConsolePrompter::AskYesNo(std::string_view title, std::string_view text) {
    Print(title, text);
    return true;
}

void ConsolePrompter::Message(std::string_view text) {
    Print({}, text);
}

std::optional<std::string> ConsolePrompter::ChooseFile(const FileDialogRequest&) {
    return std::nullopt;
}

std::string ConsolePrompter::DataText(std::string_view utf8) const {
    return EscapeForTerminal(utf8);
}

}  // namespace platform
