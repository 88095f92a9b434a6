// The kaleidoscope view against the fake platform and the recording GL table.
#include "view/LumivexGL_.h"

#include "support/FakePlatform.h"
#include "support/RecordingGL.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace lumivex {
namespace {

using testing::GLCall;
using testing::RecordingGL;

// Records the order in which the view moves and draws its elements.
class TracingElement : public TElement {
  public:
    TracingElement(std::vector<std::string>& trace, std::string name)
        : trace_(trace), name_(std::move(name)) {}
    void Move() override { trace_.push_back("Move " + name_); }
    void Draw() override { trace_.push_back("Draw " + name_); }

  private:
    std::vector<std::string>& trace_;
    std::string name_;
};

class ViewTest : public ::testing::Test {
  protected:
    ViewTest() { SetPlatform(&fake); }
    ~ViewTest() override { SetPlatform(nullptr); }

    void StartRendering() {
        view.InitRendering();
        gl.Clear();
        fake.ClearLog();
    }

    // Two tracing elements in place of a random set, as CreateElements would leave them.
    void UseTracingElements() {
        view.Elements.Clear();
        view.Elements.Add(new TracingElement(trace, "A"));
        view.Elements.Add(new TracingElement(trace, "B"));
        view.ElementsReady = true;
    }

    FakePlatform fake;
    RecordingGL gl;
    TLumivexGL view;
    std::vector<std::string> trace;
};

// 180/pi to 60 digits, and 180/pi * 4/3, each rounded once to double (Python: float(Decimal)).
constexpr double K = 57.29577951308232;
constexpr double KFourThirds = 76.39437268410975;

std::vector<GLCall> ProjectionStream(double left, double right, double bottom, double top, int w,
                                     int h) {
    return {{"glViewport", {0, 0, double(w), double(h)}},
            {"glMatrixMode", {0x1701}},
            {"glLoadIdentity", {}},
            {"glOrtho", {left, right, bottom, top, -1, 1}},
            {"glMatrixMode", {0x1700}},
            {"glLoadIdentity", {}}};
}

void ExpectStream(const std::vector<GLCall>& actual, const std::vector<GLCall>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(actual[i].Name, expected[i].Name) << "call " << i;
        EXPECT_EQ(actual[i].Args, expected[i].Args) << "call " << i << " " << expected[i].Name;
    }
}

// --- construction, context and projection -------------------------------------------------

TEST_F(ViewTest, ConstructionLeavesNoContextAndTheDocumentedDefaults) {
    EXPECT_FALSE(view.ContextReady);
    EXPECT_FALSE(view.ElementsReady);
    EXPECT_EQ(view.Elements.Count(), 0);
    EXPECT_EQ(view.BackColor, 0u);
    EXPECT_EQ(view.MonoColor, 0x1FFFFFFFu);
    EXPECT_EQ(view.NumOfElements, 3);
    EXPECT_EQ(view.NumOfReflections, 12);
    EXPECT_TRUE(view.Reflected);
    EXPECT_EQ(view.Rest, 20);
    EXPECT_FALSE(view.FullScreen);
    EXPECT_TRUE(fake.Log.empty());
}

TEST_F(ViewTest, InitRenderingMakesASingleBufferedContextAndSetsTheProjection) {
    view.InitRendering();
    EXPECT_EQ(fake.Log,
              (std::vector<std::string>{"GetViewDeviceContext()", "CreateGLContext(220,32,0,0,0,0)",
                                        "ActivateGLContext(220,108)", "GetViewSize()"}));
    EXPECT_TRUE(view.ContextReady);
    ExpectStream(gl.Calls(), ProjectionStream(-KFourThirds, KFourThirds, -K, K, 1024, 768));
}

TEST_F(ViewTest, ANonPositiveContextLeavesTheViewPaintingWithoutGL) {
    fake.NextContext = 0;
    view.InitRendering();
    EXPECT_FALSE(view.ContextReady);
    EXPECT_TRUE(gl.Empty());
    view.PaintSurface();
    EXPECT_TRUE(gl.Empty());
    EXPECT_EQ(fake.Calls("FillViewRect"), std::vector<std::string>{"FillViewRect(0,120,120)"});
}

