// Which window system a run of lumivex-gl draws on. One program serves both: Wayland natively
// where a compositor can be used, X11 (directly or through Xwayland) otherwise, and always X11
// for a screen-saver host, whose window is an X window.
#pragma once

#include <string>

namespace lumivex {

enum class Backend { X11, Wayland };

struct BackendChoice {
    Backend First = Backend::X11;
    // Where the first cannot be used, X11 is tried without a word.
    bool FallBack = false;
    std::string Error; // one line; the run must not start
};

// `forced` is $LUMIVEX_BACKEND, `waylandDisplay` $WAYLAND_DISPLAY and `xDisplay` $DISPLAY (each
// nullptr when unset); `hosted` says a host gives the window (or --display names an X display).
BackendChoice ChooseBackend(const char* forced, const char* waylandDisplay, const char* xDisplay,
                            bool hosted);

} // namespace lumivex
