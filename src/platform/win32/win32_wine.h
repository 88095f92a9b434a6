// What the saver does only when it runs on Wine, so that a person there sees what the view draws.
// Nothing here runs on Windows, and nothing here is imported: Wine's entry points are looked up.
#pragma once

#include "platform/win32/win32_api.h"

namespace lumivex {

// True when ntdll is Wine's.
bool RunningOnWine();

// Some builds of Wine's X11 driver give the device context of a child window no X drawable, so
// GL drawn on the view is copied to nowhere and the screen stays black. When the view's device
// context has none, it is pointed at the saver window's X window, at the view's place in it, as
// Wine itself does where it works. Wine takes this back whenever it works out the context's
// visible region again (after any window change), so it is called before every drawing pass.
// False when the context was left as it was (it had a drawable, or Wine gave no way to set one).
bool RepairViewDrawable(HWND frame, HWND view, HDC viewDC);

} // namespace lumivex
