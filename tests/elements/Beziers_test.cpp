// The Bezier kinds. Expected values are worked out by hand or with a short Python model of the
// generator and the curve (float32 rounding via struct), never by running the code under test:
//
//     t = 0.0; ts = []
//     while t <= 1.0: ts.append(t); t = f32(t + 0.04)   # 25 values, the last 0.9600002
//     s = 1 - t;  B = s**3*C1 + 3*t*s*s*C2 + t*t*s*C3 + t**3*C4
#include "elements/ElementsGL_.h"
#include "support/RecordingGL.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace lumivex;
using lumivex::testing::RecordingGL;
using lumivex::testing::StreamAt;

namespace {
TDrawPoint At(const lumivex::testing::GLCall& vertex) {
    return {static_cast<float>(vertex.Args[0]), static_cast<float>(vertex.Args[1])};
}
} // namespace

TEST(BezierTest, CurveIsPulledTowardTheCentreInItsMiddle) {
    // t = 0.5: weights 1/8, 3/8, 1/8, 1/8 -> (1.25 + 7.5 + 3.75 + 5, 3.75 + 1.25)
    const TDrawPoint b = BezierPoint(0.5f, {10, 0}, {20, 10}, {30, 10}, {40, 0});
    EXPECT_FLOAT_EQ(b.x, 17.5f);
    EXPECT_FLOAT_EQ(b.y, 5.0f);
    // Two points as c1, c2, c1, c2: (1/8 + 1/8) * c1 + (3/8 + 1/8) * c2
    const TDrawPoint b2 = BezierPoint(0.5f, {10, 0}, {20, 10}, {10, 0}, {20, 10});
    EXPECT_FLOAT_EQ(b2.x, 12.5f);
    EXPECT_FLOAT_EQ(b2.y, 5.0f);
    // Coincident points give a radial stroke: 0.75 of the way out at 1/2, 19/27 at 2/3.
    const TDrawPoint c{27, -54};
    const TDrawPoint half = BezierPoint(0.5f, c, c, c, c);
    EXPECT_FLOAT_EQ(half.x, 20.25f);
    EXPECT_FLOAT_EQ(half.y, -40.5f);
    const TDrawPoint twoThirds = BezierPoint(2.0f / 3.0f, c, c, c, c);
    EXPECT_NEAR(twoThirds.x, 19.0f, 1e-5);
    EXPECT_NEAR(twoThirds.y, -38.0f, 1e-5);
}

TEST(BezierTest, ParameterAdvancesByADoubleStepRoundedOnce) {
    // C1 = C2 = origin and C3 = C4 = (1, 0) make B(t) = t*t, rounded to single: the first eight t
    // of the model above (from the sixth on, sums of the single 0.04f fall one ulp short).
    constexpr float ts[8] = {0.0f,           0x1.47ae14p-5f, 0x1.47ae14p-4f, 0x1.eb851ep-4f,
                             0x1.47ae14p-3f, 0x1.99999ap-3f, 0x1.eb8520p-3f, 0x1.1eb852p-2f};
    TBezier curve;
    curve.SetNumOfReflections(1);
    curve.Prepare();
    curve.P1 = curve.P2 = {360, 0, 0, 0};
    curve.P3 = curve.P4 = {360, 0, 1, 0};
    RecordingGL gl;
    curve.Draw();
    for (int k = 0; k < 8; ++k) {
        const double square = double(ts[k]) * ts[k]; // exact; the sample is within half an ulp
        EXPECT_NEAR(At(gl.Only("glVertex2f")[2 * k + 1]).x, square, square * 0x1p-24) << k;
    }
}

TEST(BezierTest, PrepareDrawOrderWithAlpha) {
    // seed 777, 12 copies, Alpha: draw(100) -> fast spin; draw(6) -> 31; opacity and its drift
    // first, then the colours; P1, P2 with Count 6. Seed then 347933586.
    TBezier2 curve;
    curve.SetAlpha(true);
    SetRandSeed(777);
    curve.Prepare();
    EXPECT_TRUE(curve.Prepared);
    EXPECT_EQ(curve.FastSpin, 1);
    EXPECT_EQ(curve.MaxLength, 31.0f);
    EXPECT_FLOAT_EQ(curve.Color.Opacity, 0.2317f);
    EXPECT_FLOAT_EQ(curve.Color.OpacityDrift, 0.003569f);
    EXPECT_FLOAT_EQ(curve.Color.Blue, 0.0885f);
    EXPECT_FLOAT_EQ(curve.Color.BlueDrift, -0.000808f);
    EXPECT_FLOAT_EQ(curve.Color.Green, 0.4106f);
    EXPECT_FLOAT_EQ(curve.Color.GreenDrift, 0.001759f);
    EXPECT_FLOAT_EQ(curve.Color.Red, 0.8915f);
    EXPECT_FLOAT_EQ(curve.Color.RedDrift, -0.000994f);
    EXPECT_EQ(curve.P1.Radius, 15.0f);
    EXPECT_EQ(curve.P1.RadiusSpeed, 0.0f); // a zero that survived its retry draw
    EXPECT_EQ(curve.P1.Angle, 16.0f);
    EXPECT_FLOAT_EQ(curve.P1.AngleSpeed, -0.2809f);
    EXPECT_EQ(curve.P2.Radius, 23.0f);
    EXPECT_FLOAT_EQ(curve.P2.RadiusSpeed, -0.0403f);
    EXPECT_EQ(curve.P2.Angle, 12.0f);
    EXPECT_FLOAT_EQ(curve.P2.AngleSpeed, -0.2809f);
    EXPECT_EQ(RandSeed, 347933586u);
}

