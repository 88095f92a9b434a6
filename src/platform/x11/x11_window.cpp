// The saver window on X11: an override-redirect window over the whole screen holding the view
// (a child window with the GL visual), keyboard and pointer grabbed, and the modal loop that
// feeds the portable window its events, timers, paints, idle passes and close query.
// Hosted by a screen-saver host, the host's window takes the place of our own: the view is made
// inside it and follows its size, and nothing is grabbed, focused, mapped on top or listened to.
//
// Relies on: XConnection() for the display; the GL library loaded before the window is created
// (otherwise the view is remade with the GL visual when its context is made).
#include "platform/x11/x11_window.h"

#include "gl/OpenGL12.h"
#include "platform/x11/x11_errors.h"
#include "platform/x11/x11_glx.h"
#include "platform/x11/x11_session.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/keysym.h>

#include <poll.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

namespace lumivex {

namespace {

constexpr std::uint64_t HideMouseInterval = 500;
constexpr std::uint64_t TickInterval = 1000;
// The X server's own screen saver must never start over ours; its idle clock is reset this often.
constexpr std::uint64_t ScreenSaverResetInterval = 1000;
constexpr std::uint64_t FrameRateInterval = 1000;
// Another client may hold a grab for a moment when the saver starts (a key still down, a menu).
constexpr int GrabAttempts = 40;
constexpr int GrabRetryMilliseconds = 25;
constexpr int MapWaitMilliseconds = 2000;
// ProcessMessages drains the queue, but a client flooding us with events must not starve a frame.
constexpr int MaxEventsPerProcessMessages = 512;

std::uint64_t NowMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u +
           static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

void WaitMilliseconds(int milliseconds) {
    timespec pause{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    while (nanosleep(&pause, &pause) == -1 && errno == EINTR) {
    }
}

int BitsSet(unsigned long mask) {
    int bits = 0;
    for (; mask != 0; mask &= mask - 1)
        ++bits;
    return bits;
}

int LowestBit(unsigned long mask) {
    int shift = 0;
    for (; mask != 0 && (mask & 1u) == 0; mask >>= 1)
        ++shift;
    return shift;
}

unsigned long ScaleChannel(unsigned value, unsigned long mask) {
    const int bits = BitsSet(mask);
    const unsigned long top = bits >= 32 ? 0xFFFFFFFFul : (1ul << bits) - 1;
    return ((value * top + 127) / 255) << LowestBit(mask);
}

// A COLORREF (0x00BBGGRR) as a pixel of the visual; its low three bytes taken as they are.
unsigned long PixelOf(Display* display, Visual* visual, Colormap colormap, std::uint32_t color) {
    const unsigned red = color & 0xFFu;
    const unsigned green = (color >> 8) & 0xFFu;
    const unsigned blue = (color >> 16) & 0xFFu;
    if (visual->c_class == TrueColor || visual->c_class == DirectColor)
        return ScaleChannel(red, visual->red_mask) | ScaleChannel(green, visual->green_mask) |
               ScaleChannel(blue, visual->blue_mask);
    XColor wanted{};
    wanted.red = static_cast<unsigned short>(red * 257);
    wanted.green = static_cast<unsigned short>(green * 257);
    wanted.blue = static_cast<unsigned short>(blue * 257);
    wanted.flags = DoRed | DoGreen | DoBlue;
    if (XAllocColor(display, colormap, &wanted) != 0)
        return wanted.pixel;
    return BlackPixel(display, DefaultScreen(display));
}

struct Timer {
    bool Enabled = false;
    std::uint64_t Interval = 0;
    std::uint64_t Due = 0;
};

} // namespace

struct X11Platform::WindowState {
    Display* display = nullptr;
    WindowEvents* events = nullptr;
    Window frame = 0;
    ViewSurface view;
    Visual* viewVisual = nullptr;
    Colormap viewColormap = 0;
    GC viewGC = nullptr;
    Cursor invisibleCursor = 0;
    Atom wmProtocols = 0;
    Atom wmDeleteWindow = 0;
    XErrorHandler previousErrorHandler = nullptr;
    unsigned int numLockMask = Mod2Mask;
    int capsLockDuringPress = -1; // 0 or 1 while a Caps Lock press is handled, else -1

