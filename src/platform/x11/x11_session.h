// An X server that goes away. A lost server cannot be waited for: the settings are saved at once
// and the program ends. The termination signals are posix_signals.h's.
#pragma once

#include "platform/posix/posix_signals.h"

#include <setjmp.h>

namespace lumivex {

class X11Platform;

// Ends the program through platform.LoseDisplay() on Xlib's I/O error; nullptr stops that.
void WatchForLostDisplay(X11Platform* platform);

// Ends the program as the I/O error does (X11Platform::LoseDisplay of the watched platform).
[[noreturn]] void EndForLostDisplay();

// The GL library talks to the server through xcb while it sets a display up for GLX (the first
// GLX call on it) and takes every reply for granted: when the server goes away just then, it
// reads through a null reply before Xlib learns of the loss. Inside `call`, a fault on a
// connection the server has closed is therefore taken as the lost display; any other fault stays
// the fault it is. `call` must own nothing that needs destroying.
void BeginFaultWatch(sigjmp_buf* escape, int connection);
void EndFaultWatch();

template <typename Call> auto SurvivingLostServer(int connection, Call call) {
    sigjmp_buf escape;
    if (sigsetjmp(escape, 1) != 0) {
        EndFaultWatch();
        EndForLostDisplay();
    }
    BeginFaultWatch(&escape, connection);
    auto result = call();
    EndFaultWatch();
    return result;
}

} // namespace lumivex
