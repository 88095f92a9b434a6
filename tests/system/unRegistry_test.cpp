// Loading and saving the settings key: value names, orders, types, clamps, and that nothing the
// user stored is lost when one value cannot be read.
#include "support/FakePlatform.h"
#include "system/unGlobals.h"
#include "system/unRegistry.h"

#include <gtest/gtest.h>

namespace lumivex {
namespace {

const std::string Key = "Software\\Orvantix\\Lumivex GL\\Version 3.0";

class RegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetPlatform(&fake);
        SetDefaultSettings();
    }
    void TearDown() override {
        EXPECT_EQ(fake.OpenKeys, 0) << "every key opened is closed again";
        SetPlatform(nullptr);
    }
    // A load and a save, as one run of the program does them.
    void LoadAndSave() {
        LoadSettings();
        SaveSettings();
    }
    FakePlatform fake;
};

TEST_F(RegistryTest, NoKeyGivesDefaultsAndTheSaveWritesTheTenValuesInOrder) {
    LoadAndSave();

    EXPECT_EQ(Settings.OpenGLDLL, "OpenGL32.DLL");
    EXPECT_EQ(Settings.OpenGLUDLL, "GLU32.DLL");
    EXPECT_FALSE(Settings.Alpha);
    EXPECT_EQ(Settings.Background, 0u);
    EXPECT_FALSE(Settings.FullScreen);
    EXPECT_FALSE(Settings.Monochrome);
    EXPECT_EQ(Settings.MonoColor, 0x1FFFFFFFu);
    EXPECT_EQ(Settings.NumOfElements, 3);
    EXPECT_EQ(Settings.NumOfReflections, 12);
    EXPECT_TRUE(Settings.Reflected);
    EXPECT_EQ(Settings.Rest, 20);
    EXPECT_EQ(Settings.WallpaperDir, "");

    // Loading never creates the key; only the save does. clNone 0x1FFFFFFF = 536870911.
    const std::vector<std::string> expected = {
        "RegOpenKey(" + Key + ",AllAccess)",
        "RegOpenKey(" + Key + ",Read)",
        "RegCreateKey(" + Key + ")",
        "RegSetValue(OpenGLDLL,REG_SZ,OpenGL32.DLL)",
        "RegSetValue(OpenGLUDLL,REG_SZ,GLU32.DLL)",
        "RegSetValue(Alpha,REG_DWORD,0)",
        "RegSetValue(FullScreen,REG_DWORD,0)",
        "RegSetValue(Monochrome,REG_DWORD,0)",
        "RegSetValue(MonoColor,REG_DWORD,536870911)",
        "RegSetValue(NumOfElements,REG_DWORD,3)",
        "RegSetValue(NumOfReflections,REG_DWORD,12)",
        "RegSetValue(Reflected,REG_DWORD,1)",
        "RegSetValue(Rest,REG_DWORD,20)",
        "RegCloseKey(" + Key + ")",
    };
    EXPECT_EQ(fake.Log, expected);
    // Strings are stored with their NUL.
    const RegistryValue* name = fake.FindValue(Key, "OpenGLDLL");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->Data.size(), 13u);
    EXPECT_EQ(name->Data.back(), 0);
    EXPECT_EQ(fake.FindValue(Key, "Background"), nullptr);
    EXPECT_EQ(fake.FindValue(Key, "WallpaperDir"), nullptr);
}

TEST_F(RegistryTest, ValuesAreReadInTheirOrderFromAKeyOpenedForFullAccess) {
    fake.SetRegistryDword(Key, "Rest", 5);
    LoadSettings();
    const std::vector<std::string> expected = {
        "RegOpenKey(" + Key + ",AllAccess)", "RegQueryValue(OpenGLDLL)",
        "RegQueryValue(OpenGLUDLL)",         "RegQueryValue(Alpha)",
        "RegQueryValue(Background)",         "RegQueryValue(FullScreen)",
        "RegQueryValue(Monochrome)",         "RegQueryValue(MonoColor)",
        "RegQueryValue(NumOfElements)",      "RegQueryValue(NumOfReflections)",
        "RegQueryValue(Reflected)",          "RegQueryValue(Rest)",
        "RegQueryValue(WallpaperDir)",       "RegCloseKey(" + Key + ")",
    };
    EXPECT_EQ(fake.Log, expected);
    EXPECT_EQ(Settings.Rest, 5);
}

