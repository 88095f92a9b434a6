// Message boxes on Wayland: the X11 back end's dialog where an X display can be reached (most
// Wayland desktops run Xwayland), else standard error only, which the X11 dialog writes too.
#include "platform/wayland/wayland_platform.h"

#include "platform/x11/x11_platform.h"

#include <cstdio>
#include <cstdlib>

namespace lumivex {

void WaylandPlatform::ShowMessage(const std::string& text, const std::string& caption,
                                  std::uint32_t flags) {
    const char* display = std::getenv("DISPLAY");
    if (display != nullptr && *display != '\0') {
        X11Platform x11;
        x11.ShowMessage(text, caption, flags);
        return;
    }
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}

} // namespace lumivex
