// Hints to the kernel about large buffers.
#pragma once

#include <cstddef>

namespace platform {

// Asks for huge pages in the 2 MiB-aligned part of [p, p + size): a buffer
// of many megabytes then takes a few page faults instead of thousands. Only
// a hint; nothing changes for small buffers or where the kernel declines.
void AdviseHugePages(void* p, size_t size);

}  // namespace platform
