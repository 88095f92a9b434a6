// The X error log and X's terms for an error (see x11_errors.h).
#include "platform/x11/x11_errors.h"

#include <climits>
#include <cstdio>
#include <cstring>

namespace lumivex {

namespace {

struct LoggedError {
    int code;
    int request;
    int minor;
};

// A handful tells what went wrong; the rest are counted.
constexpr int MaxLoggedErrors = 8;
LoggedError loggedErrors[MaxLoggedErrors];
int loggedCount = 0;

int LogXError(Display*, XErrorEvent* event) {
    if (loggedCount < MaxLoggedErrors)
        loggedErrors[loggedCount] = {event->error_code, event->request_code, event->minor_code};
    if (loggedCount < INT_MAX)
        ++loggedCount;
    return 0;
}

} // namespace

std::string XErrorTerms(Display* display, int code) {
    char text[256] = {};
    if (display != nullptr)
        XGetErrorText(display, code, text, sizeof text);
    // Xlib's text is the error's name and a description in brackets: the name is enough.
    text[std::strcspn(text, " ")] = '\0';
    const std::string number = "X error " + std::to_string(code);
    return text[0] != '\0' ? std::string(text) + " (" + number + ")" : number;
}

void InstallXErrorLog() {
    XSetErrorHandler(&LogXError);
}

bool XErrorsLogged() {
    return loggedCount > 0;
}

void FlushXErrorLog(Display* display, bool quiet) {
    const int count = loggedCount;
    loggedCount = 0;
    if (quiet)
        return;
    for (int i = 0; i < count && i < MaxLoggedErrors; ++i)
        std::fprintf(stderr, "lumivex-gl: %s, request %d.%d\n",
                     XErrorTerms(display, loggedErrors[i].code).c_str(), loggedErrors[i].request,
                     loggedErrors[i].minor);
    if (count > MaxLoggedErrors)
        std::fprintf(stderr, "lumivex-gl: %d more X errors\n", count - MaxLoggedErrors);
    std::fflush(stderr);
}

bool WindowGone(Display* display, Window window) {
    if (display == nullptr || window == 0)
        return false;
    XErrorTrap trap(display);
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) == 0 || trap.Sync() != 0;
}

} // namespace lumivex
