// Whether the window can reach a display, told before Qt tries: when no
// platform that Qt tries can start, Qt ends the program with abort().
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// What the program writes instead, and the exit status that goes with it.
inline constexpr char kNoDisplayText[] =
    "quolix: cannot open the window: no display (to run without one: quolix --batch FILE.cfg)";
inline constexpr int kNoDisplayStatus = 1;

// The variables that decide where Qt puts a window.
struct DisplayEnvironment {
    std::string qpaPlatform = {};     // QT_QPA_PLATFORM
    std::string sessionType = {};     // XDG_SESSION_TYPE
    std::string currentDesktop = {};  // XDG_CURRENT_DESKTOP
    std::string sessionDesktop = {};  // XDG_SESSION_DESKTOP
    std::string display = {};         // DISPLAY
    std::string waylandDisplay = {};  // WAYLAND_DISPLAY
    std::string waylandSocket = {};   // WAYLAND_SOCKET
    std::string runtimeDir = {};      // XDG_RUNTIME_DIR

    static DisplayEnvironment OfThisProcess();
};

// The platform plugins Qt tries, in its order: QT_QPA_PLATFORM's list
// ("a;b", each name lower case without its ":options"), or else the one
// the session type points to, then X.
std::vector<std::string> PlatformsTried(const DisplayEnvironment& env);

enum class DisplayNeed { None, X11, Wayland };
// What a platform plugin needs to start. Plugins other than X and Wayland
// (offscreen, minimal, vnc, linuxfb, eglfs, ...) need no display server;
// an unknown name is left to Qt.
DisplayNeed DisplayNeeded(std::string_view platform);

// Whether an X server answers at `display` (DISPLAY's form): a connection
// with libxcb that the server accepts, as Qt's own would be.
bool XServerAnswers(const std::string& display);
// Whether a Wayland compositor listens where WAYLAND_DISPLAY points (a name
// in XDG_RUNTIME_DIR, or an absolute path), or has handed over a connection
// in WAYLAND_SOCKET. Without WAYLAND_DISPLAY there is none to reach.
bool WaylandCompositorListens(const DisplayEnvironment& env);

struct DisplayProbes {
    std::function<bool(const std::string& display)> x11 = XServerAnswers;
    std::function<bool(const DisplayEnvironment& env)> wayland = WaylandCompositorListens;
};

// Whether some platform that Qt tries can start: one that needs no display
// server, or one whose server answers.
bool WindowCanReachDisplay(const DisplayEnvironment& env, const DisplayProbes& probes = {});
