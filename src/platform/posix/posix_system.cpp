// Libraries, clock, version, errors, the floating-point mask and the help text of the Linux back
// end. The two Windows library names the settings hold by default map to the system's GL and
// GLU; any other name goes to dlopen as written, so a setting is never rewritten.
#include "platform/posix/posix_files.h"
#include "platform/posix/posix_platform.h"

#include <cerrno>
#include <cfenv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <memory>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/utsname.h>

namespace lumivex {

struct PosixPlatform::SystemState {
    std::string lastLoadError; // dlerror() of the last failed load, for the help of a human
};

void PosixPlatform::StateDeleter::operator()(SystemState* state) const {
    std::default_delete<SystemState>()(state);
}

namespace {

constexpr const char* SystemDirectory = "/usr/lib";

bool SameNoCase(const std::string& a, const char* b) {
    std::size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        if ((x >= 'A' && x <= 'Z' ? x + 32 : x) != (y >= 'A' && y <= 'Z' ? y + 32 : y))
            return false;
    }
    return true;
}

std::string LinuxLibraryName(const std::string& name) {
    if (SameNoCase(name, "OpenGL32.DLL"))
        return "libGL.so.1";
    if (SameNoCase(name, "GLU32.DLL"))
        return "libGLU.so.1";
    return name;
}

// dlopen opens a file before it can tell that it holds no library, and opening a FIFO waits for a
// writer for ever (some devices block too), in a call no signal ends. Only a regular file is
// handed to it. A name with a slash is that file; a bare name is looked up by the loader, and of
// its folders those in LD_LIBRARY_PATH are the ones a user can fill, so their candidates are
// checked in the loader's order up to the first regular file. The system folders are left alone.
bool LoadableWithoutBlocking(const std::string& name) {
    struct stat info {};
    if (name.find('/') != std::string::npos)
        return stat(name.c_str(), &info) != 0 || S_ISREG(info.st_mode);
    const char* path = std::getenv("LD_LIBRARY_PATH");
    std::string_view rest = path != nullptr ? path : "";
    while (!rest.empty()) {
        const std::size_t end = rest.find_first_of(":;");
        std::string dir(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
        if (stat(candidate.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
            continue;
        return S_ISREG(info.st_mode);
    }
    return true;
}

const char* const HelpText = R"(Lumivex GL - a kaleidoscope screen saver

Usage: lumivex-gl [MODE [WINDOW]]

MODE is one letter, given alone or after one leading character (/s, -s, s and
/c:1234 all count); case does not matter:
  (none), /c   configure: print this help
  /p           preview: do nothing and end
  /a WINDOW    change the screen-saver password (no such service on Linux)
  /s, other    run the saver full screen (an empty argument runs it too)
WINDOW is a window handle as a decimal number; only /a uses it.
Only one instance runs at a time: a second start ends at once.

Keys while the saver runs:
  mouse move, click, any key   end the saver
  Backspace                    a new random picture
  Caps Lock                    interactive mode on or off (Alt never ends the saver)
With Caps Lock on (interactive mode), keys edit the picture:
  0-9 (also keypad)            colour: 0 = many colours, 1-9 = shades of one colour
  keypad + / -                 one element more (up to 5) / fewer (down to 1)
  T / V / W                    translucency / mirrored copies / full-screen tiling
  Up / Down                    more / fewer reflections
  Left / Right                 slower / faster
  Delete                       a new picture with the same settings
  Escape                       end the saver
Settings edited in interactive mode are kept when Caps Lock goes off or the saver ends.

Settings file: $XDG_CONFIG_HOME/lumivex-gl/registry.reg (default
~/.config/lumivex-gl/registry.reg), a registry export file (REGEDIT4 or
"Windows Registry Editor Version 5.00"). The values sit in the section
[HKEY_CURRENT_USER\Software\Orvantix\Lumivex GL\Version 3.0]:
  "OpenGLDLL"         string  GL library ("OpenGL32.DLL" = libGL.so.1)
  "OpenGLUDLL"        string  GLU library ("GLU32.DLL" = libGLU.so.1)
  "Alpha"             dword   translucent elements, 0 or 1 (default 0)
  "Background"        dword   background colour 0x00BBGGRR (default 0, black)
  "FullScreen"        dword   elements tiled over the screen, 0 or 1 (default 0)
  "Monochrome"        dword   shades of MonoColor, 0 or 1 (default 0)
  "MonoColor"         dword   colour 0x00BBGGRR, 1fffffff = none (default)
  "NumOfElements"     dword   elements, 1 to 10 (default 3)
  "NumOfReflections"  dword   copies around the centre, 2 to 72 (default 12)
  "Reflected"         dword   every other copy mirrored, 0 or 1 (default 1)
  "Rest"              dword   pause after each frame in ms, 0 to 2000 (default 20)
  "WallpaperDir"      string  kept, not used
Values out of range are brought into range. The program writes every value but
"Background" and "WallpaperDir" when it ends and keeps everything else in the file.

Environment: LUMIVEX_NO_DIALOG=1 shows messages on standard error only, without a
dialog; LUMIVEX_FPS=1 reports the frame rate on standard error when the saver ends.
For screen-saver hosts (xscreensaver, xsecurelock) and the options that go with
them: lumivex-gl --help. See also lumivex-gl(1).
)";

} // namespace

void PosixPlatform::ShowHelp(WindowHandle, const std::string&, std::uint32_t, std::uint32_t) {
    std::fputs(HelpText, stdout);
    std::fflush(stdout);
}

void PosixPlatform::SetScreenSaverRunning(bool) {
    // Nothing on Linux keeps a flag for running screen savers.
}

LibraryHandle PosixPlatform::LoadLibrary(const std::string& name) {
    if (system_ == nullptr)
        system_ = std::make_unique<SystemState>();
    if (name.empty()) {
        // dlopen would hand back the program itself; an empty name names no library.
        lastError_ = ENOENT;
        system_->lastLoadError = "no library name";
        return nullptr;
    }
    const std::string fileName = LinuxLibraryName(name);
    if (!LoadableWithoutBlocking(fileName)) {
        lastError_ = ENOEXEC;
        system_->lastLoadError = fileName + ": not a regular file";
        return nullptr;
    }
    errno = 0;
    void* library = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        lastError_ = std::uint32_t(errno != 0 ? errno : ENOENT);
        const char* text = dlerror();
        system_->lastLoadError = text != nullptr ? text : "";
    }
    return library;
}

void* PosixPlatform::GetProcAddress(LibraryHandle library, const char* name) {
    if (library == nullptr)
        return nullptr;
    dlerror();
    void* address = dlsym(library, name);
    if (address == nullptr)
        lastError_ = ENOENT;
    return address;
}

void PosixPlatform::FreeLibrary(LibraryHandle library) {
    if (library != nullptr)
        dlclose(library);
}

PlatformVersion PosixPlatform::GetVersion() {
    PlatformVersion version; // the NT family: no screen-saver password service
    version.PlatformId = 2;
    struct utsname names {};
    if (uname(&names) == 0) {
        unsigned major = 0, minor = 0;
        if (std::sscanf(names.release, "%u.%u", &major, &minor) == 2) {
            version.Major = major;
            version.Minor = minor;
        }
    }
    return version;
}

std::string PosixPlatform::GetSystemDirectory() {
    return SystemDirectory;
}

void PosixPlatform::Sleep(std::uint32_t milliseconds) {
    timespec wait{time_t(milliseconds / 1000), long(milliseconds % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

std::uint32_t PosixPlatform::GetTickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    // Wraps after 49.7 days, as the Windows tick count does.
    return std::uint32_t(std::uint64_t(now.tv_sec) * 1000u + std::uint64_t(now.tv_nsec) / 1000000u);
}

std::uint32_t PosixPlatform::MillisecondsSinceMidnightUTC() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return std::uint32_t(std::uint64_t(now.tv_sec) % 86400u * 1000u +
                         std::uint64_t(now.tv_nsec) / 1000000u);
}

std::uint32_t PosixPlatform::GetLastError() {
    return lastError_;
}

std::string PosixPlatform::ErrorText(std::uint32_t code) {
    if (code == ErrorDescribed)
        return guardProblem_;
    if (code == ErrorFileReplaced)
        return "another file took its place since it was read; nothing was saved";
    if (code == ErrorSettingsRefused)
        return SettingsRefusal();
    char buffer[256] = {};
    // The GNU strerror_r may return a static text instead of filling the buffer.
    const char* text = strerror_r(int(code), buffer, sizeof buffer);
    return text != nullptr ? text : buffer;
}

void PosixPlatform::MaskFloatingPointExceptions() {
    std::feclearexcept(FE_ALL_EXCEPT);
#if defined(__x86_64__) || defined(__i386__)
    // x87: all six exceptions masked, 64-bit precision, round to nearest. SSE: the same masks.
    unsigned short control = 0x133F;
    __asm__ volatile("fldcw %0" : : "m"(control));
    unsigned int mxcsr = 0;
    __asm__ volatile("stmxcsr %0" : "=m"(mxcsr));
    mxcsr |= 0x1F80;
    __asm__ volatile("ldmxcsr %0" : : "m"(mxcsr));
#else
    fedisableexcept(FE_ALL_EXCEPT);
#endif
}

} // namespace lumivex
