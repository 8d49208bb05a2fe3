#include "platform/OutputFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/CodePage.h"
#include "platform/FileSys.h"

namespace platform {

// ------------------------------------------------------------ OutputFolder

OutputFolder::~OutputFolder() {
    if (fd_ >= 0) ::close(fd_);
}

bool OutputFolder::Open(std::string_view cpPath) {
    if (fd_ >= 0) ::close(fd_);
    locked_ = false;
    fd_ = -1;
    if (cpPath.empty()) return false;
    const std::string native = Cp932ToUtf8(cpPath);
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

// ------------------------------------------------------------ OutputFile

OutputFile::~OutputFile() {
    if (IsOpen()) Close();
}

bool OutputFile::Create(const OutputFolder& folder, std::string_view cpName) {
    if (IsOpen()) Close();
    text_.clear();
    failed_ = false;
    if (!folder.IsOpen() || cpName.empty()) return false;
    // Not truncated on opening: only a regular file is emptied, and a FIFO
    // without a reader fails at once (O_NONBLOCK) instead of waiting.
    int fd = OpenBeneath(folder.Fd(), Cp932ToUtf8(cpName),
                         O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void OutputFile::Flush() {
    const char* p = text_.data();
    size_t left = text_.size();
    while (left > 0 && !failed_) {
        const ssize_t n = ::write(fd_, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failed_ = true;  // the rest is lost, as a stream would lose it
        } else {
            p += n;
            left -= static_cast<size_t>(n);
        }
    }
    text_.clear();
}

bool OutputFile::Close() {
    if (!IsOpen()) {
        text_.clear();
        return false;
    }
    Flush();
    // No retry on EINTR: the descriptor is released either way on Linux.
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    return closed && !failed_;
}

}  // namespace platform
