// The registry of the current user on Linux: the store of regfile_store.h over the
// registry-export file at $XDG_CONFIG_HOME/lumivex-gl/registry.reg (default
// ~/.config/lumivex-gl/registry.reg).
//
// Writing replaces the file atomically (temporary file, fsync, rename). A file that could not be
// read completely (unreadable, not a regular file, too large) is never overwritten, and no file
// larger than the program reads is written. A save that fails is reported. A file that is not a
// registry file at all is kept beside the new one. A symbolic link in its place is written
// through when the owner of its folder made it and it leads to a file of theirs in a folder of
// theirs, or, in their own runs, to a name not taken yet; any other link is neither read nor
// written through (root running with a user's HOME must not write where the user's links point),
// and the save says so.
//
// The links are followed when the file is first read, by hand, one name at a time, and its folder
// is opened then: later reads and saves go through that folder, and a save replaces the file only
// while it is the one last read, so that a link turned elsewhere meanwhile cannot send the
// settings over another file. A replaced file keeps its owner, group, mode and access list (root
// saving in a user's home leaves the file the user's).
//
// Saves lock the file's folder while they run, so that the temporary file a killed save left
// can be told from the one a running save writes, and removed.
#include "platform/posix/posix_files.h"
#include "platform/posix/posix_platform.h"
#include "platform/posix/posix_signals.h"

#include "platform/regfile/regfile_store.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <string>
#include <string_view>
#include <sys/file.h>
#include <sys/random.h>
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