TEST_F(RegistryTest, AKeyThatRefusesFullAccessIsReadWithReadAccess) {
    fake.SetRegistryDword(Key, "NumOfElements", 7);
    fake.DenyAllAccess.insert(Key);
    LoadSettings();
    EXPECT_EQ(Settings.NumOfElements, 7);
    EXPECT_EQ(fake.Log[1], "RegOpenKey(" + Key + ",Read)");
}

struct ClampCase {
    const char* Name;
    std::int32_t Stored;
    std::int32_t Loaded;
};

class ClampTest : public RegistryTest, public ::testing::WithParamInterface<ClampCase> {};

TEST_P(ClampTest, CountsAndPauseAreBroughtIntoRange) {
    const ClampCase& c = GetParam();
    fake.SetRegistryDword(Key, c.Name, c.Stored);
    LoadSettings();
    std::int32_t loaded = std::string(c.Name) == "NumOfElements"      ? Settings.NumOfElements
                          : std::string(c.Name) == "NumOfReflections" ? Settings.NumOfReflections
                                                                      : Settings.Rest;
    EXPECT_EQ(loaded, c.Loaded);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, ClampTest,
    ::testing::Values(ClampCase{"NumOfElements", 0, 1}, ClampCase{"NumOfElements", 50, 10},
                      ClampCase{"NumOfElements", 10, 10}, ClampCase{"NumOfReflections", 1, 2},
                      ClampCase{"NumOfReflections", 100, 72}, ClampCase{"NumOfReflections", 72, 72},
                      ClampCase{"Rest", -5, 0}, ClampCase{"Rest", 5000, 2000},
                      ClampCase{"Rest", 0, 0}));

TEST_F(RegistryTest, AnyNonZeroDwordIsTrueAndIsWrittenBackAsOne) {
    fake.SetRegistryDword(Key, "Alpha", 7);
    fake.SetRegistryDword(Key, "Reflected", 0);
    LoadAndSave();
    EXPECT_TRUE(Settings.Alpha);
    EXPECT_FALSE(Settings.Reflected);
    EXPECT_EQ(fake.DwordValue(Key, "Alpha"), 1);
    EXPECT_EQ(fake.DwordValue(Key, "Reflected"), 0);
}

TEST_F(RegistryTest, BackgroundAndWallpaperDirAreReadButNeverWritten) {
    fake.SetRegistryDword(Key, "Background", 0x00FF0000);
    fake.SetRegistryString(Key, "WallpaperDir", "C:\\Pictures");
    LoadAndSave();
    EXPECT_EQ(Settings.Background, 0x00FF0000u);
    EXPECT_EQ(Settings.WallpaperDir, "C:\\Pictures");
    EXPECT_EQ(fake.CountOf("RegSetValue(Background"), 0u);
    EXPECT_EQ(fake.CountOf("RegSetValue(WallpaperDir"), 0u);
    EXPECT_EQ(fake.DwordValue(Key, "Background"), 0x00FF0000);
    EXPECT_EQ(fake.StringValue(Key, "WallpaperDir"), "C:\\Pictures");
}

TEST_F(RegistryTest, AnEditedLibraryNameIsUsedAndWrittenBackUnchanged) {
    fake.SetRegistryString(Key, "OpenGLDLL", "/opt/mesa/libGL.so.1");
    fake.SetRegistryString(Key, "OpenGLUDLL", "glu-test.dll");
    LoadAndSave();
    EXPECT_EQ(Settings.OpenGLDLL, "/opt/mesa/libGL.so.1");
    EXPECT_EQ(fake.StringValue(Key, "OpenGLDLL"), "/opt/mesa/libGL.so.1");
    EXPECT_EQ(fake.StringValue(Key, "OpenGLUDLL"), "glu-test.dll");
}

TEST_F(RegistryTest, ColoursAreTakenAsStoredAndClNoneIsStoredAs536870911) {
    fake.SetRegistryDword(Key, "MonoColor", -1);
    LoadSettings();
    EXPECT_EQ(Settings.MonoColor, 0xFFFFFFFFu);
    Settings.MonoColor = 0x1FFFFFFF;
    SaveSettings();
    EXPECT_EQ(fake.DwordValue(Key, "MonoColor"), 536870911);
}

