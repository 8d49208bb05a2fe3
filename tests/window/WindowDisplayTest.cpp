// The window without a display: which platforms Qt would try, whether their
// display answers, and what `quolix` says and returns when none does.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "window/WindowDisplay.h"

namespace {

namespace fs = std::filesystem;
using testutil::RunQuolix;
using testutil::RunResult;
using testutil::TempDir;
using testutil::WriteBytes;

// ------------------------------------------------------------ the decision

TEST(WindowDisplay, PlatformsQtTries) {
    struct Case {
        const char* name;
        DisplayEnvironment env;
        std::vector<std::string> tried;
    };
    const Case cases[] = {
        {"nothing set", {}, {"xcb"}},
        {"X session", {.sessionType = "x11"}, {"xcb"}},
        {"Wayland session", {.sessionType = "wayland"}, {"wayland", "xcb"}},
        {"Wayland session on GNOME",
         {.sessionType = "wayland", .currentDesktop = "ubuntu:GNOME"},
         {"xcb"}},
        {"GNOME by its session desktop",
         {.sessionType = "wayland", .sessionDesktop = "gnome"},
         {"xcb"}},
        {"a console session", {.sessionType = "tty"}, {"xcb"}},
        {"QT_QPA_PLATFORM wins",
         {.qpaPlatform = "offscreen", .sessionType = "wayland"},
         {"offscreen"}},
        {"a list with options",
         {.qpaPlatform = "Wayland-EGL:option;;xcb:foo=1"},
         {"wayland-egl", "xcb"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PlatformsTried(c.env), c.tried);
    }
}

// Which servers are asked, and the answer, for servers that answer or not.
TEST(WindowDisplay, ReachedWhenSomePlatformCanStart) {
    struct Case {
        const char* name;
        DisplayEnvironment env;
        bool xAnswers, waylandAnswers;
        bool reached;
        std::vector<std::string> asked;  // in order
    };
    const Case cases[] = {
        {"no display at all", {}, false, false, false, {"x:"}},
        {"X answers", {.display = ":0"}, true, false, true, {"x::0"}},
        {"a stale X display", {.display = ":99"}, false, false, false, {"x::99"}},
        {"offscreen needs none", {.qpaPlatform = "offscreen"}, false, false, true, {}},
        {"minimal needs none", {.qpaPlatform = "minimal"}, false, false, true, {}},
        {"X first, then offscreen", {.qpaPlatform = "xcb;offscreen"}, false, false, true, {"x:"}},
        {"an unknown platform is Qt's to judge", {.qpaPlatform = "other"}, false, false, true, {}},
        {"Wayland answers",
         {.sessionType = "wayland", .waylandDisplay = "wayland-0"},
         false,
         true,
         true,
         {"wayland:wayland-0"}},
        {"Wayland silent, X answers",
         {.sessionType = "wayland", .display = ":1", .waylandDisplay = "wayland-0"},
         true,
         false,
         true,
         {"wayland:wayland-0", "x::1"}},
        {"Wayland asked for, silent",
         {.qpaPlatform = "wayland", .display = ":1"},
         true,
         false,
         false,
         {"wayland:"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> asked;
        DisplayProbes probes;
        probes.x11 = [&](const std::string& display) {
            asked.push_back("x:" + display);
            return c.xAnswers;
        };
        probes.wayland = [&](const DisplayEnvironment& env) {
            asked.push_back("wayland:" + env.waylandDisplay);
            return c.waylandAnswers;
        };
        EXPECT_EQ(WindowCanReachDisplay(c.env, probes), c.reached);
        EXPECT_EQ(asked, c.asked);
    }
}

// ------------------------------------------------------------ the probes

// A Unix socket that listens at `path` while the object lives.
class Listener {
  public:
    explicit Listener(const std::string& path) : fd_(::socket(AF_UNIX, SOCK_STREAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        ok_ = fd_ >= 0 &&
              ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
              ::listen(fd_, 4) == 0;
    }
    ~Listener() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool Ok() const { return ok_; }

  private:
    int fd_;
    bool ok_ = false;
};

TEST(WindowDisplay, WaylandProbeConnectsToTheSocket) {
    TempDir runtime;
    const std::string dir = runtime.Path().string();
    Listener compositor(dir + "/wayland-7");
    ASSERT_TRUE(compositor.Ok());
    fs::create_directory(runtime.Path() / "folder");
    WriteBytes(runtime.Path() / "plain", "");
    struct Case {
        const char* name;
        DisplayEnvironment env;
        bool listens;
    };
    const Case cases[] = {
        {"a name in the runtime folder", {.waylandDisplay = "wayland-7", .runtimeDir = dir}, true},
        {"an absolute path", {.waylandDisplay = dir + "/wayland-7"}, true},
        {"nothing there", {.waylandDisplay = "wayland-8", .runtimeDir = dir}, false},
        {"a folder", {.waylandDisplay = "folder", .runtimeDir = dir}, false},
        {"a plain file", {.waylandDisplay = "plain", .runtimeDir = dir}, false},
        {"no runtime folder", {.waylandDisplay = "wayland-7"}, false},
        {"no WAYLAND_DISPLAY", {.runtimeDir = dir}, false},
        {"a connection handed over", {.waylandSocket = "5"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(WaylandCompositorListens(c.env), c.listens);
    }
}

// An X display number with no server: no socket, no lock file.
std::string FreeXDisplay() {
    for (int n = 99; n < 400; ++n) {
        const std::string number = std::to_string(n);
        if (!fs::exists("/tmp/.X11-unix/X" + number) && !fs::exists("/tmp/.X" + number + "-lock"))
            return ":" + number;
    }
    return "";
}

// ------------------------------------------------------------ the program

TEST(WindowWithoutDisplay, ProgramSaysSoAndEnds) {
    TempDir dir;
    const std::string cfg = dir.File("site.cfg");
    WriteBytes(cfg, "HTML:t.html\r\n");
    const std::string stale = FreeXDisplay();
    ASSERT_FALSE(stale.empty());
    struct Case {
        const char* name;
        std::vector<std::string> environment;
        std::vector<std::string> arguments;
    };
    const Case cases[] = {
        {"no display", {}, {}},
        {"no display, a settings file named", {}, {cfg}},
        {"DISPLAY naming no server", {"DISPLAY=" + stale}, {}},
        {"DISPLAY naming no server, a settings file named", {"DISPLAY=" + stale}, {cfg}},
        {"X asked for, no DISPLAY", {"QT_QPA_PLATFORM=xcb"}, {}},
        {"Wayland asked for, no WAYLAND_DISPLAY", {"QT_QPA_PLATFORM=wayland"}, {}},
        {"a Wayland session without its socket",
         {"XDG_SESSION_TYPE=wayland", "WAYLAND_DISPLAY=wayland-none",
          "XDG_RUNTIME_DIR=" + dir.Path().string()},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RunResult r = RunQuolix(
            {.folder = dir.Path(), .arguments = c.arguments, .environment = c.environment});
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.signal, 0);
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_EQ(r.err,
                  "quolix: cannot open the window: no display "
                  "(to run without one: quolix --batch FILE.cfg)\n");
        EXPECT_EQ(r.out, "");
    }
}

}  // namespace