TEST_F(ViewTest, AFailedContextPassesTheErrorOut) {
    fake.CreateContextFails = true;
    fake.LastError = 2;
    EXPECT_THROW(view.InitRendering(), EWin32Error);
    EXPECT_FALSE(view.ContextReady);
}

TEST_F(ViewTest, ProjectionKeepsEqualUnitsWithTheShorterSideSpanningTwoK) {
    StartRendering();
    view.SetupProjection(1024, 768);
    ExpectStream(gl.Calls(), ProjectionStream(-KFourThirds, KFourThirds, -K, K, 1024, 768));
    gl.Clear();
    view.SetupProjection(768, 1024);
    ExpectStream(gl.Calls(), ProjectionStream(-K, K, -KFourThirds, KFourThirds, 768, 1024));
    gl.Clear();
    view.SetupProjection(500, 500);
    ExpectStream(gl.Calls(), ProjectionStream(-K, K, -K, K, 500, 500));
}

TEST_F(ViewTest, AZeroSideSetsTheViewportAndLeavesTheIdentity) {
    StartRendering();
    view.SetupProjection(0, 768);
    view.SetupProjection(1024, 0);
    const std::vector<std::string> once = {"glViewport", "glMatrixMode", "glLoadIdentity",
                                           "glMatrixMode", "glLoadIdentity"};
    std::vector<std::string> twice = once;
    twice.insert(twice.end(), once.begin(), once.end());
    EXPECT_EQ(gl.Names(), twice);
}

TEST_F(ViewTest, ProjectionAndResizeNeedAContext) {
    view.SetupProjection(1024, 768);
    view.HandleResize(800, 600);
    EXPECT_TRUE(gl.Empty());
    EXPECT_EQ(view.Width, 800);
    EXPECT_EQ(view.Height, 600);
}

TEST_F(ViewTest, PaintClearsToTheBackgroundBytesAndFlushes) {
    StartRendering();
    view.BackColor = 0x00336699; // red 0x99 = 153 -> 0.6, green 0x66 -> 0.4, blue 0x33 -> 0.2
    view.PaintSurface();
    ExpectStream(
        gl.Calls(),
        {{"glClearColor", {0.6f, 0.4f, 0.2f, 1.0f}}, {"glClear", {0x4100}}, {"glFlush", {}}});
    EXPECT_EQ(fake.CountOf("FillViewRect"), 0u);
}

TEST_F(ViewTest, ClosingRunsTheOwnersHandlerFirstThenReleasesTheContext) {
    std::vector<std::string> order;
    TLumivexGL owned([&] { order.push_back("owner " + std::to_string(fake.CountOf("Deact"))); });
    owned.InitRendering();
    fake.ClearLog();
    owned.HandleOwnerClose();
    EXPECT_EQ(order, std::vector<std::string>{"owner 0"});
    EXPECT_EQ(fake.Log, (std::vector<std::string>{"DeactivateGLContext()", "DeleteGLContext(108)",
                                                  "ReleaseViewDeviceContext(220)"}));
    EXPECT_FALSE(owned.ContextReady);
    // The handles stay; only ContextReady says the context is gone.
    EXPECT_EQ(owned.RenderContext, 108);
}

TEST_F(ViewTest, ClosingWithoutAContextReleasesOnlyTheDeviceContext) {
    fake.NextContext = 0;
    view.InitRendering();
    fake.ClearLog();
    view.HandleOwnerClose();
    EXPECT_EQ(fake.Log, std::vector<std::string>{"ReleaseViewDeviceContext(220)"});
}

// --- setters and ElementsReady -------------------------------------------------------------

TEST_F(ViewTest, SettingTheCurrentValueChangesNothing) {
    StartRendering();
    view.CreateElements();
    fake.ClearLog();
    view.SetBackColor(view.BackColor);
    view.SetNumOfElements(view.NumOfElements);
    view.SetAlpha(view.Alpha);
    view.SetBaseAngle(view.BaseAngle);
    view.SetFullScreen(view.FullScreen);
    view.SetMonochrome(view.Monochrome);
    view.SetMonoColor(view.MonoColor);
    view.SetNumOfReflections(view.NumOfReflections);
    view.SetReflected(view.Reflected);
    view.SetRest(view.Rest);
    EXPECT_TRUE(view.ElementsReady);
    EXPECT_TRUE(fake.Log.empty());
}

