// The choice of window system (see posix_backend.h).
#include "platform/posix/posix_backend.h"

#include <string_view>

namespace lumivex {

namespace {

bool Set(const char* value) {
    return value != nullptr && *value != '\0';
}

} // namespace

BackendChoice ChooseBackend(const char* forced, const char* waylandDisplay, const char* xDisplay,
                            bool hosted) {
    BackendChoice choice;
    const std::string_view asked = forced != nullptr ? forced : "";
    if (!asked.empty() && asked != "x11" && asked != "wayland") {
        choice.Error = "LUMIVEX_BACKEND must be x11 or wayland, not \"" + std::string(asked) + "\"";
        return choice;
    }
    // A host's window is an X window, whatever is asked.
    if (hosted || asked == "x11")
        return choice;
    if (asked == "wayland") {
        choice.First = Backend::Wayland;
        return choice;
    }
    // Without either variable the compositor's default socket is worth a try: there may be no
    // X server at all.
    if (Set(waylandDisplay) || !Set(xDisplay)) {
        choice.First = Backend::Wayland;
        choice.FallBack = true;
    }
    return choice;
}

} // namespace lumivex
