// Arbitrary bytes as a settings file, taken apart and read as the reader reads it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "Require.h"
#include "settings/SettingsReader.h"
#include "settings/SettingsText.h"

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
    }
    // Whatever a file holds, the job read from it reads back the same once
    // written, every line used.
    SettingsRead read = ReadSettingsText(file);
    TakeAgainstTable(read, 5, 40);
    const std::string written = ComposeSettingsHead(read.job) + ComposeSelItemsLine(read.job.selection);
    SettingsRead again = ReadSettingsText(written);
    TakeAgainstTable(again, 5, 40);
    Require(again.unused.empty());
    Require(again.job == read.job);
    // The lines cover the file: each line and its LF, the last LF optional.
    Require(total == size || total == size + 1);
    return 0;
}
