// The saver window's handlers and RunSaverWindow, driven through the fake platform.
#include "shell/fmCanvas.h"

#include "support/AllocationCounter.h"
#include "support/FakePlatform.h"
#include "support/RecordingGL.h"
#include "system/unGlobals.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

namespace lumivex {
namespace {

using Log = std::vector<std::string>;
using Keys = std::initializer_list<std::uint16_t>;

// Password.cpl's answer on the 95/98/ME path of the close check.
std::int32_t Refuse(WindowHandle) {
    return 0;
}

class CanvasTest : public ::testing::Test {
  protected:
    CanvasTest() {
        SetPlatform(&fake);
        SetDefaultSettings();
    }
    ~CanvasTest() override { SetPlatform(nullptr); }

    // The window as RunSaverWindow has it when the modal loop starts.
    void Create() {
        form.Handle = fake.CreateSaverWindow(&form);
        form.ApplyDesignProperties();
        form.LumivexGL.InitRendering();
        form.FormCreate();
        fake.ClearLog();
        gl.Clear();
    }

    // Every rebuilt picture invalidates the view; every random one reads the time of day.
    std::size_t Rebuilds() const { return fake.CountOf("InvalidateView"); }
    std::size_t Randomizations() const { return fake.CountOf("MillisecondsSinceMidnightUTC"); }

