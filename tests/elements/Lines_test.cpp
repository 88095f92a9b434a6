// The line kinds. Expected values are worked out by hand or with a short Python model of the
// generator and helpers (float32 rounding via struct), never by running the code under test:
//
//     def draw(n):
//         seed = (seed * 134775813 + 1) & 0xFFFFFFFF;  return (n * seed) >> 32
//     def speed(count, factor, retry):        # radial: (0.0013 fast / 0.0053 slow, 85)
//         while True:                         # angular: (0.0053 fast / 0.0013 slow, 95)
//             s = PRIMES[draw(count)] * factor * (draw(3) - 1)
//             if s != 0: return f32(s)
//             if draw(100) >= retry: return 0.0
#include "elements/ElementsGL_.h"
#include "support/RecordingGL.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace lumivex;
using lumivex::testing::GLCall;
using lumivex::testing::RecordingGL;
using lumivex::testing::StreamAt;
using lumivex::testing::TiledAt;
using lumivex::testing::Vertex;

namespace {
// The state lines are drawn with, set in any order before they begin, and what follows glBegin.
void ExpectLineState(const RecordingGL& gl, const std::vector<std::string>& afterBegin) {
    using Call = std::pair<std::string, std::vector<double>>;
    std::multiset<Call> state;
    for (const GLCall& call : gl.Before("glBegin"))
        state.insert({call.Name, call.Args});
    EXPECT_EQ(state, (std::multiset<Call>{{"glEnable", {0x0B20}},
                                          {"glEnable", {0x0BE2}},
                                          {"glBlendFunc", {0x0302, 0x0303}},
                                          {"glHint", {0x0C52, 0x1102}},
                                          {"glLineWidth", {1.0}}}));
    const std::vector<GLCall>& calls = gl.Calls();
    ASSERT_GT(calls.size(), state.size() + afterBegin.size());
    EXPECT_EQ(calls[state.size()].Args, std::vector<double>{0x0001}); // glBegin(GL_LINES)
    for (std::size_t i = 0; i < afterBegin.size(); ++i)
        EXPECT_EQ(calls[state.size() + 1 + i].Name, afterBegin[i]) << i;
}

void ExpectVertex(const GLCall& call, float x, float y) {
    ASSERT_EQ(call.Name, "glVertex2f");
    EXPECT_FLOAT_EQ(static_cast<float>(call.Args[0]), x);
    EXPECT_FLOAT_EQ(static_cast<float>(call.Args[1]), y);
}
} // namespace

TEST(LineTest, PrepareDrawOrder) {
    // seed 2024, 12 copies: draw(100) -> fast spin; draw(6) -> 47; colour without alpha;
    // P1 then P2 as (draw(57), radial speed, draw(30), angular speed). Seed then 3009863924.
    TLine line;
    SetRandSeed(2024);
    line.Prepare();
    EXPECT_TRUE(line.Prepared);
    EXPECT_EQ(line.FastSpin, 1);
    EXPECT_EQ(line.MaxLength, 47.0f);
    EXPECT_EQ(line.Color.Opacity, 1.0f);
    EXPECT_EQ(line.Color.OpacityDrift, 0.0f);
    EXPECT_FLOAT_EQ(line.Color.Blue, 0.1228f);
    EXPECT_FLOAT_EQ(line.Color.BlueDrift, 0.000713f);
    EXPECT_FLOAT_EQ(line.Color.Green, 0.3088f);
    EXPECT_FLOAT_EQ(line.Color.GreenDrift, -0.002258f);
    EXPECT_FLOAT_EQ(line.Color.Red, 0.7615f);
    EXPECT_FLOAT_EQ(line.Color.RedDrift, -0.004018f);
    EXPECT_EQ(line.P1.Radius, 29.0f);
    EXPECT_FLOAT_EQ(line.P1.RadiusSpeed, -0.0247f); // 19 * 0.0013
    EXPECT_EQ(line.P1.Angle, 9.0f);
    EXPECT_FLOAT_EQ(line.P1.AngleSpeed, 0.2491f); // 47 * 0.0053
    EXPECT_EQ(line.P2.Radius, 46.0f);
    EXPECT_FLOAT_EQ(line.P2.RadiusSpeed, 0.0559f);
    EXPECT_EQ(line.P2.Angle, 19.0f);
    EXPECT_FLOAT_EQ(line.P2.AngleSpeed, 0.1537f);
    EXPECT_EQ(RandSeed, 3009863924u);
}