TEST_F(RegistryTest, AWrongTypedValueKeepsItsDefaultAndTheOthersAreStillRead) {
    // Reading used to stop here and the save then wrote defaults over everything after it.
    fake.SetRegistryString(Key, "OpenGLDLL", "mygl.dll");
    fake.SetRegistryString(Key, "Alpha", "yes");
    fake.SetRegistryDword(Key, "Monochrome", 1);
    fake.SetRegistryDword(Key, "NumOfReflections", 24);
    fake.SetRegistryDword(Key, "Rest", 40);
    LoadAndSave();

    EXPECT_EQ(Settings.OpenGLDLL, "mygl.dll");
    EXPECT_FALSE(Settings.Alpha);
    EXPECT_TRUE(Settings.Monochrome);
    EXPECT_EQ(Settings.NumOfReflections, 24);
    EXPECT_EQ(fake.DwordValue(Key, "NumOfReflections"), 24);
    EXPECT_EQ(fake.DwordValue(Key, "Monochrome"), 1);
    EXPECT_EQ(fake.DwordValue(Key, "Rest"), 40);
    // The unreadable value itself is replaced by a proper one.
    EXPECT_EQ(fake.DwordValue(Key, "Alpha"), 0);
}

TEST_F(RegistryTest, UnusableDwordsAndUnreadableValuesKeepTheirDefaults) {
    // An integer longer than 4 bytes, one shorter, one of another type, one the system
    // refuses to read: each keeps its default, the value after each is read.
    fake.SetRegistryValue(Key, "NumOfElements", REG_DWORD, {5, 0, 0, 0, 0, 0, 0, 0});
    fake.SetRegistryDword(Key, "NumOfReflections", 30);
    fake.SetRegistryValue(Key, "Reflected", REG_DWORD, {0, 0});
    fake.SetRegistryValue(Key, "FullScreen", REG_BINARY, {1, 0, 0, 0});
    fake.SetRegistryDword(Key, "Monochrome", 1);
    fake.SetRegistryDword(Key, "Rest", 99);
    fake.FailQuery.insert("Rest");
    fake.SetRegistryString(Key, "WallpaperDir", "/pictures");
    LoadSettings();
    EXPECT_EQ(Settings.NumOfElements, 3);
    EXPECT_EQ(Settings.NumOfReflections, 30);
    EXPECT_TRUE(Settings.Reflected);
    EXPECT_FALSE(Settings.FullScreen);
    EXPECT_TRUE(Settings.Monochrome);
    EXPECT_EQ(Settings.Rest, 20);
    EXPECT_EQ(Settings.WallpaperDir, "/pictures");
}

TEST_F(RegistryTest, StringsAcceptExpandTypeAndEndAtTheFirstNul) {
    fake.SetRegistryString(Key, "OpenGLDLL", "%SystemRoot%\\gl.dll", REG_EXPAND_SZ);
    fake.SetRegistryValue(Key, "OpenGLUDLL", REG_SZ, {'g', 'l', 'u', 0, 'x', 0});
    fake.SetRegistryValue(Key, "WallpaperDir", REG_SZ, {});
    Settings.WallpaperDir = "before";
    LoadSettings();
    EXPECT_EQ(Settings.OpenGLDLL, "%SystemRoot%\\gl.dll"); // not expanded
    EXPECT_EQ(Settings.OpenGLUDLL, "glu");
    EXPECT_EQ(Settings.WallpaperDir, "");
}

TEST_F(RegistryTest, AFailedWriteStopsTheSaveAndLeavesTheRestAsItWas) {
    fake.SetRegistryDword(Key, "NumOfElements", 9);
    Settings.NumOfElements = 4;
    fake.FailSetValue.insert("Monochrome");
    fake.CommitFails = true;
    std::uint32_t error = 0;
    EXPECT_FALSE(SaveSettings(&error));
    EXPECT_EQ(error, 5u) << "the reason of the first failure, not of the close after it";
    EXPECT_EQ(fake.CountOf("RegSetValue("), 5u); // up to and including Monochrome
    EXPECT_EQ(fake.DwordValue(Key, "NumOfElements"), 9);
    EXPECT_EQ(fake.Log.back(), "RegCloseKey(" + Key + ")");

    fake.FailSetValue.clear(); // writes that cannot be kept are no success either
    EXPECT_FALSE(SaveSettings(&error));
    EXPECT_EQ(error, 112u);
}

TEST_F(RegistryTest, AKeyThatCannotBeCreatedGetsNothingWritten) {
    fake.CreateKeyFails = true;
    std::uint32_t error = 0;
    EXPECT_FALSE(SaveSettings(&error));
    EXPECT_EQ(error, 5u);
    EXPECT_EQ(fake.CountOf("RegSetValue("), 0u);
    EXPECT_EQ(fake.CountOf("RegCloseKey("), 0u);
}

} // namespace
} // namespace lumivex
