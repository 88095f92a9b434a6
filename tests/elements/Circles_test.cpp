// The circle kinds. Expected values are worked out by hand or with a short Python model of the
// generator and helpers (float32 rounding via struct), never by running the code under test:
//
//     centre = point(count 9, radius range [0, f32(0.8 * 57.29578)], angle range [0, 30])
//     d = 57.29578 - centre.radius;  circle = f32(d * 0.25 + draw(trunc(d * 0.75)))
//     repeat: spoke = point(count 3, [0, f32(57.29578 - circle)], [0, 3600])
//     until spoke.angle_speed != 0;  spoke.radius_speed = f32(spoke.radius_speed / 53)
#include "elements/ElementsGL_.h"
#include "support/RecordingGL.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

using namespace lumivex;
using lumivex::testing::RecordingGL;

TEST(CircleTest, PrepareDrawOrderRedrawsASpokeThatWouldNotTurn) {
    // seed 36: fast spin; colour; centre (33, -0.0559, 6, 0.0901); d = 24.29578, so the radius is
    // 6.073945 + draw(18) = 18.073944; the first spoke has angular speed 0 and is drawn again:
    // (11, -0.0559 / 53, 611, 0.2809). Seed then 3181994517.
    TCircle circle;
    SetRandSeed(36);
    circle.Prepare();
    EXPECT_TRUE(circle.Prepared);
    EXPECT_EQ(circle.FastSpin, 1);
    EXPECT_EQ(circle.Color.Opacity, 1.0f);
    EXPECT_FLOAT_EQ(circle.Color.Blue, 0.8994f);
    EXPECT_FLOAT_EQ(circle.Color.BlueDrift, -0.003438f);
    EXPECT_FLOAT_EQ(circle.Color.Green, 0.7348f);
    EXPECT_FLOAT_EQ(circle.Color.GreenDrift, 0.001273f);
    EXPECT_FLOAT_EQ(circle.Color.Red, 0.9649f);
    EXPECT_FLOAT_EQ(circle.Color.RedDrift, 0.001704f);
    EXPECT_EQ(circle.Centre.Radius, 33.0f);
    EXPECT_FLOAT_EQ(circle.Centre.RadiusSpeed, -0.0559f);
    EXPECT_EQ(circle.Centre.Angle, 6.0f);
    EXPECT_FLOAT_EQ(circle.Centre.AngleSpeed, 0.0901f);
    EXPECT_FLOAT_EQ(circle.CircleRadius, 18.073944f);
    EXPECT_EQ(circle.Spoke.Radius, 11.0f);
    EXPECT_FLOAT_EQ(circle.Spoke.RadiusSpeed, -0.001054717f);
    EXPECT_EQ(circle.Spoke.Angle, 611.0f);
    EXPECT_FLOAT_EQ(circle.Spoke.AngleSpeed, 0.2809f);
    EXPECT_EQ(RandSeed, 3181994517u);
}

TEST(CircleTest, RimStaysInsideTheWedgeAndTheSpokeAlwaysTurns) {
    for (bool fullScreen : {false, true}) {
        TCircle circle;
        circle.SetFullScreen(fullScreen);
        const float maxCentre = fullScreen ? 14.0f : 45.0f;
        for (std::uint32_t seed = 1; seed < 500; ++seed) {
            SetRandSeed(seed);
            circle.Prepare();
            ASSERT_LE(circle.Centre.Radius + circle.CircleRadius, circle.RadiusMax - 1.0f);
            ASSERT_LE(circle.Centre.Radius, maxCentre);
            ASSERT_EQ(circle.Centre.Radius, std::floor(circle.Centre.Radius));
            ASSERT_NE(circle.Spoke.AngleSpeed, 0.0f);
            // A fifty-third of a Count 3 speed: at most 53 * 0.0053 / 53
            ASSERT_LE(std::fabs(circle.Spoke.RadiusSpeed), 0.0053f);
        }
    }
}

