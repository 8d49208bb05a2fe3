// The folder a run writes its site into, and the files written there: what
// the writer needs of a file system and nothing more, so that the writing
// runs against a folder on disk (OpenOutputFolder) or one in memory alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// Why a file could not be created or written.
enum class WriteFailure {
    kNone,
    kNoFolder,     // a folder on the name's way does not exist (or is a file)
    kNameTooLong,  // for the file system
    kNotRegular,   // a symbolic link, folder, FIFO, socket or device in the way
    kProtected,    // a file the folder protects
    kWindowsName,  // a name Windows does not take (on Windows)
    kOther,        // permissions, a full disk, a read-only file system, ...
};

// The same file under any of its names.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};
struct FileIdentityHash {
    size_t operator()(const FileIdentity& id) const {
        return static_cast<size_t>(id.inode * 31 + id.device);
    }
};

// A file of the folder, written from one memory buffer: appended to, spilled
// when the buffer is large, closed. One object writes one file after
// another, keeping its buffer.
class OutputFile {
public:
    // The buffer goes to the file once it holds this many bytes (Spill) and
    // at Close; a page smaller than this is one write.
    static constexpr size_t kSpillSize = size_t{1} << 16;

    // What the last Close did with the file.
    enum class Outcome {
        kNone,        // nothing was open
        kWritten,     // every byte reached the file
        kUnchanged,   // the file already held these bytes and was left alone
        kNotCreated,  // the bytes differ, and the file could not be opened for writing
        kNotWritten,  // opened for writing, but not every byte reached it
    };

    virtual ~OutputFile() = default;

    // Creates the file `name` (relative, may name subfolders), or empties an
    // existing one. Refused, and false: a name that leaves the folder or
    // passes through a symbolic link, anything but a regular file, and a
    // file the folder protects. An existing file with other names (hard
    // links) is never written through: the new bytes replace it under this
    // name only. A file still open is closed first, unchecked.
    virtual bool Create(std::string_view name) = 0;
    // The same, but a file already at the name that holds exactly the new
    // bytes is left as it is: neither opened for writing nor emptied.
    virtual bool CreateUnlessSame(std::string_view name) = 0;
    virtual bool IsOpen() const = 0;

    // The bytes not yet written; append to it, then call Spill.
    std::string& Text() { return text_; }
    void Append(std::string_view bytes) { text_.append(bytes); }
    void Spill() {
        if (text_.size() >= kSpillSize) Flush();
    }

    // Writes what is left and closes. True when every byte reached the file
    // and it closed, or the file already held them; false when nothing was
    // open. The buffer keeps its capacity for the next file.
    virtual bool Close() = 0;
    Outcome Closed() const { return outcome_; }
    // Why the last Create or CreateUnlessSame returned false, or the last
    // Close left the file kNotCreated or kNotWritten; kNone otherwise.
    WriteFailure Failure() const { return failure_; }
    // The file found at the name (or made there) when it was last opened;
    // meaningful when Closed() is kWritten, kNotWritten or kUnchanged.
    FileIdentity Identity() const { return identity_; }

protected:
    virtual void Flush() = 0;

    std::string text_;
    Outcome outcome_ = Outcome::kNone;
    WriteFailure failure_ = WriteFailure::kNone;
    FileIdentity identity_;
};

// The folder that receives a run's files: every file is created below it.
class OutputFolder {
public:
    enum class Lock {
        kHeld,      // this run alone writes the folder now
        kBusy,      // another run holds it
        kUnusable,  // the file system cannot lock: go on without
    };

    virtual ~OutputFolder() = default;
    // A lock on the folder among the runs that write it, without waiting.
    // Released by Unlock or when the folder goes.
    virtual Lock TryLock() = 0;
    virtual void Unlock() = 0;
    // Takes note of the names in the folder now: a file that was not there
    // is then created without first being looked for.
    virtual void NoteEntries() = 0;
    // The file at `path` (when there is one) is never written through this
    // folder: a run's own inputs are no outputs.
    virtual void Protect(std::string_view path) = 0;
    // A file to write into this folder, which must outlive it.
    virtual std::unique_ptr<OutputFile> NewFile() = 0;
    // Whether names that differ only in case are one file here (Windows).
    virtual bool IgnoresCase() const { return false; }
};

// Whether Windows refuses `name` (a path relative to the folder, "/"
// between its folders): a component holding \ : * ? " < > | or a control
// character, named as a device (CON, PRN, AUX, NUL, CONIN$, CONOUT$,
// COM1-COM9, LPT1-LPT9 and COM/LPT with a superscript 1, 2 or 3, with any
// extension), or ending in a dot or a space.
bool IsWindowsForbiddenName(std::string_view name);

// The folder `path` on disk, held open: files are created beneath it, never
// through a symbolic link (the folder itself may be one). Null when it is
// no folder or cannot be opened.
std::unique_ptr<OutputFolder> OpenOutputFolder(std::string_view path);

}  // namespace platform
