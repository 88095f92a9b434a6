// What the GL context code needs of the saver window: the view's window, whose private device
// context the context is made on.
#pragma once

#include "platform/win32/win32_api.h"

namespace lumivex {

// The saver window's view; nullptr when there is no saver window.
HWND SaverViewWindow(const Win32Platform::WindowState* state);

} // namespace lumivex
