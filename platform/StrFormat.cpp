#include "platform/StrFormat.h"

#include <charconv>
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

void AppendPaddedInt(std::string& out, int value, int width) {
    char digits[16];
    const long long magnitude = value < 0 ? -static_cast<long long>(value) : value;
    char* end = std::to_chars(digits, digits + sizeof digits, magnitude).ptr;
    const size_t count = static_cast<size_t>(end - digits) + (value < 0 ? 1 : 0);
    if (width >= 0) {
        if (value < 0) out.push_back('-');
        if (static_cast<size_t>(width) > count) out.append(static_cast<size_t>(width) - count, '0');
        out.append(digits, static_cast<size_t>(end - digits));
    } else {
        if (value < 0) out.push_back('-');
        out.append(digits, static_cast<size_t>(end - digits));
        const long long field = -static_cast<long long>(width);
        if (static_cast<size_t>(field) > count) out.append(static_cast<size_t>(field) - count, ' ');
    }
}

}  // namespace platform
