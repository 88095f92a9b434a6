// The registry of the current user on Linux: the store of regfile_store.h over the
// registry-export file at $XDG_CONFIG_HOME/lumivex-gl/registry.reg (default
// ~/.config/lumivex-gl/registry.reg).
//
// Writing replaces the file atomically (temporary file, fsync, rename). A file that could not be
// read completely (unreadable, not a regular file, too large) is never overwritten, and no file
// larger than the program reads is written. A save that fails is reported on standard error. A file
// that is not a registry file at all is kept beside the new one. A symbolic link in its place is
// written through, even when its target does not exist yet.
//
// Saves lock the file's directory while they run, so that the temporary file a killed save left
// can be told from the one a running save writes, and removed.
#include "platform/posix/posix_platform.h"

#include "platform/regfile/regfile_store.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <pwd.h>
#include <string>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumivex {

namespace {

// Far beyond any settings file or registry export a user keeps; it bounds what a damaged or
// hostile file can make us allocate. A save never writes more, so our own file always reads back.
constexpr std::size_t MaxFileBytes = std::size_t(64) << 20;
// Temporary files are named <file>.tmp.XXXXXX, the X standing for letters and digits.
constexpr std::string_view TemporaryInfix = ".tmp.";
constexpr std::size_t TemporaryRandomChars = 6;
// A file that is not a registry file is kept as <file>.unreadable, or .unreadable.N when taken.
constexpr std::string_view KeptAsideSuffix = ".unreadable";
constexpr int MaxKeptAside = 1000;
constexpr int MaxLinkHops = 40; // as the kernel allows
// How long a save waits for another one to finish before it goes on without cleaning up.
constexpr int LockWaitMilliseconds = 2000;
constexpr int LockRetryMilliseconds = 10;

std::string RegistryFilePath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/')
        return std::string(config) + "/lumivex-gl/registry.reg";
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        const passwd* user = getpwuid(getuid());
        home = user != nullptr ? user->pw_dir : nullptr;
    }
    if (home == nullptr || home[0] == '\0')
        return "";
    return std::string(home) + "/.config/lumivex-gl/registry.reg";
}

std::string ParentOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