    int width = 0; // of the frame and the view
    int height = 0;
    int hostWidth = 0; // of the host's window
    int hostHeight = 0;
    int reportedWidth = 0; // as last given to OnResize
    int reportedHeight = 0;
    bool mapped = false;
    bool modal = false;
    bool keyboardGrabbed = false;
    bool pointerGrabbed = false;
    bool viewCursorHidden = true;
    bool focusWanted = false;
    bool hosted = false;   // `frame` is the host's window, not ours
    bool hostGone = false; // the host's window (and with it the view) was destroyed

    Timer hideMouse{false, HideMouseInterval, 0};
    Timer tick{false, TickInterval, 0};
    bool idleInstalled = false;
    bool closeRequested = false;
    bool paintPending = false;
    bool pointerReportPending = false;
    int pointerX = 0;
    int pointerY = 0;
    std::uint64_t lastScreenSaverReset = 0;
    std::uint64_t frameRateSince = 0;
    unsigned frameRateFrames = 0;

    Timer& TimerFor(TimerId id) { return id == TimerHideMouse ? hideMouse : tick; }
};

namespace {

using WindowState = X11Platform::WindowState;

WindowState* errorState = nullptr; // the saver window whose errors ReportXError sees

// Anything else the X server sends us reports the problem and lets the saver go on; Xlib's
// default handler would end the program in the middle of a run. A hosted view whose window the
// host has destroyed is no problem but the end of the run.
int ReportXError(Display* display, XErrorEvent* event) {
    WindowState* state = errorState;
    if (state != nullptr && state->hosted &&
        (event->error_code == BadWindow || event->error_code == BadDrawable) &&
        (event->resourceid == state->frame || event->resourceid == state->view.window)) {
        state->hostGone = true;
        return 0;
    }
    char text[256] = {};
    XGetErrorText(display, event->error_code, text, sizeof text);
    std::fprintf(stderr, "lumivex-gl: X error %d (%s), request %d.%d\n", event->error_code, text,
                 event->request_code, event->minor_code);
    return 0;
}

void ApplyViewCursor(WindowState& state) {
    // The host's pointer is the host's business.
    if (state.view.window == 0 || state.hosted)
        return;
    if (state.viewCursorHidden)
        XDefineCursor(state.display, state.view.window, state.invisibleCursor);
    else
        XUndefineCursor(state.display, state.view.window);
}

void FreeViewWindow(WindowState& state) {
    if (state.viewGC != nullptr)
        XFreeGC(state.display, state.viewGC);
    if (state.view.window != 0)
        XDestroyWindow(state.display, state.view.window);
    if (state.viewColormap != 0)
        XFreeColormap(state.display, state.viewColormap);
    state.viewGC = nullptr;
    state.view.window = 0;
    state.view.visual = 0;
    state.viewColormap = 0;
    state.viewVisual = nullptr;
}

// Makes the view window with the visual; returns 0 or the X error code.
int MakeViewWindow(WindowState& state, Visual* visual, int depth) {
    Display* display = state.display;
    XErrorTrap trap(display);
    const Window root = RootWindow(display, state.view.screen);
    const Colormap colormap = XCreateColormap(display, root, visual, AllocNone);
    XSetWindowAttributes attributes{};
    attributes.colormap = colormap;
    attributes.border_pixel = 0;
    // The view paints all of its area itself, so the server must not clear it first.
    attributes.background_pixmap = None;
    attributes.event_mask = ExposureMask | StructureNotifyMask;
    // Drawing on the root window itself: no window manager may frame the view.
    attributes.override_redirect = state.frame == root;
    const Window window = XCreateWindow(
        display, state.frame, 0, 0, static_cast<unsigned>(std::max(state.width, 1)),
        static_cast<unsigned>(std::max(state.height, 1)), 0, depth, InputOutput, visual,
        CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask | CWOverrideRedirect, &attributes);
    if (const int code = trap.Sync(); code != 0) {
        if (window != 0)
            XDestroyWindow(display, window);
        XFreeColormap(display, colormap);
        return code;
    }
    state.view.window = window;
    state.view.visual = XVisualIDFromVisual(visual);
    state.viewVisual = visual;
    state.viewColormap = colormap;
    state.viewGC = XCreateGC(display, window, 0, nullptr);
    ApplyViewCursor(state);
    if (state.width > 0 && state.height > 0)
        XMapWindow(display, window);
    return 0;
}

// The view's visual: the GL one when the GL library is loaded and offers one, else the default.
void MakeInitialViewWindow(X11Platform& platform, WindowState& state) {
    Display* display = state.display;
    if (GLLibrary != nullptr) {
        const auto getConfig =
            reinterpret_cast<GLXGetConfigProc>(GlxEntryPoint(platform, "glXGetConfig"));
        XVisualInfo chosen{};
        if (getConfig != nullptr &&
            ChooseGLVisual(display, state.view.screen, GLVisualRequest{}, getConfig, chosen) &&
            MakeViewWindow(state, chosen.visual, chosen.depth) == 0)
            return;
    }
    MakeViewWindow(state, DefaultVisual(display, state.view.screen),
                   DefaultDepth(display, state.view.screen));
}

Cursor MakeInvisibleCursor(Display* display, Window window) {
    static const char noBits[1] = {0};
    const Pixmap blank = XCreateBitmapFromData(display, window, noBits, 1, 1);
    XColor black{};
    const Cursor cursor = XCreatePixmapCursor(display, blank, blank, &black, &black, 0, 0);
    XFreePixmap(display, blank);
    return cursor;
}

unsigned int FindNumLockMask(Display* display) {
    const unsigned int mask = XkbKeysymToModifiers(display, XK_Num_Lock);
    return mask != 0 ? mask : static_cast<unsigned int>(Mod2Mask);
}

void SetWindowHints(Display* display, Window frame) {
    XStoreName(display, frame, "Lumivex GL");
    XClassHint hint{};
    char name[] = "lumivex-gl";
    char className[] = "Lumivex-gl";
    hint.res_name = name;
    hint.res_class = className;
    XSetClassHint(display, frame, &hint);
    // Compositors keep a full-screen window above the rest and skip its decorations.
    const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
    const Atom values[2] = {XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False),
                            XInternAtom(display, "_NET_WM_STATE_ABOVE", False)};
    XChangeProperty(display, frame, state, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(values), 2);
}

void FocusView(WindowState& state) {
    // The host keeps the keyboard.
    if (state.hosted)
        return;
    if (!state.mapped || state.view.window == 0) {
        state.focusWanted = true;
        return;
    }
    state.focusWanted = false;
    XErrorTrap trap(state.display);
    XSetInputFocus(state.display, state.view.window, RevertToParent, CurrentTime);
}

void WaitUntilViewable(Display* display, Window window) {
    for (int waited = 0; waited < MapWaitMilliseconds; waited += 5) {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display, window, &attributes) != 0 &&
            attributes.map_state == IsViewable)
            return;
        WaitMilliseconds(5);
    }
}

