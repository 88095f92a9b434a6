// The Windows back end's pieces on the real system (under Wine on the build machine): the pixel
// format request and palette, registry strings through the settings' own load and save,
// libraries and the system's texts, Windows 95's one screen; *OnDisplay opens the saver window.
#include <initguid.h> // the power settings' GUIDs defined here

#include "platform/win32/win32_help.h"
#include "platform/win32/win32_monitors.h"
#include "platform/win32/win32_wgl.h"
#include "system/unGlobals.h"
#include "system/unRegistry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace lumivex {
namespace {

class Win32PlatformTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetPlatform(&platform);
        ::RegDeleteKeyA(HKEY_CURRENT_USER, SettingsKey);
    }
    void TearDown() override {
        ::RegDeleteKeyA(HKEY_CURRENT_USER, SettingsKey);
        SetPlatform(nullptr);
    }

    // The raw value as the registry holds it; Type REG_NONE when it is missing.
    RegistryValue Stored(const char* name) {
        RegistryValue value;
        const KeyHandle key = platform.RegOpenKey(SettingsKey, RegAccess::Read);
        if (key != 0) {
            platform.RegQueryValue(key, name, value);
            platform.RegCloseKey(key);
        }
        return value;
    }

    Win32Platform platform;
};

TEST(PixelFormatRequestTest, AsksForWhatTheViewNeedsAndNothingElse) {
    PIXELFORMATDESCRIPTOR expected{};
    expected.nSize = 40;
    expected.nVersion = 1;
    expected.dwFlags = 0x24; // window drawable with OpenGL, single-buffered
    expected.iPixelType = PFD_TYPE_RGBA;
    expected.cColorBits = 32;
    expected.cDepthBits = 32;
    expected.iLayerType = PFD_MAIN_PLANE;
    const PIXELFORMATDESCRIPTOR request = PixelFormatRequest(OBJ_DC, 32, 0, 0, 0, 0);
    ASSERT_EQ(sizeof request, 40u);
    EXPECT_EQ(std::memcmp(&request, &expected, sizeof request), 0);

    // Memory and metafile contexts draw to a bitmap; the other requested counts pass through.
    for (DWORD type : {OBJ_MEMDC, OBJ_METADC, OBJ_ENHMETADC})
        EXPECT_EQ(PixelFormatRequest(type, 32, 0, 0, 0, 0).dwFlags, 0x28u) << type;
    const PIXELFORMATDESCRIPTOR other = PixelFormatRequest(OBJ_DC, 16, 8, 64, 2, 0);
    EXPECT_EQ(other.cColorBits, 16);
    EXPECT_EQ(other.cStencilBits, 8);
    EXPECT_EQ(other.cAccumBits, 64);
    EXPECT_EQ(other.cAuxBuffers, 2);
    EXPECT_EQ(other.cDepthBits, 32);
    EXPECT_EQ(PixelFormatRequest(OBJ_DC, 32, 0, 0, 0, 3).iLayerType, PFD_OVERLAY_PLANE);
    EXPECT_EQ(PixelFormatRequest(OBJ_DC, 32, 0, 0, 0, -2).iLayerType, 0xFF);
}

TEST(FormatPaletteEntriesTest, SpreadsEachChannelOverTheFullRange) {
    PIXELFORMATDESCRIPTOR format{};
    format.cColorBits = 8; // 3-3-2: red in bits 0-2, green in 3-5, blue in 6-7
    format.cRedBits = 3;
    format.cRedShift = 0;
    format.cGreenBits = 3;
    format.cGreenShift = 3;
    format.cBlueBits = 2;
    format.cBlueShift = 6;
    const auto entries = FormatPaletteEntries(format);
    ASSERT_EQ(entries.size(), 256u);
    const auto rgb = [&](int i) {
        const PALETTEENTRY& e = entries[static_cast<std::size_t>(i)];
        return std::to_string(e.peRed) + "," + std::to_string(e.peGreen) + "," +
               std::to_string(e.peBlue) + "," + std::to_string(e.peFlags);
    };
    EXPECT_EQ(rgb(0), "0,0,0,0");
    EXPECT_EQ(rgb(1), "36,0,0,0"); // 1 * 255 / 7, in integers
    EXPECT_EQ(rgb(0x07), "255,0,0,0");
    EXPECT_EQ(rgb(0x38), "0,255,0,0");
    EXPECT_EQ(rgb(0x40), "0,0,85,0");
    EXPECT_EQ(rgb(0xFF), "255,255,255,0");

    // Fewer colour bits, fewer entries; a channel without bits stays dark instead of dividing
    // by zero; more than 8 bits still fill only the 256 entries a palette holds.
    format.cColorBits = 4;
    format.cBlueBits = 0;
    const auto small = FormatPaletteEntries(format);
    ASSERT_EQ(small.size(), 16u);
    EXPECT_EQ(small[15].peBlue, 0);
    format.cColorBits = 16;
    EXPECT_EQ(FormatPaletteEntries(format).size(), 256u);
}

