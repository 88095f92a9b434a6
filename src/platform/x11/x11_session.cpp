// The lost X server (see x11_session.h).
#include "platform/x11/x11_session.h"

#include "platform/x11/x11_platform.h"
#include "platform/x11/x11_window.h"
#include "shell/unInitialize.h"

#include <X11/Xlib.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace lumivex {

namespace {

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

int OnLostDisplay(Display*) {
    EndForLostDisplay();
}

} // namespace

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

void X11Platform::LoseDisplay() {
    displayLost_ = true;
    EndForLostServer(ModalSaverWindowEvents(window_.get()), "X display", "DISPLAY");
}

} // namespace lumivex