void GrabInput(WindowState& state) {
    Display* display = state.display;
    for (int attempt = 0;
         attempt < GrabAttempts && !state.keyboardGrabbed && !TerminationRequested(); ++attempt) {
        state.keyboardGrabbed = XGrabKeyboard(display, state.frame, False, GrabModeAsync,
                                              GrabModeAsync, CurrentTime) == GrabSuccess;
        if (!state.keyboardGrabbed)
            WaitMilliseconds(GrabRetryMilliseconds);
    }
    // No grab cursor: the view's own cursor (hidden or not) shows during the grab.
    const unsigned int pointerEvents = ButtonPressMask | PointerMotionMask;
    for (int attempt = 0;
         attempt < GrabAttempts && !state.pointerGrabbed && !TerminationRequested(); ++attempt) {
        state.pointerGrabbed =
            XGrabPointer(display, state.frame, False, pointerEvents, GrabModeAsync, GrabModeAsync,
                         None, None, CurrentTime) == GrabSuccess;
        if (!state.pointerGrabbed)
            WaitMilliseconds(GrabRetryMilliseconds);
    }
}

void ReleaseInput(WindowState& state) {
    if (state.keyboardGrabbed)
        XUngrabKeyboard(state.display, CurrentTime);
    if (state.pointerGrabbed)
        XUngrabPointer(state.display, CurrentTime);
    state.keyboardGrabbed = false;
    state.pointerGrabbed = false;
    XFlush(state.display);
}

void ShowFrame(WindowState& state) {
    if (state.mapped || state.width <= 0 || state.height <= 0)
        return;
    XMapWindow(state.display, state.view.window);
    if (state.hosted) {
        // On the root window the view stands for the desktop: below every other window.
        if (state.frame == RootWindow(state.display, state.view.screen))
            XLowerWindow(state.display, state.view.window);
        state.mapped = true;
        return;
    }
    XMapRaised(state.display, state.frame);
    WaitUntilViewable(state.display, state.frame);
    state.mapped = true;
}

