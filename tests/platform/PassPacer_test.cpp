// One host waits for frame callbacks as events; the page runs from each frame, moving the clock.
#include "platform/ModalLoop.h"
#include "platform/PassPacer.h"
#include "platform/SaverTimers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

namespace lumivex {
namespace {

constexpr double Refresh = 1000.0 / 60, Draw = 1.2, Never = 1e18;
enum Host { Waits, Frames };
int Count(const std::vector<double>& times, double from, double to) {
    return static_cast<int>(
        std::count_if(times.begin(), times.end(), [&](double t) { return t >= from && t < to; }));
}
const auto DesktopPace = [](int rest) { return 1000.0 / (Draw + 5.0 * std::ceil(rest / 5.0)); };

// A showing's cost (the page's: per pass); the display off, on; passes and pictures a second
// from `on` to `end`; passes in each of the page's frames.
struct Case {
    Host host;
    int rest;
    double cost, off, on, end, pace, slack, shown;
    int fewest;
};

class Saver final : public ModalLoop::Backend, public WindowEvents {
  public:
    explicit Saver(const Case& c) : c_(c) {
        Loop.SetIdleHandler(true);
        timers_.SetEnabled(TimerTick, true, 0);
        if (c.host == Frames)
            timers_.KeepCount(TimerTick);
    }
    ModalLoop Loop{*this, this};
    double Now = 0, CloseAt = Never;
    std::vector<double> PassStarts, ShownAt;
    std::vector<int> PassesPerFrame;
    int Ticks = 0;
    void Run() {
        CloseAt = c_.end + 3.5;
        if (c_.host == Waits)
            return Loop.Run();
        for (auto index = 0L; !Loop.Ended(); ++index) {
            if (!DisplayOn(static_cast<double>(index) * Refresh))
                continue;
            pacer_.BeginFrame(Now = std::max(Now, static_cast<double>(index) * Refresh));
            const std::size_t before = PassStarts.size();
            if (Loop.RunFrame())
                PassesPerFrame.push_back(static_cast<int>(PassStarts.size() - before));
            Show();
            Now += c_.cost * static_cast<double>(PassStarts.size() - before);
            index = std::max(index, static_cast<long>(std::ceil(Now / Refresh)) - 1);
        }
    }
    bool HandlePendingEvent() override {
        if (c_.host == Waits) {
            if (callbackAt_ <= Now) {
                frameDue_ = true;
                pacer_.Asked(std::exchange(callbackAt_, Never));
            }
            Show();
        }
        if (Now >= CloseAt) {
            CloseAt = Never;
            Loop.RequestClose();
            return true;
        }
        TimerId id = TimerTick;
        const bool due = timers_.TakeDue(static_cast<std::uint64_t>(Now), id);
        Ticks += due ? 1 : 0;
        return due;
    }
    void WaitForEvent() override {
        const double timer = timers_.Until(static_cast<std::uint64_t>(Now), 1000);
        Now = std::max(Now, std::min({CloseAt, callbackAt_, Now + timer}));
    }
    bool IsSessionEnding() override { return false; }
    bool IdleDue() override {
        return c_.host == Waits ? pacer_.PassesRun(Now, frameDue_) : pacer_.PassDue(Now);
    }
    void BeforeIdle() override {
        if (c_.host == Frames)
            pacer_.BeginPass(Now);
    }
    void OnIdle() override {
        PassStarts.push_back(Now);
        pacer_.Drew();
        pacer_.Resting(Now += Draw, c_.rest);
        // Whole milliseconds, as the core's tick count gives them (and no x87 excess precision).
        const auto start = static_cast<std::int64_t>(Clock());
        while (static_cast<std::int64_t>(Clock()) - start < c_.rest) {
            if (c_.host == Waits) {
                const double wake = Now + 5;
                Show();
                Now = std::max(Now, wake);
            } else
                pacer_.Sleep(Now, 5);
            Loop.ProcessMessages();
        }
    }
    void OnTimer(TimerId) override {}
    void OnKeyDown(std::uint16_t) override {}
    void OnMouseDown() override {}
    void OnMouseMove(int, int) override {}
    void OnPaint() override {}
    void OnResize(int, int) override {}
    bool OnCloseQuery() override { return true; }
    void OnClose() override {}

