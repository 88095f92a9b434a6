// The state the files of the Wayland back end share: the connection and its globals
// (wayland_display.cpp), the saver window with one surface per output (wayland_surface.cpp,
// wayland_window.cpp), the input queue (wayland_input.cpp) and the EGL context
// (wayland_egl.cpp).
#pragma once

#include "gl/BatchingGL.h"
#include "gl/FrameRateOverlay.h"
#include "platform/ModalLoop.h"
#include "platform/PassPacer.h"
#include "platform/SaverTimers.h"
#include "platform/posix/posix_signals.h"
#include "platform/posix/posix_view_limit.h"
#include "platform/wayland/wayland_platform.h"

#include <EGL/egl.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct xdg_wm_base;
struct xdg_surface;
struct xdg_toplevel;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;
struct wp_viewporter;
struct wp_viewport;
struct wp_fractional_scale_manager_v1;
struct wp_fractional_scale_v1;
struct wl_egl_window;

namespace lumivex {

// One output of the compositor as it describes itself.
struct WaylandOutput {
    WaylandOutput() = default;
    ~WaylandOutput();
    WaylandOutput(const WaylandOutput&) = delete;
    WaylandOutput& operator=(const WaylandOutput&) = delete;

    WaylandPlatform::DisplayState* display = nullptr;
    std::uint32_t global = 0;
    wl_output* output = nullptr;
    zxdg_output_v1* xdgOutput = nullptr;
    std::string name;
    int modeWidth = 0; // the current mode, in device pixels
    int modeHeight = 0;
    int scale = 1;
    int logicalWidth = 0; // from xdg-output, 0 when not told
    int logicalHeight = 0;
    bool described = false; // its first description is complete
    bool gone = false;      // its global went away; its surface goes with it

    // The output's size in surface coordinates, for a configure that leaves the size to us.
    int SurfaceWidth() const;
    int SurfaceHeight() const;
};

struct WaylandPlatform::DisplayState {
    ~DisplayState();

    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_compositor* compositor = nullptr;
    xdg_wm_base* wmBase = nullptr;
    zxdg_output_manager_v1* outputManager = nullptr;
    // Both or neither: a fractional scale is drawn at the scaled size and shown through a viewport.
    wp_viewporter* viewporter = nullptr;
    wp_fractional_scale_manager_v1* fractionalScale = nullptr;
    std::uint32_t seatGlobal = 0; // bound for each saver window; 0 when there is no seat
    std::uint32_t seatVersion = 0;
    std::vector<std::unique_ptr<WaylandOutput>> outputs;
    bool outputsChanged = false; // one came or went since the saver window last followed them
};

// The saver window's surface on one output.
struct WaylandSurface {
    WaylandPlatform::WindowState* window = nullptr;
    WaylandOutput* output = nullptr;
    wl_surface* surface = nullptr;
    xdg_surface* xdgSurface = nullptr;
    xdg_toplevel* toplevel = nullptr;
    wl_egl_window* eglWindow = nullptr;
    EGLSurface eglSurface = EGL_NO_SURFACE;
    wl_callback* frame = nullptr;
    wp_viewport* viewport = nullptr;
    wp_fractional_scale_v1* fraction = nullptr;
    int pendingWidth = 0; // of the toplevel's last configure, surface coordinates
    int pendingHeight = 0;
    int logicalWidth = 0; // as configured, surface coordinates
    int logicalHeight = 0;
    int preferredScale = 0; // in 120ths, as the compositor prefers it; 0 = not told
    int width = 0;          // in device pixels, as drawn
    int height = 0;
    double scale = 1; // device pixels a surface unit
    bool configured = false;
    bool frameDue = true;           // the compositor wants the next frame
    std::uint64_t shownPicture = 0; // the picture it shows, as PassPacer::Drawn counted it
    ViewRect rect;                  // where its picture is in the view
};

// Input as the window system queues it, handed out one at a time by the modal loop.
struct WaylandInput {
    enum Kind : std::uint8_t { Key, MouseDown, MouseMove, Close } Kind = Key;
    std::uint16_t VirtualKey = 0;
    int CapsLock = -1; // of a key: Caps Lock's state while it is handled (1 = on)
    int X = 0;
    int Y = 0;
};

// Input as a window system queues it: one pending move at a time, at the latest position, as
// Windows keeps it; a key pressed again and again (a held key, a burst) is stored once with its
// count; a flood beyond what anybody types is dropped, not stored, but never a Caps Lock, which
// decides whether the keys before it were edits to keep.
class WaylandInputQueue {
  public:
    static constexpr std::size_t Capacity = 64;
    void Push(const WaylandInput& input);
    bool Pop(WaylandInput& input);
    bool Empty() const { return count_ == 0; }

