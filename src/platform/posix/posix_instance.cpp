// The single-instance guard: an exclusive flock on a lock file. The kernel drops the lock when
// the process ends in any way (even SIGKILL), so a crashed saver never blocks the next start.
//
// The file lives in $XDG_RUNTIME_DIR (private to the user). Where that is missing or unusable (a
// folder the user cannot write to, a file there that is not the user's), it lives in a private
// folder of the user's in the temporary directory, lumivex-gl-<uid>, which must be a real folder
// of the user's that nobody else can write to: in a shared folder anyone could otherwise take or
// drop the guard for us.
#include "platform/posix/posix_platform.h"

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

// The private fallback folder, made when missing; empty (errno set) when it cannot be trusted.
std::string PrivateFolder() {
    const char* temp = std::getenv("TMPDIR");
    std::string dir =
        std::string(IsDirectory(temp) ? temp : "/tmp") + "/lumivex-gl-" + std::to_string(getuid());
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    struct stat info {};
    if (lstat(dir.c_str(), &info) != 0)
        return {};
    if (!S_ISDIR(info.st_mode) || info.st_uid != getuid() || (info.st_mode & 022) != 0) {
        errno = EACCES;
        return {};
    }
    return dir;
}

// Handles are the descriptor plus one, so that 0 keeps meaning "no guard".
GuardHandle HandleOf(int fd) {
    return GuardHandle(fd) + 1;
}
int DescriptorOf(GuardHandle guard) {
    return int(guard - 1);
}

// The lock at `path`: a handle when it was taken or is held by a live process (alreadyExists),
// 0 with errno set when the file cannot serve as a guard.
GuardHandle TryLock(const std::string& path, bool& alreadyExists) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return 0;
    // A file someone else made must not stand in for ours.
    struct stat info {};
    if (fstat(fd, &info) != 0 || info.st_uid != getuid() || !S_ISREG(info.st_mode)) {
        close(fd);
        errno = EACCES;
        return 0;
    }
    int result;
    do
        result = flock(fd, LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    if (result == 0)
        return HandleOf(fd);
    if (errno == EWOULDBLOCK) {
        // Held by a live process; the caller closes our handle and leaves.
        alreadyExists = true;
        return HandleOf(fd);
    }
    const int error = errno;
    close(fd);
    errno = error;
    return 0;
}

} // namespace

GuardHandle PosixPlatform::CreateInstanceGuard(const std::string& name, bool& alreadyExists) {
    alreadyExists = false;
    const std::string file = "/" + name + ".lock";
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); IsDirectory(runtime))
        if (GuardHandle guard = TryLock(runtime + file, alreadyExists); guard != 0)
            return guard;
    if (const std::string folder = PrivateFolder(); !folder.empty())
        if (GuardHandle guard = TryLock(folder + file, alreadyExists); guard != 0)
            return guard;
    lastError_ = std::uint32_t(errno != 0 ? errno : EACCES);
    return 0;
}

void PosixPlatform::CloseInstanceGuard(GuardHandle guard) {
    // Closing the descriptor releases the lock; the file stays for the next start.
    if (guard != 0)
        close(DescriptorOf(guard));
}

} // namespace lumivex