TEST(BezierTest, DrawStateAndVertexCounts) {
    TBezier curve;
    TBezier2 curve2;
    for (TElement* element : {static_cast<TElement*>(&curve), static_cast<TElement*>(&curve2)}) {
        element->Prepare();
        {
            RecordingGL gl;
            element->Draw();
            const std::vector<std::string> head = {"glEnable",  "glEnable",    "glBlendFunc",
                                                   "glHint",    "glLineWidth", "glBegin",
                                                   "glColor4f", "glVertex2f"};
            const std::vector<std::string> names = gl.Names();
            EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 8), head);
            EXPECT_EQ(gl.Count("glColor4f"), 1u);
            EXPECT_EQ(gl.Count("glVertex2f"), 12u * 50u);
            EXPECT_EQ(names.back(), "glFlush");
        }
        element->SetFullScreen(true);
        element->Prepare();
        RecordingGL gl;
        element->Draw();
        EXPECT_EQ(gl.Count("glVertex2f"), 12u * 1400u);
        EXPECT_EQ(gl.Count("glColor4f"), 1u);
    }
}

TEST(BezierTest, FullScreenEmitsEachSegmentAtEveryTileBeforeTheNextSegment) {
    // Two copies of P1 (20, 10), P2 (60, 15), P3 (120, 12), P4 (160, 8); copy 0 is drawn at
    // 180 - angle, copy 1 at 180 + angle, each shifted to the first tile, (-2.175 * 38.197186,
    // -1.74 * 38.197186 * 0.866025). Python, float32 after each step, with the model above.
    using lumivex::testing::GLCall;
    using lumivex::testing::Vertex;
    const GLCall start = Vertex(-92.4758072, -60.9789124),
                 start1 = Vertex(-92.4758072, -54.1385078);
    struct Kind {
        TElement* element;
        GLCall second;      // B(0.04)
        GLCall lastPair[2]; // B(0.92) and B(0.96)
    };
    TBezier curve;
    TBezier2 curve2;
    const Kind kinds[] = {
        {&curve,
         Vertex(-92.2124176, -62.0374565),
         {Vertex(-76.9560776, -60.6242218), Vertex(-76.2418137, -60.4226685)}},
        {&curve2,
         Vertex(-92.23703, -62.027401),
         {Vertex(-89.6926193, -68.1369705), Vertex(-90.0959702, -69.2379303)}},
    };
    for (const Kind& kind : kinds) {
        kind.element->SetNumOfReflections(2);
        kind.element->SetFullScreen(true);
        kind.element->Prepare();
    }
    curve.P1 = curve2.P1 = {20, 0, 10, 0};
    curve.P2 = curve2.P2 = {60, 0, 15, 0};
    curve.P3 = {120, 0, 12, 0};
    curve.P4 = {160, 0, 8, 0};
    for (const Kind& kind : kinds) {
        RecordingGL gl;
        kind.element->Draw();
        // Vertices start after the state calls, glBegin and the colour.
        constexpr std::size_t first = 7;
        EXPECT_TRUE(
            lumivex::testing::TiledAt(gl.Calls(), first, {start, start}, {start, kind.second}));
        EXPECT_TRUE(
            StreamAt(gl.Calls(), first + 2 * 28 * 24, {kind.lastPair[0], kind.lastPair[1]}));
        EXPECT_TRUE(StreamAt(gl.Calls(), first + 2 * 28 * 25, {start1, start1}));
    }
}

