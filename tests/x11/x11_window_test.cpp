// The saver window's modal loop on a real display; tests/e2e/saver_window_loop.sh runs these on a
// virtual one. Events are recorded in order, so the tests need no clock.
// GoogleTest goes before Xlib, whose None macro breaks it.
#include <gtest/gtest.h>

#include "gl/OpenGL12.h"
#include "platform/x11/x11_window.h"
#include "x11/DisplayTestSupport.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace lumivex {
namespace {

class RecordingEvents : public WindowEvents {
  public:
    std::vector<std::string> Log; // idle passes, resizes, close queries and closes, in order
    std::function<void(int pass)> Idle;
    std::function<void(TimerId)> Timer;
    std::function<bool(int query)> Answer = [](int) { return true; };
    std::function<void()> Closing;
    int IdlePasses = 0;
    int Queries = 0;
    int Paints = 0;
    int Moves = 0;
    std::map<TimerId, int> Fired;

    void OnKeyDown(std::uint16_t) override {}
    void OnMouseDown() override {}
    void OnMouseMove(int, int) override { ++Moves; }
    void OnTimer(TimerId timer) override {
        ++Fired[timer];
        if (Timer)
            Timer(timer);
    }
    void OnPaint() override { ++Paints; }
    void OnResize(int width, int height) override {
        Log.push_back("Resize " + std::to_string(width) + "x" + std::to_string(height));
    }
    bool OnCloseQuery() override {
        Log.push_back("CloseQuery");
        return Answer(Queries++);
    }
    void OnClose() override {
        Log.push_back("Close");
        if (Closing)
            Closing();
    }
    void OnIdle() override {
        Log.push_back("Idle " + std::to_string(IdlePasses));
        if (Idle)
            Idle(IdlePasses);
        ++IdlePasses;
    }
};

class SaverWindowOnDisplay : public OnDisplayTest {
  protected:
    void Run() {
        platform->CreateSaverWindow(&events);
        platform->SetIdleHandler(true);
        platform->RunModal();
    }
    // Handles events until the first paint has come, and then everything that followed it.
    void SettleFirstPaint() {
        while (events.Paints == 0)
            platform->ProcessMessages();
        XSync(platform->XConnection(), False);
        platform->ProcessMessages();
    }
    std::vector<std::string> LogWithout(const std::string& prefix) const {
        std::vector<std::string> kept;
        for (const std::string& entry : events.Log)
            if (entry.rfind(prefix, 0) != 0)
                kept.push_back(entry);
        return kept;
    }

