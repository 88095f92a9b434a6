// The saver window's state on X11, shared by the files of the saver window: x11_window.cpp (the
// window, its view and its properties), x11_events.cpp (the modal loop's events, timers and
// wait) and x11_hosted.cpp (a screen-saver host's window in place of our own).
#pragma once

#include "platform/ModalLoop.h"
#include "platform/SaverTimers.h"
#include "platform/x11/x11_window.h"

#include <cstdint>

namespace lumivex {

// The X server's own screen saver must never start over ours; its idle clock is reset this often.
constexpr std::uint64_t ScreenSaverResetInterval = 1000;

struct X11Platform::WindowState final : ModalLoop::Backend {
    WindowState(Display* display, WindowEvents* events);
    ~WindowState();
    WindowState(const WindowState&) = delete;
    WindowState& operator=(const WindowState&) = delete;

    Display* display = nullptr;
    WindowEvents* events = nullptr;
    ModalLoop loop;
    Window frame = 0;
    ViewSurface view;
    Visual* viewVisual = nullptr;
    Colormap viewColormap = 0;
    GC viewGC = nullptr;
    Cursor invisibleCursor = 0;
    Atom wmProtocols = 0;
    Atom wmDeleteWindow = 0;
    unsigned int numLockMask = Mod2Mask;
    int capsLockDuringPress = -1; // 0 or 1 while a Caps Lock press is handled, else -1

    int width = 0; // of the frame and the view
    int height = 0;
    int hostWidth = 0; // of the host's window
    int hostHeight = 0;
    int reportedWidth = 0; // as last given to OnResize
    int reportedHeight = 0;
    std::uint32_t background = 0; // the window's colour, a COLORREF
    bool mapped = false;
    bool modal = false;
    bool keyboardGrabbed = false;
    bool pointerGrabbed = false;
    bool viewCursorHidden = true;
    bool focusWanted = false;
    bool hosted = false;   // `frame` is the host's window, not ours
    bool hostGone = false; // the host's window (and with it the view) was destroyed

    SaverTimers timers;
    bool paintPending = false;
    bool pointerReportPending = false;
    int pointerX = 0;
    int pointerY = 0;
    std::uint64_t lastScreenSaverReset = 0;

    // The modal loop's primitives (x11_events.cpp).
    bool HandlePendingEvent() override;
    void WaitForEvent() override;
    bool IsSessionEnding() override;
    void BeforeEvents() override;
};

using WindowState = X11Platform::WindowState;

std::uint64_t NowMilliseconds();
unsigned int FindNumLockMask(Display* display);
// Windows sends the size message while the bounds are being set; so do we.
void ReportSize(WindowState& state, int width, int height);
// The view's visual: the GL one when the GL library is loaded and offers one, else the default.
void MakeInitialViewWindow(X11Platform& platform, WindowState& state);
Cursor MakeInvisibleCursor(Display* display, Window window);

// x11_hosted.cpp
// Makes the host's window (the root window when 0) the frame of the view; a window already gone
// ends the run at once.
void MakeHostedFrame(WindowState& state, Window host);
// The host resized its window (a monitor changed, a preview grew): the view goes with it.
void FollowHostSize(WindowState& state, int width, int height);
// Whether `window` is the host's or the view inside it, so that its end is the end of the run;
// notes that end. False when not hosted.
bool HostLost(WindowState& state, Window window);
// Whether this is a host's window and the host has destroyed it (asks the server when not yet
// known); notes that end.
bool HostGone(WindowState& state);
// The X errors since the last look go to standard error, unless they are the end of the host's
// window.
void SettleXErrors(WindowState& state);

} // namespace lumivex
