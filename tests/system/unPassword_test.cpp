// The screen-saver password: which library and routine are called, with what, and what the
// answer means on each path.
#include "support/FakePlatform.h"
#include "system/unPassword.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#if defined(_WIN32) && !defined(_WIN64)
#define TEST_STDCALL __attribute__((stdcall))
#else
#define TEST_STDCALL
#endif

namespace lumivex {
namespace {

const std::string DesktopKey = "Control Panel\\Desktop";

// Stand-ins for the system's routines; they remember how they were called.
std::int32_t verifyAnswer = 1;
WindowHandle verifyWindow = 0;
int verifyCalls = 0;
std::int32_t TEST_STDCALL FakeVerify(WindowHandle window) {
    ++verifyCalls;
    verifyWindow = window;
    return verifyAnswer;
}

std::string changeProvider;
WindowHandle changeWindow = 0;
std::uint32_t changeReserved1 = 99, changeReserved2 = 99;
int changeCalls = 0;
std::uint32_t TEST_STDCALL FakeChange(const char* provider, WindowHandle window,
                                      std::uint32_t reserved1, std::uint32_t reserved2) {
    ++changeCalls;
    changeProvider = provider;
    changeWindow = window;
    changeReserved1 = reserved1;
    changeReserved2 = reserved2;
    return 0;
}

class PasswordTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetPlatform(&fake);
        fake.Version.PlatformId = 1; // Windows 95/98/ME
        fake.SystemDirectory = "C:\\WINDOWS\\SYSTEM";
        fake.Registry[DesktopKey];
        verifyAnswer = 1;
        verifyCalls = changeCalls = 0;
        verifyWindow = changeWindow = 0;
    }
    void TearDown() override {
        EXPECT_TRUE(fake.LoadedLibraries().empty()) << "every library loaded is freed";
        EXPECT_EQ(fake.OpenKeys, 0);
        SetPlatform(nullptr);
    }
    void AddVerifyLibrary(const std::string& path) {
        fake.AddLibrary(path, {{"VerifyScreenSavePwd", reinterpret_cast<void*>(&FakeVerify)}});
    }
    FakePlatform fake;
};

TEST_F(PasswordTest, TheNtFamilyLetsTheSaverCloseWithoutAnyOtherCall) {
    fake.Version.PlatformId = 2;
    AddVerifyLibrary("C:\\WINDOWS\\SYSTEM\\Password.cpl");
    verifyAnswer = 0;
    EXPECT_TRUE(VerifyPassword(0x5A7));
    EXPECT_EQ(fake.Log, std::vector<std::string>{"GetVersion()"});
}

TEST_F(PasswordTest, ARefusingRoutineKeepsTheSaverRunning) {
    AddVerifyLibrary("C:\\WINDOWS\\SYSTEM\\Password.cpl");
    verifyAnswer = 0;
    fake.ActiveWindow = 0x123;
    EXPECT_FALSE(VerifyPassword(0x5A7));
    EXPECT_EQ(verifyCalls, 1);
    EXPECT_EQ(verifyWindow, 0x5A7);
    const std::vector<std::string> expected = {
        "GetVersion()",
        "GetActiveWindow()",
        "SetActiveWindow(" + std::to_string(0x5A7) + ")",
        "RegOpenKey(Control Panel\\Desktop,AllAccess)",
        "GetSystemDirectory()",
        "LoadLibrary(C:\\WINDOWS\\SYSTEM\\Password.cpl)",
        "GetProcAddress(C:\\WINDOWS\\SYSTEM\\Password.cpl,VerifyScreenSavePwd)",
        "FreeLibrary(C:\\WINDOWS\\SYSTEM\\Password.cpl)",
        "RegCloseKey(Control Panel\\Desktop)",
    };
    EXPECT_EQ(fake.Log, expected);
}

TEST_F(PasswordTest, AnyNonZeroAnswerLetsTheSaverClose) {
    AddVerifyLibrary("C:\\WINDOWS\\SYSTEM\\Password.cpl");
    verifyAnswer = -1;
    fake.ActiveWindow = 0x5A7;
    EXPECT_TRUE(VerifyPassword(0x5A7));
    EXPECT_EQ(fake.CountOf("SetActiveWindow"), 0u) << "already the active window";
}

TEST_F(PasswordTest, WithoutTheDesktopKeyNothingIsLoaded) {
    fake.Registry.erase(DesktopKey);
    AddVerifyLibrary("C:\\WINDOWS\\SYSTEM\\Password.cpl");
    verifyAnswer = 0;
    EXPECT_TRUE(VerifyPassword(0x5A7));
    EXPECT_EQ(fake.CountOf("LoadLibrary"), 0u);
    EXPECT_EQ(fake.Calls("RegOpenKey").size(), 2u) << "full access, then read access";
}

TEST_F(PasswordTest, AMissingLibraryOrRoutineLetsTheSaverClose) {
    EXPECT_TRUE(VerifyPassword(0x5A7));                   // no Password.cpl at all
    fake.AddLibrary("C:\\WINDOWS\\SYSTEM\\Password.cpl"); // one without the routine
    EXPECT_TRUE(VerifyPassword(0x5A7));
    EXPECT_EQ(fake.CountOf("FreeLibrary(C:\\WINDOWS\\SYSTEM\\Password.cpl)"), 1u);
    EXPECT_EQ(verifyCalls, 0);
}

TEST_F(PasswordTest, ASystemDirectoryEndingInABackslashGetsNoSecondOne) {
    fake.SystemDirectory = "C:\\";
    AddVerifyLibrary("C:\\Password.cpl");
    verifyAnswer = 0;
    EXPECT_FALSE(VerifyPassword(0x5A7));
    EXPECT_EQ(fake.CountOf("LoadLibrary(C:\\Password.cpl)"), 1u);
}

TEST_F(PasswordTest, ChangePasswordPassesTheProviderTheWindowAndTwoZeros) {
    fake.AddLibrary("C:\\WINDOWS\\SYSTEM\\Mpr.dll",
                    {{"PwdChangePasswordA", reinterpret_cast<void*>(&FakeChange)}});
    ChangePassword(1234);
    EXPECT_EQ(changeCalls, 1);
    EXPECT_EQ(changeProvider, "SCRSAVE");
    EXPECT_EQ(changeWindow, 1234);
    EXPECT_EQ(changeReserved1, 0u);
    EXPECT_EQ(changeReserved2, 0u);
    EXPECT_EQ(fake.Log.back(), "FreeLibrary(C:\\WINDOWS\\SYSTEM\\Mpr.dll)");
}

TEST_F(PasswordTest, ChangePasswordDoesNothingWithoutTheLibraryOrTheRoutine) {
    ChangePassword(1234);
    fake.AddLibrary("C:\\WINDOWS\\SYSTEM\\Mpr.dll");
    ChangePassword(1234);
    EXPECT_EQ(changeCalls, 0);
    EXPECT_EQ(fake.CountOf("FreeLibrary"), 1u);
}

} // namespace
} // namespace lumivex
