#include "data/TemplateFile.h"

#include <algorithm>
#include <cstring>

CTemplateFile::CTemplateFile(std::string_view path) : stream_(platform::OpenFile(path, "rb")) {}

int CTemplateFile::Read() {
    read_ = false;
    eofLine_ = 0;
    found_ = {};
    if (!stream_) return 0;
    status_ = platform::ReadAll(stream_.get(), text_);
    if (status_ != platform::ReadStatus::kRead) {
        text_.Resize(0);
        return 0;
    }
    found_ = platform::DetectEncoding(text_.View(), platform::TextKind::kTemplate);
    if (found_.utf16) {
        text_.Resize(0);
        return 0;
    }
    text_.DropFront(found_.bomLength);
    const std::string_view raw = text_.View();
    const size_t eof = raw.find('\x1A');
    if (eof != std::string_view::npos &&
        raw.find_first_not_of("\r\n\x1A", eof) != std::string_view::npos)
        eofLine_ = 1 + static_cast<int>(std::count(raw.begin(), raw.begin() + eof, '\n'));
    text_.Shrink(Translate(text_.Data(), text_.Size()));
    read_ = true;
    return static_cast<int>(text_.Size());
}

platform::TextEncoding CTemplateFile::DetectedEncoding(platform::TextEncoding otherwise) const {
    const bool follows = found_.asciiOnly && !found_.declared && found_.bomLength == 0;
    return follows ? otherwise : found_.encoding;
}

platform::TextEncoding CTemplateFile::Encoding(platform::EncodingChoice choice,
                                               platform::TextEncoding otherwise) const {
    return platform::Resolve(choice, DetectedEncoding(otherwise));
}

int CTemplateFile::NulLine() const {
    if (!read_) return 0;
    const std::string_view text = text_.View();
    const size_t nul = text.find('\0');
    if (nul == std::string_view::npos) return 0;
    return 1 + static_cast<int>(std::count(text.begin(), text.begin() + nul, '\n'));
}

size_t CTemplateFile::Translate(char* bytes, size_t size) {
    const void* eof = std::memchr(bytes, 0x1A, size);
    if (eof) size = static_cast<size_t>(static_cast<const char*>(eof) - bytes);
    size_t w = 0;
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] == '\r' && i + 1 < size && bytes[i + 1] == '\n') continue;
        bytes[w++] = bytes[i];
    }
    return w;
}