// Windows sends the size message while the bounds are being set; so do we.
void ReportSize(WindowState& state, int width, int height) {
    if (width == state.reportedWidth && height == state.reportedHeight)
        return;
    state.reportedWidth = width;
    state.reportedHeight = height;
    if (state.events != nullptr)
        state.events->OnResize(width, height);
}

// The host resized its window (a monitor changed, a preview grew): the view goes with it.
void FollowHostSize(WindowState& state, int width, int height) {
    state.hostWidth = width;
    state.hostHeight = height;
    if (state.width == width && state.height == height)
        return;
    state.width = width;
    state.height = height;
    XResizeWindow(state.display, state.view.window, static_cast<unsigned>(std::max(width, 1)),
                  static_cast<unsigned>(std::max(height, 1)));
    if (state.mapped)
        ReportSize(state, width, height);
}

std::uint16_t TranslateKey(WindowState& state, XKeyEvent& event) {
    KeySym symbol = NoSymbol;
    unsigned int consumed = 0;
    // Only Num Lock may change the symbol: Shift and Caps Lock leave the virtual key alone.
    XkbLookupKeySym(state.display, static_cast<KeyCode>(event.keycode),
                    event.state & state.numLockMask, &consumed, &symbol);
    return VirtualKeyFromKeysym(symbol);
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

void Dispatch(WindowState& state, XEvent& event) {
    WindowEvents* events = state.events;
    switch (event.type) {
    case KeyPress: {
        const std::uint16_t key = TranslateKey(state, event.xkey);
        if (key == VK_CAPITAL) {
            // The server locks Caps Lock on the press but unlocks it only on the release, so
            // while its press is handled the new state is the reverse of the one before it.
            state.capsLockDuringPress = (event.xkey.state & LockMask) ? 0 : 1;
            events->OnKeyDown(key);
            state.capsLockDuringPress = -1;
        } else {
            events->OnKeyDown(key);
        }
        break;
    }
    case ButtonPress:
        // Buttons 4 to 7 are the wheel, which is no click on any system.
        if (event.xbutton.button < Button4 || event.xbutton.button > 7)
            events->OnMouseDown();
        break;
    case MotionNotify:
        TakeLatestMotion(state.display, event);
        events->OnMouseMove(event.xmotion.x, event.xmotion.y);
        break;
    case Expose:
        if (event.xexpose.window == state.view.window)
            state.paintPending = true;
        break;
    case ConfigureNotify:
        if (event.xconfigure.window == state.view.window && state.mapped)
            ReportSize(state, event.xconfigure.width, event.xconfigure.height);
        else if (event.xconfigure.window == state.frame && state.hosted)
            FollowHostSize(state, event.xconfigure.width, event.xconfigure.height);
        break;
    case DestroyNotify:
        if (state.hosted && (event.xdestroywindow.window == state.frame ||
                             event.xdestroywindow.window == state.view.window))
            state.hostGone = true;
        break;
    case ClientMessage:
        if (event.xclient.message_type == state.wmProtocols &&
            static_cast<Atom>(event.xclient.data.l[0]) == state.wmDeleteWindow)
            state.closeRequested = true;
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
    const std::uint64_t now = NowMilliseconds();
    Timer* due = nullptr;
    TimerId id = TimerTick;
    for (TimerId candidate : {TimerHideMouse, TimerTick}) {
        Timer& timer = state.TimerFor(candidate);
        if (timer.Enabled && timer.Due <= now && (due == nullptr || timer.Due < due->Due)) {
            due = &timer;
            id = candidate;
        }
    }
    if (due == nullptr)
        return false;
    // Late timers do not pile up: at most one firing per interval, as on Windows.
    due->Due += due->Interval;
    if (due->Due <= now)
        due->Due = now + due->Interval;
    state.events->OnTimer(id);
    return true;
}

void KeepServerSaverAway(WindowState& state) {
    // Under a host the server's idle clock must run on, so that the monitor can still sleep.
    if (state.hosted)
        return;
    const std::uint64_t now = NowMilliseconds();
    if (now - state.lastScreenSaverReset < ScreenSaverResetInterval)
        return;
    state.lastScreenSaverReset = now;
    XResetScreenSaver(state.display);
}

// Handles one pending thing, in the order Windows hands them out: input and other events, then
// a paint, then a timer. False when nothing was pending.
bool HandleOne(WindowState& state) {
    if (state.events == nullptr)
        return false;
    if (state.pointerReportPending) {
        state.pointerReportPending = false;
        state.events->OnMouseMove(state.pointerX, state.pointerY);
        return true;
    }
    if (XPending(state.display) > 0) {
        XEvent event;
        XNextEvent(state.display, &event);
        Dispatch(state, event);
        return true;
    }
    if (state.paintPending) {
        state.paintPending = false;
        state.events->OnPaint();
        return true;
    }
    return FireDueTimer(state);
}

// The close query runs once for every request made since the last look; true ends the loop.
bool CloseAllowed(WindowState& state) {
    return RunPendingCloseQuery(*state.events, state.closeRequested);
}

// The session ends without a close query; true when the loop must stop.
bool SessionEnded(X11Platform& platform, WindowState& state) {
    if (!platform.IsSessionEnding())
        return false;
    state.events->OnEndSession();
    state.events->OnClose();
    return true;
}

// Without an idle handler the loop sleeps until the next event, timer or termination signal.
void WaitForWork(WindowState& state) {
    std::uint64_t timeout = ScreenSaverResetInterval;
    const std::uint64_t now = NowMilliseconds();
    for (const Timer* timer : {&state.hideMouse, &state.tick})
        if (timer->Enabled)
            timeout = std::min(timeout, timer->Due > now ? timer->Due - now : 0);
    if (state.paintPending || state.pointerReportPending || timeout == 0)
        return;
    XFlush(state.display);
    if (XPending(state.display) > 0)
        return;
    pollfd sources[2] = {{ConnectionNumber(state.display), POLLIN, 0},
                         {TerminationPipe(), POLLIN, 0}};
    poll(sources, sources[1].fd >= 0 ? 2 : 1, static_cast<int>(timeout));
}

// The host's window takes the place of the saver window: its size and its end are all we watch.
// A window already gone ends the run at once.
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

void NoteViewSize(WindowState& state, int width, int height) {
    state.width = width;
    state.height = height;
}

// Hosts log what a hack writes to standard error.
void ReportFrameRate(WindowState& state) {
    const std::uint64_t now = NowMilliseconds();
    if (state.frameRateSince == 0)
        state.frameRateSince = now;
    ++state.frameRateFrames;
    const std::uint64_t elapsed = now - state.frameRateSince;
    if (elapsed < FrameRateInterval)
        return;
    std::fprintf(stderr, "lumivex-gl: %.1f fps\n",
                 static_cast<double>(state.frameRateFrames) * 1000.0 /
                     static_cast<double>(elapsed));
    state.frameRateSince = now;
    state.frameRateFrames = 0;
}

} // namespace

ViewSurface* SaverViewSurface(X11Platform::WindowState* state) {
    return state != nullptr && state->view.window != 0 ? &state->view : nullptr;
}

WindowEvents* ModalSaverWindowEvents(X11Platform::WindowState* state) {
    return state != nullptr && state->modal ? state->events : nullptr;
}

int RebuildViewWindow(X11Platform::WindowState* state, const XVisualInfo& visual) {
    if (state == nullptr)
        return BadWindow;
    const Window oldWindow = state->view.window;
    const Colormap oldColormap = state->viewColormap;
    GC oldGC = state->viewGC;
    // On failure nothing of the old view has been touched.
    if (const int code = MakeViewWindow(*state, visual.visual, visual.depth); code != 0)
        return code;
    XFreeGC(state->display, oldGC);
    XDestroyWindow(state->display, oldWindow);
    XFreeColormap(state->display, oldColormap);
    if (state->mapped)
        FocusView(*state);
    return 0;
}

std::uint16_t VirtualKeyFromKeysym(unsigned long keysym) {
    if (keysym >= XK_a && keysym <= XK_z)
        return static_cast<std::uint16_t>('A' + (keysym - XK_a));
    if ((keysym >= XK_A && keysym <= XK_Z) || (keysym >= XK_0 && keysym <= XK_9))
        return static_cast<std::uint16_t>(keysym);
    if (keysym >= XK_KP_0 && keysym <= XK_KP_9)
        return static_cast<std::uint16_t>(VK_NUMPAD0 + (keysym - XK_KP_0));
    if (keysym >= XK_F1 && keysym <= XK_F24)
        return static_cast<std::uint16_t>(112 + (keysym - XK_F1));
    switch (keysym) {
    case XK_BackSpace:
        return VK_BACK;
    case XK_Tab:
    case XK_ISO_Left_Tab:
        return 9;
    case XK_Clear:
    case XK_KP_Begin:
        return 12;
    case XK_Return:
    case XK_KP_Enter:
        return 13;
    case XK_Shift_L:
    case XK_Shift_R:
        return 16;
    case XK_Control_L:
    case XK_Control_R:
        return 17;
    case XK_Alt_L:
    case XK_Alt_R:
    case XK_Meta_L:
    case XK_Meta_R:
    case XK_ISO_Level3_Shift:
    case XK_Mode_switch:
        return VK_MENU;
    case XK_Pause:
        return 19;
    case XK_Caps_Lock:
        return VK_CAPITAL;
    case XK_Escape:
        return VK_ESCAPE;
    case XK_space:
    case XK_KP_Space:
        return 32;
    case XK_Prior:
    case XK_KP_Prior:
        return 33;
    case XK_Next:
    case XK_KP_Next:
        return 34;
    case XK_End:
    case XK_KP_End:
        return 35;
    case XK_Home:
    case XK_KP_Home:
        return 36;
    case XK_Left:
    case XK_KP_Left:
        return VK_LEFT;
    case XK_Up:
    case XK_KP_Up:
        return VK_UP;
    case XK_Right:
    case XK_KP_Right:
        return VK_RIGHT;
    case XK_Down:
    case XK_KP_Down:
        return VK_DOWN;
    case XK_Print:
        return 44;
    case XK_Insert:
    case XK_KP_Insert:
        return 45;
    case XK_Delete:
    case XK_KP_Delete:
        return VK_DELETE;
    case XK_Super_L:
        return 91;
    case XK_Super_R:
        return 92;
    case XK_Menu:
        return 93;
    case XK_KP_Multiply:
        return 106;
    case XK_KP_Add:
        return VK_ADD;
    case XK_KP_Separator:
        return 108;
    case XK_KP_Subtract:
        return VK_SUBTRACT;
    case XK_KP_Decimal:
        return 110;
    case XK_KP_Divide:
        return 111;
    case XK_Num_Lock:
        return VK_NUMLOCK;
    case XK_Scroll_Lock:
        return 145;
    case XK_semicolon:
        return 186;
    case XK_equal:
        return 187;
    case XK_comma:
        return 188;
    case XK_minus:
        return 189;
    case XK_period:
        return 190;
    case XK_slash:
        return 191;
    case XK_grave:
        return 192;
    case XK_bracketleft:
        return 219;
    case XK_backslash:
        return 220;
    case XK_bracketright:
        return 221;
    case XK_apostrophe:
        return 222;
    case XK_less:
        return 226;
    default:
        return VK_UNKNOWN;
    }
}

WindowHandle X11Platform::CreateSaverWindow(WindowEvents* events) {
    DestroySaverWindow();
    Display* display = XConnection();
    if (display == nullptr) {
        lastError_ = ENXIO;
        const char* name = XDisplayName(nullptr);
        throw EWin32Error(lastError_, std::string(std::strerror(ENXIO)) + " (X display \"" +
                                          (name != nullptr ? name : "") + "\")");
    }
    auto* state = new WindowState;
    window_ = state;
    errorState = state;
    state->display = display;
    state->events = events;
    state->previousErrorHandler = XSetErrorHandler(&ReportXError);
    state->view.display = display;
    state->view.screen = DefaultScreen(display);
    state->numLockMask = FindNumLockMask(display);
    if (hosted_) {
        MakeHostedFrame(*state, hostWindow_ != 0 ? hostWindow_ : DefaultRootWindow(display));
        state->invisibleCursor = MakeInvisibleCursor(display, state->frame);
        MakeInitialViewWindow(*this, *state);
        SetTimerEnabled(TimerTick, true);
        XFlush(display);
        return static_cast<WindowHandle>(state->frame);
    }
    const int screen = state->view.screen;
    NoteViewSize(*state, DisplayWidth(display, screen), DisplayHeight(display, screen));
    state->reportedWidth = state->width;
    state->reportedHeight = state->height;

    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = BlackPixel(display, screen);
    attributes.event_mask =
        KeyPressMask | ButtonPressMask | PointerMotionMask | StructureNotifyMask;
    state->frame = XCreateWindow(
        display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(state->width),
        static_cast<unsigned>(state->height), 0, CopyFromParent, InputOutput, CopyFromParent,
        CWOverrideRedirect | CWBackPixel | CWEventMask, &attributes);
    SetWindowHints(display, state->frame);
    state->wmProtocols = XInternAtom(display, "WM_PROTOCOLS", False);
    state->wmDeleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, state->frame, &state->wmDeleteWindow, 1);
    state->invisibleCursor = MakeInvisibleCursor(display, state->frame);
    MakeInitialViewWindow(*this, *state);
    state->hideMouse.Enabled = false;
    SetTimerEnabled(TimerTick, true);
    XFlush(display);
    return static_cast<WindowHandle>(state->frame);
}

