// The saver window on Windows: a hidden application window, the borderless topmost saver window
// owned by it, and the view, a child window over the saver window's whole client area with a
// private device context. The modal loop (ModalLoop) takes one message at a time from the queue
// and waits with WaitMessage; the window procedures below only translate messages into the
// portable window's events.
#include "platform/win32/win32_window.h"

#include "gl/OpenGL12.h"
#include "platform/ModalLoop.h"
#include "platform/win32/win32_monitors.h"
#include "platform/win32/win32_wgl.h"
#include "platform/win32/win32_wine.h"
#include "shell/unInitialize.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <utility>

namespace lumivex {

namespace {

constexpr const char* ApplicationClass = "LumivexGLApplication";
constexpr const char* SaverClass = "LumivexGLSaver";
constexpr const char* ViewClass = "LumivexGLView";
constexpr const char* Title = "Lumivex GL";
// The saver window's size until start-up sizes it to the screen.
constexpr int DesignWidth = 640;
constexpr int DesignHeight = 480;
constexpr UINT HideMouseInterval = 500;
constexpr UINT TickInterval = 1000;

struct Timer {
    UINT Interval = 0;
    bool Enabled = false;
};

// Not in the headers of every target: the messages and power settings of later Windows.
constexpr UINT DpiChangedMessage = 0x02E0;
constexpr WPARAM PowerSettingChange = 0x8013;
constexpr DWORD NotifyWindowHandle = 0;
// The saver's own: take the foreground back after another program took it.
constexpr UINT TakeBackMessage = WM_APP + 1;
// Windows 8 on: the console's displays off (0), on (1) or dimmed (2).
constexpr GUID ConsoleDisplayState = {
    0x6FE69556, 0x704A, 0x47A0, {0x8F, 0x24, 0xC2, 0x8D, 0x93, 0x6F, 0xDA, 0x47}};
// Vista and 7: the monitors off (0) or on (1).
constexpr GUID MonitorPowerOn = {
    0x02731015, 0x4510, 0x4526, {0x99, 0xE6, 0xE5, 0xA1, 0x7E, 0xBD, 0x1A, 0xEA}};

struct PowerSetting {
    GUID Setting;
    DWORD DataLength;
    DWORD State;
};

using RegisterPowerSettingProc = HANDLE(WINAPI*)(HANDLE, const GUID*, DWORD);
using UnregisterPowerSettingProc = BOOL(WINAPI*)(HANDLE);
using WindowThreadProc = DWORD(WINAPI*)(HWND, LPDWORD);
using AttachThreadInputProc = BOOL(WINAPI*)(DWORD, DWORD, BOOL);

// Looked up, not imported: Windows 95 loads the saver, and lacks some of them.
template <typename Proc> Proc User32Proc(const char* name) {
    return reinterpret_cast<Proc>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), name)));
}

} // namespace

struct Win32Platform::WindowState final : ModalLoop::Backend {
    explicit WindowState(WindowEvents* events) : events(events), loop(*this, events) {}
    ~WindowState();
    WindowState(const WindowState&) = delete;
    WindowState& operator=(const WindowState&) = delete;

    WindowEvents* events = nullptr;
    ModalLoop loop;
    HINSTANCE instance = nullptr;
    HWND application = nullptr;
    HWND frame = nullptr;
    HWND view = nullptr;
    HBRUSH frameBrush = nullptr;
    HDC wineViewDC = nullptr; // the view's own device context, kept only on Wine
    bool viewCursorHidden = true;
    // Set while the window is sized to the screen, so that it follows the screen's changes.
    bool coversScreen = false;
    // Another program came forward: the next turn, if the saver still runs, takes it back.
    bool activationLost = false;
    bool displaysOn = true;
    HANDLE powerNotification = nullptr;
    Timer hideMouse{HideMouseInterval, false};
    Timer tick{TickInterval, false};
    // An error a handler raised, held until the message call that led to it has returned.
    std::exception_ptr error;

