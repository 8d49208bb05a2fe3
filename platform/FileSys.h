// Files and folders, named by paths as the file system spells them (UTF-8).
#pragma once

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/types.h>
#endif

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

class ByteBuffer;

struct FileCloser {
    void operator()(FILE* f) const noexcept {
        if (f) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// fopen for regular files only: a folder, FIFO,
// socket or device is refused at once, never waited on. Modes "r…" read,
// "w…" create or empty the file ("b" makes no difference here).
FilePtr OpenFile(std::string_view path, const char* mode);

// The size of an open file; false when the system does not tell it.
bool SizeOf(FILE* file, uint64_t& size);

// Whether the path is absolute ("/…"; on Windows also "C:\…" and "\…").
bool IsAbsolutePath(std::string_view path);
// The current folder (UTF-8); empty when it cannot be told.
std::string CurrentFolder();

#ifndef _WIN32
// A descriptor opened without blocking (a FIFO or device would otherwise
// be waited on), kept only when it is a regular file, and then blocking as
// usual unless `nonBlocking` (a file only read with pread, whose result is
// checked: the two calls count on a rerun of many files); -1 (the
// descriptor closed) otherwise. `st`, when given, gets the file's status.
int KeepRegular(int fd, struct stat* st = nullptr, bool nonBlocking = false);
#endif

// Closes the file and tells whether everything written to it reached the
// file: no earlier write error and a successful close.
bool CloseChecked(FilePtr& file);

// Whether the path names an existing folder that can be entered. The
// current directory is left alone.
bool IsFolder(std::string_view path);

// folder + "/" + name (on Windows, "\\" between folder and name and
// in place of each "/" of the name).
std::string JoinPath(std::string_view folder, std::string_view name);

enum class ReadStatus {
    kRead,
    kCannotOpen,  // missing, unreadable, no regular file, or a read error
    kNoMemory,    // larger than the memory to be had
};

// The rest of an open file, from its start, into `bytes`.
ReadStatus ReadAll(FILE* file, ByteBuffer& bytes);
// A whole file by its path (regular files only).
ReadStatus ReadWholeFile(std::string_view path, ByteBuffer& bytes);

#ifndef _WIN32
// Opens `name` (UTF-8, relative, "/" between folders) below the folder
// `dirFd` without following a symbolic link anywhere on the way, the file
// itself included, and without leaving the folder ("..", an absolute
// name). `flags` and `mode` are open(2)'s. The descriptor, or -1 with errno
// set. Uses openat2 where the kernel has it and OpenBeneathByWalk where it
// answers ENOSYS or EPERM.
int OpenBeneath(int dirFd, std::string_view name, int flags, mode_t mode);
// The same, one component at a time with O_NOFOLLOW.
int OpenBeneathByWalk(int dirFd, std::string_view name, int flags, mode_t mode);
#endif

}  // namespace platform