// Strings longer than any first guess come back whole; an expandable one as it stands; a saved
// one with its terminating NUL counted.
TEST_F(Win32PlatformTest, StringsComeBackAsStored) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, SettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const char expandable[] = "%SystemRoot%\\gl.dll";
    ::RegSetValueExA(key, "OpenGLDLL", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(expandable),
                     sizeof expandable);
    const std::string directory(3000, 'd');
    ::RegSetValueExA(key, "WallpaperDir", 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(directory.c_str()),
                     static_cast<DWORD>(directory.size() + 1));
    ::RegCloseKey(key);

    SetDefaultSettings();
    LoadSettings();
    EXPECT_EQ(Settings.OpenGLDLL, expandable); // not expanded
    EXPECT_EQ(Settings.WallpaperDir, directory);
    EXPECT_EQ(Stored("NoSuchValue").Type, std::uint32_t{REG_NONE});

    SaveSettings();
    const RegistryValue saved = Stored("OpenGLDLL");
    EXPECT_EQ(saved.Type, std::uint32_t{REG_SZ});
    EXPECT_EQ(std::string(saved.Data.begin(), saved.Data.end()),
              std::string(expandable, sizeof expandable));
}

std::string Text(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " +
           std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) + ";";
}

// Windows 95's metrics: a screen of 1024x768 and no virtual screen (0).
int WINAPI Windows95Metrics(int index) {
    return index == SM_CXSCREEN ? 1024 : index == SM_CYSCREEN ? 768 : 0;
}

TEST_F(Win32PlatformTest, LibrariesAndSystemTexts) {
    EXPECT_EQ(platform.LoadLibrary(""), nullptr); // not the program itself
    EXPECT_EQ(platform.LoadLibrary("NoSuchLibrary.dll"), nullptr);
    const std::uint32_t code = platform.GetLastError();
    EXPECT_EQ(code, static_cast<std::uint32_t>(ERROR_MOD_NOT_FOUND));
    const std::string text = platform.ErrorText(code);
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n'); // the message form adds its own line break

    const LibraryHandle kernel = platform.LoadLibrary("KERNEL32.DLL");
    ASSERT_NE(kernel, nullptr);
    EXPECT_NE(platform.GetProcAddress(kernel, "GetTickCount"), nullptr);
    EXPECT_EQ(platform.GetProcAddress(kernel, "NoSuchFunction"), nullptr);
    platform.FreeLibrary(kernel);

    const std::string system = platform.GetSystemDirectory();
    EXPECT_NE(system.find(':'), std::string::npos) << system;
    EXPECT_EQ(system.find('\0'), std::string::npos);
    EXPECT_LT(platform.MillisecondsSinceMidnightUTC(), 86400000u);

    // Windows 98 without the file shows the help window (XP with it, 10: startup_modes.sh).
    EXPECT_FALSE(WinHelpCanShow("LMVXTEST.HLP", {1, 4, 10}));
    for (const char* words : {"keypad +", "Backspace", "Software\\Orvantix\\Lumivex GL"})
        EXPECT_NE(std::string(OwnHelpText).find(words), std::string::npos) << words;
    // Windows 95: one screen, no monitor functions (several monitors: saver_password.sh).
    EXPECT_EQ(Text(VirtualScreen(&Windows95Metrics)), "0,0 1024x768;");
    EXPECT_TRUE(DisplayMonitors(::GetModuleHandleA("kernel32.dll")).empty());
}

