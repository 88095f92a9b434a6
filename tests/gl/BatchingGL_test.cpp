// The batching GL table: what the core's fifteen calls become on the ES side. The core draws
// through the process-wide GL table with the layer installed; the ES side is a recorder.
#include "gl/BatchingGL.h"

#include "elements/ElementsGL_.h"
#include "support/RecordingES.h"
#include "support/RecordingGL.h"
#include "view/LumivexGL_.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace lumivex;
using lumivex::testing::GLCall;
using lumivex::testing::RecordingES;
using lumivex::testing::StreamAt;

namespace {

class BatchingGLTest : public ::testing::Test {
  protected:
    BatchingGLTest() : saved_(GL) { Start(layer); }
    ~BatchingGLTest() override { GL = saved_; }

    void Start(BatchingGL& target, int samples = 0) {
        InstallBatchingGL(target);
        EXPECT_TRUE(target.Create(1024, 768, samples));
        es.Clear();
    }
    static void Lines(const std::vector<float>& xs) {
        GL.glBegin(GL_LINES);
        for (float x : xs)
            GL.glVertex2f(x, 0.5f);
        GL.glEnd();
    }

    RecordingES es;
    BatchingGL layer;
    GLEntryPoints saved_;
};

// One colour after glBegin for many vertices (TLine), and a colour before every vertex (TLine3):
// each vertex goes out with the colour current when it was given, and with the element's floats.
TEST_F(BatchingGLTest, EveryVertexKeepsItsFloatsAndTheColourCurrentWhenItWasGiven) {
    SetRandSeed(777);
    TLine line;
    TLine3 fading;
    const auto draw = [&] {
        for (TElement* element : {static_cast<TElement*>(&line), static_cast<TElement*>(&fading)}) {
            element->SetNumOfReflections(24);
            element->SetFullScreen(true);
            element->Prepare();
            element->Draw();
        }
    };
    std::vector<float> expected;
    {
        lumivex::testing::RecordingGL gl;
        draw();
        std::vector<double> color(4);
        for (const GLCall& call : gl.Calls())
            if (call.Name == "glColor4f")
                color = call.Args;
            else if (call.Name == "glVertex2f")
                for (double value :
                     {call.Args[0], call.Args[1], color[0], color[1], color[2], color[3]})
                    expected.push_back(static_cast<float>(value));
    }
    ASSERT_EQ(expected.size(), 2u * 24 * 28 * 2 * 6);
    SetRandSeed(777);
    draw();
    EXPECT_TRUE(es.Uploaded.empty()) << "the glFlush ending each Draw drew the batch";
    layer.EndFrame();
    EXPECT_EQ(es.Uploaded, expected);
    EXPECT_EQ(es.Of({"glDrawArrays"}).size(), 2u) << "the two elements' lines, the presentation";
}

// A run of the same state is one draw; a real state change, glClear and the end of the frame end
// it. Lines and the clear go to the offscreen picture (framebuffer 9, after two programs of three
// names, the buffer and the texture), which only glClear clears; every frame presents it.
TEST_F(BatchingGLTest, ARunOfTheSameStateIsOneDrawEndedByAChangeAClearOrTheFrame) {
    const auto elementState = [](float width) {
        GL.glEnable(GL_LINE_SMOOTH);
        GL.glEnable(GL_BLEND);
        GL.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        GL.glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
        GL.glLineWidth(width);
    };
    for (float width : {1.0f, 1.0f, 2.0f}) {
        elementState(width);
        Lines({1, 2, 3, 4});
        GL.glFlush();
    }
    layer.EndFrame();
    GL.glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    GL.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    elementState(2.0f);
    Lines({5, 6});
    GL.glClear(GL_COLOR_BUFFER_BIT);
    layer.EndFrame();
    EXPECT_TRUE(StreamAt(es.Of({"glEnable", "glDisable", "glBlendFunc", "glLineWidth",
                                "glDrawArrays", "glClearColor", "glClear", "glBindFramebuffer"}),
                         0,
                         {{"glEnable", {es::BLEND}},
                          {"glBlendFunc", {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA}},
                          {"glDrawArrays", {es::LINES, 0, 8}},
                          {"glLineWidth", {2}},
                          {"glDrawArrays", {es::LINES, 0, 4}},
                          {"glBindFramebuffer", {es::FRAMEBUFFER, 0}},
                          {"glDisable", {es::BLEND}},
                          {"glDrawArrays", {es::TRIANGLES, 0, 3}},
                          {"glBindFramebuffer", {es::FRAMEBUFFER, 9}},
                          {"glClearColor", {0, 0, 1, 1}},
                          {"glClear", {es::COLOR_BUFFER_BIT}},
                          {"glEnable", {es::BLEND}},
                          {"glDrawArrays", {es::LINES, 0, 2}},
                          {"glClearColor", {0, 0, 1, 1}},
                          {"glClear", {es::COLOR_BUFFER_BIT}},
                          {"glBindFramebuffer", {es::FRAMEBUFFER, 0}},
                          {"glDisable", {es::BLEND}},
                          {"glDrawArrays", {es::TRIANGLES, 0, 3}}}));
    EXPECT_EQ(es.Of({"glClear"}).size(), 2u);
}

// The framebuffer each call of `name` draws into (the read framebuffer for a blit), following the
// binds from a frame's end, where the default framebuffer is bound.
std::vector<double> TargetsOf(const std::vector<GLCall>& calls, const std::string& name) {
    double draw = 0, read = 0;
    std::vector<double> targets;
    for (const GLCall& call : calls) {
        if (call.Name == "glBindFramebuffer") {
            if (call.Args[0] != double{es::READ_FRAMEBUFFER})
                draw = call.Args[1];
            if (call.Args[0] != double{es::DRAW_FRAMEBUFFER})
                read = call.Args[1];
        } else if (call.Name == name &&
                   (name != "glDrawArrays" || call.Args[0] == double{es::LINES})) {
            targets.push_back(name == "glBlitFramebuffer" ? read : draw);
        }
    }
    return targets;
}

// With or without samples, glClear clears the picture the lines are drawn into, between frames
// and within one; with samples that is the multisampled one, which each frame's resolve reads.
TEST_F(BatchingGLTest, GlClearClearsThePictureTheLinesAreDrawnInto) {
    for (int samples : {0, 4}) {
        BatchingGL target;
        Start(target, samples);
        Lines({1, 2});
        target.EndFrame();
        es.Clear();
        GL.glClear(GL_COLOR_BUFFER_BIT);
        Lines({3, 4});
        GL.glClear(GL_COLOR_BUFFER_BIT);
        Lines({5, 6});
        target.EndFrame();
        const std::vector<double> lines = TargetsOf(es.Calls, "glDrawArrays");
        ASSERT_EQ(lines.size(), 2u) << samples;
        ASSERT_NE(lines[0], 0) << samples;
        EXPECT_EQ(lines[1], lines[0]) << samples;
        EXPECT_EQ(TargetsOf(es.Calls, "glClear"), std::vector<double>(2, lines[0])) << samples;
        EXPECT_EQ(TargetsOf(es.Calls, "glBlitFramebuffer"),
                  samples > 0 ? std::vector<double>{lines[0]} : std::vector<double>{})
            << samples;
    }
}

// More vertices than the buffer holds are drawn in several runs of whole lines; an unfinished
// line is dropped as GL drops it, so it never pairs with the next glBegin's first vertex.
TEST_F(BatchingGLTest, AGlBeginOfMoreThanAHundredThousandVerticesDrawsThemAll) {
    std::vector<float> xs(150001);
    for (std::size_t i = 0; i < xs.size(); ++i)
        xs[i] = static_cast<float>(i);
    Lines(xs);
    Lines({-1, -2});
    layer.EndFrame();
    // Two full buffers (65532 vertices each), then the rest with the next glBegin's line.
    EXPECT_TRUE(StreamAt(es.Of({"glDrawArrays"}), 0,
                         {{"glDrawArrays", {es::LINES, 0, 65532}},
                          {"glDrawArrays", {es::LINES, 0, 65532}},
                          {"glDrawArrays", {es::LINES, 0, 150000 - 2 * 65532 + 2}},
                          {"glDrawArrays", {es::TRIANGLES, 0, 3}}}));
    ASSERT_EQ(es.Uploaded.size(), 150002u * 6);
    xs.back() = -1;
    xs.push_back(-2);
    for (std::size_t i = 0; i < xs.size(); ++i)
        ASSERT_EQ(es.Uploaded[i * 6], xs[i]) << "vertex " << i;
}

// The view's projection of a 1280x720 view: its corners (x +-K*16/9, y +-K) land on the corners
// of clip space; the viewport is the view's while drawing, the target's while presenting.
TEST_F(BatchingGLTest, TheViewsProjectionMapsItsCornersToClipSpace) {
    TCustomLumivexGL view;
    view.ContextReady = true;
    view.HandleResize(1280, 720);
    Lines({0, 0});
    layer.EndFrame();
    const double y = 57.29577951308232, x = y * 16 / 9;
    const GLfloat* m = es.Transform;
    for (double sx : {-1.0, 1.0})
        for (double sy : {-1.0, 1.0}) {
            EXPECT_NEAR(m[0] * sx * x + m[4] * sy * y + m[12], sx, 1e-6);
            EXPECT_NEAR(m[1] * sx * x + m[5] * sy * y + m[13], sy, 1e-6);
        }
    EXPECT_EQ(m[15], 1.0f);
    EXPECT_TRUE(StreamAt(es.Of({"glViewport"}), 0,
                         {{"glViewport", {0, 0, 1280, 720}}, {"glViewport", {0, 0, 1024, 768}}}));
}

// A resize and a lost context make the target again, the state set before a loss holds after
// it, and until the context is back nothing is drawn; what the system refuses falls back
// (samples) or leaves a clear message.
TEST_F(BatchingGLTest, TheTargetIsMadeAgainAfterAResizeOrALostContext) {
    BatchingGL multisampled;
    Start(multisampled, 4);
    multisampled.Resize(800, 600);
    EXPECT_EQ(es.Of({"glRenderbufferStorageMultisample"}).back().Args,
              (std::vector<double>{es::RENDERBUFFER, 4, es::RGBA8, 800, 600}));
    GL.glEnable(GL_BLEND);
    GL.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    Lines({1, 2});
    multisampled.EndFrame();
    EXPECT_EQ(
        es.Of({"glBlitFramebuffer"}).at(0).Args,
        (std::vector<double>{0, 0, 800, 600, 0, 0, 800, 600, es::COLOR_BUFFER_BIT, es::NEAREST}));

    multisampled.ContextLost();
    es.Clear();
    Lines({1, 2});
    GL.glClear(GL_COLOR_BUFFER_BIT);
    multisampled.EndFrame();
    EXPECT_TRUE(es.Calls.empty());
    ASSERT_TRUE(multisampled.ContextRestored());
    Lines({1, 2});
    multisampled.EndFrame();
    EXPECT_EQ(es.Of({"glCreateProgram"}).size(), 2u);
    EXPECT_EQ(es.Of({"glTexImage2D"}).at(0).Args[3], 800);
    EXPECT_TRUE(StreamAt(
        es.Of({"glEnable", "glBlendFunc"}), 0,
        {{"glEnable", {es::BLEND}}, {"glBlendFunc", {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA}}}));

    BatchingGL refused;
    ASSERT_TRUE(refused.Create(640, 480, es.MaxSamples + 1));
    EXPECT_EQ(refused.Samples(), 0);
    const auto blit = std::exchange(ES.glBlitFramebuffer, nullptr);
    EXPECT_FALSE(refused.Create(640, 480));
    EXPECT_EQ(refused.Error(), "The OpenGL ES functions are not bound.");
    ES.glBlitFramebuffer = blit;
    es.ShadersCompile = false;
    EXPECT_FALSE(refused.Create(640, 480));
    EXPECT_EQ(refused.Error(), "The drawing shaders did not compile.");
    InstallBatchingGL(refused);
    es.Clear();
    Lines({1, 2});
    refused.EndFrame();
    EXPECT_TRUE(es.Calls.empty());
}

// A surface reaching past the picture shows the clear colour there, and its part of the picture;
// a size the system refuses draws nothing and leaves no target behind until one it makes.
TEST_F(BatchingGLTest, APartBeyondThePictureIsClearedAndARefusedSizeIsTriedAgain) {
    GL.glClearColor(0.25f, 0.5f, 0.75f, 1.0f);
    es.Clear();
    layer.Present(0, 0, 1024, 768);
    layer.Present(824, 0, 400, 768);
    layer.Present(0, -100, 1024, 868);
    const GLCall color = {"glClearColor", {0.25, 0.5, 0.75, 1}},
                 clear = {"glClear", {es::COLOR_BUFFER_BIT}};
    const auto blit = [](std::vector<double> rect) {
        rect.insert(rect.end(), {es::COLOR_BUFFER_BIT, es::NEAREST});
        return GLCall{"glBlitFramebuffer", rect};
    };
    const GLCall whole = blit({0, 0, 1024, 768, 0, 0, 1024, 768}),
                 part = blit({824, 0, 1024, 768, 0, 0, 200, 768}),
                 lower = blit({0, 0, 1024, 768, 0, 100, 1024, 868});
    const std::vector<GLCall> expected = {whole, color, clear, part, color, clear, lower};
    const std::vector<GLCall> calls = es.Of({"glClearColor", "glClear", "glBlitFramebuffer"});
    EXPECT_TRUE(calls.size() == expected.size() && StreamAt(calls, 0, expected));

    BatchingGL picture;
    Start(picture, 4);
    picture.Resize(16385, 768); // one more than the recorder makes
    EXPECT_EQ(picture.Error(), "The offscreen picture could not be made.");
    // The target before and the refused one: textures, and the multisampled one's framebuffer too.
    EXPECT_TRUE(es.Of({"glDeleteTextures"}).size() == 2u &&
                es.Of({"glDeleteFramebuffers"}).size() == 3u);
    for (const bool made : {false, true}) {
        es.Clear();
        if (made)
            picture.Resize(768, 16384);
        Lines({1, 2});
        picture.Resolve();
        picture.Present(0, 0, 1024, 768);
        EXPECT_TRUE(picture.Ready() == made && picture.Error().empty() == made &&
                    es.Of({"glDrawArrays"}).size() == (made ? 1u : 0u) && es.Calls.empty() == !made)
            << made;
    }
    EXPECT_EQ(picture.Samples(), 4);
}

// A picture shown in parts, one a surface (outputs of 1024x768 and 800x600 side by side, the
// second at the top): each frame draws into the offscreen picture, which nothing clears again, and
// copies each part over its own surface's whole default framebuffer without reading a default
// framebuffer, so whatever a swap does to the back buffer changes nothing. With samples the
// picture is resolved once a frame, before the copies.
TEST_F(BatchingGLTest, EachSurfacePresentsItsOwnPartOfAPictureThatSurvivesTheFrames) {
    for (int samples : {0, 4}) {
        SCOPED_TRACE(samples);
        BatchingGL picture;
        InstallBatchingGL(picture);
        es.Clear();
        ASSERT_TRUE(picture.Create(1824, 768, samples));
        // The picture's framebuffer, then the multisampled one lines are drawn into, if any.
        const std::vector<GLCall> made = es.Of({"glBindFramebuffer"});
        const double shown = made[0].Args[1], drawn = made[samples > 0 ? 1 : 0].Args[1];
        es.Clear();
        // A frame: the lines, the copies, then the picture bound again for the next lines.
        std::vector<GLCall> frame = {{"glDrawArrays", {es::LINES, 0, 2}}};
        const auto blit = [&](double read, double into, std::vector<double> rect) {
            frame.push_back({"glBindFramebuffer", {es::READ_FRAMEBUFFER, read}});
            frame.push_back({"glBindFramebuffer", {es::DRAW_FRAMEBUFFER, into}});
            rect.insert(rect.end(), {es::COLOR_BUFFER_BIT, es::NEAREST});
            frame.push_back({"glBlitFramebuffer", rect});
        };
        if (samples > 0)
            blit(drawn, shown, {0, 0, 1824, 768, 0, 0, 1824, 768});
        blit(shown, 0, {0, 0, 1024, 768, 0, 0, 1024, 768});
        blit(shown, 0, {1024, 168, 1824, 768, 0, 0, 800, 600});
        frame.push_back({"glBindFramebuffer", {es::FRAMEBUFFER, drawn}});
        for (int i = 0; i < 3; ++i) {
            Lines({1, 2});
            picture.Resolve();
            picture.Present(0, 0, 1024, 768);
            picture.Present(1024, 168, 800, 600);
        }
        EXPECT_TRUE(es.Of({"glClear"}).empty());
        const std::vector<GLCall> calls =
            es.Of({"glBindFramebuffer", "glDrawArrays", "glBlitFramebuffer"});
        const std::size_t first = samples > 0 ? 1 : 0;
        ASSERT_EQ(calls.size(), first + 3 * frame.size() - 1);
        for (std::size_t i = 0; i < 2; ++i)
            EXPECT_TRUE(StreamAt(calls, first + i * frame.size(), frame)) << "frame " << i;
    }
}

} // namespace