// An exclusive lock on the open folder for the length of a save; not held when another save kept
// it too long or the file system has no such locks.
class DirectoryLock {
  public:
    explicit DirectoryLock(int folder) : fd_(folder) {
        for (int waited = 0; waited <= LockWaitMilliseconds; waited += LockRetryMilliseconds) {
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
        if (held_)
            flock(fd_, LOCK_UN);
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
// folder locked; a file a live save still writes is locked by that save and left alone.
void RemoveDeadTemporaries(int folder, const std::string& name) {
    // A description of its own: reading the listing moves its offset.
    const int fd = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* listing = fd >= 0 ? fdopendir(fd) : nullptr;
    if (listing == nullptr) {
        if (fd >= 0)
            ::close(fd);
        return;
    }
    while (dirent* entry = readdir(listing)) {
        if (!IsTemporaryOf(entry->d_name, name))
            continue;
        FileDescriptor file(
            openat(folder, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat info {};
        if (file.Valid() && fstat(file.Get(), &info) == 0 && S_ISREG(info.st_mode) &&
            info.st_uid == geteuid() && flock(file.Get(), LOCK_EX | LOCK_NB) == 0)
            unlinkat(folder, entry->d_name, 0);
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

// Names a temporary file beside `name` that does not exist yet; -1 when none could be made.
int MakeTemporary(int folder, const std::string& name, std::string& temporary) {
    constexpr std::string_view Letters =
        "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned char random[TemporaryRandomChars] = {};
        if (getrandom(random, sizeof random, 0) != ssize_t(sizeof random))
            return -1;
        temporary = name + std::string(TemporaryInfix);
        for (unsigned char byte : random)
            temporary += Letters[byte % Letters.size()];
        const int fd = openat(folder, temporary.c_str(),
                              O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// The registry file as the store's storage. Its links are followed when it is first read, and its
// folder opened then: every later read and save goes through that folder to that name, and a save
// replaces the very file last read (the same device and inode), or nothing.
class RegistryFile final : public regfile::Storage {
  public:
    regfile::StoredText Read() override;
    bool CanWrite() override;
    std::uint32_t Write(std::string_view text, std::string_view foreign) override;
    // Why others may have written the file last read; empty when only the user can.
    const std::string& Distrust() const { return distrust_; }
    const std::string& Target() const { return target_; }
    // Why the settings' links are not followed (ErrorSettingsRefused).
    const std::string& Refusal() const { return refusal_; }

  private:
    std::uint32_t Locate(bool make);
    std::uint32_t Refuse(std::string why);
    std::uint32_t KeepAside(std::string_view foreign);
    std::uint32_t Replace(std::string_view text);

    std::string target_; // the file the links led to when it was read
    std::string name_;   // its name in folder_
    FileDescriptor folder_;
    bool existed_ = false; // when it was read; else nothing had the name
    struct stat read_ {};
    std::string accessList_; // of the file read
    std::string distrust_;
    std::string refusal_;
};

regfile::StoredText Failed(std::uint32_t error, std::string bytes = {}) {
    return {regfile::StoredText::Failed, std::move(bytes), error};
}

// Up to MaxFileBytes of the open file: the bytes and the errno that cut the read short.
std::uint32_t ReadBytes(int fd, std::size_t expected, std::string& bytes) {
    // Sized by the file, and grown should it grow while it is read.
    bytes.resize(std::min(expected, MaxFileBytes) + 1);
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
    if (size > MaxFileBytes) {
        error = EFBIG; // what was read is used, the rest must not be lost by a save
        size = MaxFileBytes;
    }
    bytes.resize(size);
    return error;
}

std::uint32_t RegistryFile::Refuse(std::string why) {
    refusal_ = std::move(why) + "; it is neither read nor written through";
    return ErrorSettingsRefused;
}

// The settings folder opened (made with `make`), and the links of the settings file followed from
// it, each only when the folder's owner made it and it leads to a file of theirs in a folder of
// theirs; to a name not taken yet only in their own runs, where `make` makes its folders.
std::uint32_t RegistryFile::Locate(bool make) {
    const std::string path = SettingsFilePath();
    if (path.empty())
        return ENOENT;
    std::string problem;
    FileDescriptor folder(OpenFolder(AT_FDCWD, ParentOf(path), make, problem));
    struct stat owner {};
    if (!folder.Valid() || fstat(folder.Get(), &owner) != 0)
        return !problem.empty() ? Refuse(problem) : std::uint32_t(errno);
    const bool own = geteuid() == owner.st_uid;
    const std::string whose = UserName(owner.st_uid) + "'s";
    std::string name = NameOf(path), shown = path;
    const auto leadsTo = [&shown](std::string_view what, const std::string& who) {
        return std::string("it leads to ").append(shown).append(what).append(who);
    };
    const std::string_view missing = ", which does not exist and is made only by ";
    for (int hop = 0;; ++hop) {
        FileDescriptor link(openat(folder.Get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat info {};
        if (link.Valid() ? fstat(link.Get(), &info) != 0 : errno != ENOENT)
            return std::uint32_t(errno);
        if (!link.Valid() || !S_ISLNK(info.st_mode)) {
            struct stat holder {};
            if (hop > 0 && (fstat(folder.Get(), &holder) != 0 || holder.st_uid != owner.st_uid))
                return Refuse(leadsTo(", in a folder that is not ", whose));
            if (hop > 0 && link.Valid() && info.st_uid != owner.st_uid)
                return Refuse(leadsTo(", a file that is not ", whose));
            if (hop > 0 && !link.Valid() && !own)
                return Refuse(leadsTo(missing, UserName(owner.st_uid)));
            target_ = shown;
            name_ = name;
            folder_.Reset(folder.Release());
            return 0;
        }
        if (hop == MaxLinkHops)
            return ELOOP;
        if (info.st_uid != owner.st_uid)
            return Refuse(std::string(shown)
                              .append(" is a link that ")
                              .append(UserName(info.st_uid))
                              .append(" made in a folder of ")
                              .append(whose));
        std::string target;
        if (!ReadLink(link.Get(), target))
            return std::uint32_t(errno);
        shown = target.starts_with('/') ? target : ParentOf(shown).append("/").append(target);
        const std::size_t slash = target.rfind('/');
        folder.Reset(OpenFolder(folder.Get(),
                                slash == std::string::npos ? "." : target.substr(0, slash + 1),
                                make && own, problem));
        if (!folder.Valid() && !problem.empty())
            return Refuse(problem);
        if (!folder.Valid())
            return errno == ENOENT && !own ? Refuse(leadsTo(missing, UserName(owner.st_uid)))
                                           : std::uint32_t(errno);
        name = NameOf(target);
    }
}

regfile::StoredText RegistryFile::Read() {
    existed_ = false;
    distrust_.clear();
    accessList_.clear();
    std::uint32_t error = 0;
    if (!folder_.Valid())
        if (error = Locate(false); error != 0)
            return error == ENOENT ? regfile::StoredText{} : Failed(error);
    // Non-blocking, so that a FIFO in its place cannot hang the saver; a link that appeared since
    // its links were followed is not followed.
    FileDescriptor file(
        openat(folder_.Get(), name_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
    if (!file.Valid())
        return errno == ENOENT ? regfile::StoredText{} : Failed(std::uint32_t(errno));
    existed_ = true;
    if (fstat(file.Get(), &read_) != 0)
        return Failed(std::uint32_t(errno));
    if (!S_ISREG(read_.st_mode))
        return Failed(S_ISDIR(read_.st_mode) ? EISDIR : EINVAL);
    distrust_ = OthersMayChange(file.Get(), read_);
    accessList_ = AccessListOf(file.Get());
    std::string bytes;
    if (error = ReadBytes(file.Get(), std::size_t(read_.st_size), bytes); error != 0)
        return Failed(error, std::move(bytes));
    return {regfile::StoredText::Read, std::move(bytes), 0};
}

bool RegistryFile::CanWrite() {
    return !existed_ || !folder_.Valid() ||
           faccessat(folder_.Get(), name_.c_str(), W_OK, AT_EACCESS) == 0;
}

// Copies the foreign file's bytes to a new file beside the settings, never over an earlier copy.
std::uint32_t RegistryFile::KeepAside(std::string_view foreign) {
    const std::string base = name_ + std::string(KeptAsideSuffix);
    for (int n = 0; n < MaxKeptAside; ++n) {
        const std::string aside = n == 0 ? base : base + "." + std::to_string(n);
        FileDescriptor fd(openat(folder_.Get(), aside.c_str(),
                                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd.Valid() && errno == EEXIST)
            continue;
        if (!fd.Valid())
            return std::uint32_t(errno);
        // The copy has the owner of what it copies, as a replaced file keeps its owner: root must
        // not hand the folder's owner the bytes of someone else's file that was linked there.
        // Should that fail, the copy stays the saver's own.
        if (read_.st_uid != geteuid() || read_.st_gid != getegid()) {
            const int failed = fchown(fd.Get(), read_.st_uid, read_.st_gid);
            static_cast<void>(failed);
        }
        if (!WriteAll(fd.Get(), foreign) || fsync(fd.Get()) != 0) {
            const std::uint32_t error = std::uint32_t(errno != 0 ? errno : EIO);
            unlinkat(folder_.Get(), aside.c_str(), 0);
            return error;
        }
        std::fprintf(stderr, "lumivex-gl: %s is not a registry file; it is kept as %s\n",
                     target_.c_str(), (ParentOf(target_) + "/" + aside).c_str());
        return 0;
    }
    return EEXIST;
}

// The new text under a temporary name, given the replaced file's owner and mode (a new file's
// owner is the folder's), then renamed over it.
std::uint32_t RegistryFile::Replace(std::string_view text) {
    struct stat folder {};
    if (fstat(folder_.Get(), &folder) != 0)
        return std::uint32_t(errno);
    std::string temporary;
    FileDescriptor fd(MakeTemporary(folder_.Get(), name_, temporary));
    if (!fd.Valid())
        return std::uint32_t(errno);
    // Held until the file has its name, so no other save takes it for a dead one's.
    flock(fd.Get(), LOCK_EX | LOCK_NB);
    bool ok = WriteAll(fd.Get(), text);
    if (ok && existed_ && (read_.st_uid != geteuid() || read_.st_gid != getegid()))
        ok = fchown(fd.Get(), read_.st_uid, read_.st_gid) == 0 || errno == EPERM;
    else if (ok && !existed_)
        OwnLikeFolder(fd.Get(), folder);
    // The access list after the mode, whose group bits would otherwise change its mask.
    ok = ok && fchmod(fd.Get(), existed_ ? read_.st_mode & 07777 : 0600) == 0 &&
         (!existed_ || SetAccessList(fd.Get(), accessList_)) && fsync(fd.Get()) == 0 &&
         renameat(folder_.Get(), temporary.c_str(), folder_.Get(), name_.c_str()) == 0;
    const std::uint32_t error = ok ? 0 : std::uint32_t(errno != 0 ? errno : EIO);
    if (!ok) {
        unlinkat(folder_.Get(), temporary.c_str(), 0);
        return error;
    }
    // The rename itself must reach the disk too.
    fsync(folder_.Get());
    existed_ = fstat(fd.Get(), &read_) == 0;
    return 0;
}

std::uint32_t RegistryFile::Write(std::string_view text, std::string_view foreign) {
    if (text.size() > MaxFileBytes)
        return EFBIG;
    if (!folder_.Valid())
        if (const std::uint32_t error = Locate(true); error != 0)
            return error;
    // Only the file that was read is replaced: a file or link put in its place since, by whoever,
    // is left as it is.
    struct stat now {};
    const bool exists = fstatat(folder_.Get(), name_.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists != existed_ ||
        (exists && (now.st_dev != read_.st_dev || now.st_ino != read_.st_ino))) {
        return ErrorFileReplaced;
    }
    DirectoryLock lock(folder_.Get());
    if (lock.Held())
        RemoveDeadTemporaries(folder_.Get(), name_);
    if (!foreign.empty())
        if (const std::uint32_t kept = KeepAside(foreign); kept != 0)
            return kept;
    return Replace(text);
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

std::string PosixPlatform::SettingsWritableByOthers() {
    if (registry_ == nullptr || registry_->file.Distrust().empty())
        return "";
    return registry_->file.Target() + ": " + registry_->file.Distrust();
}

std::string PosixPlatform::SettingsRefusal() const {
    return registry_ != nullptr ? registry_->file.Refusal() : "";
}

void PosixPlatform::ReportSaveFailure(std::uint32_t error, bool mayWait) {
    const std::string file = SettingsFilePath();
    const std::string text =
        "lumivex-gl: cannot save the settings to " +
        (file.empty() ? std::string("a file in the home folder (HOME is not set)") : file) + ": " +
        ErrorText(error);
    // The user who ended the saver hears of it as of the program's other failures; an end that a
    // signal or a lost display asked for must not wait for a click.
    if (mayWait && !TerminationRequested()) {
        ShowMessage(text, "Lumivex GL", MB_OK | MB_ICONINFORMATION);
        return;
    }
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}

} // namespace lumivex
