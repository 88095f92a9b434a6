// Choice of the view's GLX visual: the single-buffered RGBA visual closest to the view's request
// (32 colour bits, 32 depth bits, no stencil, accumulation or auxiliary buffers, main plane).
// GoogleTest goes before Xlib, whose None macro breaks it.
#include <gtest/gtest.h>

#include "gl/OpenGL12.h"
#include "platform/x11/x11_glx.h"
#include "x11/DisplayTestSupport.h"

#include <X11/Xutil.h>

#include <array>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

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

// Contexts on a real display; tests/e2e/saver_window_loop.sh runs these on a virtual one. What
// GL draws must reach the screen, so the root window's pixels are read back.
namespace lumivex {
namespace {

class DrawOnFirstPaint : public WindowEvents {
  public:
    std::function<void()> Draw;
    int Paints = 0;
    void OnKeyDown(std::uint16_t) override {}
    void OnMouseDown() override {}
    void OnMouseMove(int, int) override {}
    void OnTimer(TimerId) override {}
    void OnPaint() override {
        if (Paints++ == 0 && Draw)
            Draw();
    }
    void OnResize(int, int) override {}
    bool OnCloseQuery() override { return true; }
    void OnClose() override {}
    void OnIdle() override {}
};

class GLContextOnDisplay : public OnDisplayTest {
  protected:
    // Makes the view's context, clears the view to pure red on its first paint and returns the
    // screen's pixel at its centre, as red, green and blue.
    std::array<int, 3> ClearToRedAndReadBack() {
        DrawOnFirstPaint events;
        frame = static_cast<Window>(platform->CreateSaverWindow(&events));
        const DeviceContext dc = platform->GetViewDeviceContext();
        const RenderContext rc = platform->CreateGLContext(dc, 32, 0, 0, 0, 0);
        EXPECT_NE(rc, 0);
        platform->ActivateGLContext(dc, rc);
        events.Draw = [&] {
            GL.glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
            GL.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            GL.glFlush();
            platform->RequestClose();
        };
        platform->SetIdleHandler(true);
        platform->RunModal();

        Display* display = platform->XConnection();
        const int screen = DefaultScreen(display);
        XImage* image =
            XGetImage(display, RootWindow(display, screen), DisplayWidth(display, screen) / 2,
                      DisplayHeight(display, screen) / 2, 1, 1, AllPlanes, ZPixmap);
        std::array<int, 3> rgb{-1, -1, -1};
        if (image != nullptr) {
            const unsigned long pixel = XGetPixel(image, 0, 0);
            ::Visual* visual = DefaultVisual(display, screen);
            auto channel = [&](unsigned long mask) {
                return static_cast<int>((pixel & mask) * 255 / mask);
            };
            rgb = {channel(visual->red_mask), channel(visual->green_mask),
                   channel(visual->blue_mask)};
            XDestroyImage(image);
        }
        platform->DeactivateGLContext();
        platform->DeleteGLContext(rc);
        return rgb;
    }

    // A GLX attribute of the view's visual (the view is the saver window's only child); -1 when
    // it cannot be read.
    int ViewConfig(int attribute) {
        Display* display = platform->XConnection();
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(display, frame, &root, &parent, &children, &count) == 0 || count != 1)
            return -1;
        XWindowAttributes attributes{};
        XGetWindowAttributes(display, children[0], &attributes);
        XFree(children);
        XVisualInfo pattern{};
        pattern.visualid = XVisualIDFromVisual(attributes.visual);
        int found = 0;
        XVisualInfo* info = XGetVisualInfo(display, VisualIDMask, &pattern, &found);
        int value = -1;
        if (info != nullptr && GetConfig() != nullptr)
            GetConfig()(display, info, attribute, &value);
        if (info != nullptr)
            XFree(info);
        return value;
    }

    // Whether the screen has a single-buffered RGBA GL visual with a 32-bit depth buffer.
    bool Offers32DepthBits() {
        using ChooseVisual = XVisualInfo* (*)(Display*, int, int*);
        const auto choose =
            reinterpret_cast<ChooseVisual>(platform->GetProcAddress(GLLibrary, "glXChooseVisual"));
        Display* display = platform->XConnection();
        int attributes[] = {GLX_RGBA, GLX_DEPTH_SIZE, 32, 0};
        XVisualInfo* offered = choose(display, DefaultScreen(display), attributes);
        if (offered != nullptr)
            XFree(offered);
        return offered != nullptr;
    }

