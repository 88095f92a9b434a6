// Where the settings live, and who besides the user could change them (see posix_files.h).
#include "platform/posix/posix_files.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace lumivex {

namespace {

// Debian gives each user a group of their own name, with no other member, as the primary group
// (umask 002 then leaves files group-writable): writing for that group is writing for the owner.
// Such a group is the owner's alone only while no entry with its number lists another member (a
// local group and a directory's may share a number, and getgrgid tells of the first only) and no
// other account has it as its login group, which no member list shows: groups and accounts are
// walked for that. Refusing every group write instead, as OpenSSH's strict modes do, would stop
// the saver for everyone with user-private groups and a group-writable settings folder (Debian's
// own OpenSSH accepts such a group after the same walk). The walks are only made for a file or
// folder a group may write to, a few times a start; a directory that lists no groups or accounts
// (sssd without enumeration) hides its own.
bool IsPrivateGroupOf(gid_t gid, uid_t owner) {
    const passwd* user = getpwuid(owner);
    if (user == nullptr || user->pw_gid != gid)
        return false;
    const std::string name = user->pw_name;
    const group* first = getgrgid(gid);
    if (first == nullptr || name != first->gr_name)
        return false;
    bool alone = true;
    setgrent();
    while (const group* entry = alone ? getgrent() : nullptr)
        for (char** member = entry->gr_mem; entry->gr_gid == gid && *member != nullptr; ++member)
            alone = alone && name == *member;
    endgrent();
    setpwent();
    while (const passwd* account = alone ? getpwent() : nullptr)
        alone = account->pw_gid != gid || account->pw_uid == owner;
    endpwent();
    return alone;
}

std::string GroupMayWrite(gid_t gid) {
    const group* writers = getgrgid(gid);
    return "the group " +
           (writers != nullptr ? std::string(writers->gr_name) : std::to_string(gid)) +
           " may write to it";
}

// The access list Linux keeps in this attribute: a little-endian version (2), then entries of a
// 16-bit tag, 16-bit permissions and a 32-bit user or group id.
constexpr const char* AccessListAttribute = "system.posix_acl_access";
constexpr std::uint32_t AccessListVersion = 2;
constexpr std::size_t AccessListHeader = 4;
constexpr std::size_t AccessListEntry = 8;
constexpr unsigned AclUser = 0x02, AclGroupObject = 0x04, AclGroup = 0x08, AclMask = 0x10,
                   AclOther = 0x20;
constexpr unsigned AclWrite = 0x02;
constexpr int MaxLinkHops = 40; // as the kernel allows

std::uint32_t LittleEndian(const std::string& bytes, std::size_t at, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = size; i-- > 0;)
        value = value << 8 | std::uint8_t(bytes[at + i]);
    return value;
}

// The access list of the open file; false when it has none (or the file system keeps none).
bool ReadAccessList(int fd, std::string& bytes, int& error) {
    error = 0;
    for (int attempt = 0; attempt < 4; ++attempt) {
        const ssize_t size = fgetxattr(fd, AccessListAttribute, nullptr, 0);
        if (size >= 0) {
            bytes.resize(std::size_t(size));
            const ssize_t got = fgetxattr(fd, AccessListAttribute, bytes.data(), bytes.size());
            if (got >= 0) {
                bytes.resize(std::size_t(got));
                return true;
            }
        }
        if (errno == ENODATA || errno == ENOTSUP || errno == ENOSYS)
            return false;
        if (errno != ERANGE) // it grew between the two calls: again
            break;
    }
    error = errno;
    return true;
}

// With an access list the mode's group bits are only its mask: who may write is in its entries,
// each but the owner's and the others' limited by the mask.
std::string AccessListWriters(const std::string& acl, const struct stat& info) {
    if (acl.size() < AccessListHeader || (acl.size() - AccessListHeader) % AccessListEntry != 0 ||
        LittleEndian(acl, 0, 4) != AccessListVersion)
        return "its access list cannot be read";
    unsigned mask = 07;
    for (std::size_t at = AccessListHeader; at < acl.size(); at += AccessListEntry)
        if (LittleEndian(acl, at, 2) == AclMask)
            mask = LittleEndian(acl, at + 2, 2);
    for (std::size_t at = AccessListHeader; at < acl.size(); at += AccessListEntry) {
        const std::uint32_t tag = LittleEndian(acl, at, 2);
        const std::uint32_t permissions = LittleEndian(acl, at + 2, 2);
        const auto id = LittleEndian(acl, at + 4, 4);
        if (tag == AclOther && (permissions & AclWrite) != 0)
            return "everyone may write to it";
        if ((permissions & mask & AclWrite) == 0)
            continue;
        if (tag == AclUser && uid_t(id) != info.st_uid)
            return "the user " + UserName(uid_t(id)) + " may write to it";
        const gid_t gid = tag == AclGroupObject ? info.st_gid : gid_t(id);
        if ((tag == AclGroupObject || tag == AclGroup) && !IsPrivateGroupOf(gid, info.st_uid))
            return GroupMayWrite(gid);
    }
    return "";
}

