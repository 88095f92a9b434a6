// The screen-saver password services of the Windows 95/98/ME family: checked before the saver
// closes, changed in the change-password mode. Other platforms answer as if no password is set.
#pragma once

#include "platform/Platform.h"

namespace lumivex {

// True when the saver may close (also when no check took place).
bool VerifyPassword(WindowHandle window);
// Runs the system's password-change dialog with `parentWindow` as its owner.
void ChangePassword(WindowHandle parentWindow);

} // namespace lumivex
