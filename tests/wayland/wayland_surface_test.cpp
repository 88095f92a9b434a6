// The size each output's picture is drawn at: device pixels of the configured size; and the
// view the outputs' pictures make side by side.
#include "platform/wayland/wayland_state.h"

#include <gtest/gtest.h>

#include <array>
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

std::vector<std::array<int, 4>> Rects(const std::vector<ViewRect>& rects) {
    std::vector<std::array<int, 4>> plain;
    for (const ViewRect& rect : rects)
        plain.push_back({rect.Left, rect.Top, rect.Width, rect.Height});
    return plain;
}

// Outputs together wider or taller than the GL draws (16384 pixels a side) make a view cut to
// that size: the outputs within it draw (one across the edge, its part inside), those beyond it
// are left out, and only the uncut layout tells the start-up that it is too large.
TEST(LayOutSurfaces, TheViewIsCutToWhatTheGLDrawsAndTheOutputsWithinItDraw) {
    struct Size {
        int Width, Height;
    };
    const struct {
        std::vector<Size> Outputs;
        Size View;
        bool Fits;
        std::vector<std::array<int, 4>> Monitors;
    } cases[] = {
        {{{1920, 1080}, {1280, 1024}},
         {3200, 1080},
         true,
         {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}}},
        {{{8192, 4320}, {8192, 4320}},
         {16384, 4320},
         true,
         {{0, 0, 8192, 4320}, {8192, 0, 8192, 4320}}},
        {{{8192, 4320}, {8193, 4320}},
         {16384, 4320},
         false,
         {{0, 0, 8192, 4320}, {8192, 0, 8192, 4320}}},
        {{{16384, 16384}}, {16384, 16384}, true, {{0, 0, 16384, 16384}}},
        {{{16385, 600}}, {16384, 600}, false, {{0, 0, 16384, 600}}},
        {{{800, 16385}}, {800, 16384}, false, {{0, 0, 800, 16384}}},
        {{{16384, 600}, {640, 480}}, {16384, 600}, false, {{0, 0, 16384, 600}}},
    };
    WaylandPlatform platform;
    WaylandPlatform::DisplayState display;
    WaylandWindow window(platform, display, nullptr);
    for (const auto& test : cases) {
        SCOPED_TRACE(&test - cases);
        for (const Size& output : test.Outputs) {
            window.surfaces.push_back(std::make_unique<WaylandSurface>());
            window.surfaces.back()->width = output.Width;
            window.surfaces.back()->height = output.Height;
        }
        EXPECT_TRUE(LayOutSurfaces(window));
        EXPECT_EQ(window.width, test.View.Width);
        EXPECT_EQ(window.height, test.View.Height);
        EXPECT_EQ(ViewFitsGL(window.layoutWidth, window.layoutHeight), test.Fits);
        EXPECT_EQ(Rects(ViewMonitors(window)), test.Monitors);
        // Nothing of the window system was made for them.
        window.surfaces.clear();
    }
}

} // namespace
} // namespace lumivex