TEST_F(ViewTest, EveryElementSettingMarksTheSetOutOfDateWithoutInvalidating) {
    StartRendering();
    const std::vector<void (*)(TLumivexGL&)> changes = {
        [](TLumivexGL& v) { v.SetNumOfElements(4); },
        [](TLumivexGL& v) { v.SetAlpha(true); },
        [](TLumivexGL& v) { v.SetBaseAngle(15.0f); },
        [](TLumivexGL& v) { v.SetFullScreen(true); },
        [](TLumivexGL& v) { v.SetMonochrome(true); },
        [](TLumivexGL& v) { v.SetMonoColor(0x0000CC00); },
        [](TLumivexGL& v) { v.SetNumOfReflections(24); },
        [](TLumivexGL& v) { v.SetReflected(false); },
    };
    for (std::size_t i = 0; i < changes.size(); ++i) {
        view.CreateElements();
        fake.ClearLog();
        changes[i](view);
        EXPECT_FALSE(view.ElementsReady) << "change " << i;
        EXPECT_TRUE(fake.Log.empty()) << "change " << i;
    }
}

TEST_F(ViewTest, ANewBackgroundInvalidatesAndKeepsTheElements) {
    StartRendering();
    view.CreateElements();
    const TElement* first = view.Elements.Get(0);
    fake.ClearLog();
    view.SetBackColor(0x00FF0000);
    EXPECT_EQ(fake.Log, std::vector<std::string>{"InvalidateView()"});
    EXPECT_TRUE(view.ElementsReady);
    EXPECT_EQ(view.Elements.Get(0), first);
    view.SetRest(500);
    EXPECT_TRUE(view.ElementsReady);
    EXPECT_EQ(fake.CountOf("InvalidateView"), 1u);
}

TEST_F(ViewTest, AnOutOfDateSetFreezesUntilRebuilt) {
    StartRendering();
    UseTracingElements();
    view.SetNumOfReflections(24);
    view.MoveElements();
    view.DrawElements();
    view.PrepareElements();
    EXPECT_TRUE(trace.empty());
    EXPECT_TRUE(gl.Empty());
    EXPECT_EQ(fake.CountOf("InvalidateView"), 0u);
    view.CreateElements();
    EXPECT_TRUE(view.ElementsReady);
    EXPECT_EQ(view.Elements.Get(0)->NumOfReflections, 24);
}

TEST_F(ViewTest, WithoutAContextNothingMovesOrDraws) {
    UseTracingElements();
    view.MoveElements();
    view.DrawElements();
    EXPECT_TRUE(trace.empty());
}

TEST_F(ViewTest, FullScreenMovesEachElementTwiceAndDrawsItOnce) {
    StartRendering();
    UseTracingElements();
    view.MoveElements();
    view.DrawElements();
    view.FullScreen = true;
    view.MoveElements();
    view.DrawElements();
    EXPECT_EQ(trace, (std::vector<std::string>{"Move A", "Move B", "Draw A", "Draw B", "Move A",
                                               "Move A", "Move B", "Move B", "Draw A", "Draw B"}));
}

// --- building the element set --------------------------------------------------------------

TEST_F(ViewTest, CreateElementsHandsEveryElementTheViewsSettings) {
    StartRendering();
    view.SetAlpha(true);
    view.SetBaseAngle(45.0f);
    view.SetMonochrome(true);
    view.SetMonoColor(0x00CC33CC);
    view.SetNumOfReflections(18);
    view.SetReflected(false);
    view.SetFullScreen(true);
    view.SetNumOfElements(7);
    view.CreateElements();
    EXPECT_EQ(fake.Log, std::vector<std::string>{"InvalidateView()"});
    ASSERT_EQ(view.Elements.Count(), 7);
    for (int i = 0; i < 7; ++i) {
        const TElement& e = *view.Elements.Get(i);
        EXPECT_TRUE(e.Alpha);
        EXPECT_EQ(e.BaseAngle, 45.0f);
        EXPECT_TRUE(e.Monochrome);
        EXPECT_EQ(e.MonoColor, 0x00CC33CCu);
        EXPECT_EQ(e.NumOfReflections, 18);
        EXPECT_FALSE(e.Reflected);
        EXPECT_TRUE(e.FullScreen);
        EXPECT_TRUE(e.Prepared);
    }
    // A rebuild replaces the set rather than adding to it.
    view.SetNumOfElements(2);
    view.CreateElements();
    EXPECT_EQ(view.Elements.Count(), 2);
}

