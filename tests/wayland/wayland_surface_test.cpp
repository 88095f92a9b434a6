// The size each output's picture is drawn at: device pixels of the configured size.
#include "platform/wayland/wayland_state.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace lumivex
