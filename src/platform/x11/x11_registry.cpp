// The registry of the current user on Linux: the registry-export file at
// $XDG_CONFIG_HOME/lumivex-gl/registry.reg (default ~/.config/lumivex-gl/registry.reg).
//
// The file is read when the first key is opened, so each load and each save sees what is on
// disk then, and it is written when the last key that changed something is closed. Writing
// replaces the file atomically (temporary file, fsync, rename) and keeps every key, value and
// line the program does not own. A file that could not be read completely (unreadable, not a
// regular file, too large) is never overwritten: saving fails instead of losing what it holds.
// A file that is not a registry file at all is kept beside the new one. A symbolic link in its
// place is written through, even when its target does not exist yet.
//
// Saves lock the file's directory while they run, so that the temporary file a killed save left
// can be told from the one a running save writes, and removed.
#include "platform/x11/x11_platform.h"

#include "platform/regfile/regfile.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <pwd.h>
#include <string>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumivex {

namespace {

// Far beyond any settings file; it bounds what a damaged or hostile file can make us allocate.
constexpr std::size_t MaxFileBytes = 4u << 20;
constexpr const char* RootName = "HKEY_CURRENT_USER\\";
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
        path = target.front() == '/' ? target : ParentOf(path) + "/" + target;
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

bool WriteAll(int fd, const std::string& text) {
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

} // namespace

struct X11Platform::RegistryState {
    struct OpenKey {
        std::string path; // full path, with the root name
        RegAccess access;
    };
    std::string filePath;
    regfile::Document document;
    bool loaded = false;
    bool writable = true; // false when the file on disk was not read completely
    bool dirty = false;
    // The bytes of a file that is not a registry file, kept aside before it is replaced.
    std::string foreignBytes;
    std::map<KeyHandle, OpenKey> open;
    KeyHandle nextHandle = 1;

    // Reads the file afresh; errno of the failure in `error`, 0 when read (or absent).
    void Load(std::uint32_t& error) {
        document = regfile::Document{};
        loaded = true;
        writable = true;
        dirty = false;
        foreignBytes.clear();
        error = 0;
        filePath = RegistryFilePath();
        if (filePath.empty()) {
            writable = false;
            error = ENOENT;
            return;
        }
        // Non-blocking, so that a FIFO in its place cannot hang the saver.
        int fd = ::open(filePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            if (errno != ENOENT) {
                writable = false;
                error = std::uint32_t(errno);
            }
            return;
        }
        struct stat info {};
        if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            writable = false;
            error = EINVAL;
            ::close(fd);
            return;
        }
        std::string bytes;
        bytes.resize(MaxFileBytes + 1);
        std::size_t size = 0;
        while (size < bytes.size()) {
            ssize_t got = ::read(fd, bytes.data() + size, bytes.size() - size);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                writable = false;
                error = std::uint32_t(errno);
                break;
            }
            if (got == 0)
                break;
            size += std::size_t(got);
        }
        ::close(fd);
        if (size > MaxFileBytes) {
            writable = false; // what was read is used, the rest must not be lost by a save
            error = EFBIG;
            size = MaxFileBytes;
        }
        bytes.resize(size);
        document = regfile::Parse(bytes);
        if (document.Foreign && writable) {
            document = regfile::Document{}; // nothing in it is ours to read
            foreignBytes = std::move(bytes);
        }
    }

    // Copies the foreign file's bytes to a new file beside `target`, never over an earlier copy.
    std::uint32_t KeepAside(const std::string& target) {
        std::string base = target + std::string(KeptAsideSuffix);
        for (int n = 0; n < MaxKeptAside; ++n) {
            std::string aside = n == 0 ? base : base + "." + std::to_string(n);
            int fd = ::open(aside.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd < 0 && errno == EEXIST)
                continue;
            if (fd < 0)
                return std::uint32_t(errno);
            bool ok = WriteAll(fd, foreignBytes) && fsync(fd) == 0;
            std::uint32_t error = ok ? 0 : std::uint32_t(errno != 0 ? errno : EIO);
            ::close(fd);
            if (!ok) {
                unlink(aside.c_str());
                return error;
            }
            std::fprintf(stderr, "lumivex-gl: %s is not a registry file; it is kept as %s\n",
                         target.c_str(), aside.c_str());
            foreignBytes.clear();
            return 0;
        }
        return EEXIST;
    }

    // Replaces the file with the document; errno of the failure, 0 on success.
    std::uint32_t Commit() {
        if (!writable)
            return EACCES;
        if (!MakeDirectories(ParentOf(filePath)))
            return std::uint32_t(errno != 0 ? errno : ENOTDIR);
        std::uint32_t error = 0;
        std::string target = FollowLinks(filePath, error);
        if (target.empty())
            return error;
        std::string dir = ParentOf(target);

        DirectoryLock lock(dir);
        if (lock.Held())
            RemoveDeadTemporaries(dir, NameOf(target));
        if (!foreignBytes.empty()) {
            if (std::uint32_t kept = KeepAside(target); kept != 0)
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
        std::string text = regfile::Write(document);
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
        dirty = false;
        return 0;
    }

    bool CanWrite() const {
        if (!writable)
            return false;
        if (access(filePath.c_str(), F_OK) == 0)
            return access(filePath.c_str(), W_OK) == 0;
        return true;
    }

    KeyHandle Add(std::string path, RegAccess access) {
        KeyHandle handle = nextHandle++;
        open[handle] = {std::move(path), access};
        return handle;
    }
};