TEST(LineTest, DrawStateCopiesAndVertexOrder) {
    TLine line;
    line.Prepare();
    line.P1 = {10, 0, 10, 0}; // angle 10, radius 10
    line.P2 = {5, 0, 20, 0};  // angle 5, radius 20
    RecordingGL gl;
    line.Draw();

    ExpectLineState(gl, {"glColor4f", "glVertex2f"});
    EXPECT_EQ(gl.Count("glColor4f"), 1u);
    EXPECT_EQ(gl.Count("glVertex2f"), 24u);
    const std::vector<std::string> names = gl.Names();
    EXPECT_EQ(std::vector<std::string>(names.end() - 2, names.end()),
              (std::vector<std::string>{"glEnd", "glFlush"}));

    // Copy 0 mirrors to 30 - a, copy 1 turns to 30 + a: P1 at 20 then 40, P2 at 25 then 35.
    const auto vertices = gl.Only("glVertex2f");
    ExpectVertex(vertices[0], 9.396926f, -3.4202015f);
    ExpectVertex(vertices[1], 18.126156f, -8.452365f);
    ExpectVertex(vertices[2], 7.660444f, -6.427876f);
    ExpectVertex(vertices[3], 16.383041f, -11.471529f);
}

TEST(LineTest, FullScreenDrawsEverySegmentOncePerTile) {
    std::unique_ptr<TLine> lines[] = {std::make_unique<TLine>(), std::make_unique<TLine2>()};
    for (auto& line : lines) {
        line->SetFullScreen(true);
        line->Prepare();
        RecordingGL gl;
        line->Draw();
        EXPECT_EQ(gl.Count("glVertex2f"), 12u * 56u);
        EXPECT_EQ(gl.Count("glColor4f"), 1u);
    }
}

TEST(LineTest, FullScreenEmitsEachCopysSegmentAtEveryTileBeforeTheNextCopy) {
    // Two copies of P1 (30, 10) and P2 (100, 4): copy 0 at 150 and 80 degrees, copy 1 at 210 and
    // 280, each shifted to the first tile, (-2.175 * 38.197186, -1.74 * 38.197186 * 0.866025)
    // (Python, float32 after each step).
    const GLCall p1 = Vertex(-91.7391357, -62.5587082), p2 = Vertex(-82.384285, -61.4979401);
    const GLCall q1 = Vertex(-91.7391357, -52.5587082), q2 = Vertex(-82.384285, -53.6194801);
    const GLCall color{"glColor4f", {0.75f, 0.5f, 0.25f, 1.0f}};
    const GLCall shade{"glColor4f", {0.03f, 0.03f, 0.03f, 0.8f}};
    TLine plain;
    TLine3 shaded;
    for (TLine* line : {&plain, static_cast<TLine*>(&shaded)}) {
        line->SetNumOfReflections(2);
        line->SetFullScreen(true);
        line->Prepare();
        line->Color = {1, 0, 0.25f, 0, 0.5f, 0, 0.75f, 0};
        line->P1 = {30, 0, 10, 0};
        line->P2 = {100, 0, 4, 0};
    }
    RecordingGL gl;
    plain.Draw();
    EXPECT_TRUE(StreamAt(gl.Calls(), 6, {color}));
    EXPECT_TRUE(TiledAt(gl.Calls(), 7, {p1, p2}, {q1, q2}));
    gl.Clear();
    shaded.Draw();
    EXPECT_TRUE(TiledAt(gl.Calls(), 6, {color, p1, shade, p2}, {color, q1, shade, q2}));
}

TEST(LineTest, ShadedLineColoursEachEnd) {
    TLine3 line;
    line.Prepare();
    line.Color = {1, 0, 0.25f, 0, 0.5f, 0, 0.75f, 0};
    {
        RecordingGL gl;
        line.Draw();
        ExpectLineState(gl, {"glColor4f", "glVertex2f", "glColor4f", "glVertex2f", "glColor4f"});
        const auto colors = gl.Only("glColor4f");
        ASSERT_EQ(colors.size(), 24u);
        EXPECT_EQ(colors[0].Args, (std::vector<double>{0.75f, 0.5f, 0.25f, 1.0f}));
        EXPECT_EQ(colors[1].Args, (std::vector<double>{0.03f, 0.03f, 0.03f, 0.8f}));
    }
    line.SetAlpha(true);
    line.SetMonochrome(true);
    line.SetMonoColor(0x000000FF); // pure red
    line.SetFullScreen(true);
    line.Prepare();
    line.Color = {0.5f, 0, 0.25f, 0, 0.5f, 0, 0.75f, 0};
    RecordingGL gl;
    line.Draw();
    const auto colors = gl.Only("glColor4f");
    ASSERT_EQ(colors.size(), 12u * 56u);
    // L = 0.3 * 0.75 + 0.59 * 0.5 + 0.11 * 0.25 = 0.5475; the shade keeps its grey
    EXPECT_FLOAT_EQ(static_cast<float>(colors[0].Args[0]), 0.5475f);
    EXPECT_EQ(colors[0].Args[1], 0.0);
    EXPECT_EQ(colors[1].Args, (std::vector<double>{0.03f, 0.03f, 0.03f, 0.4f}));
}

