#include "platform/FileSys.h"

#include <algorithm>
#include <cstdint>

#include "platform/Memory.h"

namespace platform {
bool CloseChecked(FilePtr& file) {
    if (!file) return false;
    bool ok = std::ferror(file.get()) == 0;
    if (std::fclose(file.release()) != 0) ok = false;
    return ok;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path.append(folder);
#ifdef _WIN32
    // Told to the user as Windows spells paths.
    path.push_back('\\');
    for (const char c : name) path.push_back(c == '/' ? '\\' : c);
#else
    path.push_back('/');
    path.append(name);
#endif
    return path;
}

ReadStatus ReadAll(FILE* file, ByteBuffer& bytes) {
    bytes.Resize(0);
    if (!file) return ReadStatus::kCannotOpen;
    std::rewind(file);
    // Straight into place when the size is known; a file that grows
    // meanwhile, or tells no size, is read on in pieces.
    uint64_t size = 0;
    if (SizeOf(file, size) && size > 0 &&
        (size > SIZE_MAX - 1 || !bytes.Resize(static_cast<size_t>(size))))
        return ReadStatus::kNoMemory;
    constexpr size_t kPiece = size_t{1} << 16;
    size_t used = 0;
    for (;;) {
        if (used == bytes.Size()) {
            const int c = std::fgetc(file);
            if (c == EOF) break;
            if (!bytes.Resize(used + std::max(kPiece, used / 2))) return ReadStatus::kNoMemory;
            bytes.Data()[used++] = static_cast<char>(c);
        }
        const size_t n = std::fread(bytes.Data() + used, 1, bytes.Size() - used, file);
        if (n == 0) break;
        used += n;
    }
    bytes.Shrink(used);
    return std::ferror(file) ? ReadStatus::kCannotOpen : ReadStatus::kRead;
}

ReadStatus ReadWholeFile(std::string_view path, ByteBuffer& bytes) {
    bytes.Resize(0);
    FilePtr f = OpenFile(path, "rb");
    if (!f) return ReadStatus::kCannotOpen;
    return ReadAll(f.get(), bytes);
}

}  // namespace platform