    FakePlatform fake;
    testing::RecordingGL gl;
    TfrmCanvas form;
};

TEST_F(CanvasTest, FormCreateCoversTheScreenCopiesTheSettingsAndStartsTheAnimation) {
    Settings = {"", "", true, 0x00112233, true, false, 0xCC00, 7, 24, false, 7, ""};
    form.Handle = fake.CreateSaverWindow(&form);
    form.ApplyDesignProperties();
    EXPECT_EQ(fake.ViewCursor, crNone);
    EXPECT_FALSE(fake.TimerEnabled[TimerHideMouse]);
    EXPECT_TRUE(fake.TimerEnabled[TimerTick]);
    form.LumivexGL.InitRendering();
    form.FormCreate();
    EXPECT_TRUE(fake.ApplicationWindowHidden);
    EXPECT_EQ((std::vector{fake.BoundsLeft, fake.BoundsTop, fake.BoundsWidth, fake.BoundsHeight}),
              (std::vector{0, 0, 1024, 768}));
    EXPECT_EQ(fake.WindowColor, 0x00112233u);
    EXPECT_GT(fake.InvalidateCount, 0);
    EXPECT_TRUE(fake.IdleInstalled);
    const TLumivexGL& v = form.LumivexGL;
    EXPECT_TRUE(v.Alpha && v.FullScreen && !v.Monochrome && !v.Reflected && v.ElementsReady);
    EXPECT_EQ(v.BackColor, 0x00112233u);
    EXPECT_EQ(v.MonoColor, 0xCC00u);
    EXPECT_EQ(v.NumOfReflections, 24);
    EXPECT_EQ(v.Rest, 7);
    EXPECT_EQ(v.Elements.Count(), 7);
}

TEST_F(CanvasTest, AFrameDrawsEveryElementRestsAndWithoutRestAllocatesNothing) {
    Settings.NumOfElements = 10;
    Settings.FullScreen = true;
    Create();
    form.IdleFrame();
    EXPECT_EQ(gl.Count("glFlush"), 10u);
    EXPECT_EQ(fake.CountOf("Sleep(5)"), 4u);
    EXPECT_EQ(form.FramesDrawn, 1u);

    form.LumivexGL.SetRest(0);
    const GLEntryPoints recording = testing::BindSilentGL();
    const long allocations = testing::CountAllocations([&] {
        for (int i = 0; i < 20; ++i)
            form.IdleFrame();
    });
    GL = recording;
    EXPECT_EQ(allocations, 0);
}

TEST_F(CanvasTest, OutsideInteractiveModeAnyInputButCapsLockAltAndBackspaceCloses) {
    Create();
    form.FormKeyDown(VK_MENU);
    form.FormKeyDown(VK_CAPITAL);
    form.Ticks = 7;
    form.FormKeyDown(VK_BACK); // a new random picture, the count untouched
    EXPECT_EQ(Randomizations(), 1u);
    EXPECT_EQ(form.Ticks, 7);
    EXPECT_EQ(fake.CloseRequests, 0);
    for (std::uint16_t key : Keys{'T', 'Q', VK_UP, VK_ADD, VK_NUMPAD0}) {
        form.FormKeyDown(key);
        EXPECT_EQ(fake.CloseRequests, 1) << key;
        fake.CloseRequests = 0;
    }
    form.FormMouseDown();
    EXPECT_EQ(fake.CloseRequests, 1);
    form.FormKeyDown(VK_ESCAPE); // twice; the loop asks the close query once
    EXPECT_EQ(fake.CloseRequests, 3);
}

TEST_F(CanvasTest, CapsLockOnRestoresTheSavedSettingsAndOffSavesTheEditedOnes) {
    Settings.Monochrome = true;
    Settings.MonoColor = 0x00FF0000;
    Create();
    fake.MillisecondsOfDay = 32513000; // randomizes to 1 element, 12 reflections, alpha
    form.FormKeyDown(VK_BACK);
    fake.CapsLock = true;
    form.FormKeyDown(VK_CAPITAL);
    const TLumivexGL& v = form.LumivexGL;
    EXPECT_TRUE(!v.Alpha && v.Monochrome && v.Reflected && !v.FullScreen && v.ElementsReady);
    EXPECT_EQ(v.MonoColor, 0x00FF0000u);
    EXPECT_EQ(v.NumOfElements, 3);

    for (std::uint16_t key : Keys{'T', 'W', VK_UP, VK_LEFT, VK_NUMPAD0 + 8, VK_SUBTRACT, 'Q'})
        form.FormKeyDown(key);
    fake.CapsLock = false;
    form.FormKeyDown(VK_CAPITAL);
    EXPECT_TRUE(Settings.Alpha && Settings.FullScreen && Settings.Monochrome);
    EXPECT_EQ(Settings.NumOfReflections, 18);
    EXPECT_EQ(Settings.Rest, 24);
    EXPECT_EQ(Settings.MonoColor, 0x00CC33CCu);
    EXPECT_EQ(Settings.NumOfElements, 2);
    EXPECT_EQ(fake.CloseRequests, 0);
}

TEST_F(CanvasTest, EveryInteractiveKeyEditsThePictureAndRestartsTheCount) {
    // Each row starts from the defaults with its own element count; monochrome is on for the
    // rows of the 0 keys, which turn it off.
    struct Row {
        std::uint16_t key;
        int startElements;
        bool mono;
        TColor color;
        int elements, reflections, rest;
        bool alpha, reflected, full, rebuilds;
    };
    const Row rows[] = {
        {'0', 3, false, clNone, 3, 12, 20, false, true, false, true},
        {'3', 3, true, 0x0033FFFF, 3, 12, 20, false, true, false, true},
        {VK_NUMPAD0 + 6, 3, true, 0x00FF0000, 3, 12, 20, false, true, false, true},
        {'5', 3, true, 0x00CCCC33, 3, 12, 20, false, true, false, true},
        {VK_NUMPAD0 + 7, 3, true, 0x00CC3333, 3, 12, 20, false, true, false, true},
        {'9', 3, true, 0x006633FF, 3, 12, 20, false, true, false, true},
        {VK_NUMPAD9, 3, true, 0x006633FF, 3, 12, 20, false, true, false, true},
        {VK_NUMPAD0, 3, false, clNone, 3, 12, 20, false, true, false, true},
        {VK_ADD, 3, false, clNone, 4, 12, 20, false, true, false, true},
        {VK_ADD, 5, false, clNone, 5, 12, 20, false, true, false, false},
        {VK_ADD, 8, false, clNone, 8, 12, 20, false, true, false, false},
        {VK_SUBTRACT, 3, false, clNone, 2, 12, 20, false, true, false, true},
        {VK_SUBTRACT, 1, false, clNone, 1, 12, 20, false, true, false, false},
        {VK_SUBTRACT, 8, false, clNone, 7, 12, 20, false, true, false, true},
        {'T', 3, false, clNone, 3, 12, 20, true, true, false, true},
        {'V', 3, false, clNone, 3, 12, 20, false, false, false, true},
        {'W', 3, false, clNone, 3, 12, 20, false, true, true, true},
        {VK_UP, 3, false, clNone, 3, 18, 20, false, true, false, true},
        {VK_DOWN, 3, false, clNone, 3, 10, 20, false, true, false, true},
        {VK_LEFT, 3, false, clNone, 3, 12, 24, false, true, false, false},
        {VK_RIGHT, 3, false, clNone, 3, 12, 16, false, true, false, false},
        {VK_DELETE, 3, false, clNone, 3, 12, 20, false, true, false, true},
        {'A', 3, false, clNone, 3, 12, 20, false, true, false, false},
    };
    Create();
    fake.CapsLock = true;
    const TLumivexGL& v = form.LumivexGL;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.key);
        Settings.NumOfElements = r.startElements;
        form.FormKeyDown(VK_CAPITAL);
        form.LumivexGL.SetMonochrome(r.key == '0' || r.key == VK_NUMPAD0);
        form.LumivexGL.CreateElements();
        form.Ticks = 42;
        fake.ClearLog();
        form.FormKeyDown(r.key);
        EXPECT_EQ(v.Monochrome, r.mono);
        EXPECT_EQ(v.MonoColor, r.color);
        EXPECT_EQ(v.NumOfElements, r.elements);
        EXPECT_EQ(v.NumOfReflections, r.reflections);
        EXPECT_EQ(v.Rest, r.rest);
        EXPECT_EQ(v.Alpha, r.alpha);
        EXPECT_EQ(v.Reflected, r.reflected);
        EXPECT_EQ(v.FullScreen, r.full);
        EXPECT_EQ(Rebuilds(), r.rebuilds ? 1u : 0u);
        EXPECT_TRUE(v.ElementsReady);
        EXPECT_EQ(form.Ticks, 0);
        EXPECT_EQ(fake.CloseRequests, 0);
    }
    form.FormKeyDown(VK_ESCAPE);
    EXPECT_EQ(fake.CloseRequests, 1);
}

