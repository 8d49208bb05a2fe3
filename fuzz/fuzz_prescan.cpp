// Arbitrary bytes as the start of a template: the declaration found in them.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "Require.h"
#include "platform/CharsetPrescan.h"
#include "platform/TextEncoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string_view found = platform::PrescanCharset(bytes);

    // A canonical name, never one that a browser would not decode a page in.
    Require(found.empty() || platform::EncodingOfLabel(found) == found);
    Require(found != "UTF-16BE" && found != "UTF-16LE" && found != "x-user-defined");

    // An answer ends at a meta tag's ">": the bytes after it cannot change it.
    for (size_t n = 1; n <= size && n <= platform::kPrescanBytes; ++n) {
        if (bytes[n - 1] != '>') continue;
        const std::string_view early = platform::PrescanCharset(bytes.substr(0, n));
        Require(early.empty() || early == found);
    }

    // The template's detection agrees, when no byte order mark decides first.
    const platform::DetectedText detected =
        platform::DetectEncoding(bytes, platform::TextKind::kTemplate);
    if (detected.bomLength == 0 && !detected.utf16) {
        const bool read = platform::ReadableEncoding(found).has_value();
        Require(detected.declared == read);
        Require(detected.unreadCharset == (read ? std::string_view() : found));
    }
    return 0;
}
