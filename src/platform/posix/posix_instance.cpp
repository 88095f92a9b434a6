// The single-instance guard: an exclusive flock on a lock file. The kernel drops the lock when
// the process ends in any way (even SIGKILL), so a crashed saver never blocks the next start.
//
// The lock file lives beside what it protects, in the settings folder (lumivex-gl/ under
// $XDG_CONFIG_HOME or ~/.config). That folder is the same for every start of the user's whatever
// else the environment says, it is the user's own, so no other user can take the guard or deny it,
// and it is where the saves that the guard keeps apart write. It is checked and used through one
// open descriptor: the folder must be the user's (root may be in another user's home) and nobody
// else may write to it; the lock file is never a link and belongs to the folder's owner.
#include "platform/posix/posix_files.h"
#include "platform/posix/posix_platform.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumivex {

namespace {

// Handles are the descriptor plus one, so that 0 keeps meaning "no guard".
GuardHandle HandleOf(int fd) {
    return GuardHandle(fd) + 1;
}
int DescriptorOf(GuardHandle guard) {
    return int(guard - 1);
}

// The settings folder, opened, made when missing; why it cannot hold the guard in `problem`.
int OpenGuardFolder(const std::string& folder, std::string& problem) {
    if (!MakeDirectories(folder)) {
        problem = "cannot make the folder";
        return -1;
    }
    FileDescriptor fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat info {};
    if (!fd.Valid() || fstat(fd.Get(), &info) != 0) {
        problem = "cannot open it";
        return -1;
    }
    // Root in a user's home: the user may write there, nobody else.
    if (problem = OthersMayChange(info, geteuid() == 0); !problem.empty()) {
        errno = EACCES;
        return -1;
    }
    // A umask of 0277 makes folders the user cannot add to.
    if ((info.st_mode & S_IRWXU) != S_IRWXU && fchmod(fd.Get(), info.st_mode | S_IRWXU) != 0) {
        problem = "cannot give its owner the right to write in it";
        return -1;
    }
    return fd.Release();
}

// The lock in the open folder: a handle when it was taken or is held by a live process
// (alreadyExists); 0 with errno set and why in `problem` when the file cannot serve as a guard.
GuardHandle TryLock(int folder, const std::string& file, bool& alreadyExists,
                    std::string& problem) {
    // Read-only: the lock needs no more, and a file a umask left read-only still serves.
    FileDescriptor fd(openat(folder, file.c_str(),
                             O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600));
    struct stat info {};
    struct stat owner {};
    if (fd.Valid() && fstat(folder, &owner) == 0)
        OwnLikeFolder(fd.Get(), owner);
    if (!fd.Valid() || fstat(fd.Get(), &info) != 0) {
        problem = file + " cannot be opened";
        return 0;
    }
    // A file someone else made must not stand in for ours.
    if (!S_ISREG(info.st_mode) || (info.st_uid != geteuid() && info.st_uid != owner.st_uid)) {
        problem = file + " is not a file of the folder's owner";
        errno = EACCES;
        return 0;
    }
    int result;
    do
        result = flock(fd.Get(), LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    if (result != 0 && errno != EWOULDBLOCK) {
        problem = file + " cannot be locked";
        return 0;
    }
    // Held by a live process: the caller closes our handle and leaves.
    alreadyExists = result != 0;
    return HandleOf(fd.Release());
}

} // namespace

GuardHandle PosixPlatform::CreateInstanceGuard(const std::string& name, bool& alreadyExists) {
    alreadyExists = false;
    const std::string settings = SettingsFilePath();
    if (settings.empty()) {
        guardProblem_ = "there is no home folder (HOME is not set)";
        lastError_ = ErrorDescribed;
        return 0;
    }
    const std::string folder = ParentOf(settings);
    std::string problem;
    errno = 0;
    FileDescriptor dir(OpenGuardFolder(folder, problem));
    GuardHandle guard = 0;
    if (dir.Valid())
        guard = TryLock(dir.Get(), name + ".lock", alreadyExists, problem);
    if (guard == 0) {
        const int error = errno;
        guardProblem_ = "the folder " + folder + ": " + problem;
        if (error != 0)
            guardProblem_ += " (" + ErrorText(std::uint32_t(error)) + ")";
        lastError_ = ErrorDescribed;
    }
    return guard;
}

void PosixPlatform::CloseInstanceGuard(GuardHandle guard) {
    // Closing the descriptor releases the lock; the file stays for the next start.
    if (guard != 0)
        close(DescriptorOf(guard));
}

} // namespace lumivex
