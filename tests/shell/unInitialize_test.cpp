// Start-up: the command line, and the order in which each mode reaches the system, as the fake
// platform records it.
#include "elements/GeometryGL_.h"
#include "gl/OpenGL12.h"
#include "shell/unInitialize.h"
#include "support/FakePlatform.h"
#include "system/unGlobals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace lumivex {
namespace {

const std::string Key = "Software\\Orvantix\\Lumivex GL\\Version 3.0";

FakePlatform* current = nullptr;
bool runnerThrows = false;

void RecordingRunner() {
    current->Log.push_back("RunSaverWindow");
    if (runnerThrows)
        throw std::runtime_error("window failed");
}

// --- the command line ------------------------------------------------------------------------

struct DecodeCase {
    std::vector<std::string> Arguments;
    std::uint8_t Mode;
    WindowHandle Parent;
};

class DecodeTest : public ::testing::TestWithParam<DecodeCase> {
  protected:
    void SetUp() override {
        SetPlatform(&fake);
        ResetStartupGlobals();
    }
    void TearDown() override { SetPlatform(nullptr); }
    FakePlatform fake;
};

TEST_P(DecodeTest, ModeLetterAndWindowHandle) {
    const DecodeCase& c = GetParam();
    DecodeCommandLine(c.Arguments);
    EXPECT_EQ(RunMode, c.Mode);
    EXPECT_EQ(ParentWindow, c.Parent);
    EXPECT_EQ(PreviousForegroundWindow, fake.ForegroundWindow);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, DecodeTest,
    ::testing::Values(
        DecodeCase{{}, rmConfigure, 0}, DecodeCase{{"/c:1234"}, rmConfigure, 1234},
        DecodeCase{{"/c:"}, rmConfigure, 0}, DecodeCase{{"/s:1234"}, rmRun, 0},
        DecodeCase{{"/C"}, rmConfigure, 0}, DecodeCase{{"c"}, rmConfigure, 0},
        DecodeCase{{"/s"}, rmRun, 0}, DecodeCase{{"-S"}, rmRun, 0}, DecodeCase{{"S"}, rmRun, 0},
        DecodeCase{{"s"}, rmRun, 0}, DecodeCase{{"/x"}, rmRun, 0}, DecodeCase{{""}, rmRun, 0},
        // Only the second character counts: "cp" is preview, "/" alone runs.
        DecodeCase{{"cp"}, rmPreview, 0}, DecodeCase{{"/"}, rmRun, 0},
        DecodeCase{{"/p", "1234"}, rmPreview, 1234},
        DecodeCase{{"/a", "1234"}, rmChangePassword, 1234}, DecodeCase{{"/a"}, rmChangePassword, 0},
        DecodeCase{{"/a", "0"}, rmChangePassword, 0},
        DecodeCase{{"/a", "abc"}, rmChangePassword, 0},
        DecodeCase{{"/a", "-17"}, rmChangePassword, -17},
        DecodeCase{{"/a", "12x"}, rmChangePassword, 0}, DecodeCase{{"/a", ""}, rmChangePassword, 0},
        // 2^31 does not fit a signed 32-bit handle.
        DecodeCase{{"/a", "2147483648"}, rmChangePassword, 0},
        DecodeCase{{"/s", "2147483647"}, rmRun, 2147483647}));

// --- whole runs ------------------------------------------------------------------------------

class StartupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetPlatform(&fake);
        current = &fake;
        runnerThrows = false;
        savedRunner = SaverWindowRunner;
        SaverWindowRunner = &RecordingRunner;
        fake.SystemDirectory = "C:\\WINDOWS\\SYSTEM";
    }
    void TearDown() override {
        SaverWindowRunner = savedRunner;
        CloseOpenGL();
        current = nullptr;
        SetPlatform(nullptr);
    }

    int Run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "lumivex-gl");
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        return RunProgram(int(argv.size()), argv.data());
    }

    // The log without the binding of each GL entry point, which the loader owns.
    std::vector<std::string> Steps() const {
        std::vector<std::string> steps;
        for (const std::string& entry : fake.Log)
            if (entry.rfind("GetProcAddress(", 0) != 0)
                steps.push_back(entry);
        return steps;
    }

    static std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts) {
        std::vector<std::string> all;
        for (const auto& part : parts)
            all.insert(all.end(), part.begin(), part.end());
        return all;
    }

    // Guard, decode, seed, (defaults), mask, load with no key.
    std::vector<std::string> Start() const {
        return {"CreateInstanceGuard(LumivexGLSemaphore)", "GetForegroundWindow()",
                "MillisecondsSinceMidnightUTC()",          "MaskFloatingPointExceptions()",
                "RegOpenKey(" + Key + ",AllAccess)",       "RegOpenKey(" + Key + ",Read)"};
    }
    // Restore the foreground window (ForegroundWindow 0x1F0 = 496), save, release the guard
    // (0x6A = 106).
    std::vector<std::string> End(bool restore = true) const {
        std::vector<std::string> end;
        if (restore)
            end.push_back("SetForegroundWindow(496)");
        end.push_back("RegCreateKey(" + Key + ")");
        for (const char* name :
             {"OpenGLDLL,REG_SZ,OpenGL32.DLL", "OpenGLUDLL,REG_SZ,GLU32.DLL", "Alpha,REG_DWORD,0",
              "FullScreen,REG_DWORD,0", "Monochrome,REG_DWORD,0", "MonoColor,REG_DWORD,536870911",
              "NumOfElements,REG_DWORD,3", "NumOfReflections,REG_DWORD,12", "Reflected,REG_DWORD,1",
              "Rest,REG_DWORD,20"})
            end.push_back(std::string("RegSetValue(") + name + ")");
        end.push_back("RegCloseKey(" + Key + ")");
        end.push_back("CloseInstanceGuard(106)");
        return end;
    }

    FakePlatform fake;
    void (*savedRunner)() = nullptr;
};

