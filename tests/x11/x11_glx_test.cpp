// Choice of the view's GLX visual: the single-buffered RGBA visual closest to the view's request
// (32 colour bits, 32 depth bits, no stencil, accumulation or auxiliary buffers, main plane).
// GoogleTest goes before Xlib, whose None macro breaks it.
#include <gtest/gtest.h>

#include "platform/x11/x11_glx.h"

namespace lumivex {
namespace {

// A visual as Mesa offers them on a 24-bit screen: RGBA, 8 bits a channel and 8 of alpha.
GLVisualTraits Visual(int depthBits, int stencilBits = 0, bool doubleBuffered = false) {
    GLVisualTraits visual;
    visual.UsesGL = true;
    visual.Rgba = true;
    visual.DoubleBuffered = doubleBuffered;
    visual.BufferSize = 32;
    visual.DepthSize = depthBits;
    visual.StencilSize = stencilBits;
    visual.ScreenDepth = true;
    visual.DirectPixels = true;
    return visual;
}

TEST(ClosestGLVisual, OnlySingleBufferedRgbaGLVisualsOfTheLayerQualify) {
    const GLVisualRequest view;
    EXPECT_EQ(ClosestGLVisual({}, view), -1);
    EXPECT_EQ(ClosestGLVisual({Visual(32, 0, true)}, view), -1);

    GLVisualTraits colorIndex = Visual(32);
    colorIndex.Rgba = false;
    GLVisualTraits noGL = Visual(32);
    noGL.UsesGL = false;
    GLVisualTraits stereo = Visual(32);
    stereo.Stereo = true;
    GLVisualTraits overlay = Visual(32);
    overlay.Level = 1;
    EXPECT_EQ(ClosestGLVisual({colorIndex, noGL, stereo, overlay}, view), -1);
    // A poorer but usable visual is still taken.
    EXPECT_EQ(ClosestGLVisual({colorIndex, Visual(0, 8), overlay}, view), 1);

    GLVisualRequest overlayRequest;
    overlayRequest.Layer = 1;
    EXPECT_EQ(ClosestGLVisual({Visual(32), overlay}, overlayRequest), 1);
}

TEST(ClosestGLVisual, DepthBufferNearestThirtyTwoBits) {
    const GLVisualRequest view;
    EXPECT_EQ(ClosestGLVisual({Visual(0), Visual(16), Visual(24), Visual(32)}, view), 3);
    EXPECT_EQ(ClosestGLVisual({Visual(0), Visual(24), Visual(16)}, view), 1);
}

TEST(ClosestGLVisual, NoStencilAccumulationOrAuxiliaryBuffersWhenNoneAreAsked) {
    const GLVisualRequest view;
    GLVisualTraits accumulation = Visual(24);
    accumulation.AccumSize = 64;
    GLVisualTraits auxiliary = Visual(24);
    auxiliary.AuxBuffers = 2;
    EXPECT_EQ(ClosestGLVisual({Visual(24, 8), accumulation, auxiliary, Visual(24)}, view), 3);

    GLVisualRequest stencil;
    stencil.StencilBits = 8;
    EXPECT_EQ(ClosestGLVisual({Visual(24), Visual(24, 8)}, stencil), 1);
}

// A 32-bit ARGB visual would make the saver see-through under a compositor.
TEST(ClosestGLVisual, TheScreensOwnDepthComesBeforeEverythingElse) {
    const GLVisualRequest view;
    GLVisualTraits argb = Visual(32);
    argb.ScreenDepth = false;
    EXPECT_EQ(ClosestGLVisual({argb, Visual(16, 8)}, view), 1);
}

TEST(ClosestGLVisual, ColourBitsNearestTheRequestThenTrueColorThenFirst) {
    const GLVisualRequest view;
    GLVisualTraits noAlpha = Visual(32);
    noAlpha.BufferSize = 24;
    EXPECT_EQ(ClosestGLVisual({noAlpha, Visual(32)}, view), 1);

    GLVisualTraits directColor = Visual(32);
    directColor.DirectPixels = false;
    EXPECT_EQ(ClosestGLVisual({directColor, Visual(32)}, view), 1);
    EXPECT_EQ(ClosestGLVisual({Visual(32), Visual(32)}, view), 0);
}

} // namespace
} // namespace lumivex
