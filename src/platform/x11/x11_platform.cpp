// Construction and teardown of the Linux back end.
#include "platform/x11/x11_platform.h"

#include "platform/x11/x11_session.h"

#include <X11/Xlib.h>

namespace lumivex {

X11Platform::X11Platform() = default;

X11Platform::~X11Platform() {
    // The context goes before its window, both before the display.
    glx_.reset();
    window_.reset();
    if (display_ != nullptr) {
        SettleXErrors();
        WatchForLostDisplay(nullptr);
        XCloseDisplay(display_);
    }
}

} // namespace lumivex