TEST_F(ViewTest, TheFirstDrawPicksTheKindOfTheFirstElement) {
    // Seeds whose first Random(10) is 0..9 (python: ((s*134775813+1) % 2**32 * 10) >> 32).
    const std::uint32_t seeds[10] = {0, 4, 7, 10, 13, 16, 20, 23, 26, 29};
    view.SetNumOfElements(1);
    const auto kindOf = [](const TElement* e) -> std::string {
        // Most derived first: several kinds share a base class.
        if (dynamic_cast<const TLine2*>(e))
            return "TLine2";
        if (dynamic_cast<const TLine3*>(e))
            return "TLine3";
        if (dynamic_cast<const TLine*>(e))
            return "TLine";
        if (dynamic_cast<const TBezier*>(e))
            return "TBezier";
        if (dynamic_cast<const TBezier2*>(e))
            return "TBezier2";
        if (dynamic_cast<const TTriangle2*>(e))
            return "TTriangle2";
        if (dynamic_cast<const TTriangle*>(e))
            return "TTriangle";
        if (dynamic_cast<const TCircle2*>(e))
            return "TCircle2";
        if (dynamic_cast<const TCircle3*>(e))
            return "TCircle3";
        if (dynamic_cast<const TCircle*>(e))
            return "TCircle";
        return "?";
    };
    const std::vector<std::string> expected = {"TLine",    "TLine2",    "TLine3",     "TBezier",
                                               "TBezier2", "TTriangle", "TTriangle2", "TCircle",
                                               "TCircle2", "TCircle3"};
    for (int k = 0; k < 10; ++k) {
        SetRandSeed(seeds[k]);
        view.CreateElements();
        ASSERT_EQ(view.Elements.Count(), 1);
        EXPECT_EQ(kindOf(view.Elements.Get(0)), expected[k]) << "kind " << k;
    }
}

TEST_F(ViewTest, ZeroElementsIsAReadyEmptySetThatDrawsNothing) {
    StartRendering();
    view.SetNumOfElements(0);
    view.CreateElements();
    EXPECT_TRUE(view.ElementsReady);
    EXPECT_EQ(view.Elements.Count(), 0);
    view.MoveElements();
    view.DrawElements();
    view.PresentFrame();
    EXPECT_TRUE(gl.Empty());
}

TEST_F(ViewTest, PrepareElementsRepreparesAndInvalidates) {
    StartRendering();
    view.CreateElements();
    fake.ClearLog();
    view.PrepareElements();
    EXPECT_EQ(fake.Log, std::vector<std::string>{"InvalidateView()"});
    EXPECT_TRUE(view.Elements.Get(0)->Prepared);
}

// --- random settings -----------------------------------------------------------------------

struct RandomizedView {
    std::uint32_t MillisecondsOfDay;
    bool Alpha;
    float BaseAngle;
    bool Monochrome;
    TColor MonoColor;
    int NumOfElements;
    int NumOfReflections;
    bool Reflected;
    bool FullScreen;
};

