// The saver window on Wayland: its surfaces (one per output), the view they show, and the modal
// loop's side: the input queue handed out one event at a time, a paint, the timers, and the wait.
// Idle passes keep the pace of Rest and of the drawing, whatever the outputs' refresh; each
// output is shown the picture when the compositor asks for a frame (PassPacer).
#include "platform/wayland/wayland_state.h"

#include "platform/ScopeExit.h"

#include <time.h>

#include <stdexcept>

namespace lumivex {

namespace {

void ReportSize(WaylandWindow& window) {
    if (!window.shown || window.events == nullptr ||
        (window.width == window.reportedWidth && window.height == window.reportedHeight))
        return;
    window.reportedWidth = window.width;
    window.reportedHeight = window.height;
    window.events->OnResize(window.width, window.height);
}

// New sizes or outputs: the picture at the view's size, the view told (it makes its picture
// again for the monitors as they are now), then a paint.
void FollowLayout(WaylandWindow& window) {
    const int width = window.width;
    const int height = window.height;
    if (!LayOutSurfaces(window))
        return;
    WaylandPlatform::EglState* egl = window.platform.Egl();
    if (egl != nullptr && egl->created && (window.width != width || window.height != height))
        egl->layer.Resize(window.width, window.height);
    // Told even when the view's size stays: the monitors within it moved.
    window.reportedWidth = -1;
    ReportSize(window);
    window.paintPending = true;
}

void Deliver(WaylandWindow& window, const WaylandInput& input) {
    switch (input.Kind) {
    case WaylandInput::Key:
        window.capsLockDuringPress = input.CapsLock;
        window.events->OnKeyDown(input.VirtualKey);
        window.capsLockDuringPress = -1;
        break;
    case WaylandInput::MouseDown:
        window.events->OnMouseDown();
        break;
    case WaylandInput::MouseMove:
        window.events->OnMouseMove(input.X, input.Y);
        break;
    case WaylandInput::Close:
        window.loop.RequestClose();
        break;
    }
}

bool AnyFrameDue(const WaylandWindow& window) {
    for (const auto& surface : window.surfaces)
        if (surface->frameDue && surface->eglSurface != EGL_NO_SURFACE)
            return true;
    return false;
}

} // namespace

double WaylandClock() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

std::uint64_t WaylandMilliseconds() {
    return static_cast<std::uint64_t>(WaylandClock());
}

WaylandPlatform::WindowState::WindowState(WaylandPlatform& platform, DisplayState& display,
                                          WindowEvents* events)
    : platform(platform), display(display), events(events), loop(*this, events) {}

WaylandPlatform::WindowState::~WindowState() {
    StopInput(*this);
    const EGLDisplay egl = platform.Egl() != nullptr ? platform.Egl()->display : EGL_NO_DISPLAY;
    if (egl != EGL_NO_DISPLAY)
        eglMakeCurrent(egl, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    for (auto& surface : surfaces)
        DestroySurface(*surface, egl);
    if (display.display != nullptr)
        wl_display_flush(display.display);
}

void WaylandPlatform::StateDeleter::operator()(WindowState* state) const {
    std::default_delete<WindowState>()(state);
}

void WaylandInputQueue::Push(const WaylandInput& input) {
    const bool key = input.Kind == WaylandInput::Key;
    const bool capsLock = key && input.VirtualKey == VK_CAPITAL;
    if (count_ > 0) {
        WaylandInput& last = Last();
        std::uint16_t& times = times_[(first_ + count_ - 1) % Capacity];
        if (input.Kind == WaylandInput::MouseMove && last.Kind == WaylandInput::MouseMove) {
            last = input;
            return;
        }
        if (key && !capsLock && last.Kind == WaylandInput::Key &&
            last.VirtualKey == input.VirtualKey && last.CapsLock == input.CapsLock) {
            if (times < UINT16_MAX)
                ++times;
            return;
        }
    }
    if (count_ == Capacity) {
        if (!capsLock)
            return;
        // In the place of the newest other input; after another Caps Lock, the two undo each
        // other.
        const bool undoes = Last().Kind == WaylandInput::Key && Last().VirtualKey == VK_CAPITAL;
        --count_;
        if (undoes)
            return;
    }
    items_[(first_ + count_) % Capacity] = input;
    times_[(first_ + count_) % Capacity] = 1;
    ++count_;
}

bool WaylandInputQueue::Pop(WaylandInput& input) {
    if (count_ == 0)
        return false;
    input = items_[first_];
    if (--times_[first_] > 0)
        return true;
    first_ = (first_ + 1) % Capacity;
    --count_;
    return true;
}

void WaylandPlatform::WindowState::Queue(const WaylandInput& next) {
    if (events != nullptr)
        input.Push(next);
}

void WaylandPlatform::WindowState::Pump(int timeout) {
    if (!ReadCompositor(display.display, timeout))
        platform.LoseDisplay();
}

// In the order Windows hands things out: input, then a paint, then a timer.
bool WaylandPlatform::WindowState::HandlePendingEvent() {
    if (events == nullptr)
        return false;
    Pump(0);
    // The frames asked for since get the passes drawn since.
    platform.ShowPicture();
    RepeatHeldKey(*this, WaylandMilliseconds(), 0);
    if (display.outputsChanged)
        FollowOutputs(*this);
    if (layoutChanged)
        FollowLayout(*this);
    if (WaylandInput next; input.Pop(next)) {
        Deliver(*this, next);
        return true;
    }
    if (paintPending && shown) {
        paintPending = false;
        events->OnPaint();
        pacer.Drew();
        platform.ShowPicture();
        return true;
    }
    TimerId id = TimerTick;
    if (!timers.TakeDue(WaylandMilliseconds(), id))
        return false;
    events->OnTimer(id);
    return true;
}

void WaylandPlatform::WindowState::WaitForEvent() {
    const std::uint64_t now = WaylandMilliseconds();
    const std::uint64_t timeout = RepeatHeldKey(*this, now, timers.Until(now, 1000));
    if ((paintPending && shown) || !input.Empty() || layoutChanged || display.outputsChanged ||
        timeout == 0)
        return;
    Pump(static_cast<int>(timeout));
}

bool WaylandPlatform::WindowState::IsSessionEnding() {
    return TerminationRequested();
}

// Passes go on without waiting for a frame: each adds to the picture, which the next frame shows.
// Only when no output has asked for one in a while (all off or hidden) do they stop, and the loop
// waits for a frame, an event or a timer instead.
bool WaylandPlatform::WindowState::IdleDue() {
    return pacer.PassesRun(WaylandClock(), AnyFrameDue(*this));
}

// The rest between two passes: the picture drawn goes to the outputs whose frame is due, at its
// start or as their frames come, while the showing fits in what is left of the rest.
void WaylandPlatform::Sleep(std::uint32_t milliseconds) {
    WindowState* window = window_.get();
    if (window == nullptr || !window->modal) {
        PosixPlatform::Sleep(milliseconds);
        return;
    }
    const std::uint64_t end = WaylandMilliseconds() + milliseconds;
    for (;;) {
        ShowPicture();
        const std::uint64_t now = WaylandMilliseconds();
        if (now >= end || TerminationRequested())
            return;
        window->Pump(static_cast<int>(end - now));
    }
}

WindowHandle WaylandPlatform::CreateSaverWindow(WindowEvents* events) {
    DestroySaverWindow();
    if (display_ == nullptr) {
        lastError_ = ENXIO;
        throw EPlatformError(lastError_, "not connected to a Wayland compositor");
    }
    window_ = std::make_unique<WindowState>(*this, *display_, events);
    WindowState& window = *window_;
    StartInput(window);
    if (!FollowOutputs(window)) {
        lastError_ = ENXIO;
        throw EPlatformError(lastError_, "the Wayland compositor has no output");
    }
    AwaitConfigures(window);
    LayOutSurfaces(window);
    window.pacer.Asked(WaylandClock());
    SetTimerEnabled(TimerTick, true);
    return 1;
}

void WaylandPlatform::RunModal() {
    WindowState* window = window_.get();
    if (window == nullptr || window->events == nullptr)
        return;
    const ScopeExit release([window] { window->modal = false; });
    if (window->loop.EndIfSessionEnding())
        return;
    window->modal = true;
    window->loop.Run();
}

void WaylandPlatform::DestroySaverWindow() {
    window_.reset();
}

ModalLoop* WaylandPlatform::SaverLoop() {
    return window_ != nullptr ? &window_->loop : nullptr;
}

void WaylandPlatform::GetScreenSize(int& width, int& height) {
    width = window_ != nullptr ? window_->width : 0;
    height = window_ != nullptr ? window_->height : 0;
}

// The compositor decides the surfaces' sizes; only an empty size (the window closing) hides the
// view from the program's point of view.
void WaylandPlatform::SetWindowBounds(int, int, int width, int height) {
    if (window_ == nullptr)
        return;
    window_->shown = width > 0 && height > 0;
    ReportSize(*window_);
}

void WaylandPlatform::SetViewCursor(int cursor) {
    if (window_ == nullptr)
        return;
    window_->cursorHidden = cursor == crNone;
    ApplyCursor(*window_);
}

void WaylandPlatform::SetTimerEnabled(TimerId timer, bool enabled) {
    if (window_ != nullptr)
        window_->timers.SetEnabled(timer, enabled, WaylandMilliseconds());
}

bool WaylandPlatform::IsTimerEnabled(TimerId timer) {
    return window_ != nullptr && window_->timers.IsEnabled(timer);
}

bool WaylandPlatform::IsCapsLockOn() {
    if (window_ == nullptr)
        return false;
    if (window_->capsLockDuringPress >= 0)
        return window_->capsLockDuringPress == 1;
    return CapsLockLocked(window_->keys);
}

bool WaylandPlatform::IsSessionEnding() {
    return window_ != nullptr ? window_->IsSessionEnding() : TerminationRequested();
}

void WaylandPlatform::InvalidateView() {
    if (window_ != nullptr)
        window_->paintPending = true;
}

// Without a GL context nothing is drawn: the surfaces have no buffer and show nothing.
void WaylandPlatform::FillViewRect(std::uint32_t, int, int) {}

void WaylandPlatform::GetViewSize(int& width, int& height) {
    GetScreenSize(width, height);
}

std::vector<ViewRect> WaylandPlatform::GetViewMonitors() {
    return window_ != nullptr ? ViewMonitors(*window_) : std::vector<ViewRect>();
}

} // namespace lumivex
