// Running the program as a user runs it: a child process with its own
// streams, limits and terminal (POSIX).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utmp.h>

#include <cerrno>
#include <cstring>

#include "TestUtil.h"

extern char** environ;

namespace testutil {

std::string RunResult::LastErrLine() const {
    const std::vector<std::string> lines = ErrLines();
    return lines.empty() ? std::string() : lines.back();
}

bool RunResult::ErrHasLine(std::string_view line) const {
    for (const std::string& l : ErrLines())
        if (l == line) return true;
    return false;
}

namespace {

#ifdef QUOLIX_EXE
const char* const kProgram = QUOLIX_EXE;
#else
const char* const kProgram = nullptr;  // the core tests build no program
#endif

// This process's environment without what would let a child show a window
// (DISPLAY, WAYLAND_DISPLAY, QT_QPA_PLATFORM), ready for execve. Built
// before fork: the child may only use it.
class HeadlessEnvironment {
  public:
    HeadlessEnvironment() {
        for (char** e = environ; *e; ++e) {
            const std::string entry(*e);
            if (entry.starts_with("DISPLAY=") || entry.starts_with("WAYLAND_DISPLAY=") ||
                entry.starts_with("QT_QPA_PLATFORM="))
                continue;
            strings_.push_back(entry);
        }
    }
    // Adds ":value" to the variable `name`, or sets it to `value`.
    void Append(std::string_view name, std::string_view value) {
        const std::string key = std::string(name) + "=";
        for (std::string& e : strings_) {
            if (!e.starts_with(key)) continue;
            e += (e.size() > key.size() ? ":" : "") + std::string(value);
            return;
        }
        strings_.push_back(key + std::string(value));
    }
    // Sets "NAME=value", replacing NAME's value if it has one.
    void Set(std::string_view entry) {
        const std::string key(entry.substr(0, entry.find('=') + 1));
        for (std::string& e : strings_) {
            if (!e.starts_with(key)) continue;
            e = entry;
            return;
        }
        strings_.emplace_back(entry);
    }
    std::vector<char*> Envp() {
        std::vector<char*> envp;
        for (std::string& e : strings_) envp.push_back(e.data());
        envp.push_back(nullptr);
        return envp;
    }

