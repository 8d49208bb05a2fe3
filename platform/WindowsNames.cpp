#include <array>
#include <cctype>

#include "platform/OutputFolder.h"

namespace platform {
namespace {

// One name between slashes.
bool ForbiddenComponent(std::string_view c) {
    if (c.empty() || c == "." || c == "..") return false;  // the folder itself, the one above
    for (const char ch : c)
        if (static_cast<unsigned char>(ch) < 0x20 || std::string_view("\\:*?\"<>|").find(ch) != std::string_view::npos)
            return true;
    if (c.back() == '.' || c.back() == ' ') return true;
    // A device, whatever follows its name's first dot (spaces before it
    // taken off).
    std::string stem(c.substr(0, c.find('.')));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (char& ch : stem) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    static constexpr std::array<std::string_view, 6> kDevices = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (std::string_view device : kDevices)
        if (stem == device) return true;
    if (!stem.starts_with("COM") && !stem.starts_with("LPT")) return false;
    // COM1 to COM9, and COM¹, COM², COM³ (likewise LPT).
    const std::string_view number = std::string_view(stem).substr(3);
    return (number.size() == 1 && number[0] >= '1' && number[0] <= '9') || number == "\u00B9" ||
           number == "\u00B2" || number == "\u00B3";
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