TEST(BezierTest, CopyIsAChainOfSegmentsStoppingShortOfTheEnd) {
    // One copy: drawing angle = 360 - point angle, so the control points sit at 0, 90, 180 and
    // 270 degrees on a circle of radius 10: (10, 0), (0, -10), (-10, 0), (0, 10).
    TBezier curve;
    curve.SetNumOfReflections(1);
    curve.Prepare();
    curve.P1 = {360, 0, 10, 0};
    curve.P2 = {270, 0, 10, 0};
    curve.P3 = {180, 0, 10, 0};
    curve.P4 = {90, 0, 10, 0};
    RecordingGL gl;
    curve.Draw();
    const auto vertices = gl.Only("glVertex2f");
    ASSERT_EQ(vertices.size(), 50u);
    // The first segment has zero length at C1.
    EXPECT_FLOAT_EQ(At(vertices[0]).x, 10.0f);
    EXPECT_NEAR(At(vertices[0]).y, 0.0f, 1e-6);
    EXPECT_FLOAT_EQ(At(vertices[1]).x, 10.0f);
    // Each segment starts where the one before ended.
    for (std::size_t k = 2; k < vertices.size(); k += 2) {
        EXPECT_EQ(vertices[k].Args, vertices[k - 1].Args) << k;
    }
    // B(0.04) = (8.847360 - 0.015360, -1.105920 + 0.000640); the last sample is B(0.96).
    EXPECT_NEAR(At(vertices[3]).x, 8.832f, 1e-5);
    EXPECT_NEAR(At(vertices[3]).y, -1.10528f, 1e-5);
    EXPECT_NEAR(At(vertices[49]).x, -0.3679987f, 1e-5);
    EXPECT_NEAR(At(vertices[49]).y, 8.801285f, 1e-5);
}

namespace {
// Points moved by Move without touching a wall, colours far from their bounds: the only draws are
// those of the distance limit.
template <typename Kind> void SetUpLimit(Kind& curve) {
    curve.SetNumOfReflections(1);
    curve.Prepare();
    curve.FastSpin = 1;
    curve.MaxLength = 5;
    curve.Color = {1, 0, 0.5f, 0, 0.5f, 0, 0.5f, 0};
}
} // namespace

TEST(BezierTest, EachConsecutivePairIsLimitedFirstPointFirst) {
    // All points on the ray at 10 degrees, turning by 0.5 and moving out by 0.1 (P2 in): after
    // the step P1 is at 10.1, P2 19.9, P3 11.1, P4 25.1, against a limit of 5. P1 and P3 nearly
    // coincide, so only the pairs P1-P2, P2-P3, P3-P4 turn speeds: each angular speed of a pair
    // and P4's radial speed, each reversed with a fresh draw in pair order (Python model of Move
    // and LimitPointDistance from seed 1; P2's second reversal is 31 * 0.0053, 29 * 0.0053 had the
    // pair been taken as P3-P2).
    TBezier curve;
    SetUpLimit(curve);
    curve.P1 = {10, 0.5f, 10, 0.1f};
    curve.P2 = {10, 0.5f, 20, -0.1f};
    curve.P3 = {10, 0.5f, 11, 0.1f};
    curve.P4 = {10, 0.5f, 25, 0.1f};
    SetRandSeed(1);
    curve.Move();
    EXPECT_FLOAT_EQ(curve.P1.AngleSpeed, -0.2809f);
    EXPECT_FLOAT_EQ(curve.P2.AngleSpeed, 0.1643f);
    EXPECT_FLOAT_EQ(curve.P3.AngleSpeed, 0.2491f);
    EXPECT_FLOAT_EQ(curve.P4.AngleSpeed, -0.2491f);
    EXPECT_EQ(curve.P1.RadiusSpeed, 0.1f);
    EXPECT_EQ(curve.P2.RadiusSpeed, -0.1f);
    EXPECT_EQ(curve.P3.RadiusSpeed, 0.1f);
    EXPECT_FLOAT_EQ(curve.P4.RadiusSpeed, -0.0559f);
    EXPECT_EQ(RandSeed, 2996491197u);

    // The one pair of TBezier2, 10 apart after the step: P1's speed is drawn before P2's.
    TBezier2 curve2;
    SetUpLimit(curve2);
    curve2.P1 = {10, 0.5f, 10, 0.1f};
    curve2.P2 = {10, 0.5f, 20, 0.1f};
    SetRandSeed(1);
    curve2.Move();
    EXPECT_FLOAT_EQ(curve2.P1.AngleSpeed, -0.2809f);
    EXPECT_FLOAT_EQ(curve2.P2.AngleSpeed, -0.1643f);
    EXPECT_EQ(curve2.P1.RadiusSpeed, 0.1f);
    EXPECT_FLOAT_EQ(curve2.P2.RadiusSpeed, -0.0611f);
    EXPECT_EQ(RandSeed, 1368768587u);
}
