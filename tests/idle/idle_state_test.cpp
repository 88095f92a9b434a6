// The idle watcher's decisions, apart from any bus, display or child.
#include "platform/idle/idle_watcher.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace lumivex {
namespace {

// The watcher's decisions: one saver an idle period, none while one runs or while idleness is held
// back, and a whole idle time again once an inhibition is lifted.
TEST(IdleDecisions, OneSaverAnIdlePeriodAndAWholeIdleTimeAfterAnInhibitionIsLifted) {
    using enum IdleEvent;
    // What each step did: S started a saver, A armed the timer, C cancelled it, '.' nothing.
    const std::pair<std::vector<IdleEvent>, std::string> cases[] = {
        {{Idle, Idle, Active, SaverEnded, Idle}, "S...S"},       // none while one runs
        {{Idle, SaverEnded, TimerFired, Active, Idle}, "S...S"}, // not again without input
        {{Inhibited, Idle, Uninhibited, Active, TimerFired, Idle}, "..AC.S"}, // input cancels it
        {{Inhibited, Idle, Uninhibited, Inhibited, TimerFired, Uninhibited}, "..AC.A"},
        {{Inhibited, Uninhibited, Idle}, "..S"}, // lifted while the session is in use: no timer
    };
    for (const auto& [events, expected] : cases) {
        IdleDecisions decisions;
        std::string done;
        for (IdleEvent event : events) {
            const IdleStep step = decisions.On(event);
            const std::string letters = std::string(step.StartSaver ? "S" : "") +
                                        (step.ArmTimer ? "A" : "") + (step.CancelTimer ? "C" : "");
            done += letters.empty() ? "." : letters;
        }
        EXPECT_EQ(done, expected);
    }
}

} // namespace
} // namespace lumivex
