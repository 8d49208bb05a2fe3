// Arbitrary bytes as a settings file, taken apart as the reader takes it apart.
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "settings/SettingsText.h"

namespace {

// A broken promise names its line before the fuzzer records the input.
void Check(bool ok, int line) {
    if (ok) return;
    std::fprintf(stderr, "%s:%d: check failed\n", __FILE__, line);
    std::abort();
}

// The C library's reading of a decimal number, clamped to int.
int ReferenceInt(std::string_view value) {
    const std::string s(value);
    errno = 0;
    const long long v = std::strtoll(s.c_str(), nullptr, 10);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

}  // namespace

#define Require(ok) Check((ok), __LINE__)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string_view> lines = SplitSettingsLines(file);

    size_t total = 0;
    for (std::string_view line : lines) {
        Require(line.find('\n') == std::string_view::npos);
        total += line.size() + 1;

        const auto parsed = SplitSettingsLine(line);
        if (!parsed) continue;
        const std::string_view key = parsed->key;
        const std::string_view value = parsed->value;
        Require(!key.empty() && key.front() != ' ');
        Require(key.find_first_of(":\r\n") == std::string_view::npos);
        Require(value.find_first_of("\r\n") == std::string_view::npos);
        // Both are views into the line.
        Require(key.data() >= line.data() && key.data() + key.size() <= line.data() + line.size());
        Require(value.data() >= line.data() &&
                value.data() + value.size() <= line.data() + line.size());

        LookupSettingsKey(key);
        Require(ParseSettingsInt(value) == ReferenceInt(value));

        // Whatever indexes a line gives, the writer's line for them reads back the same.
        const std::vector<int> indexes = ParseSelItems(value);
        const std::string written = ComposeSelItemsLine(indexes);
        const std::vector<std::string_view> back = SplitSettingsLines(written);
        Require(back.size() == 1);
        const auto again = SplitSettingsLine(back[0]);
        Require(again && LookupSettingsKey(again->key) == SettingsKey::SelItems);
        Require(ParseSelItems(again->value) == indexes);
    }
    // The lines cover the file: each line and its LF, the last LF optional.
    Require(total == size || total == size + 1);
    return 0;
}