TEST_F(StartupTest, ConfigureShowsHelpContext1000OwnedByTheDesktop) {
    EXPECT_EQ(Run({}), 0);
    // GetDesktopWindow answers 0xDE5 = 3557.
    EXPECT_EQ(
        Steps(),
        Concat({Start(), {"GetDesktopWindow()", "ShowHelp(3557,LMVXSVGL.HLP,1,1000)"}, End()}));
    EXPECT_EQ(fake.OpenGuards, 0);
}

TEST_F(StartupTest, ConfigureHelpBelongsToTheWindowTheSwitchNames) {
    EXPECT_EQ(Run({"/c:1234"}), 0);
    EXPECT_EQ(Steps(), Concat({Start(), {"ShowHelp(1234,LMVXSVGL.HLP,1,1000)"}, End()}));
}

TEST_F(StartupTest, PreviewLoadsAndSavesAndDoesNothingElse) {
    EXPECT_EQ(Run({"/p", "1234"}), 0);
    EXPECT_EQ(Steps(), Concat({Start(), End()}));
}

TEST_F(StartupTest, ChangePasswordCallsTheSystemWithTheGivenWindow) {
    fake.AddLibrary("C:\\WINDOWS\\SYSTEM\\Mpr.dll");
    EXPECT_EQ(Run({"/a", "1234"}), 0);
    EXPECT_EQ(Steps(), Concat({Start(),
                               {"GetSystemDirectory()", "LoadLibrary(C:\\WINDOWS\\SYSTEM\\Mpr.dll)",
                                "FreeLibrary(C:\\WINDOWS\\SYSTEM\\Mpr.dll)"},
                               End()}));
    EXPECT_EQ(fake.CountOf("GetProcAddress(C:\\WINDOWS\\SYSTEM\\Mpr.dll,PwdChangePasswordA)"), 1u);
    // Only a missing window (0) skips the call; a negative handle is still a window.
    EXPECT_EQ(Run({"/a", "-17"}), 0);
    EXPECT_EQ(fake.CountOf("GetProcAddress(C:\\WINDOWS\\SYSTEM\\Mpr.dll,PwdChangePasswordA)"), 2u);
}

