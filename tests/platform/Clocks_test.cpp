// The two clocks the back ends without system timers share: the saver window's timers and the
// frame-rate meter of --fps, driven with made-up milliseconds.
#include "platform/FrameRateMeter.h"
#include "platform/SaverTimers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace lumivex {
namespace {

// However late the loop comes back, a timer fires once and is next due one period later.
TEST(SaverTimers, ALateTimerFiresOnceNotOnceForEveryPeriodItMissed) {
    struct Case {
        TimerId Id;
        std::uint64_t Late; // after its first due time
    };
    for (const Case c : std::vector<Case>{{TimerTick, 0},
                                          {TimerTick, 1},
                                          {TimerTick, 999},
                                          {TimerTick, 1000},
                                          {TimerTick, 4500},
                                          {TimerHideMouse, 2600},
                                          {TimerHideMouse, 50000}}) {
        SaverTimers timers;
        timers.SetEnabled(c.Id, true, 100);
        const std::uint64_t interval =
            c.Id == TimerTick ? SaverTimers::TickInterval : SaverTimers::HideMouseInterval;
        const std::uint64_t now = 100 + interval + c.Late;
        TimerId fired = c.Id == TimerTick ? TimerHideMouse : TimerTick;
        ASSERT_TRUE(timers.TakeDue(now, fired)) << c.Late;
        EXPECT_EQ(fired, c.Id) << c.Late;
        EXPECT_FALSE(timers.TakeDue(now, fired)) << "fired again at once, " << c.Late << " late";
        // A late firing moves the period on from when it fired; one on time keeps its rhythm.
        const std::uint64_t next = c.Late < interval ? now - c.Late + interval : now + interval;
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
}

} // namespace
} // namespace lumivex
