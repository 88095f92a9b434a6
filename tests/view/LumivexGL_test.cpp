// The kaleidoscope view against the fake platform and the recording GL table.
#include "view/LumivexGL_.h"

#include "support/FakePlatform.h"
#include "support/RecordingGL.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <typeindex>
#include <typeinfo>
#include <utility>
#include <vector>

namespace lumivex {
namespace {

using testing::GLCall;
using Log = std::vector<std::string>;

// Records the order in which the view moves and draws its elements.
class TracingElement : public TElement {
  public:
    TracingElement(Log& trace, std::string name) : trace_(trace), name_(std::move(name)) {}
    void Move() override { trace_.push_back("Move " + name_); }
    void Draw() override { trace_.push_back("Draw " + name_); }

  private:
    Log& trace_;
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

    FakePlatform fake;
    testing::RecordingGL gl;
    TLumivexGL view;
};

// 180/pi and 180/pi * 4/3 from 60-digit decimals, rounded once to double (Python float(Decimal)).
constexpr double K = 57.29577951308232;
constexpr double K43 = 76.39437268410975;

std::vector<GLCall> Projection(int w, int h, double x, double y) {
    return {{"glViewport", {0, 0, double(w), double(h)}},
            {"glMatrixMode", {0x1701}},
            {"glLoadIdentity", {}},
            {"glOrtho", {-x, x, -y, y, -1, 1}},
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

TEST_F(ViewTest, InitRenderingMakesTheContextAndTheProjectionKeepsUnitsSquare) {
    view.InitRendering();
    EXPECT_EQ(fake.Log, (Log{"GetViewDeviceContext()", "CreateGLContext(220,32,0,0,0,0)",
                             "ActivateGLContext(220,108)", "GetViewSize()"}));
    ExpectStream(gl.Calls(), Projection(1024, 768, K43, K));
    gl.Clear();
    view.SetupProjection(768, 1024);
    ExpectStream(gl.Calls(), Projection(768, 1024, K, K43));
    gl.Clear();
    view.SetupProjection(500, 500);
    ExpectStream(gl.Calls(), Projection(500, 500, K, K));
    gl.Clear();
    view.SetupProjection(0, 768); // the projection stays the identity
    EXPECT_EQ(gl.Names(), (Log{"glViewport", "glMatrixMode", "glLoadIdentity", "glMatrixMode",
                               "glLoadIdentity"}));
}

TEST_F(ViewTest, PaintClearsToTheBackgroundBytesAndFlushes) {
    StartRendering();
    view.BackColor = 0x00336699; // red 153/255 = 0.6, green 102/255 = 0.4, blue 51/255 = 0.2
    view.PaintSurface();
    ExpectStream(
        gl.Calls(),
        {{"glClearColor", {0.6f, 0.4f, 0.2f, 1.0f}}, {"glClear", {0x4100}}, {"glFlush", {}}});
}

TEST_F(ViewTest, WithoutAContextNothingReachesGL) {
    fake.NextContext = 0;
    view.InitRendering();
    view.SetupProjection(1024, 768);
    view.CreateElements();
    view.MoveElements();
    view.DrawElements();
    view.PaintSurface();
    EXPECT_TRUE(gl.Empty());
    EXPECT_EQ(fake.Calls("FillViewRect"), Log{"FillViewRect(0,120,120)"});

    fake.CreateContextFails = true;
    TLumivexGL failing;
    EXPECT_THROW(failing.InitRendering(), EWin32Error);
    EXPECT_FALSE(failing.ContextReady);
}

TEST_F(ViewTest, SettersCompareFirstAndOnlyElementSettingsOutdateTheSet) {
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

    // A new background repaints the same elements; a new pace changes nothing else.
    const TElement* first = view.Elements.Get(0);
    view.SetBackColor(0x00FF0000);
    view.SetRest(500);
    EXPECT_EQ(fake.Log, Log{"InvalidateView()"});
    EXPECT_TRUE(view.ElementsReady);
    EXPECT_EQ(view.Elements.Get(0), first);

    const std::vector<void (*)(TLumivexGL&)> changes = {
        [](TLumivexGL& v) { v.SetNumOfElements(4); },
        [](TLumivexGL& v) { v.SetAlpha(true); },
        [](TLumivexGL& v) { v.SetBaseAngle(15.0f); },
        [](TLumivexGL& v) { v.SetFullScreen(true); },
        [](TLumivexGL& v) { v.SetMonochrome(true); },
        [](TLumivexGL& v) { v.SetMonoColor(0xCC00); },
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

TEST_F(ViewTest, AnOutdatedSetFreezesAndFullScreenMovesEachElementTwice) {
    StartRendering();
    Log trace;
    view.Elements.Add(new TracingElement(trace, "A"));
    view.Elements.Add(new TracingElement(trace, "B"));
    view.MoveElements(); // not ready yet
    view.DrawElements();
    view.PrepareElements();
    EXPECT_TRUE(trace.empty());
    EXPECT_TRUE(fake.Log.empty());
    view.ElementsReady = true;
    view.MoveElements();
    view.DrawElements();
    view.FullScreen = true;
    view.MoveElements();
    view.DrawElements();
    EXPECT_EQ(trace, (Log{"Move A", "Move B", "Draw A", "Draw B", "Move A", "Move A", "Move B",
                          "Move B", "Draw A", "Draw B"}));
}

TEST_F(ViewTest, CreateElementsBuildsTheCountWithTheViewsSettings) {
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
    EXPECT_EQ(fake.Log, Log{"InvalidateView()"});
    ASSERT_EQ(view.Elements.Count(), 7);
    for (int i = 0; i < 7; ++i) {
        const TElement& e = *view.Elements.Get(i);
        EXPECT_TRUE(e.Alpha && e.Monochrome && e.FullScreen && e.Prepared && !e.Reflected);
        EXPECT_EQ(e.BaseAngle, 45.0f);
        EXPECT_EQ(e.MonoColor, 0x00CC33CCu);
        EXPECT_EQ(e.NumOfReflections, 18);
    }
    view.SetNumOfElements(0); // an empty set is ready and draws nothing
    view.CreateElements();
    EXPECT_TRUE(view.ElementsReady);
    EXPECT_EQ(view.Elements.Count(), 0);
    view.MoveElements();
    view.DrawElements();
    EXPECT_TRUE(gl.Empty());
}

TEST_F(ViewTest, TheFirstDrawPicksTheKindOfTheFirstElement) {
    // Seeds whose first Random(10) is 0..9 (python: ((s*134775813+1) % 2**32 * 10) >> 32).
    const std::uint32_t seeds[10] = {0, 4, 7, 10, 13, 16, 20, 23, 26, 29};
    const std::type_index kinds[10] = {
        typeid(TLine),     typeid(TLine2),     typeid(TLine3),  typeid(TBezier),  typeid(TBezier2),
        typeid(TTriangle), typeid(TTriangle2), typeid(TCircle), typeid(TCircle2), typeid(TCircle3)};
    view.SetNumOfElements(1);
    for (int k = 0; k < 10; ++k) {
        SetRandSeed(seeds[k]);
        view.CreateElements();
        EXPECT_TRUE(std::type_index(typeid(*view.Elements.Get(0))) == kinds[k]) << "kind " << k;
    }
}

TEST_F(ViewTest, RandomizeSettingsReseedsFromTheTimeOfDayAndDrawsInOrder) {
    // Python model: seed = ms; draw(n): seed = (seed*134775813+1) % 2**32; return (n*seed) >> 32
    //   Alpha draw(100)>90, BaseAngle draw(24)*15, Monochrome draw(100)>95, MonoColor draw(10),
    //   NumOfElements draw(3)+1, count entry draw(6), Reflected draw(100)<90 (even counts),
    //   FullScreen draw(100)>20 for 4, 6, 12, 24 else draw(100)>60.
    struct Case {
        std::uint32_t ms;
        bool alpha;
        float angle;
        bool mono;
        TColor color;
        int elements, reflections;
        bool reflected, full;
    };
    const Case cases[] = {
        {43200000, false, 150, false, 0x003366FF, 2, 10, true, false},
        {32513000, true, 300, true, 0x0000CC00, 1, 12, false, true},
        {758000, true, 270, false, 0x000000FF, 1, 8, true, true},
        // One draw each exactly on its threshold: Alpha 90, Monochrome 95, Reflected 90,
        // FullScreen 20 (count 6) and 60 (count 10).
        {220, false, 195, true, 0x00FF0000, 3, 2, true, false},
        {12, false, 345, false, 0x1FFFFFFF, 1, 6, true, true},
        {9, false, 165, false, 0x00CC33CC, 3, 6, false, false},
        {100, false, 345, false, 0x003366FF, 1, 6, true, false},
        {368, false, 120, false, 0x1FFFFFFF, 1, 10, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ms);
        fake.MillisecondsOfDay = c.ms;
        view.CreateElements();
        fake.ClearLog();
        view.RandomizeSettings();
        EXPECT_EQ(fake.Log, (Log{"MillisecondsSinceMidnightUTC()", "InvalidateView()"}));
        EXPECT_FALSE(view.ElementsReady);
        EXPECT_EQ(view.Alpha, c.alpha);
        EXPECT_EQ(view.BaseAngle, c.angle);
        EXPECT_EQ(view.Monochrome, c.mono);
        EXPECT_EQ(view.MonoColor, c.color);
        EXPECT_EQ(view.NumOfElements, c.elements);
        EXPECT_EQ(view.NumOfReflections, c.reflections);
        EXPECT_EQ(view.Reflected, c.reflected);
        EXPECT_EQ(view.FullScreen, c.full);
    }
    for (std::uint32_t ms = 0; ms < 86400000; ms += 86413) {
        fake.MillisecondsOfDay = ms;
        view.RandomizeSettings();
        EXPECT_TRUE(view.NumOfReflections <= 12 && view.NumOfReflections % 2 == 0) << ms;
    }
}

// One 2304x768 view over a 1280x720 monitor beside a 1024x768 one: each monitor gets the view's
// projection over its own part (GL counts rows from the bottom) and elements of its own; monitor
// 0's are made first, from the same draws as on one monitor. Each new picture asks for the
// monitors again. One monitor draws as ever: no projection in a frame.
TEST_F(ViewTest, EachMonitorHasItsOwnProjectionAndElementsTheFirstMadeAsOnOne) {
    fake.ViewWidth = 2304;
    fake.Monitors = {{0, 0, 2304, 768}};
    StartRendering();
    view.SetNumOfElements(2);
    const auto frame = [&](std::uint32_t seed) {
        SetRandSeed(seed);
        view.CreateElements();
        gl.Clear();
        view.MoveElements();
        view.DrawElements();
    };
    frame(77);
    EXPECT_EQ(gl.Count("glViewport") + gl.Count("glOrtho"), 0u);
    const std::vector<GLCall> alone = gl.Only("glVertex2f");

    fake.Monitors = {{0, 0, 1280, 720}, {1280, 0, 1024, 768}};
    frame(77);
    ASSERT_EQ(view.MonitorElements.size(), 1u);
    EXPECT_EQ(view.MonitorElements[0]->Count(), 2);
    const std::vector<GLCall> calls = gl.Calls();
    const std::size_t second = gl.Count("glBegin") / 2;
    std::vector<std::size_t> viewports, begins;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].Name == "glViewport")
            viewports.push_back(i);
        if (calls[i].Name == "glBegin")
            begins.push_back(i);
    }
    ASSERT_EQ(viewports.size(), 2u);
    ASSERT_EQ(begins.size(), 2 * second);
    EXPECT_TRUE(viewports[0] == 0 && viewports[1] > begins[second - 1] &&
                viewports[1] < begins[second]);
    // The projection after the viewport, as the whole view would have it at that size.
    const auto ortho = [](int w, int h, double x, double y) {
        std::vector<GLCall> stream = Projection(w, h, x, y);
        stream.erase(stream.begin());
        return stream;
    };
    EXPECT_TRUE(StreamAt(calls, viewports[0] + 1, ortho(1280, 720, K * 16 / 9, K)));
    EXPECT_TRUE(StreamAt(calls, viewports[1] + 1, ortho(1024, 768, K43, K)));
    EXPECT_EQ(calls[viewports[0]].Args, (std::vector<double>{0, 48, 1280, 720}));
    EXPECT_EQ(calls[viewports[1]].Args, (std::vector<double>{1280, 0, 1024, 768}));
    // Monitor 0 drew what the one monitor drew from the same seed, and the other something else.
    const std::vector<GLCall> both = gl.Only("glVertex2f");
    ASSERT_GT(both.size(), alone.size());
    EXPECT_TRUE(StreamAt(both, 0, alone));
    EXPECT_FALSE(StreamAt(both, alone.size(), alone));
}

// Outputs whose sizes settle after the picture began (a compositor's later configure, another
// scale): a resize that changes the monitors makes the picture again for the new ones; one that
// leaves them as they were keeps the elements and their trails going.
TEST_F(ViewTest, AResizeThatChangesTheMonitorsMakesThePictureForTheNewOnes) {
    fake.ViewWidth = 2304;
    fake.Monitors = {{0, 0, 1280, 720}, {1280, 0, 1024, 768}};
    StartRendering();
    view.SetNumOfElements(2);
    view.CreateElements();
    const struct {
        std::vector<ViewRect> Monitors;
        bool NewPicture;
    } cases[] = {
        {{{0, 0, 1280, 720}, {1280, 0, 1024, 768}}, false},
        {{{0, 0, 1280, 720}, {1280, 0, 2048, 1536}}, true},
        {{{0, 0, 1280, 720}, {1280, 0, 2048, 1536}}, false},
        {{{0, 0, 1280, 720}, {1280, 0, 2048, 1536}, {3328, 0, 800, 600}}, true},
        {{{0, 0, 1280, 720}}, true},
        {{{0, 0, 4000, 720}}, false}, // one monitor draws as the whole view does
    };
    for (const auto& test : cases) {
        fake.Monitors = test.Monitors;
        const int invalidated = fake.InvalidateCount;
        view.HandleResize(2304, 1536);
        // A new picture asks for a paint over the old one.
        EXPECT_EQ(fake.InvalidateCount != invalidated, test.NewPicture)
            << test.Monitors.size() << " monitors";
        EXPECT_EQ(view.Monitors.size(), test.Monitors.size() > 1 ? test.Monitors.size() : 0u);
        EXPECT_EQ(view.MonitorElements.size(),
                  view.Monitors.empty() ? 0u : test.Monitors.size() - 1);
    }
    if (!view.Monitors.empty())
        return;
    // Before the first picture there is nothing to make again.
    TLumivexGL fresh;
    fake.Monitors = {{0, 0, 1280, 720}, {1280, 0, 1024, 768}};
    fresh.HandleResize(2304, 768);
    EXPECT_TRUE(fresh.Monitors.empty());
}

// Stands in for the saver window: something happens on a timer event during the pause.
struct TimerAction : WindowEvents {
    explicit TimerAction(std::function<void()> a) : action(std::move(a)) {}
    void OnKeyDown(std::uint16_t) override {}
    void OnMouseDown() override {}
    void OnMouseMove(int, int) override {}
    void OnTimer(TimerId) override { action(); }
    void OnPaint() override {}
    void OnResize(int, int) override {}
    bool OnCloseQuery() override { return false; }
    void OnClose() override {}
    void OnIdle() override {}
    std::function<void()> action;
};

TEST_F(ViewTest, RestPauseSleepsFiveMillisecondsAtATimeAndDispatchesUntilRestHasPassed) {
    view.SetRest(12); // three sleeps of 5 bring the clock 15 ms on
    view.RestPause();
    EXPECT_EQ(fake.Log, (Log{"GetTickCount()", "Sleep(5)", "ProcessMessages()", "GetTickCount()",
                             "Sleep(5)", "ProcessMessages()", "GetTickCount()", "Sleep(5)",
                             "ProcessMessages()", "GetTickCount()"}));
    fake.ClearLog();
    view.SetRest(0);
    view.RestPause();
    EXPECT_TRUE(fake.Log.empty());
    view.SetRest(-40);
    view.RestPause();
    EXPECT_EQ(fake.Log, Log{"GetTickCount()"});

    fake.TickCount = 0xFFFFFFFEu; // the clock wraps during the pause
    view.SetRest(10);
    view.RestPause();
    EXPECT_EQ(fake.TickCount, 8u);

    // The sleeps of a pause of `rest` in which `action` happens on the first timer event.
    const auto sleepsWith = [&](int rest, std::function<void()> action) {
        TimerAction window(std::move(action));
        fake.CreateSaverWindow(&window);
        fake.PostTimer(TimerTick);
        fake.ClearLog();
        view.SetRest(rest);
        view.RestPause();
        fake.DestroySaverWindow();
        return fake.CountOf("Sleep");
    };
    // After one sleep the wrapped difference is -2^31: far beyond Rest, and no overflow.
    EXPECT_EQ(sleepsWith(30, [&] { fake.AdvanceTicks(0x80000000u - 5u); }), 1u);
    // A logout during the longest pause ends it at the next look, not 2 seconds later.
    EXPECT_EQ(sleepsWith(2000, [&] { fake.SessionEnding = true; }), 1u);
}

TEST_F(ViewTest, ReflectionAndSpeedSteps) {
    const int up[][2] = {{2, 4}, {12, 18}, {60, 72}, {72, 72}, {5, 72}};
    for (auto [from, to] : up) {
        view.NumOfReflections = static_cast<TNumOfReflections>(from);
        view.NextReflections();
        EXPECT_EQ(view.NumOfReflections, to) << "next from " << from;
    }
    const int down[][2] = {{72, 60}, {18, 12}, {4, 2}, {2, 2}, {5, 2}};
    for (auto [from, to] : down) {
        view.NumOfReflections = static_cast<TNumOfReflections>(from);
        view.PreviousReflections();
        EXPECT_EQ(view.NumOfReflections, to) << "previous from " << from;
    }
    // step = max(1, floor(sqrt(Rest))): sqrt(20) = 4.47, sqrt(199) = 14.1, sqrt(3) = 1.7.
    const int slower[][2] = {{0, 1},     {20, 24},    {199, 213}, {200, 200},
                             {213, 200}, {5000, 200}, {-10, -9}};
    for (auto [from, to] : slower) {
        view.Rest = from;
        view.SlowDown();
        EXPECT_EQ(view.Rest, to) << "slow down from " << from;
    }
    const int faster[][2] = {{1, 0}, {20, 16}, {0, 0}, {-10, 0}, {3, 2}};
    for (auto [from, to] : faster) {
        view.Rest = from;
        view.SpeedUp();
        EXPECT_EQ(view.Rest, to) << "speed up from " << from;
    }
    EXPECT_TRUE(fake.Log.empty());
}

} // namespace
} // namespace lumivex
