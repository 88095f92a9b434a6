// Start-up in a fixed order - every step relies on the ones before it: guard, decode, seed,
// defaults, floating-point mask, load, act on the mode, restore the foreground window, save,
// release.
#include "shell/unInitialize.h"

#include "elements/GeometryGL_.h"
#include "gl/OpenGL12.h"
#include "platform/ScopeExit.h"
#include "shell/fmCanvas.h"
#include "system/unGlobals.h"
#include "system/unPassword.h"
#include "system/unRegistry.h"
#include "view/LumivexGL_.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <utility>

namespace lumivex {

std::uint8_t RunMode = 0;
WindowHandle ParentWindow = 0;
WindowHandle PreviousForegroundWindow = 0;
GuardHandle InstanceSemaphore = 0;
float StartAngle = 0.0f;
void (*SaverWindowRunner)() = &RunSaverWindow;

namespace {

// Set once the stored settings are in Settings and may be written back: saving earlier would put
// the defaults over them.
bool settingsLoaded = false;
bool settingsSaved = false;
bool saveFailed = false; // the program then ends with code 1

TSettingsOverrides overrides; // of the current run
TSettings storedSettings;     // as loaded, before the overrides
TSettings overriddenSettings; // as the overrides left them

constexpr const char* SemaphoreName = "LumivexGLSemaphore";
constexpr const char* HelpFile = "LMVXSVGL.HLP";
constexpr std::uint32_t HelpContext = 1000;
constexpr const char* MessageCaption = OpenGLFailureCaption;
constexpr const char* GuardFailure = "Lumivex GL cannot make sure that only one saver runs: ";
constexpr std::uint32_t RunDelay = 250; // ms before the saver window appears
constexpr std::int32_t MaxAngle = 359;

// A whole signed 32-bit decimal number, or 0.
WindowHandle ParseWindowHandle(const std::string& text) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+')
        ++first; // from_chars takes no plus sign
    std::int32_t number = 0;
    auto [end, error] = std::from_chars(first, last, number);
    if (error != std::errc() || end != last || first == last)
        return 0;
    return number;
}

bool SameNoCase(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) ==
               std::toupper(static_cast<unsigned char>(y));
    });
}

// The libraries to load: those the settings name, unless someone else could have named them.
// The settings keep the names either way.
std::pair<std::string, std::string> GLLibraries() {
    const std::string distrust = GetPlatform().SettingsWritableByOthers();
    if (distrust.empty() || (SameNoCase(Settings.OpenGLDLL, DefaultOpenGLDLL) &&
                             SameNoCase(Settings.OpenGLUDLL, DefaultOpenGLUDLL)))
        return {Settings.OpenGLDLL, Settings.OpenGLUDLL};
    std::fprintf(stderr,
                 "lumivex-gl: %s, so the libraries it names (%s, %s) are not loaded; %s "
                 "and %s are\n",
                 distrust.c_str(), Settings.OpenGLDLL.c_str(), Settings.OpenGLUDLL.c_str(),
                 DefaultOpenGLDLL, DefaultOpenGLUDLL);
    std::fflush(stderr);
    return {DefaultOpenGLDLL, DefaultOpenGLUDLL};
}

void RunSaver() {
    Platform& platform = GetPlatform();
    platform.Sleep(RunDelay);
    const auto [gl, glu] = GLLibraries();
    if (!LoadOpenGL(gl, glu)) {
        // The GL library tried is named even when it was the GLU library that failed.
        platform.ShowMessage(OpenGLFailureText(gl), OpenGLFailureCaption,
                             MB_OK | MB_ICONINFORMATION);
        return;
    }
    platform.SetScreenSaverRunning(true);
    const ScopeExit stopped([&platform] {
        platform.SetScreenSaverRunning(false);
        CloseOpenGL();
    });
    SaverWindowRunner();
}

