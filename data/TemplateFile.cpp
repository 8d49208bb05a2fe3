#include "data/TemplateFile.h"

#include <algorithm>
#include <cstring>

CTemplateFile::CTemplateFile(std::string_view path)
    : stream_(platform::OpenFile(path, "rb")), path_(path) {}

int CTemplateFile::Read() {
    if (!stream_) return 0;
    std::string raw;
    std::rewind(stream_.get());
    char buf[1 << 16];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, stream_.get())) > 0) raw.append(buf, n);
    text_ = TranslateTextMode(raw);
    return static_cast<int>(text_->size());
}

int CTemplateFile::NulLine() const {
    if (!text_) return 0;
    const size_t nul = text_->find('\0');
    if (nul == std::string::npos) return 0;
    return 1 + static_cast<int>(std::count(text_->begin(), text_->begin() + nul, '\n'));
}

std::string CTemplateFile::TranslateTextMode(std::string_view raw) {
    const void* eof = std::memchr(raw.data(), 0x1A, raw.size());
    if (eof) raw = raw.substr(0, static_cast<const char*>(eof) - raw.data());
    std::string text;
    text.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
        text.push_back(raw[i]);
    }
    return text;
}
