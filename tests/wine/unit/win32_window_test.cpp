// The saver window's pieces that later Windows added: the virtual screen and its monitors (with
// Windows 95's lack of them), the displays' power, and which help configure mode shows.
#include "platform/win32/win32_help.h"
#include "platform/win32/win32_monitors.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace lumivex {
namespace {

std::string Text(const std::vector<ViewRect>& rects) {
    std::string text;
    for (const ViewRect& r : rects)
        text += std::to_string(r.Left) + "," + std::to_string(r.Top) + " " +
                std::to_string(r.Width) + "x" + std::to_string(r.Height) + ";";
    return text;
}

// Metrics of a system of three monitors, the primary in the middle; of Windows 95 with `flat`.
bool flat = false;
int WINAPI Metrics(int index) {
    switch (index) {
    case SM_CXSCREEN:
        return 1024;
    case SM_CYSCREEN:
        return 768;
    case 76: // the virtual screen's left, top, width and height
        return flat ? 0 : -1280;
    case 77:
        return flat ? 0 : -100;
    case 78:
        return flat ? 0 : 3328;
    case 79:
        return flat ? 0 : 868;
    default:
        return 0;
    }
}

TEST(MonitorsTest, VirtualScreenAndTheMonitorsInTheView) {
    flat = false;
    const RECT screen = VirtualScreen(&Metrics);
    EXPECT_EQ((std::vector<LONG>{screen.left, screen.top, screen.right, screen.bottom}),
              (std::vector<LONG>{-1280, -100, 2048, 768}));
    // A window over it; the monitors in view coordinates, cut to the view, the primary first.
    const std::vector<RECT> monitors{
        {0, 0, 1024, 768}, {-1280, -100, 0, 924}, {1024, 0, 2048, 768}, {5000, 0, 6000, 768}};
    EXPECT_EQ(Text(MonitorsInView(monitors, {-1280, -100}, {3328, 868})),
              "1280,100 1024x768;0,0 1280x868;2304,100 1024x768;");
    // One monitor in view: the view's one picture.
    EXPECT_EQ(Text(MonitorsInView(monitors, {0, 0}, {1024, 768})), "");
}

TEST(MonitorsTest, Windows95HasOneScreenAndNoMonitors) {
    flat = true;
    const RECT screen = VirtualScreen(&Metrics);
    EXPECT_EQ((std::vector<LONG>{screen.left, screen.top, screen.right, screen.bottom}),
              (std::vector<LONG>{0, 0, 1024, 768}));
    // A USER32 without EnumDisplayMonitors and GetMonitorInfoA.
    EXPECT_TRUE(DisplayMonitors(::GetModuleHandleA("kernel32.dll")).empty());
    EXPECT_TRUE(DisplayMonitors(nullptr).empty());
    // This system's own: at least the primary one, first.
    const std::vector<RECT> found = DisplayMonitors(::GetModuleHandleA("user32.dll"));
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found[0].left, 0);
    EXPECT_EQ(found[0].top, 0);
}

TEST(HelpTest, WinHelpOnlyBeforeVistaAndWithTheFile) {
    const std::string file = "LMVXTEST.HLP";
    const PlatformVersion windows98{1, 4, 10};
    const PlatformVersion windowsXP{2, 5, 1};
    const PlatformVersion windows10{2, 10, 0};
    EXPECT_FALSE(WinHelpCanShow(file, windows98));
    // Beside the program.
    char name[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameA(nullptr, name, MAX_PATH), 0u);
    std::string path(name);
    path = path.substr(0, path.find_last_of('\\') + 1) + file;
    std::FILE* help = std::fopen(path.c_str(), "wb");
    ASSERT_NE(help, nullptr);
    std::fclose(help);
    EXPECT_TRUE(WinHelpCanShow(file, windows98));
    EXPECT_TRUE(WinHelpCanShow(file, windowsXP));
    EXPECT_FALSE(WinHelpCanShow(file, windows10));
    ::DeleteFileA(path.c_str());
    // The own help tells every Caps Lock key, Backspace, the settings' place and the password.
    for (const char* words :
         {"Caps Lock", "0 to 9", "keypad + and -", "T, V, W", "Up and Down", "Left and Right",
          "Delete", "Escape", "Backspace",
          "HKEY_CURRENT_USER\\Software\\Orvantix\\Lumivex GL\\Version 3.0", "password"})
        EXPECT_NE(std::string(OwnHelpText).find(words), std::string::npos) << words;
}

