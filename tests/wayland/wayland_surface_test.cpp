// The size each output's picture is drawn at, and the view the outputs make side by side.
#include "platform/wayland/wayland_state.h"

#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace lumivex {
namespace {

// The whole scale of the output without a fractional one, the fractional one (120ths, rounded half
// away from zero) only where a viewport can show the larger buffer at the configured size.
TEST(PixelsOf, TheOutputsScaleOrTheFractionalOneWhereAViewportShowsIt) {
    const struct {
        int Width, Height, OutputScale, Preferred;
        bool Viewport;
        SurfacePixels Expected;
    } cases[] = {
        {1280, 720, 1, 0, false, {1280, 720, 1.0, false}},
        {400, 300, 2, 0, false, {800, 600, 2.0, false}},
        {400, 300, 2, 0, true, {800, 600, 2.0, false}},
        {400, 300, 2, 180, false, {800, 600, 2.0, false}},
        {1280, 720, 2, 150, true, {1600, 900, 1.25, true}},
        {1366, 768, 1, 180, true, {2049, 1152, 1.5, true}},
        {3, 2, 1, 150, true, {4, 3, 1.25, true}},
        {1280, 720, 0, 0, false, {1280, 720, 1.0, false}},
        {0, 0, 1, 90, true, {1, 1, 0.75, true}},
    };
    for (const auto& test : cases) {
        const SurfacePixels pixels =
            PixelsOf(test.Width, test.Height, test.OutputScale, test.Preferred, test.Viewport);
        EXPECT_TRUE(pixels.Width == test.Expected.Width && pixels.Height == test.Expected.Height &&
                    pixels.Scale == test.Expected.Scale &&
                    pixels.Fractional == test.Expected.Fractional)
            << "case " << &test - cases << ": " << pixels.Width << "x" << pixels.Height << " at "
            << pixels.Scale;
    }
}

// Outputs beyond the 16384 pixels a side the GL draws are cut off the view (one across the edge
// keeps its part inside); only the uncut layout tells the start-up that it is too large.
TEST(LayOutSurfaces, TheViewIsCutToWhatTheGLDrawsAndTheOutputsWithinItDraw) {
    // The outputs' sizes; the view's size, whether the uncut layout fits, its monitors.
    const std::pair<std::vector<std::array<int, 2>>, std::string> cases[] = {
        {{{8192, 4320}, {8192, 4320}}, "16384x4320 fits: 0,0,8192,4320 8192,0,8192,4320"},
        {{{8192, 4320}, {8193, 4320}}, "16384x4320 cut: 0,0,8192,4320 8192,0,8192,4320"},
        {{{600, 16384}}, "600x16384 fits: 0,0,600,16384"},
        {{{800, 16385}}, "800x16384 cut: 0,0,800,16384"},
        {{{16384, 600}, {640, 480}}, "16384x600 cut: 0,0,16384,600"}};
    WaylandPlatform platform;
    WaylandPlatform::DisplayState display;
    WaylandWindow window(platform, display, nullptr);
    for (const auto& [outputs, expected] : cases) {
        for (const auto& [width, height] : outputs) {
            window.surfaces.push_back(std::make_unique<WaylandSurface>());
            window.surfaces.back()->width = width;
            window.surfaces.back()->height = height;
        }
        EXPECT_TRUE(LayOutSurfaces(window));
        std::ostringstream view;
        view << window.width << "x" << window.height
             << (LayoutTooLarge(window).empty() ? " fits:" : " cut:");
        for (const ViewRect& r : ViewMonitors(window))
            view << " " << r.Left << "," << r.Top << "," << r.Width << "," << r.Height;
        EXPECT_EQ(view.str(), expected);
        window.surfaces.clear(); // nothing of the window system was made for them
    }
    EXPECT_EQ(LayoutTooLarge(window), // the last layout
              "the window is 17024x600 pixels, more than the 16384x16384 the GL draws");
}

} // namespace
} // namespace lumivex