TEST_F(ViewTest, RandomizeSettingsReseedsFromTheTimeOfDayAndDrawsInOrder) {
    // Expected values from a Python model of the generator:
    //   seed = ms; draw(n): seed = (seed*134775813+1) % 2**32; return (n*seed) >> 32
    //   Alpha draw(100)>90, BaseAngle draw(24)*15, Monochrome draw(100)>95, MonoColor draw(10),
    //   NumOfElements draw(3)+1, count entry draw(6), Reflected draw(100)<90 (even counts),
    //   FullScreen draw(100)>20 for 4, 6, 12, 24 else draw(100)>60.
    const RandomizedView cases[] = {
        {43200000, false, 150.0f, false, 0x003366FF, 2, 10, true, false},
        {32513000, true, 300.0f, true, 0x0000CC00, 1, 12, false, true},
        {758000, true, 270.0f, false, 0x000000FF, 1, 8, true, true},
        {86399999, false, 345.0f, false, 0x003366FF, 1, 2, true, true},
        // Each of these lands one draw exactly on its threshold: Alpha 90, Monochrome 95,
        // Reflected 90, FullScreen 20 (count 6) and 60 (count 10).
        {220, false, 195.0f, true, 0x00FF0000, 3, 2, true, false},
        {12, false, 345.0f, false, 0x1FFFFFFF, 1, 6, true, true},
        {9, false, 165.0f, false, 0x00CC33CC, 3, 6, false, false},
        {100, false, 345.0f, false, 0x003366FF, 1, 6, true, false},
        {368, false, 120.0f, false, 0x1FFFFFFF, 1, 10, true, false},
    };
    for (const RandomizedView& c : cases) {
        fake.MillisecondsOfDay = c.MillisecondsOfDay;
        view.CreateElements();
        fake.ClearLog();
        view.RandomizeSettings();
        EXPECT_EQ(fake.Log,
                  (std::vector<std::string>{"MillisecondsSinceMidnightUTC()", "InvalidateView()"}));
        EXPECT_FALSE(view.ElementsReady);
        EXPECT_EQ(view.Alpha, c.Alpha) << c.MillisecondsOfDay;
        EXPECT_EQ(view.BaseAngle, c.BaseAngle) << c.MillisecondsOfDay;
        EXPECT_EQ(view.Monochrome, c.Monochrome) << c.MillisecondsOfDay;
        EXPECT_EQ(view.MonoColor, c.MonoColor) << c.MillisecondsOfDay;
        EXPECT_EQ(view.NumOfElements, c.NumOfElements) << c.MillisecondsOfDay;
        EXPECT_EQ(view.NumOfReflections, c.NumOfReflections) << c.MillisecondsOfDay;
        EXPECT_EQ(view.Reflected, c.Reflected) << c.MillisecondsOfDay;
        EXPECT_EQ(view.FullScreen, c.FullScreen) << c.MillisecondsOfDay;
    }
}

TEST_F(ViewTest, RandomizeSettingsNeverPicksALargeOrOddCount) {
    for (std::uint32_t ms = 0; ms < 86400000; ms += 86413) {
        fake.MillisecondsOfDay = ms;
        view.RandomizeSettings();
        EXPECT_LE(view.NumOfReflections, 12) << ms;
        EXPECT_EQ(view.NumOfReflections % 2, 0) << ms;
        EXPECT_GE(view.NumOfElements, 1);
        EXPECT_LE(view.NumOfElements, 3);
    }
    fake.ClearLog();
}

// --- pacing -------------------------------------------------------------------------------

TEST_F(ViewTest, RestPauseSleepsInFiveMillisecondStepsAndDispatchesUntilRestHasPassed) {
    view.SetRest(12);
    view.RestPause();
    // 12 ms: three sleeps of 5 bring the clock 15 ms on.
    std::vector<std::string> expected = {"GetTickCount()"};
    for (int i = 0; i < 3; ++i)
        expected.insert(expected.end(), {"Sleep(5)", "ProcessMessages()", "GetTickCount()"});
    EXPECT_EQ(fake.Log, expected);
}

TEST_F(ViewTest, RestPauseSurvivesTheTickCountWrapping) {
    fake.TickCount = 0xFFFFFFFEu;
    view.SetRest(10);
    view.RestPause();
    EXPECT_EQ(fake.CountOf("Sleep(5)"), 2u);
    EXPECT_EQ(fake.TickCount, 8u);
}

TEST_F(ViewTest, RestPauseWithZeroOrNegativeRestHardlyWaits) {
    view.SetRest(0);
    view.RestPause();
    EXPECT_TRUE(fake.Log.empty());
    view.SetRest(-40);
    view.RestPause();
    EXPECT_EQ(fake.Log, std::vector<std::string>{"GetTickCount()"});
}

