// The batching GL table: what the core's fifteen calls become on the ES side. The core draws
// through the process-wide GL table with the layer installed; the ES side is a recorder.
#include "gl/BatchingGL.h"

#include "elements/ElementsGL_.h"
#include "support/AllocationCounter.h"
#include "support/RecordingES.h"
#include "support/RecordingGL.h"
#include "view/LumivexGL_.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

using namespace lumivex;
using lumivex::testing::GLCall;
using lumivex::testing::RecordingES;
using lumivex::testing::RecordingGL;
using lumivex::testing::StreamAt;

namespace {

class BatchingGLTest : public ::testing::Test {
  protected:
    BatchingGLTest() : saved_(GL) {
        InstallBatchingGL(layer);
        EXPECT_TRUE(layer.Create(1024, 768));
        es.Clear();
    }
    ~BatchingGLTest() override { GL = saved_; }

    void Lines(std::vector<float> xs) {
        GL.glBegin(GL_LINES);
        for (float x : xs)
            GL.glVertex2f(x, 0.5f);
        GL.glEnd();
    }
    // The ES calls of the given names, in order.
    std::vector<GLCall> Of(std::vector<std::string> names) const {
        std::vector<GLCall> calls;
        for (const GLCall& call : es.Calls)
            if (std::find(names.begin(), names.end(), call.Name) != names.end())
                calls.push_back(call);
        return calls;
    }
    std::vector<float> Uploaded() const {
        std::vector<float> all;
        for (const auto& upload : es.Uploads)
            all.insert(all.end(), upload.begin(), upload.end());
        return all;
    }

    RecordingES es;
    BatchingGL layer;

