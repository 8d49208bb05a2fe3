// A file written from one memory buffer with plain write calls, without a
// stdio stream per file. Generation creates tens of thousands of small
// files; this keeps each to one open, one write and one close.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

class OutputFile {
public:
    // The buffer goes to the file once it holds this many bytes (Spill) and
    // at Close; a page smaller than this is one write call.
    static constexpr size_t kSpillSize = size_t{1} << 16;

    OutputFile() = default;
    // Writes what is left and closes, unchecked (like fclose at exit).
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the file named by a code page 932 path, or empties an existing
    // one, as fopen "w" does (mode 0666 less the umask). A file still open is
    // closed first, unchecked. False when it cannot be created.
    bool Create(std::string_view cpPath);
    bool IsOpen() const { return fd_ >= 0; }

    // The bytes not yet written; append to it, then call Spill.
    std::string& Text() { return text_; }
    void Append(std::string_view bytes) { text_.append(bytes); }
    void Spill() {
        if (text_.size() >= kSpillSize) Flush();
    }

    // Writes what is left and closes. True when every byte reached the file
    // and the close succeeded; false when nothing was open. The buffer keeps
    // its capacity for the next file.
    bool Close();

private:
    void Flush();

    int fd_ = -1;
    bool failed_ = false;
    std::string text_;
};

}  // namespace platform