// Stands in for the saver window: a timer event that finds the clock far ahead.
class ClockJumper : public WindowEvents {
  public:
    explicit ClockJumper(FakePlatform& fake) : fake_(fake) {}
    void OnKeyDown(std::uint16_t) override {}
    void OnMouseDown() override {}
    void OnMouseMove(int, int) override {}
    void OnTimer(TimerId) override {
        ++Timers;
        fake_.AdvanceTicks(0x80000000u - 5u);
    }
    void OnPaint() override {}
    void OnResize(int, int) override {}
    bool OnCloseQuery() override { return false; }
    void OnClose() override {}
    void OnIdle() override {}
    int Timers = 0;

  private:
    FakePlatform& fake_;
};

TEST_F(ViewTest, RestPauseDispatchesEventsAndEndsOnAClockHalfAWrapAhead) {
    // After the first sleep the wrapped difference is exactly -2^31; its size is far beyond Rest.
    ClockJumper window(fake);
    fake.Events = &window;
    fake.PostTimer(TimerTick);
    view.SetRest(30);
    view.RestPause();
    EXPECT_EQ(window.Timers, 1);
    EXPECT_EQ(fake.CountOf("Sleep"), 1u);
    fake.Events = nullptr;
}

// --- stepping reflections and speed --------------------------------------------------------

TEST_F(ViewTest, NextReflectionsStepsUpTheTableAndStopsAt72) {
    const std::vector<std::pair<int, int>> steps = {{2, 4},   {12, 18}, {40, 60},
                                                    {60, 72}, {72, 72}, {5, 72}};
    for (auto [from, to] : steps) {
        view.NumOfReflections = static_cast<TNumOfReflections>(from);
        view.NextReflections();
        EXPECT_EQ(view.NumOfReflections, to) << "from " << from;
    }
}

TEST_F(ViewTest, PreviousReflectionsStepsDownTheTableAndStopsAt2) {
    const std::vector<std::pair<int, int>> steps = {{72, 60}, {18, 12}, {4, 2},
                                                    {2, 2},   {5, 2},   {0, 2}};
    for (auto [from, to] : steps) {
        view.NumOfReflections = static_cast<TNumOfReflections>(from);
        view.PreviousReflections();
        EXPECT_EQ(view.NumOfReflections, to) << "from " << from;
    }
}

TEST_F(ViewTest, SteppingReflectionsGoesThroughTheSetter) {
    view.CreateElements();
    view.NumOfReflections = 72;
    view.NextReflections();
    EXPECT_TRUE(view.ElementsReady);
    view.PreviousReflections();
    EXPECT_FALSE(view.ElementsReady);
}

TEST_F(ViewTest, SlowDownAndSpeedUpStepByTheSquareRoot) {
    // step = max(1, floor(sqrt(Rest))): sqrt(20) = 4.47, sqrt(199) = 14.1.
    const std::vector<std::pair<int, int>> slower = {
        {0, 1}, {20, 24}, {199, 213}, {213, 200}, {200, 200}, {5000, 200}, {-10, -9}};
    for (auto [from, to] : slower) {
        view.Rest = from;
        view.SlowDown();
        EXPECT_EQ(view.Rest, to) << "slow down from " << from;
    }
    const std::vector<std::pair<int, int>> faster = {{1, 0}, {20, 16}, {0, 0}, {-10, 0}, {3, 2}};
    for (auto [from, to] : faster) {
        view.Rest = from;
        view.SpeedUp();
        EXPECT_EQ(view.Rest, to) << "speed up from " << from;
    }
    EXPECT_TRUE(fake.Log.empty());
}

TEST(ViewTables, ReflectionCountsAndMonoColorsHoldTheirEntries) {
    const int counts[14] = {2, 4, 6, 8, 10, 12, 18, 20, 24, 30, 36, 40, 60, 72};
    for (int i = 0; i < 14; ++i)
        EXPECT_EQ(ReflectionCounts[i], counts[i]);
    const TColor colors[10] = {0x1FFFFFFF, 0x000000FF, 0x003366FF, 0x0033FFFF, 0x0000CC00,
                               0x00CCCC33, 0x00FF0000, 0x00CC3333, 0x00CC33CC, 0x006633FF};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(MonoColors[i], colors[i]);
}

} // namespace
} // namespace lumivex
