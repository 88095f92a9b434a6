// For the tests that need an X display: a platform connected to it.
#pragma once

#include "platform/x11/x11_platform.h"

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

namespace lumivex {

// These tests show a full-screen window that grabs keyboard and pointer, so they run only when
// asked to (on a virtual display of their own), never on the desktop of whoever runs the tests.
inline bool DisplayTestsWanted() {
    const char* wanted = std::getenv("LUMIVEX_DISPLAY_TESTS");
    return wanted != nullptr && std::string(wanted) == "1";
}

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
