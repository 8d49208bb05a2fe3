// The output folder of a run, and files written into it from one memory
// buffer with plain write calls, without a stdio stream per file.
// Generation creates tens of thousands of small files; this keeps each to
// one open, one write and one close, and a file that already holds the
// bytes to one open, one read and one close, without touching it.
#pragma once

#include <sys/stat.h>
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

    // The file at `path` (when there is one) is never written through this
    // folder: a run's own inputs are no outputs.
    void Protect(std::string_view path);
    bool IsProtected(const struct stat& st) const;

private:
    int fd_ = -1;
    bool locked_ = false;
    bool noted_ = false;
    std::vector<size_t> entries_;  // hashes of the names noted, sorted
    std::vector<std::pair<dev_t, ino_t>> protected_;
};

// Why a file could not be created or written.
enum class WriteFailure {
    kNone,
    kNoFolder,     // a folder on the name's way does not exist (or is a file)
    kNameTooLong,  // for the file system
    kNotRegular,   // a symbolic link, folder, FIFO, socket or device in the way
    kProtected,    // a file the folder protects
    kOther,        // permissions, a full disk, a read-only file system, ...
};

// The failure an open(2) error number stands for.
WriteFailure WriteFailureOf(int error);

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
    // leaves the folder or passes through a symbolic link, anything but a
    // regular file (a FIFO, socket or device is never waited on), and a
    // file the folder protects. An existing file with other names (hard
    // links) is never written through: the bytes go to a new file with its
    // permission bits, which then takes its name, so that the other names
    // keep their bytes. A file still open is closed first, unchecked.
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
    // Why the last Create or CreateUnlessSame returned false, or the last
    // Close left the file kNotCreated or kNotWritten; kNone otherwise.
    WriteFailure Failure() const { return failure_; }
    // The device and inode of the file found at the name (or made there)
    // when it was last opened; meaningful when Closed() is kWritten,
    // kNotWritten or kUnchanged.
    std::pair<dev_t, ino_t> FileId() const { return {device_, inode_}; }

private:
    enum class State {
        kClosed,
        kComparing,  // fd_ reads the file there; nothing written yet
        kWriting,    // fd_ writes the file
        kLost,       // the file could not be opened for writing: bytes are dropped
    };

    void Reset();
    // Notes why the file is not written; false.
    bool Fail(WriteFailure failure) {
        failure_ = failure;
        return false;
    }
    bool OpenForWriting();
    // Notes the file opened at the name; false (and closed) when the folder
    // protects it.
    bool Take(int fd, const struct stat& st);
    // Goes on writing into a new hidden file beside the name, holding the
    // first `size` bytes of `from` (none when -1) and the old file's
    // permission bits (and owner, where allowed); Close puts it in the
    // name's place. False, and nothing open, when it cannot be made.
    bool StartReplacing(int from, off_t size);
    // Close's last step for a replacing file: false when it could not take
    // the name (it is removed then).
    bool FinishReplacing(bool written);
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
    WriteFailure failure_ = WriteFailure::kNone;
    std::string text_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    mode_t mode_ = 0;
    std::pair<uid_t, gid_t> owner_{};
    const OutputFolder* folder_ = nullptr;
    // While replacing: the folder that holds the name (owned when it is a
    // subfolder), the hidden file's name there and the name's last part.
    int replaceDir_ = -1;
    std::string temporary_, leaf_;
    // While comparing: the name, the file's size, and how much of it the
    // new bytes have matched.
    std::string name_;
    off_t size_ = 0;
    off_t compared_ = 0;
    std::unique_ptr<char[]> scratch_;  // the file's bytes, a piece at a time
};

}  // namespace platform