void X11Platform::Destroy(RegistryState* state) {
    delete state;
}

namespace {

// The registry state, with the file read afresh when no key is open: each load or save of the
// settings sees what other programs wrote since.
X11Platform::RegistryState& OpenedState(X11Platform::RegistryState*& state,
                                        std::uint32_t& lastError) {
    if (state == nullptr)
        state = new X11Platform::RegistryState;
    if (state->open.empty()) {
        std::uint32_t error = 0;
        state->Load(error);
        if (error != 0)
            lastError = error;
    }
    return *state;
}

} // namespace

KeyHandle X11Platform::RegOpenKey(const std::string& path, RegAccess access) {
    RegistryState& state = OpenedState(registry_, lastError_);
    std::string full = RootName + path;
    if (!regfile::KeyExists(state.document, full)) {
        lastError_ = ENOENT;
        return 0;
    }
    if (access == RegAccess::AllAccess && !state.CanWrite()) {
        lastError_ = EACCES;
        return 0;
    }
    return state.Add(std::move(full), access);
}

KeyHandle X11Platform::RegCreateKey(const std::string& path) {
    RegistryState& state = OpenedState(registry_, lastError_);
    if (!state.CanWrite()) {
        lastError_ = EACCES;
        return 0;
    }
    std::string full = RootName + path;
    if (regfile::FindKey(state.document, full) == nullptr) {
        regfile::AddKey(state.document, full);
        state.dirty = true;
    }
    return state.Add(std::move(full), RegAccess::AllAccess);
}

bool X11Platform::RegQueryValue(KeyHandle key, const std::string& name, RegistryValue& value) {
    if (registry_ == nullptr || registry_->open.count(key) == 0) {
        lastError_ = EBADF;
        return false;
    }
    const regfile::Key* found = regfile::FindKey(registry_->document, registry_->open[key].path);
    const regfile::Value* stored = found != nullptr ? regfile::FindValue(*found, name) : nullptr;
    if (stored == nullptr) {
        lastError_ = ENOENT;
        return false;
    }
    value = regfile::NarrowData(*stored);
    return true;
}

bool X11Platform::RegSetValue(KeyHandle key, const std::string& name, std::uint32_t type,
                              const std::uint8_t* data, std::size_t size) {
    if (registry_ == nullptr || registry_->open.count(key) == 0) {
        lastError_ = EBADF;
        return false;
    }
    const RegistryState::OpenKey& open = registry_->open[key];
    if (open.access != RegAccess::AllAccess) {
        lastError_ = EACCES;
        return false;
    }
    regfile::SetValue(regfile::AddKey(registry_->document, open.path), name, type, data, size);
    registry_->dirty = true;
    return true;
}

void X11Platform::RegCloseKey(KeyHandle key) {
    if (registry_ == nullptr || registry_->open.erase(key) == 0)
        return;
    if (!registry_->open.empty())
        return;
    if (registry_->dirty) {
        if (std::uint32_t error = registry_->Commit(); error != 0)
            lastError_ = error;
    }
    // The next open reads the file again.
    registry_->loaded = false;
    registry_->document = regfile::Document{};
}

} // namespace lumivex
