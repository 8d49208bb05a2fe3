#include "platform/OutputFile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "platform/CodePage.h"

namespace platform {

OutputFile::~OutputFile() {
    if (IsOpen()) Close();
}

bool OutputFile::Create(std::string_view cpPath) {
    if (IsOpen()) Close();
    text_.clear();
    failed_ = false;
    if (cpPath.empty()) return false;
    const std::string native = Cp932ToUtf8(cpPath);
    do {
        fd_ = ::open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (fd_ < 0 && errno == EINTR);
    return fd_ >= 0;
}

void OutputFile::Flush() {
    const char* p = text_.data();
    size_t left = text_.size();
    while (left > 0 && !failed_) {
        const ssize_t n = ::write(fd_, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failed_ = true;  // the rest is lost, as a stream would lose it
        } else {
            p += n;
            left -= static_cast<size_t>(n);
        }
    }
    text_.clear();
}

bool OutputFile::Close() {
    if (!IsOpen()) {
        text_.clear();
        return false;
    }
    Flush();
    // No retry on EINTR: the descriptor is released either way on Linux.
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    return closed && !failed_;
}

}  // namespace platform
