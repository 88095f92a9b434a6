// For the tests that need an X display: a platform connected to it.
#pragma once

#include "gl/OpenGL12.h"
#include "platform/x11/x11_platform.h"

#include <gtest/gtest.h>

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

// Fixture of the display-bound suites: a connected platform for each test, and nothing left
// behind (window, GL libraries) when it ends.
class OnDisplayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!DisplayTestsWanted())
            GTEST_SKIP() << "runs on a virtual display: tests/e2e/saver_window_loop.sh";
        platform = ConnectedPlatform();
        if (platform == nullptr)
            GTEST_SKIP() << "the X display does not answer";
        SetPlatform(platform.get());
    }
    void TearDown() override {
        if (platform == nullptr)
            return;
        platform->DestroySaverWindow();
        CloseOpenGL();
        platform.reset();
    }

    std::unique_ptr<X11Platform> platform;
};

} // namespace lumivex
