// What the GL context code needs of the saver window: the view's window, whose private device
// context the context is made on; and what the desktop code needs: taking the foreground back.
#pragma once

#include "platform/win32/win32_api.h"

namespace lumivex {

// The saver window's view; nullptr when there is no saver window.
HWND SaverViewWindow(const Win32Platform::WindowState* state);

// Brings a window of the saver to the foreground, also where the system keeps it for the program
// that took it last.
void TakeForeground(HWND window);

} // namespace lumivex