    Timer& TimerFor(TimerId id) { return id == TimerHideMouse ? hideMouse : tick; }

    // The modal loop's primitives.
    bool HandlePendingEvent() override;
    void WaitForEvent() override { ::WaitMessage(); }
    // A session that ends reaches the saver window as WM_ENDSESSION, and the process with it.
    bool IsSessionEnding() override { return false; }
    // While every display is off nothing is drawn; the timers go on counting.
    bool IdleDue() override { return displaysOn; }
    void BeforeEvents() override;
    // Each idle pass draws: on Wine the view's drawable is repaired first (win32_wine.h).
    void BeforeIdle() override;
};

namespace {

using WindowState = Win32Platform::WindowState;

WindowState* StateOf(HWND window) {
    return reinterpret_cast<WindowState*>(::GetWindowLongA(window, GWL_USERDATA));
}

// Every window of the saver keeps the state it belongs to from its first message on.
void RememberState(HWND window, LPARAM createParameters) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(createParameters);
    ::SetWindowLongA(window, GWL_USERDATA, reinterpret_cast<LONG>(create->lpCreateParams));
}

void ApplyCursor(const WindowState& state) {
    ::SetCursor(state.viewCursorHidden ? nullptr : ::LoadCursorA(nullptr, IDC_ARROW));
}

// On Wine, what is drawn on the view must reach the screen; see win32_wine.h.
void KeepViewOnScreen(const WindowState& state) {
    if (state.wineViewDC != nullptr)
        RepairViewDrawable(state.frame, state.view, state.wineViewDC);
}

bool CursorOverSaver(const WindowState& state) {
    POINT where{};
    if (!::GetCursorPos(&where))
        return false;
    const HWND under = ::WindowFromPoint(where);
    return under != nullptr && (under == state.frame || under == state.view);
}

// Keys and the mouse reach the same handlers whether the saver window or its view has them.
bool HandleInput(WindowState& state, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowEvents* events = state.events;
    switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: // Alt and the keys pressed with it
        if (events != nullptr)
            events->OnKeyDown(static_cast<std::uint16_t>(wParam));
        return true;
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
        // Left to the system, Alt would open the menu the saver window does not have.
        return true;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
        if (events != nullptr)
            events->OnMouseDown();
        return true;
    case WM_MOUSEMOVE:
        // Client coordinates, signed 16-bit each.
        if (events != nullptr)
            events->OnMouseMove(static_cast<short>(LOWORD(lParam)),
                                static_cast<short>(HIWORD(lParam)));
        return true;
    default:
        return false;
    }
}

// The whole virtual screen, in front of every other window, as monitors come and go.
void CoverScreen(const WindowState& state) {
    const RECT screen = VirtualScreen();
    ::SetWindowPos(state.frame, HWND_TOPMOST, screen.left, screen.top, screen.right - screen.left,
                   screen.bottom - screen.top, SWP_NOACTIVATE);
}

// Monitors plugged in or out, or another resolution or scale: a new picture for each monitor,
// even where the window keeps its size.
void FollowScreen(WindowState& state) {
    if (!state.coversScreen)
        return;
    CoverScreen(state);
    RECT client{};
    if (state.events != nullptr && ::GetClientRect(state.view, &client))
        state.events->OnResize(client.right, client.bottom);
}

// Passes stop while the system reports every display off.
void FollowDisplayPower(WindowState& state, LPARAM lParam) {
    const auto* setting = reinterpret_cast<const PowerSetting*>(lParam);
    if (setting == nullptr || setting->DataLength < sizeof(DWORD) ||
        (!::IsEqualGUID(setting->Setting, ConsoleDisplayState) &&
         !::IsEqualGUID(setting->Setting, MonitorPowerOn)))
        return;
    state.displaysOn = setting->State != 0;
}

