// Files and folders of the user's that other local users must not be able to change or take:
// the settings file, its folder and the single-instance guard in it.
#pragma once

#include <cstdint>
#include <string>
#include <sys/stat.h>

namespace lumivex {

// The error of a save that found another file in place of the one it read (beyond errno's range).
constexpr std::uint32_t ErrorFileReplaced = 0x20000001;
// The error of settings whose links lead where their folder's owner may not send them.
constexpr std::uint32_t ErrorSettingsRefused = 0x20000003;
// Where the guard goes when the settings folder cannot hold it: a fixed folder, whatever the
// environment says. Only tests point it elsewhere.
extern const char* GuardFallbackFolder;

// $XDG_CONFIG_HOME/lumivex-gl/registry.reg (default ~/.config/lumivex-gl/registry.reg); empty
// when there is no home folder to put it in.
std::string SettingsFilePath();
std::string ParentOf(const std::string& path);
std::string NameOf(const std::string& path);
std::string UserName(uid_t uid);

// Why someone other than the user may change the open file or folder `fd` with this status: it
// belongs to another user (root aside; any owner with `anyOwner`), everyone may write to it, or a
// user or group but its owner and the owner's own private group may, by its mode or its access
// list. Empty when nobody else can.
std::string OthersMayChange(int fd, const struct stat& info, bool anyOwner = false);

// The folder `path` names (relative to the folder `at`, or AT_FDCWD), opened for reading, with the
// missing folders made when `make`: mkdir -p, new folders private to their owner, and given to that
// user when root makes them in another user's folder (OwnLikeFolder). Its links are followed by
// hand, one name at a time, so that who made each is known: one that neither root nor the owner of
// the folder reached made is refused, with why in `problem` (errno EACCES), and nothing is made.
// -1 with errno otherwise.
int OpenFolder(int at, const std::string& path, bool make, std::string& problem);
// The target of the link open (O_PATH) as `fd`; false with errno when it cannot be read.
bool ReadLink(int fd, std::string& target);

// The access list of the open file (its extended attribute's bytes), empty when it has none.
std::string AccessListOf(int fd);
// Gives the open file that list, or none when it is empty.
bool SetAccessList(int fd, const std::string& list);
// A new file (descriptor `fd`) in `folder` goes to the folder's owner when root made it in another
// user's folder, so that the user's own runs can still read and replace it.
void OwnLikeFolder(int fd, const struct stat& folder);

// An exclusive lock on `file` in a folder of the user's alone: $XDG_RUNTIME_DIR, else the guard's
// fallback folder in /tmp (posix_instance.cpp). Its descriptor, or -1 when neither can hold it;
// `heldElsewhere` when a live process holds it (the caller closes the descriptor then).
int LockInPrivateFolders(const std::string& file, bool& heldElsewhere);

// An open descriptor closed with its owner.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() { Reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    void Reset(int fd = -1);
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_;
};

} // namespace lumivex
