#include <algorithm>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

#include "platform/NativeFile.h"
#include "platform/OutputFolder.h"
#include "platform/TextEncoding.h"

// The output folder on disk: one descriptor held for the run, every file
// opened beneath it. Each file is one open, one write and one close, and a
// file that already holds the bytes one open, one read and one close,
// without touching it: generation creates tens of thousands of small files.
namespace platform {
namespace {

using native::Handle;
using native::kNone;

class DiskFolder : public OutputFolder {
public:
    DiskFolder() = default;
    ~DiskFolder() override;
    DiskFolder(const DiskFolder&) = delete;
    DiskFolder& operator=(const DiskFolder&) = delete;

    // Opens the folder named by `path`; false when it cannot.
    bool Open(std::string_view path);
    Handle Folder() const { return dir_; }

    Lock TryLock() override;
    void Unlock() override;
    // From then on a file that was not there is created at once, without
    // first trying to read it (on a fresh site, that try would cost a third
    // of each creation).
    void NoteEntries() override;
    // Whether the file `name` (UTF-8) may have been there when the names
    // were noted: always, when they were not, or for a name in a subfolder.
    bool MayHold(std::string_view name) const;
    // A noted name's hash, in one case where the folder ignores case.
    static size_t Hash(std::string_view name);
    void Protect(std::string_view path) override;
    bool IsProtected(const FileIdentity& id) const;
    std::unique_ptr<OutputFile> NewFile() override;
    bool IgnoresCase() const override { return native::kNamesIgnoreCase; }

private:
    Handle dir_ = kNone;
    Handle lock_ = kNone;
    bool locked_ = false;
    bool noted_ = false;
    std::vector<size_t> entries_;  // hashes of the names noted, sorted
    std::vector<FileIdentity> protected_;
};

// A file created as fopen "w" does (mode 0666 less the umask), but a FIFO,
// socket or device is never waited on, and an existing file with other
// names gets the bytes in a new file with its permission bits, which then
// takes its name. CreateUnlessSame reads a regular file already at the
// name while the new bytes equal its own, piece by piece as they come; at
// the first difference it is opened for writing and cut after the bytes
// found equal, which it already holds, and the rest is written. A file that
// cannot be read is created as Create does.
class DiskFile : public OutputFile {
public:
    explicit DiskFile(const DiskFolder& folder) : folder_(&folder) {}
    // Writes what is left and closes, unchecked (like fclose at exit).
    ~DiskFile() override;
    DiskFile(const DiskFile&) = delete;
    DiskFile& operator=(const DiskFile&) = delete;

    bool Create(std::string_view name) override;
    bool CreateUnlessSame(std::string_view name) override;
    bool IsOpen() const override { return state_ != State::kClosed; }
    bool Close() override;

private:
    enum class State {
        kClosed,
        kComparing,  // file_ reads the file there; nothing written yet
        kWriting,    // file_ writes the file
        kLost,       // the file could not be opened for writing: bytes are dropped
    };

    bool Comparing() const { return state_ == State::kComparing; }
    void Reset();
    // Notes why the file is not written; false.
    bool Fail(WriteFailure failure) {
        failure_ = failure;
        return false;
    }
    bool OpenForWriting();
    // Notes the file opened at the name; false (and closed) when the folder
    // protects it.
    bool Take(Handle file, const native::Facts& facts);
    // Goes on writing into a new hidden file beside the name, holding the
    // first `size` bytes of `from` (none when kNone) and the old file's
    // permission bits (and owner, where allowed); Close puts it in the
    // name's place. False, and nothing open, when it cannot be made.
    bool StartReplacing(Handle from, uint64_t size);
    // Close's last step for a replacing file: false when it could not take
    // the name (it is removed then).
    bool FinishReplacing(bool written);
    void Flush() override;
    // Whether the buffer equals the file's next bytes; counts them as
    // compared when it does.
    bool SameAhead();
    void StartWriting();
    bool CopyFrom(Handle from, uint64_t size);
    char* Scratch();

