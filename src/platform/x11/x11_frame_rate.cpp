// The frame rate of --fps on the picture, where the hosts' other savers show theirs (the overlay
// every back end shares). It is drawn with GL after each frame: X drawing on the view would be
// painted over by the GL library's next flush of its own picture.
#include "gl/FrameRateOverlay.h"
#include "platform/x11/x11_glx.h"
#include "platform/x11/x11_window_state.h"

#include <memory>

namespace lumivex {

struct X11Platform::FrameRateState {
    FrameRateOverlay overlay;
};

void X11Platform::StateDeleter::operator()(FrameRateState* state) const {
    std::default_delete<FrameRateState>()(state);
}

bool X11Platform::PresentView() {
    WindowState* state = window_.get();
    if (!frameRateReport_ || state == nullptr || state->hostGone || !ViewContextCurrent(glx_.get()))
        return false;
    if (frameRate_ == nullptr)
        frameRate_ = std::make_unique<FrameRateState>();
    FrameRateOverlay& overlay = frameRate_->overlay;
    overlay.Count(NowMilliseconds());
    if (!overlay.HasText())
        return false;
    overlay.Draw(GL, state->width, state->height, state->background);
    return true;
}

} // namespace lumivex
