// Idleness from an X server: its IDLETIME system counter (the SYNC extension), the milliseconds
// since the last input, with two alarms: one as it rises past the idle time, one as input brings
// it back below. The server's own screen saver settings are left alone.
#include "platform/idle/idle_sources.h"

#include "platform/posix/posix_signals.h"

#include <X11/Xlib.h>
#include <X11/extensions/sync.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace lumivex {

namespace {

std::string DisplayName() {
    const char* name = std::getenv("DISPLAY");
    return name != nullptr ? name : "";
}

std::string LostLine() {
    return "lost the connection to the X display " + DisplayName();
}

int OnLostDisplay(Display* /*display*/) {
    EndWatcher(LostLine());
}

class X11Idle final : public IdleConnection {
  public:
    X11Idle(Display* display, IdleSink& sink) : display_(display), sink_(sink) {}
    ~X11Idle() override {
        for (XSyncAlarm alarm : {idleAlarm_, activeAlarm_})
            if (alarm != None)
                XSyncDestroyAlarm(display_, alarm);
        XCloseDisplay(display_);
    }
    X11Idle(const X11Idle&) = delete;
    X11Idle& operator=(const X11Idle&) = delete;

    bool Watch(unsigned milliseconds, std::string& problem) {
        int errorBase = 0;
        int major = 0;
        int minor = 0;
        if (XSyncQueryExtension(display_, &eventBase_, &errorBase) == 0 ||
            XSyncInitialize(display_, &major, &minor) == 0) {
            problem = "the X display " + DisplayName() + " has no SYNC extension";
            return false;
        }
        int count = 0;
        XSyncSystemCounter* counters = XSyncListSystemCounters(display_, &count);
        XSyncCounter idleTime = None;
        for (int i = 0; i < count; ++i)
            if (std::strcmp(counters[i].name, "IDLETIME") == 0)
                idleTime = counters[i].counter;
        if (counters != nullptr)
            XSyncFreeSystemCounterList(counters);
        if (idleTime == None) {
            problem = "the X display " + DisplayName() + " has no IDLETIME counter";
            return false;
        }
        idleAlarm_ = Alarm(idleTime, XSyncPositiveTransition, milliseconds);
        activeAlarm_ = Alarm(idleTime, XSyncNegativeTransition, milliseconds);
        XFlush(display_);
        return true;
    }

    pollfd Prepare(int& timeout) override {
        XFlush(display_);
        // Events read meanwhile wait in Xlib's queue, not on the descriptor.
        if (XEventsQueued(display_, QueuedAlready) > 0)
            timeout = 0;
        return {ConnectionNumber(display_), POLLIN, 0};
    }

    bool Dispatch(short revents, std::string& lost) override {
        if ((revents & (POLLHUP | POLLERR)) != 0 || ConnectionBroken(ConnectionNumber(display_))) {
            lost = LostLine();
            return false;
        }
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type != eventBase_ + XSyncAlarmNotify)
                continue;
            const auto& alarm = reinterpret_cast<const XSyncAlarmNotifyEvent&>(event);
            if (alarm.state == XSyncAlarmDestroyed)
                continue;
            if (alarm.alarm == idleAlarm_)
                sink_.OnIdle();
            else if (alarm.alarm == activeAlarm_)
                sink_.OnActive();
        }
        return true;
    }

  private:
    // An alarm when the counter crosses `milliseconds` in the given direction, each time.
    XSyncAlarm Alarm(XSyncCounter counter, XSyncTestType test, unsigned milliseconds) {
        XSyncAlarmAttributes attributes{};
        attributes.trigger.counter = counter;
        attributes.trigger.value_type = XSyncAbsolute;
        attributes.trigger.test_type = test;
        XSyncIntToValue(&attributes.trigger.wait_value, static_cast<int>(milliseconds));
        XSyncIntToValue(&attributes.delta, 0);
        attributes.events = True;
        return XSyncCreateAlarm(display_,
                                XSyncCACounter | XSyncCAValueType | XSyncCATestType | XSyncCAValue |
                                    XSyncCADelta | XSyncCAEvents,
                                &attributes);
    }

    Display* display_;
    IdleSink& sink_;
    int eventBase_ = 0;
    XSyncAlarm idleAlarm_ = None;
    XSyncAlarm activeAlarm_ = None;
};

} // namespace

std::unique_ptr<IdleConnection> WatchX11(unsigned milliseconds, IdleSink& sink, std::string& name,
                                         std::string& problem) {
    if (DisplayName().empty()) {
        problem = "DISPLAY is not set";
        return nullptr;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        problem = "cannot open the X display " + DisplayName();
        return nullptr;
    }
    XSetIOErrorHandler(&OnLostDisplay);
    auto idle = std::make_unique<X11Idle>(display, sink);
    if (!idle->Watch(milliseconds, problem))
        return nullptr;
    name = "the X display " + DisplayName() + "'s IDLETIME counter";
    return idle;
}

} // namespace lumivex
