// The output folder of a run, and files written into it from one memory
// buffer with plain write calls, without a stdio stream per file.
// Generation creates tens of thousands of small files; this keeps each to
// one open, one write and one close.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// The folder that receives a run's files, held open for the run: every
// file is created below it, never through a symbolic link (the folder
// itself may be one).
class OutputFolder {
public:
    OutputFolder() = default;
    ~OutputFolder();
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

    // Opens the folder named by a code page 932 path; false when it cannot.
    bool Open(std::string_view cpPath);
    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }

    enum class Lock {
        kHeld,      // this run alone writes the folder now
        kBusy,      // another run holds it
        kUnusable,  // the file system cannot lock: go on without
    };
    // An advisory lock on the folder itself (no file is made for it),
    // without waiting. Released by Unlock or when the folder is closed.
    Lock TryLock();
    void Unlock();

private:
    int fd_ = -1;
    bool locked_ = false;
};

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

    // Creates the file `cpName` (code page 932, relative, may name
    // subfolders) in `folder`, or empties an existing one, as fopen "w"
    // does (mode 0666 less the umask). Refused, and false: a name that
    // leaves the folder or passes through a symbolic link, and anything
    // but a regular file (a FIFO, socket or device is never waited on). A
    // file still open is closed first, unchecked.
    bool Create(const OutputFolder& folder, std::string_view cpName);
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
