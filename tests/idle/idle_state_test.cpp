// The idle watcher's decisions: one saver an idle period, none while one runs or while idleness is
// held back, and a whole idle time again once an inhibition is lifted.
#include "platform/idle/idle_watcher.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumivex {
namespace {

using enum IdleEvent;

// What the steps did, letters for each: S started a saver, A armed the timer, C cancelled it,
// '.' nothing.
std::string Steps(const std::vector<IdleEvent>& events) {
    IdleDecisions decisions;
    std::string done;
    for (IdleEvent event : events) {
        const IdleStep step = decisions.On(event);
        std::string letters = std::string(step.StartSaver ? "S" : "") + (step.ArmTimer ? "A" : "") +
                              (step.CancelTimer ? "C" : "");
        done += letters.empty() ? "." : letters;
    }
    return done;
}

TEST(IdleDecisions, OneSaverAnIdlePeriod) {
    // Idle starts a saver; the input that ends it and the saver's end start nothing; the next
    // idle period starts the next.
    EXPECT_EQ(Steps({Idle, Active, SaverEnded, Idle}), "S..S");
    // The saver's end may come before the source tells the input.
    EXPECT_EQ(Steps({Idle, SaverEnded, Active, Idle}), "S..S");
    // No second saver while one runs.
    EXPECT_EQ(Steps({Idle, Idle}), "S.");
}

TEST(IdleDecisions, ASaverThatEndsWithoutInputIsNotRunAgainAtOnce) {
    EXPECT_EQ(Steps({Idle, SaverEnded, TimerFired, Active, Idle}), "S...S");
}

TEST(IdleDecisions, HeldBackNoSaverStartsAndAWholeIdleTimeFollowsTheLift) {
    EXPECT_EQ(Steps({Inhibited, Idle, Uninhibited, TimerFired}), "..ASC"); // the timer spent
    // Input during that time cancels it; the source's next idle starts the saver.
    EXPECT_EQ(Steps({Inhibited, Idle, Uninhibited, Active, TimerFired, Idle}), "..AC.S");
    // Held back again during that time: nothing until the next lift.
    EXPECT_EQ(Steps({Inhibited, Idle, Uninhibited, Inhibited, TimerFired, Uninhibited}), "..AC.A");
    // Lifted while the session is in use, or while a saver runs: no timer.
    EXPECT_EQ(Steps({Inhibited, Uninhibited, Idle}), "..S");
    EXPECT_EQ(Steps({Idle, Inhibited, Uninhibited}), "S..");
}

} // namespace
} // namespace lumivex