  private:
    std::vector<std::string> strings_;
};

void SetLimit(int resource, long bytes) {
    const rlimit limit{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
    if (setrlimit(resource, &limit) != 0) _exit(127);
}

// Everything the child needs, made before fork: after it, the child may
// only make async-signal-safe calls.
class ChildPlan {
  public:
    explicit ChildPlan(const Launch& launch) : launch_(launch), cwd_(launch.folder.string()) {
        args_.push_back(kProgram);
        args_.insert(args_.end(), launch.arguments.begin(), launch.arguments.end());
        for (std::string& a : args_) argv_.push_back(a.data());
        argv_.push_back(nullptr);
        if (launch.memoryLimit > 0 && kUnderAddressSanitizer)
            environment_.Append(
                "ASAN_OPTIONS",
                "allocator_may_return_null=1:log_path=stderr:max_allocation_size_mb=" +
                    std::to_string(launch.memoryLimit >> 20));
        for (const std::string& entry : launch.environment) environment_.Set(entry);
        envp_ = environment_.Envp();
        sigemptyset(&noSignals_);
        defaultAction_.sa_handler = SIG_DFL;
        ignore_.sa_handler = SIG_IGN;
    }

    // The child's standard input, output and error: a terminal, or
    // /dev/null and the two pipes' write ends.
    int terminal = -1;
    int out = -1, err = -1;

    [[noreturn]] void Exec() const {
        // What the program does with SIGPIPE is its own doing, not inherited
        // from the tests.
        sigaction(SIGPIPE, &defaultAction_, nullptr);
        sigprocmask(SIG_SETMASK, &noSignals_, nullptr);
        if (launch_.terminal) {
            if (login_tty(terminal) != 0) _exit(127);
        } else {
            const int devNull = open("/dev/null", O_RDONLY);
            if (devNull < 0 || dup2(devNull, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0)
                _exit(127);
        }
        if (chdir(cwd_.c_str()) != 0) _exit(127);
        if (launch_.fileSizeLimit > 0) {
            sigaction(SIGXFSZ, &ignore_, nullptr);
            SetLimit(RLIMIT_FSIZE, launch_.fileSizeLimit);
        }
        if (launch_.memoryLimit > 0 && !kUnderAddressSanitizer)
            SetLimit(RLIMIT_AS, launch_.memoryLimit);
        execve(argv_[0], argv_.data(), envp_.data());
        _exit(127);
    }

  private:
    const Launch& launch_;
    const std::string cwd_;
    std::vector<std::string> args_;
    std::vector<char*> argv_;
    HeadlessEnvironment environment_;
    std::vector<char*> envp_;
    sigset_t noSignals_;
    struct sigaction defaultAction_ {};
    struct sigaction ignore_ {};
};

}  // namespace

Quolix::Quolix(const Launch& launch)
    : deadline_(std::chrono::steady_clock::now() + std::chrono::seconds(kHangSeconds)) {
    if (!kProgram) {
        ADD_FAILURE() << "this test program is built without quolix";
        return;
    }
    ChildPlan child(launch);
    if (!OpenStreams(launch, child.terminal, child.out, child.err)) return;
    pid_ = fork();
    if (pid_ == 0) child.Exec();
    for (int fd : {child.terminal, child.out, child.err})
        if (fd >= 0) close(fd);
    if (pid_ < 0) {
        ADD_FAILURE() << "fork: " << std::strerror(errno);
        for (int& fd : fds_) {
            if (fd >= 0) close(fd);
            fd = -1;
        }
    }
}

bool Quolix::OpenStreams(const Launch& launch, int& terminal, int& out, int& err) {
    if (launch.terminal) {
        if (openpty(&fds_[1], &terminal, nullptr, nullptr, nullptr) != 0) {
            ADD_FAILURE() << "openpty: " << std::strerror(errno);
            return false;
        }
        fcntl(fds_[1], F_SETFD, FD_CLOEXEC);
        return true;
    }
    int outPipe[2] = {-1, -1}, errPipe[2] = {-1, -1};
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        for (int fd : outPipe)
            if (fd >= 0) close(fd);
        return false;
    }
    fds_[0] = outPipe[0];
    out = outPipe[1];
    err = errPipe[1];
    if (launch.errorsUnread)
        close(errPipe[0]);
    else
        fds_[1] = errPipe[0];
    return true;
}

Quolix::~Quolix() {
    if (pid_ <= 0) return;
    Kill();
    while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
}

void Quolix::Kill() {
    kill(pid_, SIGKILL);
    killed_ = true;
    for (int& fd : fds_) {
        if (fd >= 0) close(fd);
        fd = -1;
    }
}

void Quolix::Pump(const std::function<bool()>& enough) {
    std::string* sinks[2] = {&result_.out, &result_.err};
    while ((fds_[0] >= 0 || fds_[1] >= 0) && !enough()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline_ - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            Kill();
            return;
        }
        pollfd polled[2] = {{fds_[0], POLLIN, 0}, {fds_[1], POLLIN, 0}};
        const int ready = poll(polled, 2, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) {
            ADD_FAILURE() << "poll: " << std::strerror(errno);
            Kill();
            return;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds_[i] < 0 || polled[i].revents == 0) continue;
            char buffer[65536];
            const ssize_t n = read(fds_[i], buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                // The end, or EIO once a terminal's last user has gone.
                close(fds_[i]);
                fds_[i] = -1;
            }
        }
    }
}

const std::string& Quolix::ReadErrLine() {
    Pump([this] { return result_.err.find('\n') != std::string::npos; });
    return result_.err;
}

RunResult Quolix::Finish() {
    if (pid_ <= 0) return result_;
    Pump([] { return false; });
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    result_.finished = !killed_;
    if (WIFEXITED(status)) result_.exitStatus = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result_.signal = WTERMSIG(status);
    if (killed_)
        ADD_FAILURE() << "quolix did not finish in " << kHangSeconds << " s and was killed";
    return result_;
}

RunResult RunQuolix(const Launch& launch) {
    return Quolix(launch).Finish();
}

}  // namespace testutil