void X11Platform::RunModal() {
    WindowState* state = window_;
    if (state == nullptr || state->events == nullptr)
        return;
    Display* display = state->display;
    // The grabs and the modal flag go with the loop, however it ends.
    struct LoopScope {
        WindowState& state;
        ~LoopScope() {
            state.modal = false;
            ReleaseInput(state);
        }
    } scope{*state};
    // Told to end before the window was even shown.
    if (SessionEnded(*this, *state))
        return;
    state->modal = true;
    ShowFrame(*state);
    if (!state->hosted) {
        GrabInput(*state);
        FocusView(*state);
        // Windows tells a window where the mouse is as soon as it appears under it.
        Window root = 0;
        Window child = 0;
        int rootX = 0;
        int rootY = 0;
        unsigned int buttons = 0;
        if (XQueryPointer(display, state->frame, &root, &child, &rootX, &rootY, &state->pointerX,
                          &state->pointerY, &buttons) != 0)
            state->pointerReportPending = true;
    }

    for (;;) {
        if (SessionEnded(*this, *state))
            break;
        KeepServerSaverAway(*state);
        if (HandleOne(*state)) {
            if (CloseAllowed(*state))
                break;
            continue;
        }
        if (state->idleInstalled) {
            state->events->OnIdle();
            if (frameRateReport_)
                ReportFrameRate(*state);
            if (CloseAllowed(*state))
                break;
        } else {
            if (CloseAllowed(*state))
                break;
            WaitForWork(*state);
        }
    }
}

