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
    // Whatever runs below may reach the connection again and land here a second time.
    static bool leaving = false;
    if (!leaving) {
        leaving = true;
        if (window_ != nullptr && window_->modal && window_->events != nullptr)
            window_->events->OnEndSession();
        FinishAbruptly();
        const char* name = std::getenv("WAYLAND_DISPLAY");
        std::fprintf(stderr, "lumivex-gl: lost the connection to the Wayland compositor %s\n",
                     name != nullptr ? name : "");
    }
    // No exit handlers: the EGL library's would talk to the compositor that is gone.
    std::fflush(nullptr);
    _exit(1);
}

} // namespace lumivex
