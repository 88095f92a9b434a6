// The full-screen saver window: input, timers, the animation loop and the close rules.
#pragma once

namespace lumivex {

// Creates the saver window, shows it modally and releases it when the modal loop ends
// (also when the loop ended by an error, which then propagates).
void RunSaverWindow();

} // namespace lumivex
