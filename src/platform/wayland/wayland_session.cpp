// A compositor that goes away. A lost connection cannot be waited for: the settings are saved at
// once and the program ends, as on X11. The termination signals are posix_signals.h's.
#include "platform/wayland/wayland_state.h"

#include "shell/unInitialize.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace lumivex {

WaylandPlatform::WaylandPlatform() = default;

WaylandPlatform::~WaylandPlatform() {
    // The surfaces go before the context, the context before the connection.
    window_.reset();
    egl_.reset();
    display_.reset();
}

void WaylandPlatform::LoseDisplay() {
    WindowEvents* modal = window_ != nullptr && window_->modal ? window_->events : nullptr;
    EndForLostServer(modal, "Wayland compositor", "WAYLAND_DISPLAY");
}

} // namespace lumivex