struct PowerSetting {
    GUID Setting;
    DWORD DataLength;
    DWORD State;
};

// A saver window on the real back end; its form notes the sizes it hears and the ticks counted
// before the first idle pass, which ends the loop; the first tick sends `On` to the window.
class SaverWindowOnDisplay : public Win32PlatformTest, public WindowEvents {
  protected:
    void SetUp() override {
        Win32PlatformTest::SetUp();
        frame = reinterpret_cast<HWND>(platform.CreateSaverWindow(this));
    }
    void TearDown() override {
        platform.DestroySaverWindow();
        Win32PlatformTest::TearDown();
    }
    LRESULT Send(UINT message, const PowerSetting* setting = nullptr) {
        return ::SendMessageA(frame, message, 0x8013, reinterpret_cast<LPARAM>(setting));
    }

    void OnKeyDown(std::uint16_t) override {}
    void OnMouseDown() override {}
    void OnMouseMove(int, int) override {}
    void OnTimer(TimerId timer) override {
        if (timer == TimerTick && ++Ticks == 1)
            Send(WM_POWERBROADCAST, &On);
    }
    void OnPaint() override {}
    void OnResize(int width, int height) override {
        Sizes += std::to_string(width) + "x" + std::to_string(height) + ";";
    }
    bool OnCloseQuery() override { return true; }
    void OnClose() override {}
    void OnIdle() override {
        TicksAtFirstPass = Ticks;
        GetPlatform().RequestClose();
    }

    HWND frame = nullptr;
    PowerSetting On{};
    int Ticks = 0;
    int TicksAtFirstPass = -1;
    std::string Sizes;
};

TEST_F(SaverWindowOnDisplay, PassesStopWhileEveryDisplayIsOffAndTheTimersCount) {
    struct {
        const char* Name;
        PowerSetting Off;
        DWORD OnState;
        int TicksAtFirstPass; // 0: the passes never stopped
    } const cases[] = {
        {"Windows 8 on, dimmed counts as on", {GUID_CONSOLE_DISPLAY_STATE, 4, 0}, 2, 1},
        {"Vista and 7", {GUID_MONITOR_POWER_ON, 4, 0}, 1, 1},
        {"another setting", {GUID{}, 4, 0}, 1, 0},
        {"no state", {GUID_CONSOLE_DISPLAY_STATE, 0, 0}, 1, 0},
    };
    platform.SetIdleHandler(true);
    platform.SetTimerEnabled(TimerTick, true);
    for (const auto& c : cases) {
        On = {c.Off.Setting, 4, c.OnState};
        Ticks = 0;
        EXPECT_EQ(Send(WM_POWERBROADCAST, &c.Off), TRUE) << c.Name; // PBT_POWERSETTINGCHANGE
        platform.RunModal();
        EXPECT_EQ(TicksAtFirstPass, c.TicksAtFirstPass) << c.Name;
    }
}

// Monitors plugged in or out, or another scale (WM_DPICHANGED): the window covers the virtual
// screen again and the form hears of the layout, even at the same size; not once it has closed.
TEST_F(SaverWindowOnDisplay, FollowsTheScreenAsMonitorsChange) {
    const RECT screen = VirtualScreen();
    const std::string full = Text(screen).substr(Text(screen).find(' ') + 1);
    for (UINT message : {UINT{WM_DISPLAYCHANGE}, UINT{0x02E0}}) {
        platform.SetWindowBounds(10, 10, 100, 100);
        Sizes.clear();
        Send(message);
        RECT now{};
        ::GetWindowRect(frame, &now);
        EXPECT_EQ(Text(now), Text(screen)) << message;
        EXPECT_EQ(Sizes, full + full) << message; // the size message, then the layout again
    }
    platform.SetWindowBounds(0, 0, 0, 0);
    Sizes.clear();
    Send(WM_DISPLAYCHANGE);
    EXPECT_EQ(Sizes, "");
}

} // namespace
} // namespace lumivex
