// The Linux back end's registry file store, instance guard, libraries and floating-point mask,
// on real files in a private directory.
#include "platform/posix/posix_files.h"
#include "platform/regfile/regfile.h"
#include "platform/x11/x11_platform.h"
#include "system/unGlobals.h"
#include "system/unRegistry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumivex {
namespace {

const std::string KeyPath = "HKEY_CURRENT_USER\\Software\\Orvantix\\Lumivex GL\\Version 3.0";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* entry = readdir(d))
            if (entry->d_name[0] != '.')
                names.push_back(entry->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

int Shell(const std::string& command) {
    return std::system(command.c_str());
}

// A private XDG_CONFIG_HOME and XDG_RUNTIME_DIR for each test, removed afterwards.
class X11SystemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/lumivex-x11-test.XXXXXX";
        root = mkdtemp(pattern);
        config = root + "/config";
        runtime = root + "/runtime";
        mkdir(config.c_str(), 0700);
        mkdir(runtime.c_str(), 0700);
        dir = config + "/lumivex-gl";
        file = dir + "/registry.reg";
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        SetPlatform(&platform);
        SetDefaultSettings();
    }
    void TearDown() override {
        SetPlatform(nullptr);
        GuardFallbackFolder = "/tmp";
        std::string command = "rm -rf '" + root + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    void MakeDir() { mkdir(dir.c_str(), 0700); }
    // Why the guard is refused, or "" when it is had (and let go again).
    std::string GuardRefusal() {
        bool exists = false;
        const GuardHandle guard = platform.CreateInstanceGuard("LumivexGLSemaphore", exists);
        const std::string why = guard != 0 ? "" : platform.ErrorText(platform.GetLastError());
        platform.CloseInstanceGuard(guard);
        return why;
    }

    std::string root, config, runtime, dir, file;
    X11Platform platform;
};

TEST_F(X11SystemTest, TheFirstSaveCreatesTheDirectoryAndTheFile) {
    LoadSettings();
    SaveSettings();
    regfile::Document document = regfile::Parse(ReadFile(file));
    const regfile::Key* key = regfile::FindKey(document, KeyPath);
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(key->Values.size(), 10u);
    EXPECT_EQ(key->Values[0].Name, "OpenGLDLL");
    EXPECT_EQ(key->Values[9].Name, "Rest");
    struct stat info {};
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "settings are private to the user";
}

TEST_F(X11SystemTest, SavingKeepsEverythingTheProgramDoesNotOwn) {
    MakeDir();
    WriteFile(file, "Windows Registry Editor Version 5.00\r\n"
                    "\r\n"
                    "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
                    "\"Keep\"=hex(2):41,00,00,00\r\n"
                    "\r\n"
                    "[" +
                        KeyPath +
                        "]\r\n"
                        "\"Background\"=dword:00ff0000\r\n"
                        "\"WallpaperDir\"=\"/home/me/pictures\"\r\n"
                        "\"MyNote\"=\"added by hand\"\r\n"
                        "\"Rest\"=dword:00000028\r\n");
    chmod(file.c_str(), 0640);
    ASSERT_EQ(Shell("setfacl -m u:nobody:r '" + file + "'"), 0);
    // A reader holding the old file (here a second name of it) must never see it change.
    const std::string before = ReadFile(file), reader = root + "/reader.reg";
    ASSERT_EQ(link(file.c_str(), reader.c_str()), 0);
    LoadSettings();
    EXPECT_EQ(Settings.Background, 0x00FF0000u);
    EXPECT_EQ(Settings.Rest, 40);
    Settings.NumOfElements = 7;
    SaveSettings();

    std::string text = ReadFile(file);
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u) << text;
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Other]\r\n\"Keep\"=hex(2):41,00,00,00\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("\"Background\"=dword:00ff0000\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"WallpaperDir\"=\"/home/me/pictures\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"MyNote\"=\"added by hand\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"NumOfElements\"=dword:00000007\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"Rest\"=dword:00000028\r\n"), std::string::npos);

    // Replaced by rename: no temporary file is left, and the mode and access list are the file's.
    EXPECT_EQ(FilesIn(dir), std::vector<std::string>{"registry.reg"});
    EXPECT_EQ(ReadFile(reader), before);
    struct stat info {};
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(Shell("getfacl -c '" + file + "' | grep -qx user:nobody:r--"), 0);
}

