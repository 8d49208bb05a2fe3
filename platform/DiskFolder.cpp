#include "platform/OutputFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

#include "platform/FileSys.h"

// The output folder on disk: one descriptor held for the run, every file
// opened beneath it. Each file is one open, one write and one close, and a
// file that already holds the bytes one open, one read and one close,
// without touching it: generation creates tens of thousands of small files.
namespace platform {
namespace {

class DiskFolder : public OutputFolder {
public:
    DiskFolder() = default;
    ~DiskFolder() override;
    DiskFolder(const DiskFolder&) = delete;
    DiskFolder& operator=(const DiskFolder&) = delete;

    // Opens the folder named by `path`; false when it cannot.
    bool Open(std::string_view path);
    int Fd() const { return fd_; }

    // An advisory lock on the folder itself (no file is made for it).
    Lock TryLock() override;
    void Unlock() override;
    // From then on a file that was not there is created at once, without
    // first trying to read it (on a fresh site, that try would cost a third
    // of each creation).
    void NoteEntries() override;
    // Whether the file `name` (UTF-8) may have been there when the names
    // were noted: always, when they were not, or for a name in a subfolder.
    bool MayHold(std::string_view name) const;
    void Protect(std::string_view path) override;
    bool IsProtected(const struct stat& st) const;
    std::unique_ptr<OutputFile> NewFile() override;

private:
    int fd_ = -1;
    bool locked_ = false;
    bool noted_ = false;
    std::vector<size_t> entries_;  // hashes of the names noted, sorted
    std::vector<std::pair<dev_t, ino_t>> protected_;
};

// The failure an open(2) error number stands for.
WriteFailure WriteFailureOf(int error);

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
        kComparing,  // fd_ reads the file there; nothing written yet
        kWriting,    // fd_ writes the file
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
    bool Take(int fd, const struct stat& st);
    // Goes on writing into a new hidden file beside the name, holding the
    // first `size` bytes of `from` (none when -1) and the old file's
    // permission bits (and owner, where allowed); Close puts it in the
    // name's place. False, and nothing open, when it cannot be made.
    bool StartReplacing(int from, off_t size);
    // Close's last step for a replacing file: false when it could not take
    // the name (it is removed then).
    bool FinishReplacing(bool written);
    void Flush() override;
    // Whether the buffer equals the file's next bytes; counts them as
    // compared when it does.
    bool SameAhead();
    void StartWriting();
    bool WriteAll(const char* p, size_t size);
    bool CopyFrom(int fd, off_t size);
    char* Scratch();

    const DiskFolder* folder_;
    State state_ = State::kClosed;
    int fd_ = -1;
    bool failed_ = false;
    mode_t mode_ = 0;
    std::pair<uid_t, gid_t> owner_{};
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

// ------------------------------------------------------------ DiskFolder

DiskFolder::~DiskFolder() {
    if (fd_ >= 0) ::close(fd_);
}

bool DiskFolder::Open(std::string_view path) {
    if (fd_ >= 0) ::close(fd_);
    locked_ = false;
    noted_ = false;
    entries_.clear();
    fd_ = -1;
    if (path.empty()) return false;
    const std::string native(path);
    // Read access lets the folder be locked; a folder that can only be
    // entered is still written, unlocked.
    fd_ = ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) fd_ = ::open(native.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    return fd_ >= 0;
}

OutputFolder::Lock DiskFolder::TryLock() {
    if (locked_) return Lock::kHeld;
    int r;
    do {
        r = ::flock(fd_, LOCK_EX | LOCK_NB);
    } while (r != 0 && errno == EINTR);
    if (r == 0) {
        locked_ = true;
        return Lock::kHeld;
    }
    return errno == EWOULDBLOCK ? Lock::kBusy : Lock::kUnusable;
}

void DiskFolder::Unlock() {
    if (locked_) ::flock(fd_, LOCK_UN);
    locked_ = false;
}

void DiskFolder::NoteEntries() {
    noted_ = false;
    entries_.clear();
    // A description of its own: the folder's offset stays where it is.
    const int fd = ::openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        if (fd >= 0) ::close(fd);
        return;  // a folder that can only be entered: every name may be there
    }
    errno = 0;
    while (const dirent* e = ::readdir(dir))
        entries_.push_back(std::hash<std::string_view>{}(e->d_name));
    noted_ = errno == 0;
    ::closedir(dir);
    std::sort(entries_.begin(), entries_.end());
}

bool DiskFolder::MayHold(std::string_view name) const {
    return !noted_ || name.find('/') != std::string_view::npos ||
           std::binary_search(entries_.begin(), entries_.end(),
                              std::hash<std::string_view>{}(name));
}

void DiskFolder::Protect(std::string_view path) {
    struct stat st {};
    if (!path.empty() && ::stat(std::string(path).c_str(), &st) == 0)
        protected_.emplace_back(st.st_dev, st.st_ino);
}

bool DiskFolder::IsProtected(const struct stat& st) const {
    for (const auto& [dev, ino] : protected_)
        if (st.st_dev == dev && st.st_ino == ino) return true;
    return false;
}

// ------------------------------------------------------------ DiskFile

WriteFailure WriteFailureOf(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return WriteFailure::kNoFolder;
        case ENAMETOOLONG:
            return WriteFailure::kNameTooLong;
        case ELOOP:   // a symbolic link
        case EINVAL:  // no regular file (KeepRegular)
        case EISDIR:
        case ENXIO:   // a FIFO without a reader, a device without its driver
            return WriteFailure::kNotRegular;
        default:
            return WriteFailure::kOther;
    }
}

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
    // but a regular file, never waited on.
    struct stat st {};
    // Only read with pread, which says when it could not: a short or failed
    // read is taken for a difference and the file is written.
    const int fd = folder_->MayHold(name_)
                       ? KeepRegular(OpenBeneath(folder_->Fd(), name_,
                                                 O_RDONLY | O_NONBLOCK | O_CLOEXEC, 0),
                                     &st, true)
                       : -1;
    if (fd < 0) return OpenForWriting();
    if (!Take(fd, st)) return false;
    state_ = State::kComparing;
    size_ = st.st_size;
    return true;
}