  private:
    WaylandInput& Last() { return items_[(first_ + count_ - 1) % Capacity]; }
    std::array<WaylandInput, Capacity> items_{};
    std::array<std::uint16_t, Capacity> times_{}; // how often each is handed out
    std::size_t first_ = 0;
    std::size_t count_ = 0;
};

struct WaylandKeyboard {
    ~WaylandKeyboard();
    xkb_context* context = nullptr;
    xkb_keymap* keymap = nullptr;
    xkb_state* state = nullptr;   // every modifier, as the compositor tells them
    xkb_state* numLock = nullptr; // only Num Lock, for the keypad's symbols
    xkb_mod_mask_t numLockMask = 0;
    xkb_mod_index_t capsLockIndex = XKB_MOD_INVALID;
    // A key held down repeats as the compositor says (clients repeat keys themselves on
    // Wayland), as the X server repeats it.
    int repeatRate = 25; // a second; 0 = no repeat
    int repeatDelay = 600;
    xkb_keycode_t repeatKey = 0; // held and repeating; 0 = none
    std::uint64_t repeatDue = 0;
};

struct WaylandPlatform::WindowState final : ModalLoop::Backend {
    WindowState(WaylandPlatform& platform, DisplayState& display, WindowEvents* events);
    ~WindowState();
    WindowState(const WindowState&) = delete;
    WindowState& operator=(const WindowState&) = delete;

    WaylandPlatform& platform;
    DisplayState& display;
    WindowEvents* events = nullptr;
    ModalLoop loop;
    std::vector<std::unique_ptr<WaylandSurface>> surfaces;
    SaverTimers timers;
    PassPacer pacer;

    wl_seat* seat = nullptr;
    wl_keyboard* keyboard = nullptr;
    wl_pointer* pointer = nullptr;
    WaylandKeyboard keys;
    bool cursorHidden = true;
    std::uint32_t pointerSerial = 0;
    wl_surface* pointerSurface = nullptr;
    struct PointerPlace {
        wl_surface* surface = nullptr;
        wl_fixed_t x = 0;
        wl_fixed_t y = 0;
    } pointerPlace; // where the pointer was last told to be

    WaylandInputQueue input;
    int capsLockDuringPress = -1; // while a key is handled: Caps Lock's state then, else -1

    // The view: the outputs' pictures side by side, in device pixels, cut to what the GL draws.
    int width = 0;
    int height = 0;
    int layoutWidth = 0; // of all the outputs' pictures side by side, uncut
    int layoutHeight = 0;
    int reportedWidth = -1;
    int reportedHeight = -1;
    bool shown = false;
    bool layoutChanged = false;
    bool paintPending = false;
    bool modal = false;
    FrameRateOverlay frameRate;

