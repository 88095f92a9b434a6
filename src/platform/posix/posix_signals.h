// How the program is ended from outside: the termination signals (a logout, a closed terminal, a
// screen-saver host). A signal only raises a flag and wakes the loops through a pipe; the loops
// do the work.
#pragma once

namespace lumivex {

class WindowEvents;

// SIGTERM, SIGINT and SIGHUP from now on ask the program to end (those ignored at start stay
// ignored, as nohup wants). SIGPIPE is ignored: a write to a display server that has just gone
// fails with EPIPE and ends as a lost display, the edits saved.
void InstallTerminationSignals();
bool TerminationRequested();
// Readable once a termination signal came; -1 when no pipe could be made (the flag still works).
int TerminationPipe();

// The display server is gone and cannot be waited for: the edits of the saver window (`modal`, when
// one runs modally) and the settings are saved at once, one line names the `server` that went and
// the variable naming it, and the program ends with 1 without exit handlers (the GL library's
// would talk to the server that is gone). A second call on the way out only ends the program.
[[noreturn]] void EndForLostServer(WindowEvents* modal, const char* server, const char* variable);

// True when the peer has closed the connection on `fd`. Safe inside a signal handler.
bool ConnectionBroken(int fd);

} // namespace lumivex
