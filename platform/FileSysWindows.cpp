// Files on Windows: UTF-8 paths made wide at each call.
#include <fcntl.h>
#include <io.h>

#include "platform/FileSys.h"
#include "platform/WindowsText.h"

namespace platform {

FilePtr OpenFile(std::string_view path, const char* mode) {
    if (path.empty()) return nullptr;
    const bool write = mode[0] == 'w';
    const HANDLE h = ::CreateFileW(Widen(path).c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   write ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    // Regular files only: a device (CON, NUL, COM1) or a pipe is refused.
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || (write && !::SetEndOfFile(h))) {
        ::CloseHandle(h);
        return nullptr;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY | (write ? 0 : _O_RDONLY));
    if (fd < 0) {
        ::CloseHandle(h);
        return nullptr;
    }
    FilePtr f(::_fdopen(fd, write ? "wb" : "rb"));
    if (!f) ::_close(fd);
    return f;
}

bool SizeOf(FILE* file, uint64_t& size) {
    LARGE_INTEGER n{};
    const auto h = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
    if (h == INVALID_HANDLE_VALUE || !::GetFileSizeEx(h, &n) || n.QuadPart < 0) return false;
    size = static_cast<uint64_t>(n.QuadPart);
    return true;
}

bool IsFolder(std::string_view path) {
    if (path.empty()) return false;
    const DWORD attributes = ::GetFileAttributesW(Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsAbsolutePath(std::string_view path) {
    auto slash = [](char c) { return c == '/' || c == '\\'; };
    // C:\..., \\server\share, and \... from the current drive's top.
    return (path.size() >= 3 && path[1] == ':' && slash(path[2])) || (!path.empty() && slash(path[0]));
}

std::string CurrentFolder() {
    const DWORD n = ::GetCurrentDirectoryW(0, nullptr);
    if (n == 0) return {};
    std::wstring here(n, L'\0');
    const DWORD used = ::GetCurrentDirectoryW(n, here.data());
    if (used == 0 || used >= n) return {};
    here.resize(used);
    return Narrow(here);
}

}  // namespace platform
