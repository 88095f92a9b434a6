// The watcher's decisions (see idle_watcher.h); nothing here touches the system.
#include "platform/idle/idle_watcher.h"

namespace lumivex {

IdleStep IdleDecisions::Start() {
    IdleStep step;
    step.CancelTimer = timerArmed_;
    timerArmed_ = false;
    if (idle_ && !inhibited_ && !saverRunning_) {
        saverRunning_ = true;
        step.StartSaver = true;
    }
    return step;
}

IdleStep IdleDecisions::On(IdleEvent event) {
    IdleStep step;
    switch (event) {
    case IdleEvent::Idle:
        idle_ = true;
        return Start();
    case IdleEvent::TimerFired:
        return timerArmed_ ? Start() : step;
    case IdleEvent::Active:
    case IdleEvent::Inhibited:
        if (event == IdleEvent::Active)
            idle_ = false;
        else
            inhibited_ = true;
        step.CancelTimer = timerArmed_;
        timerArmed_ = false;
        return step;
    case IdleEvent::Uninhibited:
        inhibited_ = false;
        // The source said idle while held back and will not say it again before some input.
        if (idle_ && !saverRunning_)
            step.ArmTimer = timerArmed_ = true;
        return step;
    case IdleEvent::SaverEnded:
        // Ended without input (a crash, a signal from elsewhere): the next idle period, after
        // some input, starts the next one, so that a saver that cannot run is not run again and
        // again.
        saverRunning_ = false;
        return step;
    }
    return step;
}

} // namespace lumivex