    GLXGetConfigProc GetConfig() {
        return reinterpret_cast<GLXGetConfigProc>(
            platform->GetProcAddress(GLLibrary, "glXGetConfig"));
    }

    static constexpr int GLX_RGBA = 4;
    static constexpr int GLX_DOUBLEBUFFER = 5;
    static constexpr int GLX_DEPTH_SIZE = 12;
    Window frame = 0;
};

TEST_F(GLContextOnDisplay, WhatGLDrawsWithoutASwapReachesTheScreen) {
    ASSERT_TRUE(LoadOpenGL("OpenGL32.DLL", "GLU32.DLL"));
    EXPECT_EQ(ClearToRedAndReadBack(), (std::array<int, 3>{255, 0, 0}));
    EXPECT_EQ(ViewConfig(GLX_DOUBLEBUFFER), 0);
    // The view asks for 32 depth bits and takes them whenever the screen has them (Xvfb does).
    if (Offers32DepthBits()) {
        EXPECT_EQ(ViewConfig(GLX_DEPTH_SIZE), 32);
    }
}

// The window was made before GL was loaded, so with the screen's default visual.
TEST_F(GLContextOnDisplay, GLLoadedOnlyByTheContextStillDrawsOnTheView) {
    ASSERT_EQ(GLLibrary, nullptr);
    EXPECT_EQ(ClearToRedAndReadBack(), (std::array<int, 3>{255, 0, 0}));
    EXPECT_NE(GLLibrary, nullptr);
    EXPECT_EQ(ViewConfig(GLX_DOUBLEBUFFER), 0);
}

TEST_F(GLContextOnDisplay, AContextForAnythingButTheViewFailsWithTheXError) {
    ASSERT_TRUE(LoadOpenGL("OpenGL32.DLL", "GLU32.DLL"));
    // In X's terms, one line.
    try {
        platform->CreateGLContext(platform->GetViewDeviceContext(), 32, 0, 0, 0, 0);
        ADD_FAILURE() << "a context without a saver window";
    } catch (const EPlatformError& error) {
        EXPECT_EQ(error.what(),
                  std::string("cannot make the OpenGL context: BadDrawable (X error 9)"));
        EXPECT_EQ(platform->GetLastError(), 9u);
    }
    DrawOnFirstPaint events;
    platform->CreateSaverWindow(&events);
    EXPECT_THROW(platform->CreateGLContext(0x1234, 32, 0, 0, 0, 0), EPlatformError);
}

TEST_F(GLContextOnDisplay, AnOverlayNobodyOffersFailsWithBadMatch) {
    ASSERT_TRUE(LoadOpenGL("OpenGL32.DLL", "GLU32.DLL"));
    DrawOnFirstPaint events;
    platform->CreateSaverWindow(&events);
    try {
        platform->CreateGLContext(platform->GetViewDeviceContext(), 32, 0, 0, 0, 5);
        ADD_FAILURE() << "a context on overlay plane 5";
    } catch (const EPlatformError& error) {
        EXPECT_EQ(error.what(), std::string("cannot make the OpenGL context: BadMatch (X error 8): "
                                            "no single-buffered RGBA visual"));
    }
}

TEST_F(GLContextOnDisplay, DeletingNoContextOrAnUnknownOneDoesNothing) {
    platform->DeleteGLContext(0x5678); // nothing loaded yet
    platform->DeactivateGLContext();
    ASSERT_TRUE(LoadOpenGL("OpenGL32.DLL", "GLU32.DLL"));
    DrawOnFirstPaint events;
    platform->CreateSaverWindow(&events);
    const DeviceContext dc = platform->GetViewDeviceContext();
    const RenderContext rc = platform->CreateGLContext(dc, 32, 0, 0, 0, 0);
    platform->ActivateGLContext(dc, rc);
    const auto current =
        reinterpret_cast<void* (*)()>(platform->GetProcAddress(GLLibrary, "glXGetCurrentContext"));
    ASSERT_NE(current, nullptr);
    platform->DeleteGLContext(0);
    platform->DeleteGLContext(0x5678);
    EXPECT_EQ(reinterpret_cast<RenderContext>(current()), rc);
    platform->DeleteGLContext(rc); // the current one: none is current afterwards
    EXPECT_EQ(current(), nullptr);
}

} // namespace
} // namespace lumivex
