// The pace of passes and pictures over a fake clock and a fake 60 Hz display, as the two back ends
// that show an offscreen picture drive it: one that waits (Wayland: the modal loop runs, frame
// callbacks come as events) and one that cannot (the page: the loop's frame runs from each
// animation frame, and sleeping moves the program's clock). The pass is the core's: it draws for a
// while, then rests Rest ms in 5-ms steps, handling messages between them.
#include "platform/ModalLoop.h"
#include "platform/PassPacer.h"
#include "platform/SaverTimers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <tuple>
#include <vector>

namespace lumivex {
namespace {

constexpr double Refresh = 1000.0 / 60;

class Saver final : public ModalLoop::Backend, public WindowEvents {
  public:
    enum Host { Waits, Frames };

    Saver(Host host, int rest, double draw = 1.2, double show = 0)
        : host_(host), rest_(rest), draw_(draw), show_(show) {
        Loop.SetIdleHandler(true);
        timers_.SetEnabled(TimerTick, true, 0);
        if (host == Frames)
            timers_.KeepCount(TimerTick);
        pacer_.Asked(0);
    }

    ModalLoop Loop{*this, this};
    double Now = 0;               // the back end's clock
    double DisplayOffFrom = 1e18; // the display asks for nothing from then
    double DisplayOffUntil = 0;
    double CloseAt = 1e18;  // a key that ends the saver arrives then
    double ShowPerPass = 0; // the page's display takes this long a pass drawn to show them
    std::vector<double> PassStarts;
    std::vector<int> PassesPerFrame; // the page's
    int Shown = 0;
    std::vector<double> ShownAt; // Wayland's, when each showing ended
    int Ticks = 0;

    double DesktopPace() const { return 1000.0 / (draw_ + 5.0 * std::ceil(rest_ / 5.0)); }
    int PassesBetween(double from, double to) const {
        return static_cast<int>(std::count_if(PassStarts.begin(), PassStarts.end(),
                                              [&](double t) { return t >= from && t < to; }));
    }

    void RunUntil(double end) {
        end_ = end;
        if (host_ == Waits) {
            Loop.Run();
            return;
        }
        for (auto index = static_cast<long>(std::ceil(Now / Refresh));
             index * Refresh < end && !Loop.Ended(); ++index) {
            const double frame = static_cast<double>(index) * Refresh;
            if (!DisplayOn(frame))
                continue;
            Now = std::max(Now, frame);
            pacer_.BeginFrame(Now);
            const std::size_t before = PassStarts.size();
            Loop.RunFrame();
            PassesPerFrame.push_back(static_cast<int>(PassStarts.size() - before));
            Show();
            Now += ShowPerPass * PassesPerFrame.back();
            index = std::max(index, static_cast<long>(std::ceil(Now / Refresh)) - 1);
        }
    }

    // ModalLoop::Backend
    bool HandlePendingEvent() override {
        if (host_ == Waits && callbackAt_ <= Now) {
            frameDue_ = true;
            pacer_.Asked(callbackAt_);
            callbackAt_ = 1e18;
        }
        if (host_ == Waits)
            Show();
        if (Now >= CloseAt) {
            CloseAt = 1e18;
            Loop.RequestClose();
            return true;
        }
        TimerId id = TimerTick;
        if (!timers_.TakeDue(static_cast<std::uint64_t>(Now), id))
            return false;
        OnTimer(id);
        return true;
    }
    void WaitForEvent() override {
        const auto timer = timers_.Until(static_cast<std::uint64_t>(Now), 1000);
        Now =
            std::max(Now, std::min({end_, CloseAt, callbackAt_, Now + static_cast<double>(timer)}));
    }
    bool IsSessionEnding() override { return Now >= end_; }
    bool IdleDue() override {
        return host_ == Waits ? pacer_.PassesRun(Now, frameDue_) : pacer_.PassDue(Now);
    }
    void BeforeIdle() override {
        if (host_ == Frames)
            pacer_.BeginPass(Now);
    }

