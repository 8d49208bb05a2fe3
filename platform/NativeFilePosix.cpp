#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/FileSys.h"
#include "platform/NativeFile.h"

namespace platform::native {
namespace {

int Fd(Handle h) { return static_cast<int>(h); }

// The failure an open(2) error number stands for.
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

Facts FactsOf(const struct stat& st) {
    Facts f;
    f.identity = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    f.size = static_cast<uint64_t>(st.st_size);
    f.links = static_cast<uint32_t>(st.st_nlink);
    f.mode = st.st_mode;
    f.uid = st.st_uid;
    f.gid = st.st_gid;
    return f;
}

}  // namespace

Handle OpenFolder(std::string_view path) {
    if (path.empty()) return kNone;
    const std::string native(path);
    // Read access lets the folder be locked; a folder that can only be
    // entered is still written, unlocked.
    int fd = ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) fd = ::open(native.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    return fd;
}

Handle OpenBeneath(Handle dir, std::string_view name, Access access, Facts& facts,
                   WriteFailure& failure) {
    // O_NONBLOCK: a FIFO without a partner fails at once instead of
    // waiting. A file only read with pread, whose result is checked, keeps
    // it: the two calls count on a rerun of many files.
    const bool read = access == Access::kRead;
    const int flags = (read ? O_RDONLY : O_WRONLY | O_CREAT) | O_NONBLOCK | O_CLOEXEC;
    struct stat st {};
    const int fd = KeepRegular(platform::OpenBeneath(Fd(dir), name, flags, 0666), &st, read);
    if (fd < 0) {
        failure = WriteFailureOf(errno);
        return kNone;
    }
    facts = FactsOf(st);
    return fd;
}

Handle OpenFolderBeneath(Handle dir, std::string_view name) {
    return platform::OpenBeneath(Fd(dir), name, O_PATH | O_DIRECTORY | O_CLOEXEC, 0);
}

bool Truncate(Handle file, uint64_t size) { return ::ftruncate(Fd(file), static_cast<off_t>(size)) == 0; }

bool SeekTo(Handle file, uint64_t offset) {
    return ::lseek(Fd(file), static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

int64_t ReadAt(Handle file, char* buffer, size_t size, uint64_t offset) {
    ssize_t got;
    do {
        got = ::pread(Fd(file), buffer, size, static_cast<off_t>(offset));
    } while (got < 0 && errno == EINTR);
    return got;
}

bool WriteAll(Handle file, const char* p, size_t left) {
    while (left > 0) {
        const ssize_t n = ::write(Fd(file), p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

// No retry on EINTR: the descriptor is released either way on Linux.
bool Close(Handle file) { return ::close(Fd(file)) == 0; }

Handle CreateHidden(Handle dir, const Facts& like, std::string& name) {
    static std::atomic<unsigned> serial{0};  // _db.html is written on a thread of its own
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        name = ".quolix-" + std::to_string(::getpid()) + "-" + std::to_string(++serial);
        fd = ::openat(Fd(dir), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      0600);
        if (fd < 0 && errno != EEXIST && errno != EINTR) break;
    }
    if (fd < 0) return kNone;
    // The owner too, where that is allowed (a run as root keeps a page
    // readable by the web server's group).
    (void)!::fchown(fd, like.uid, like.gid);
    if (::fchmod(fd, like.mode & 0777) != 0) {
        ::close(fd);
        ::unlinkat(Fd(dir), name.c_str(), 0);
        return kNone;
    }
    return fd;
}

bool Rename(Handle dir, const std::string& from, const std::string& to) {
    return ::renameat(Fd(dir), from.c_str(), Fd(dir), to.c_str()) == 0;
}

void Remove(Handle dir, const std::string& name) { ::unlinkat(Fd(dir), name.c_str(), 0); }

// An advisory lock on the folder itself (no file is made for it).
OutputFolder::Lock TryLock(Handle dir, Handle&) {
    int r;
    do {
        r = ::flock(Fd(dir), LOCK_EX | LOCK_NB);
    } while (r != 0 && errno == EINTR);
    if (r == 0) return OutputFolder::Lock::kHeld;
    return errno == EWOULDBLOCK ? OutputFolder::Lock::kBusy : OutputFolder::Lock::kUnusable;
}

void Unlock(Handle dir, Handle&) { ::flock(Fd(dir), LOCK_UN); }

bool ListNames(Handle dir, const std::function<void(std::string_view)>& each) {
    // A description of its own: the folder's offset stays where it is.
    const int fd = ::openat(Fd(dir), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* d = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!d) {
        if (fd >= 0) ::close(fd);
        return false;  // a folder that can only be entered
    }
    errno = 0;
    while (const dirent* e = ::readdir(d)) each(e->d_name);
    const bool ok = errno == 0;
    ::closedir(d);
    return ok;
}

bool IdentityOf(std::string_view path, FileIdentity& identity) {
    struct stat st {};
    if (path.empty() || ::stat(std::string(path).c_str(), &st) != 0) return false;
    identity = FactsOf(st).identity;
    return true;
}

}  // namespace platform::native
