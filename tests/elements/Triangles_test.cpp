// The triangle kinds. Expected values are worked out by hand or with a short Python model of
// the generator (see Lines_test.cpp for its few lines), never by running the code under test.
#include "elements/ElementsGL_.h"
#include "support/RecordingGL.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace lumivex;
using lumivex::testing::RecordingGL;
using lumivex::testing::StreamAt;

TEST(TriangleTest, PrepareDrawOrderInSlowSpin) {
    // seed 31337, 72 copies: draw(100) < 72 -> slow spin; draw(6) -> 43; colour; P1, P2, P3 with
    // Count 6 in a 5-degree wedge (radial 0.0053, angular 0.0013 per prime). Seed 21686355.
    TTriangle triangle;
    triangle.SetNumOfReflections(72);
    SetRandSeed(31337);
    triangle.Prepare();
    EXPECT_TRUE(triangle.Prepared);
    EXPECT_EQ(triangle.FastSpin, 0);
    EXPECT_EQ(triangle.MaxLength, 43.0f);
    EXPECT_FLOAT_EQ(triangle.Color.Blue, 0.4649f);
    EXPECT_FLOAT_EQ(triangle.Color.BlueDrift, -0.000434f);
    EXPECT_FLOAT_EQ(triangle.Color.Green, 0.3736f);
    EXPECT_FLOAT_EQ(triangle.Color.GreenDrift, 0.003655f);
    EXPECT_FLOAT_EQ(triangle.Color.Red, 0.6748f);
    EXPECT_FLOAT_EQ(triangle.Color.RedDrift, 0.003107f);
    const TPolarPoint expected[] = {
        {1, -0.0611f, 50, 0.2809f}, {2, -0.0559f, 54, -0.2491f}, {0, -0.0559f, 44, -0.2809f}};
    const TPolarPoint* corners[] = {&triangle.P1, &triangle.P2, &triangle.P3};
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(corners[k]->Angle, expected[k].Angle) << k;
        EXPECT_FLOAT_EQ(corners[k]->AngleSpeed, expected[k].AngleSpeed) << k;
        EXPECT_EQ(corners[k]->Radius, expected[k].Radius) << k;
        EXPECT_FLOAT_EQ(corners[k]->RadiusSpeed, expected[k].RadiusSpeed) << k;
    }
    EXPECT_EQ(RandSeed, 21686355u);
}

TEST(TriangleTest, SideLimitIsTheWedgeForFewCopiesAndAPrimeForMany) {
    TTriangle triangle;
    const float wide[] = {360, 180, 120, 90, 72, 60};
    for (int copies = 1; copies <= 6; ++copies) {
        triangle.SetNumOfReflections(static_cast<TNumOfReflections>(copies));
        triangle.Prepare();
        EXPECT_FLOAT_EQ(triangle.MaxLength, wide[copies - 1]);
    }
    const std::set<float> primes = {53, 47, 43, 37, 31, 29};
    std::set<float> seen;
    triangle.SetNumOfReflections(7);
    for (std::uint32_t seed = 0; seed < 200; ++seed) {
        SetRandSeed(seed);
        triangle.Prepare();
        seen.insert(triangle.MaxLength);
    }
    EXPECT_EQ(seen, primes);
}

TEST(TriangleTest, OutlineIsThreeSeparateSidesPerCopy) {
    TTriangle triangle;
    triangle.Prepare();
    triangle.P1 = {10, 0, 10, 0};
    triangle.P2 = {20, 0, 30, 0};
    triangle.P3 = {5, 0, 50, 0};
    {
        RecordingGL gl;
        triangle.Draw();
        const std::vector<std::string> names = gl.Names();
        EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 7),
                  (std::vector<std::string>{"glEnable", "glEnable", "glBlendFunc", "glHint",
                                            "glLineWidth", "glBegin", "glColor4f"}));
        EXPECT_EQ(gl.Count("glColor4f"), 1u);
        const auto v = gl.Only("glVertex2f");
        ASSERT_EQ(v.size(), 12u * 6u);
        // V1 V2, V2 V3, V3 V1 in every copy
        for (std::size_t copy = 0; copy < 12; ++copy) {
            const std::size_t at = copy * 6;
            EXPECT_EQ(v[at + 1].Args, v[at + 2].Args);
            EXPECT_EQ(v[at + 3].Args, v[at + 4].Args);
            EXPECT_EQ(v[at + 5].Args, v[at].Args);
        }
        // Copy 0, V1 at 30 - 10 = 20 degrees, radius 10: (9.396926, -3.420201)
        EXPECT_FLOAT_EQ(static_cast<float>(v[0].Args[0]), 9.396926f);
        EXPECT_FLOAT_EQ(static_cast<float>(v[0].Args[1]), -3.4202015f);
    }
    triangle.SetFullScreen(true);
    triangle.Prepare();
    triangle.P2 = triangle.P1; // coincident corners still give six vertices per outline
    triangle.P3 = triangle.P1;
    RecordingGL gl;
    triangle.Draw();
    EXPECT_EQ(gl.Count("glVertex2f"), 12u * 168u);
}