TEST(CircleTest, CentreNeverMoves) {
    TCircle circle;
    SetRandSeed(99);
    circle.Prepare();
    circle.Centre.AngleSpeed = 3;
    circle.Centre.RadiusSpeed = 3;
    const TPolarPoint centre = circle.Centre;
    for (int step = 0; step < 500; ++step)
        circle.Move();
    EXPECT_EQ(std::memcmp(&circle.Centre, &centre, sizeof centre), 0);
}

TEST(CircleTest, SpokeStartingOutsideItsRangeJumpsToTheNearerBound) {
    TCircle circle;
    SetRandSeed(5);
    circle.Prepare();
    circle.FastSpin = 1;
    circle.CircleRadius = 16;
    circle.Color = {1, 0, 0.5f, 0, 0.5f, 0, 0.5f, 0};
    circle.Spoke = {100, 0.25f, 0, 0.001f};
    circle.Move();
    EXPECT_EQ(circle.Spoke.Radius, 1.0f); // 16 / 16
    // A length bounce: the new radial speed is a fifty-third of one pointing back in, and the
    // spoke turns the other way.
    EXPECT_EQ(circle.Spoke.AngleSpeed, -0.25f);
    EXPECT_LE(circle.Spoke.RadiusSpeed, 0.0f);
    EXPECT_LE(std::fabs(circle.Spoke.RadiusSpeed), 0.0013f);
    EXPECT_EQ(circle.Spoke.Angle, 100.25f);
}

TEST(CircleTest, SpokeTurnsBackAtTenTurnsWithoutTouchingItsLength) {
    TCircle circle;
    SetRandSeed(5);
    circle.Prepare();
    circle.CircleRadius = 16;
    circle.Color = {1, 0, 0.5f, 0, 0.5f, 0, 0.5f, 0};
    circle.Spoke = {3599.9f, 0.25f, 8, 0.001f};
    circle.Move();
    EXPECT_EQ(circle.Spoke.Angle, 3600.0f);
    EXPECT_LE(circle.Spoke.AngleSpeed, 0.0f);
    EXPECT_EQ(circle.Spoke.RadiusSpeed, 0.001f);
}

namespace {
std::vector<std::string> Names(const RecordingGL& gl, std::size_t count) {
    const std::vector<std::string> names = gl.Names();
    return {names.begin(), names.begin() + static_cast<std::ptrdiff_t>(count)};
}
const std::vector<double> Shade{0.03f, 0.03f, 0.03f, 0.8f};
const std::vector<double> Element{0.75f, 0.5f, 0.25f, 1.0f};
} // namespace

TEST(CircleTest, FlatDiscSetsItsColourOnceAndNoLineWidth) {
    TCircle circle;
    circle.Prepare();
    circle.Color = {1, 0, 0.25f, 0, 0.5f, 0, 0.75f, 0};
    RecordingGL gl;
    circle.Draw();
    EXPECT_EQ(Names(gl, 7),
              (std::vector<std::string>{"glEnable", "glEnable", "glBlendFunc", "glHint", "glBegin",
                                        "glColor4f", "glVertex2f"}));
    EXPECT_EQ(gl.Count("glLineWidth"), 0u);
    EXPECT_EQ(gl.Only("glColor4f")[0].Args, Element);
    EXPECT_EQ(gl.Count("glColor4f"), 1u);
    EXPECT_EQ(gl.Count("glVertex2f"), 24u);
    EXPECT_EQ(gl.Names().back(), "glFlush");
}

TEST(CircleTest, SpokeRunsFromTheCentreMirroredAndTurned) {
    // Copy 0: centre at 30 - 10 = 20 degrees, spoke direction 30 - 100 = -70; copy 1: 40 and 130.
    TCircle circle;
    circle.Prepare();
    circle.Centre = {10, 0, 20, 0};
    circle.Spoke = {100, 0, 5, 0};
    RecordingGL gl;
    circle.Draw();
    const auto v = gl.Only("glVertex2f");
    const float expected[4][2] = {{18.793852f, -6.840403f},
                                  {20.503952f, -2.14194f},
                                  {15.320889f, -12.855752f},
                                  {12.106951f, -16.685974f}};
    for (int k = 0; k < 4; ++k) {
        EXPECT_FLOAT_EQ(static_cast<float>(v[k].Args[0]), expected[k][0]) << k;
        EXPECT_FLOAT_EQ(static_cast<float>(v[k].Args[1]), expected[k][1]) << k;
    }
}

