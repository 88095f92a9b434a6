// The watcher's loop (see idle_watcher.h): one poll over the termination signals, the bus, the
// display and the saver child, with the idle timer as its deadline.
#include "platform/idle/idle_watcher.h"

#include "platform/idle/idle_sources.h"
#include "platform/posix/posix_files.h"
#include "platform/posix/posix_signals.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace lumivex {

namespace {

using Clock = std::chrono::steady_clock;

// How long a saver has to end after SIGTERM before it is killed.
constexpr auto SaverEndTime = std::chrono::seconds(10);
// Without a process descriptor (Linux before 5.3) the child is looked at this often.
constexpr int ReapInterval = 1000;

pid_t saverPid = -1; // the running saver, for EndWatcher too

// The session, as far as one watcher goes: the display it watches (a user's bus may serve several
// displays, and a display without a bus is a session too). The lock lives in the user's runtime
// folder, which is the machine's own, else in the saver guard's fallback folder.
std::string SessionLockFile() {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* x11 = std::getenv("DISPLAY");
    std::string display = wayland != nullptr && *wayland != '\0' ? wayland
                          : x11 != nullptr && *x11 != '\0'       ? x11
                                                                 : "bus";
    // ":0.0" is the display ":0"; a path of a Wayland socket is its name.
    if (const std::size_t colon = display.rfind(':'); colon != std::string::npos)
        display.resize(std::min(display.size(), display.find('.', colon)));
    std::replace(display.begin(), display.end(), '/', '_');
    return "idle-" + display + ".lock";
}

// Ends the saver child: SIGTERM, then SIGKILL when it has not ended in time.
void StopSaver() {
    if (saverPid <= 0)
        return;
    kill(saverPid, SIGTERM);
    const Clock::time_point deadline = Clock::now() + SaverEndTime;
    int status = 0;
    while (waitpid(saverPid, &status, WNOHANG) == 0) {
        if (Clock::now() >= deadline) {
            kill(saverPid, SIGKILL);
            waitpid(saverPid, &status, 0);
            break;
        }
        usleep(20000);
    }
    saverPid = -1;
}

// A saver that did not end well says so, once.
void TellEnd(int status) {
    if (WIFSIGNALED(status))
        std::fprintf(stderr, "lumivex-gl: the saver was ended by signal %d (%s)\n",
                     WTERMSIG(status), strsignal(WTERMSIG(status)));
    else if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
        std::fprintf(stderr, "lumivex-gl: the saver ended with status %d\n", WEXITSTATUS(status));
}

class Watcher final : public IdleSink {
  public:
    Watcher(int seconds, const char* program) : seconds_(seconds), program_(program) {}
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;
    ~Watcher() { StopSaver(); }

    int Run() {
        bool heldElsewhere = false;
        const std::string lockFile = SessionLockFile();
        const FileDescriptor lock(LockInPrivateFolders(lockFile, heldElsewhere));
        if (heldElsewhere) {
            std::fprintf(stderr, "lumivex-gl: an idle watcher runs already in this session (%s)\n",
                         lockFile.c_str());
            return 0;
        }
        const unsigned milliseconds = unsigned(seconds_) * 1000U;
        std::string problem;
        bus_ = IdleBus::Connect(problem);
        std::string problems = bus_ ? "; no GNOME idle monitor on the session bus" : "; " + problem;
        std::string source;
        if (bus_ && bus_->WatchMutter(milliseconds, *this))
            source = "GNOME's idle monitor";
        if (source.empty() && !(display_ = WatchWayland(milliseconds, *this, source, problem)))
            problems += "; " + problem;
        if (source.empty() && !(display_ = WatchX11(milliseconds, *this, source, problem)))
            problems += "; " + problem;
        if (source.empty()) {
            std::fprintf(stderr, "lumivex-gl: nothing tells this session's idleness%s\n",
                         problems.c_str());
            return 1;
        }
        const bool serving = bus_ && bus_->ServeScreenSaver(*this);
        std::fprintf(stderr, "lumivex-gl: watching %s for %d s of idleness%s\n", source.c_str(),
                     seconds_, serving ? "; serving org.freedesktop.ScreenSaver" : "");
        return Loop();
    }

