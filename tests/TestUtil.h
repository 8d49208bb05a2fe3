// Helpers shared by the tests: temporary folders and files of raw bytes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace testutil {

// A fresh folder under the system's temporary folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // Path of a file in the folder, as a string.
    std::string File(std::string_view name) const;

private:
    std::filesystem::path path_;
};

void WriteBytes(const std::filesystem::path& file, std::string_view bytes);
std::string ReadBytes(const std::filesystem::path& file);

// UTF-8 text as code page 932 bytes.
std::string Cp(std::string_view utf8);
// Every "\n" as "\r\n".
std::string CrLf(std::string_view text);
// `piece` `times` times over.
std::string Repeat(std::string_view piece, size_t times);
// `size` random bytes, the same for the same seed.
std::string RandomBytes(uint32_t seed, size_t size);

// This process's environment without what would let a child show a window
// (DISPLAY, WAYLAND_DISPLAY, QT_QPA_PLATFORM), ready for execve. Build it
// before fork: the child may only use it.
class HeadlessEnvironment {
public:
    HeadlessEnvironment();
    // Adds ":value" to the variable `name`, or sets it to `value`.
    void Append(std::string_view name, std::string_view value);
    char** Envp() { return envp_.data(); }

private:
    std::vector<std::string> strings_;
    std::vector<char*> envp_;
};

}  // namespace testutil