void WatchDisplayPower(WindowState& state, const PlatformVersion& version) {
    const auto registerFor =
        User32Proc<RegisterPowerSettingProc>("RegisterPowerSettingNotification");
    if (version.PlatformId != VER_PLATFORM_WIN32_NT || version.Major < 6 || registerFor == nullptr)
        return;
    const bool windows8 = version.Major > 6 || version.Minor >= 2;
    state.powerNotification = registerFor(
        state.frame, windows8 ? &ConsoleDisplayState : &MonitorPowerOn, NotifyWindowHandle);
}

// What the system tells the saver window as a whole; false for any other message.
bool HandleSystemMessage(WindowState& state, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SYSCOMMAND:
        // No screen saver starts over the running one.
        return (wParam & 0xFFF0) == SC_SCREENSAVE;
    case WM_ENDSESSION:
        // The system ends the process once this returns: the edits and the settings go now,
        // without a password question, as when the saver is told to stop on Linux.
        if (wParam != 0 && state.events != nullptr) {
            state.events->OnEndSession();
            FinishAbruptly();
        }
        return true;
    case WM_CLOSE:
        // Closing goes through the close query like every other way out.
        if (state.events != nullptr)
            state.loop.RequestClose();
        return true;
    case WM_ACTIVATEAPP:
        // Another program's window came forward: that asks to close as a key does, and a refused
        // close takes the screen back (BeforeEvents), so nothing reaches that program.
        if (wParam == FALSE && state.events != nullptr && !state.loop.Ended()) {
            state.activationLost = true;
            state.loop.RequestClose();
        }
        return true;
    case WM_TIMER: {
        const auto id = static_cast<TimerId>(wParam);
        if ((id == TimerHideMouse || id == TimerTick) && state.TimerFor(id).Enabled &&
            state.events != nullptr)
            state.events->OnTimer(id);
        return true;
    }
    case WM_DISPLAYCHANGE:
    case DpiChangedMessage:
        FollowScreen(state);
        return true;
    case TakeBackMessage:
        // The foreground is asked for first: raising the window would activate it without
        // taking the keyboard from the other program. The focus is then given anew, as the view
        // still holds it for its own thread and Wine moves the keyboard only on a change.
        TakeForeground(state.frame);
        ::SetWindowPos(state.frame, HWND_TOPMOST, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        ::SetFocus(nullptr);
        ::SetFocus(state.view);
        return true;
    case WM_POWERBROADCAST:
        if (wParam == PowerSettingChange)
            FollowDisplayPower(state, lParam);
        return true;
    default:
        return false;
    }
}

LRESULT HandleSaverMessage(WindowState& state, HWND window, UINT message, WPARAM wParam,
                           LPARAM lParam) {
    if (HandleInput(state, message, wParam, lParam) ||
        HandleSystemMessage(state, message, wParam, lParam))
        return message == WM_POWERBROADCAST ? TRUE : 0;
    switch (message) {
    case WM_ERASEBKGND: {
        RECT area{};
        ::GetClientRect(window, &area);
        ::FillRect(reinterpret_cast<HDC>(wParam), &area, state.frameBrush);
        return 1;
    }
    case WM_SIZE:
        // The view fills the client area.
        if (state.view != nullptr)
            ::MoveWindow(state.view, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_SETFOCUS:
        if (state.view != nullptr)
            ::SetFocus(state.view);
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) != HTCLIENT)
            break;
        ApplyCursor(state);
        return TRUE;
    default:
        break;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

// The hidden application window: a close from outside goes through the close query too.
LRESULT HandleApplicationMessage(WindowState& state, HWND window, UINT message, WPARAM wParam,
                                 LPARAM lParam) {
    if (state.frame != nullptr && (message == WM_CLOSE || message == WM_SYSCOMMAND))
        return HandleSaverMessage(state, state.frame, message, wParam, lParam);
    return ::DefWindowProcA(window, message, wParam, lParam);
}

LRESULT HandleViewMessage(WindowState& state, HWND window, UINT message, WPARAM wParam,
                          LPARAM lParam) {
    if (HandleInput(state, message, wParam, lParam))
        return 0;
    switch (message) {
    case WM_ERASEBKGND:
        return 1; // the view paints all of its area itself
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        ::BeginPaint(window, &paint);
        KeepViewOnScreen(state);
        if (state.events != nullptr)
            state.events->OnPaint();
        ::EndPaint(window, &paint);
        return 0;
    }
    case WM_SIZE:
        if (state.events != nullptr)
            state.events->OnResize(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) != HTCLIENT)
            break;
        ApplyCursor(state);
        return TRUE;
    default:
        break;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

// No exception may cross the system's code between the message loop and a window procedure: it
// is held and raised again by the loop, so an error in a handler ends the run as any other does.
// Every window of the saver hears its state's handler from its first message on; what arrives
// before that goes to the system's default handling.
template <LRESULT (*Handle)(WindowState&, HWND, UINT, WPARAM, LPARAM)>
LRESULT CALLBACK GuardedWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        if (message == WM_NCCREATE)
            RememberState(window, lParam);
        WindowState* state = StateOf(window);
        if (state == nullptr)
            return ::DefWindowProcA(window, message, wParam, lParam);
        return Handle(*state, window, message, wParam, lParam);
    } catch (...) {
        WindowState* state = StateOf(window);
        if (state != nullptr && !state->error)
            state->error = std::current_exception();
        return 0;
    }
}

