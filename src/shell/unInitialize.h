// Program start-up and run modes: guard, decode, seed, defaults, load, act, restore, save.
#pragma once

#include "platform/Platform.h"

#include <cstdint>
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
extern WindowHandle ParentWindow; // the second argument as a number; 0 when absent or not one
extern WindowHandle PreviousForegroundWindow;
extern GuardHandle InstanceSemaphore; // 0 when no guard could be made

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

// The way out when the program cannot go on (its window system is gone): the settings are saved
// as at a normal end, if they were loaded, and the guard is released. Touches no window and no
// GL; runs once, and not at all after the normal way out.
void FinishAbruptly();

} // namespace lumivex
