#include "platform/Memory.h"

#ifdef _WIN32
#include <malloc.h>
#else
#include <sys/mman.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace platform {

void* AllocateAligned(size_t alignment, size_t size) {
#ifdef _WIN32
    return _aligned_malloc(size, alignment);
#else
    return std::aligned_alloc(alignment, size);
#endif
}

void FreeAligned(void* p) {
#ifdef _WIN32
    _aligned_free(p);
#else
    std::free(p);
#endif
}

void AdviseHugePages(void* p, size_t size) {
#ifdef MADV_HUGEPAGE
    constexpr uintptr_t kHuge = uintptr_t{2} << 20;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(p) + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(p) + size) & ~(kHuge - 1);
    if (p && end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)p;
    (void)size;
#endif
}

bool ByteBuffer::Resize(size_t size) {
    if (size >= SIZE_MAX / 2) return false;
    if (size + 1 > capacity_) {
        // malloc and realloc report failure; operator new would throw, or
        // end the program under a sanitizer.
        char* grown = static_cast<char*>(std::realloc(data_.get(), size + 1));
        if (!grown) return false;
        (void)data_.release();
        data_.reset(grown);
        capacity_ = size + 1;
        AdviseHugePages(grown, capacity_);
    }
    size_ = size;
    data_.get()[size_] = '\0';
    return true;
}

void ByteBuffer::Shrink(size_t size) {
    if (size >= size_) return;
    size_ = size;
    Data()[size_] = '\0';
}

void ByteBuffer::DropFront(size_t count) {
    count = std::min(count, size_);
    if (count == 0) return;
    std::memmove(Data(), Data() + count, size_ - count);
    Shrink(size_ - count);
}

bool ByteBuffer::Assign(std::string_view bytes) {
    if (!Resize(bytes.size())) return false;
    if (!bytes.empty()) std::memcpy(Data(), bytes.data(), bytes.size());
    return true;
}

}  // namespace platform