void RaiseHeldError(WindowState& state) {
    if (state.error)
        std::rethrow_exception(std::exchange(state.error, nullptr));
}

bool RegisterWindowClass(HINSTANCE instance, const char* name, UINT style, WNDPROC procedure) {
    WNDCLASSA existing{};
    if (::GetClassInfoA(instance, name, &existing))
        return true;
    WNDCLASSA windowClass{};
    windowClass.style = style;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = ::LoadIconA(instance, MAKEINTRESOURCEA(1));
    windowClass.lpszClassName = name;
    return ::RegisterClassA(&windowClass) != 0;
}

bool RegisterWindowClasses(HINSTANCE instance) {
    return RegisterWindowClass(instance, ApplicationClass, 0,
                               &GuardedWindowProc<HandleApplicationMessage>) &&
           RegisterWindowClass(instance, SaverClass, 0, &GuardedWindowProc<HandleSaverMessage>) &&
           RegisterWindowClass(instance, ViewClass, CS_OWNDC,
                               &GuardedWindowProc<HandleViewMessage>);
}

// False, with the system's error code set, when a window could not be made.
bool MakeWindows(WindowState& state) {
    const HINSTANCE instance = state.instance;
    // Never shown: it owns the saver window, which keeps the saver out of the task bar.
    state.application = ::CreateWindowExA(0, ApplicationClass, Title,
                                          WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU, 0,
                                          0, 0, 0, nullptr, nullptr, instance, &state);
    if (state.application == nullptr)
        return false;
    state.frame =
        ::CreateWindowExA(WS_EX_TOPMOST, SaverClass, Title, WS_POPUP | WS_CLIPCHILDREN, 0, 0,
                          DesignWidth, DesignHeight, state.application, nullptr, instance, &state);
    if (state.frame == nullptr)
        return false;
    RECT client{};
    ::GetClientRect(state.frame, &client);
    // A GL surface must not be drawn over by its parent or siblings.
    state.view = ::CreateWindowExA(
        0, ViewClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0,
        client.right, client.bottom, state.frame, nullptr, instance, &state);
    return state.view != nullptr;
}

} // namespace

