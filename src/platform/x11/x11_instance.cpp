// The single-instance guard: an exclusive flock on a lock file. The kernel drops the lock when
// the process ends in any way (even SIGKILL), so a crashed saver never blocks the next start.
//
// The file lives in $XDG_RUNTIME_DIR (private to the user); without it, in the temporary
// directory with the user id in its name, so two users never share one guard.
#include "platform/x11/x11_platform.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumivex {

namespace {

bool IsDirectory(const char* path) {
    struct stat info {};
    return path != nullptr && path[0] != '\0' && stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

std::string GuardPath(const std::string& name) {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); IsDirectory(runtime))
        return std::string(runtime) + "/" + name + ".lock";
    const char* temp = std::getenv("TMPDIR");
    std::string dir = IsDirectory(temp) ? temp : "/tmp";
    return dir + "/" + name + "-" + std::to_string(getuid()) + ".lock";
}

// Handles are the descriptor plus one, so that 0 keeps meaning "no guard".
GuardHandle HandleOf(int fd) {
    return GuardHandle(fd) + 1;
}
int DescriptorOf(GuardHandle guard) {
    return int(guard - 1);
}

} // namespace

GuardHandle X11Platform::CreateInstanceGuard(const std::string& name, bool& alreadyExists) {
    alreadyExists = false;
    std::string path = GuardPath(name);
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        lastError_ = std::uint32_t(errno);
        return 0; // no guard: carry on as the only instance
    }
    // In a shared temporary directory a file someone else made must not stand in for ours.
    struct stat info {};
    if (fstat(fd, &info) != 0 || info.st_uid != getuid()) {
        lastError_ = EACCES;
        close(fd);
        return 0;
    }
    int result;
    do
        result = flock(fd, LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    if (result == 0)
        return HandleOf(fd);
    lastError_ = std::uint32_t(errno);
    if (errno == EWOULDBLOCK) {
        // Held by a live process; the caller closes our handle and leaves.
        alreadyExists = true;
        return HandleOf(fd);
    }
    close(fd);
    return 0;
}

void X11Platform::CloseInstanceGuard(GuardHandle guard) {
    // Closing the descriptor releases the lock; the file stays for the next start.
    if (guard != 0)
        close(DescriptorOf(guard));
}

} // namespace lumivex
