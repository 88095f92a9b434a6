// The saver window on X11: an override-redirect window over the whole screen holding the view
// (a child window with the GL visual), keyboard and pointer grabbed while its modal loop runs.
// Hosted by a screen-saver host, the host's window takes the place of our own (x11_hosted.cpp);
// the loop's events, timers and wait are in x11_events.cpp.
//
// Relies on: XConnection() for the display; the GL library loaded before the window is created
// (otherwise the view is remade with the GL visual when its context is made).
#include "gl/OpenGL12.h"
#include "platform/ScopeExit.h"
#include "platform/x11/x11_errors.h"
#include "platform/x11/x11_glx.h"
#include "platform/x11/x11_session.h"
#include "platform/x11/x11_window_state.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/keysym.h>

#include <time.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>

namespace lumivex {

namespace {

// Another client may hold a grab for a moment when the saver starts (a key still down, a menu).
constexpr int GrabAttempts = 40;
constexpr int GrabRetryMilliseconds = 25;
constexpr int MapWaitMilliseconds = 2000;

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

void NoteViewSize(WindowState& state, int width, int height) {
    state.width = width;
    state.height = height;
}

// Our own window over the whole screen, black until the view paints; the window system's close
// goes through the close query.
void MakeSaverFrame(WindowState& state) {
    Display* display = state.display;
    const int screen = state.view.screen;
    NoteViewSize(state, DisplayWidth(display, screen), DisplayHeight(display, screen));
    state.reportedWidth = state.width;
    state.reportedHeight = state.height;
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = BlackPixel(display, screen);
    attributes.event_mask =
        KeyPressMask | ButtonPressMask | PointerMotionMask | StructureNotifyMask;
    state.frame = XCreateWindow(
        display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(state.width),
        static_cast<unsigned>(state.height), 0, CopyFromParent, InputOutput, CopyFromParent,
        CWOverrideRedirect | CWBackPixel | CWEventMask, &attributes);
    SetWindowHints(display, state.frame);
    state.wmProtocols = XInternAtom(display, "WM_PROTOCOLS", False);
    state.wmDeleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, state.frame, &state.wmDeleteWindow, 1);
}

// Windows tells a window where the mouse is as soon as it appears under it.
void NotePointer(WindowState& state) {
    Window root = 0;
    Window child = 0;
    int rootX = 0;
    int rootY = 0;
    unsigned int buttons = 0;
    if (XQueryPointer(state.display, state.frame, &root, &child, &rootX, &rootY, &state.pointerX,
                      &state.pointerY, &buttons) != 0)
        state.pointerReportPending = true;
}

} // namespace

std::uint64_t NowMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u +
           static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

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

void ReportSize(WindowState& state, int width, int height) {
    if (width == state.reportedWidth && height == state.reportedHeight)
        return;
    state.reportedWidth = width;
    state.reportedHeight = height;
    if (state.events != nullptr)
        state.events->OnResize(width, height);
}

X11Platform::WindowState::WindowState(Display* display, WindowEvents* events)
    : display(display), events(events), loop(*this, events) {
    view.display = display;
    view.screen = DefaultScreen(display);
    numLockMask = FindNumLockMask(display);
}

X11Platform::WindowState::~WindowState() {
    ReleaseInput(*this);
    // The host destroyed the view with its window.
    if (hostGone)
        view.window = 0;
    FreeViewWindow(*this);
    if (frame != 0 && !hosted)
        XDestroyWindow(display, frame);
    if (invisibleCursor != 0)
        XFreeCursor(display, invisibleCursor);
    XSync(display, False);
}

void X11Platform::StateDeleter::operator()(WindowState* state) const {
    std::default_delete<WindowState>()(state);
}

ViewSurface* SaverViewSurface(X11Platform::WindowState* state) {
    return state != nullptr && state->view.window != 0 ? &state->view : nullptr;
}

WindowEvents* ModalSaverWindowEvents(X11Platform::WindowState* state) {
    return state != nullptr && state->modal ? state->events : nullptr;
}

