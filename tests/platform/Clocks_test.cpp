// The two clocks the back ends without system timers share: the saver window's timers and the
// frame-rate meter of --fps, driven with made-up milliseconds.
#include "gl/FrameRateOverlay.h"
#include "platform/FrameRateMeter.h"
#include "platform/SaverTimers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace lumivex {
namespace {

// However late the loop comes back, a timer fires once; one on time keeps its rhythm, a late one
// is next due a period after it fired.
TEST(SaverTimers, ALateTimerFiresOnceNotOnceForEveryPeriodItMissed) {
    const std::uint64_t tick = SaverTimers::TickInterval, hide = SaverTimers::HideMouseInterval;
    const struct {
        TimerId Id;
        std::uint64_t Interval, Late;
    } cases[] = {{TimerTick, tick, 0},
                 {TimerTick, tick, 1},
                 {TimerTick, tick, 4500},
                 {TimerHideMouse, hide, 2600},
                 {TimerHideMouse, hide, 50000}};
    for (const auto& c : cases) {
        SaverTimers timers;
        timers.SetEnabled(c.Id, true, 100);
        const std::uint64_t now = 100 + c.Interval + c.Late;
        const std::uint64_t next =
            c.Late < c.Interval ? now - c.Late + c.Interval : now + c.Interval;
        TimerId fired = c.Id == TimerTick ? TimerHideMouse : TimerTick;
        ASSERT_TRUE(timers.TakeDue(now, fired) && fired == c.Id) << c.Late;
        EXPECT_FALSE(timers.TakeDue(now, fired)) << "fired again at once, " << c.Late << " late";
        EXPECT_EQ(timers.Until(now, 100000), next - now) << c.Late;
        EXPECT_FALSE(timers.TakeDue(next - 1, fired)) << c.Late;
        EXPECT_TRUE(timers.TakeDue(next, fired)) << c.Late;
    }
}

// Each report covers the frames since the one before: the second starts again when it is told.
TEST(FrameRateMeter, EachSecondIsMeasuredFromTheReportBefore) {
    struct Case {
        std::uint64_t Step;              // ms between frames
        std::vector<std::uint64_t> Told; // when the first reports come
    };
    for (const Case& c : std::vector<Case>{
             {20, {1000, 2000, 3000}}, {300, {1200, 2400, 3600}}, {1500, {1500, 3000, 4500}}}) {
        FrameRateMeter meter;
        std::vector<std::uint64_t> told;
        for (std::uint64_t now = 0; told.size() < c.Told.size() && now < 10000; now += c.Step)
            if (meter.Count(now)) {
                told.push_back(now);
                // The first measure counts its opening frame too.
                if (told.size() > 1) {
                    EXPECT_DOUBLE_EQ(meter.Rate(), 1000.0 / static_cast<double>(c.Step)) << now;
                }
                EXPECT_EQ(meter.Elapsed(), told.size() == 1 ? now : now - told[told.size() - 2]);
            }
        EXPECT_EQ(told, c.Told) << c.Step << " ms a frame";
    }
    // Pictures shown apart from the passes: both rates in the text, the passes' first.
    FrameRateOverlay overlay;
    for (std::uint64_t now = 0; now <= 2000; now += 20) {
        if (now % 40 == 0)
            overlay.CountShown(now);
        overlay.Count(now);
    }
    EXPECT_STREQ(overlay.Text(), "50.0 passes/s, 25.0 shown/s");
}

} // namespace
} // namespace lumivex
