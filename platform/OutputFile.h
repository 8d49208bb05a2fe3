// The output folder of a run, and files written into it from one memory
// buffer with plain write calls, without a stdio stream per file.
// Generation creates tens of thousands of small files; this keeps each to
// one open, one write and one close, and a file that already holds the
// bytes to one open, one read and one close, without touching it.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

    // Opens the folder named by `path`; false when it cannot.
    bool Open(std::string_view path);
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

    // Takes note of the names in the folder now. From then on a file that
    // was not there is created at once, without first trying to read it
    // (on a fresh site, that try would cost a third of each creation).
    void NoteEntries();
    // Whether the file `name` (UTF-8) may have been there when the names
    // were noted: always, when they were not, or for a name in a subfolder.
    bool MayHold(std::string_view name) const;

private:
    int fd_ = -1;
    bool locked_ = false;
    bool noted_ = false;
    std::vector<size_t> entries_;  // hashes of the names noted, sorted
};

class OutputFile {
public:
    // The buffer goes to the file once it holds this many bytes (Spill) and
    // at Close; a page smaller than this is one write call.
    static constexpr size_t kSpillSize = size_t{1} << 16;

    // What the last Close did with the file.
    enum class Outcome {
        kNone,        // nothing was open
        kWritten,     // every byte reached the file
        kUnchanged,   // the file already held these bytes and was left alone
        kNotCreated,  // the bytes differ, and the file could not be opened for writing
        kNotWritten,  // opened for writing, but not every byte reached it
    };

    OutputFile() = default;
    // Writes what is left and closes, unchecked (like fclose at exit).
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the file `name` (relative, may name
    // subfolders) in `folder`, or empties an existing one, as fopen "w"
    // does (mode 0666 less the umask). Refused, and false: a name that
    // leaves the folder or passes through a symbolic link, and anything
    // but a regular file (a FIFO, socket or device is never waited on). A
    // file still open is closed first, unchecked.
    bool Create(const OutputFolder& folder, std::string_view name);
    // The same, but a regular file already at the name is only read while
    // the new bytes equal its own, piece by piece as they come: one that
    // holds exactly the new bytes is neither opened for writing nor
    // emptied. At the first difference it is opened for writing and cut
    // after the bytes found equal, which it already holds, and the rest is
    // written. A file that cannot be read is created as Create does.
    bool CreateUnlessSame(const OutputFolder& folder, std::string_view name);
    bool IsOpen() const { return state_ != State::kClosed; }

    // Whether the file is still only being compared.
    bool Comparing() const { return state_ == State::kComparing; }
    // Whether the file last opened has other names (hard links) besides the
    // one it was opened by; meaningful as FileId is.
    bool HasOtherNames() const { return links_ > 1; }
    // Whether the file being compared is the file `dev`/`ino` names.
    bool Compares(dev_t dev, ino_t ino) const {
        return Comparing() && dev == device_ && ino == inode_;
    }
    // Goes on as Create would have: opens the file for writing now (it
    // holds the bytes found equal so far) and writes everything after.
    void StopComparing();

    // The bytes not yet written; append to it, then call Spill.
    std::string& Text() { return text_; }
    void Append(std::string_view bytes) { text_.append(bytes); }
    void Spill() {
        if (text_.size() >= kSpillSize) Flush();
    }

    // Writes what is left and closes. True when every byte reached the file
    // and the close succeeded, or the file already held them; false when
    // nothing was open. The buffer keeps its capacity for the next file.
    bool Close();
    // What the last Close did.
    Outcome Closed() const { return outcome_; }
    // The device and inode of the file last opened; meaningful when Closed()
    // is kWritten, kNotWritten or kUnchanged.
    std::pair<dev_t, ino_t> FileId() const { return {device_, inode_}; }

private:
    enum class State {
        kClosed,
        kComparing,  // fd_ reads the file there; nothing written yet
        kWriting,    // fd_ writes the file
        kLost,       // the file could not be opened for writing: bytes are dropped
    };

    void Reset();
    bool OpenForWriting(int dirFd, const std::string& name);
    void Flush();
    // Whether the buffer equals the file's next bytes; counts them as
    // compared when it does.
    bool SameAhead();
    void StartWriting();
    bool WriteAll(const char* p, size_t size);
    bool CopyFrom(int fd, off_t size);
    char* Scratch();

    State state_ = State::kClosed;
    int fd_ = -1;
    bool failed_ = false;
    Outcome outcome_ = Outcome::kNone;
    std::string text_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    nlink_t links_ = 0;
    // While comparing: where the file lies, its size, and how much of it
    // the new bytes have matched.
    int dirFd_ = -1;
    std::string name_;
    off_t size_ = 0;
    off_t compared_ = 0;
    std::unique_ptr<char[]> scratch_;  // the file's bytes, a piece at a time
};

}  // namespace platform
