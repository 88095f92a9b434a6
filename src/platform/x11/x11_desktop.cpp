// The X connection and the desktop's windows: the foreground window is the window manager's
// active window (_NET_ACTIVE_WINDOW), the desktop window is the root. Without a display every
// query answers 0 and every request does nothing.
#include "platform/x11/x11_platform.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <cerrno>

namespace lumivex {

namespace {

int IgnoreXError(Display*, XErrorEvent*) {
    return 0;
}

// Ignores X errors while it lives: a window named by another program may be gone by now.
class IgnoreXErrors {
  public:
    explicit IgnoreXErrors(Display* display)
        : display_(display), previous_(XSetErrorHandler(&IgnoreXError)) {}
    ~IgnoreXErrors() {
        XSync(display_, False);
        XSetErrorHandler(previous_);
    }
    IgnoreXErrors(const IgnoreXErrors&) = delete;
    IgnoreXErrors& operator=(const IgnoreXErrors&) = delete;

  private:
    Display* display_;
    XErrorHandler previous_;
};

} // namespace

_XDisplay* X11Platform::XConnection() {
    // One attempt only: a missing display stays missing for this process.
    if (!displayTried_) {
        displayTried_ = true;
        display_ = XOpenDisplay(nullptr);
        if (display_ == nullptr)
            lastError_ = ENXIO;
    }
    return display_;
}

WindowHandle X11Platform::GetForegroundWindow() {
    Display* display = XConnection();
    if (display == nullptr)
        return 0;
    Atom active = XInternAtom(display, "_NET_ACTIVE_WINDOW", True);
    if (active == None)
        return 0; // no window manager that tells
    IgnoreXErrors ignore(display);
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
    IgnoreXErrors ignore(display);
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
    IgnoreXErrors ignore(display);
    XSetInputFocus(display, Window(window), RevertToParent, CurrentTime);
}

} // namespace lumivex
