// The saver window's side of the modal loop on X11: one pending thing at a time (the pointer's
// place when the window appears, X events, a paint, a due timer), the wait for the next one, and
// the X server's own screen saver kept away.
#include "platform/posix/posix_keys.h"
#include "platform/x11/x11_session.h"
#include "platform/x11/x11_window_state.h"

#include <X11/XKBlib.h>
#include <X11/keysym.h>

#include <poll.h>

#include <algorithm>
#include <cstdio>

namespace lumivex {

namespace {

std::uint16_t TranslateKey(WindowState& state, XKeyEvent& event) {
    KeySym symbol = NoSymbol;
    unsigned int consumed = 0;
    // Only Num Lock may change the symbol: Shift and Caps Lock leave the virtual key alone.
    XkbLookupKeySym(state.display, static_cast<KeyCode>(event.keycode),
                    event.state & state.numLockMask, &consumed, &symbol);
    return VirtualKeyFromKeysym(symbol);
}

void HandleKeyPress(WindowState& state, XKeyEvent& event) {
    const std::uint16_t key = TranslateKey(state, event);
    if (key != VK_CAPITAL) {
        state.events->OnKeyDown(key);
        return;
    }
    state.capsLockDuringPress = CapsLockDuringPress((event.state & LockMask) != 0) ? 1 : 0;
    state.events->OnKeyDown(key);
    state.capsLockDuringPress = -1;
}

// Windows keeps one pending mouse move at a time, carrying the latest position.
void TakeLatestMotion(Display* display, XEvent& event) {
    XEvent next;
    while (XPending(display) > 0) {
        XPeekEvent(display, &next);
        if (next.type != MotionNotify)
            break;
        XNextEvent(display, &event);
    }
}

void HandleConfigure(WindowState& state, const XConfigureEvent& event) {
    if (event.window == state.view.window && state.mapped)
        ReportSize(state, event.width, event.height);
    else if (event.window == state.frame && state.hosted)
        FollowHostSize(state, event.width, event.height);
}

void Dispatch(WindowState& state, XEvent& event) {
    switch (event.type) {
    case KeyPress:
        HandleKeyPress(state, event.xkey);
        break;
    case ButtonPress:
        // Buttons 4 to 7 are the wheel, which is no click on any system.
        if (event.xbutton.button < Button4 || event.xbutton.button > 7)
            state.events->OnMouseDown();
        break;
    case MotionNotify:
        TakeLatestMotion(state.display, event);
        state.events->OnMouseMove(event.xmotion.x, event.xmotion.y);
        break;
    case Expose:
        if (event.xexpose.window == state.view.window)
            state.paintPending = true;
        break;
    case ConfigureNotify:
        HandleConfigure(state, event.xconfigure);
        break;
    case DestroyNotify:
        HostLost(state, event.xdestroywindow.window);
        break;
    case ClientMessage:
        if (event.xclient.message_type == state.wmProtocols &&
            static_cast<Atom>(event.xclient.data.l[0]) == state.wmDeleteWindow)
            state.loop.RequestClose();
        break;
    case MappingNotify:
        XRefreshKeyboardMapping(&event.xmapping);
        state.numLockMask = FindNumLockMask(state.display);
        break;
    default:
        break;
    }
}

// Fires the timer that is due first; false when none is due.
bool FireDueTimer(WindowState& state) {
    TimerId id = TimerTick;
    if (!state.timers.TakeDue(NowMilliseconds(), id))
        return false;
    state.events->OnTimer(id);
    return true;
}

} // namespace

// In the order Windows hands things out: input and other events, then a paint, then a timer.
bool X11Platform::WindowState::HandlePendingEvent() {
    if (events == nullptr)
        return false;
    if (pointerReportPending) {
        pointerReportPending = false;
        events->OnMouseMove(pointerX, pointerY);
        return true;
    }
    if (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        Dispatch(*this, event);
        return true;
    }
    if (paintPending) {
        paintPending = false;
        events->OnPaint();
        return true;
    }
    return FireDueTimer(*this);
}

// Sleeps until the next event, timer or termination signal.
void X11Platform::WindowState::WaitForEvent() {
    const std::uint64_t timeout = timers.Until(NowMilliseconds(), ScreenSaverResetInterval);
    if (paintPending || pointerReportPending || timeout == 0)
        return;
    XFlush(display);
    if (XPending(display) > 0)
        return;
    pollfd sources[2] = {{ConnectionNumber(display), POLLIN, 0}, {TerminationPipe(), POLLIN, 0}};
    poll(sources, sources[1].fd >= 0 ? 2 : 1, static_cast<int>(timeout));
}

bool X11Platform::WindowState::IsSessionEnding() {
    return TerminationRequested() || hostGone;
}

void X11Platform::WindowState::BeforeEvents() {
    lumivex::SettleXErrors(*this);
    // Under a host the server's idle clock must run on, so that the monitor can still sleep.
    if (hosted)
        return;
    const std::uint64_t now = NowMilliseconds();
    if (now - lastScreenSaverReset < ScreenSaverResetInterval)
        return;
    lastScreenSaverReset = now;
    XResetScreenSaver(display);
}

} // namespace lumivex