// mkdir -p, new directories private to the user.
bool MakeDirectories(const std::string& dir) {
    struct stat info {};
    if (stat(dir.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode);
    if (dir != "/" && !MakeDirectories(ParentOf(dir)))
        return false;
    return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

std::string NameOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a save replaces: the settings path with its symbolic links followed, also to a target
// that does not exist yet. Empty, with errno in `error`, when the links cannot be followed.
std::string FollowLinks(std::string path, std::uint32_t& error) {
    for (int hop = 0; hop < MaxLinkHops; ++hop) {
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return path;
        std::string target(PATH_MAX, '\0');
        ssize_t size = readlink(path.c_str(), target.data(), target.size());
        if (size <= 0 || std::size_t(size) >= target.size()) {
            error = size < 0 ? std::uint32_t(errno) : ENAMETOOLONG;
            return "";
        }
        target.resize(std::size_t(size));
        path = target.front() == '/' ? target : ParentOf(path).append("/").append(target);
    }
    error = ELOOP;
    return "";
}

// An exclusive lock on a directory for the length of a save; not held when another save kept
// it too long or the file system has no such locks.
class DirectoryLock {
  public:
    explicit DirectoryLock(const std::string& dir)
        : fd_(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        for (int waited = 0; fd_ >= 0 && waited <= LockWaitMilliseconds;
             waited += LockRetryMilliseconds) {
            if (flock(fd_, LOCK_EX | LOCK_NB) == 0) {
                held_ = true;
                return;
            }
            if (errno != EWOULDBLOCK && errno != EINTR)
                return;
            usleep(LockRetryMilliseconds * 1000);
        }
    }
    ~DirectoryLock() {
        if (fd_ >= 0)
            ::close(fd_); // releases the lock
    }
    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;
    bool Held() const { return held_; }

  private:
    int fd_;
    bool held_ = false;
};

bool IsTemporaryOf(std::string_view candidate, const std::string& name) {
    std::size_t stem = name.size() + TemporaryInfix.size();
    if (candidate.size() != stem + TemporaryRandomChars ||
        candidate.substr(0, name.size()) != name ||
        candidate.substr(name.size(), TemporaryInfix.size()) != TemporaryInfix)
        return false;
    for (char c : candidate.substr(stem))
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
            return false;
    return true;
}

// Removes the temporary files saves of `name` left when they were killed. Called with the
// directory locked; a file a live save still writes is locked by that save and left alone.
void RemoveDeadTemporaries(const std::string& dir, const std::string& name) {
    DIR* listing = opendir(dir.c_str());
    if (listing == nullptr)
        return;
    while (dirent* entry = readdir(listing)) {
        if (!IsTemporaryOf(entry->d_name, name))
            continue;
        int fd =
            openat(dirfd(listing), entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat info {};
        if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == geteuid() &&
            flock(fd, LOCK_EX | LOCK_NB) == 0)
            unlinkat(dirfd(listing), entry->d_name, 0);
        ::close(fd);
    }
    closedir(listing);
}

bool WriteAll(int fd, std::string_view text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t written = write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += std::size_t(written);
    }
    return true;
}

// The registry file as the store's storage. The path is looked up at each read, and a save
// goes to the file the last read looked at.
class RegistryFile final : public regfile::Storage {
  public:
    regfile::StoredText Read() override;
    bool CanWrite() override;
    std::uint32_t Write(std::string_view text, std::string_view foreign) override;

  private:
    std::uint32_t KeepAside(const std::string& target, std::string_view foreign);

    std::string path_;
};

regfile::StoredText Failed(std::uint32_t error, std::string bytes = {}) {
    return {regfile::StoredText::Failed, std::move(bytes), error};
}

regfile::StoredText RegistryFile::Read() {
    path_ = RegistryFilePath();
    if (path_.empty())
        return Failed(ENOENT);
    // Non-blocking, so that a FIFO in its place cannot hang the saver.
    int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT ? regfile::StoredText{} : Failed(std::uint32_t(errno));
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return Failed(S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
    }
    // Sized by the file, and grown should it grow while it is read.
    std::string bytes;
    bytes.resize(std::min(std::size_t(info.st_size), MaxFileBytes) + 1);
    std::size_t size = 0;
    std::uint32_t error = 0;
    while (size < MaxFileBytes + 1) {
        if (size == bytes.size())
            bytes.resize(std::min(bytes.size() * 2, MaxFileBytes + 1));
        ssize_t got = ::read(fd, bytes.data() + size, bytes.size() - size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            error = std::uint32_t(errno);
        if (got <= 0)
            break;
        size += std::size_t(got);
    }
    ::close(fd);
    if (size > MaxFileBytes) {
        error = EFBIG; // what was read is used, the rest must not be lost by a save
        size = MaxFileBytes;
    }
    bytes.resize(size);
    if (error != 0)
        return Failed(error, std::move(bytes));
    return {regfile::StoredText::Read, std::move(bytes), 0};
}

bool RegistryFile::CanWrite() {
    if (access(path_.c_str(), F_OK) == 0)
        return access(path_.c_str(), W_OK) == 0;
    return true;
}

// Copies the foreign file's bytes to a new file beside `target`, never over an earlier copy.
std::uint32_t RegistryFile::KeepAside(const std::string& target, std::string_view foreign) {
    std::string base = target + std::string(KeptAsideSuffix);
    for (int n = 0; n < MaxKeptAside; ++n) {
        std::string aside = n == 0 ? base : base + "." + std::to_string(n);
        int fd = ::open(aside.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return std::uint32_t(errno);
        bool ok = WriteAll(fd, foreign) && fsync(fd) == 0;
        std::uint32_t error = ok ? 0 : std::uint32_t(errno != 0 ? errno : EIO);
        ::close(fd);
        if (!ok) {
            unlink(aside.c_str());
            return error;
        }
        std::fprintf(stderr, "lumivex-gl: %s is not a registry file; it is kept as %s\n",
                     target.c_str(), aside.c_str());
        return 0;
    }
    return EEXIST;
}

std::uint32_t RegistryFile::Write(std::string_view text, std::string_view foreign) {
    if (text.size() > MaxFileBytes)
        return EFBIG;
    if (!MakeDirectories(ParentOf(path_)))
        return std::uint32_t(errno != 0 ? errno : ENOTDIR);
    std::uint32_t error = 0;
    std::string target = FollowLinks(path_, error);
    if (target.empty())
        return error;
    std::string dir = ParentOf(target);

    DirectoryLock lock(dir);
    if (lock.Held())
        RemoveDeadTemporaries(dir, NameOf(target));
    if (!foreign.empty()) {
        if (std::uint32_t kept = KeepAside(target, foreign); kept != 0)
            return kept;
    }

    mode_t mode = 0600;
    struct stat info {};
    if (stat(target.c_str(), &info) == 0)
        mode = info.st_mode & 07777;
    std::string temp = target + std::string(TemporaryInfix) + "XXXXXX";
    int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return std::uint32_t(errno);
    // Held until the file has its name, so no other save takes it for a dead one's.
    flock(fd, LOCK_EX | LOCK_NB);
    bool ok = WriteAll(fd, text) && fchmod(fd, mode) == 0 && fsync(fd) == 0 &&
              rename(temp.c_str(), target.c_str()) == 0;
    error = ok ? 0 : std::uint32_t(errno);
    ::close(fd);
    if (!ok) {
        unlink(temp.c_str());
        return error != 0 ? error : EIO;
    }
    // The rename itself must reach the disk too.
    int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        ::close(dirFd);
    }
    return 0;
}

} // namespace

struct PosixPlatform::RegistryState {
    RegistryFile file;
    regfile::Store store{file};
};

void PosixPlatform::StateDeleter::operator()(RegistryState* state) const {
    std::default_delete<RegistryState>()(state);
}

namespace {

regfile::Store& StoreOf(PosixPlatform::StatePtr<PosixPlatform::RegistryState>& state) {
    if (state == nullptr)
        state = std::make_unique<PosixPlatform::RegistryState>();
    return state->store;
}

} // namespace

KeyHandle PosixPlatform::RegOpenKey(const std::string& path, RegAccess access) {
    return StoreOf(registry_).OpenKey(path, access, lastError_);
}

KeyHandle PosixPlatform::RegCreateKey(const std::string& path) {
    return StoreOf(registry_).CreateKey(path, lastError_);
}

bool PosixPlatform::RegQueryValue(KeyHandle key, const std::string& name, RegistryValue& value) {
    return StoreOf(registry_).QueryValue(key, name, value, lastError_);
}

bool PosixPlatform::RegSetValue(KeyHandle key, const std::string& name, std::uint32_t type,
                                const std::uint8_t* data, std::size_t size) {
    return StoreOf(registry_).SetValue(key, name, type, data, size, lastError_);
}

bool PosixPlatform::RegCloseKey(KeyHandle key) {
    return StoreOf(registry_).CloseKey(key, lastError_);
}

void PosixPlatform::ReportSaveFailure(std::uint32_t error, bool) {
    // Standard error only: a dialog would hold up an end that a signal or a logout asked for.
    const std::string file = RegistryFilePath();
    std::fprintf(stderr, "lumivex-gl: cannot save the settings to %s: %s\n",
                 file.empty() ? "a file in the home folder (HOME is not set)" : file.c_str(),
                 ErrorText(error).c_str());
    std::fflush(stderr);
}

} // namespace lumivex