TEST_F(StartupTest, ChangePasswordWithoutAWindowDoesNothing) {
    for (const char* window : {"0", "abc"}) {
        fake.ClearLog();
        fake.Registry.clear(); // each run starts with no key
        EXPECT_EQ(Run({"/a", window}), 0);
        EXPECT_EQ(Steps(), Concat({Start(), End()})) << window;
    }
    fake.ClearLog();
    fake.Registry.clear();
    EXPECT_EQ(Run({"/a"}), 0);
    EXPECT_EQ(Steps(), Concat({Start(), End()}));
}

TEST_F(StartupTest, RunLoadsTheLibrariesAroundTheSaverWindow) {
    EXPECT_EQ(Run({"/s"}), 0);
    EXPECT_EQ(Steps(),
              Concat({Start(),
                      {"Sleep(250)", "LoadLibrary(OpenGL32.DLL)", "LoadLibrary(GLU32.DLL)",
                       "SetScreenSaverRunning(1)", "RunSaverWindow", "SetScreenSaverRunning(0)",
                       "FreeLibrary(OpenGL32.DLL)", "FreeLibrary(GLU32.DLL)"},
                      End()}));
    EXPECT_FALSE(fake.ScreenSaverRunning);
    EXPECT_TRUE(fake.LoadedLibraries().empty());
}

TEST_F(StartupTest, AMissingGLLibraryIsNamedAndTheSaverNeverStarts) {
    fake.SetRegistryString(Key, "OpenGLDLL", "libNoSuchGL.so");
    EXPECT_EQ(Run({"/s"}), 0);
    ASSERT_EQ(fake.Messages.size(), 1u);
    EXPECT_EQ(fake.Messages[0].Text, "Lumivex GL cannot initialize OpenGL library: libNoSuchGL.so");
    EXPECT_EQ(fake.Messages[0].Caption, "Information");
    EXPECT_EQ(fake.Messages[0].Flags, 0x40u); // MB_OK | MB_ICONINFORMATION
    EXPECT_EQ(fake.CountOf("SetScreenSaverRunning"), 0u);
    EXPECT_EQ(fake.CountOf("RunSaverWindow"), 0u);
    EXPECT_TRUE(fake.LoadedLibraries().empty()) << "the GLU library that did load is released";

    // After the message: restore the foreground window and save as always, the edited name
    // included.
    std::vector<std::string> steps = Steps();
    auto message = std::find(steps.begin(), steps.end(),
                             "ShowMessage(Lumivex GL cannot initialize OpenGL library: "
                             "libNoSuchGL.so,Information,64)");
    ASSERT_NE(message, steps.end());
    EXPECT_EQ(*(message + 1), "SetForegroundWindow(496)");
    EXPECT_EQ(fake.StringValue(Key, "OpenGLDLL"), "libNoSuchGL.so");
    EXPECT_EQ(fake.OpenGuards, 0);
}

TEST_F(StartupTest, AMissingGLULibraryStillNamesTheGLLibrary) {
    fake.SetRegistryString(Key, "OpenGLUDLL", "nosuchglu.dll");
    EXPECT_EQ(Run({"/s"}), 0);
    ASSERT_EQ(fake.Messages.size(), 1u);
    EXPECT_EQ(fake.Messages[0].Text, "Lumivex GL cannot initialize OpenGL library: OpenGL32.DLL");
    EXPECT_TRUE(fake.LoadedLibraries().empty());
}

TEST_F(StartupTest, AnErrorInTheSaverWindowResetsTheFlagReleasesGLAndPropagates) {
    runnerThrows = true;
    EXPECT_THROW(Run({"/s"}), std::runtime_error);
    std::vector<std::string> steps = Steps();
    auto window = std::find(steps.begin(), steps.end(), "RunSaverWindow");
    ASSERT_NE(window, steps.end());
    std::vector<std::string> after(window + 1, steps.end());
    // No foreground restore; the settings are still saved and the guard released.
    EXPECT_EQ(after, Concat({{"SetScreenSaverRunning(0)", "FreeLibrary(OpenGL32.DLL)",
                              "FreeLibrary(GLU32.DLL)"},
                             End(false)}));
}

