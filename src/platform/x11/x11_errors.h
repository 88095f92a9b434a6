// Catching X protocol errors. Xlib's default handler ends the program on any error; a saver that
// asks for a focus or a GL visual the server refuses must report the failure instead, and a
// hosted saver whose window the host has destroyed must not report anything at all.
#pragma once

#include <X11/Xlib.h>

#include <string>

namespace lumivex {

// Catches every X error while it lives (nests; the previous handler comes back at the end).
class XErrorTrap {
  public:
    explicit XErrorTrap(Display* display)
        : display_(display), outerCode_(caughtCode), previous_(XSetErrorHandler(&Catch)) {
        caughtCode = 0;
    }
    ~XErrorTrap() {
        if (display_ != nullptr)
            XSync(display_, False);
        XSetErrorHandler(previous_);
        caughtCode = outerCode_;
    }
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

    // Waits until the server has answered every request so far; the first error code caught
    // since the trap was set, 0 when none.
    int Sync() {
        if (display_ != nullptr)
            XSync(display_, False);
        return caughtCode;
    }

  private:
    static int Catch(Display*, XErrorEvent* event) {
        if (caughtCode == 0)
            caughtCode = event->error_code;
        return 0;
    }
    static inline int caughtCode = 0;

    Display* display_;
    int outerCode_;
    XErrorHandler previous_;
};

// An X error code in X's own terms: "BadMatch (X error 8)".
std::string XErrorTerms(Display* display, int code);

// Errors no trap catches are kept (an error handler may not talk to the server) until the
// program looks at them at a safe point: only then can it ask whether a host's window is gone,
// which is what a hosted saver's errors usually mean. Installed once, when the display opens.
void InstallXErrorLog();
bool XErrorsLogged();
// Writes the kept errors to standard error, one line each, or with `quiet` drops them.
void FlushXErrorLog(Display* display, bool quiet);

// Whether `window` no longer exists on the server (one round trip).
bool WindowGone(Display* display, Window window);

} // namespace lumivex
