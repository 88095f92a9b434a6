// The X connection and the desktop's windows: the foreground window is the window manager's
// active window (_NET_ACTIVE_WINDOW), the desktop window is the root. Without a display every
// query answers 0 and every request does nothing.
#include "platform/x11/x11_errors.h"
#include "platform/x11/x11_platform.h"
#include "platform/x11/x11_session.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace lumivex {

namespace {

constexpr int DisplayOpenAttempts = 5;
constexpr useconds_t DisplayRetryMicroseconds = 100000;

} // namespace

_XDisplay* X11Platform::XConnection() {
    if (displayLost_)
        return nullptr;
    // Settled once per process: a missing display stays missing. A busy server may refuse a
    // connection for a moment, so a named display gets a few tries before it counts as missing.
    if (!displayTried_) {
        displayTried_ = true;
        const char* name = std::getenv("DISPLAY");
        const int attempts = (name != nullptr && *name != '\0') ? DisplayOpenAttempts : 1;
        for (int attempt = 0; attempt < attempts && display_ == nullptr; ++attempt) {
            if (attempt > 0)
                usleep(DisplayRetryMicroseconds);
            display_ = XOpenDisplay(nullptr);
        }
        if (display_ == nullptr) {
            lastError_ = ENXIO;
        } else {
            WatchForLostDisplay(this);
            InstallXErrorLog();
        }
    }
    return display_;
}

std::string X11Platform::NoDisplayProblem() const {
    const std::string before = fallbackProblem_.empty() ? "" : fallbackProblem_ + ", and ";
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0')
        return before + "cannot open the X display (DISPLAY is not set)";
    return before + "cannot open the X display \"" + name + "\"";
}

WindowHandle X11Platform::GetForegroundWindow() {
    Display* display = XConnection();
    if (display == nullptr)
        return 0;
    Atom active = XInternAtom(display, "_NET_ACTIVE_WINDOW", True);
    if (active == None)
        return 0;               // no window manager that tells
    XErrorTrap ignore(display); // the window may be gone by now
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    WindowHandle window = 0;
    if (XGetWindowProperty(display, DefaultRootWindow(display), active, 0, 1, False, XA_WINDOW,
                           &type, &format, &count, &remaining, &data) == Success &&
        type == XA_WINDOW && format == 32 && count == 1 && data != nullptr)
        window = WindowHandle(*reinterpret_cast<unsigned long*>(data));
    if (data != nullptr)
        XFree(data);
    return window;
}

void X11Platform::SetForegroundWindow(WindowHandle window) {
    Display* display = XConnection();
    if (display == nullptr || window == 0)
        return;
    Atom active = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = Window(window);
    event.xclient.message_type = active;
    event.xclient.format = 32;
    event.xclient.data.l[0] = 2; // source: a pager, which window managers always obey
    event.xclient.data.l[1] = CurrentTime;
    XErrorTrap ignore(display); // the window may be gone by now
    XSendEvent(display, DefaultRootWindow(display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(display);
}

WindowHandle X11Platform::GetDesktopWindow() {
    Display* display = XConnection();
    return display == nullptr ? 0 : WindowHandle(DefaultRootWindow(display));
}

WindowHandle X11Platform::GetActiveWindow() {
    Display* display = XConnection();
    if (display == nullptr)
        return 0;
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    return focus == None || focus == PointerRoot ? 0 : WindowHandle(focus);
}

void X11Platform::SetActiveWindow(WindowHandle window) {
    Display* display = XConnection();
    if (display == nullptr || window == 0)
        return;
    XErrorTrap ignore(display); // the window may be gone by now
    XSetInputFocus(display, Window(window), RevertToParent, CurrentTime);
}

} // namespace lumivex
