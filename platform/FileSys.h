// Files and folders named by code page 932 paths. Paths are converted to the
// file system's UTF-8 here and nowhere else.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

struct FileCloser {
    void operator()(FILE* f) const noexcept {
        if (f) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// fopen by a code page 932 path. Modes are the C library's; "b" makes no
// difference on this platform.
FilePtr OpenFile(std::string_view cpPath, const char* mode);

// Closes the file and tells whether everything written to it reached the
// file: no earlier write error and a successful close.
bool CloseChecked(FilePtr& file);

// Whether the path names an existing folder that can be entered. The
// current directory is left alone.
bool IsFolder(std::string_view cpPath);

// folder + "/" + name.
std::string JoinPath(std::string_view folder, std::string_view name);

// Whole file read into memory; false when it cannot be opened or read.
bool ReadWholeFile(std::string_view cpPath, std::string& bytes);

}  // namespace platform
