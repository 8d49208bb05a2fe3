// The system's calls the output folder is written with: a POSIX descriptor
// or a Windows handle behind one type, so that the folder's logic
// (platform/DiskFolder.cpp) is the same on both.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/OutputFolder.h"

namespace platform::native {

#ifdef _WIN32
constexpr bool kNamesIgnoreCase = true;
#else
constexpr bool kNamesIgnoreCase = false;
#endif

// A descriptor or a HANDLE; kNone (-1 for both) when nothing is open.
using Handle = intptr_t;
constexpr Handle kNone = -1;

// What the folder needs to know of a file it opened.
struct Facts {
    FileIdentity identity;
    uint64_t size = 0;
    uint32_t links = 1;
    uint32_t mode = 0;  // permission bits (POSIX)
    uint32_t uid = 0, gid = 0;
};

// The folder `path` (UTF-8), opened to create files beneath it; kNone when
// it is no folder or cannot be opened.
Handle OpenFolder(std::string_view path);

enum class Access {
    kRead,   // an existing file, read at offsets only, never waited on
    kWrite,  // created when missing, not emptied
};
// The regular file `name` (UTF-8, "/" between folders) beneath the folder
// `dir`, never through a link (a Windows reparse point) nor out of the
// folder; kNone, with `failure` set, otherwise. `facts` gets the file's.
Handle OpenBeneath(Handle dir, std::string_view name, Access access, Facts& facts,
                   WriteFailure& failure);
// A subfolder beneath `dir`, opened the same way, to create and rename in.
Handle OpenFolderBeneath(Handle dir, std::string_view name);

bool Truncate(Handle file, uint64_t size);
bool SeekTo(Handle file, uint64_t offset);
// Bytes read at `offset` (0 at the end); -1 on an error.
int64_t ReadAt(Handle file, char* buffer, size_t size, uint64_t offset);
bool WriteAll(Handle file, const char* p, size_t size);
// Closes; false when the system said the file was not written whole.
bool Close(Handle file);

// A new hidden file in `dir` with the permission bits and owner of
// `like` (where allowed); its name goes to `name`. kNone when it cannot be
// made.
Handle CreateHidden(Handle dir, const Facts& like, std::string& name);
// `from` takes the name `to`, both in `dir`, replacing what was there.
bool Rename(Handle dir, const std::string& from, const std::string& to);
void Remove(Handle dir, const std::string& name);

// The lock among the runs that write the folder. `token` holds what the
// lock needs kept (kNone before the first try).
OutputFolder::Lock TryLock(Handle dir, Handle& token);
void Unlock(Handle dir, Handle& token);

// Calls `each` with every name in the folder; false when they cannot all
// be read.
bool ListNames(Handle dir, const std::function<void(std::string_view)>& each);

// The identity of the file at `path`, following links; false when there
// is none.
bool IdentityOf(std::string_view path, FileIdentity& identity);

}  // namespace platform::native
