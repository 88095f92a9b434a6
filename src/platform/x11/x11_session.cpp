// Termination signals and the lost X server (see x11_session.h).
#include "platform/x11/x11_session.h"

#include "platform/x11/x11_platform.h"
#include "platform/x11/x11_window.h"
#include "shell/unInitialize.h"

#include <X11/Xlib.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace lumivex {

namespace {

volatile std::sig_atomic_t terminationRequested = 0;
int terminationPipe[2] = {-1, -1};
X11Platform* watchedPlatform = nullptr;

sigjmp_buf* faultEscape = nullptr;
int faultConnection = -1;
struct sigaction faultPrevious {};

void OnFault(int, siginfo_t*, void*) {
    if (faultEscape != nullptr && ConnectionBroken(faultConnection))
        siglongjmp(*faultEscape, 1);
    // A fault of its own: the previous action meets it again when the instruction reruns.
    sigaction(SIGSEGV, &faultPrevious, nullptr);
}

void OnTerminationSignal(int) {
    const int savedErrno = errno;
    terminationRequested = 1;
    if (terminationPipe[1] >= 0) {
        const char byte = 1;
        // A full pipe is already readable, which is all the loops need.
        [[maybe_unused]] const ssize_t written = write(terminationPipe[1], &byte, 1);
    }
    errno = savedErrno;
}

int OnLostDisplay(Display*) {
    EndForLostDisplay();
}

} // namespace

void InstallTerminationSignals() {
    if (terminationPipe[0] < 0 && pipe2(terminationPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        terminationPipe[0] = terminationPipe[1] = -1;
    struct sigaction action {};
    action.sa_handler = &OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    // Restarted calls keep file writes whole; poll is never restarted, and the pipe wakes it.
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction previous {};
        if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        sigaction(signal, &action, nullptr);
    }
    // A write to an X server that has just died must fail with EPIPE and end as a lost display
    // (the edits saved), not kill the saver outright.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

bool TerminationRequested() {
    return terminationRequested != 0;
}

int TerminationPipe() {
    return terminationPipe[0];
}

void WatchForLostDisplay(X11Platform* platform) {
    watchedPlatform = platform;
    XSetIOErrorHandler(platform != nullptr ? &OnLostDisplay : nullptr);
}

void EndForLostDisplay() {
    if (watchedPlatform != nullptr)
        watchedPlatform->LoseDisplay();
    std::fprintf(stderr, "lumivex-gl: lost the connection to the X display\n");
    std::fflush(nullptr);
    _exit(1);
}

void BeginFaultWatch(sigjmp_buf* escape, int connection) {
    struct sigaction action {};
    action.sa_sigaction = &OnFault;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    faultConnection = connection;
    faultEscape = escape;
    sigaction(SIGSEGV, &action, &faultPrevious);
}

void EndFaultWatch() {
    sigaction(SIGSEGV, &faultPrevious, nullptr);
    faultEscape = nullptr;
}

bool ConnectionBroken(int fd) {
    pollfd connection{fd, POLLIN, 0};
    if (fd < 0 || poll(&connection, 1, 0) < 0)
        return false;
    if ((connection.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
        return true;
    if ((connection.revents & POLLIN) == 0)
        return false;
    // Readable with nothing to read is the end of the stream.
    char byte = 0;
    return recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
}

void X11Platform::LoseDisplay() {
    // Whatever runs below may reach Xlib again and land here a second time.
    static bool leaving = false;
    if (!leaving) {
        leaving = true;
        displayLost_ = true;
        if (WindowEvents* events = ModalSaverWindowEvents(window_.get()))
            events->OnEndSession();
        FinishAbruptly();
        const char* name = std::getenv("DISPLAY");
        std::fprintf(stderr, "lumivex-gl: lost the connection to the X display %s\n",
                     name != nullptr ? name : "");
    }
    // No exit handlers: the GL library's would talk to the server that is gone.
    std::fflush(nullptr);
    _exit(1);
}

} // namespace lumivex
