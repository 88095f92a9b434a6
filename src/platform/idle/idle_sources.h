// Where the watcher's events come from (see idle_watcher.h): the session bus (GNOME's idle monitor
// and the org.freedesktop.ScreenSaver service), a Wayland compositor and an X server. Each is
// driven from the watcher's one poll loop: Prepare before the poll, Dispatch after it.
#pragma once

#include <memory>
#include <poll.h>
#include <string>

namespace lumivex {

// What the sources tell the watcher.
class IdleSink {
  public:
    virtual void OnIdle() = 0;
    virtual void OnActive() = 0;
    // The first inhibition came, or the last one went.
    virtual void OnInhibited(bool inhibited) = 0;

  protected:
    ~IdleSink() = default;
};

// A connection the loop polls.
class IdleConnection {
  public:
    virtual ~IdleConnection() = default;
    // The descriptor and events to poll, and the longest wait in milliseconds (-1: none); an
    // fd of -1 is not polled.
    virtual pollfd Prepare(int& timeout) = 0;
    // Handles what came (`revents` of the poll); false with one line in `lost` when the server
    // went away.
    virtual bool Dispatch(short revents, std::string& lost) = 0;
};

// The session bus, when there is one.
class IdleBus : public IdleConnection {
  public:
    // nullptr, the reason in `problem`, when there is no session bus.
    static std::unique_ptr<IdleBus> Connect(std::string& problem);
    // GNOME's idle monitor (org.gnome.Mutter.IdleMonitor) with an idle watch of `milliseconds`
    // and a user-active watch after each idle; false where it is not on the bus.
    virtual bool WatchMutter(unsigned milliseconds, IdleSink& sink) = 0;
    // Serves org.freedesktop.ScreenSaver (Inhibit, UnInhibit) where nobody does; false when
    // someone else owns the name.
    virtual bool ServeScreenSaver(IdleSink& sink) = 0;
};

// The compositor's ext_idle_notifier_v1 or org_kde_kwin_idle; nullptr, the reason in `problem`,
// when there is no compositor or it offers neither.
std::unique_ptr<IdleConnection> WatchWayland(unsigned milliseconds, IdleSink& sink,
                                             std::string& name, std::string& problem);

// The X server's IDLETIME counter (the SYNC extension); nullptr, the reason in `problem`, when
// there is no X display or it has no such counter.
std::unique_ptr<IdleConnection> WatchX11(unsigned milliseconds, IdleSink& sink, std::string& name,
                                         std::string& problem);

// Ends the watcher at once, its saver with it, saying `line`: for a lost server that leaves no
// way back (Xlib's I/O error).
[[noreturn]] void EndWatcher(const std::string& line);

} // namespace lumivex
