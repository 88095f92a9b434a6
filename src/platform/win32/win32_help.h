// Configure mode's help (win32_help.cpp), and what decides between its two forms.
#pragma once

#include "platform/win32/win32_api.h"

#include <string>

namespace lumivex {

// What the program's own help window says.
extern const char* const OwnHelpText;

// Whether WinHelp can show `file`: the system has WinHelp (before Vista) and the file lies beside
// the program or in the Windows folder.
bool WinHelpCanShow(const std::string& file, const PlatformVersion& version);

} // namespace lumivex
