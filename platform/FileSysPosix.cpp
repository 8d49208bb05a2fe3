// Files on a POSIX system.
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/FileSys.h"

namespace platform {
namespace {

int OpenRetrying(const char* path, int flags, mode_t mode) {
    int fd;
    do {
        fd = ::open(path, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

}  // namespace

int KeepRegular(int fd, struct stat* st, bool nonBlocking) {
    if (fd < 0) return fd;
    struct stat own {};
    if (!st) st = &own;
    if (::fstat(fd, st) != 0 || !S_ISREG(st->st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    // The flag should change nothing for a regular file, but a network or
    // FUSE file system may take it at its word.
    if (!nonBlocking) {
        const int fl = ::fcntl(fd, F_GETFL);
        if (fl >= 0) ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    }
    return fd;
}

FilePtr OpenFile(std::string_view path, const char* mode) {
    if (path.empty()) return nullptr;
    const std::string native(path);
    const bool write = mode[0] == 'w';
    // O_NONBLOCK: a FIFO without a partner would otherwise wait forever.
    const int flags = (write ? O_WRONLY | O_CREAT : O_RDONLY) | O_NONBLOCK | O_CLOEXEC;
    const int fd = KeepRegular(OpenRetrying(native.c_str(), flags, 0666));
    if (fd < 0) return nullptr;
    if (write && ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return nullptr;
    }
    FilePtr f(::fdopen(fd, write ? "wb" : "rb"));
    if (!f) ::close(fd);
    return f;
}

bool SizeOf(FILE* file, uint64_t& size) {
    struct stat st {};
    if (::fstat(fileno(file), &st) != 0) return false;
    size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool IsAbsolutePath(std::string_view path) { return path.starts_with('/'); }

std::string CurrentFolder() {
    char* here = ::getcwd(nullptr, 0);
    if (!here) return {};
    std::string path = here;
    std::free(here);
    return path;
}

bool IsFolder(std::string_view path) {
    if (path.empty()) return false;
    const std::string native(path);
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    return ::access(native.c_str(), X_OK) == 0;
}

int OpenBeneath(int dirFd, std::string_view name, int flags, mode_t mode) {
#ifdef SYS_openat2
    const std::string path(name);
    open_how how{};
    how.flags = static_cast<uint64_t>(flags);
    how.mode = (flags & O_CREAT) ? mode : 0;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS;
    long fd;
    do {
        fd = ::syscall(SYS_openat2, dirFd, path.c_str(), &how, sizeof how);
    } while (fd < 0 && (errno == EINTR || errno == EAGAIN));
    // Kernels before 5.6 lack it; some sandboxes forbid it.
    if (fd >= 0 || (errno != ENOSYS && errno != EPERM)) return static_cast<int>(fd);
#endif
    return OpenBeneathByWalk(dirFd, name, flags, mode);
}

int OpenBeneathByWalk(int dirFd, std::string_view name, int flags, mode_t mode) {
    if (name.empty() || name.front() == '/') {
        errno = name.empty() ? ENOENT : EXDEV;
        return -1;
    }
    // No link is followed, so ".." can be taken by the name's own folders.
    std::vector<std::string> parts;
    for (size_t at = 0; at <= name.size();) {
        size_t slash = name.find('/', at);
        if (slash == std::string_view::npos) slash = name.size();
        const std::string_view part = name.substr(at, slash - at);
        const bool last = slash == name.size();
        at = slash + 1;
        if (part == "..") {
            if (parts.empty()) {
                errno = EXDEV;  // above the folder
                return -1;
            }
            parts.pop_back();
            if (last) parts.emplace_back(".");
        } else if ((part.empty() || part == ".") && !last) {
            continue;
        } else {
            parts.emplace_back(part);
        }
    }
    int dir = dirFd;  // owned from the first folder on
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        const int next =
            ::openat(dir, parts[i].c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        int saved = errno;
        // A link on the way is told as openat2 tells it.
        struct stat st {};
        if (next < 0 && saved == ENOTDIR &&
            ::fstatat(dir, parts[i].c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
            saved = ELOOP;
        if (dir != dirFd) ::close(dir);
        if (next < 0) {
            errno = saved;
            return -1;
        }
        dir = next;
    }
    int fd;
    do {
        fd = ::openat(dir, parts.back().c_str(), flags | O_NOFOLLOW, mode);
    } while (fd < 0 && errno == EINTR);
    const int saved = errno;
    if (dir != dirFd) ::close(dir);
    errno = saved;
    return fd;
}

}  // namespace platform