// --- the saver window's procedure (it needs a display) -------------------------------------

struct PowerSetting {
    GUID Setting;
    DWORD DataLength;
    DWORD State;
};
constexpr GUID ConsoleDisplayState = {
    0x6FE69556, 0x704A, 0x47A0, {0x8F, 0x24, 0xC2, 0x8D, 0x93, 0x6F, 0xDA, 0x47}};
constexpr GUID MonitorPowerOn = {
    0x02731015, 0x4510, 0x4526, {0x99, 0xE6, 0xE5, 0xA1, 0x7E, 0xBD, 0x1A, 0xEA}};
constexpr GUID OtherSetting = {0x12345678, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};

// A saver window on the real back end; its form notes the sizes it hears and the ticks counted
// before the first idle pass, which ends the loop; the first tick sends `On` to the window.
class SaverWindowOnDisplay : public ::testing::Test, public WindowEvents {
  protected:
    void SetUp() override {
        SetPlatform(&platform);
        frame = reinterpret_cast<HWND>(platform.CreateSaverWindow(this));
    }
    void TearDown() override {
        platform.DestroySaverWindow();
        SetPlatform(nullptr);
    }
    LRESULT Send(UINT message, WPARAM wParam = 0, const PowerSetting* setting = nullptr) {
        return ::SendMessageA(frame, message, wParam, reinterpret_cast<LPARAM>(setting));
    }

    void OnKeyDown(std::uint16_t) override {}
    void OnMouseDown() override {}
    void OnMouseMove(int, int) override {}
    void OnTimer(TimerId timer) override {
        if (timer == TimerTick && ++Ticks == 1)
            Send(WM_POWERBROADCAST, 0x8013, &On);
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

    Win32Platform platform;
    HWND frame = nullptr;
    PowerSetting On{};
    int Ticks = 0;
    int TicksAtFirstPass = -1;
    std::string Sizes;
};

struct PowerCase {
    const char* Name;
    PowerSetting Off;
    PowerSetting On;
    int TicksAtFirstPass; // 0: the passes never stopped
};

TEST_F(SaverWindowOnDisplay, PassesStopWhileEveryDisplayIsOffAndTheTimersCount) {
    const PowerCase cases[] = {
        {"Windows 8 on, dimmed counts as on",
         {ConsoleDisplayState, 4, 0},
         {ConsoleDisplayState, 4, 2},
         1},
        {"Vista and 7", {MonitorPowerOn, 4, 0}, {MonitorPowerOn, 4, 1}, 1},
        {"another setting", {OtherSetting, 4, 0}, {OtherSetting, 4, 1}, 0},
        {"no state", {ConsoleDisplayState, 0, 0}, {ConsoleDisplayState, 4, 1}, 0},
    };
    platform.SetIdleHandler(true);
    platform.SetTimerEnabled(TimerTick, true);
    for (const PowerCase& c : cases) {
        On = c.On;
        Ticks = 0;
        EXPECT_EQ(Send(WM_POWERBROADCAST, 0x8013, &c.Off), TRUE) << c.Name;
        platform.RunModal();
        EXPECT_EQ(TicksAtFirstPass, c.TicksAtFirstPass) << c.Name;
        Send(WM_POWERBROADCAST, 0x8013, &c.On);
    }
}

// Monitors plugged in or out, or another scale: the window covers the virtual screen again and
// the form hears of the layout, even at the same size; not once it has closed.
TEST_F(SaverWindowOnDisplay, FollowsTheScreenAsMonitorsChange) {
    const RECT screen = VirtualScreen();
    const std::string full = std::to_string(screen.right - screen.left) + "x" +
                             std::to_string(screen.bottom - screen.top) + ";";
    for (UINT message : {UINT{WM_DISPLAYCHANGE}, UINT{0x02E0}}) { // and WM_DPICHANGED
        platform.SetWindowBounds(10, 10, 100, 100);
        Sizes.clear();
        Send(message);
        RECT now{};
        ::GetWindowRect(frame, &now);
        EXPECT_EQ((std::vector<LONG>{now.left, now.top, now.right, now.bottom}),
                  (std::vector<LONG>{screen.left, screen.top, screen.right, screen.bottom}))
            << message;
        // The size message, then the layout told again.
        EXPECT_EQ(Sizes, full + full) << message;
    }
    platform.SetWindowBounds(0, 0, 0, 0);
    Sizes.clear();
    Send(WM_DISPLAYCHANGE);
    EXPECT_EQ(Sizes, "");
}

} // namespace
} // namespace lumivex