void ActOnMode() {
    Platform& platform = GetPlatform();
    switch (RunMode) {
    case rmConfigure:
        // The help belongs to the settings dialog that asked for it, if it said which.
        platform.ShowHelp(ParentWindow != 0 ? ParentWindow : platform.GetDesktopWindow(), HelpFile,
                          HELP_CONTEXT, HelpContext);
        break;
    case rmPreview:
        break;
    case rmChangePassword:
        if (ParentWindow != 0)
            ChangePassword(ParentWindow);
        break;
    default:
        RunSaver();
        break;
    }
}

void ApplyOverrides() {
    storedSettings = Settings;
    const TSettingsOverrides& o = overrides;
    Settings.NumOfElements = o.NumOfElements.value_or(Settings.NumOfElements);
    Settings.NumOfReflections = o.NumOfReflections.value_or(Settings.NumOfReflections);
    Settings.Rest = o.Rest.value_or(Settings.Rest);
    Settings.Alpha = o.Alpha.value_or(Settings.Alpha);
    Settings.Reflected = o.Reflected.value_or(Settings.Reflected);
    Settings.FullScreen = o.FullScreen.value_or(Settings.FullScreen);
    Settings.Background = o.Background.value_or(Settings.Background);
    if (o.Colour) {
        // As the digit keys choose a colour.
        const int colour = std::clamp(*o.Colour, 0, MonoColorsLength - 1);
        Settings.MonoColor = MonoColors[colour];
        Settings.Monochrome = colour != 0;
    }
    ClampSettings();
    overriddenSettings = Settings;
}

// What still holds an override's value goes back to what was stored; edits stay.
void WithdrawOverrides() {
    const TSettingsOverrides& o = overrides;
    auto restore = [](bool overridden, auto& field, const auto& applied, const auto& stored) {
        if (overridden && field == applied)
            field = stored;
    };
    const TSettings& a = overriddenSettings;
    const TSettings& s = storedSettings;
    restore(o.NumOfElements.has_value(), Settings.NumOfElements, a.NumOfElements, s.NumOfElements);
    restore(o.NumOfReflections.has_value(), Settings.NumOfReflections, a.NumOfReflections,
            s.NumOfReflections);
    restore(o.Rest.has_value(), Settings.Rest, a.Rest, s.Rest);
    restore(o.Alpha.has_value(), Settings.Alpha, a.Alpha, s.Alpha);
    restore(o.Reflected.has_value(), Settings.Reflected, a.Reflected, s.Reflected);
    restore(o.FullScreen.has_value(), Settings.FullScreen, a.FullScreen, s.FullScreen);
    if (o.Colour && Settings.MonoColor == a.MonoColor && Settings.Monochrome == a.Monochrome) {
        Settings.MonoColor = s.MonoColor;
        Settings.Monochrome = s.Monochrome;
    }
}

// Once only, whichever way out comes first. Edits that could not be saved are not passed off as
// kept: the user hears why, and the program ends with code 1.
void SaveOnce(bool sessionEnding) {
    if (settingsSaved)
        return;
    settingsSaved = true;
    if (!settingsLoaded)
        return;
    WithdrawOverrides();
    std::uint32_t error = 0;
    if (!SaveSettings(&error)) {
        saveFailed = true;
        GetPlatform().ReportSaveFailure(error, RunMode == rmRun && !sessionEnding);
    }
}

void ReleaseGuard() {
    if (InstanceSemaphore != 0) {
        GetPlatform().CloseInstanceGuard(InstanceSemaphore);
        InstanceSemaphore = 0;
    }
}

// The way out of every mode that passed the guard: save while the guard is still held. Returns
// the exit code.
int Finish() {
    SaveOnce(false);
    CloseOpenGL();
    ReleaseGuard();
    return saveFailed ? 1 : 0;
}

} // namespace

std::string OpenGLFailureText(const std::string& library) {
    return "Lumivex GL cannot initialize OpenGL library: " + library;
}

void FinishAbruptly() {
    SaveOnce(true);
    ReleaseGuard();
}