TEST_F(CanvasTest, EveryThreeHundredTicksANewPictureUnlessCapsLockIsOn) {
    Create();
    fake.CapsLock = true;
    for (int i = 0; i < 300; ++i)
        form.tmrTickTimer();
    EXPECT_EQ(Randomizations(), 0u);
    form.FormKeyDown(VK_RIGHT); // restarts the count
    fake.CapsLock = false;
    for (int i = 0; i < 299; ++i)
        form.tmrTickTimer();
    EXPECT_EQ(Randomizations(), 0u);
    form.tmrTickTimer();
    EXPECT_EQ(Randomizations(), 1u);
    EXPECT_TRUE(form.LumivexGL.ElementsReady);
}

TEST_F(CanvasTest, MovementsOfFivePixelsCloseSmallerOnesDrift) {
    Create();
    form.FormMouseMove(100, 100); // only recorded
    EXPECT_EQ(fake.ViewCursor, crDefault);
    EXPECT_TRUE(fake.TimerEnabled[TimerHideMouse]);
    fake.ClearLog();
    form.FormMouseMove(101, 100); // the running cursor timer is not restarted
    EXPECT_EQ(fake.CountOf("SetTimerEnabled"), 0u);
    const int steps[][3] = {{4, 4, 0},  {-4, -4, 0}, {4, -4, 0}, {-4, 4, 0}, {5, 0, 1},
                            {-5, 0, 1}, {0, 5, 1},   {0, -5, 1}, {5, 5, 1}};
    for (auto [dx, dy, closes] : steps) {
        form.tmrHideMouseTimer(); // a new cursor period, so the event count plays no part
        form.LastMouseX = form.LastMouseY = -1;
        fake.CloseRequests = 0;
        form.FormMouseMove(100, 100);
        form.FormMouseMove(100 + dx, 100 + dy);
        EXPECT_EQ(fake.CloseRequests, closes) << dx << "," << dy;
        EXPECT_EQ(form.LastMouseX, closes ? -1 : 100 + dx);
        EXPECT_EQ(form.LastMouseY, closes ? -1 : 100 + dy);
    }
}

