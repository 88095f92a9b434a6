// Idle passes and pictures over a fake clock and 60 Hz display: Wayland's loop waits and gets frame
// callbacks as events; the page's runs from each animation frame and sleeps by moving the program's
// clock. A pass draws Draw ms, then rests Rest ms in 5-ms steps, handling messages between steps.
#include "platform/ModalLoop.h"
#include "platform/PassPacer.h"
#include "platform/SaverTimers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <tuple>
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

class Saver final : public ModalLoop::Backend, public WindowEvents {
  public:
    Saver(Host host, int rest) : host_(host), rest_(rest) {
        Loop.SetIdleHandler(true);
        timers_.SetEnabled(TimerTick, true, 0);
        if (host == Frames)
            timers_.KeepCount(TimerTick);
    }
    ModalLoop Loop{*this, this};
    double Now = 0, CloseAt = Never;
    std::pair<double, double> DisplayOff{Never, Never}; // from, until
    double ShowCost = 0; // Wayland's a showing; the page's display's a pass it carries
    std::vector<double> PassStarts, ShownAt;
    std::vector<int> PassesPerFrame; // the page's
    int Ticks = 0;

    void RunUntil(double end) {
        end_ = end;
        if (host_ == Waits)
            return Loop.Run();
        for (auto index = static_cast<long>(std::ceil(Now / Refresh));
             index * Refresh < end && !Loop.Ended(); ++index) {
            if (!DisplayOn(static_cast<double>(index) * Refresh))
                continue;
            pacer_.BeginFrame(Now = std::max(Now, static_cast<double>(index) * Refresh));
            const std::size_t before = PassStarts.size();
            Loop.RunFrame();
            PassesPerFrame.push_back(static_cast<int>(PassStarts.size() - before));
            Show();
            Now += ShowCost * PassesPerFrame.back();
            index = std::max(index, static_cast<long>(std::ceil(Now / Refresh)) - 1);
        }
    }
    bool HandlePendingEvent() override {
        if (host_ == Waits) {
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
        Now = std::max(Now, std::min({end_, CloseAt, callbackAt_, Now + timer}));
    }
    bool IsSessionEnding() override { return Now >= end_; }
    bool IdleDue() override {
        return host_ == Waits ? pacer_.PassesRun(Now, frameDue_) : pacer_.PassDue(Now);
    }
    void BeforeIdle() override {
        if (host_ == Frames)
            pacer_.BeginPass(Now);
    }
    void OnIdle() override {
        PassStarts.push_back(Now);
        pacer_.Drew();
        pacer_.Resting(Now += Draw, rest_);
        // Whole milliseconds, as the core's tick count gives them (and no x87 excess precision).
        const auto start = static_cast<std::int64_t>(Clock());
        while (static_cast<std::int64_t>(Clock()) - start < rest_) {
            if (host_ == Waits) {
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
    bool DisplayOn(double t) const { return t < DisplayOff.first || t >= DisplayOff.second; }
    double Clock() { return host_ == Waits ? Now : pacer_.Now(Now); }
    // What was drawn since the last picture, once a frame asked for (on Wayland, when it fits);
    // the display asks for the next at its next refresh.
    void Show() {
        const bool waits = host_ == Waits;
        if (pacer_.Drawn() == shownPicture_ || (waits && (!frameDue_ || !pacer_.ShowFits(Now))))
            return;
        pacer_.ShowTook(Now, Now + (waits ? ShowCost : 0));
        ShownAt.push_back(Now += waits ? ShowCost : 0);
        shownPicture_ = pacer_.Drawn();
        frameDue_ = false;
        callbackAt_ = std::floor(Now / Refresh + 1) * Refresh;
        if (!DisplayOn(callbackAt_))
            callbackAt_ = std::ceil(DisplayOff.second / Refresh) * Refresh;
    }

    Host host_;
    int rest_;
    double end_ = 0, callbackAt_ = Never;
    PassPacer pacer_;
    SaverTimers timers_;
    bool frameDue_ = true;
    std::uint64_t shownPicture_ = 0;
};

// Passes keep the desktop's pace whatever the display's (on Wayland at Rest 0, back to back), each
// picture holds every pass since the last, and a key ending the saver stops them before the next.
TEST(PassPacer, PassesKeepTheDesktopsPaceUntilAKeyEndsThem) {
    for (const Host host : {Waits, Frames})
        for (const int rest : {0, 5, 20, 2000}) {
            SCOPED_TRACE(testing::Message() << "host " << host << ", Rest " << rest);
            Saver s(host, rest);
            constexpr double Close = 20003.5;
            s.CloseAt = Close;
            s.RunUntil(21000);
            const double passes = Count(s.PassStarts, 0, 20000) / 20.0;
            const double shown = Count(s.ShownAt, 0, 20000) / 20.0;
            EXPECT_TRUE(s.Loop.Ended());
            EXPECT_EQ(Count(s.PassStarts, Close, Never), 0);
            EXPECT_GE(Count(s.PassStarts, Close - Draw - rest - 5 - Refresh, Close), 1);
            if (host == Frames && rest == 0) // its frame budget holds it back: below
                continue;
            EXPECT_NEAR(passes, DesktopPace(rest), std::min(1.0, DesktopPace(rest) * 0.005));
            EXPECT_LE(shown, std::min(passes, 60.0) + 0.1);
            EXPECT_GE(shown, std::min(passes, 60.0) * 0.99);
        }
}

// The page at Rest 0 runs several passes a frame within its budget, and pictures keep coming on a
// display they slow; on Wayland a showing takes from the rest, not the pace, until it is stale.
TEST(PassPacer, CostlyShowingsKeepThePaceAndPicturesComing) {
    for (const auto& [host, rest, cost, fewest, passesPerSecond, shownPerSecond] :
         {std::tuple{Frames, 0, 0.0, 5, 300.0, 59.0},
          {Frames, 0, 6.0, 1, 90.0, 1000 / PassPacer::LateFrame},
          {Waits, 5, 11.0, 0, DesktopPace(5) * 0.85, 8.0},
          {Waits, 20, 1.0, 0, DesktopPace(20) * 0.85, 45.0}}) {
        SCOPED_TRACE(testing::Message() << "host " << host << ", cost " << cost);
        Saver s(host, rest);
        s.ShowCost = cost;
        s.RunUntil(10000);
        EXPECT_GE(s.PassStarts.size() / 10.0, passesPerSecond);
        EXPECT_GE(s.ShownAt.size() / 10.0, shownPerSecond);
        for (const int passes : s.PassesPerFrame)
            ASSERT_TRUE(passes >= fewest && passes <= PassPacer::FrameBudget / Draw + 1) << passes;
        for (std::size_t i = 1; i < s.ShownAt.size(); ++i)
            ASSERT_LE(s.ShownAt[i] - s.ShownAt[i - 1], PassPacer::StaleAfter + cost + 10);
    }
}

// With no picture asked for (the display off, the tab hidden) the passes stop within a second;
// they resume at the pace, a frame's worth first and no burst to catch up; the tick counts on.
TEST(PassPacer, NothingAskedForStopsThePassesButNotTheTick) {
    for (const auto& [host, rest, from, until, end] :
         {std::tuple{Waits, 20, 2000.0, 400000.0, 400500.0},
          {Frames, 20, 2000.0, 400000.0, 400500.0},
          {Frames, 20, 1000.0, 11000.0, 13500.0},
          {Frames, 5, 1000.0, 11000.0, 13500.0}}) {
        SCOPED_TRACE(testing::Message() << "host " << host << ", Rest " << rest << ", " << from);
        Saver s(host, rest);
        s.DisplayOff = {from, until};
        s.RunUntil(end);
        const double pace = DesktopPace(rest);
        EXPECT_EQ(Count(s.PassStarts, from + (host == Waits ? 1100 : Refresh), until), 0);
        EXPECT_LE(Count(s.PassStarts, until, until + Refresh / 2), std::ceil(pace / 60));
        EXPECT_NEAR(Count(s.PassStarts, until, end) / (end - until) * 1000, pace, pace * 0.05);
        EXPECT_EQ(s.Ticks, static_cast<int>(end / 1000));
    }
}

} // namespace
} // namespace lumivex