// One message from the queue, false when it is empty. The quit message asks for a close too.
bool Win32Platform::WindowState::HandlePendingEvent() {
    MSG message{};
    if (!::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        return false;
    if (message.message == WM_QUIT) {
        loop.RequestClose();
        return true;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
    RaiseHeldError(*this);
    return true;
}

void Win32Platform::WindowState::BeforeEvents() {
    if (!activationLost)
        return;
    activationLost = false;
    // Taken back as a message of its own: Wine dates the keyboard's move by the last message.
    ::PostMessageA(frame, TakeBackMessage, 0, 0);
}

void Win32Platform::WindowState::BeforeIdle() {
    KeepViewOnScreen(*this);
}

Win32Platform::WindowState::~WindowState() {
    // Nothing the windows still hear while they go reaches the form.
    events = nullptr;
    static const auto unregister =
        User32Proc<UnregisterPowerSettingProc>("UnregisterPowerSettingNotification");
    if (powerNotification != nullptr && unregister != nullptr)
        unregister(powerNotification);
    if (frame != nullptr)
        ::DestroyWindow(frame); // and the view with it
    if (application != nullptr)
        ::DestroyWindow(application);
    if (frameBrush != nullptr)
        ::DeleteObject(frameBrush);
}

void Win32Platform::StateDeleter::operator()(WindowState* state) const {
    std::default_delete<WindowState>()(state);
}

HWND SaverViewWindow(const Win32Platform::WindowState* state) {
    return state != nullptr ? state->view : nullptr;
}

void TakeForeground(HWND window) {
    const HWND foreground = ::GetForegroundWindow();
    if (foreground == window ||
        (::SetForegroundWindow(window) && ::GetForegroundWindow() == window))
        return;
    // Refused (the system keeps the foreground for the program that took it last): asked again
    // as part of that program's input.
    static const auto threadOf = User32Proc<WindowThreadProc>("GetWindowThreadProcessId");
    static const auto attach = User32Proc<AttachThreadInputProc>("AttachThreadInput");
    const DWORD self = ::GetCurrentThreadId();
    const DWORD other =
        foreground != nullptr && threadOf != nullptr ? threadOf(foreground, nullptr) : 0;
    if (other == 0 || other == self || attach == nullptr || !attach(self, other, TRUE))
        return;
    ::SetForegroundWindow(window);
    attach(self, other, FALSE);
}

WindowHandle Win32Platform::CreateSaverWindow(WindowEvents* events) {
    DestroySaverWindow();
    // Either all three windows exist or none does: the other methods rely on it.
    StatePtr<WindowState> state = std::make_unique<WindowState>(events);
    state->instance = ::GetModuleHandleA(nullptr);
    state->frameBrush = ::CreateSolidBrush(RGB(0, 0, 0));
    if (!RegisterWindowClasses(state->instance) || !MakeWindows(*state)) {
        const std::uint32_t code = GetLastError();
        throw EWin32Error(code, ErrorText(code));
    }
    // The view's private device context lasts as long as the view; the GL context is made on it.
    if (RunningOnWine())
        state->wineViewDC = ::GetDC(state->view);
    WatchDisplayPower(*state, GetVersion());
    window_ = std::move(state);
    RaiseHeldError(*window_);
    return reinterpret_cast<WindowHandle>(window_->frame);
}

void Win32Platform::RunModal() {
    WindowState* state = window_.get();
    if (state == nullptr || state->events == nullptr)
        return;
    ::ShowWindow(state->frame, SW_SHOW);
    ::SetForegroundWindow(state->frame);
    ::SetFocus(state->view);
    RaiseHeldError(*state);
    state->loop.Run();
}

void Win32Platform::DestroySaverWindow() {
    if (window_ == nullptr)
        return;
    ReleaseViewContexts(wgl_.get());
    window_.reset();
}

void Win32Platform::HideApplicationWindow() {
    WindowState* state = window_.get();
    if (state == nullptr || state->application == nullptr)
        return;
    const LONG style = ::GetWindowLongA(state->application, GWL_EXSTYLE);
    ::SetWindowLongA(state->application, GWL_EXSTYLE, style | WS_EX_TOOLWINDOW);
}

void Win32Platform::GetScreenSize(int& width, int& height) {
    const RECT screen = VirtualScreen();
    width = screen.right - screen.left;
    height = screen.bottom - screen.top;
}

void Win32Platform::GetScreenOrigin(int& left, int& top) {
    const RECT screen = VirtualScreen();
    left = screen.left;
    top = screen.top;
}

std::vector<ViewRect> Win32Platform::GetViewMonitors() {
    WindowState* state = window_.get();
    POINT origin{0, 0};
    RECT client{};
    if (state == nullptr || !::ClientToScreen(state->view, &origin) ||
        !::GetClientRect(state->view, &client))
        return {};
    return MonitorsInView(DisplayMonitors(::GetModuleHandleA("user32.dll")), origin,
                          {client.right, client.bottom});
}

void Win32Platform::SetWindowBounds(int left, int top, int width, int height) {
    if (window_ == nullptr)
        return;
    window_->coversScreen = width > 0 && height > 0;
    // The size messages arrive before this returns.
    ::SetWindowPos(window_->frame, nullptr, left, top, std::max(width, 0), std::max(height, 0),
                   SWP_NOZORDER | SWP_NOACTIVATE);
    RaiseHeldError(*window_);
}

void Win32Platform::SetWindowColor(std::uint32_t color) {
    WindowState* state = window_.get();
    if (state == nullptr)
        return;
    // The low three bytes as they are, as the view takes them for its clear colour.
    const HBRUSH brush = ::CreateSolidBrush(color & 0x00FFFFFFu);
    if (brush == nullptr)
        return;
    ::DeleteObject(state->frameBrush);
    state->frameBrush = brush;
    ::InvalidateRect(state->frame, nullptr, TRUE);
}

void Win32Platform::SetViewCursor(int cursor) {
    WindowState* state = window_.get();
    if (state == nullptr)
        return;
    const bool hidden = cursor == crNone;
    if (hidden == state->viewCursorHidden)
        return;
    state->viewCursorHidden = hidden;
    if (CursorOverSaver(*state))
        ApplyCursor(*state);
}

void Win32Platform::SetViewFocus() {
    if (window_ != nullptr)
        ::SetFocus(window_->view);
}

void Win32Platform::SetTimerEnabled(TimerId timer, bool enabled) {
    WindowState* state = window_.get();
    if (state == nullptr)
        return;
    Timer& target = state->TimerFor(timer);
    // SetTimer on a running timer would start its period again; it keeps counting instead.
    if (enabled && !target.Enabled) {
        target.Enabled = ::SetTimer(state->frame, timer, target.Interval, nullptr) != 0;
    } else if (!enabled && target.Enabled) {
        ::KillTimer(state->frame, timer);
        target.Enabled = false;
    }
}

bool Win32Platform::IsTimerEnabled(TimerId timer) {
    return window_ != nullptr && window_->TimerFor(timer).Enabled;
}

bool Win32Platform::IsCapsLockOn() {
    BYTE keys[256] = {};
    if (!::GetKeyboardState(keys))
        return false;
    return (keys[VK_CAPITAL] & 1) != 0;
}

ModalLoop* Win32Platform::SaverLoop() {
    return window_ != nullptr ? &window_->loop : nullptr;
}

void Win32Platform::InvalidateView() {
    if (window_ != nullptr)
        ::InvalidateRect(window_->view, nullptr, FALSE);
}

void Win32Platform::FillViewRect(std::uint32_t color, int width, int height) {
    WindowState* state = window_.get();
    if (state == nullptr || state->view == nullptr)
        return;
    const HDC dc = ::GetDC(state->view);
    if (dc == nullptr)
        return;
    // Filled with the colour and outlined with the device context's pen, black by default.
    const HBRUSH brush = ::CreateSolidBrush(color & 0x00FFFFFFu);
    const HGDIOBJ previous = ::SelectObject(dc, brush);
    ::Rectangle(dc, 0, 0, width, height);
    ::SelectObject(dc, previous);
    ::DeleteObject(brush);
    ::ReleaseDC(state->view, dc);
}

void Win32Platform::GetViewSize(int& width, int& height) {
    RECT client{};
    if (window_ == nullptr || !::GetClientRect(window_->view, &client)) {
        width = 0;
        height = 0;
        return;
    }
    width = client.right;
    height = client.bottom;
}

} // namespace lumivex
