// Program start-up and run modes: guard, decode, seed, defaults, load, act, restore, save.
#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lumivex {

// Run modes, chosen by the letter of the first command-line argument.
enum : std::uint8_t {
    rmConfigure = 1,      // "C", or no argument at all
    rmPreview = 2,        // "P"
    rmChangePassword = 3, // "A"
    rmRun = 4,            // any other letter, or an empty argument
};

// Start-up globals, written only while the program starts.
extern std::uint8_t RunMode;
// The second argument as a number (for /c also the number after "/c:"); 0 when absent or not one.
extern WindowHandle ParentWindow;
extern WindowHandle PreviousForegroundWindow;
extern GuardHandle InstanceSemaphore; // 0 when no guard could be made
// The turn of the first picture in degrees: 0 unless the run was given one (a kept picture's).
extern float StartAngle;

// Back to the values the process starts with.
void ResetStartupGlobals();

// Sets PreviousForegroundWindow, RunMode and ParentWindow from the arguments after the program
// name.
void DecodeCommandLine(const std::vector<std::string>& arguments);

// What run mode shows between loading and releasing the GL libraries; RunSaverWindow unless a
// test puts something else here.
extern void (*SaverWindowRunner)();

// Runs the whole program for the given command line (argv[0] is the program) and returns the
// exit code.
int RunProgram(int argc, char** argv);

// Settings given for one run only: applied after loading, clamped as loaded values are, and never
// saved (a value the keyboard changed in interactive mode is saved as edited).
struct TSettingsOverrides {
    std::optional<std::int32_t> NumOfElements;
    std::optional<std::int32_t> NumOfReflections;
    std::optional<std::int32_t> Rest;
    std::optional<std::int32_t> Colour; // 0 = many colours, 1..9 = an entry of MonoColors
    std::optional<bool> Alpha;
    std::optional<bool> Reflected;
    std::optional<bool> FullScreen;
    std::optional<std::uint32_t> Background; // 0x00BBGGRR; never saved, as it is never written
};

// A run asked for by options instead of a mode letter: the saver, with the overrides. A hosted
// run (a screen-saver host's window, several at once) takes no guard, leaves the foreground
// window alone and writes no settings.
struct TRunOptions {
    bool Hosted = false;
    TSettingsOverrides Overrides;
    // A kept picture: the generator starts here instead of at the time of day, and the first
    // picture is turned by Angle degrees (0 to 359). Neither is a setting or ever stored.
    std::optional<std::uint32_t> Seed;
    std::optional<std::int32_t> Angle;
};
int RunWithOptions(const TRunOptions& options);

// The message of a GL library that will not load (and, in a page, of a GL context that is lost),
// with its caption.
std::string OpenGLFailureText(const std::string& library);
inline constexpr const char* OpenGLFailureCaption = "Information";

// The way out when the program cannot go on (its window system is gone): the settings are saved
// as at a normal end, if they were loaded, and the guard is released. Touches no window and no
// GL; runs once, and not at all after the normal way out.
void FinishAbruptly();

} // namespace lumivex
