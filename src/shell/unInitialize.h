// Program start-up and run modes: guard, decode, seed, defaults, load, act, restore, save.
#pragma once

#include <string>
#include <vector>

namespace lumivex {

// Runs the whole program for the given command line (argv[0] is the program) and returns the
// exit code.
int RunProgram(int argc, char** argv);

} // namespace lumivex
