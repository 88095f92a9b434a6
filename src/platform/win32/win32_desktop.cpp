// The desktop's windows: the foreground window start-up restores, the desktop window that owns
// the help, and the active window the password check hands to the system.
#include "platform/win32/win32_window.h"

namespace lumivex {

namespace {

HWND ToHwnd(WindowHandle window) {
    return reinterpret_cast<HWND>(window);
}

WindowHandle FromHwnd(HWND window) {
    return reinterpret_cast<WindowHandle>(window);
}

} // namespace

WindowHandle Win32Platform::GetForegroundWindow() {
    return FromHwnd(::GetForegroundWindow());
}

void Win32Platform::SetForegroundWindow(WindowHandle window) {
    ::SetForegroundWindow(ToHwnd(window));
}

WindowHandle Win32Platform::GetDesktopWindow() {
    return FromHwnd(::GetDesktopWindow());
}

WindowHandle Win32Platform::GetActiveWindow() {
    return FromHwnd(::GetActiveWindow());
}

// The password question must have the keyboard, also after another program came forward.
void Win32Platform::SetActiveWindow(WindowHandle window) {
    TakeForeground(ToHwnd(window));
    ::SetActiveWindow(ToHwnd(window));
}

} // namespace lumivex