namespace {
// A long segment that moves without touching a wall, with colours far from their bounds, so
// that Move itself draws nothing before the kick.
template <typename Kind> void SetUpLongSegment(Kind& line) {
    line.SetNumOfReflections(72);
    line.Prepare();
    line.FastSpin = 1;
    line.MaxLength = 53;
    line.Color = {1, 0, 0.5f, 0, 0.5f, 0, 0.5f, 0};
    line.P1 = {0, 0.1f, 50, 0.01f};
    line.P2 = {4, -0.1f, 10, 0.01f};
}
} // namespace

TEST(LineTest, KickChangesOneSpeedAndOneDrift) {
    // After the step the ends are 40.0275 apart. seed 6: draw(53) < D, draw(720) < 72,
    // draw(100) = 91 -> P2 angular speed -23 * 0.0053, draw(100) = 46 -> green drift
    // (372 - 5000) * 1e-6; the distance is under the limit, so nothing more. Seed 159881846.
    TLine2 line;
    SetUpLongSegment(line);
    SetRandSeed(6);
    line.Move();
    EXPECT_FLOAT_EQ(line.P2.AngleSpeed, -0.1219f);
    EXPECT_FLOAT_EQ(line.Color.GreenDrift, -0.004628f);
    EXPECT_EQ(line.P1.AngleSpeed, 0.1f);
    EXPECT_EQ(line.P1.RadiusSpeed, 0.01f);
    EXPECT_EQ(line.P2.RadiusSpeed, 0.01f);
    EXPECT_EQ(line.Color.RedDrift, 0.0f);
    EXPECT_EQ(line.Color.BlueDrift, 0.0f);
    EXPECT_EQ(RandSeed, 159881846u);

    // seed 734: draw(100) = 54 -> P2 radial speed 19 * 0.0013, draw(100) = 59 -> green drift
    SetUpLongSegment(line);
    SetRandSeed(734);
    line.Move();
    EXPECT_FLOAT_EQ(line.P2.RadiusSpeed, 0.0247f);
    EXPECT_FLOAT_EQ(line.Color.GreenDrift, -0.003429f);
    EXPECT_EQ(RandSeed, 675039057u);

    // The plain line never kicks: from the same state and seed it draws nothing at all.
    TLine plain;
    SetUpLongSegment(plain);
    SetRandSeed(6);
    plain.Move();
    EXPECT_EQ(plain.P2.AngleSpeed, -0.1f);
    EXPECT_EQ(RandSeed, 6u);
}

TEST(LineTest, SegmentOfZeroLengthIsNeverKicked) {
    // D = 0: the first draw can never fall below it, so exactly one draw is spent per step.
    TLine2 line;
    SetUpLongSegment(line);
    line.P2 = line.P1;
    const TPolarPoint before = line.P1;
    SetRandSeed(6);
    line.Move();
    EXPECT_EQ(RandSeed, 6u * 134775813u + 1u);
    EXPECT_EQ(line.P1.AngleSpeed, before.AngleSpeed);
    EXPECT_EQ(line.P1.RadiusSpeed, before.RadiusSpeed);
    EXPECT_EQ(line.P2.AngleSpeed, before.AngleSpeed);
    EXPECT_EQ(line.Color.GreenDrift, 0.0f);
}

TEST(LineTest, LengthLimitSteersTheEndsBackTogether) {
    // Ends 20 apart at (10, 90) and (10, 270) with a limit of 20: P1 moving outward is turned.
    TLine line;
    line.SetNumOfReflections(1);
    line.Prepare();
    line.MaxLength = 20;
    line.Color = {1, 0, 0.5f, 0, 0.5f, 0, 0.5f, 0};
    line.P1 = {90, 0, 9.5f, 0.5f};
    line.P2 = {270, 0, 10, 0};
    SetRandSeed(12345); // the stopped P2 stays stopped: draw(10000) = 3853
    line.Move();
    EXPECT_EQ(line.P1.Radius, 10.0f);
    EXPECT_LE(line.P1.RadiusSpeed, 0.0f);
}
