// Where the settings live, and who besides the user could change them (see posix_files.h).
#include "platform/posix/posix_files.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace lumivex {

namespace {

std::string UserName(uid_t uid) {
    const passwd* user = getpwuid(uid);
    return user != nullptr ? std::string(user->pw_name) : "uid " + std::to_string(uid);
}

// Debian gives each user a group of their own name, with no other member, as the primary group
// (umask 002 then leaves files group-writable): writing for that group is writing for the owner.
bool IsPrivateGroupOf(gid_t gid, uid_t owner) {
    const passwd* user = getpwuid(owner);
    if (user == nullptr || user->pw_gid != gid)
        return false;
    const std::string name = user->pw_name;
    const group* members = getgrgid(gid);
    if (members == nullptr || name != members->gr_name)
        return false;
    for (char** member = members->gr_mem; *member != nullptr; ++member)
        if (name != *member)
            return false;
    return true;
}

} // namespace

std::string SettingsFilePath() {
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
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string OthersMayChange(const struct stat& info, bool anyOwner) {
    if (!anyOwner && info.st_uid != geteuid() && info.st_uid != 0)
        return "it belongs to " + UserName(info.st_uid);
    if ((info.st_mode & S_IWOTH) != 0)
        return "everyone may write to it";
    if ((info.st_mode & S_IWGRP) != 0 && !IsPrivateGroupOf(info.st_gid, info.st_uid)) {
        const group* writers = getgrgid(info.st_gid);
        return "the group " +
               (writers != nullptr ? std::string(writers->gr_name) : std::to_string(info.st_gid)) +
               " may write to it";
    }
    return "";
}

bool MakeDirectories(const std::string& dir) {
    struct stat info {};
    if (stat(dir.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode);
    const std::string parent = ParentOf(dir);
    if (dir != "/" && !MakeDirectories(parent))
        return false;
    if (mkdir(dir.c_str(), 0700) != 0)
        return errno == EEXIST;
    // Whatever the umask, the user must be able to use the folder made for them.
    FileDescriptor made(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat above {};
    if (made.Valid() && fchmod(made.Get(), 0700) == 0 && stat(parent.c_str(), &above) == 0)
        OwnLikeFolder(made.Get(), above);
    return true;
}

void OwnLikeFolder(int fd, const struct stat& folder) {
    if (geteuid() != 0 || folder.st_uid == 0)
        return;
    // Should it fail, the file stays root's: no worse than not saving.
    const int failed = fchown(fd, folder.st_uid, folder.st_gid);
    static_cast<void>(failed);
}

void FileDescriptor::Reset(int fd) {
    if (fd_ >= 0)
        close(fd_);
    fd_ = fd;
}

} // namespace lumivex
