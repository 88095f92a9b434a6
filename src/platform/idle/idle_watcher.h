// lumivex-gl --idle SECONDS: the session's idle watcher. It runs the saver (the same program with
// /s) as a child once the session has been idle SECONDS, waits for it to end, then for the next
// idle period. Idleness comes from GNOME's idle monitor on the session bus, else the Wayland
// compositor's idle protocol, else the X server's IDLETIME counter; inhibitions come with them, or,
// where nobody serves org.freedesktop.ScreenSaver, from the watcher's own service of that name.
#pragma once

#include <cstdint>

namespace lumivex {

// What the watcher learns: from its idle source (Idle: idle for the whole time; Active: input
// after that), from the programs that hold idleness back, from its timer and from its saver.
enum class IdleEvent : std::uint8_t {
    Idle,
    Active,
    Inhibited,
    Uninhibited,
    TimerFired,
    SaverEnded
};

// What it does then. The timer runs the whole idle time: an inhibition lifted while the session
// is idle gives the user that time again before a saver covers the screen.
struct IdleStep {
    bool StartSaver = false;
    bool ArmTimer = false;
    bool CancelTimer = false;
};

// The watcher's decisions, apart from any system: no saver while one runs or while idleness is
// held back, and each idle period starts at most one.
class IdleDecisions {
  public:
    IdleStep On(IdleEvent event);
    bool SaverRunning() const { return saverRunning_; }

  private:
    IdleStep Start();

    bool idle_ = false; // idle for the whole time, no input since
    bool inhibited_ = false;
    bool saverRunning_ = false;
    bool timerArmed_ = false;
};

// Watches until SIGTERM, SIGINT or SIGHUP (0, the saver ended first) or until the display or the
// bus goes away (1, said in one line); a second watcher of the session says so and gives 0.
// `program` is the name the saver child runs under (argv[0]).
int RunIdleWatcher(int seconds, const char* program);

} // namespace lumivex
