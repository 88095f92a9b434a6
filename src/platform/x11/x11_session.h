// How the program is ended from outside: the termination signals (a logout, a closed terminal, a
// screen-saver host) and an X server that goes away. A signal only raises a flag and wakes the
// loops through a pipe; the loops do the work. A lost server cannot be waited for: the settings
// are saved at once and the program ends.
#pragma once

#include <setjmp.h>

namespace lumivex {

class X11Platform;

// SIGTERM, SIGINT and SIGHUP from now on ask the program to end (those ignored at start stay
// ignored, as nohup wants).
void InstallTerminationSignals();
bool TerminationRequested();
// Readable once a termination signal came; -1 when no pipe could be made (the flag still works).
int TerminationPipe();

// Ends the program through platform.LoseDisplay() on Xlib's I/O error; nullptr stops that.
void WatchForLostDisplay(X11Platform* platform);

// Ends the program as the I/O error does (X11Platform::LoseDisplay of the watched platform).
[[noreturn]] void EndForLostDisplay();

// True when the server has closed the connection on `fd`. Safe inside a signal handler.
bool ConnectionBroken(int fd);

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