TEST_F(CanvasTest, TheFourthMovementInOneCursorPeriodCloses) {
    Create();
    fake.CapsLock = true;
    for (int x : {10, 11, 12})
        form.FormMouseMove(x, 10);
    form.tmrHideMouseTimer();
    EXPECT_EQ(fake.ViewCursor, crNone);
    EXPECT_FALSE(fake.TimerEnabled[TimerHideMouse]);
    for (int x : {13, 14, 15})
        form.FormMouseMove(x, 10);
    EXPECT_EQ(fake.CloseRequests, 0);
    form.FormMouseMove(16, 10);
    EXPECT_EQ(fake.CloseRequests, 1);
}

TEST_F(CanvasTest, ARefusedCloseKeepsThePictureTheFocusAndTheHiddenCursor) {
    fake.Version.PlatformId = 1;
    fake.SetRegistryString("Control Panel\\Desktop", "ScreenSaveUsePassword", "1");
    fake.AddLibrary("C:\\WINDOWS\\SYSTEM32\\Password.cpl",
                    {{"VerifyScreenSavePwd", reinterpret_cast<void*>(&Refuse)}});
    Create();
    const TElement* first = form.LumivexGL.Elements.Get(0);
    fake.CapsLock = true;
    form.FormKeyDown(VK_RIGHT);
    form.FormMouseMove(5, 5);
    EXPECT_FALSE(form.FormCloseQuery());
    EXPECT_FALSE(form.CloseAllowed);
    EXPECT_EQ(fake.ViewFocusCount, 1);
    EXPECT_EQ(fake.ViewCursor, crNone);
    EXPECT_EQ(form.LumivexGL.Elements.Get(0), first);
    EXPECT_EQ(Settings.Rest, 20);
    gl.Clear();
    form.IdleFrame();
    EXPECT_GT(gl.Count("glVertex2f"), 0u);
}

TEST_F(CanvasTest, AnAllowedCloseSavesOnlyInInteractiveModeAndEndsTheFrames) {
    Create();
    fake.MillisecondsOfDay = 758000; // randomizes to 8 reflections
    form.FormKeyDown(VK_BACK);
    EXPECT_TRUE(form.FormCloseQuery());
    EXPECT_EQ(Settings.NumOfReflections, 12);
    fake.CapsLock = true;
    form.FormKeyDown(VK_RIGHT);
    EXPECT_TRUE(form.FormCloseQuery());
    EXPECT_TRUE(form.CloseAllowed);
    EXPECT_EQ(Settings.NumOfReflections, 8);
    EXPECT_EQ(Settings.Rest, 16);
    fake.ClearLog();
    gl.Clear();
    form.IdleFrame();
    EXPECT_TRUE(gl.Empty());
    form.OnClose();
    EXPECT_EQ(fake.Log,
              (Log{"SetIdleHandler(0)", "SetWindowBounds(0,0,0,0)", "DeactivateGLContext()",
                   "DeleteGLContext(108)", "ReleaseViewDeviceContext(220)"}));
}

