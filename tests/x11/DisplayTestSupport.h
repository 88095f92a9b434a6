// For the tests that need an X display: a platform connected to it.
#pragma once

#include "platform/x11/x11_platform.h"

#include <chrono>
#include <memory>
#include <thread>

namespace lumivex {

// A busy X server refuses connections now and then (its listen queue is full), so a few
// attempts are made; nullptr when the display does not answer at all.
inline std::unique_ptr<X11Platform> ConnectedPlatform() {
    for (int attempt = 0; attempt < 20; ++attempt) {
        auto platform = std::make_unique<X11Platform>();
        if (platform->XConnection() != nullptr)
            return platform;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return nullptr;
}

} // namespace lumivex
