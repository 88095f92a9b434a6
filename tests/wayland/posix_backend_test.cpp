// Which window system a run draws on, from its environment and whether a host gives the window.
#include "platform/posix/posix_backend.h"

#include "platform/options/hack_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumivex {
namespace {

TEST(ChooseBackend, WaylandWhereItMayBeUsedX11ForHostsAndAsTheFallback) {
    constexpr Backend X = Backend::X11;
    constexpr Backend W = Backend::Wayland;
    const struct {
        const char* Forced;
        const char* Wayland;
        const char* X;
        bool Hosted;
        Backend First;
        bool FallBack;
        bool Error;
    } cases[] = {
        // A Wayland session (with or without Xwayland) tries Wayland, falling back quietly.
        {nullptr, "wayland-1", ":0", false, W, true, false},
        {nullptr, "wayland-1", nullptr, false, W, true, false},
        // X alone stays on X; no display at all tries the compositor's default socket.
        {nullptr, nullptr, ":0", false, X, false, false},
        {nullptr, "", ":0", false, X, false, false},
        {nullptr, nullptr, nullptr, false, W, true, false},
        {"", nullptr, "", false, W, true, false},
        // A host's window is an X window, whatever is asked.
        {nullptr, "wayland-1", ":0", true, X, false, false},
        {"wayland", "wayland-1", ":0", true, X, false, false},
        // Forced: that one only, failing loudly.
        {"x11", "wayland-1", ":0", false, X, false, false},
        {"wayland", nullptr, ":0", false, W, false, false},
        {"Wayland", "wayland-1", ":0", false, X, false, true},
        {"gtk", nullptr, nullptr, false, X, false, true},
    };
    for (const auto& test : cases) {
        const BackendChoice choice = ChooseBackend(test.Forced, test.Wayland, test.X, test.Hosted);
        EXPECT_EQ(!choice.Error.empty(), test.Error) << choice.Error;
        EXPECT_TRUE(test.Error || (choice.First == test.First && choice.FallBack == test.FallBack))
            << "case " << &test - cases;
    }
}

// The windows a run is given are X windows: a host's (its options or XSCREENSAVER_WINDOW), a
// preview's (mode letter P, read as the start-up reads it) and any on a display named with
// --display. Everything else shows a window of its own.
TEST(InGivenWindow, AHostsAPreviewsOrANamedDisplaysWindow) {
    const struct {
        std::vector<std::string> Arguments;
        const char* HostWindow;
        bool Given;
    } cases[] = {
        {{"/p", "1234"}, nullptr, true},
        {{"-P"}, nullptr, true},
        {{"/p:99"}, nullptr, true},
        {{"/s"}, nullptr, false},
        {{"ps"}, nullptr, false},
        {{""}, nullptr, false},
        {{"--root"}, nullptr, true},
        {{"--window-id", "0x400001"}, nullptr, true},
        {{}, "0x400001", true},
        {{"--display", ":1"}, nullptr, true},
        {{"--count", "7"}, nullptr, false},
    };
    for (const auto& test : cases) {
        const HostOptions options = ParseHostOptions(test.Arguments, test.HostWindow);
        EXPECT_EQ(InGivenWindow(options, test.Arguments), test.Given) << "case " << &test - cases;
    }
}

} // namespace
} // namespace lumivex