// The names of a path in order, without the empty ones and ".".
std::vector<std::string> NamesIn(const std::string& path) {
    std::vector<std::string> names;
    for (std::size_t at = 0; at < path.size();) {
        const std::size_t end = std::min(path.find('/', at), path.size());
        if (end > at && path.compare(at, end - at, ".") != 0)
            names.push_back(path.substr(at, end - at));
        at = end + 1;
    }
    return names;
}

} // namespace

std::string UserName(uid_t uid) {
    const passwd* user = getpwuid(uid);
    return user != nullptr ? std::string(user->pw_name) : "uid " + std::to_string(uid);
}

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

std::string OthersMayChange(int fd, const struct stat& info, bool anyOwner) {
    if (!anyOwner && info.st_uid != geteuid() && info.st_uid != 0)
        return "it belongs to " + UserName(info.st_uid);
    std::string acl;
    int error = 0;
    if (ReadAccessList(fd, acl, error))
        return error != 0 ? "its access list cannot be read" : AccessListWriters(acl, info);
    if ((info.st_mode & S_IWOTH) != 0)
        return "everyone may write to it";
    if ((info.st_mode & S_IWGRP) != 0 && !IsPrivateGroupOf(info.st_gid, info.st_uid))
        return GroupMayWrite(info.st_gid);
    return "";
}

int OpenFolder(int at, const std::string& path, bool make, std::string& problem) {
    FileDescriptor here(
        openat(at, path.starts_with('/') ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    std::vector<std::string> names = NamesIn(path);
    std::reverse(names.begin(), names.end());         // the next name last
    std::vector<std::pair<uid_t, std::string>> links; // each link's owner and path
    std::string shown = path.starts_with('/') ? "" : ".";
    // Links that neither root nor the owner of the folder they lead to made are not followed.
    const auto refused = [&links, &problem](int folder) {
        struct stat info {};
        if (fstat(folder, &info) != 0)
            return true;
        for (const auto& [owner, link] : links)
            if (owner != 0 && owner != info.st_uid) {
                problem = link + " is a link that " + UserName(owner) + " made to a folder of " +
                          UserName(info.st_uid) + "'s";
                errno = EACCES;
                return true;
            }
        return false;
    };
    for (int hops = 0; here.Valid() && !names.empty();) {
        const std::string name = names.back();
        FileDescriptor next(openat(here.Get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (!next.Valid() && errno == ENOENT && make) {
            if (refused(here.Get()))
                return -1;
            const bool made = mkdirat(here.Get(), name.c_str(), 0700) == 0;
            if (!made && errno != EEXIST)
                return -1;
            // Whatever the umask, the user must be able to use the folder made for them; only the
            // folder made here, not one put in its place since.
            next.Reset(
                openat(here.Get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            struct stat above {};
            struct stat info {};
            if (made && next.Valid() && fstat(next.Get(), &info) == 0 && info.st_uid == geteuid() &&
                fchmod(next.Get(), 0700) == 0 && fstat(here.Get(), &above) == 0)
                OwnLikeFolder(next.Get(), above);
        }
        struct stat info {};
        if (!next.Valid() || fstat(next.Get(), &info) != 0)
            return -1;
        names.pop_back();
        if (name == "..") {
            shown = ParentOf(shown);
        } else {
            shown.erase(shown == "/" ? 0 : shown.size());
            shown.append("/").append(name);
        }
        if (S_ISLNK(info.st_mode)) {
            std::string target;
            if (++hops > MaxLinkHops || !ReadLink(next.Get(), target)) {
                errno = hops > MaxLinkHops ? ELOOP : errno;
                return -1;
            }
            links.emplace_back(info.st_uid, shown);
            shown = ParentOf(shown);
            if (target.starts_with('/')) {
                next.Reset(open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
                shown = "/";
            } else {
                next.Reset(here.Release());
            }
            const std::vector<std::string> more = NamesIn(target);
            names.insert(names.end(), more.rbegin(), more.rend());
        } else if (!S_ISDIR(info.st_mode)) {
            errno = ENOTDIR;
            return -1;
        }
        here.Reset(next.Release());
    }
    if (!here.Valid() || refused(here.Get()))
        return -1;
    return openat(here.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

bool ReadLink(int fd, std::string& target) {
    target.assign(PATH_MAX, '\0');
    const ssize_t size = readlinkat(fd, "", target.data(), target.size());
    if (size <= 0 || std::size_t(size) >= target.size()) {
        errno = size < 0 ? errno : ENAMETOOLONG;
        return false;
    }
    target.resize(std::size_t(size));
    return true;
}

std::string AccessListOf(int fd) {
    std::string list;
    int error = 0;
    return ReadAccessList(fd, list, error) && error == 0 ? list : "";
}

bool SetAccessList(int fd, const std::string& list) {
    if (!list.empty())
        return fsetxattr(fd, AccessListAttribute, list.data(), list.size(), 0) == 0;
    return fremovexattr(fd, AccessListAttribute) == 0 || errno == ENODATA || errno == ENOTSUP;
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