    void OnIdle() override { Apply(decisions_.On(IdleEvent::Idle)); }
    void OnActive() override { Apply(decisions_.On(IdleEvent::Active)); }
    void OnInhibited(bool inhibited) override {
        Apply(decisions_.On(inhibited ? IdleEvent::Inhibited : IdleEvent::Uninhibited));
    }

  private:
    int Loop() {
        for (;;) {
            std::vector<pollfd> fds{{TerminationPipe(), POLLIN, 0}};
            int timeout = -1;
            if (timer_) {
                const auto left =
                    std::chrono::ceil<std::chrono::milliseconds>(*timer_ - Clock::now());
                timeout = static_cast<int>(std::max<std::int64_t>(left.count(), 0));
            }
            IdleConnection* connections[] = {bus_.get(), display_.get()};
            for (IdleConnection* connection : connections)
                if (connection != nullptr)
                    fds.push_back(connection->Prepare(timeout));
            if (saverPid > 0) {
                fds.push_back({saverFd_.Get(), POLLIN, 0});
                if (!saverFd_.Valid())
                    timeout = timeout < 0 ? ReapInterval : std::min(timeout, ReapInterval);
            }
            if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) {
                std::fprintf(stderr, "lumivex-gl: poll failed (%s)\n", std::strerror(errno));
                return 1;
            }
            if (TerminationRequested())
                return 0;
            DrainTerminationPipe();
            std::size_t next = 1;
            std::string lost;
            for (IdleConnection* connection : connections) {
                if (connection == nullptr)
                    continue;
                if (!connection->Dispatch(fds[next++].revents, lost)) {
                    StopSaver();
                    std::fprintf(stderr, "lumivex-gl: %s\n", lost.c_str());
                    return 1;
                }
            }
            Reap();
            if (timer_ && Clock::now() >= *timer_)
                Apply(decisions_.On(IdleEvent::TimerFired));
        }
    }

    // A byte from a signal meant for the child between its fork and its exec.
    static void DrainTerminationPipe() {
        char bytes[16];
        while (TerminationPipe() >= 0 && read(TerminationPipe(), bytes, sizeof bytes) > 0) {
        }
    }

    void Apply(const IdleStep& step) {
        if (step.CancelTimer)
            timer_.reset();
        if (step.ArmTimer)
            timer_ = Clock::now() + std::chrono::seconds(seconds_);
        if (step.StartSaver && !Start())
            Apply(decisions_.On(IdleEvent::SaverEnded));
    }

    // The saver: this program, run as /s, in a child that ends with the watcher.
    bool Start() {
        std::fflush(nullptr);
        const pid_t watcher = getpid();
        const pid_t pid = fork();
        if (pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (getppid() != watcher)
                _exit(0);
            char slash[] = "/s";
            std::string name = program_;
            char* const arguments[] = {name.data(), slash, nullptr};
            execv("/proc/self/exe", arguments);
            std::fprintf(stderr, "lumivex-gl: cannot run the saver (%s)\n", std::strerror(errno));
            _exit(127);
        }
        if (pid < 0) {
            std::fprintf(stderr, "lumivex-gl: cannot start the saver (%s)\n", std::strerror(errno));
            return false;
        }
        saverPid = pid;
        saverFd_.Reset(static_cast<int>(syscall(SYS_pidfd_open, pid, 0)));
        return true;
    }

    void Reap() {
        int status = 0;
        if (saverPid <= 0 || waitpid(saverPid, &status, WNOHANG) != saverPid)
            return;
        saverPid = -1;
        saverFd_.Reset();
        TellEnd(status);
        Apply(decisions_.On(IdleEvent::SaverEnded));
    }

    int seconds_;
    std::string program_;
    IdleDecisions decisions_;
    std::unique_ptr<IdleBus> bus_;
    std::unique_ptr<IdleConnection> display_;
    std::optional<Clock::time_point> timer_;
    FileDescriptor saverFd_; // the saver's process descriptor
};

} // namespace

void EndWatcher(const std::string& line) {
    StopSaver();
    std::fprintf(stderr, "lumivex-gl: %s\n", line.c_str());
    std::fflush(nullptr);
    _exit(1);
}

int RunIdleWatcher(int seconds, const char* program) {
    Watcher watcher(seconds, program != nullptr && *program != '\0' ? program : "lumivex-gl");
    return watcher.Run();
}

} // namespace lumivex
