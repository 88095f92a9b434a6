// Catching X protocol errors. Xlib's default handler ends the program on any error; a saver that
// asks for a focus or a GL visual the server refuses must report the failure instead.
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

// The server's text for an X error code ("BadMatch (invalid parameter attributes)").
inline std::string XErrorText(Display* display, int code) {
    char text[256] = {};
    if (display != nullptr)
        XGetErrorText(display, code, text, sizeof text);
    return text[0] != '\0' ? std::string(text) : "X error " + std::to_string(code);
}

} // namespace lumivex