// 64 MiB is the most a settings file may hold: one of exactly that size is read and saved whole,
// a larger one is read in part and never overwritten.
TEST_F(X11SystemTest, AFileOfUpTo64MiBIsSavedAndALargerOneIsReadInPartAndNeverOverwritten) {
    MakeDir();
    Settings.NumOfElements = 7;
    SaveSettings();
    const std::string saved = ReadFile(file);
    for (const off_t size : {off_t(64) << 20, off_t(100) << 20}) {
        const bool whole = size == off_t(64) << 20;
        // A comment pads the settings, which are written back as read; a larger file ends in NULs.
        WriteFile(file, whole ? saved + ";" +
                                    std::string(std::size_t(size) - saved.size() - 3, 'x') + "\n\n"
                              : saved);
        ASSERT_EQ(truncate(file.c_str(), size), 0);
        LoadSettings();
        EXPECT_EQ(Settings.NumOfElements, 7);
        Settings.NumOfElements = 2;
        SaveSettings();
        Settings.NumOfElements = 7;
        struct stat info {};
        ASSERT_EQ(stat(file.c_str(), &info), 0);
        EXPECT_EQ(info.st_size, size);
        const std::string kept = whole ? "=dword:00000002\n" : "=dword:00000007\n";
        EXPECT_NE(ReadFile(file).find("\"NumOfElements\"" + kept), std::string::npos) << size;
        EXPECT_EQ(FilesIn(dir).size(), 1u);
    }
}

