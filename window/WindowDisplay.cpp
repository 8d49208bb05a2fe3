#include "window/WindowDisplay.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

// The names in a list such as "wayland;xcb:option=1", as Qt reads it.
std::vector<std::string> PlatformNames(std::string_view list) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(';', start);
        if (end == std::string_view::npos) end = list.size();
        const std::string_view entry = list.substr(start, end - start);
        const std::string name = Lower(entry.substr(0, entry.find(':')));
        if (!name.empty()) names.push_back(name);
        start = end + 1;
    }
    return names;
}

}  // namespace

DisplayEnvironment DisplayEnvironment::OfThisProcess() {
    return {
        .qpaPlatform = Variable("QT_QPA_PLATFORM"),
        .sessionType = Variable("XDG_SESSION_TYPE"),
        .currentDesktop = Variable("XDG_CURRENT_DESKTOP"),
        .sessionDesktop = Variable("XDG_SESSION_DESKTOP"),
        .display = Variable("DISPLAY"),
        .waylandDisplay = Variable("WAYLAND_DISPLAY"),
        .waylandSocket = Variable("WAYLAND_SOCKET"),
        .runtimeDir = Variable("XDG_RUNTIME_DIR"),
    };
}

std::vector<std::string> PlatformsTried(const DisplayEnvironment& env) {
    if (!env.qpaPlatform.empty()) return PlatformNames(env.qpaPlatform);
    // Qt takes a Wayland session at its word, except on GNOME, where it
    // stays with X. X comes after Wayland: later Qt versions fall back to it,
    // and a window refused although Qt would have opened it is the worse
    // mistake.
    const bool gnome = Lower(env.currentDesktop).find("gnome") != std::string::npos ||
                       Lower(env.sessionDesktop).find("gnome") != std::string::npos;
    if (env.sessionType == "wayland" && !gnome) return {"wayland", "xcb"};
    return {"xcb"};
}

DisplayNeed DisplayNeeded(std::string_view platform) {
    if (platform == "xcb") return DisplayNeed::X11;
    if (platform.starts_with("wayland")) return DisplayNeed::Wayland;
    return DisplayNeed::None;
}

bool XServerAnswers(const std::string& display) {
    if (display.empty()) return false;
    xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
    const bool answers = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return answers;
}

bool WaylandCompositorListens(const DisplayEnvironment& env) {
    if (!env.waylandSocket.empty()) return true;
    if (env.waylandDisplay.empty()) return false;
    std::string path = env.waylandDisplay;
    if (!path.starts_with('/')) {
        if (env.runtimeDir.empty()) return false;
        path = env.runtimeDir + "/" + path;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool listens =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return listens;
}

bool WindowCanReachDisplay(const DisplayEnvironment& env, const DisplayProbes& probes) {
    for (const std::string& platform : PlatformsTried(env)) {
        switch (DisplayNeeded(platform)) {
            case DisplayNeed::None:
                return true;
            case DisplayNeed::X11:
                if (probes.x11(env.display)) return true;
                break;
            case DisplayNeed::Wayland:
                if (probes.wayland(env)) return true;
                break;
        }
    }
    return false;
}