void X11Platform::DestroySaverWindow() {
    if (window_ == nullptr)
        return;
    ReleaseViewContexts(glx_);
    Destroy(window_);
    window_ = nullptr;
}

void X11Platform::Destroy(WindowState* state) {
    if (state == nullptr)
        return;
    Display* display = state->display;
    ReleaseInput(*state);
    // The host destroyed the view with its window.
    if (state->hostGone)
        state->view.window = 0;
    FreeViewWindow(*state);
    if (state->frame != 0 && !state->hosted)
        XDestroyWindow(display, state->frame);
    if (state->invisibleCursor != 0)
        XFreeCursor(display, state->invisibleCursor);
    XSync(display, False);
    XSetErrorHandler(state->previousErrorHandler);
    if (errorState == state)
        errorState = nullptr;
    delete state;
}

void X11Platform::HideApplicationWindow() {}

void X11Platform::GetScreenSize(int& width, int& height) {
    // Hosted, the screen the saver covers is the host's window.
    if (window_ != nullptr && window_->hosted) {
        width = window_->hostWidth;
        height = window_->hostHeight;
        return;
    }
    Display* display = XConnection();
    width = display != nullptr ? DisplayWidth(display, DefaultScreen(display)) : 0;
    height = display != nullptr ? DisplayHeight(display, DefaultScreen(display)) : 0;
}

