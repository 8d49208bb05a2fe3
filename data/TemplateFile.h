// The HTML template, read whole as text. Reading follows the Windows text
// mode: CR LF becomes LF and a 0x1A byte ends the text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/FileSys.h"

class CTemplateFile {
public:
    explicit CTemplateFile(std::string_view path);

    bool IsOpen() const { return stream_ != nullptr; }

    // Reads the file from its start, replacing the text held before; returns
    // the number of bytes of text, 0 when no file is open.
    int Read();

    // The text of the last Read, NUL-terminated; null before the first Read.
    const char* GetText() const { return text_ ? text_->c_str() : nullptr; }

    // The line (from 1) in which a NUL byte cuts the text short, or 0 when
    // the text holds no NUL.
    int NulLine() const;

    // Text-mode translation of raw bytes, as Read applies it.
    static std::string TranslateTextMode(std::string_view raw);

private:
    platform::FilePtr stream_;
    std::string path_;
    std::optional<std::string> text_;
};
