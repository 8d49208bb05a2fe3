#include "platform/FileSys.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/CodePage.h"

namespace platform {

FilePtr OpenFile(std::string_view cpPath, const char* mode) {
    if (cpPath.empty()) return nullptr;
    std::string native = Cp932ToUtf8(cpPath);
    FilePtr f(std::fopen(native.c_str(), mode));
    // A folder opens for reading here, unlike on Windows; it is no file.
    // (Opening one for writing fails by itself.)
    struct stat st {};
    if (f && mode[0] == 'r' && ::fstat(fileno(f.get()), &st) == 0 && S_ISDIR(st.st_mode))
        return nullptr;
    return f;
}

bool CloseChecked(FilePtr& file) {
    if (!file) return false;
    bool ok = std::ferror(file.get()) == 0;
    if (std::fclose(file.release()) != 0) ok = false;
    return ok;
}

bool IsFolder(std::string_view cpPath) {
    if (cpPath.empty()) return false;
    std::string native = Cp932ToUtf8(cpPath);
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    return ::access(native.c_str(), X_OK) == 0;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path.append(folder);
    path.push_back('/');
    path.append(name);
    return path;
}

bool ReadWholeFile(std::string_view cpPath, std::string& bytes) {
    bytes.clear();
    FilePtr f = OpenFile(cpPath, "rb");
    if (!f) return false;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) bytes.append(buf, n);
    return std::ferror(f.get()) == 0;
}

}  // namespace platform