    void Queue(const WaylandInput& input);
    // Reads and dispatches what the compositor sent, waiting up to `timeout` milliseconds
    // (0: not at all, -1: until something arrives); a lost connection ends the program.
    void Pump(int timeout);
    bool HandlePendingEvent() override;
    void WaitForEvent() override;
    bool IsSessionEnding() override;
    bool IdleDue() override;
};

using WaylandWindow = WaylandPlatform::WindowState;

struct WaylandPlatform::EglState {
    ~EglState();
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLConfig config = nullptr;
    EGLContext context = EGL_NO_CONTEXT;
    BatchingGL layer;
    void (*flush)() = nullptr; // the context's glFlush
    bool created = false;      // the layer has its objects
};

std::uint64_t WaylandMilliseconds();
// The same monotonic clock in fractions of a millisecond: a showing may take well under one.
double WaylandClock();
// Reads and dispatches what the compositor sends within `timeout` ms (a termination signal ends
// the wait); false when the connection is lost.
bool ReadCompositor(wl_display* display, int timeout);

// wayland_surface.cpp
// A surface's size in device pixels and the device pixels of one surface unit, from its
// configured size, its output's whole scale and the compositor's preferred fractional scale (in
// 120ths, 0 when not told), which only a surface with a viewport can use.
struct SurfacePixels {
    int Width = 0;
    int Height = 0;
    double Scale = 1;
    bool Fractional = false;
};
SurfacePixels PixelsOf(int logicalWidth, int logicalHeight, int outputScale, int preferredScale,
                       bool viewport);
// One full-screen surface on each output, at start-up and whenever outputs come or go: a new
// output gets one, an output gone takes its own with it. False when the window has none.
bool FollowOutputs(WaylandWindow& window);
void DestroySurface(WaylandSurface& surface, EGLDisplay egl);
// Waits (up to a deadline) until every surface knows its size.
void AwaitConfigures(WaylandWindow& window);
// Lays the outputs' pictures side by side in the view, which is cut to what the GL draws; true
// when the view's size or an output's place in it changed.
bool LayOutSurfaces(WaylandWindow& window);
// Why the outputs side by side are more than the GL draws, empty when they fit: the uncut layout
// tells, as the view is already cut to what fits.
std::string LayoutTooLarge(const WaylandWindow& window);
// The outputs' pictures within the view, each cut to it; those wholly outside it are left out.
std::vector<ViewRect> ViewMonitors(const WaylandWindow& window);
// Asks for the frame after the one being committed.
void RequestFrame(WaylandSurface& surface);

// wayland_input.cpp
// The seat keyboard's events, each given the window as its data.
extern const wl_keyboard_listener KeyboardListener;
void StartInput(WaylandWindow& window);
void StopInput(WaylandWindow& window);
void ApplyCursor(WaylandWindow& window);
// A key goes down or up at `now`: a key that repeats starts or stops repeating.
void HoldKey(WaylandKeyboard& keys, xkb_keycode_t keycode, bool pressed, std::uint64_t now);
// Whether the held key repeats at `now`; `wait` becomes at most the time until its next repeat.
bool TakeRepeat(WaylandKeyboard& keys, std::uint64_t now, std::uint64_t& wait);
// Queues the repeat of a held key when it is due; milliseconds until the next one, at most
// `limit`.
std::uint64_t RepeatHeldKey(WaylandWindow& window, std::uint64_t now, std::uint64_t limit);
// The virtual key and the Caps Lock state during the press of the key with this xkb keycode.
std::uint16_t TranslateKey(WaylandKeyboard& keys, xkb_keycode_t keycode, int& capsLockDuring);
// Compiles a keymap and its two states; false when the text is no keymap.
bool LoadKeymap(WaylandKeyboard& keys, const char* text);
void UpdateModifiers(WaylandKeyboard& keys, std::uint32_t depressed, std::uint32_t latched,
                     std::uint32_t locked, std::uint32_t group);
bool CapsLockLocked(const WaylandKeyboard& keys);

// wayland_egl.cpp
// EGL on the connection with a context of OpenGL ES 3; empty, or why not.
std::string StartEgl(WaylandPlatform::EglState& egl, wl_display* display);
// The surface's EGL window at its size; made when missing.
void FollowSurfaceSize(WaylandPlatform::EglState* egl, WaylandSurface& surface);
// The context stops drawing on a surface about to go: it moves to another of the window's, or to
// none.
void LeaveSurface(WaylandPlatform::EglState* egl, WaylandWindow& window,
                  const WaylandSurface& leaving);

} // namespace lumivex