TEST(CircleTest, TwoColourKindsColourEachEndOfEverySpoke) {
    TCircle2 glow; // element colour at the centre, shade at the rim
    TCircle3 ring; // the other way round
    const struct {
        TCircle* circle;
        const std::vector<double>& centre;
        const std::vector<double>& rim;
    } kinds[] = {{&glow, Element, Shade}, {&ring, Shade, Element}};
    for (const auto& kind : kinds) {
        kind.circle->Prepare();
        kind.circle->Color = {1, 0, 0.25f, 0, 0.5f, 0, 0.75f, 0};
        {
            RecordingGL gl;
            kind.circle->Draw();
            EXPECT_EQ(Names(gl, 9), (std::vector<std::string>{
                                        "glEnable", "glEnable", "glBlendFunc", "glHint", "glBegin",
                                        "glColor4f", "glVertex2f", "glColor4f", "glVertex2f"}));
            const auto colors = gl.Only("glColor4f");
            ASSERT_EQ(colors.size(), 24u);
            EXPECT_EQ(colors[0].Args, kind.centre);
            EXPECT_EQ(colors[1].Args, kind.rim);
            EXPECT_EQ(gl.Count("glLineWidth"), 0u);
        }
        kind.circle->SetFullScreen(true);
        kind.circle->Prepare();
        RecordingGL gl;
        kind.circle->Draw();
        EXPECT_EQ(gl.Count("glVertex2f"), 12u * 56u);
        EXPECT_EQ(gl.Count("glColor4f"), 12u * 56u);
    }
}

TEST(CircleTest, FullScreenEmitsEachCopysSpokeAtEveryTileBeforeTheNextCopy) {
    // Two copies of the centre (10, 6) and the spoke (100, 5): copy 0 at 170 and 80 degrees,
    // copy 1 at 190 and 280, the rim end being centre plus spoke, each shifted to the first tile,
    // (-2.175 * 38.197186, -1.74 * 38.197186 * 0.866025) (Python, float32 after each step).
    using lumivex::testing::GLCall;
    using lumivex::testing::Vertex;
    const GLCall centre = Vertex(-88.9877243, -58.6005974), rim = Vertex(-88.1194839, -63.5246391);
    const GLCall centre1 = Vertex(-88.9877243, -56.516819), rim1 = Vertex(-88.1194839, -51.5927811);
    const GLCall element{"glColor4f", Element};
    const GLCall shade{"glColor4f", Shade};
    TCircle flat;
    TCircle2 glow;
    TCircle3 ring;
    const struct {
        TCircle* circle;
        std::vector<GLCall> centre, rim; // colour calls before each end
    } kinds[] = {{&flat, {}, {}}, {&glow, {element}, {shade}}, {&ring, {shade}, {element}}};
    for (const auto& kind : kinds) {
        kind.circle->SetNumOfReflections(2);
        kind.circle->SetFullScreen(true);
        kind.circle->Prepare();
        kind.circle->Color = {1, 0, 0.25f, 0, 0.5f, 0, 0.75f, 0};
        kind.circle->Centre = {10, 0, 6, 0};
        kind.circle->Spoke = {100, 0, 5, 0};
        RecordingGL gl;
        kind.circle->Draw();
        const auto spoke = [&](const GLCall& from, const GLCall& to) {
            std::vector<GLCall> group = kind.centre;
            group.push_back(from);
            group.insert(group.end(), kind.rim.begin(), kind.rim.end());
            group.push_back(to);
            return group;
        };
        // Spokes start after four state calls, glBegin and, for the flat disc, its one colour.
        EXPECT_TRUE(lumivex::testing::TiledAt(gl.Calls(), kind.centre.empty() ? 6 : 5,
                                              spoke(centre, rim), spoke(centre1, rim1)));
    }
}
