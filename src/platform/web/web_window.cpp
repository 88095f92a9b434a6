// The saver window of the page: the canvas, which fills the browser's window in device pixels
// and follows its size; keys and the mouse queued as a window system queues them; the two timers
// on the browser's clock; and the modal loop, run from requestAnimationFrame.
//
// Each animation frame runs the modal loop's frame (ModalLoop::RunFrame: what is pending - input,
// a resize, a paint, due timers - and the idle passes due on the program's clock, each after the
// events before it), then shows what was drawn, once. The passes keep the pace of Rest and of the
// drawing, not the display's: as many as are due, at Rest 0 as many as fit in a share of the frame
// (PassPacer). A hidden tab gets no frames and so draws nothing; its timers keep count and catch up
// when it is shown again. The page is never closed by the saver: close requests are dropped.
#include "platform/web/web_platform.h"

#include "platform/ModalLoop.h"
#include "platform/SaverTimers.h"
#include "platform/web/web_keys.h"
#include "platform/web/web_page.h"
#include "shell/unInitialize.h"

#include <emscripten/emscripten.h>
#include <emscripten/eventloop.h>
#include <emscripten/html5.h>

#include <array>
#include <cmath>
#include <optional>

namespace lumivex {

namespace {

constexpr const char* Canvas = "#canvas";
constexpr std::size_t MaxQueuedInput = 64;
constexpr WindowHandle SaverWindow = 1;
constexpr std::uint16_t VK_F = 'F';

struct Input {
    enum Kind : std::uint8_t { Key, MouseDown, MouseMove } Kind = Key;
    std::uint16_t VirtualKey = 0;
    bool CapsLock = false;
    int X = 0;
    int Y = 0;
};

struct WindowState {
    WebPlatform* platform = nullptr;
    WindowEvents* events = nullptr;
    std::array<Input, MaxQueuedInput> queue{};
    std::size_t first = 0;
    std::size_t queued = 0;
    bool paintPending = false;
    bool resizePending = false;
    int width = 0; // of the canvas, in device pixels
    int height = 0;
    int reportedWidth = -1;
    int reportedHeight = -1;
    bool shown = false; // the bounds are not empty
    SaverTimers timers;
    std::optional<ModalLoop> loop; // with the saver window
    bool modal = false;
    bool ending = false;
    bool capsLock = false;       // as the last handled event had it
    bool capsLockQueued = false; // as the last queued key had it
};

WindowState window;

// The browser's clock, in whole milliseconds, for the timers.
std::uint64_t Milliseconds() {
    return static_cast<std::uint64_t>(emscripten_get_now());
}

void Queue(const Input& input) {
    if (window.events == nullptr || window.ending)
        return;
    // One pending move at a time, at the latest position, as Windows keeps it.
    if (input.Kind == Input::MouseMove && window.queued > 0) {
        Input& last = window.queue[(window.first + window.queued - 1) % MaxQueuedInput];
        if (last.Kind == Input::MouseMove) {
            last = input;
            return;
        }
    }
    if (window.queued == MaxQueuedInput)
        return; // nobody types that fast; a flood is dropped, not stored
    window.queue[(window.first + window.queued) % MaxQueuedInput] = input;
    ++window.queued;
}

void MeasureCanvas(int& width, int& height) {
    double cssWidth = 0;
    double cssHeight = 0;
    emscripten_get_element_css_size(Canvas, &cssWidth, &cssHeight);
    const double ratio = emscripten_get_device_pixel_ratio();
    width = std::max(1, static_cast<int>(std::lround(cssWidth * ratio)));
    height = std::max(1, static_cast<int>(std::lround(cssHeight * ratio)));
}

void ReportSize() {
    if (!window.shown || window.events == nullptr ||
        (window.width == window.reportedWidth && window.height == window.reportedHeight))
        return;
    window.reportedWidth = window.width;
    window.reportedHeight = window.height;
    window.events->OnResize(window.width, window.height);
}

// The canvas follows the window: a new size, in device pixels, gives a new drawing area, which
// starts out cleared, so the view repaints.
void FollowCanvasSize() {
    window.resizePending = false;
    int width = 0;
    int height = 0;
    MeasureCanvas(width, height);
    if (width == window.width && height == window.height)
        return;
    window.width = width;
    window.height = height;
    window.platform->ResizeGL(width, height);
    ReportSize();
    window.paintPending = true;
}

// The browser tells the state of Caps Lock before the press on some systems and after it on
// others; the press itself always turns over the state the page last knew.
EM_BOOL OnKeyDown(int, const EmscriptenKeyboardEvent* event, void*) {
    const int locks = PageKeyLocks();
    const std::uint16_t key = VirtualKeyFromCode(event->code, (locks & 2) != 0);
    if (key == VK_CAPITAL && event->repeat)
        return EM_FALSE;
    const bool capsLock = key == VK_CAPITAL ? !window.capsLockQueued : (locks & 1) != 0;
    window.capsLockQueued = capsLock;
    if (key == VK_F)
        PageToggleFullscreen();
    Queue({Input::Key, key, capsLock, 0, 0});
    // Keys the saver uses stay in the page; the browser's own (F5, F11, ...) go on to it.
    return key == VK_BACK || key == VK_MENU || (key >= VK_LEFT && key <= VK_DOWN) ? EM_TRUE
                                                                                  : EM_FALSE;
}

// Where Caps Lock gives no key-down as it goes off (macOS), its release says so.
EM_BOOL OnKeyUp(int, const EmscriptenKeyboardEvent* event, void*) {
    if (std::string_view(event->code) == "CapsLock" && window.capsLockQueued &&
        (PageKeyLocks() & 1) == 0) {
        window.capsLockQueued = false;
        Queue({Input::Key, VK_CAPITAL, false, 0, 0});
    }
    return EM_FALSE;
}

EM_BOOL OnMouseDown(int, const EmscriptenMouseEvent*, void*) {
    PageToggleFullscreen();
    Queue({Input::MouseDown, 0, window.capsLockQueued, 0, 0});
    return EM_FALSE;
}

EM_BOOL OnMouseMove(int, const EmscriptenMouseEvent* event, void*) {
    const double ratio = emscripten_get_device_pixel_ratio();
    Queue({Input::MouseMove, 0, window.capsLockQueued,
           static_cast<int>(std::lround(event->targetX * ratio)),
           static_cast<int>(std::lround(event->targetY * ratio))});
    return EM_FALSE;
}

EM_BOOL OnResize(int, const EmscriptenUiEvent*, void*) {
    window.resizePending = true;
    return EM_FALSE;
}

void Deliver(const Input& input) {
    window.capsLock = input.CapsLock;
    switch (input.Kind) {
    case Input::Key:
        window.events->OnKeyDown(input.VirtualKey);
        break;
    case Input::MouseDown:
        window.events->OnMouseDown();
        break;
    case Input::MouseMove:
        window.events->OnMouseMove(input.X, input.Y);
        break;
    }
}

// Fires the timer that is due first; false when none is due.
bool FireDueTimer() {
    TimerId id = TimerTick;
    if (!window.timers.TakeDue(Milliseconds(), id))
        return false;
    window.events->OnTimer(id);
    return true;
}

// Handles one pending thing: input, then a paint, then a timer. False when nothing was pending.
bool HandleOne() {
    if (window.events == nullptr || window.ending)
        return false;
    if (window.resizePending)
        FollowCanvasSize();
    if (window.queued > 0) {
        const Input input = window.queue[window.first];
        window.first = (window.first + 1) % MaxQueuedInput;
        --window.queued;
        Deliver(input);
        return true;
    }
    if (window.paintPending && window.shown) {
        window.paintPending = false;
        window.events->OnPaint();
        window.platform->Pacer().Drew();
        return true;
    }
    return FireDueTimer();
}

// The loop's primitives in the page: it never waits, the browser does.
class PageLoop final : public ModalLoop::Backend {
  public:
    bool HandlePendingEvent() override { return HandleOne(); }
    void WaitForEvent() override {}
    bool IsSessionEnding() override { return window.ending; }
    bool IdleDue() override { return window.platform->Pacer().PassDue(emscripten_get_now()); }
    void BeforeIdle() override { window.platform->Pacer().BeginPass(emscripten_get_now()); }
    void AfterIdle() override { window.platform->Pacer().Drew(); }
};

PageLoop pageLoop;

EM_BOOL AnimationFrame(double, void*) {
    if (!window.loop || !window.modal || window.ending)
        return EM_FALSE;
    PassPacer& pacer = window.platform->Pacer();
    pacer.BeginFrame(emscripten_get_now());
    if (!window.loop->RunFrame())
        return EM_FALSE;
    if (pacer.Unshown())
        window.platform->PresentGL();
    return EM_TRUE;
}

} // namespace

WindowHandle WebPlatform::CreateSaverWindow(WindowEvents* events) {
    window.platform = this; // one saver window a page

    window.events = events;
    window.loop.emplace(pageLoop, events);
    MeasureCanvas(window.width, window.height);
    ResizeGL(window.width, window.height);
    window.timers.KeepCount(TimerTick);
    window.timers.SetEnabled(TimerTick, true, Milliseconds());
    const char* target = EMSCRIPTEN_EVENT_TARGET_WINDOW;
    emscripten_set_keydown_callback(target, nullptr, EM_FALSE, &OnKeyDown);
    emscripten_set_keyup_callback(target, nullptr, EM_FALSE, &OnKeyUp);
    emscripten_set_mousedown_callback(Canvas, nullptr, EM_FALSE, &lumivex::OnMouseDown);
    emscripten_set_mousemove_callback(Canvas, nullptr, EM_FALSE, &lumivex::OnMouseMove);
    emscripten_set_resize_callback(target, nullptr, EM_FALSE, &lumivex::OnResize);
    PageListenForHide();
    return SaverWindow;
}

void WebPlatform::RunModal() {
    if (window.events == nullptr)
        return;
    window.modal = true;
    emscripten_request_animation_frame_loop(&AnimationFrame, nullptr);
    // The browser's thread goes back to the browser for good: the loop goes on from its animation
    // frames, and the callers below stay as they are (emscripten does not unwind them) until the
    // page goes away.
    emscripten_unwind_to_js_event_loop();
}

void WebPlatform::EndSession() {
    if (window.ending)
        return;
    window.ending = true;
    if (window.loop && window.modal)
        window.loop->EndIfSessionEnding();
    FinishAbruptly();
}

bool WebPlatform::IsSessionEnding() {
    return window.ending;
}

void WebPlatform::DestroySaverWindow() {
    window.events = nullptr;
    window.loop.reset();
    window.modal = false;
}

ModalLoop* WebPlatform::SaverLoop() {
    return window.loop ? &*window.loop : nullptr;
}

void WebPlatform::GetScreenSize(int& width, int& height) {
    width = window.width;
    height = window.height;
}

// The canvas always fills the page; only an empty size (the window closing) hides it.
void WebPlatform::SetWindowBounds(int, int, int width, int height) {
    window.shown = width > 0 && height > 0;
    ReportSize();
}

void WebPlatform::SetWindowColor(std::uint32_t color) {
    background_ = color;
    PageSetBackground(color);
}

void WebPlatform::SetViewCursor(int cursor) {
    PageSetCursorHidden(cursor == crNone ? 1 : 0);
}

void WebPlatform::SetTimerEnabled(TimerId timer, bool enabled) {
    window.timers.SetEnabled(timer, enabled, Milliseconds());
}

bool WebPlatform::IsTimerEnabled(TimerId timer) {
    return window.timers.IsEnabled(timer);
}

bool WebPlatform::IsCapsLockOn() {
    return window.capsLock;
}

void WebPlatform::InvalidateView() {
    window.paintPending = true;
}

// Only without a GL context: the page's colour shows through the canvas.
void WebPlatform::FillViewRect(std::uint32_t color, int, int) {
    background_ = color;
    PageSetBackground(color);
}

void WebPlatform::GetViewSize(int& width, int& height) {
    width = window.width;
    height = window.height;
}

} // namespace lumivex

extern "C" EMSCRIPTEN_KEEPALIVE void lumivex_web_page_hide() {
    static_cast<lumivex::WebPlatform&>(lumivex::GetPlatform()).EndSession();
}