TEST_F(StartupTest, AnAbruptEndSavesTheLoadedSettingsOnceAndNeverTheDefaults) {
    fake.SetRegistryDword(Key, "Rest", 77);
    // Before the stored settings are read there is nothing of the user's to save.
    ResetStartupGlobals();
    FinishAbruptly();
    EXPECT_EQ(fake.CountOf("RegCreateKey"), 0u);

    // The display lost under the saver window: saved with the edits, and the normal way out,
    // should it still come, saves nothing more.
    SaverWindowRunner = [] {
        Settings.NumOfElements = 5;
        FinishAbruptly();
    };
    EXPECT_EQ(Run({"/s"}), 0);
    EXPECT_EQ(fake.CountOf("RegCreateKey"), 1u);
    EXPECT_EQ(fake.DwordValue(Key, "NumOfElements"), 5);
    EXPECT_EQ(fake.DwordValue(Key, "Rest"), 77);
    EXPECT_EQ(fake.OpenGuards, 0);
}

TEST_F(StartupTest, OptionsHoldForTheRunWhileInteractiveEditsAreSaved) {
    fake.SetRegistryDword(Key, "NumOfElements", 2);
    fake.SetRegistryDword(Key, "NumOfReflections", 6);
    fake.SetRegistryDword(Key, "MonoColor", 0x00FF0000);
    fake.SetRegistryDword(Key, "Monochrome", 1);
    TRunOptions options;
    options.Overrides.NumOfElements = 7;
    options.Overrides.NumOfReflections = 99; // clamped as a stored value is
    options.Overrides.Colour = 12;
    options.Overrides.FullScreen = true;
    options.Angle = 360; // a kept picture's turn, less than a whole one
    SaverWindowRunner = [] {
        current->Log.push_back("RunSaverWindow");
        EXPECT_EQ(Settings.NumOfElements, 7);
        EXPECT_EQ(Settings.NumOfReflections, 72);
        EXPECT_EQ(Settings.MonoColor, 0x006633FFu);
        EXPECT_TRUE(Settings.Monochrome && Settings.FullScreen);
        EXPECT_EQ(StartAngle, 359.0f);
        // A Caps Lock edit of the reflections; the rest still holds the options' values.
        Settings.NumOfReflections = 30;
    };
    EXPECT_EQ(RunWithOptions(options), 0);
    EXPECT_EQ(fake.DwordValue(Key, "NumOfElements"), 2);
    EXPECT_EQ(fake.DwordValue(Key, "NumOfReflections"), 30);
    EXPECT_EQ(fake.DwordValue(Key, "MonoColor"), 0x00FF0000);
    EXPECT_EQ(fake.DwordValue(Key, "Monochrome"), 1);
    EXPECT_EQ(fake.DwordValue(Key, "FullScreen"), 0);
    // Otherwise a run like /s: guard, foreground window, libraries.
    EXPECT_EQ(fake.CountOf("CreateInstanceGuard"), 1u);
    EXPECT_EQ(fake.CountOf("SetForegroundWindow(496)"), 1u);
    EXPECT_EQ(fake.OpenGuards, 0);
}

TEST_F(StartupTest, AHostedRunTakesNoGuardLeavesTheFocusAloneAndWritesNothing) {
    fake.GuardAlreadyExists = true; // an instance of /s, or another monitor's hack
    fake.SetRegistryDword(Key, "Rest", 5000);
    TRunOptions options;
    options.Hosted = true;
    options.Overrides.NumOfElements = 7;
    EXPECT_EQ(RunWithOptions(options), 0);
    EXPECT_EQ(Settings.NumOfElements, 7);
    EXPECT_EQ(Settings.Rest, 2000);
    EXPECT_EQ(fake.CountOf("RunSaverWindow"), 1u);
    EXPECT_EQ(fake.CountOf("FreeLibrary"), 2u);
    for (const char* untouched : {"CreateInstanceGuard", "GetForegroundWindow",
                                  "SetForegroundWindow", "RegCreateKey", "RegSetValue"})
        EXPECT_EQ(fake.CountOf(untouched), 0u) << untouched;
    EXPECT_EQ(fake.DwordValue(Key, "Rest"), 5000);

    // Not even when the display is lost under it.
    SaverWindowRunner = [] { FinishAbruptly(); };
    EXPECT_EQ(RunWithOptions(options), 0);
    EXPECT_EQ(fake.CountOf("RegCreateKey"), 0u);
}

