// printf into a std::string.
#pragma once

#include <string>

namespace platform {

std::string StrFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Appends what printf("%0*d", width, value) prints, without printf: zeros
// after the sign up to `width` characters; a negative width pads with
// blanks on the right instead.
void AppendPaddedInt(std::string& out, int value, int width);

}  // namespace platform
