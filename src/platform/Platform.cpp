// Holder of the process-wide platform pointer, and the close rule both modal loops follow.
#include "platform/Platform.h"

#include <cassert>

namespace lumivex {

namespace {
Platform* current = nullptr;
}

Platform& GetPlatform() {
    assert(current != nullptr && "SetPlatform must run first");
    return *current;
}

void SetPlatform(Platform* platform) {
    current = platform;
}

bool RunPendingCloseQuery(WindowEvents& events, bool& closeRequested) {
    if (!closeRequested)
        return false;
    closeRequested = false;
    if (!events.OnCloseQuery())
        return false;
    events.OnClose();
    return true;
}

} // namespace lumivex
