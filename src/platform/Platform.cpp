// Holder of the process-wide platform pointer.
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

} // namespace lumivex
