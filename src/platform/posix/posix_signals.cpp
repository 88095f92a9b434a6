// Termination signals (see posix_signals.h).
#include "platform/posix/posix_signals.h"

#include "platform/Platform.h"
#include "shell/unInitialize.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <initializer_list>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace lumivex {

namespace {

volatile std::sig_atomic_t terminationRequested = 0;
int terminationPipe[2] = {-1, -1};

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

void EndForLostServer(WindowEvents* modal, const char* server, const char* variable) {
    // Whatever runs below may reach the connection again and land here a second time.
    static bool leaving = false;
    if (!leaving) {
        leaving = true;
        if (modal != nullptr)
            modal->OnEndSession();
        FinishAbruptly();
        const char* name = std::getenv(variable);
        std::fprintf(stderr, "lumivex-gl: lost the connection to the %s %s\n", server,
                     name != nullptr ? name : "");
    }
    std::fflush(nullptr);
    _exit(1);
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

} // namespace lumivex
