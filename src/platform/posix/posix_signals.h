// How the program is ended from outside: the termination signals (a logout, a closed terminal, a
// screen-saver host). A signal only raises a flag and wakes the loops through a pipe; the loops
// do the work.
#pragma once

namespace lumivex {

// SIGTERM, SIGINT and SIGHUP from now on ask the program to end (those ignored at start stay
// ignored, as nohup wants). SIGPIPE is ignored: a write to a display server that has just gone
// fails with EPIPE and ends as a lost display, the edits saved.
void InstallTerminationSignals();
bool TerminationRequested();
// Readable once a termination signal came; -1 when no pipe could be made (the flag still works).
int TerminationPipe();

// True when the peer has closed the connection on `fd`. Safe inside a signal handler.
bool ConnectionBroken(int fd);

} // namespace lumivex
