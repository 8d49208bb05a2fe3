// The output folder's calls on Windows. Files are opened beneath the
// folder's handle one name at a time (NtCreateFile relative to the handle
// of the folder before), so that no name on the way is looked up again
// from the drive's root; a symbolic link, junction or mount point on the
// way is refused as the POSIX build refuses a link.
#include <windows.h>
#include <winternl.h>

#include <atomic>
#include <initializer_list>
#include <vector>

#include "platform/NativeFile.h"
#include "platform/WindowsText.h"

namespace platform::native {
namespace {

HANDLE H(Handle h) { return reinterpret_cast<HANDLE>(h); }
Handle Of(HANDLE h) { return h == INVALID_HANDLE_VALUE ? kNone : reinterpret_cast<Handle>(h); }

constexpr NTSTATUS kObjectNameInvalid = static_cast<NTSTATUS>(0xC0000033L);
constexpr NTSTATUS kObjectNameNotFound = static_cast<NTSTATUS>(0xC0000034L);
constexpr NTSTATUS kObjectPathNotFound = static_cast<NTSTATUS>(0xC000003AL);
constexpr NTSTATUS kFileIsADirectory = static_cast<NTSTATUS>(0xC00000BAL);
constexpr NTSTATUS kNotADirectory = static_cast<NTSTATUS>(0xC0000103L);
constexpr NTSTATUS kNameTooLong = static_cast<NTSTATUS>(0xC0000106L);
constexpr NTSTATUS kReparsePoint = static_cast<NTSTATUS>(0xC000046BL);  // told by ourselves
// The longest name a folder holds (NTFS, FAT, exFAT), in UTF-16 units.
constexpr size_t kLongestName = 255;

// Whether the program runs under wine, whose file system differs from
// Windows' in what the checks below need.
bool UnderWine() {
    static const bool wine = ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

WriteFailure FailureOf(NTSTATUS status) {
    switch (status) {
        case kObjectNameNotFound:
        case kObjectPathNotFound:
        case kNotADirectory:
            return WriteFailure::kNoFolder;
        case kNameTooLong:
            return WriteFailure::kNameTooLong;
        case kFileIsADirectory:
        case kReparsePoint:
            return WriteFailure::kNotRegular;
        case kObjectNameInvalid:
            return WriteFailure::kWindowsName;
        default:
            return WriteFailure::kOther;
    }
}

Facts FactsOf(const BY_HANDLE_FILE_INFORMATION& info) {
    Facts f;
    f.identity = {info.dwVolumeSerialNumber,
                  uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow};
    f.size = uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
    f.links = info.nNumberOfLinks;
    f.mode = info.dwFileAttributes;
    return f;
}

// One name (no separator) beneath `root`, the name itself never followed
// when it is a reparse point: it is opened, seen to be one and closed.
NTSTATUS OpenOne(HANDLE root, const std::wstring& name, ACCESS_MASK access, ULONG disposition,
                 ULONG options, HANDLE& out, BY_HANDLE_FILE_INFORMATION& info) {
    out = INVALID_HANDLE_VALUE;
    if (name.size() > kLongestName) return kNameTooLong;
    UNICODE_STRING text;
    text.Buffer = const_cast<PWSTR>(name.c_str());
    text.Length = text.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, root, nullptr);
    IO_STATUS_BLOCK io{};
    HANDLE h = nullptr;
    auto open = [&](ULONG reparse) {
        return ::NtCreateFile(&h, access | SYNCHRONIZE | FILE_READ_ATTRIBUTES, &attributes, &io, nullptr,
                              FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              disposition, options | FILE_SYNCHRONOUS_IO_NONALERT | reparse, nullptr, 0);
    };
    NTSTATUS status = open(FILE_OPEN_REPARSE_POINT);
    if (status < 0) return status;
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!::GetFileInformationByHandle(h, &info) ||
        ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
         !::GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag))) {
        ::CloseHandle(h);
        return static_cast<NTSTATUS>(0xC0000001L);
    }
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        ::CloseHandle(h);
        // A symbolic link, a junction or a mount point names another file:
        // refused. Any other reparse point (a file kept in the cloud, a
        // deduplicated or compressed one) is the file itself, opened as
        // its driver shows it, provided it is still the same file.
        if (IsReparseTagNameSurrogate(tag.ReparseTag)) return kReparsePoint;
        const uint64_t index = uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow;
        const DWORD volume = info.dwVolumeSerialNumber;
        if ((status = open(0)) < 0) return status;
        if (!::GetFileInformationByHandle(h, &info) || info.dwVolumeSerialNumber != volume ||
            (uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow) != index) {
            ::CloseHandle(h);
            return kReparsePoint;
        }
    }
    out = h;
    return 0;
}

