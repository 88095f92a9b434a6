// Moving Settings to and from the registry key of the current user.
#pragma once

#include <cstdint>

namespace lumivex {

// The key under HKEY_CURRENT_USER that holds every value.
inline constexpr const char* SettingsKey = "Software\\Orvantix\\Lumivex GL\\Version 3.0";

// Reads what the key holds into Settings, then clamps the counts and the pause. Never creates
// the key. A value that is missing, of the wrong type or unreadable keeps its current value.
void LoadSettings();
// Brings the counts and the pause into the ranges the rest of the program relies on.
void ClampSettings();
// Writes the ten values the program owns, creating the key when missing; "Background" and
// "WallpaperDir" are never written. Stops at the first value that cannot be written. True when
// everything was written and kept; otherwise `error` (when given) gets the platform's code for
// the first failure.
bool SaveSettings(std::uint32_t* error = nullptr);

} // namespace lumivex