TEST_F(CanvasTest, AnEndingSessionClosesWithoutAskingAndKeepsWhatAnAllowedCloseKeeps) {
    // Password.cpl refuses every close: a logout must not wait for it.
    fake.Version.PlatformId = 1;
    fake.SetRegistryString("Control Panel\\Desktop", "ScreenSaveUsePassword", "1");
    fake.AddLibrary("C:\\WINDOWS\\SYSTEM32\\Password.cpl",
                    {{"VerifyScreenSavePwd", reinterpret_cast<void*>(&Refuse)}});
    fake.CloseWhenIdle = false;
    fake.OnRunModal = [](FakePlatform& f) {
        f.CapsLock = true;
        for (std::uint16_t key : Keys{VK_CAPITAL, 'W', 'T', VK_ADD})
            f.PostKeyDown(key);
        f.PostCall([&f] { f.SessionEnding = true; });
        f.PostKeyDown(VK_SUBTRACT); // never handled: the session ended first
    };
    RunSaverWindow();
    EXPECT_TRUE(Settings.FullScreen && Settings.Alpha);
    EXPECT_EQ(Settings.NumOfElements, 4);
    EXPECT_EQ(fake.CountOf("LoadLibrary"), 0u) << "the password was asked for";
    EXPECT_EQ(fake.CountOf("DeleteGLContext"), 1u);

    // Outside interactive mode the settings stay as they were, as after any close.
    SetDefaultSettings();
    fake.SessionEnding = false;
    fake.OnRunModal = [](FakePlatform& f) {
        f.CapsLock = false;
        f.PostKeyDown(VK_BACK);
        f.PostCall([&f] { f.SessionEnding = true; });
    };
    RunSaverWindow();
    EXPECT_EQ(Settings.NumOfReflections, 12);
    EXPECT_EQ(Settings.NumOfElements, 3);
}

TEST_F(CanvasTest, RunSaverWindowReleasesTheWindowHoweverTheRunEnds) {
    fake.CloseWhenIdle = false;
    fake.MaxIdlePasses = 1000;
    fake.OnRunModal = [](FakePlatform& f) { f.PostKeyDown('Q'); };
    RunSaverWindow();
    const Log milestones = {"CreateSaverWindow()",  "CreateGLContext(220,32,0,0,0,0)",
                            "SetIdleHandler(1)",    "RunModal()",
                            "DeleteGLContext(108)", "RunModal:end",
                            "DestroySaverWindow()"};
    std::size_t next = 0;
    for (const std::string& entry : fake.Log)
        if (next < milestones.size() && entry == milestones[next])
            ++next;
    EXPECT_EQ(next, milestones.size());

    fake.ClearLog();
    fake.OnRunModal = [](FakePlatform&) { throw std::runtime_error("loop failed"); };
    EXPECT_THROW(RunSaverWindow(), std::runtime_error);
    EXPECT_EQ(fake.Log.back(), "DestroySaverWindow()");

    fake.ClearLog();
    fake.CreateContextFails = true;
    EXPECT_THROW(RunSaverWindow(), EWin32Error);
    EXPECT_EQ(fake.Log.back(), "DestroySaverWindow()");
    EXPECT_EQ(fake.CountOf("RunModal"), 0u);
}

TEST_F(CanvasTest, TheFrameRateIsReportedOnRequest) {
    // Three idle passes of Rest 20 on a clock that sleeps advance: 60 ms in all.
    const auto report = [](bool requested) {
#ifdef _WIN32
        _putenv(requested ? "LUMIVEX_FPS=1" : "LUMIVEX_FPS=");
#else
        requested ? setenv("LUMIVEX_FPS", "1", 1) : unsetenv("LUMIVEX_FPS");
#endif
        ::testing::internal::CaptureStderr();
        RunSaverWindow();
        return ::testing::internal::GetCapturedStderr();
    };
    EXPECT_EQ(report(true), "lumivex-gl: 3 frames in 0.06 s (50.0 fps)\n");
    EXPECT_EQ(report(false), "");
    // Where pictures are shown at the display's pace, how many too.
    fake.PicturesShownCount = 2;
    EXPECT_EQ(report(true), "lumivex-gl: 3 frames in 0.06 s (50.0 fps), 2 shown (33.3 shown/s)\n");
}

} // namespace
} // namespace lumivex