    const DiskFolder* folder_;
    State state_ = State::kClosed;
    Handle file_ = kNone;
    bool failed_ = false;
    native::Facts facts_;  // of the file found at the name
    // While replacing: the folder that holds the name (owned when it is a
    // subfolder), the hidden file's name there and the name's last part.
    Handle replaceDir_ = kNone;
    std::string temporary_, leaf_;
    // While comparing: the name, the file's size, and how much of it the
    // new bytes have matched.
    std::string name_;
    uint64_t size_ = 0;
    uint64_t compared_ = 0;
    std::unique_ptr<char[]> scratch_;  // the file's bytes, a piece at a time
};

// ------------------------------------------------------------ DiskFolder

DiskFolder::~DiskFolder() {
    Unlock();
    if (dir_ != kNone) native::Close(dir_);
}

bool DiskFolder::Open(std::string_view path) {
    Unlock();
    if (dir_ != kNone) native::Close(dir_);
    locked_ = false;
    noted_ = false;
    entries_.clear();
    dir_ = native::OpenFolder(path);
    return dir_ != kNone;
}

OutputFolder::Lock DiskFolder::TryLock() {
    if (locked_) return Lock::kHeld;
    const Lock lock = native::TryLock(dir_, lock_);
    locked_ = lock == Lock::kHeld;
    return lock;
}

void DiskFolder::Unlock() {
    if (locked_) native::Unlock(dir_, lock_);
    locked_ = false;
}

void DiskFolder::NoteEntries() {
    entries_.clear();
    // A folder whose names cannot be read: every name may be there.
    noted_ = native::ListNames(dir_, [this](std::string_view name) { entries_.push_back(Hash(name)); });
    std::sort(entries_.begin(), entries_.end());
}

bool DiskFolder::MayHold(std::string_view name) const {
    return !noted_ || name.find('/') != std::string_view::npos ||
           std::binary_search(entries_.begin(), entries_.end(), Hash(name));
}

size_t DiskFolder::Hash(std::string_view name) {
    if (!native::kNamesIgnoreCase) return std::hash<std::string_view>{}(name);
    return std::hash<std::string>{}(CaseFolded(name));
}

void DiskFolder::Protect(std::string_view path) {
    FileIdentity id;
    if (native::IdentityOf(path, id)) protected_.push_back(id);
}

bool DiskFolder::IsProtected(const FileIdentity& id) const {
    return std::find(protected_.begin(), protected_.end(), id) != protected_.end();
}

// ------------------------------------------------------------ DiskFile

// The piece of an existing file read at a time while comparing.
constexpr size_t kPiece = size_t{1} << 16;

DiskFile::~DiskFile() {
    if (IsOpen()) Close();
}

void DiskFile::Reset() {
    if (IsOpen()) Close();
    text_.clear();
    failed_ = false;
    outcome_ = Outcome::kNone;
    failure_ = WriteFailure::kNone;
    compared_ = 0;
}

bool DiskFile::Create(std::string_view name) {
    Reset();
    if (name.empty()) return Fail(WriteFailure::kOther);
    name_ = std::string(name);
    return OpenForWriting();
}

bool DiskFile::CreateUnlessSame(std::string_view name) {
    Reset();
    if (name.empty()) return Fail(WriteFailure::kOther);
    name_ = std::string(name);
    // Read with the same care as written: nothing through a link, nothing
    // but a regular file, never waited on. A short or failed read is taken
    // for a difference and the file is written.
    native::Facts facts;
    WriteFailure unused;
    const Handle file = folder_->MayHold(name_)
                            ? native::OpenBeneath(folder_->Folder(), name_, native::Access::kRead,
                                                  facts, unused)
                            : kNone;
    if (file == kNone) return OpenForWriting();
    if (!Take(file, facts)) return false;
    state_ = State::kComparing;
    size_ = facts.size;
    return true;
}

bool DiskFile::Take(Handle file, const native::Facts& facts) {
    if (folder_->IsProtected(facts.identity)) {
        native::Close(file);
        return Fail(WriteFailure::kProtected);
    }
    file_ = file;
    identity_ = facts.identity;
    facts_ = facts;
    return true;
}

bool DiskFile::OpenForWriting() {
    // Not truncated on opening: only a regular file is emptied, and a FIFO
    // without a reader fails at once instead of waiting. A file just made is
    // empty already; on ext4, emptying it again costs as much as the rest of
    // its creation.
    native::Facts facts;
    WriteFailure failure = WriteFailure::kOther;
    const Handle file =
        native::OpenBeneath(folder_->Folder(), name_, native::Access::kWrite, facts, failure);
    if (file == kNone) return Fail(failure);
    if (!Take(file, facts)) return false;
    if (facts.links > 1) {
        native::Close(file_);
        file_ = kNone;
        // Nothing to write through.
        return StartReplacing(kNone, 0) || Fail(WriteFailure::kOther);
    }
    if (facts.size != 0 && !native::Truncate(file_, 0)) {
        native::Close(file_);
        file_ = kNone;
        return Fail(WriteFailure::kOther);
    }
    state_ = State::kWriting;
    return true;
}

bool DiskFile::StartReplacing(Handle from, uint64_t size) {
    const size_t slash = name_.rfind('/');
    leaf_ = name_.substr(slash + 1);
    std::string dir = slash == std::string::npos ? std::string() : name_.substr(0, slash);
    while (dir.ends_with('/')) dir.pop_back();
    replaceDir_ = dir.empty() ? folder_->Folder() : native::OpenFolderBeneath(folder_->Folder(), dir);
    const Handle file =
        replaceDir_ != kNone ? native::CreateHidden(replaceDir_, facts_, temporary_) : kNone;
    if (file != kNone) {
        file_ = file;
        if (from == kNone || CopyFrom(from, size)) {
            state_ = State::kWriting;
            return true;
        }
        file_ = kNone;
        native::Close(file);
        native::Remove(replaceDir_, temporary_);
    }
    if (replaceDir_ != kNone && replaceDir_ != folder_->Folder()) native::Close(replaceDir_);
    replaceDir_ = kNone;
    return false;
}

bool DiskFile::FinishReplacing(bool written) {
    if (!written || !native::Rename(replaceDir_, temporary_, leaf_)) {
        native::Remove(replaceDir_, temporary_);
        written = false;
    }
    if (replaceDir_ != folder_->Folder()) native::Close(replaceDir_);
    replaceDir_ = kNone;
    return written;
}

char* DiskFile::Scratch() {
    if (!scratch_) scratch_ = std::make_unique<char[]>(kPiece);
    return scratch_.get();
}

bool DiskFile::SameAhead() {
    const size_t n = text_.size();
    if (n > size_ - compared_) return false;  // longer than the file
    char* piece = Scratch();
    for (size_t at = 0; at < n;) {
        const int64_t got = native::ReadAt(file_, piece, std::min(kPiece, n - at), compared_ + at);
        // Shorter than it was, or unreadable: written as if different.
        if (got <= 0) return false;
        if (std::memcmp(piece, text_.data() + at, static_cast<size_t>(got)) != 0) return false;
        at += static_cast<size_t>(got);
    }
    compared_ += n;
    return true;
}

void DiskFile::StartWriting() {
    const Handle compared = file_;
    file_ = kNone;
    // A read-only file is not written, whatever its links: only a file that
    // opens for writing is written or replaced.
    native::Facts facts;
    WriteFailure failure = WriteFailure::kOther;
    Handle file =
        native::OpenBeneath(folder_->Folder(), name_, native::Access::kWrite, facts, failure);
    failure_ = file == kNone ? failure : WriteFailure::kOther;
    const bool same = file != kNone && facts.identity == identity_;
    if (file != kNone && folder_->IsProtected(facts.identity)) {
        native::Close(file);
        file = kNone;
        failure_ = WriteFailure::kProtected;
    } else if (file != kNone && facts.links > 1) {
        // The other names keep the file's bytes: a new file takes this one
        // (links counted now: the name may hold another file by now).
        native::Close(file);
        facts_ = facts;
        if (!StartReplacing(compared, compared_)) state_ = State::kLost;
        native::Close(compared);
        return;
    }
    // The file compared already holds the bytes found equal: it is cut
    // after them and written on. Another file that took the name meanwhile
    // is emptied and given those bytes from the one compared.
    if (file != kNone && !native::Truncate(file, same ? compared_ : 0)) {
        native::Close(file);
        file = kNone;
    }
    if (file == kNone) {
        state_ = State::kLost;
    } else {
        failure_ = WriteFailure::kNone;
        file_ = file;
        state_ = State::kWriting;
        if (same ? !native::SeekTo(file, compared_) : !CopyFrom(compared, compared_)) failed_ = true;
    }
    native::Close(compared);
}

bool DiskFile::CopyFrom(Handle from, uint64_t size) {
    char* piece = Scratch();
    for (uint64_t at = 0; at < size;) {
        const int64_t got = native::ReadAt(from, piece, std::min<uint64_t>(kPiece, size - at), at);
        if (got <= 0 || !native::WriteAll(file_, piece, static_cast<size_t>(got))) return false;
        at += static_cast<uint64_t>(got);
    }
    return true;
}

void DiskFile::Flush() {
    if (Comparing() && !SameAhead()) StartWriting();
    // The rest is lost after a failed write, as a stream would lose it.
    if (state_ == State::kWriting && !failed_ && !native::WriteAll(file_, text_.data(), text_.size()))
        failed_ = true;
    text_.clear();
}

bool DiskFile::Close() {
    if (!IsOpen()) {
        text_.clear();
        outcome_ = Outcome::kNone;
        return false;
    }
    if (Comparing()) {
        // Sizes first: only a file of the same size is read to its end.
        if (size_ - compared_ == text_.size() && SameAhead()) {
            native::Close(file_);
            file_ = kNone;
            state_ = State::kClosed;
            text_.clear();
            outcome_ = Outcome::kUnchanged;
            return true;
        }
        StartWriting();
    }
    if (state_ == State::kLost) {
        state_ = State::kClosed;
        text_.clear();
        outcome_ = Outcome::kNotCreated;
        return false;
    }
    Flush();
    bool written = native::Close(file_) && !failed_;
    file_ = kNone;
    state_ = State::kClosed;
    if (replaceDir_ != kNone) written = FinishReplacing(written);
    outcome_ = written ? Outcome::kWritten : Outcome::kNotWritten;
    failure_ = written ? WriteFailure::kNone : WriteFailure::kOther;
    return written;
}

std::unique_ptr<OutputFile> DiskFolder::NewFile() { return std::make_unique<DiskFile>(*this); }

}  // namespace

std::unique_ptr<OutputFolder> OpenOutputFolder(std::string_view path) {
    auto folder = std::make_unique<DiskFolder>();
    if (!folder->Open(path)) return nullptr;
    return folder;
}

}  // namespace platform
