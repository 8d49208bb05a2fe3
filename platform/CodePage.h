// Conversion between code page 932 (the program's own text) and UTF-8 (the
// operating system's and the toolkit's text). The only place that knows both.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Code page 932 bytes to UTF-8. A byte sequence that has no Unicode form
// becomes "?", as Windows does.
std::string Cp932ToUtf8(std::string_view cp932);

// UTF-8 to code page 932 bytes. A character that code page 932 cannot hold,
// or a malformed UTF-8 sequence, becomes "?".
std::string Utf8ToCp932(std::string_view utf8);

}  // namespace platform
