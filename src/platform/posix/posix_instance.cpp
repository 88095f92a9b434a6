// The single-instance guard: an exclusive flock on a lock file. The kernel drops the lock when
// the process ends in any way (even SIGKILL), so a crashed saver never blocks the next start.
//
// The lock file lives beside what it protects, in the settings folder (lumivex-gl/ under
// $XDG_CONFIG_HOME or ~/.config). That folder is the same for every start of the user's whatever
// else the environment says, it is the user's own, so no other user can take the guard or deny it,
// and it is where the saves that the guard keeps apart write. It is checked and used through one
// open descriptor: the folder must be the user's (root may be in another user's home) and nobody
// else may write to it; the lock file is never a link and belongs to the folder's owner.
//
// A home where that folder cannot be made or written to (a kiosk, a guest session, a folder root
// made) has no saves to keep apart, but the saver must still run once only: the lock then goes to
// one fixed place whatever the environment says (not TMPDIR, not XDG_RUNTIME_DIR, which differ
// between starts of the same user), a folder of the user's alone in /tmp. Other users may make its
// name first; they cannot take or remove the user's own folders there (the sticky bit), so the
// folders lumivex-gl-<uid>, lumivex-gl-<uid>.1, .2 ... are looked at, and the first of them by
// number that is the user's alone holds the guard: every start finds the same one, and one is made,
// at the first number free, only while the user has none. A folder others may change is no reason
// to go elsewhere: whoever could change it could as well take the guard.
#include "platform/posix/posix_files.h"
#include "platform/posix/posix_platform.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumivex {

const char* GuardFallbackFolder = "/tmp";