  private:
    GLEntryPoints saved_;
};

// One colour after glBegin for many vertices, and a colour before every vertex: each vertex goes
// out with the colour current when it was given, and with the very floats the element gave.
TEST_F(BatchingGLTest, EveryVertexKeepsItsFloatsAndTheColourCurrentWhenItWasGiven) {
    SetRandSeed(777);
    TLine line;
    TLine3 fading;
    for (TElement* element : {static_cast<TElement*>(&line), static_cast<TElement*>(&fading)}) {
        element->SetAlpha(true);
        element->SetNumOfReflections(24);
        element->SetFullScreen(true);
        element->Prepare();
    }
    std::vector<float> expected;
    {
        RecordingGL gl;
        line.Draw();
        fading.Draw();
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
    line.Draw();
    fading.Draw();
    EXPECT_TRUE(es.Uploads.empty()) << "glFlush at the end of each Draw drew the batch";
    layer.EndFrame();
    EXPECT_EQ(Uploaded(), expected);
    EXPECT_EQ(es.Count("glDrawArrays"), 2u) << "the two elements' lines, then the presentation";
}

// A run of the same state is one draw; a real state change, glClear and the end of the frame
// each end it; the picture is cleared only by glClear and presented every frame.
TEST_F(BatchingGLTest, ARunOfTheSameStateIsOneDrawEndedByAChangeAClearOrTheFrame) {
    const auto elementState = [](float width) {
        GL.glEnable(GL_LINE_SMOOTH);
        GL.glEnable(GL_BLEND);
        GL.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        GL.glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
        GL.glLineWidth(width);
    };
    elementState(1.0f);
    Lines({1, 2, 3, 4});
    GL.glFlush();
    elementState(1.0f);
    Lines({5, 6});
    GL.glFlush();
    EXPECT_EQ(es.Count("glDrawArrays"), 0u);
    elementState(2.0f);
    Lines({7, 8});
    GL.glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    GL.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    elementState(2.0f);
    Lines({9, 10});
    layer.EndFrame();
    Lines({11, 12});
    layer.EndFrame();

    EXPECT_TRUE(StreamAt(Of({"glEnable", "glBlendFunc", "glLineWidth", "glDrawArrays", "glClear",
                             "glClearColor", "glDisable"}),
                         0,
                         {{"glEnable", {es::BLEND}},
                          {"glBlendFunc", {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA}},
                          {"glDrawArrays", {es::LINES, 0, 6}},
                          {"glLineWidth", {2}},
                          {"glDrawArrays", {es::LINES, 0, 2}},
                          {"glClearColor", {0, 0, 1, 1}},
                          {"glClear", {es::COLOR_BUFFER_BIT}},
                          {"glDrawArrays", {es::LINES, 0, 2}},
                          {"glDisable", {es::BLEND}},
                          {"glDrawArrays", {es::TRIANGLES, 0, 3}},
                          {"glEnable", {es::BLEND}},
                          {"glDrawArrays", {es::LINES, 0, 2}},
                          {"glDisable", {es::BLEND}},
                          {"glDrawArrays", {es::TRIANGLES, 0, 3}}}));
    EXPECT_EQ(es.Count("glClear"), 1u);
    // Lines and the clear go to the offscreen picture (framebuffer 9, after two programs of three
    // names, the buffer and the texture), the presentation to the canvas.
    EXPECT_TRUE(StreamAt(Of({"glBindFramebuffer", "glClear", "glDrawArrays"}), 0,
                         {{"glDrawArrays", {es::LINES, 0, 6}},
                          {"glDrawArrays", {es::LINES, 0, 2}},
                          {"glClear", {es::COLOR_BUFFER_BIT}},
                          {"glDrawArrays", {es::LINES, 0, 2}},
                          {"glBindFramebuffer", {es::FRAMEBUFFER, 0}},
                          {"glDrawArrays", {es::TRIANGLES, 0, 3}},
                          {"glBindFramebuffer", {es::FRAMEBUFFER, 9}},
                          {"glDrawArrays", {es::LINES, 0, 2}},
                          {"glBindFramebuffer", {es::FRAMEBUFFER, 0}},
                          {"glDrawArrays", {es::TRIANGLES, 0, 3}}}));
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

    std::size_t drawn = 0;
    for (const GLCall& draw : es.Only("glDrawArrays"))
        if (draw.Args[0] == double{es::LINES}) {
            EXPECT_EQ(static_cast<std::size_t>(draw.Args[2]) % 2, 0u);
            drawn += static_cast<std::size_t>(draw.Args[2]);
        }
    EXPECT_EQ(drawn, 150002u);
    EXPECT_GE(es.Uploads.size(), 3u);
    const std::vector<float> all = Uploaded();
    ASSERT_EQ(all.size(), 150002u * 6);
    for (std::size_t i = 0; i < 150000; ++i)
        ASSERT_EQ(all[i * 6], static_cast<float>(i)) << "vertex " << i;
    EXPECT_EQ(all[150000 * 6], -1.0f);
    EXPECT_EQ(all[150001 * 6], -2.0f);
}

// The view's projection: its corners land on the corners of clip space, in landscape and
// portrait; the viewport is the view's.
TEST_F(BatchingGLTest, TheViewsProjectionMapsItsCornersToClipSpace) {
    TCustomLumivexGL view;
    view.ContextReady = true;
    for (auto [width, height] : {std::pair{1024.0, 768.0}, std::pair{768.0, 1024.0}}) {
        view.HandleResize(static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height));
        Lines({0, 0});
        layer.EndFrame();
        const double K = 57.29577951308232;
        const double x = width > height ? K * width / height : K;
        const double y = width > height ? K : K * height / width;
        const GLfloat* m = es.Transform;
        for (double sx : {-1.0, 1.0})
            for (double sy : {-1.0, 1.0}) {
                EXPECT_NEAR(m[0] * sx * x + m[4] * sy * y + m[12], sx, 1e-6);
                EXPECT_NEAR(m[1] * sx * x + m[5] * sy * y + m[13], sy, 1e-6);
            }
        EXPECT_EQ(m[15], 1.0f);
        EXPECT_TRUE(
            StreamAt(es.Only("glViewport"), es.Count("glViewport") - 2,
                     {{"glViewport", {0, 0, width, height}}, {"glViewport", {0, 0, 1024, 768}}}));
    }
}

// A resize and a lost context make the target again; until the context is back nothing is
// drawn; what the system refuses falls back (samples) or leaves a clear message (shaders).
TEST_F(BatchingGLTest, TheTargetIsMadeAgainAfterAResizeOrALostContext) {
    BatchingGL layer;
    InstallBatchingGL(layer);
    ASSERT_TRUE(layer.Create(1024, 768, 4));
    EXPECT_EQ(layer.Samples(), 4);
    layer.Resize(800, 600);
    EXPECT_EQ(es.Only("glRenderbufferStorageMultisample").back().Args,
              (std::vector<double>{es::RENDERBUFFER, 4, es::RGBA8, 800, 600}));
    EXPECT_EQ(es.Only("glTexImage2D").back().Args[3], 800);
    es.Clear();
    GL.glEnable(GL_BLEND);
    GL.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    Lines({1, 2});
    layer.EndFrame();
    EXPECT_EQ(
        es.Only("glBlitFramebuffer").at(0).Args,
        (std::vector<double>{0, 0, 800, 600, 0, 0, 800, 600, es::COLOR_BUFFER_BIT, es::NEAREST}));

    layer.ContextLost();
    es.Clear();
    Lines({1, 2});
    GL.glClear(GL_COLOR_BUFFER_BIT);
    layer.EndFrame();
    EXPECT_TRUE(es.Calls.empty());
    ASSERT_TRUE(layer.ContextRestored());
    EXPECT_EQ(es.Count("glCreateProgram"), 2u);
    Lines({1, 2});
    layer.EndFrame();
    // The state set before the loss holds in the new context too.
    EXPECT_EQ(es.Only("glEnable").at(0).Args[0], es::BLEND);
    EXPECT_EQ(es.Only("glBlendFunc").at(0).Args[1], GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_EQ(es.Only("glTexImage2D").back().Args[3], 800);

    BatchingGL refused;
    ASSERT_TRUE(refused.Create(640, 480, es.MaxSamples + 1));
    EXPECT_EQ(refused.Samples(), 0);
    es.ShadersCompile = false;
    BatchingGL broken;
    InstallBatchingGL(broken);
    EXPECT_FALSE(broken.Create(640, 480));
    EXPECT_EQ(broken.Error(), "The drawing shaders did not compile.");
    es.Clear();
    Lines({1, 2});
    broken.EndFrame();
    EXPECT_TRUE(es.Calls.empty());
}

TEST(BatchingGLFrameTest, AFrameOfTheHeavyPictureAllocatesNothing) {
    const ESEntryPoints savedES = lumivex::testing::BindSilentES();
    const GLEntryPoints savedGL = GL;
    BatchingGL layer;
    InstallBatchingGL(layer);
    ASSERT_TRUE(layer.Create(1920, 1080, 4));
    SetRandSeed(99);
    TElementList list;
    for (TElement* element :
         std::initializer_list<TElement*>{new TLine3, new TBezier2, new TCircle3, new TTriangle2}) {
        element->SetNumOfReflections(72);
        element->SetFullScreen(true);
        element->Prepare();
        list.Add(element);
    }
    const long seen = lumivex::testing::CountAllocations([&] {
        for (int frame = 0; frame < 5; ++frame) {
            for (std::int32_t i = 0; i < list.Count(); ++i) {
                list.Get(i)->Move();
                list.Get(i)->Draw();
            }
            layer.EndFrame();
        }
    });
    EXPECT_EQ(seen, 0);
    GL = savedGL;
    ES = savedES;
}

} // namespace