void ResetStartupGlobals() {
    settingsLoaded = false;
    settingsSaved = false;
    saveFailed = false;
    overrides = {};
    RunMode = 0;
    ParentWindow = 0;
    PreviousForegroundWindow = 0;
    InstanceSemaphore = 0;
    StartAngle = 0.0f;
}

void DecodeCommandLine(const std::vector<std::string>& arguments) {
    PreviousForegroundWindow = GetPlatform().GetForegroundWindow();
    if (arguments.empty()) {
        RunMode = rmConfigure;
        return;
    }
    // "/s", "-s" and "/c:1234" carry the letter second; a bare "s" carries it first.
    const std::string& mode = arguments[0];
    char letter = '\0';
    if (mode.size() >= 2)
        letter = mode[1];
    else if (mode.size() == 1)
        letter = mode[0];
    switch (std::toupper(static_cast<unsigned char>(letter))) {
    case 'C':
        RunMode = rmConfigure;
        break;
    case 'P':
        RunMode = rmPreview;
        break;
    case 'A':
        RunMode = rmChangePassword;
        break;
    default:
        RunMode = rmRun;
        break;
    }
    // The display settings name their own window as "/c:1234".
    if (RunMode == rmConfigure && mode.size() > 3 && mode[2] == ':')
        ParentWindow = ParseWindowHandle(mode.substr(3));
    if (arguments.size() >= 2)
        ParentWindow = ParseWindowHandle(arguments[1]);
}

namespace {

// Both ways of starting: a mode letter (`switches`) or options. Only a hosted run skips the
// guard, the foreground window and the saving.
int Run(const std::vector<std::string>* switches, const TRunOptions& options) {
    Platform& platform = GetPlatform();
    ResetStartupGlobals();
    overrides = options.Overrides;

    bool unguarded = false;
    std::uint32_t guardError = 0;
    if (!options.Hosted) {
        bool alreadyExists = false;
        InstanceSemaphore = platform.CreateInstanceGuard(SemaphoreName, alreadyExists);
        if (InstanceSemaphore != 0 && alreadyExists) {
            // Another instance runs: leave at once, touching nothing.
            platform.CloseInstanceGuard(InstanceSemaphore);
            InstanceSemaphore = 0;
            return 0;
        }
        unguarded = InstanceSemaphore == 0;
        if (unguarded)
            guardError = platform.GetLastError(); // before other calls set theirs
    }

    // An error skips the foreground restore but not the way out (Finish does its work once).
    const ScopeExit finish([] { Finish(); });
    if (switches != nullptr) {
        DecodeCommandLine(*switches);
    } else {
        RunMode = rmRun;
        if (!options.Hosted)
            PreviousForegroundWindow = platform.GetForegroundWindow();
    }
    if (unguarded && RunMode == rmRun) {
        // Without a guard a second saver could be drawn over the first one and each would
        // save over the other's edits: say so and run none, touching nothing.
        platform.ShowMessage(GuardFailure + platform.ErrorText(guardError), MessageCaption,
                             MB_OK | MB_ICONINFORMATION);
        return 1;
    }
    // Nothing draws from the generator between here and the first picture, so a given seed is
    // that picture's.
    if (options.Seed)
        SetRandSeed(*options.Seed);
    else
        SetRandSeed(platform.MillisecondsSinceMidnightUTC());
    if (options.Angle)
        StartAngle = static_cast<float>(std::clamp(*options.Angle, 0, MaxAngle));
    SetDefaultSettings();
    platform.MaskFloatingPointExceptions();
    LoadSettings();
    // Several hosted instances run at once, one per monitor: none may write.
    settingsLoaded = !options.Hosted;
    ApplyOverrides();
    ActOnMode();
    if (!options.Hosted)
        platform.SetForegroundWindow(PreviousForegroundWindow);
    return Finish();
}

} // namespace

int RunProgram(int argc, char** argv) {
    const std::vector<std::string> switches(argv + (argc > 0 ? 1 : 0), argv + argc);
    return Run(&switches, TRunOptions{});
}

int RunWithOptions(const TRunOptions& options) {
    return Run(nullptr, options);
}

} // namespace lumivex
