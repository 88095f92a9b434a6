// The pace of the idle passes and of the pictures shown, for the back ends that draw into an
// offscreen picture and show it when the display asks for one (Wayland's frame callbacks, the
// page's animation frames). Passes keep the pace Rest and the drawing set, as on a desktop that
// draws straight onto the screen; the display only decides when the picture is shown. Nothing
// drawn is lost between two pictures shown: the picture is never cleared, so the next one holds
// every pass drawn since.
//
// - The display asks for a picture (Asked); what was drawn since the last one shown is shown once
//   for that request (Drawn tells whether there is anything new).
// - Nothing shown, nothing drawn: when nothing has asked for a picture for StopAfter (the output
//   off, the tab hidden), the passes stop until something asks again.
// - A host that cannot wait (the page) moves the program's clock ahead when the program sleeps,
//   and at each frame runs the passes due on that clock, up to a share of the frame, never more
//   than a frame's worth late (a long gap is not caught up in a burst). The share is also a number
//   of passes that halves when a frame comes late and grows by one after a full frame on time: the
//   browser draws after the frame, so only the frames' pace tells what the passes cost.
//
// Milliseconds on the back end's clock, as doubles so that the page's fine clock keeps its pace.
#pragma once

#include <algorithm>
#include <cstdint>

namespace lumivex {

class PassPacer {
  public:
    static constexpr double StopAfter = 1000;
    // The share of a frame the page's passes take when more are due, leaving the browser the rest
    // of a 60 Hz frame to stay responsive and to show the picture.
    static constexpr double FrameBudget = 8;
    // How late a pass may start on the program's clock: a frame's worth, where frames come at
    // least this often; a slower display catches up no more.
    static constexpr double MaxCatchUp = 50;
    // A frame this long after the last came late: the browser could not draw what the last one
    // carried in time. Two refreshes of a 60 Hz display and a half: over 24 pictures a second stay
    // responsive, and a 30 Hz display's frames are on time.
    static constexpr double LateFrame = 2.5 * 1000 / 60;

    // The display asks for a picture.
    void Asked(double now) { asked_ = now; }
    // Whether idle passes run at `now`: a picture is asked for and not yet shown (`asking`), or
    // one was asked for less than StopAfter ago.
    bool PassesRun(double now, bool asking) const { return asking || now - asked_ < StopAfter; }

    // A pass or a paint drew into the picture.
    void Drew() { ++drawn_; }
    // Counts the picture drawn so far: a picture shown at another count has something new.
    std::uint64_t Drawn() const { return drawn_; }
    // The picture drawn so far was shown (for the meters): once, on however many outputs.
    void Shown() {
        if (shownPicture_ != drawn_)
            ++shown_;
        shownPicture_ = drawn_;
    }
    std::uint64_t PicturesShown() const { return shown_; }
    // Something was drawn since the last picture shown (or since the one Drawn counted `shown`).
    bool Unshown() const { return Unshown(shownPicture_); }
    bool Unshown(std::uint64_t shown) const { return drawn_ != shown; }

    // For a host whose showing takes the program's own time (Wayland: the resolve, copy and swap
    // run on its one thread): a picture is shown only in what is left of the rest after a pass,
    // so that showing never slows the pace, or once the picture shown is StaleAfter old, so that
    // a showing longer than the whole rest still shows several pictures a second. Without a rest
    // (Rest 0) nothing is gained by waiting: a picture is shown whenever a frame is due.
    static constexpr double StaleAfter = 100;
    // A pass ended at `now` and the program rests `rest` ms.
    void Resting(double now, double rest) {
        restEnd_ = now + rest;
        rests_ = rest > 0;
    }
    bool ShowFits(double now) const {
        return !rests_ || now + showCost_ <= restEnd_ || now - shownAt_ >= StaleAfter;
    }
    // A showing ran from `start` to `end`: its cost, averaged over the last few so that one
    // slow showing (the first, which sets the outputs' buffers up) does not hold the rest back.
    void ShowTook(double start, double end) {
        showCost_ += (end - start - showCost_) / 8;
        shownAt_ = end;
    }

    // The program's clock, for a host that cannot wait: the host's clock less how late the
    // running pass started, and ahead of it by what the program slept.
    double Now(double real) {
        clock_ = std::max(clock_, real - lag_);
        return clock_;
    }
    void Sleep(double real, double milliseconds) { clock_ = Now(real) + milliseconds; }
    // The program has slept as long as it asked.
    bool Rested(double real) const { return real >= clock_; }

    // A frame begins: a picture is asked for, and the passes due may run. After a long gap the
    // passes start again from now, as if nothing had been missed.
    void BeginFrame(double real) {
        const double interval = real - frameStart_;
        if (framesBegun_ && interval < StopAfter) {
            catchUp_ = std::min(interval, MaxCatchUp);
            // Never below the few passes a frame that Rest 5 takes: a frame late for another
            // reason (a loaded machine) must not slow a pace the display keeps up with.
            constexpr int FewPasses = 4;
            if (interval > LateFrame)
                framePassLimit_ = std::max(FewPasses, framePasses_ / 2);
            else if (framePasses_ >= framePassLimit_)
                ++framePassLimit_;
        } else {
            clock_ = std::max(clock_, real);
        }
        framesBegun_ = true;
        frameStart_ = real;
        framePasses_ = 0;
        Asked(real);
    }
    // Another pass in this frame: one is due, and it is the frame's first or the frame's budget
    // is not spent, in time and in passes.
    bool PassDue(double real) const {
        return Rested(real) && (framePasses_ == 0 || (real - frameStart_ < FrameBudget &&
                                                      framePasses_ < framePassLimit_));
    }
    // A pass starts on the program's clock where it was due: up to a frame late, so that passes
    // keep the pace of Rest on average, but no later.
    void BeginPass(double real) {
        lag_ = std::clamp(real - clock_, 0.0, catchUp_);
        ++framePasses_;
    }

  private:
    double asked_ = 0;
    std::uint64_t drawn_ = 0;
    std::uint64_t shown_ = 0;
    std::uint64_t shownPicture_ = 0;
    double clock_ = 0;
    double lag_ = 0;
    double catchUp_ = 1000.0 / 60; // until two frames tell the display's pace
    double frameStart_ = 0;
    bool framesBegun_ = false;
    int framePasses_ = 0;
    double restEnd_ = 0;
    bool rests_ = false;
    double showCost_ = 0;
    double shownAt_ = 0;
    int framePassLimit_ = 8; // a budget of millisecond passes, until the frames tell more
};

} // namespace lumivex
