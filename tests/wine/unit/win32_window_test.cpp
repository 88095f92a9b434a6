// The saver window's pieces that later Windows added: the virtual screen and its monitors (with
// Windows 95's lack of them), the displays' power, and which help configure mode shows.
#include "platform/win32/win32_help.h"
#include "platform/win32/win32_monitors.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

namespace lumivex {
namespace {

std::string Text(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " +
           std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) + ";";
}
std::string Text(const std::vector<ViewRect>& rects) {
    std::string text;
    for (const ViewRect& r : rects)
        text += Text(RECT{r.Left, r.Top, r.Left + r.Width, r.Top + r.Height});
    return text;
}

// Three monitors, the primary in the middle; Windows 95 (virtual-screen metrics 0) with `flat`.
bool flat = false;
int WINAPI Metrics(int index) {
    const int virtualScreen[] = {-1280, -100, 3328, 868}; // SM_XVIRTUALSCREEN (76) on
    if (index >= 76 && index <= 79)
        return flat ? 0 : virtualScreen[index - 76];
    return index == SM_CXSCREEN ? 1024 : index == SM_CYSCREEN ? 768 : 0;
}

TEST(MonitorsTest, VirtualScreenAndTheMonitorsInTheView) {
    flat = false;
    EXPECT_EQ(Text(VirtualScreen(&Metrics)), "-1280,-100 3328x868;");
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
    EXPECT_EQ(Text(VirtualScreen(&Metrics)), "0,0 1024x768;");
    // A USER32 without EnumDisplayMonitors and GetMonitorInfoA.
    EXPECT_TRUE(DisplayMonitors(::GetModuleHandleA("kernel32.dll")).empty());
    EXPECT_TRUE(DisplayMonitors(nullptr).empty());
    // This system's own: at least the primary one, first.
    const std::vector<RECT> found = DisplayMonitors(::GetModuleHandleA("user32.dll"));
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(Text(found[0]).substr(0, 4), "0,0 ");
}

TEST(HelpTest, WinHelpOnlyBeforeVistaAndWithTheFile) {
    const std::string file = "LMVXTEST.HLP";
    const PlatformVersion windows98{1, 4, 10}, windowsXP{2, 5, 1}, windows10{2, 10, 0};
    EXPECT_FALSE(WinHelpCanShow(file, windows98));
    char name[MAX_PATH] = {}; // beside the program
    ASSERT_GT(::GetModuleFileNameA(nullptr, name, MAX_PATH), 0u);
    const std::string path = std::string(name, std::strrchr(name, '\\') + 1) + file;
    ASSERT_TRUE(std::ofstream(path).good());
    EXPECT_TRUE(WinHelpCanShow(file, windows98));
    EXPECT_TRUE(WinHelpCanShow(file, windowsXP));
    EXPECT_FALSE(WinHelpCanShow(file, windows10));
    ::DeleteFileA(path.c_str());
    for (const char* words : {"0 to 9", "keypad +", "T, V, W", "Up and Down", "Left and Right",
                              "Delete", "Backspace", "Software\\Orvantix\\Lumivex GL", "password"})
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

    Win32Platform platform;
    HWND frame = nullptr;
    PowerSetting On{};
    int Ticks = 0;
    int TicksAtFirstPass = -1;
    std::string Sizes;
};

TEST_F(SaverWindowOnDisplay, PassesStopWhileEveryDisplayIsOffAndTheTimersCount) {
    struct {
        const char* Name;
        GUID Setting;
        DWORD OffLength, OnState;
        int TicksAtFirstPass; // 0: the passes never stopped
    } const cases[] = {
        {"Windows 8 on, dimmed counts as on", ConsoleDisplayState, 4, 2, 1},
        {"Vista and 7", MonitorPowerOn, 4, 1, 1},
        {"another setting", OtherSetting, 4, 1, 0},
        {"no state", ConsoleDisplayState, 0, 1, 0},
    };
    platform.SetIdleHandler(true);
    platform.SetTimerEnabled(TimerTick, true);
    for (const auto& c : cases) {
        const PowerSetting off{c.Setting, c.OffLength, 0};
        On = {c.Setting, 4, c.OnState};
        Ticks = 0;
        EXPECT_EQ(Send(WM_POWERBROADCAST, &off), TRUE) << c.Name; // PBT_POWERSETTINGCHANGE
        platform.RunModal();
        EXPECT_EQ(TicksAtFirstPass, c.TicksAtFirstPass) << c.Name;
        Send(WM_POWERBROADCAST, &On);
    }
}

// Monitors plugged in or out, or another scale: the window covers the virtual screen again and
// the form hears of the layout, even at the same size; not once it has closed.
TEST_F(SaverWindowOnDisplay, FollowsTheScreenAsMonitorsChange) {
    const RECT screen = VirtualScreen();
    const std::string full = Text(screen).substr(Text(screen).find(' ') + 1);
    for (UINT message : {UINT{WM_DISPLAYCHANGE}, UINT{0x02E0}}) { // and WM_DPICHANGED
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
