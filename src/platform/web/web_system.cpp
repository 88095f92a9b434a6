// The guard, the clock, messages and system facts of the page.
//
// The clock: the browser's thread cannot wait, so Sleep moves the program's clock ahead by what
// was asked and returns at once (PassPacer). A pause of Rest milliseconds (RestPause, which sleeps
// and reads the clock until the time is up) thus ends at once with the clock Rest ahead, and the
// animation loop runs no idle pass until the browser's clock has caught up: the pause happens
// between passes, or between animation frames, where the page goes on taking input. A pass that
// starts late because frames come only so often starts on the program's clock where it was due
// (up to a frame late), so that the passes keep the pace of Rest on average, as on the desktop.
#include "platform/web/web_platform.h"

#include "platform/web/web_page.h"

#include <emscripten/html5.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace lumivex {

namespace {
constexpr double MillisecondsPerDay = 86400000.0;
// The tab that holds the page's lock (see index.html) is the one instance; no other asks.
constexpr GuardHandle PageGuard = 1;
} // namespace

GuardHandle WebPlatform::CreateInstanceGuard(const std::string&, bool& alreadyExists) {
    alreadyExists = false;
    return PageGuard;
}

void WebPlatform::CloseInstanceGuard(GuardHandle) {}

// The page has no help file; what it would say is in the README.
void WebPlatform::ShowHelp(WindowHandle, const std::string&, std::uint32_t, std::uint32_t) {}

void WebPlatform::ShowMessage(const std::string& text, const std::string& caption, std::uint32_t) {
    std::fprintf(stderr, "%s\n", text.c_str());
    PageShowMessage(caption.c_str(), text.c_str(), ErrorText(lastError_).c_str());
}

PlatformVersion WebPlatform::GetVersion() {
    // No screen-saver password on this platform, as on the NT family.
    return PlatformVersion{2, 0, 0};
}

void WebPlatform::Sleep(std::uint32_t milliseconds) {
    pacer_.Sleep(emscripten_get_now(), milliseconds);
}

std::uint32_t WebPlatform::GetTickCount() {
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(pacer_.Now(emscripten_get_now())));
}

std::uint32_t WebPlatform::MillisecondsSinceMidnightUTC() {
    // The browser's time is UTC milliseconds since 1970, in days of exactly 86,400 s.
    return static_cast<std::uint32_t>(std::fmod(emscripten_date_now(), MillisecondsPerDay));
}

std::string WebPlatform::ErrorText(std::uint32_t code) {
    switch (code) {
    case 0:
        return "";
    case ERROR_WEB_NO_WEBGL2:
        return "This browser gives the page no WebGL 2.";
    case ERROR_WEB_CONTEXT_LOST:
        return "The browser took the page's WebGL context away; the picture comes back when it "
               "gives it back.";
    case ERROR_WEB_STORAGE:
        return "The browser's local storage is full or switched off.";
    default:
        return std::strerror(static_cast<int>(code));
    }
}

} // namespace lumivex