bool SaverHostGone(X11Platform::WindowState* state) {
    return state != nullptr && HostGone(*state);
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

WindowHandle X11Platform::CreateSaverWindow(WindowEvents* events) {
    DestroySaverWindow();
    Display* display = XConnection();
    if (display == nullptr) {
        lastError_ = ENXIO;
        throw EPlatformError(lastError_, NoDisplayProblem());
    }
    window_ = std::make_unique<WindowState>(display, events);
    WindowState& state = *window_;
    if (hosted_)
        MakeHostedFrame(state, hostWindow_ != 0 ? hostWindow_ : DefaultRootWindow(display));
    else
        MakeSaverFrame(state);
    // The host's pointer is the host's business.
    if (!state.hosted)
        state.invisibleCursor = MakeInvisibleCursor(display, state.frame);
    MakeInitialViewWindow(*this, state);
    SetTimerEnabled(TimerTick, true);
    XSync(display, False);
    SettleXErrors();
    return static_cast<WindowHandle>(state.frame);
}

void X11Platform::RunModal() {
    WindowState* state = window_.get();
    if (state == nullptr || state->events == nullptr)
        return;
    // The grabs and the modal flag go with the loop, however it ends.
    const ScopeExit release([state] {
        state->modal = false;
        ReleaseInput(*state);
    });
    // Told to end before the window was even shown.
    if (state->loop.EndIfSessionEnding())
        return;
    state->modal = true;
    ShowFrame(*state);
    if (!state->hosted) {
        GrabInput(*state);
        FocusView(*state);
        NotePointer(*state);
    }
    state->loop.Run();
}

void X11Platform::DestroySaverWindow() {
    // No context may outlive the view window it draws on.
    if (window_ != nullptr)
        ReleaseViewContexts(glx_.get());
    window_.reset();
    // The overlay's GL functions are those of the library loaded for this window.
    frameRate_.reset();
    SettleXErrors();
}

void X11Platform::SettleXErrors() {
    if (display_ == nullptr || !XErrorsLogged())
        return;
    if (window_ != nullptr)
        lumivex::SettleXErrors(*window_);
    else
        FlushXErrorLog(display_, hosted_ && WindowGone(display_, hostWindow_));
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
    WindowState* state = window_.get();
    if (state == nullptr)
        return;
    width = std::max(width, 0);
    height = std::max(height, 0);
    NoteViewSize(*state, width, height);
    if (state->hostGone) {
        // Nothing left to move.
    } else if (state->hosted) {
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
    WindowState* state = window_.get();
    if (state == nullptr)
        return;
    state->background = color;
    if (state->hosted)
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
    const bool hidden = cursor == crNone;
    if (window_ == nullptr || window_->viewCursorHidden == hidden)
        return;
    window_->viewCursorHidden = hidden;
    ApplyViewCursor(*window_);
    XFlush(window_->display);
}

void X11Platform::SetViewFocus() {
    if (window_ != nullptr)
        FocusView(*window_);
}

void X11Platform::SetTimerEnabled(TimerId timer, bool enabled) {
    if (window_ == nullptr)
        return;
    window_->timers.SetEnabled(timer, enabled, NowMilliseconds());
}

bool X11Platform::IsTimerEnabled(TimerId timer) {
    return window_ != nullptr && window_->timers.IsEnabled(timer);
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

bool X11Platform::IsSessionEnding() {
    return window_ != nullptr ? window_->IsSessionEnding() : TerminationRequested();
}

void X11Platform::SetFrameRateReport(bool on) {
    frameRateReport_ = on;
}

ModalLoop* X11Platform::SaverLoop() {
    return window_ != nullptr ? &window_->loop : nullptr;
}

void X11Platform::InvalidateView() {
    if (window_ != nullptr)
        window_->paintPending = true;
}

void X11Platform::FillViewRect(std::uint32_t color, int width, int height) {
    WindowState* state = window_.get();
    if (state == nullptr || state->viewGC == nullptr || state->hostGone || width <= 0 ||
        height <= 0)
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