  private:
    bool DisplayOn(double t) const { return t < c_.off || t >= c_.on; }
    double Clock() { return c_.host == Waits ? Now : pacer_.Now(Now); }
    // What was drawn since the last picture, once a frame asked for (when waiting, if it fits);
    // the display asks for the next at its next refresh.
    void Show() {
        const bool waits = c_.host == Waits;
        if (!pacer_.Unshown() || (waits && (!frameDue_ || !pacer_.ShowFits(Now))))
            return;
        pacer_.ShowTook(Now, Now + (waits ? c_.cost : 0));
        ShownAt.push_back(Now += waits ? c_.cost : 0);
        pacer_.Shown();
        frameDue_ = false;
        callbackAt_ = std::floor(Now / Refresh + 1) * Refresh;
        if (!DisplayOn(callbackAt_))
            callbackAt_ = std::ceil(c_.on / Refresh) * Refresh;
    }

    Case c_;
    double callbackAt_ = Never;
    PassPacer pacer_;
    SaverTimers timers_;
    bool frameDue_ = true;
};

// Passes keep their pace and each picture holds every pass since the last; with nothing asked for
// they stop, then resume with no burst to catch up; a key stops them before the next pass.
TEST(PassPacer, PassesKeepTheirPaceAndPicturesComeUntilAKeyEndsThem) {
    const std::vector<Case> rows{
        {Waits, 20, 0, 0, 0, 20500, DesktopPace(20), 0.005, 46.7, 0},
        {Frames, 20, 0, 0, 0, 20500, DesktopPace(20), 0.005, 46.7, 0},
        {Waits, 5, 0, 0, 0, 20500, DesktopPace(5), 0.005, 59.4, 0},
        {Frames, 5, 0, 0, 0, 20500, DesktopPace(5), 0.005, 59.4, 0},
        // The page at Rest 0: several passes a frame; a slow display still gets frames.
        {Frames, 0, 0, 0, 0, 10500, 420, 0.02, 59, 5},
        {Frames, 0, 6, 0, 0, 10500, 108, 0.1, 1000 / PassPacer::LateFrame, 1},
        // A showing costlier than the rest takes from the rest, not the pace; without a rest
        // there is nothing to wait for, and every frame gets its picture.
        {Waits, 5, 11, 0, 0, 10500, DesktopPace(5), 0.1, 8, 0},
        {Waits, 0, 1, 0, 0, 10500, 783, 0.02, 59, 0},
        {Waits, 20, 0, 2000, 400000, 400500, DesktopPace(20), 0.05, 45, 0},
        {Frames, 20, 0, 2000, 400000, 400500, DesktopPace(20), 0.05, 45, 0},
        {Frames, 20, 0, 1000, 11000, 13500, DesktopPace(20), 0.05, 45, 0}};
    for (const Case& c : rows) {
        SCOPED_TRACE(testing::Message() << "row " << &c - rows.data());
        Saver s(c);
        s.Run();
        const double passes = Count(s.PassStarts, c.on, c.end) * 1000 / (c.end - c.on);
        const double shown = Count(s.ShownAt, c.on, c.end) * 1000 / (c.end - c.on);
        EXPECT_NEAR(passes, c.pace, c.pace * c.slack);
        EXPECT_GE(shown, c.shown);
        EXPECT_LE(shown, 60.1);
        EXPECT_LE(s.ShownAt.size(), s.PassStarts.size());
        EXPECT_EQ(Count(s.PassStarts, c.off + (c.host == Waits ? 1100 : Refresh), c.on), 0);
        const double resumed = c.on > 0 ? c.on + Refresh / 2 : 0; // the first half frame back on
        EXPECT_LE(Count(s.PassStarts, c.on, resumed), std::ceil(c.pace / 60));
        EXPECT_EQ(s.Ticks, static_cast<int>(c.end / 1000));
        EXPECT_TRUE(s.Loop.Ended());
        EXPECT_EQ(Count(s.PassStarts, c.end + 3.5, Never), 0);
        EXPECT_GE(Count(s.PassStarts, c.end + 3.5 - Draw - c.rest - 5 - Refresh, Never), 1);
        for (const int n : s.PassesPerFrame)
            ASSERT_TRUE(n >= c.fewest && n <= PassPacer::FrameBudget / Draw + 1) << n;
        for (auto i = static_cast<std::size_t>(Count(s.ShownAt, 0, c.on)) + 1; i < s.ShownAt.size();
             ++i)
            ASSERT_LE(s.ShownAt[i] - s.ShownAt[i - 1], PassPacer::StaleAfter + c.cost + 10);
    }
}

} // namespace
} // namespace lumivex
