// Placeholder until the saver window lands.
#include "shell/fmCanvas.h"

namespace lumivex {

void RunSaverWindow() {}

} // namespace lumivex