void X11Platform::SetWindowBounds(int left, int top, int width, int height) {
    WindowState* state = window_;
    if (state == nullptr)
        return;
    width = std::max(width, 0);
    height = std::max(height, 0);
    NoteViewSize(*state, width, height);
    if (state->hosted) {
        // The host's window is the host's: only the view inside it moves.
        if (width == 0 || height == 0) {
            XUnmapWindow(state->display, state->view.window);
            state->mapped = false;
        } else {
            XMoveResizeWindow(state->display, state->view.window, left, top,
                              static_cast<unsigned>(width), static_cast<unsigned>(height));
            if (state->modal)
                ShowFrame(*state);
        }
    } else if (width == 0 || height == 0) {
        // X has no empty windows; an empty saver window is a hidden one.
        XUnmapWindow(state->display, state->frame);
        state->mapped = false;
    } else {
        XMoveResizeWindow(state->display, state->frame, left, top, static_cast<unsigned>(width),
                          static_cast<unsigned>(height));
        XResizeWindow(state->display, state->view.window, static_cast<unsigned>(width),
                      static_cast<unsigned>(height));
        if (state->modal)
            ShowFrame(*state);
    }
    XFlush(state->display);
    ReportSize(*state, width, height);
}

void X11Platform::SetWindowColor(std::uint32_t color) {
    WindowState* state = window_;
    if (state == nullptr || state->hosted)
        return;
    Display* display = state->display;
    const int screen = state->view.screen;
    XSetWindowBackground(
        display, state->frame,
        PixelOf(display, DefaultVisual(display, screen), DefaultColormap(display, screen), color));
    XClearWindow(display, state->frame);
    XFlush(display);
}