// The names of `path` ("/" between them) with "." left out and ".." taken
// back; false when ".." would leave the folder or the path is absolute.
bool Split(std::string_view path, std::vector<std::wstring>& parts) {
    if (path.empty() || path.front() == '/') return false;
    for (size_t at = 0; at <= path.size();) {
        size_t slash = path.find('/', at);
        if (slash == std::string_view::npos) slash = path.size();
        const std::string_view part = path.substr(at, slash - at);
        at = slash + 1;
        if (part == "..") {
            if (parts.empty()) return false;
            parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(Widen(part));
        }
    }
    return !parts.empty();
}

// The path of the open folder `dir` now; empty when it cannot be told.
std::wstring FolderPath(HANDLE dir) {
    std::wstring path(MAX_PATH, L'\0');
    DWORD n = ::GetFinalPathNameByHandleW(dir, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
    if (n >= path.size()) {
        path.resize(n + 1);
        n = ::GetFinalPathNameByHandleW(dir, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
    }
    path.resize(n < path.size() ? n : 0);
    return path;
}

constexpr ACCESS_MASK kFolderAccess = FILE_TRAVERSE | FILE_LIST_DIRECTORY;

// The folder holding the last of `parts`, opened one name at a time
// beneath `dir`; `dir` itself when there is one part.
NTSTATUS WalkTo(HANDLE dir, const std::vector<std::wstring>& parts, HANDLE& out) {
    HANDLE at = dir;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        HANDLE next;
        BY_HANDLE_FILE_INFORMATION info;
        NTSTATUS status = OpenOne(at, parts[i], kFolderAccess, FILE_OPEN, FILE_DIRECTORY_FILE, next, info);
        // Wine opens a link's target even when asked for the link, yet tells
        // a link to a folder by its path.
        if (status >= 0 && UnderWine()) {
            const DWORD byPath = ::GetFileAttributesW((FolderPath(at) + L"\\" + parts[i]).c_str());
            if (byPath != INVALID_FILE_ATTRIBUTES && (byPath & FILE_ATTRIBUTE_REPARSE_POINT)) {
                ::CloseHandle(next);
                status = kReparsePoint;
            }
        }
        if (at != dir) ::CloseHandle(at);
        if (status < 0) return status;
        at = next;
    }
    out = at;
    return 0;
}

}  // namespace

Handle OpenFolder(std::string_view path) {
    if (path.empty()) return kNone;
    // The folder itself may be reached through a link.
    const HANDLE h = ::CreateFileW(Widen(path).c_str(), kFolderAccess | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    if (h != INVALID_HANDLE_VALUE &&
        (!::GetFileInformationByHandle(h, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))) {
        ::CloseHandle(h);  // a file, not a folder
        return kNone;
    }
    return Of(h);
}

Handle OpenBeneath(Handle dir, std::string_view name, Access access, Facts& facts,
                   WriteFailure& failure) {
    if (IsWindowsForbiddenName(name)) {
        failure = WriteFailure::kWindowsName;
        return kNone;
    }
    std::vector<std::wstring> parts;
    if (!Split(name, parts)) {
        failure = WriteFailure::kNotRegular;
        return kNone;
    }
    HANDLE folder;
    NTSTATUS status = WalkTo(H(dir), parts, folder);
    HANDLE file = INVALID_HANDLE_VALUE;
    BY_HANDLE_FILE_INFORMATION info{};
    if (status >= 0) {
        const bool read = access == Access::kRead;
        status = OpenOne(folder, parts.back(), read ? FILE_READ_DATA : FILE_WRITE_DATA | FILE_APPEND_DATA,
                         read ? FILE_OPEN : FILE_OPEN_IF, FILE_NON_DIRECTORY_FILE, file, info);
        if (folder != H(dir)) ::CloseHandle(folder);
    }
    // Regular files only: a device or a pipe is refused.
    if (status >= 0 && ::GetFileType(file) != FILE_TYPE_DISK) {
        ::CloseHandle(file);
        status = kFileIsADirectory;
    }
    if (status < 0) {
        failure = FailureOf(status);
        return kNone;
    }
    facts = FactsOf(info);
    return Of(file);
}

Handle OpenFolderBeneath(Handle dir, std::string_view name) {
    std::vector<std::wstring> parts;
    if (!Split(name, parts)) return kNone;
    parts.emplace_back(L".");  // the walk stops before the last name
    HANDLE folder;
    if (WalkTo(H(dir), parts, folder) < 0) return kNone;
    return folder == H(dir) ? kNone : Of(folder);
}

bool Truncate(Handle file, uint64_t size) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    return ::SetFileInformationByHandle(H(file), FileEndOfFileInfo, &end, sizeof end);
}

bool SeekTo(Handle file, uint64_t offset) {
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(offset);
    return ::SetFilePointerEx(H(file), to, nullptr, FILE_BEGIN);
}

int64_t ReadAt(Handle file, char* buffer, size_t size, uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const DWORD want = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    if (!::ReadFile(H(file), buffer, want, &got, &at))
        return ::GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    return got;
}

bool WriteAll(Handle file, const char* p, size_t left) {
    while (left > 0) {
        const DWORD want = left > 0x40000000 ? 0x40000000 : static_cast<DWORD>(left);
        DWORD n = 0;
        if (!::WriteFile(H(file), p, want, &n, nullptr) || n == 0) return false;
        p += n;
        left -= n;
    }
    return true;
}