    // WindowEvents
    void OnIdle() override {
        PassStarts.push_back(Now);
        Now += draw_;
        pacer_.Drew();
        pacer_.Resting(Now, rest_);
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
    void OnTimer(TimerId) override { ++Ticks; }
    void OnKeyDown(std::uint16_t) override {}
    void OnMouseDown() override {}
    void OnMouseMove(int, int) override {}
    void OnPaint() override {}
    void OnResize(int, int) override {}
    bool OnCloseQuery() override { return true; }
    void OnClose() override {}
    void OnEndSession() override {}

  private:
    bool DisplayOn(double t) const { return t < DisplayOffFrom || t >= DisplayOffUntil; }
    double Clock() { return host_ == Waits ? Now : pacer_.Now(Now); }
    // Once a frame asked for, with whatever was drawn since; the display asks for the next at its
    // next refresh.
    void Show() {
        if ((host_ == Waits && !frameDue_) || pacer_.Drawn() == shownPicture_)
            return;
        if (host_ == Waits && !pacer_.ShowFits(Now))
            return;
        if (host_ == Waits) {
            pacer_.ShowTook(Now, Now + show_);
            ShownAt.push_back(Now += show_);
        }
        shownPicture_ = pacer_.Drawn();
        ++Shown;
        pacer_.Shown();
        frameDue_ = false;
        callbackAt_ = std::floor(Now / Refresh + 1) * Refresh;
        if (!DisplayOn(callbackAt_))
            callbackAt_ = std::ceil(DisplayOffUntil / Refresh) * Refresh;
    }

    Host host_;
    int rest_;
    double draw_;
    double show_; // what a showing costs the program on Wayland
    double end_ = 0;
    PassPacer pacer_;
    SaverTimers timers_;
    bool frameDue_ = true;
    double callbackAt_ = 1e18;
    std::uint64_t shownPicture_ = 0;
};

const char* Name(Saver::Host host) {
    return host == Saver::Waits ? "Wayland" : "page";
}

// Passes keep the desktop's pace whatever the display's, and each picture shown holds the passes
// drawn since the last: never more pictures than the display asks for.
TEST(PassPacer, PassesKeepTheDesktopsPaceAndPicturesTheDisplays) {
    for (const Saver::Host host : {Saver::Waits, Saver::Frames})
        for (const int rest : {20, 5, 2000}) {
            Saver saver(host, rest);
            saver.RunUntil(20000);
            const double passes = saver.PassStarts.size() / 20.0;
            EXPECT_NEAR(passes, saver.DesktopPace(), saver.DesktopPace() * 0.03)
                << Name(host) << ", Rest " << rest;
            EXPECT_LE(saver.Shown / 20.0, std::min(passes, 60.0) + 0.1) << Name(host) << rest;
            EXPECT_GE(saver.Shown / 20.0, std::min(passes, 60.0) * 0.95) << Name(host) << rest;
        }
}

// On Wayland a showing that costs more than the whole rest takes from the pace only once the
// picture shown is stale; a cheap one still shows about every pass.
TEST(PassPacer, ShowingTakesFromTheRestNotFromThePace) {
    for (const auto& [rest, show, shownPerSecond] : {std::tuple{5, 11.0, 8.0}, {20, 1.0, 45.0}}) {
        Saver saver(Saver::Waits, rest, 1.2, show);
        saver.RunUntil(10000);
        EXPECT_GE(saver.PassStarts.size() / 10.0, saver.DesktopPace() * 0.85) << rest;
        EXPECT_GE(saver.Shown / 10.0, shownPerSecond) << rest;
        for (std::size_t i = 1; i < saver.ShownAt.size(); ++i)
            EXPECT_LE(saver.ShownAt[i] - saver.ShownAt[i - 1], PassPacer::StaleAfter + show + 10);
    }
}

// At Rest 0 the page runs several passes in each animation frame, and stops within its budget.
TEST(PassPacer, AtRestZeroSeveralPassesRunInAFrameWithinItsBudget) {
    Saver saver(Saver::Frames, 0);
    saver.RunUntil(2000);
    for (const int passes : saver.PassesPerFrame) {
        EXPECT_GE(passes, 5);
        EXPECT_LE(passes, static_cast<int>(PassPacer::FrameBudget / 1.2) + 1);
    }
    Saver waits(Saver::Waits, 0);
    waits.RunUntil(2000);
    EXPECT_NEAR(waits.PassStarts.size() / 2.0, 1000 / 1.2, 1);
    EXPECT_NEAR(waits.Shown / 2.0, 60, 1);
}

// A display slowed by the passes a frame carries still shows a responsive number of pictures,
// and the passes neither swamp it nor fall to one a frame.
TEST(PassPacer, AtRestZeroASlowDisplayKeepsShowing) {
    Saver saver(Saver::Frames, 0);
    saver.ShowPerPass = 6;
    saver.RunUntil(10000);
    EXPECT_GE(saver.Shown / 10.0, 1000 / PassPacer::LateFrame);
    EXPECT_GE(saver.PassStarts.size() / 10.0, 90);
}

// Hidden for ten seconds, the page shows a frame's worth of passes, then the pace again.
TEST(PassPacer, ALongGapIsNotCaughtUpInABurst) {
    for (const int rest : {20, 5}) {
        Saver saver(Saver::Frames, rest);
        saver.DisplayOffFrom = 1000;
        saver.DisplayOffUntil = 11000;
        saver.RunUntil(13000);
        EXPECT_EQ(saver.PassesBetween(1000 + Refresh, 11000), 0);
        // Frames 0 to 59 came before the gap, frame 60 right after it.
        ASSERT_GT(saver.PassesPerFrame.size(), 61u);
        const auto before = saver.PassesPerFrame.begin() + 60;
        EXPECT_LE(saver.PassesPerFrame[60], *std::max_element(saver.PassesPerFrame.begin(), before))
            << rest;
        EXPECT_EQ(saver.PassesBetween(11000, 11000 + Refresh / 2), saver.PassesPerFrame[60]);
        EXPECT_NEAR(saver.PassesBetween(11000, 13000) / 2.0, saver.DesktopPace(),
                    saver.DesktopPace() * 0.05)
            << rest;
    }
}

// A key that ends the saver during a rest takes effect before the next pass.
TEST(PassPacer, ACloseRequestBetweenTwoPassesEndsTheLoopBeforeTheNext) {
    for (const Saver::Host host : {Saver::Waits, Saver::Frames})
        for (const int rest : {0, 20}) {
            Saver saver(host, rest);
            saver.CloseAt = 1003.5;
            saver.RunUntil(3000);
            EXPECT_TRUE(saver.Loop.Ended()) << Name(host) << rest;
            ASSERT_FALSE(saver.PassStarts.empty());
            EXPECT_LT(saver.PassStarts.back(), 1003.5) << Name(host) << rest;
            EXPECT_GE(saver.PassStarts.back(), 1003.5 - 1.2 - rest - 5 - Refresh)
                << Name(host) << rest;
        }
}

// No picture asked for in a second: passes stop, and start again when one is; the tick counts
// every second meanwhile, so the regeneration every 300 comes on time.
TEST(PassPacer, NothingAskedForStopsThePassesButNotTheTick) {
    for (const Saver::Host host : {Saver::Waits, Saver::Frames}) {
        Saver saver(host, 20);
        saver.DisplayOffFrom = 2000;
        saver.DisplayOffUntil = 400000;
        saver.RunUntil(400500);
        EXPECT_EQ(saver.PassesBetween(3100, 400000), 0) << Name(host);
        EXPECT_GT(saver.PassesBetween(400000, 400500), 15) << Name(host);
        EXPECT_EQ(saver.Ticks, 400) << Name(host);
    }
}

} // namespace
} // namespace lumivex
