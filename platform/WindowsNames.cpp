#include <array>
#include <cctype>

#include "platform/OutputFolder.h"

namespace platform {
namespace {

// One name between slashes.
bool ForbiddenComponent(std::string_view c) {
    if (c.empty()) return false;
    for (const char ch : c)
        if (static_cast<unsigned char>(ch) < 0x20 || std::string_view("\\:*?\"<>|").find(ch) != std::string_view::npos)
            return true;
    if (c.back() == '.' || c.back() == ' ') return true;
    // A device, whatever follows its name's first dot.
    std::string stem(c.substr(0, c.find('.')));
    for (char& ch : stem) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    static constexpr std::array<std::string_view, 4> kDevices = {"CON", "PRN", "AUX", "NUL"};
    for (std::string_view device : kDevices)
        if (stem == device) return true;
    return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) && stem[3] >= '1' &&
           stem[3] <= '9';
}

}  // namespace

bool IsWindowsForbiddenName(std::string_view name) {
    for (size_t start = 0; start <= name.size();) {
        size_t slash = name.find('/', start);
        if (slash == std::string_view::npos) slash = name.size();
        if (ForbiddenComponent(name.substr(start, slash - start))) return true;
        start = slash + 1;
    }
    return false;
}

}  // namespace platform
