// A screen-saver host's window in place of the saver window: the view is made inside it and
// follows its size, and its end is the end of the run. Nothing of it is ours to grab, focus, map
// on top or listen to beyond its size.
#include "platform/x11/x11_errors.h"
#include "platform/x11/x11_glx.h"
#include "platform/x11/x11_window_state.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace lumivex {

void MakeHostedFrame(WindowState& state, Window host) {
    state.hosted = true;
    state.frame = host;
    XErrorTrap trap(state.display);
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(state.display, host, &attributes) == 0 || trap.Sync() != 0) {
        state.hostGone = true;
        return;
    }
    XSelectInput(state.display, host, StructureNotifyMask);
    if (trap.Sync() != 0)
        state.hostGone = true;
    state.view.screen = XScreenNumberOfScreen(attributes.screen);
    state.width = state.hostWidth = state.reportedWidth = attributes.width;
    state.height = state.hostHeight = state.reportedHeight = attributes.height;
}

void FollowHostSize(WindowState& state, int width, int height) {
    state.hostWidth = width;
    state.hostHeight = height;
    // Grown past what the GL draws, the view stays at the largest size it can have.
    width = FitViewSide(width);
    height = FitViewSide(height);
    if (state.width == width && state.height == height)
        return;
    state.width = width;
    state.height = height;
    XResizeWindow(state.display, state.view.window, static_cast<unsigned>(std::max(width, 1)),
                  static_cast<unsigned>(std::max(height, 1)));
    if (state.mapped)
        ReportSize(state, width, height);
}

bool HostLost(WindowState& state, Window window) {
    if (!state.hosted || (window != state.frame && window != state.view.window))
        return false;
    state.hostGone = true;
    return true;
}

bool HostGone(WindowState& state) {
    if (state.hosted && !state.hostGone && WindowGone(state.display, state.frame))
        state.hostGone = true;
    return state.hostGone;
}

void SettleXErrors(WindowState& state) {
    if (XErrorsLogged())
        FlushXErrorLog(state.display, HostGone(state));
}

std::string X11Platform::HostIn(unsigned long window) {
    Display* display = XConnection();
    if (display == nullptr)
        return NoDisplayProblem();
    if (window != 0) {
        XErrorTrap trap(display);
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display, window, &attributes) == 0 || trap.Sync() != 0) {
            char id[32];
            std::snprintf(id, sizeof id, "0x%lx", window);
            return std::string("there is no window ") + id + " on the X display";
        }
    }
    hosted_ = true;
    hostWindow_ = window;
    return "";
}

} // namespace lumivex
