// The saver window's handlers and RunSaverWindow, driven through the fake platform.
#include "shell/fmCanvas.h"

#include "support/FakePlatform.h"
#include "support/RecordingGL.h"
#include "system/unGlobals.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

// Counts allocations while a test asks for it, to show that a frame makes none.
namespace {
bool countAllocations = false;
long allocations = 0;
} // namespace

void* operator new(std::size_t size) {
    if (countAllocations)
        ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace lumivex {
namespace {

using testing::RecordingGL;

constexpr std::uint16_t Key(char c) {
    return static_cast<std::uint16_t>(c);
}

// Password.cpl's answer for the 95/98/ME path of the close check.
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

    // The window as RunSaverWindow leaves it when the modal loop starts.
    void Create() {
        form.Handle = fake.CreateSaverWindow(&form);
        form.ApplyDesignProperties();
        form.LumivexGL.InitRendering();
        form.FormCreate();
        fake.ClearLog();
        gl.Clear();
    }

    void RefuseCloses() {
        fake.Version.PlatformId = 1;
        fake.SetRegistryString("Control Panel\\Desktop", "ScreenSaveUsePassword", "1");
        fake.AddLibrary("C:\\WINDOWS\\SYSTEM32\\Password.cpl",
                        {{"VerifyScreenSavePwd", reinterpret_cast<void*>(&Refuse)}});
    }

    // A rebuilt picture always invalidates the view once more.
    std::size_t Rebuilds() const { return fake.CountOf("InvalidateView"); }
    std::size_t Randomizations() const { return fake.CountOf("MillisecondsSinceMidnightUTC"); }

    void ExpectViewHoldsSettings() {
        const TLumivexGL& v = form.LumivexGL;
        EXPECT_EQ(v.Alpha, Settings.Alpha);
        EXPECT_EQ(v.FullScreen, Settings.FullScreen);
        EXPECT_EQ(v.Monochrome, Settings.Monochrome);
        EXPECT_EQ(v.MonoColor, Settings.MonoColor);
        EXPECT_EQ(v.NumOfElements, Settings.NumOfElements);
        EXPECT_EQ(v.NumOfReflections, Settings.NumOfReflections);
        EXPECT_EQ(v.Reflected, Settings.Reflected);
        EXPECT_EQ(v.Rest, Settings.Rest);
    }

    FakePlatform fake;
    RecordingGL gl;
    TfrmCanvas form;
};

// --- creation and the frame ----------------------------------------------------------------

TEST_F(CanvasTest, FormCreateCoversTheScreenCopiesTheSettingsAndStartsTheAnimation) {
    Settings.Alpha = true;
    Settings.Background = 0x00112233;
    Settings.FullScreen = true;
    Settings.MonoColor = 0x0000CC00;
    Settings.NumOfElements = 7;
    Settings.NumOfReflections = 24;
    Settings.Reflected = false;
    Settings.Rest = 7;
    form.Handle = fake.CreateSaverWindow(&form);
    form.ApplyDesignProperties();
    EXPECT_EQ(fake.ViewCursor, crNone);
    EXPECT_FALSE(fake.TimerEnabled[TimerHideMouse]);
    EXPECT_TRUE(fake.TimerEnabled[TimerTick]);
    form.LumivexGL.InitRendering();
    fake.ClearLog();
    form.FormCreate();
    EXPECT_EQ(fake.Log, (std::vector<std::string>{"HideApplicationWindow()", "GetScreenSize()",
                                                  "SetWindowBounds(0,0,1024,768)",
                                                  "SetWindowColor(1122867)", "InvalidateView()",
                                                  "InvalidateView()", "SetIdleHandler(1)"}));
    ExpectViewHoldsSettings();
    EXPECT_EQ(form.LumivexGL.BackColor, 0x00112233u);
    EXPECT_TRUE(form.LumivexGL.ElementsReady);
    EXPECT_EQ(form.LumivexGL.Elements.Count(), 7);
    EXPECT_FALSE(form.CloseAllowed);
    EXPECT_EQ(form.LastMouseX, -1);
    EXPECT_EQ(form.RegeneratePeriod, 300);
}

TEST_F(CanvasTest, AnIdlePassMovesDrawsAndThenRests) {
    Create();
    form.IdleFrame();
    EXPECT_GT(gl.Count("glVertex2f"), 0u);
    EXPECT_EQ(gl.Count("glFlush"), 3u); // one per element
    EXPECT_EQ(fake.CountOf("Sleep(5)"), 4u);
    EXPECT_EQ(form.FramesDrawn, 1u);
}

TEST_F(CanvasTest, AFrameWithoutRestAllocatesNothing) {
    Settings.Rest = 0;
    Settings.FullScreen = true;
    Settings.NumOfElements = 10;
    Create();
    const GLEntryPoints recording = testing::BindSilentGL();
    form.IdleFrame(); // the first pass may warm anything up
    allocations = 0;
    countAllocations = true;
    for (int i = 0; i < 20; ++i)
        form.IdleFrame();
    countAllocations = false;
    GL = recording;
    EXPECT_EQ(allocations, 0);
    EXPECT_TRUE(fake.Log.empty());
}

TEST_F(CanvasTest, NothingIsDrawnOnceTheCloseIsAllowed) {
    Create();
    form.CloseAllowed = true;
    form.IdleFrame();
    EXPECT_TRUE(gl.Empty());
    EXPECT_TRUE(fake.Log.empty());
}

// --- keys ----------------------------------------------------------------------------------

TEST_F(CanvasTest, CapsLockOnBringsBackTheSavedSettings) {
    Settings.Monochrome = true;
    Settings.MonoColor = 0x00FF0000;
    Create();
    fake.MillisecondsOfDay = 32513000; // randomizes to 1 element, 12 reflections, alpha
    form.FormKeyDown(VK_BACK);
    const float angle = form.LumivexGL.BaseAngle;
    form.LumivexGL.SetBackColor(0x00404040);
    fake.ClearLog();
    fake.CapsLock = true;
    form.FormKeyDown(VK_CAPITAL);
    ExpectViewHoldsSettings();
    EXPECT_EQ(form.LumivexGL.BaseAngle, angle);
    EXPECT_EQ(form.LumivexGL.BackColor, 0x00404040u);
    EXPECT_EQ(Rebuilds(), 1u);
    EXPECT_EQ(fake.CloseRequests, 0);
}

TEST_F(CanvasTest, CapsLockOffSavesTheEditedPicture) {
    Create();
    fake.CapsLock = true;
    form.FormKeyDown(VK_CAPITAL);
    form.FormKeyDown(Key('T'));
    form.FormKeyDown(Key('W'));
    form.FormKeyDown(VK_UP);
    form.FormKeyDown(VK_LEFT);
    form.FormKeyDown(VK_NUMPAD0 + 8);
    form.FormKeyDown(VK_SUBTRACT);
    fake.CapsLock = false;
    fake.ClearLog();
    form.FormKeyDown(VK_CAPITAL);
    EXPECT_TRUE(Settings.Alpha);
    EXPECT_TRUE(Settings.FullScreen);
    EXPECT_EQ(Settings.NumOfReflections, 18);
    EXPECT_EQ(Settings.Rest, 24);
    EXPECT_TRUE(Settings.Monochrome);
    EXPECT_EQ(Settings.MonoColor, 0x00CC33CCu);
    EXPECT_EQ(Settings.NumOfElements, 2);
    EXPECT_EQ(Rebuilds(), 0u);
    EXPECT_EQ(fake.CloseRequests, 0);
}

TEST_F(CanvasTest, AltAndCapsLockNeverClose) {
    Create();
    form.FormKeyDown(VK_MENU);
    form.FormKeyDown(VK_CAPITAL);
    fake.CapsLock = true;
    form.FormKeyDown(VK_MENU);
    EXPECT_EQ(fake.CloseRequests, 0);
}

TEST_F(CanvasTest, BackspaceShowsANewRandomPictureInEitherMode) {
    Create();
    for (bool caps : {false, true}) {
        fake.CapsLock = caps;
        form.Ticks = 7;
        fake.ClearLog();
        form.FormKeyDown(VK_BACK);
        EXPECT_EQ(Randomizations(), 1u);
        EXPECT_TRUE(form.LumivexGL.ElementsReady);
        EXPECT_EQ(form.Ticks, 7);
        EXPECT_EQ(fake.CloseRequests, 0);
    }
}

TEST_F(CanvasTest, EscapeClosesInEitherModeAndOtherKeysOnlyWithoutCapsLock) {
    Create();
    form.FormKeyDown(VK_ESCAPE);
    EXPECT_EQ(fake.CloseRequests, 2); // the platform runs one close query for both
    for (std::uint16_t key : {Key('T'), Key('A'), std::uint16_t(VK_UP), std::uint16_t(VK_ADD)}) {
        fake.CloseRequests = 0;
        form.FormKeyDown(key);
        EXPECT_EQ(fake.CloseRequests, 1) << key;
    }
    fake.CapsLock = true;
    form.Ticks = 9;
    fake.CloseRequests = 0;
    form.FormKeyDown(VK_ESCAPE);
    EXPECT_EQ(fake.CloseRequests, 1);
    EXPECT_EQ(form.Ticks, 0);
    fake.CloseRequests = 0;
    form.FormKeyDown(Key('A'));
    EXPECT_EQ(fake.CloseRequests, 0);
}

struct InteractiveKey {
    const char* Name;
    std::uint16_t Key;
    void (*Before)(TLumivexGL&);
    void (*Expect)(const TLumivexGL&);
    bool Rebuilds;
};

void Nothing(TLumivexGL&) {}

const InteractiveKey InteractiveKeys[] = {
    {"0 turns monochrome off", '0', [](TLumivexGL& v) { v.SetMonochrome(true); },
     [](const TLumivexGL& v) {
         EXPECT_FALSE(v.Monochrome);
         EXPECT_EQ(v.MonoColor, 0x1FFFFFFFu);
     },
     true},
    {"3 picks yellow", '3', Nothing,
     [](const TLumivexGL& v) {
         EXPECT_TRUE(v.Monochrome);
         EXPECT_EQ(v.MonoColor, 0x0033FFFFu);
     },
     true},
    {"keypad 6 picks blue", VK_NUMPAD0 + 6, Nothing,
     [](const TLumivexGL& v) {
         EXPECT_TRUE(v.Monochrome);
         EXPECT_EQ(v.MonoColor, 0x00FF0000u);
     },
     true},
    {"keypad 0 turns monochrome off", VK_NUMPAD0, [](TLumivexGL& v) { v.SetMonochrome(true); },
     [](const TLumivexGL& v) { EXPECT_FALSE(v.Monochrome); }, true},
    {"plus adds an element", VK_ADD, Nothing,
     [](const TLumivexGL& v) { EXPECT_EQ(v.NumOfElements, 4); }, true},
    {"plus stops at 5", VK_ADD, [](TLumivexGL& v) { v.SetNumOfElements(5); },
     [](const TLumivexGL& v) { EXPECT_EQ(v.NumOfElements, 5); }, false},
    {"plus cannot raise 8", VK_ADD, [](TLumivexGL& v) { v.SetNumOfElements(8); },
     [](const TLumivexGL& v) { EXPECT_EQ(v.NumOfElements, 8); }, false},
    {"minus removes an element", VK_SUBTRACT, Nothing,
     [](const TLumivexGL& v) { EXPECT_EQ(v.NumOfElements, 2); }, true},
    {"minus stops at 1", VK_SUBTRACT, [](TLumivexGL& v) { v.SetNumOfElements(1); },
     [](const TLumivexGL& v) { EXPECT_EQ(v.NumOfElements, 1); }, false},
    {"minus lowers 8", VK_SUBTRACT, [](TLumivexGL& v) { v.SetNumOfElements(8); },
     [](const TLumivexGL& v) { EXPECT_EQ(v.NumOfElements, 7); }, true},
    {"T toggles translucency", 'T', Nothing, [](const TLumivexGL& v) { EXPECT_TRUE(v.Alpha); },
     true},
    {"V toggles mirroring", 'V', Nothing, [](const TLumivexGL& v) { EXPECT_FALSE(v.Reflected); },
     true},
    {"W toggles tiling", 'W', Nothing, [](const TLumivexGL& v) { EXPECT_TRUE(v.FullScreen); },
     true},
    {"up adds reflections", VK_UP, Nothing,
     [](const TLumivexGL& v) { EXPECT_EQ(v.NumOfReflections, 18); }, true},
    {"down removes reflections", VK_DOWN, Nothing,
     [](const TLumivexGL& v) { EXPECT_EQ(v.NumOfReflections, 10); }, true},
    {"left slows down", VK_LEFT, Nothing, [](const TLumivexGL& v) { EXPECT_EQ(v.Rest, 24); },
     false},
    {"right speeds up", VK_RIGHT, Nothing, [](const TLumivexGL& v) { EXPECT_EQ(v.Rest, 16); },
     false},
    {"delete makes a new picture", VK_DELETE, Nothing,
     [](const TLumivexGL& v) {
         EXPECT_EQ(v.NumOfElements, 3);
         EXPECT_EQ(v.NumOfReflections, 12);
     },
     true},
    {"an unknown key does nothing", 'A', Nothing,
     [](const TLumivexGL& v) { EXPECT_EQ(v.NumOfElements, 3); }, false},
};

TEST_F(CanvasTest, EveryInteractiveKeyEditsThePictureAndRestartsTheCount) {
    Create();
    fake.CapsLock = true;
    for (const InteractiveKey& k : InteractiveKeys) {
        SCOPED_TRACE(k.Name);
        // Each key starts from the defaults: 3 elements, 12 reflections, Rest 20.
        form.FormKeyDown(VK_CAPITAL);
        k.Before(form.LumivexGL);
        form.LumivexGL.CreateElements();
        form.Ticks = 42;
        fake.ClearLog();
        form.FormKeyDown(k.Key);
        k.Expect(form.LumivexGL);
        EXPECT_EQ(Rebuilds(), k.Rebuilds ? 1u : 0u);
        EXPECT_TRUE(form.LumivexGL.ElementsReady);
        EXPECT_EQ(form.Ticks, 0);
        EXPECT_EQ(fake.CloseRequests, 0);
    }
}

// --- timers --------------------------------------------------------------------------------

TEST_F(CanvasTest, EveryThreeHundredTicksAFreshRandomPicture) {
    Create();
    for (int i = 0; i < 299; ++i)
        form.tmrTickTimer();
    EXPECT_EQ(Randomizations(), 0u);
    form.tmrTickTimer();
    EXPECT_EQ(Randomizations(), 1u);
    EXPECT_EQ(Rebuilds(), 2u); // the new settings and the new elements
    EXPECT_TRUE(form.LumivexGL.ElementsReady);
}

TEST_F(CanvasTest, CapsLockHoldsThePictureAndKeysRestartTheCount) {
    Create();
    fake.CapsLock = true;
    for (int i = 0; i < 300; ++i)
        form.tmrTickTimer();
    EXPECT_EQ(Randomizations(), 0u);
    EXPECT_EQ(form.Ticks, 300);
    form.FormKeyDown(VK_RIGHT); // Ticks back to 0
    fake.CapsLock = false;
    for (int i = 0; i < 299; ++i)
        form.tmrTickTimer();
    EXPECT_EQ(Randomizations(), 0u);
    form.tmrTickTimer();
    EXPECT_EQ(Randomizations(), 1u);
}

// --- mouse ---------------------------------------------------------------------------------

TEST_F(CanvasTest, TheFirstMovementOnlyRecordsAndShowsTheCursor) {
    Create();
    form.FormMouseMove(100, 200);
    EXPECT_EQ(fake.CloseRequests, 0);
    EXPECT_EQ(form.LastMouseX, 100);
    EXPECT_EQ(form.LastMouseY, 200);
    EXPECT_EQ(fake.ViewCursor, crDefault);
    EXPECT_TRUE(fake.TimerEnabled[TimerHideMouse]);
    // A running cursor timer is left alone so the period counts from the first movement.
    fake.ClearLog();
    form.FormMouseMove(101, 200);
    EXPECT_EQ(fake.CountOf("SetTimerEnabled"), 0u);
}

TEST_F(CanvasTest, FourPixelsDriftFivePixelsClose) {
    Create();
    struct Step {
        int dx, dy;
        bool closes;
    };
    const Step steps[] = {{4, 4, false}, {-4, -4, false}, {4, -4, false}, {-4, 4, false},
                          {0, 0, false}, {5, 0, true},    {-5, 0, true},  {0, 5, true},
                          {0, -5, true}, {5, 5, true}};
    for (const Step& step : steps) {
        form.tmrHideMouseTimer(); // a new cursor period, so the event count is no factor
        form.LastMouseX = -1;
        form.LastMouseY = -1;
        fake.CloseRequests = 0;
        form.FormMouseMove(100, 100);
        form.FormMouseMove(100 + step.dx, 100 + step.dy);
        EXPECT_EQ(fake.CloseRequests, step.closes ? 1 : 0) << step.dx << "," << step.dy;
        if (step.closes) {
            EXPECT_EQ(form.LastMouseX, -1);
            EXPECT_EQ(form.LastMouseY, -1);
        } else {
            // A slow drift carries the reference along.
            EXPECT_EQ(form.LastMouseX, 100 + step.dx);
            EXPECT_EQ(form.LastMouseY, 100 + step.dy);
        }
    }
}

TEST_F(CanvasTest, TheFourthMovementInOneCursorPeriodCloses) {
    Create();
    form.FormMouseMove(10, 10);
    form.FormMouseMove(11, 10);
    form.FormMouseMove(12, 10);
    EXPECT_EQ(fake.CloseRequests, 0);
    form.tmrHideMouseTimer();
    EXPECT_EQ(fake.ViewCursor, crNone);
    EXPECT_FALSE(fake.TimerEnabled[TimerHideMouse]);
    form.FormMouseMove(13, 10);
    form.FormMouseMove(14, 10);
    form.FormMouseMove(15, 10);
    EXPECT_EQ(fake.CloseRequests, 0);
    form.FormMouseMove(16, 10);
    EXPECT_EQ(fake.CloseRequests, 1);
}

TEST_F(CanvasTest, AClickCloses) {
    Create();
    fake.CapsLock = true;
    form.FormMouseDown();
    EXPECT_EQ(fake.CloseRequests, 1);
}

// --- closing -------------------------------------------------------------------------------

TEST_F(CanvasTest, ARefusedCloseKeepsThePictureTheFocusAndTheHiddenCursor) {
    RefuseCloses();
    Create();
    const TElement* first = form.LumivexGL.Elements.Get(0);
    const auto saved = Settings;
    fake.CapsLock = true;
    form.FormMouseMove(5, 5);
    EXPECT_FALSE(form.FormCloseQuery());
    EXPECT_FALSE(form.CloseAllowed);
    EXPECT_EQ(fake.ViewFocusCount, 1);
    EXPECT_EQ(fake.ViewCursor, crNone);
    EXPECT_EQ(form.LumivexGL.Elements.Get(0), first);
    EXPECT_TRUE(form.LumivexGL.ContextReady);
    EXPECT_EQ(Settings.Rest, saved.Rest);
    gl.Clear();
    form.IdleFrame();
    EXPECT_GT(gl.Count("glVertex2f"), 0u);
}

TEST_F(CanvasTest, AnAllowedCloseInInteractiveModeSavesTheView) {
    Create();
    fake.CapsLock = true;
    form.FormKeyDown(VK_UP);
    form.FormKeyDown(VK_RIGHT);
    EXPECT_TRUE(form.FormCloseQuery());
    EXPECT_TRUE(form.CloseAllowed);
    EXPECT_EQ(Settings.NumOfReflections, 18);
    EXPECT_EQ(Settings.Rest, 16);
}

TEST_F(CanvasTest, AnAllowedCloseInNormalModeLeavesTheSettings) {
    Create();
    fake.MillisecondsOfDay = 758000;
    form.FormKeyDown(VK_BACK);
    EXPECT_TRUE(form.FormCloseQuery());
    EXPECT_EQ(Settings.NumOfReflections, 12);
    EXPECT_FALSE(Settings.Alpha);
}

TEST_F(CanvasTest, TheCloseEventDetachesTheFrameAndThenReleasesTheContext) {
    Create();
    form.OnClose();
    EXPECT_EQ(fake.Log, (std::vector<std::string>{"SetIdleHandler(0)", "SetWindowBounds(0,0,0,0)",
                                                  "DeactivateGLContext()", "DeleteGLContext(108)",
                                                  "ReleaseViewDeviceContext(220)"}));
}

// --- the whole run -------------------------------------------------------------------------

TEST_F(CanvasTest, RunSaverWindowShowsTheWindowModallyAndReleasesIt) {
    RunSaverWindow();
    const std::vector<std::string> milestones = {
        "CreateSaverWindow()",  "CreateGLContext(220,32,0,0,0,0)",
        "SetIdleHandler(1)",    "RunModal()",
        "DeleteGLContext(108)", "RunModal:end",
        "DestroySaverWindow()"};
    std::size_t next = 0;
    for (const std::string& entry : fake.Log)
        if (next < milestones.size() && entry == milestones[next])
            ++next;
    EXPECT_EQ(next, milestones.size()) << "missing " << milestones[next];
    EXPECT_EQ(fake.Events, nullptr);
}

TEST_F(CanvasTest, AKeyPressedWhileTheSaverRunsEndsIt) {
    fake.CloseWhenIdle = false;
    fake.MaxIdlePasses = 1000;
    fake.OnRunModal = [](FakePlatform& f) { f.PostKeyDown(Key('Q')); };
    RunSaverWindow();
    EXPECT_EQ(fake.CountOf("RunModal:end"), 1u);
    EXPECT_EQ(fake.CountOf("DeleteGLContext"), 1u);
}

TEST_F(CanvasTest, TheWindowIsReleasedWhenTheLoopFails) {
    fake.OnRunModal = [](FakePlatform&) { throw std::runtime_error("loop failed"); };
    EXPECT_THROW(RunSaverWindow(), std::runtime_error);
    EXPECT_EQ(fake.Log.back(), "DestroySaverWindow()");
}

TEST_F(CanvasTest, AContextFailureEndsTheRunAfterReleasingTheWindow) {
    fake.CreateContextFails = true;
    fake.LastError = 5;
    EXPECT_THROW(RunSaverWindow(), EWin32Error);
    EXPECT_EQ(fake.Log.back(), "DestroySaverWindow()");
    EXPECT_EQ(fake.CountOf("RunModal"), 0u);
}

TEST_F(CanvasTest, TheFrameRateIsReportedOnRequest) {
    // Three idle passes of Rest 20 on a clock that sleeps advance: 60 ms in all.
    ::setenv("LUMIVEX_FPS", "1", 1);
    ::testing::internal::CaptureStderr();
    RunSaverWindow();
    const std::string report = ::testing::internal::GetCapturedStderr();
    ::unsetenv("LUMIVEX_FPS");
    EXPECT_EQ(report, "lumivex-gl: 3 frames in 0.06 s (50.0 fps)\n");

    ::testing::internal::CaptureStderr();
    RunSaverWindow();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

} // namespace
} // namespace lumivex
