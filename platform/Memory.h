// Large buffers: allocation that reports failure instead of throwing, and
// hints to the kernel.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <utility>

namespace platform {

// Asks for huge pages in the 2 MiB-aligned part of [p, p + size): a buffer
// of many megabytes then takes a few page faults instead of thousands. Only
// a hint; nothing changes for small buffers or where the kernel declines.
void AdviseHugePages(void* p, size_t size);

// `size` bytes aligned to `alignment` (a power of two that divides size);
// null when they cannot be had. Given back with FreeAligned.
void* AllocateAligned(size_t alignment, size_t size);
void FreeAligned(void* p);

// Bytes of a file read whole, with a NUL after them. Growing it never
// throws: a file larger than the memory to be had is a failure the caller
// reports, not the end of the program.
class ByteBuffer {
public:
    ByteBuffer() = default;
    ByteBuffer(ByteBuffer&& other) noexcept { *this = std::move(other); }
    ByteBuffer& operator=(ByteBuffer&& other) noexcept {
        data_ = std::move(other.data_);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
        return *this;
    }

    // Room for `size` bytes and the NUL after them; the first
    // min(old size, size) bytes are kept, the rest are unset. False when the
    // memory cannot be had; the buffer is then unchanged.
    bool Resize(size_t size);
    // Ends the bytes at `size` (no larger than the size now), without
    // giving memory back.
    void Shrink(size_t size);
    // Drops the first `count` bytes (all of them when there are fewer).
    void DropFront(size_t count);
    bool Assign(std::string_view bytes);

    char* Data() { return data_ ? data_.get() : empty_; }
    const char* Data() const { return data_ ? data_.get() : empty_; }
    size_t Size() const { return size_; }
    std::string_view View() const { return {Data(), size_}; }

private:
    struct Free {
        void operator()(char* p) const noexcept { std::free(p); }
    };
    std::unique_ptr<char, Free> data_;
    size_t size_ = 0;
    size_t capacity_ = 0;
    char empty_[1] = {'\0'};
};

}  // namespace platform
