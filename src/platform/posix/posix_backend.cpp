// The choice of window system (see posix_backend.h).
#include "platform/posix/posix_backend.h"

#include "platform/options/hack_options.h"

#include <cctype>
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

bool InGivenWindow(const HostOptions& options, const std::vector<std::string>& arguments) {
    if (options.UsesOptions)
        return options.Run.Hosted || !options.Display.empty();
    // A mode letter as the start-up reads it: the second character, or the only one.
    if (arguments.empty() || arguments[0].empty())
        return false;
    const std::string& mode = arguments[0];
    const char letter = mode.size() >= 2 ? mode[1] : mode[0];
    return std::toupper(static_cast<unsigned char>(letter)) == 'P';
}

} // namespace lumivex
