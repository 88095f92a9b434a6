// Which window system a run of lumivex-gl draws on. One program serves both: Wayland natively
// where a compositor can be used, X11 (directly or through Xwayland) otherwise, and always X11
// for a screen-saver host, whose window is an X window.
#pragma once

#include <string>
#include <vector>

namespace lumivex {

struct HostOptions;

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

// Whether the run draws in a window it is given (a host's, a preview's, one on a display named
// with --display): those are X windows. `arguments` without the program name.
bool InGivenWindow(const HostOptions& options, const std::vector<std::string>& arguments);

} // namespace lumivex