void X11Platform::SetViewCursor(int cursor) {
    WindowState* state = window_;
    if (state == nullptr)
        return;
    const bool hidden = cursor == crNone;
    if (hidden == state->viewCursorHidden)
        return;
    state->viewCursorHidden = hidden;
    ApplyViewCursor(*state);
    XFlush(state->display);
}

void X11Platform::SetViewFocus() {
    if (window_ != nullptr)
        FocusView(*window_);
}

void X11Platform::SetTimerEnabled(TimerId timer, bool enabled) {
    if (window_ == nullptr)
        return;
    Timer& target = window_->TimerFor(timer);
    // A running timer is not restarted: its period counts from when it was first enabled.
    if (enabled && !target.Enabled)
        target.Due = NowMilliseconds() + target.Interval;
    target.Enabled = enabled;
}

bool X11Platform::IsTimerEnabled(TimerId timer) {
    return window_ != nullptr && window_->TimerFor(timer).Enabled;
}

void X11Platform::SetIdleHandler(bool installed) {
    if (window_ != nullptr)
        window_->idleInstalled = installed;
}

bool X11Platform::IsCapsLockOn() {
    // The host owns the keyboard: no interactive mode.
    if (hosted_)
        return false;
    if (window_ != nullptr && window_->capsLockDuringPress >= 0)
        return capsLockSeen_ = window_->capsLockDuringPress == 1;
    if (displayLost_)
        return capsLockSeen_;
    Display* display = XConnection();
    if (display == nullptr)
        return false;
    XkbStateRec keyboard{};
    if (XkbGetState(display, XkbUseCoreKbd, &keyboard) != Success)
        return false;
    return capsLockSeen_ = (keyboard.locked_mods & LockMask) != 0;
}

void X11Platform::RequestClose() {
    if (window_ != nullptr)
        window_->closeRequested = true;
}

bool X11Platform::IsSessionEnding() {
    return TerminationRequested() || (window_ != nullptr && window_->hostGone);
}

std::string X11Platform::HostIn(unsigned long window) {
    Display* display = XConnection();
    if (display == nullptr) {
        const char* name = XDisplayName(nullptr);
        return std::string("cannot open the X display \"") + (name != nullptr ? name : "") + "\"";
    }
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

void X11Platform::SetFrameRateReport(bool on) {
    frameRateReport_ = on;
}

void X11Platform::ProcessMessages() {
    WindowState* state = window_;
    if (state == nullptr)
        return;
    KeepServerSaverAway(*state);
    for (int handled = 0; handled < MaxEventsPerProcessMessages && HandleOne(*state); ++handled) {
    }
}

void X11Platform::InvalidateView() {
    if (window_ != nullptr)
        window_->paintPending = true;
}

void X11Platform::FillViewRect(std::uint32_t color, int width, int height) {
    WindowState* state = window_;
    if (state == nullptr || state->viewGC == nullptr || width <= 0 || height <= 0)
        return;
    Display* display = state->display;
    XSetForeground(display, state->viewGC,
                   PixelOf(display, state->viewVisual, state->viewColormap, color));
    XFillRectangle(display, state->view.window, state->viewGC, 0, 0, static_cast<unsigned>(width),
                   static_cast<unsigned>(height));
    // The outline of the default black pen, as a canvas rectangle has it.
    XSetForeground(display, state->viewGC,
                   PixelOf(display, state->viewVisual, state->viewColormap, 0));
    XDrawRectangle(display, state->view.window, state->viewGC, 0, 0,
                   static_cast<unsigned>(width - 1), static_cast<unsigned>(height - 1));
    XFlush(display);
}

void X11Platform::GetViewSize(int& width, int& height) {
    width = window_ != nullptr ? window_->width : 0;
    height = window_ != nullptr ? window_->height : 0;
}

} // namespace lumivex