    RecordingEvents events;
    Window saverWindow = 0;
};

using Entries = std::vector<std::string>;

TEST_F(SaverWindowOnDisplay, TheWindowSystemsCloseRequestGoesThroughTheQuery) {
    events.Answer = [](int query) { return query > 0; };
    events.Idle = [&](int pass) {
        if (pass > 1)
            return;
        Display* display = platform->XConnection();
        XEvent message{};
        message.xclient.type = ClientMessage;
        message.xclient.window = saverWindow;
        message.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        message.xclient.format = 32;
        message.xclient.data.l[0] =
            static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        XSendEvent(display, saverWindow, False, NoEventMask, &message);
        XSync(display, False);
    };
    saverWindow = static_cast<Window>(platform->CreateSaverWindow(&events));
    platform->SetIdleHandler(true);
    platform->RunModal();
    EXPECT_EQ(events.Queries, 2);
}

TEST_F(SaverWindowOnDisplay, TimersFireFromTheLoopAndStopWhenDisabled) {
    platform->CreateSaverWindow(&events);
    // Without an idle handler the loop waits for the timers instead of spinning.
    platform->SetIdleHandler(false);
    platform->SetTimerEnabled(TimerHideMouse, true);
    ASSERT_TRUE(platform->IsTimerEnabled(TimerTick)); // running from the start
    events.Timer = [&](TimerId timer) {
        if (timer == TimerHideMouse)
            platform->SetTimerEnabled(TimerHideMouse, false);
        else if (events.Fired[TimerTick] == 2)
            platform->RequestClose();
    };
    platform->RunModal();
    EXPECT_EQ(events.Fired[TimerHideMouse], 1);
    EXPECT_EQ(events.Fired[TimerTick], 2);
    EXPECT_FALSE(platform->IsTimerEnabled(TimerHideMouse));
}

TEST_F(SaverWindowOnDisplay, ATimerEnabledAgainWhileItRunsIsNotRestarted) {
    // Enabled again on every idle pass, the cursor timer still fires 500 ms after it was first
    // enabled, before the tick that was started with the window 1 s out; restarted each time, it
    // would never fire at all.
    platform->CreateSaverWindow(&events);
    platform->SetTimerEnabled(TimerHideMouse, true);
    platform->SetIdleHandler(true);
    events.Idle = [&](int) {
        if (events.Fired[TimerHideMouse] == 0)
            platform->SetTimerEnabled(TimerHideMouse, true);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };
    events.Timer = [&](TimerId timer) {
        if (timer == TimerHideMouse)
            platform->SetTimerEnabled(TimerHideMouse, false);
        else
            platform->RequestClose();
    };
    platform->RunModal();
    EXPECT_EQ(events.Fired[TimerHideMouse], 1);
    EXPECT_EQ(events.Fired[TimerTick], 1);
}

TEST_F(SaverWindowOnDisplay, InvalidationsMadeBeforeAPaintBringOnePaint) {
    int paintsAfter = -1;
    events.Idle = [&](int) {
        SettleFirstPaint();
        const int before = events.Paints;
        platform->InvalidateView();
        platform->InvalidateView();
        platform->InvalidateView();
        platform->ProcessMessages();
        paintsAfter = events.Paints - before;
        platform->RequestClose();
    };
    Run();
    EXPECT_EQ(paintsAfter, 1);
}

TEST_F(SaverWindowOnDisplay, TheMousePositionIsReportedWhenTheWindowAppears) {
    events.Idle = [&](int) { platform->RequestClose(); };
    Run();
    EXPECT_EQ(events.Moves, 1);
}

TEST_F(SaverWindowOnDisplay, AnEmptyBoundsHideTheWindowAndReportSizeZero) {
    int screenWidth = 0;
    int screenHeight = 0;
    platform->GetScreenSize(screenWidth, screenHeight);
    events.Idle = [&](int) {
        // The window already covers the screen: setting the same bounds reports nothing.
        platform->SetWindowBounds(0, 0, screenWidth, screenHeight);
        platform->RequestClose();
    };
    events.Closing = [&] { platform->SetWindowBounds(0, 0, 0, 0); };
    Run();
    EXPECT_EQ(LogWithout("Idle"), (Entries{"CloseQuery", "Close", "Resize 0x0"}));
    int width = -1;
    int height = -1;
    platform->GetViewSize(width, height);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
}

// Monitor 0 is the one the server lists first (its primary first, then in the order they were
// made), whatever their places; each is clipped to the screen the window covers.
TEST_F(SaverWindowOnDisplay, TheMonitorsComeInTheServersOrder) {
    using Rect = std::vector<int>;
    struct Monitor {
        const char* Name;
        bool Primary;
        Rect Place;
    };
    const Rect right{320, 0, 320, 480}, left{0, 0, 320, 480};
    const struct {
        std::vector<Monitor> Made;
        std::vector<Rect> Expected;
    } cases[] = {{{{"R", false, right}, {"L", false, left}}, {right, left}},
                 {{{"L", false, left}, {"R", false, right}}, {left, right}},
                 {{{"R", false, right}, {"L", false, left}, {"W", true, {400, 100, 600, 200}}},
                  {{400, 100, 240, 200}, right, left}}};
    Display* display = platform->XConnection();
    const Window root = DefaultRootWindow(display);
    XRRScreenResources* resources = XRRGetScreenResources(display, root);
    ASSERT_TRUE(resources != nullptr && resources->noutput > 0);
    RROutput screenOutput = resources->outputs[0];
    XRRFreeScreenResources(resources);
    platform->CreateSaverWindow(&events);
    for (const auto& c : cases) {
        for (const Monitor& made : c.Made) {
            // The server's own monitor of the whole screen goes with its output.
            const bool second = &made == &c.Made[1];
            XRRMonitorInfo info{XInternAtom(display, made.Name, False),
                                made.Primary,
                                False,
                                second ? 1 : 0,
                                made.Place[0],
                                made.Place[1],
                                made.Place[2],
                                made.Place[3],
                                100,
                                100,
                                second ? &screenOutput : nullptr};
            XRRSetMonitor(display, root, &info);
        }
        XSync(display, False);
        std::vector<Rect> monitors;
        for (const ViewRect& got : platform->GetViewMonitors())
            monitors.push_back({got.Left, got.Top, got.Width, got.Height});
        for (const Monitor& made : c.Made)
            XRRDeleteMonitor(display, root, XInternAtom(display, made.Name, False));
        XSync(display, False);
        EXPECT_EQ(monitors, c.Expected) << c.Made[0].Name;
    }
}

// A host destroys its window (and the view in it) when it likes, as a settings dialog's preview
// does: before the view and its context are made, or in the middle of a frame. Either way there
// is no context to fail with, no X error to report, and the loop ends as a session does.
TEST_F(SaverWindowOnDisplay, AHostsWindowDestroyedAtAnyMomentEndsTheRunQuietly) {
    ASSERT_TRUE(LoadOpenGL("OpenGL32.DLL", "GLU32.DLL"));
    Display* display = platform->XConnection();
    const auto hostWindow = [&] {
        const Window host =
            XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 200, 100, 0, 0, 0);
        XMapWindow(display, host);
        XSync(display, False);
        EXPECT_EQ(platform->HostIn(host), "");
        return host;
    };
    const auto run = [&] {
        platform->SetWindowBounds(0, 0, 200, 100);
        platform->SetIdleHandler(true);
        platform->RunModal();
        platform->DestroySaverWindow();
    };
    ::testing::internal::CaptureStderr();
    XDestroyWindow(display, hostWindow());
    platform->CreateSaverWindow(&events);
    EXPECT_EQ(platform->CreateGLContext(platform->GetViewDeviceContext(), 32, 0, 0, 0, 0), 0);
    run();
    EXPECT_EQ(LogWithout("Resize"), (Entries{"Close"}));

    events.Log.clear();
    const Window host = hostWindow();
    platform->CreateSaverWindow(&events);
    const DeviceContext dc = platform->GetViewDeviceContext();
    platform->ActivateGLContext(dc, platform->CreateGLContext(dc, 32, 0, 0, 0, 0));
    events.Idle = [&](int pass) {
        if (pass == 0) {
            XDestroyWindow(display, host);
            XSync(display, False);
        }
        GL.glClear(GL_COLOR_BUFFER_BIT);
        GL.glFlush();
    };
    run();
    EXPECT_LE(events.IdlePasses, 2);
    EXPECT_EQ(LogWithout("Idle"), (Entries{"Close"}));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

} // namespace
} // namespace lumivex
