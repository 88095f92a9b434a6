// Frames a second as the --fps option shows them: counted frame by frame on the back end's
// millisecond clock and told once a second.
#pragma once

#include <cstdint>

namespace lumivex {

class FrameRateMeter {
  public:
    static constexpr std::uint64_t Interval = 1000;

    // Counts a frame drawn at `now`. True when a second or more has gone by since the measure
    // began: Rate() and Elapsed() then tell that measure, and the next one begins.
    bool Count(std::uint64_t now) {
        if (!started_) {
            started_ = true;
            since_ = now;
        }
        ++frames_;
        if (now - since_ < Interval)
            return false;
        elapsed_ = now - since_;
        rate_ = static_cast<double>(frames_) * 1000.0 / static_cast<double>(elapsed_);
        since_ = now;
        frames_ = 0;
        return true;
    }

    double Rate() const { return rate_; }
    std::uint64_t Elapsed() const { return elapsed_; }

  private:
    bool started_ = false;
    std::uint64_t since_ = 0;
    std::uint64_t frames_ = 0;
    std::uint64_t elapsed_ = 0;
    double rate_ = 0;
};

} // namespace lumivex