bool Close(Handle file) { return ::CloseHandle(H(file)); }

Handle CreateHidden(Handle dir, const Facts&, std::string& name) {
    static std::atomic<unsigned> serial{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = ".quolix-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++serial);
        HANDLE h;
        BY_HANDLE_FILE_INFORMATION info;
        const NTSTATUS status = OpenOne(H(dir), Widen(name), FILE_WRITE_DATA | FILE_READ_DATA,
                                        FILE_CREATE, FILE_NON_DIRECTORY_FILE, h, info);
        if (status >= 0) return Of(h);
        if (status != static_cast<NTSTATUS>(0xC0000035L)) break;  // not "name collision"
    }
    return kNone;
}

bool Rename(Handle dir, const std::string& from, const std::string& to) {
    HANDLE h;
    BY_HANDLE_FILE_INFORMATION info;
    if (OpenOne(H(dir), Widen(from), DELETE, FILE_OPEN, FILE_NON_DIRECTORY_FILE, h, info) < 0) return false;
    const std::wstring target = Widen(to);
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = H(dir);
    rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    std::copy(target.begin(), target.end(), rename->FileName);
    const bool ok = ::SetFileInformationByHandle(h, FileRenameInfo, rename, static_cast<DWORD>(buffer.size()));
    ::CloseHandle(h);
    if (ok || !UnderWine()) return ok;
    // Wine renames by full paths only: the folder's path as it is now,
    // from its handle.
    const std::wstring folder = FolderPath(H(dir));
    return !folder.empty() && ::MoveFileExW((folder + L"\\" + Widen(from)).c_str(), (folder + L"\\" + target).c_str(),
                                            MOVEFILE_REPLACE_EXISTING);
}

void Remove(Handle dir, const std::string& name) {
    HANDLE h;
    BY_HANDLE_FILE_INFORMATION info;
    if (OpenOne(H(dir), Widen(name), DELETE, FILE_OPEN, FILE_NON_DIRECTORY_FILE | FILE_DELETE_ON_CLOSE, h,
                info) >= 0)
        ::CloseHandle(h);
}

// A folder's handle cannot be locked: the runs meet at a semaphore of one
// named after the folder's volume and file index. A semaphore, unlike a
// mutex, is held by no thread, so a second folder object of the same
// process finds it taken too; it goes with the last handle to it.
OutputFolder::Lock TryLock(Handle dir, Handle& token) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(H(dir), &info)) return OutputFolder::Lock::kUnusable;
    wchar_t key[80];
    const unsigned long long index = uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow;
    HANDLE h = nullptr;
    for (const wchar_t* space : {L"Global\\", L"Local\\"}) {
        swprintf(key, 80, L"%lsquolix-folder-%08lx-%016llx", space,
                 static_cast<unsigned long>(info.dwVolumeSerialNumber), index);
        h = ::CreateSemaphoreW(nullptr, 1, 1, key);
        // Only a run that holds the lock keeps the semaphore: one that
        // exists and cannot be opened is another user's run, holding it.
        if (h || ::GetLastError() == ERROR_ACCESS_DENIED) break;
    }
    if (!h) return ::GetLastError() == ERROR_ACCESS_DENIED ? OutputFolder::Lock::kBusy : OutputFolder::Lock::kUnusable;
    if (::WaitForSingleObject(h, 0) != WAIT_OBJECT_0) {
        ::CloseHandle(h);
        return OutputFolder::Lock::kBusy;
    }
    token = reinterpret_cast<Handle>(h);
    return OutputFolder::Lock::kHeld;
}

void Unlock(Handle, Handle& token) {
    if (token == kNone) return;
    ::ReleaseSemaphore(H(token), 1, nullptr);
    ::CloseHandle(H(token));
    token = kNone;
}

bool ListNames(Handle dir, const std::function<void(std::string_view)>& each) {
    std::vector<char> buffer(64 * 1024);
    bool first = true;
    for (;;) {
        const auto kind = first ? FileIdBothDirectoryRestartInfo : FileIdBothDirectoryInfo;
        first = false;
        if (!::GetFileInformationByHandleEx(H(dir), kind, buffer.data(), static_cast<DWORD>(buffer.size())))
            return ::GetLastError() == ERROR_NO_MORE_FILES;
        for (size_t at = 0;;) {
            const auto* e = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer.data() + at);
            each(Narrow(std::wstring_view(e->FileName, e->FileNameLength / sizeof(wchar_t))));
            if (e->NextEntryOffset == 0) break;
            at += e->NextEntryOffset;
        }
    }
}

bool IdentityOf(std::string_view path, FileIdentity& identity) {
    if (path.empty()) return false;
    const HANDLE h = ::CreateFileW(Widen(path).c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = ::GetFileInformationByHandle(h, &info);
    ::CloseHandle(h);
    if (ok) identity = FactsOf(info).identity;
    return ok;
}

}  // namespace platform::native
