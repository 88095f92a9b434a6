// The frame rate of --fps (and of the page's ?fps) on the picture: "N.N fps" at the bottom left,
// measured once a second (where pictures are shown at the display's pace rather than one a frame
// drawn, "N.N passes/s, N.N shown/s"), on a small box of the background colour so that the
// trails elsewhere stay. Drawn after each frame with the fifteen functions of the GL table, as
// triangles in the view's pixels from glyphs of its own, so every back end draws the same text the
// same way.
#pragma once

#include "gl/OpenGL12.h"
#include "platform/FrameRateMeter.h"

#include <cstdint>

namespace lumivex {

class FrameRateOverlay {
  public:
    // Counts a frame drawn at `now`; true when a second has been measured and the text changed.
    bool Count(std::uint64_t now);
    // Counts a picture shown at `now`, where the back end shows them apart from the frames drawn.
    void CountShown(std::uint64_t now);
    const FrameRateMeter& ShownMeter() const { return shown_; }
    // Nothing to show before the first second has been measured.
    bool HasText() const { return text_[0] != '\0'; }
    const char* Text() const { return text_; }
    const FrameRateMeter& Meter() const { return meter_; }

    // Draws the text through `gl` over the bottom left of a view of the given size (its viewport
    // and projection then are the overlay's: the view sets its own again). `background` is
    // 0x00BBGGRR; the text is light on a dark background, dark on a light one.
    void Draw(const GLEntryPoints& gl, int viewWidth, int viewHeight,
              std::uint32_t background) const;
    // The box the text is drawn on, from the bottom left corner of the view.
    int BoxWidth() const { return boxWidth_; }
    static int BoxHeight();

  private:
    FrameRateMeter meter_;
    FrameRateMeter shown_;
    bool countsShown_ = false;
    char text_[32] = {};
    int boxWidth_ = 0; // only grows, so a shorter rate leaves no digit of a longer one behind
};

} // namespace lumivex
