#include "platform/OutputFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>

#include "platform/FileSys.h"

namespace platform {

// ------------------------------------------------------------ OutputFolder

OutputFolder::~OutputFolder() {
    if (fd_ >= 0) ::close(fd_);
}

bool OutputFolder::Open(std::string_view path) {
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

OutputFolder::Lock OutputFolder::TryLock() {
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

void OutputFolder::Unlock() {
    if (locked_) ::flock(fd_, LOCK_UN);
    locked_ = false;
}

void OutputFolder::NoteEntries() {
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

bool OutputFolder::MayHold(std::string_view name) const {
    return !noted_ || name.find('/') != std::string_view::npos ||
           std::binary_search(entries_.begin(), entries_.end(),
                              std::hash<std::string_view>{}(name));
}

void OutputFolder::Protect(std::string_view path) {
    struct stat st {};
    if (!path.empty() && ::stat(std::string(path).c_str(), &st) == 0)
        protected_.emplace_back(st.st_dev, st.st_ino);
}

bool OutputFolder::IsProtected(const struct stat& st) const {
    for (const auto& [dev, ino] : protected_)
        if (st.st_dev == dev && st.st_ino == ino) return true;
    return false;
}

// ------------------------------------------------------------ OutputFile

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

namespace {

// The piece of an existing file read at a time while comparing.
constexpr size_t kPiece = size_t{1} << 16;

}  // namespace

OutputFile::~OutputFile() {
    if (IsOpen()) Close();
}

void OutputFile::Reset() {
    if (IsOpen()) Close();
    text_.clear();
    failed_ = false;
    outcome_ = Outcome::kNone;
    failure_ = WriteFailure::kNone;
    compared_ = 0;
}

bool OutputFile::Create(const OutputFolder& folder, std::string_view name) {
    Reset();
    if (!folder.IsOpen() || name.empty()) return Fail(WriteFailure::kOther);
    folder_ = &folder;
    name_ = std::string(name);
    return OpenForWriting();
}

bool OutputFile::CreateUnlessSame(const OutputFolder& folder, std::string_view name) {
    Reset();
    if (!folder.IsOpen() || name.empty()) return Fail(WriteFailure::kOther);
    folder_ = &folder;
    name_ = std::string(name);
    // Read with the same care as written: nothing through a link, nothing
    // but a regular file, never waited on.
    struct stat st {};
    // Only read with pread, which says when it could not: a short or failed
    // read is taken for a difference and the file is written.
    const int fd = folder.MayHold(name_)
                       ? KeepRegular(OpenBeneath(folder.Fd(), name_,
                                                 O_RDONLY | O_NONBLOCK | O_CLOEXEC, 0),
                                     &st, true)
                       : -1;
    if (fd < 0) return OpenForWriting();
    if (!Take(fd, st)) return false;
    state_ = State::kComparing;
    size_ = st.st_size;
    return true;
}

bool OutputFile::Take(int fd, const struct stat& st) {
    if (folder_->IsProtected(st)) {
        ::close(fd);
        return Fail(WriteFailure::kProtected);
    }
    fd_ = fd;
    device_ = st.st_dev;
    inode_ = st.st_ino;
    mode_ = st.st_mode;
    owner_ = {st.st_uid, st.st_gid};
    return true;
}

bool OutputFile::OpenForWriting() {
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

bool OutputFile::StartReplacing(int from, off_t size) {
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

bool OutputFile::FinishReplacing(bool written) {
    if (!written || ::renameat(replaceDir_, temporary_.c_str(), replaceDir_, leaf_.c_str()) != 0) {
        ::unlinkat(replaceDir_, temporary_.c_str(), 0);
        written = false;
    }
    if (replaceDir_ != folder_->Fd()) ::close(replaceDir_);
    replaceDir_ = -1;
    return written;
}

char* OutputFile::Scratch() {
    if (!scratch_) scratch_ = std::make_unique<char[]>(kPiece);
    return scratch_.get();
}

bool OutputFile::SameAhead() {
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

void OutputFile::StartWriting() {
    const int compared = fd_;
    fd_ = -1;
    // A read-only file is not written, whatever its links: only a file that
    // opens for writing is written or replaced.
    struct stat st {};
    int fd = KeepRegular(
        OpenBeneath(folder_->Fd(), name_, O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666), &st);
    failure_ = fd < 0 ? WriteFailureOf(errno) : WriteFailure::kOther;
    const bool same = fd >= 0 && st.st_dev == device_ && st.st_ino == inode_;
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

bool OutputFile::CopyFrom(int fd, off_t size) {
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

bool OutputFile::WriteAll(const char* p, size_t left) {
    while (left > 0) {
        const ssize_t n = ::write(fd_, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

void OutputFile::Flush() {
    if (Comparing() && !SameAhead()) StartWriting();
    // The rest is lost after a failed write, as a stream would lose it.
    if (state_ == State::kWriting && !failed_ && !WriteAll(text_.data(), text_.size()))
        failed_ = true;
    text_.clear();
}

bool OutputFile::Close() {
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

}  // namespace platform
