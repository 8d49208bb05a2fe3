#include "platform/StrFormat.h"

#include <cstdarg>
#include <cstdio>

namespace platform {

std::string StrFormat(const char* format, ...) {
    char small[256];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (n < 0) return {};
    if (static_cast<size_t>(n) < sizeof small) return std::string(small, n);
    std::string out(static_cast<size_t>(n) + 1, '\0');
    va_start(args, format);
    std::vsnprintf(out.data(), out.size(), format, args);
    va_end(args);
    out.resize(n);
    return out;
}

}  // namespace platform