TEST_F(StartupTest, ASecondInstanceLeavesAtOnceTouchingNothing) {
    fake.GuardAlreadyExists = true;
    fake.SetRegistryDword(Key, "Rest", 5000);
    EXPECT_EQ(Run({"/s"}), 0);
    EXPECT_EQ(fake.Log, (std::vector<std::string>{"CreateInstanceGuard(LumivexGLSemaphore)",
                                                  "CloseInstanceGuard(106)"}));
    EXPECT_EQ(fake.DwordValue(Key, "Rest"), 5000);
    EXPECT_EQ(InstanceSemaphore, 0);
}

TEST_F(StartupTest, WithoutAGuardOnlyTheSaverRefusesToRun) {
    fake.GuardFails = true;
    EXPECT_EQ(Run({"/p"}), 0);
    std::vector<std::string> expected = Concat({Start(), End()});
    expected.pop_back();                                     // nothing to close
    expected.insert(expected.begin() + 1, "GetLastError()"); // why, before other calls set theirs
    EXPECT_EQ(Steps(), expected);

    // A second saver could run unseen: say why, run none and write nothing.
    fake.Log.clear();
    fake.LastError = 13;
    EXPECT_EQ(Run({"/s"}), 1);
    EXPECT_EQ(fake.Messages.back().Text,
              "Lumivex GL cannot make sure that only one saver runs: fake error 13");
    EXPECT_EQ(fake.CountOf("RegCreateKey") + fake.CountOf("LoadLibrary"), 0u);
}

TEST_F(StartupTest, ASaveThatFailsIsReportedAndEndsWithCode1) {
    // Only a saver that ends as usual may wait for the user to take the news in.
    fake.CreateKeyFails = true;
    EXPECT_EQ(Run({"/p"}), 1);
    EXPECT_EQ(Run({"/s"}), 1);
    SaverWindowRunner = [] { FinishAbruptly(); }; // the session ends under the saver
    EXPECT_EQ(Run({"/s"}), 1);
    EXPECT_EQ(fake.CountOf("ReportSaveFailure(5,1)"), 1u); // the saver that ended as usual
    EXPECT_EQ(fake.CountOf("ReportSaveFailure(5,0)"), 2u);
}

TEST_F(StartupTest, TheGeneratorIsSeededFromTheClockAndSettingsStartFromDefaults) {
    Settings.NumOfElements = 99;
    Settings.OpenGLDLL = "left over";
    fake.MillisecondsOfDay = 12345678;
    EXPECT_EQ(Run({"/p"}), 0);
    EXPECT_EQ(RandSeed, 12345678u);
    EXPECT_EQ(Settings.NumOfElements, 3);
    EXPECT_EQ(Settings.OpenGLDLL, "OpenGL32.DLL");
    EXPECT_TRUE(fake.FloatingPointMasked);
}

TEST_F(StartupTest, StoredSettingsAreLoadedBeforeTheModeActs) {
    fake.SetRegistryString(Key, "OpenGLDLL", "/opt/gl/libGL.so.1");
    fake.AddLibrary("/opt/gl/libGL.so.1");
    EXPECT_EQ(Run({"s"}), 0);
    EXPECT_EQ(fake.CountOf("LoadLibrary(/opt/gl/libGL.so.1)"), 1u);
    EXPECT_EQ(fake.CountOf("RunSaverWindow"), 1u);
}

} // namespace
} // namespace lumivex
