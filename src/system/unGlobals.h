// The process-wide settings record: one field per registry value, given its defaults at start-up,
// filled from the registry, changed only by the saver window, and written back at the end.
#pragma once

#include <cstdint>
#include <string>

namespace lumivex {

// The libraries the settings name by default, the system's own GL and GLU.
inline constexpr const char* DefaultOpenGLDLL = "OpenGL32.DLL";
inline constexpr const char* DefaultOpenGLUDLL = "GLU32.DLL";

struct TSettings {
    std::string OpenGLDLL;
    std::string OpenGLUDLL;
    bool Alpha;
    std::uint32_t Background; // COLORREF 0x00BBGGRR
    bool FullScreen;
    bool Monochrome;
    std::uint32_t MonoColor; // COLORREF; 0x1FFFFFFF (clNone) when no colour was chosen
    std::int32_t NumOfElements;
    std::int32_t NumOfReflections;
    bool Reflected;
    std::int32_t Rest; // milliseconds after each frame
    std::string WallpaperDir;
};

extern TSettings Settings;

void SetDefaultSettings();

} // namespace lumivex