namespace {

// Handles are the descriptor plus one, so that 0 keeps meaning "no guard".
GuardHandle HandleOf(int fd) {
    return GuardHandle(fd) + 1;
}
int DescriptorOf(GuardHandle guard) {
    return int(guard - 1);
}

// Errors that say the user may not make or write to something, rather than that it is not safe.
bool NotWritable(int error) {
    return error == EACCES || error == EPERM || error == EROFS || error == ENOSPC ||
           error == EDQUOT || error == ENOENT || error == ENOTDIR;
}

// A umask of 0277 makes folders the user cannot add to.
bool OwnerMayWrite(int fd, const struct stat& info) {
    return (info.st_mode & S_IRWXU) == S_IRWXU || fchmod(fd, info.st_mode | S_IRWXU) == 0;
}

// The settings folder, opened, made when missing; why it cannot hold the guard in `problem`, and
// `unwritable` when the reason is that the user cannot make it or write to it.
int OpenGuardFolder(const std::string& folder, std::string& problem, bool& unwritable) {
    FileDescriptor fd(OpenFolder(AT_FDCWD, folder, true, problem));
    struct stat info {};
    if (!fd.Valid() || fstat(fd.Get(), &info) != 0) {
        unwritable = problem.empty() && NotWritable(errno);
        if (problem.empty())
            problem = "cannot make or open it";
        return -1;
    }
    // Root in a user's home: the user may write there, nobody else.
    if (problem = OthersMayChange(fd.Get(), info, geteuid() == 0); !problem.empty()) {
        errno = EACCES;
        return -1;
    }
    if (!OwnerMayWrite(fd.Get(), info)) {
        problem = "cannot give its owner the right to write in it";
        unwritable = true;
        return -1;
    }
    return fd.Release();
}

// The lock in the open folder: a handle when it was taken or is held by a live process
// (alreadyExists); 0 with errno set and why in `problem` when the file cannot serve as a guard.
GuardHandle TryLock(int folder, const std::string& file, bool& alreadyExists, std::string& problem,
                    bool& unwritable) {
    struct stat owner {};
    if (fstat(folder, &owner) != 0) {
        problem = "cannot look at it";
        return 0;
    }
    // Read-only: the lock needs no more, and a file a umask left read-only still serves.
    FileDescriptor fd(openat(folder, file.c_str(),
                             O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600));
    struct stat info {};
    if (!fd.Valid() || fstat(fd.Get(), &info) != 0) {
        problem = file + " cannot be opened";
        unwritable = !fd.Valid() && NotWritable(errno);
        return 0;
    }
    // A file someone else made must not stand in for ours, and root must not give the folder's
    // owner a file that is also another name of someone else's (a hard link): checked before the
    // owner changes, on the file opened.
    if (!S_ISREG(info.st_mode) || info.st_nlink != 1 ||
        (info.st_uid != geteuid() && info.st_uid != owner.st_uid)) {
        problem = file + " is not a file of the folder's owner with one name";
        errno = EACCES;
        return 0;
    }
    OwnLikeFolder(fd.Get(), owner);
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

// The folder `name` in the open folder `at`, opened, when it is the user's alone; else -1.
int OpenPrivateFolder(int at, const std::string& name) {
    FileDescriptor fd(openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (!fd.Valid() || fstat(fd.Get(), &info) != 0 || info.st_uid != geteuid() ||
        !OthersMayChange(fd.Get(), info).empty() || !OwnerMayWrite(fd.Get(), info))
        return -1;
    return fd.Release();
}

// The number of `name` among the fallback folders named after `stem`; -1 for any other name.
long FallbackNumber(const std::string& name, const std::string& stem) {
    if (name == stem)
        return 0;
    if (name.size() <= stem.size() + 1 || name.compare(0, stem.size(), stem) != 0 ||
        name[stem.size()] != '.' || name[stem.size() + 1] == '0')
        return -1;
    long number = 0;
    const char* last = name.data() + name.size();
    const auto [end, error] = std::from_chars(name.data() + stem.size() + 1, last, number);
    return error == std::errc() && end == last ? number : -1;
}

// The lock in the first fallback folder of the user's (see above); 0 with why in `problem`.
GuardHandle LockInFallbackFolder(const std::string& file, bool& alreadyExists,
                                 std::string& problem) {
    FileDescriptor top(open(GuardFallbackFolder, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat info {};
    // Others may add to it; only the sticky bit keeps them from renaming or removing ours.
    if (!top.Valid() || fstat(top.Get(), &info) != 0 ||
        (info.st_uid != 0 && info.st_uid != geteuid()) ||
        ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (info.st_mode & S_ISVTX) == 0)) {
        problem = "it is not a folder of root's whose files only their owners may remove";
        return 0;
    }
    const std::string stem = "lumivex-gl-" + std::to_string(geteuid());
    long first = -1;
    if (DIR* listing = fdopendir(openat(top.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC))) {
        while (const dirent* entry = readdir(listing)) {
            const long number = FallbackNumber(entry->d_name, stem);
            if (number >= 0 && (first < 0 || number < first) &&
                FileDescriptor(OpenPrivateFolder(top.Get(), entry->d_name)).Valid())
                first = number;
        }
        closedir(listing);
    }
    for (long number = std::max(first, 0L); number < LONG_MAX; ++number) {
        const std::string name = number == 0 ? stem : stem + "." + std::to_string(number);
        // Already there when it is the user's, or another start of theirs made it at once too.
        if (mkdirat(top.Get(), name.c_str(), 0700) != 0 && errno != EEXIST) {
            problem = "cannot make " + name + " (" + std::strerror(errno) + ")";
            return 0;
        }
        FileDescriptor own(OpenPrivateFolder(top.Get(), name));
        if (own.Valid()) {
            bool unwritable = false;
            return TryLock(own.Get(), file, alreadyExists, problem, unwritable);
        }
    }
    return 0;
}

} // namespace

int LockInPrivateFolders(const std::string& file, bool& heldElsewhere) {
    heldElsewhere = false;
    std::string problem;
    bool unwritable = false;
    GuardHandle guard = 0;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        const FileDescriptor top(open(runtime, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        const FileDescriptor own(top.Valid() ? OpenPrivateFolder(top.Get(), ".") : -1);
        if (own.Valid())
            guard = TryLock(own.Get(), file, heldElsewhere, problem, unwritable);
    }
    if (guard == 0)
        guard = LockInFallbackFolder(file, heldElsewhere, problem);
    return guard != 0 ? DescriptorOf(guard) : -1;
}

GuardHandle PosixPlatform::CreateInstanceGuard(const std::string& name, bool& alreadyExists) {
    alreadyExists = false;
    const std::string settings = SettingsFilePath();
    if (settings.empty()) {
        guardProblem_ = "there is no home folder (HOME is not set)";
        lastError_ = ErrorDescribed;
        return 0;
    }
    const std::string folder = ParentOf(settings);
    const std::string file = name + ".lock";
    std::string problem;
    bool unwritable = false;
    errno = 0;
    FileDescriptor dir(OpenGuardFolder(folder, problem, unwritable));
    GuardHandle guard = 0;
    if (dir.Valid())
        guard = TryLock(dir.Get(), file, alreadyExists, problem, unwritable);
    if (guard != 0)
        return guard;
    const int error = errno;
    std::string fallback;
    if (unwritable) {
        guard = LockInFallbackFolder(file, alreadyExists, fallback);
        if (guard != 0)
            return guard;
    }
    guardProblem_ = "the folder " + folder + ": " + problem;
    if (error != 0)
        guardProblem_ += " (" + ErrorText(std::uint32_t(error)) + ")";
    if (unwritable)
        guardProblem_ += ", and the folder " + std::string(GuardFallbackFolder) + ": " + fallback;
    lastError_ = ErrorDescribed;
    return 0;
}

void PosixPlatform::CloseInstanceGuard(GuardHandle guard) {
    // Closing the descriptor releases the lock; the file stays for the next start.
    if (guard != 0)
        close(DescriptorOf(guard));
}

} // namespace lumivex