TEST_F(X11SystemTest, SomethingOtherThanAFileInItsPlaceIsLeftAlone) {
    MakeDir();
    ASSERT_EQ(mkfifo(file.c_str(), 0600), 0); // opening it for reading must not hang
    LoadSettings();
    SaveSettings();
    struct stat info {};
    ASSERT_EQ(lstat(file.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_EQ(Settings.NumOfElements, 3);
}

TEST_F(X11SystemTest, ASymbolicLinkKeepsPointingAtTheSettingsEvenBeforeItsTargetExists) {
    MakeDir();
    std::string real = root + "/elsewhere.reg";
    WriteFile(real, "REGEDIT4\n");
    std::string dotfiles = root + "/dotfiles";
    mkdir(dotfiles.c_str(), 0700);
    for (std::string target : {real, std::string("../../dotfiles/lumivex.reg")}) {
        unlink(file.c_str());
        ASSERT_EQ(symlink(target.c_str(), file.c_str()), 0);
        X11Platform run; // a link is followed once in a run
        SetPlatform(&run);
        SaveSettings();
        SetPlatform(&platform);
        struct stat info {};
        ASSERT_EQ(lstat(file.c_str(), &info), 0);
        EXPECT_TRUE(S_ISLNK(info.st_mode)) << target;
        EXPECT_NE(ReadFile(file).find("\"Rest\"=dword:00000014"), std::string::npos) << target;
    }
    EXPECT_NE(ReadFile(real).find("\"Rest\"=dword:00000014"), std::string::npos);
    EXPECT_EQ(FilesIn(dotfiles), std::vector<std::string>{"lumivex.reg"});
}

// Root with nobody's HOME follows only links nobody made to nobody's files in nobody's folders; any
// other is neither read nor written through, the save says why, nothing is made or changed there.
TEST_F(X11SystemTest, RootFollowsOnlyTheFolderOwnersLinksToTheOwnersFiles) {
    if (geteuid() != 0)
        GTEST_SKIP() << "only root can give files to other users";
    const std::string mine = root + "/mine", only = root + "/rootonly";
    ASSERT_EQ(Shell("cd " + root +
                    " && mkdir -m 700 mine rootonly config/lumivex-gl && echo secret"
                    " >rootonly/victim && echo REGEDIT4 | tee mine/root.reg >mine/nobody.reg &&"
                    " chown 65534:65534 mine mine/nobody.reg config/lumivex-gl"),
              0);
    const struct {
        std::string Target; // of the settings file's link, or of the folder's (rootonly)
        uid_t Maker;
        std::string Refusal; // empty: followed
    } cases[] = {{only + "/victim", 65534, "leads to " + only + "/victim, in a folder that is not"},
                 {only + "/missing", 65534, "in a folder that is not nobody's"},
                 {mine + "/root.reg", 65534, "a file that is not nobody's"},
                 {mine + "/nobody.reg", 0, "a link that root made in a folder of nobody's"},
                 {"../../mine/missing.reg", 65534, "does not exist and is made only by nobody;"},
                 {"../../mine/nobody.reg", 65534, ""},
                 {only, 65534, dir + " is a link that nobody made to a folder of root's"}};
    for (const auto& c : cases) {
        const std::string link = c.Target == only ? dir : file;
        ASSERT_EQ(Shell("rm -rf '" + link + "'") == 0 &&
                      symlink(c.Target.c_str(), link.c_str()) == 0 &&
                      lchown(link.c_str(), c.Maker, c.Maker) == 0,
                  true);
        X11Platform run; // a link is followed once in a run
        SetPlatform(&run);
        LoadSettings();
        std::uint32_t error = 0;
        const std::string why = SaveSettings(&error) ? "" : run.ErrorText(error);
        bool exists = false;
        run.CloseInstanceGuard(run.CreateInstanceGuard("LumivexGLSemaphore", exists));
        SetPlatform(&platform);
        EXPECT_TRUE(why.empty() == c.Refusal.empty() && why.find(c.Refusal) != std::string::npos)
            << c.Target << ": " << why;
        EXPECT_EQ(FilesIn(only), std::vector<std::string>{"victim"}) << c.Target;
        EXPECT_EQ(FilesIn(mine), (std::vector<std::string>{"nobody.reg", "root.reg"})) << c.Target;
        EXPECT_EQ(ReadFile(only + "/victim"), "secret\n");
    }
    EXPECT_NE(ReadFile(mine + "/nobody.reg").find("\"Rest\"=dword:00000014"), std::string::npos);
}

TEST_F(X11SystemTest, AFileThatIsNotARegistryFileIsKeptAsideOnceAndNeverOverwritten) {
    MakeDir();
    std::string noise(4096, '\0');
    for (std::uint32_t seed = 7; char& byte : noise)
        byte = char((seed = seed * 134775813u + 1) >> 24);
    WriteFile(file, noise);
    WriteFile(file + ".unreadable", "kept by an earlier run");
    LoadSettings();
    EXPECT_EQ(Settings.NumOfElements, 3);
    ::testing::internal::CaptureStderr();
    SaveSettings();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "lumivex-gl: " + file + " is not a registry file; it is kept as " + file +
                  ".unreadable.1\n");
    EXPECT_EQ(ReadFile(file + ".unreadable"), "kept by an earlier run");
    EXPECT_EQ(ReadFile(file + ".unreadable.1"), noise);
    EXPECT_NE(ReadFile(file).find("\"Rest\"=dword:00000014"), std::string::npos);

    ::testing::internal::CaptureStderr();
    LoadSettings();
    SaveSettings();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(FilesIn(dir).size(), 3u);
}

TEST_F(X11SystemTest, ASaveRemovesTheTemporaryFilesOfKilledSavesOnly) {
    MakeDir();
    const std::string dead = "registry.reg.tmp.a1B2c3", live = "registry.reg.tmp.Live00";
    for (std::string name :
         {dead, live, std::string("registry.reg.backup"), std::string("registry.reg.tmp.a1B2c3d"),
          std::string("other.tmp.x1y2z3")})
        WriteFile(dir + "/" + name, "REGEDIT4\n");
    // A save still running holds its temporary file locked.
    int writing = open((dir + "/" + live).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(flock(writing, LOCK_EX), 0);
    SaveSettings();
    close(writing);
    EXPECT_EQ(FilesIn(dir),
              (std::vector<std::string>{"other.tmp.x1y2z3", "registry.reg", "registry.reg.backup",
                                        "registry.reg.tmp.Live00", "registry.reg.tmp.a1B2c3d"}));
}

TEST_F(X11SystemTest, KeysOpenOnlyWhenTheyExistAndValuesKeepTheirTypes) {
    EXPECT_EQ(platform.RegOpenKey("Software\\Orvantix", RegAccess::Read), 0);
    MakeDir();
    WriteFile(file, "REGEDIT4\n[" + KeyPath + "]\n\"Alpha\"=\"yes\"\n");
    KeyHandle parent = platform.RegOpenKey("Software\\Orvantix", RegAccess::Read);
    EXPECT_NE(parent, 0) << "a parent exists through its subkey";
    platform.RegCloseKey(parent);
    KeyHandle key =
        platform.RegOpenKey("software\\orvantix\\lumivex gl\\version 3.0", RegAccess::Read);
    ASSERT_NE(key, 0);
    RegistryValue value;
    ASSERT_TRUE(platform.RegQueryValue(key, "ALPHA", value));
    EXPECT_EQ(value.Type, REG_SZ);
    EXPECT_FALSE(platform.RegQueryValue(key, "Rest", value));
    std::uint8_t one[4] = {1, 0, 0, 0};
    EXPECT_FALSE(platform.RegSetValue(key, "Rest", REG_DWORD, one, 4)) << "opened for reading";
    platform.RegCloseKey(key);
}

TEST_F(X11SystemTest, TheGuardAdmitsOneHolderAtATime) {
    bool exists = true;
    GuardHandle first = platform.CreateInstanceGuard("LumivexGLSemaphore", exists);
    ASSERT_NE(first, 0);
    EXPECT_FALSE(exists);
    EXPECT_EQ(access((dir + "/LumivexGLSemaphore.lock").c_str(), F_OK), 0);

    // Whatever the environment says: the guard sits beside the settings it keeps apart.
    unsetenv("XDG_RUNTIME_DIR");
    GuardHandle second = platform.CreateInstanceGuard("LumivexGLSemaphore", exists);
    EXPECT_NE(second, 0);
    EXPECT_TRUE(exists);
    platform.CloseInstanceGuard(second);

    platform.CloseInstanceGuard(first);
    GuardHandle third = platform.CreateInstanceGuard("LumivexGLSemaphore", exists);
    EXPECT_FALSE(exists);
    platform.CloseInstanceGuard(third);
}

TEST_F(X11SystemTest, TheGuardIsOnlyHadInAFolderNobodyElseMayWriteTo) {
    const struct {
        mode_t mode;
        bool guarded;
    } cases[] = {{0700, true}, {0500, true}, {0755, true}, {0777, false}, {0703, false}};
    for (const auto& c : cases) {
        MakeDir();
        ASSERT_EQ(chmod(dir.c_str(), c.mode), 0);
        bool exists = true;
        GuardHandle guard = platform.CreateInstanceGuard("LumivexGLSemaphore", exists);
        EXPECT_EQ(guard != 0, c.guarded) << std::oct << c.mode;
        const std::string why = platform.ErrorText(platform.GetLastError());
        platform.CloseInstanceGuard(guard);
        EXPECT_TRUE(c.guarded || (why.find(dir) != std::string::npos &&
                                  why.find("everyone may write") != std::string::npos))
            << why;
    }
    // A link or a folder in the lock file's place is no guard at all.
    ASSERT_EQ(chmod(dir.c_str(), 0700), 0);
    const std::string lock = dir + "/LumivexGLSemaphore.lock";
    for (const std::string& make : {"ln -sf " + root + "/elsewhere " + lock, "mkdir " + lock}) {
        ASSERT_EQ(std::system(("rm -rf " + lock + " && " + make).c_str()), 0);
        bool exists = true;
        EXPECT_EQ(platform.CreateInstanceGuard("LumivexGLSemaphore", exists), 0) << make;
    }
    EXPECT_NE(access((root + "/elsewhere").c_str(), F_OK), 0);
}

// Others who may write to the settings or the guard's folder (an access list entry within its mask,
// everyone by the mode beside an access list, as root an account logging in with the owner's group;
// not the owner's own private group), or a lock hard-linked to root's file: each is named.
TEST_F(X11SystemTest, OthersWhoMayWriteAreSeenThroughAccessListsLoginGroupsAndHardLinks) {
    MakeDir();
    WriteFile(file, "REGEDIT4\n");
    const std::string owner = "lmvxown" + std::to_string(getpid()),
                      other = "lmvxoth" + owner.substr(7), alone = "lmvxaln" + owner.substr(7),
                      secret = root + "/secret", lock = dir + "/LumivexGLSemaphore.lock",
                      paths = " '" + file + "' '" + dir + "'";
    const bool accounts =
        geteuid() == 0 && Shell("useradd -M -U " + owner + " && useradd -M -N -g " + owner + " " +
                                other + " && useradd -M -U " + alone) == 0;
    WriteFile(secret, "root's own\n");
    const struct {
        std::string Make, Settings, Guard; // what is made, then who each refusal names
    } cases[] = {
        {"setfacl -m u:nobody:rwx" + paths, "nobody", "nobody"},
        {"setfacl -m g:nogroup:rwx" + paths, "nogroup", "nogroup"},
        {"setfacl -m u:nobody:rwx,m::r-x" + paths, "", ""},
        {"chmod 777" + paths + " && setfacl -m u:nobody:r" + paths, "everyone", "everyone"},
        {"chown " + owner + ": '" + dir + "' && chmod 770 '" + dir + "'", "", "group " + owner},
        {"chown " + alone + ": '" + dir + "' && chmod 770 '" + dir + "'", "", ""},
        {"chown " + owner + ": '" + dir + "' && ln " + secret + " " + lock, "", "one name"}};
    const auto names = [](const std::string& why, const std::string& who) {
        return why.empty() == who.empty() && why.find(who) != std::string::npos;
    };
    for (const auto& c : cases) {
        if (!accounts && c.Make.find("lmvx") != std::string::npos)
            continue; // only root can make accounts
        EXPECT_EQ(Shell(c.Make), 0) << c.Make;
        LoadSettings();
        const std::string settings = platform.SettingsWritableByOthers(), guard = GuardRefusal();
        EXPECT_TRUE(names(settings, c.Settings) && names(guard, c.Guard))
            << c.Make << ": " << settings << " / " << guard;
        Shell("setfacl -b" + paths + "; chown 0:0 '" + dir + "'; chmod 700 '" + dir +
              "'; chmod 600 '" + file + "'; rm -f " + lock);
    }
    struct stat info {};
    EXPECT_TRUE(stat(secret.c_str(), &info) == 0 && info.st_uid == geteuid());
    if (accounts)
        Shell("userdel " + other + "; userdel " + owner + "; userdel " + alone);
}

// Without a settings folder the guard is in the fallback folder's first lumivex-gl-<uid>(.N) of the
// user's alone, whatever TMPDIR says, also once another user's is gone; none where all may remove.
TEST_F(X11SystemTest, WhereTheSettingsFolderCannotBeMadeEveryStartFindsTheSameGuard) {
    WriteFile(root + "/home", "a file where the folders would be");
    setenv("XDG_CONFIG_HOME", (root + "/home/config").c_str(), 1);
    unsetenv("XDG_RUNTIME_DIR");
    const std::string tmp = root + "/tmp", own = tmp + "/lumivex-gl-" + std::to_string(geteuid());
    ASSERT_EQ(mkdir(tmp.c_str(), 0700) == 0 && chmod(tmp.c_str(), 01777) == 0, true);
    GuardFallbackFolder = tmp.c_str();
    for (const std::string& squat : {std::string(), own}) {
        if (!squat.empty() && !(geteuid() == 0 && Shell("rm -rf " + own + " && mkdir " + squat +
                                                        " && chown 65534 " + squat) == 0))
            continue; // only root can make another user's folder
        bool exists = true;
        const GuardHandle first = platform.CreateInstanceGuard("LumivexGLSemaphore", exists);
        EXPECT_TRUE(first != 0 && !exists) << platform.ErrorText(platform.GetLastError());
        const std::string held = (squat.empty() ? own : own + ".1") + "/LumivexGLSemaphore.lock";
        EXPECT_EQ(access(held.c_str(), F_OK), 0);
        rmdir(squat.c_str()); // none when empty
        setenv("TMPDIR", root.c_str(), 1);
        X11Platform second;
        second.CloseInstanceGuard(second.CreateInstanceGuard("LumivexGLSemaphore", exists));
        EXPECT_TRUE(exists) << squat;
        unsetenv("TMPDIR");
        platform.CloseInstanceGuard(first);
    }
    ASSERT_EQ(chmod(tmp.c_str(), 0777), 0);
    EXPECT_NE(GuardRefusal().find("only their owners may remove"), std::string::npos);
}

// A save replaces only the file it read, and says so when another was renamed over it meanwhile.
TEST_F(X11SystemTest, AFileRenamedOverTheSettingsBetweenReadAndWriteIsLeftAlone) {
    MakeDir();
    WriteFile(file, "REGEDIT4\n");
    WriteFile(dir + "/other.reg", "REGEDIT4\n; put in its place meanwhile\n");
    const KeyHandle key = platform.RegCreateKey(SettingsKey); // the save reads the file here
    ASSERT_EQ(rename((dir + "/other.reg").c_str(), file.c_str()), 0);
    const std::uint8_t forty[4] = {40, 0, 0, 0};
    EXPECT_TRUE(platform.RegSetValue(key, "Rest", REG_DWORD, forty, 4));
    EXPECT_TRUE(!platform.RegCloseKey(key) && platform.GetLastError() == ErrorFileReplaced);
    EXPECT_EQ(ReadFile(file), "REGEDIT4\n; put in its place meanwhile\n");
}

TEST_F(X11SystemTest, WindowsLibraryNamesMapToTheSystemGLInAnyCase) {
    if (access("/usr/lib/x86_64-linux-gnu/libGLU.so.1", F_OK) != 0 &&
        access("/usr/lib/libGLU.so.1", F_OK) != 0)
        GTEST_SKIP() << "no libGLU on this machine";
    LibraryHandle glu = platform.LoadLibrary("glu32.dll");
    ASSERT_NE(glu, nullptr);
    EXPECT_NE(platform.GetProcAddress(glu, "gluErrorString"), nullptr);
    EXPECT_EQ(platform.GetProcAddress(glu, "NoSuchFunction"), nullptr);
    platform.FreeLibrary(glu);
    EXPECT_EQ(platform.LoadLibrary("GLU32.DLL.missing"), nullptr);
    EXPECT_NE(platform.GetLastError(), 0u);
    EXPECT_EQ(platform.LoadLibrary(""), nullptr); // not the program itself
}

TEST_F(X11SystemTest, FloatingPointExceptionsAreMasked) {
    platform.MaskFloatingPointExceptions();
#if defined(__x86_64__) || defined(__i386__)
    unsigned short control = 0;
    __asm__ volatile("fnstcw %0" : "=m"(control));
    EXPECT_EQ(control & ~0x40, 0x133F); // bit 6 is reserved and reads as one
    unsigned int mxcsr = 0;
    __asm__ volatile("stmxcsr %0" : "=m"(mxcsr));
    EXPECT_EQ(mxcsr & 0x1F80u, 0x1F80u);
#endif
    EXPECT_EQ(fegetexcept(), 0);
    volatile double zero = 0.0;
    EXPECT_TRUE(std::isinf(1.0 / zero));
}

} // namespace
} // namespace lumivex