TEST(TriangleTest, ShadedCornerFadesTheTwoSidesMeetingThere) {
    TTriangle2 triangle;
    triangle.SetAlpha(true);
    triangle.Prepare();
    triangle.Color = {0.5f, 0, 0.25f, 0, 0.5f, 0, 0.75f, 0};
    {
        RecordingGL gl;
        triangle.Draw();
        const std::vector<std::string> names = gl.Names();
        // Colours are worked out before glBegin, then set per vertex group.
        EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 15),
                  (std::vector<std::string>{"glEnable", "glEnable", "glBlendFunc", "glHint",
                                            "glLineWidth", "glBegin", "glColor4f", "glVertex2f",
                                            "glColor4f", "glVertex2f", "glVertex2f", "glVertex2f",
                                            "glVertex2f", "glColor4f", "glVertex2f"}));
        const auto colors = gl.Only("glColor4f");
        ASSERT_EQ(colors.size(), 12u * 3u);
        const std::vector<double> shade{0.03f, 0.03f, 0.03f, 0.4f};
        EXPECT_EQ(colors[0].Args, shade);
        EXPECT_EQ(colors[1].Args, (std::vector<double>{0.75f, 0.5f, 0.25f, 0.5f}));
        EXPECT_EQ(colors[2].Args, shade);
    }
    triangle.SetFullScreen(true);
    triangle.Prepare();
    RecordingGL gl;
    triangle.Draw();
    EXPECT_EQ(gl.Count("glColor4f"), 12u * 84u);
    EXPECT_EQ(gl.Count("glVertex2f"), 12u * 168u);
}

TEST(TriangleTest, FullScreenEmitsEachCopysOutlineAtEveryTileBeforeTheNextCopy) {
    // Two copies of P1 (10, 5), P2 (50, 12), P3 (120, 9): copy 0 at 180 - angle, copy 1 at
    // 180 + angle, each shifted to the first tile, (-2.175 * 38.197186, -1.74 * 38.197186 *
    // 0.866025). Python, float32 after each step.
    using lumivex::testing::GLCall;
    using lumivex::testing::Vertex;
    const GLCall copy0[3] = {Vertex(-88.0029221, -58.4269485), Vertex(-90.7923279, -66.7512436),
                             Vertex(-78.5788803, -65.3529358)};
    const GLCall copy1[3] = {Vertex(-88.0029221, -56.6904678), Vertex(-90.7923279, -48.3661766),
                             Vertex(-78.5788803, -49.7644806)};
    const GLCall element{"glColor4f", {0.75f, 0.5f, 0.25f, 1.0f}};
    const GLCall shade{"glColor4f", {0.03f, 0.03f, 0.03f, 0.8f}};
    const auto outline = [](const GLCall(&v)[3]) {
        return std::vector<GLCall>{v[0], v[1], v[1], v[2], v[2], v[0]};
    };
    const auto shadedOutline = [&](const GLCall(&v)[3]) {
        return std::vector<GLCall>{shade, v[0], element, v[1], v[1], v[2], v[2], shade, v[0]};
    };
    TTriangle plain;
    TTriangle2 shaded;
    for (TTriangle* triangle : {&plain, static_cast<TTriangle*>(&shaded)}) {
        triangle->SetNumOfReflections(2);
        triangle->SetFullScreen(true);
        triangle->Prepare();
        triangle->Color = {1, 0, 0.25f, 0, 0.5f, 0, 0.75f, 0};
        triangle->P1 = {10, 0, 5, 0};
        triangle->P2 = {50, 0, 12, 0};
        triangle->P3 = {120, 0, 9, 0};
    }
    RecordingGL gl;
    plain.Draw();
    EXPECT_TRUE(StreamAt(gl.Calls(), 6, {element}));
    EXPECT_TRUE(lumivex::testing::TiledAt(gl.Calls(), 7, outline(copy0), outline(copy1)));
    gl.Clear();
    shaded.Draw();
    EXPECT_TRUE(
        lumivex::testing::TiledAt(gl.Calls(), 6, shadedOutline(copy0), shadedOutline(copy1)));
}

TEST(TriangleTest, ClosingSideIsLimitedFromItsThirdCorner) {
    // All corners on the ray at 10 degrees, turning by 0.5 and moving out by 0.1: after the step
    // P1 is at 10.1, P2 12.1, P3 25.1, against a limit of 5. P1-P2 is short; P2-P3 turns P2's and
    // P3's angular speeds and P3's radial one; the closing side, taken as P3-P1, then turns P3's
    // angular speed again before P1's. Python model of Move and LimitPointDistance from seed 1;
    // taken as P1-P3, P1 and P3 would swap their new angular speeds.
    TTriangle triangle;
    triangle.SetNumOfReflections(1);
    triangle.Prepare();
    triangle.FastSpin = 1;
    triangle.MaxLength = 5;
    triangle.Color = {1, 0, 0.5f, 0, 0.5f, 0, 0.5f, 0};
    triangle.P1 = {10, 0.5f, 10, 0.1f};
    triangle.P2 = {10, 0.5f, 12, 0.1f};
    triangle.P3 = {10, 0.5f, 25, 0.1f};
    SetRandSeed(1);
    triangle.Move();
    EXPECT_FLOAT_EQ(triangle.P1.AngleSpeed, -0.2491f);
    EXPECT_FLOAT_EQ(triangle.P2.AngleSpeed, -0.2809f);
    EXPECT_FLOAT_EQ(triangle.P3.AngleSpeed, 0.1537f);
    EXPECT_EQ(triangle.P1.RadiusSpeed, 0.1f);
    EXPECT_EQ(triangle.P2.RadiusSpeed, 0.1f);
    EXPECT_FLOAT_EQ(triangle.P3.RadiusSpeed, -0.0611f);
    EXPECT_EQ(RandSeed, 3939707825u);
}
