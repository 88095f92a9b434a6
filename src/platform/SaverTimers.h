// The saver window's two timers, for back ends whose system gives the loop no timers of its own
// (X11, the browser): due times on the back end's millisecond clock, fired as Windows fires
// WM_TIMER - the one due first, and a late timer once, not once for every period it missed -
// unless it keeps count.
#pragma once

#include "platform/Platform.h"

#include <algorithm>
#include <cstdint>

namespace lumivex {

class SaverTimers {
  public:
    static constexpr std::uint64_t HideMouseInterval = 500;
    static constexpr std::uint64_t TickInterval = 1000;

    // A running timer is not restarted: its period counts from when it was first enabled.
    void SetEnabled(TimerId id, bool enabled, std::uint64_t now) {
        Timer& timer = For(id);
        if (enabled && !timer.Enabled)
            timer.Due = now + timer.Interval;
        timer.Enabled = enabled;
    }

    bool IsEnabled(TimerId id) const { return For(id).Enabled; }

    // A timer that keeps count fires once for every period it missed, one after the other, so
    // that counting its firings keeps the time where the back end may not run for a long while
    // (a hidden page gets no frames): the tick's count of seconds then stays true.
    void KeepCount(TimerId id) { For(id).KeepsCount = true; }

    // The timer due first at `now`, with its next due time set; false when none is due.
    bool TakeDue(std::uint64_t now, TimerId& id) {
        Timer* due = nullptr;
        for (TimerId candidate : {TimerHideMouse, TimerTick}) {
            Timer& timer = For(candidate);
            if (timer.Enabled && timer.Due <= now && (due == nullptr || timer.Due < due->Due)) {
                due = &timer;
                id = candidate;
            }
        }
        if (due == nullptr)
            return false;
        due->Due += due->Interval;
        if (due->Due <= now && !due->KeepsCount)
            due->Due = now + due->Interval;
        return true;
    }

    // Milliseconds until a timer is due (0 when one is due now), at most `limit`.
    std::uint64_t Until(std::uint64_t now, std::uint64_t limit) const {
        for (const Timer* timer : {&hideMouse_, &tick_})
            if (timer->Enabled)
                limit = std::min(limit, timer->Due > now ? timer->Due - now : 0);
        return limit;
    }

  private:
    struct Timer {
        std::uint64_t Interval = 0;
        bool Enabled = false;
        bool KeepsCount = false;
        std::uint64_t Due = 0;
    };

    Timer& For(TimerId id) { return id == TimerHideMouse ? hideMouse_ : tick_; }
    const Timer& For(TimerId id) const { return id == TimerHideMouse ? hideMouse_ : tick_; }

    Timer hideMouse_{HideMouseInterval};
    Timer tick_{TickInterval};
};

} // namespace lumivex
