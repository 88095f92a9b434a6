// The registry of the current user on Linux: the registry-export file at
// $XDG_CONFIG_HOME/lumivex-gl/registry.reg (default ~/.config/lumivex-gl/registry.reg).
//
// The file is read when the first key is opened, so each load and each save sees what is on
// disk then, and it is written when the last key that changed something is closed. Writing
// replaces the file atomically (temporary file, fsync, rename) and keeps every key and value the
// program does not own. A file that could not be read completely (unreadable, not a regular
// file, too large) is never overwritten: saving fails instead of losing what it holds.
#include "platform/x11/x11_platform.h"

#include "platform/x11/x11_registry_file.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace lumivex {

namespace {

// Far beyond any settings file; it bounds what a damaged or hostile file can make us allocate.
constexpr std::size_t MaxFileBytes = 4u << 20;
constexpr const char* RootName = "HKEY_CURRENT_USER\\";

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
    std::map<KeyHandle, OpenKey> open;
    KeyHandle nextHandle = 1;

    // Reads the file afresh; errno of the failure in `error`, 0 when read (or absent).
    void Load(std::uint32_t& error) {
        document = regfile::Document{};
        loaded = true;
        writable = true;
        dirty = false;
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
    }

    // Replaces the file with the document; errno of the failure, 0 on success.
    std::uint32_t Commit() {
        if (!writable)
            return EACCES;
        std::string target = filePath;
        char resolved[PATH_MAX];
        if (realpath(filePath.c_str(), resolved) != nullptr)
            target = resolved; // a symbolic link keeps pointing at the file it named
        std::string dir = ParentOf(target);
        if (!MakeDirectories(dir))
            return std::uint32_t(errno != 0 ? errno : ENOTDIR);

        mode_t mode = 0600;
        struct stat info {};
        if (stat(target.c_str(), &info) == 0)
            mode = info.st_mode & 07777;
        std::string temp = target + ".XXXXXX";
        int fd = mkostemp(temp.data(), O_CLOEXEC);
        if (fd < 0)
            return std::uint32_t(errno);
        std::string text = regfile::Write(document);
        bool ok = WriteAll(fd, text) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
        std::uint32_t error = ok ? 0 : std::uint32_t(errno);
        if (::close(fd) != 0 && ok) {
            ok = false;
            error = std::uint32_t(errno);
        }
        if (ok && rename(temp.c_str(), target.c_str()) != 0) {
            ok = false;
            error = std::uint32_t(errno);
        }
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