bool DiskFile::Take(int fd, const struct stat& st) {
    if (folder_->IsProtected(st)) {
        ::close(fd);
        return Fail(WriteFailure::kProtected);
    }
    fd_ = fd;
    identity_ = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    mode_ = st.st_mode;
    owner_ = {st.st_uid, st.st_gid};
    return true;
}

bool DiskFile::OpenForWriting() {
    // Not truncated on opening: only a regular file is emptied, and a FIFO
    // without a reader fails at once (O_NONBLOCK) instead of waiting. A file
    // just made is empty already; on ext4, emptying it again costs as much
    // as the rest of its creation.
    struct stat st {};
    const int fd = KeepRegular(
        OpenBeneath(folder_->Fd(), name_, O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666), &st);
    if (fd < 0) return Fail(WriteFailureOf(errno));
    if (!Take(fd, st)) return false;
    if (st.st_nlink > 1) {
        ::close(fd_);
        fd_ = -1;
        // Nothing to write through.
        return StartReplacing(-1, 0) || Fail(WriteFailure::kOther);
    }
    if (st.st_size != 0 && ::ftruncate(fd_, 0) != 0) {
        ::close(fd_);
        fd_ = -1;
        return Fail(WriteFailure::kOther);
    }
    state_ = State::kWriting;
    return true;
}

