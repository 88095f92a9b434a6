// The settings record and its defaults.
#include "system/unGlobals.h"

namespace lumivex {

TSettings Settings;

void SetDefaultSettings() {
    Settings.OpenGLDLL = DefaultOpenGLDLL;
    Settings.OpenGLUDLL = DefaultOpenGLUDLL;
    Settings.Alpha = false;
    Settings.Background = 0x00000000;
    Settings.FullScreen = false;
    Settings.Monochrome = false;
    Settings.MonoColor = 0x1FFFFFFF;
    Settings.NumOfElements = 3;
    Settings.NumOfReflections = 12;
    Settings.Reflected = true;
    Settings.Rest = 20;
    Settings.WallpaperDir.clear();
}

} // namespace lumivex
