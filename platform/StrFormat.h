// printf into a std::string.
#pragma once

#include <string>

namespace platform {

std::string StrFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace platform