bool DiskFile::StartReplacing(int from, off_t size) {
    static std::atomic<unsigned> serial{0};  // _db.html is written on a thread of its own
    const size_t slash = name_.rfind('/');
    leaf_ = name_.substr(slash + 1);
    std::string dir = slash == std::string::npos ? std::string() : name_.substr(0, slash);
    while (dir.ends_with('/')) dir.pop_back();
    replaceDir_ = dir.empty() ? folder_->Fd()
                              : OpenBeneath(folder_->Fd(), dir, O_PATH | O_DIRECTORY | O_CLOEXEC, 0);
    int fd = -1;
    for (int attempt = 0; replaceDir_ >= 0 && fd < 0 && attempt < 100; ++attempt) {
        temporary_ = ".quolix-" + std::to_string(::getpid()) + "-" + std::to_string(++serial);
        fd = ::openat(replaceDir_, temporary_.c_str(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST && errno != EINTR) break;
    }
    // The owner too, where that is allowed (a run as root keeps a page
    // readable by the web server's group).
    if (fd >= 0) (void)!::fchown(fd, owner_.first, owner_.second);
    if (fd >= 0 && ::fchmod(fd, mode_ & 0777) == 0) {
        fd_ = fd;
        if (from < 0 || CopyFrom(from, size)) {
            state_ = State::kWriting;
            return true;
        }
        fd_ = -1;
    }
    if (fd >= 0) {
        ::close(fd);
        ::unlinkat(replaceDir_, temporary_.c_str(), 0);
    }
    if (replaceDir_ >= 0 && replaceDir_ != folder_->Fd()) ::close(replaceDir_);
    replaceDir_ = -1;
    return false;
}

bool DiskFile::FinishReplacing(bool written) {
    if (!written || ::renameat(replaceDir_, temporary_.c_str(), replaceDir_, leaf_.c_str()) != 0) {
        ::unlinkat(replaceDir_, temporary_.c_str(), 0);
        written = false;
    }
    if (replaceDir_ != folder_->Fd()) ::close(replaceDir_);
    replaceDir_ = -1;
    return written;
}

char* DiskFile::Scratch() {
    if (!scratch_) scratch_ = std::make_unique<char[]>(kPiece);
    return scratch_.get();
}

bool DiskFile::SameAhead() {
    const size_t n = text_.size();
    if (n > static_cast<uint64_t>(size_ - compared_)) return false;  // longer than the file
    char* piece = Scratch();
    for (size_t at = 0; at < n;) {
        const ssize_t got =
            ::pread(fd_, piece, std::min(kPiece, n - at), compared_ + static_cast<off_t>(at));
        if (got < 0 && errno == EINTR) continue;
        // Shorter than it was, or unreadable: written as if different.
        if (got <= 0) return false;
        if (std::memcmp(piece, text_.data() + at, static_cast<size_t>(got)) != 0) return false;
        at += static_cast<size_t>(got);
    }
    compared_ += static_cast<off_t>(n);
    return true;
}

void DiskFile::StartWriting() {
    const int compared = fd_;
    fd_ = -1;
    // A read-only file is not written, whatever its links: only a file that
    // opens for writing is written or replaced.
    struct stat st {};
    int fd = KeepRegular(
        OpenBeneath(folder_->Fd(), name_, O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666), &st);
    failure_ = fd < 0 ? WriteFailureOf(errno) : WriteFailure::kOther;
    const bool same = fd >= 0 && FileIdentity{static_cast<uint64_t>(st.st_dev),
                                              static_cast<uint64_t>(st.st_ino)} == identity_;
    if (fd >= 0 && folder_->IsProtected(st)) {
        ::close(fd);
        fd = -1;
        failure_ = WriteFailure::kProtected;
    } else if (fd >= 0 && st.st_nlink > 1) {
        // The other names keep the file's bytes: a new file takes this one
        // (links counted now: the name may hold another file by now).
        ::close(fd);
        mode_ = st.st_mode;
        owner_ = {st.st_uid, st.st_gid};
        if (!StartReplacing(compared, compared_)) state_ = State::kLost;
        ::close(compared);
        return;
    }
    // The file compared already holds the bytes found equal: it is cut
    // after them and written on. Another file that took the name meanwhile
    // is emptied and given those bytes from the one compared.
    if (fd >= 0 && ::ftruncate(fd, same ? compared_ : 0) != 0) {
        ::close(fd);
        fd = -1;
    }
    if (fd < 0) {
        state_ = State::kLost;
    } else {
        failure_ = WriteFailure::kNone;
        fd_ = fd;
        state_ = State::kWriting;
        if (same ? ::lseek(fd, compared_, SEEK_SET) != compared_ : !CopyFrom(compared, compared_))
            failed_ = true;
    }
    ::close(compared);
}

bool DiskFile::CopyFrom(int fd, off_t size) {
    char* piece = Scratch();
    for (off_t at = 0; at < size;) {
        const ssize_t got =
            ::pread(fd, piece, static_cast<size_t>(std::min<off_t>(kPiece, size - at)), at);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0 || !WriteAll(piece, static_cast<size_t>(got))) return false;
        at += got;
    }
    return true;
}

bool DiskFile::WriteAll(const char* p, size_t left) {
    while (left > 0) {
        const ssize_t n = ::write(fd_, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

void DiskFile::Flush() {
    if (Comparing() && !SameAhead()) StartWriting();
    // The rest is lost after a failed write, as a stream would lose it.
    if (state_ == State::kWriting && !failed_ && !WriteAll(text_.data(), text_.size()))
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
        if (static_cast<uint64_t>(size_ - compared_) == text_.size() && SameAhead()) {
            ::close(fd_);
            fd_ = -1;
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
    // No retry on EINTR: the descriptor is released either way on Linux.
    bool written = ::close(fd_) == 0 && !failed_;
    fd_ = -1;
    state_ = State::kClosed;
    if (replaceDir_ >= 0) written = FinishReplacing(written);
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
