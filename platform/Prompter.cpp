#include "platform/Prompter.h"

#include <cstdio>

#include "platform/TextEncoding.h"

namespace platform {

Prompter::~Prompter() = default;

void ConsolePrompter::Print(std::string_view caption, std::string_view text) const {
    std::string lines;
    if (pathFinder_) {
        const std::string path = pathFinder_(text);
        if (!path.empty()) lines += "  " + DataText(path) + "\n";
    }
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
    ++boxes_;
    Print(caption, text);
}

bool ConsolePrompter::AskYesNo(std::string_view title, std::string_view text) {
    ++boxes_;
    Print(title, text);
    return true;
}

void ConsolePrompter::Message(std::string_view text) {
    ++boxes_;
    Print({}, text);
}

std::optional<std::string> ConsolePrompter::ChooseFile(const FileDialogRequest&) {
    return std::nullopt;
}

std::string ConsolePrompter::DataText(std::string_view utf8) const {
    return EscapeForTerminal(utf8);
}

std::string EscapeForTerminal(std::string_view utf8) {
    static const char kHex[] = "0123456789abcdef";
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    std::string shown;
    shown.reserve(utf8.size());
    for (size_t i = 0, n = 0; i < utf8.size(); i += n) {
        const char32_t c = DecodeUtf8(p + i, utf8.size() - i, &n);
        if (c >= 0x20 && c != 0x7F && (c < 0x80 || c > 0x9F) && c != kNoCharacter) {
            shown.append(utf8.substr(i, n));
            continue;
        }
        for (size_t k = i; k < i + n; ++k) {
            shown += "\\x";
            shown += kHex[p[k] >> 4];
            shown += kHex[p[k] & 15];
        }
    }
    return shown;
}

}  // namespace platform
