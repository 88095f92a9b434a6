// The element base: settings and Prepared, the wedge, colour drift, point motion, the distance
// limit, the drawing skeleton shared by every kind, and the owning element list. Expected
// values come from hand arithmetic or a short Python model of the generator:
//
//     def draw(n):  # seed is a module global
//         seed = (seed * 134775813 + 1) & 0xFFFFFFFF
//         return (n * seed) >> 32
//     frac = draw(10000) * 0.0001;  drift = (draw(10000) - 5000) * 1e-6  (rounded to float32)
#include "elements/ElementsGL_.h"
#include "support/RecordingGL.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace lumivex;
using lumivex::testing::RecordingGL;

namespace {

// The base alone, so that its Prepare can be seen without a kind's draws after it.
class TProbe : public TElement {
  public:
    void Move() override {}
    void Draw() override {}
    using TElement::RandomMaxLength;
};

} // namespace

// --- settings and Prepared -------------------------------------------------------------------

TEST(ElementTest, EverySetterUnpreparesOnlyOnARealChange) {
    TLine line;
    const auto check = [&](auto setSame, auto setOther) {
        SetRandSeed(1);
        line.Prepare();
        ASSERT_TRUE(line.Prepared);
        setSame();
        EXPECT_TRUE(line.Prepared);
        setOther();
        EXPECT_FALSE(line.Prepared);
    };
    check([&] { line.SetAlpha(line.Alpha); }, [&] { line.SetAlpha(!line.Alpha); });
    check([&] { line.SetBaseAngle(line.BaseAngle); }, [&] { line.SetBaseAngle(7.5f); });
    check([&] { line.SetFullScreen(line.FullScreen); },
          [&] { line.SetFullScreen(!line.FullScreen); });
    check([&] { line.SetMonochrome(line.Monochrome); },
          [&] { line.SetMonochrome(!line.Monochrome); });
    check([&] { line.SetMonoColor(line.MonoColor); }, [&] { line.SetMonoColor(clBlue); });
    check([&] { line.SetNumOfReflections(line.NumOfReflections); },
          [&] { line.SetNumOfReflections(24); });
    check([&] { line.SetReflected(line.Reflected); }, [&] { line.SetReflected(!line.Reflected); });
    EXPECT_EQ(line.BaseAngle, 7.5f);
    EXPECT_EQ(line.MonoColor, clBlue);
    EXPECT_EQ(line.NumOfReflections, 24);
}

TEST(ElementTest, BasePrepareSetsTheWedgeButNotPrepared) {
    TProbe element;
    element.Prepared = true;
    SetRandSeed(12345); // first draw(100) is 38: fast spin with 12 copies, slow with 72
    element.Prepare();
    EXPECT_FALSE(element.Prepared);
    EXPECT_EQ(element.FastSpin, 1);
    EXPECT_FLOAT_EQ(element.AngleStep, 30.0f);
    EXPECT_EQ(element.AngleMax, element.AngleStep);
    EXPECT_EQ(element.AngleMin, 0.0f);
    EXPECT_EQ(element.RadiusMin, 0.0f);
    EXPECT_EQ(element.RadiusMax, 57.29578f);
    // clNone still gives three whole bytes of 0xFF
    EXPECT_EQ(element.MonoRed, 1.0f);
    EXPECT_EQ(element.MonoGreen, 1.0f);
    EXPECT_EQ(element.MonoBlue, 1.0f);

    element.SetNumOfReflections(72);
    element.SetFullScreen(true);
    element.SetMonoColor(0x00336699); // blue 0x33, green 0x66, red 0x99
    SetRandSeed(12345);
    element.Prepare();
    EXPECT_EQ(element.FastSpin, 0);
    EXPECT_FLOAT_EQ(element.AngleStep, 5.0f);
    EXPECT_EQ(element.RadiusMax, 19.098593f);
    EXPECT_FLOAT_EQ(element.MonoRed, 0.6f);
    EXPECT_FLOAT_EQ(element.MonoGreen, 0.4f);
    EXPECT_FLOAT_EQ(element.MonoBlue, 0.2f);
}

TEST(ElementTest, MaxLengthIsTheWedgeUpToSixCopiesThenAPrime) {
    TProbe element;
    const float wide[] = {360, 180, 120, 90, 72, 60};
    for (int copies = 1; copies <= 6; ++copies) {
        element.SetNumOfReflections(static_cast<TNumOfReflections>(copies));
        SetRandSeed(5);
        EXPECT_FLOAT_EQ(element.RandomMaxLength(), wide[copies - 1]);
        EXPECT_EQ(RandSeed, 5u) << "no draw for a wide wedge";
    }
    // seed 12345: draw(6) = 2, the third prime
    element.SetNumOfReflections(7);
    SetRandSeed(12345);
    EXPECT_EQ(element.RandomMaxLength(), 43.0f);
}

// --- colour ----------------------------------------------------------------------------------

TEST(ElementColorTest, RandomColorDrawOrder) {
    // seed 12345, draw(10000) x8 -> 3853 2893 797 5536 6336 3415 4399 793
    TElementColor color{};
    SetRandSeed(12345);
    RandomElementColor(true, color);
    EXPECT_FLOAT_EQ(color.Opacity, 0.3853f);
    EXPECT_FLOAT_EQ(color.OpacityDrift, -0.002107f);
    EXPECT_FLOAT_EQ(color.Blue, 0.0797f);
    EXPECT_FLOAT_EQ(color.BlueDrift, 0.000536f);
    EXPECT_FLOAT_EQ(color.Green, 0.6336f);
    EXPECT_FLOAT_EQ(color.GreenDrift, -0.001585f);
    EXPECT_FLOAT_EQ(color.Red, 0.4399f);
    EXPECT_FLOAT_EQ(color.RedDrift, -0.004207f);

    SetRandSeed(12345);
    RandomElementColor(false, color);
    EXPECT_EQ(color.Opacity, 1.0f);
    EXPECT_EQ(color.OpacityDrift, 0.0f);
    EXPECT_FLOAT_EQ(color.Blue, 0.3853f);
    EXPECT_FLOAT_EQ(color.BlueDrift, -0.002107f);
    EXPECT_FLOAT_EQ(color.Red, 0.6336f);
}

TEST(ElementColorTest, OpacityIsLiftedToItsFloorOnlyWithAlpha) {
    TElementColor color{0.1f, 0.001f, 0.5f, 0, 0.5f, 0, 0.5f, 0};
    SetRandSeed(12345);
    DriftElementColor(false, color);
    EXPECT_EQ(color.Opacity, 0.1f);
    EXPECT_EQ(RandSeed, 12345u);

    DriftElementColor(true, color); // a new drift: (3853 - 5000) * 1e-6
    EXPECT_EQ(color.Opacity, 0.2f);
    EXPECT_FLOAT_EQ(color.OpacityDrift, -0.001147f);
}

TEST(ElementColorTest, ComponentAtABoundRedrawsItsDriftEachStep) {
    // Blue and red both hit a bound; blue's new drift is drawn first.
    TElementColor color{1, 0, 1.0f, 0.003f, 0.5f, 0.001f, 0.001f, -0.002f};
    SetRandSeed(12345);
    DriftElementColor(false, color);
    EXPECT_EQ(color.Blue, 1.0f);
    EXPECT_EQ(color.Red, 0.0f);
    EXPECT_FLOAT_EQ(color.Green, 0.501f);
    EXPECT_FLOAT_EQ(color.BlueDrift, -0.001147f); // 3853
    EXPECT_FLOAT_EQ(color.RedDrift, -0.002107f);  // 2893
    EXPECT_EQ(color.GreenDrift, 0.001f);
}

// --- points ----------------------------------------------------------------------------------

TEST(PolarPointTest, RandomPointDrawOrder) {
    // seed 12345: Radius draw(57) = 21, RadiusSpeed -43 * 0.0013, Angle draw(30) = 16,
    // AngleSpeed -53 * 0.0053; nine draws in all, seed then 138982102.
    TPolarPoint point{};
    SetRandSeed(12345);
    RandomPolarPoint(9, true, point, 0, 57.29578f, 0, 30);
    EXPECT_EQ(point.Radius, 21.0f);
    EXPECT_FLOAT_EQ(point.RadiusSpeed, -0.0559f);
    EXPECT_EQ(point.Angle, 16.0f);
    EXPECT_FLOAT_EQ(point.AngleSpeed, -0.2809f);
    EXPECT_EQ(RandSeed, 138982102u);
}

TEST(PolarPointTest, BounceClampsAndTurnsTheSpeedRound) {
    TPolarPoint point{29.5f, 1.0f, 56.0f, 2.0f};
    SetRandSeed(8);
    MovePolarPoint(point, 9, true, 0, 57.29578f, 0, 30);
    EXPECT_EQ(point.Radius, 57.29578f);
    EXPECT_EQ(point.Angle, 30.0f);
    EXPECT_LE(point.RadiusSpeed, 0.0f);
    EXPECT_LE(point.AngleSpeed, 0.0f);
}

TEST(PolarPointTest, APointWithOneSpeedKeepsMovingAndIsNotRestarted) {
    TPolarPoint point{5, 0, 10, 0.5f};
    SetRandSeed(12345);
    MovePolarPoint(point, 9, true, 0, 57.29578f, 0, 30);
    EXPECT_EQ(point.Radius, 10.5f);
    EXPECT_EQ(point.Angle, 5.0f);
    EXPECT_EQ(RandSeed, 12345u);
}

TEST(PolarPointTest, AStoppedPointRestartsOnlyOnARareDraw) {
    const TPolarPoint stopped{5, 0, 10, 0};
    TPolarPoint point = stopped;
    SetRandSeed(12345); // draw(10000) = 3853: stays put
    MovePolarPoint(point, 9, true, 0, 57.29578f, 0, 30);
    EXPECT_EQ(std::memcmp(&point, &stopped, sizeof point), 0);
    EXPECT_EQ(RandSeed, 0x62A6551Eu);

    // seed 2645: draw(10000) > 9995, draw(100) = 50: a new angular speed, -47 * 0.0053
    point = stopped;
    SetRandSeed(2645);
    MovePolarPoint(point, 9, true, 0, 57.29578f, 0, 30);
    EXPECT_FLOAT_EQ(point.AngleSpeed, -0.2491f);
    EXPECT_EQ(point.RadiusSpeed, 0.0f);
    EXPECT_EQ(RandSeed, 1085252129u);

    // seed 478: draw(10000) > 9995, draw(100) = 61: a new radial speed, 47 * 0.0013
    point = stopped;
    SetRandSeed(478);
    MovePolarPoint(point, 9, true, 0, 57.29578f, 0, 30);
    EXPECT_FLOAT_EQ(point.RadiusSpeed, 0.0611f);
    EXPECT_EQ(point.AngleSpeed, 0.0f);
    EXPECT_EQ(RandSeed, 3544401818u);
}

TEST(PolarPointTest, DistanceLimitTurnsOnlySpeedsThatWouldPullApart) {
    // (10, 0) and (10, 180) are 20 apart; turning either angle brings them closer, and only P's
    // radial speed lengthens the distance.
    TPolarPoint p{0, 3, 10, 1};
    TPolarPoint q{180, -3, 10, -1};
    SetRandSeed(31);
    LimitPointDistance(p, q, 9, true, 30, 0, 57, 0, 360);
    EXPECT_EQ(RandSeed, 31u) << "closer than the limit: nothing happens";

    LimitPointDistance(p, q, 9, true, 20, 0, 57, 0, 360);
    EXPECT_LE(p.RadiusSpeed, 0.0f);
    EXPECT_EQ(p.AngleSpeed, 3.0f);
    EXPECT_EQ(q.RadiusSpeed, -1.0f);
    EXPECT_EQ(q.AngleSpeed, -3.0f);
}

// --- drawing skeleton ------------------------------------------------------------------------

TEST(DrawingTest, FullScreenTilesBottomRowFirstLeftToRight) {
    // dx = c * 0.87 * 38.197186, dy = r * 0.87 * 38.197186 * 0.866025 (Python, float32)
    const float column6[] = {-83.07888f, -49.847328f, -16.615776f,
                             16.615776f, 49.847328f,  83.07888f};
    const float column5[] = {-66.463104f, -33.231552f, 0.0f, 33.231552f, 66.463104f};
    const float rows[] = {-57.558708f, -28.779354f, 0.0f, 28.779354f, 57.558708f};
    std::vector<TileOffset> expected;
    for (int row = 0; row < 5; ++row) {
        if (row % 2 == 0)
            for (float dx : column6)
                expected.push_back({dx, rows[row]});
        else
            for (float dx : column5)
                expected.push_back({dx, rows[row]});
    }
    ASSERT_EQ(expected.size(), 28u);

    // A line whose first end sits on the centre draws that end exactly at each tile offset.
    TLine line;
    line.SetNumOfReflections(1);
    line.SetFullScreen(true);
    line.Prepare();
    line.P1.Radius = 0;
    RecordingGL gl;
    line.Draw();
    const auto vertices = gl.Only("glVertex2f");
    ASSERT_EQ(vertices.size(), 56u);
    for (int tile = 0; tile < 28; ++tile) {
        EXPECT_FLOAT_EQ(FullScreenTiles[tile].dx, expected[tile].dx) << tile;
        EXPECT_FLOAT_EQ(FullScreenTiles[tile].dy, expected[tile].dy) << tile;
        EXPECT_FLOAT_EQ(static_cast<float>(vertices[2 * tile].Args[0]), expected[tile].dx);
        EXPECT_FLOAT_EQ(static_cast<float>(vertices[2 * tile].Args[1]), expected[tile].dy);
    }
}

TEST(DrawingTest, MonochromeUsesTheLuminanceOfTheElementColour) {
    TLine line;
    line.SetMonochrome(true);
    line.SetMonoColor(0x00FF8000); // blue 255, green 128, red 0
    line.Prepare();
    line.Color = {0.5f, 0, 0.2f, 0, 0.4f, 0, 0.6f, 0};
    {
        RecordingGL gl;
        line.Draw();
        // L = 0.3 * 0.6 + 0.59 * 0.4 + 0.11 * 0.2 = 0.438
        const auto colors = gl.Only("glColor4f");
        ASSERT_EQ(colors.size(), 1u);
        EXPECT_FLOAT_EQ(static_cast<float>(colors[0].Args[0]), 0.0f);
        EXPECT_FLOAT_EQ(static_cast<float>(colors[0].Args[1]), 0.438f * 128 / 255);
        EXPECT_FLOAT_EQ(static_cast<float>(colors[0].Args[2]), 0.438f);
        EXPECT_FLOAT_EQ(static_cast<float>(colors[0].Args[3]), 0.5f);
    }
    line.SetMonoColor(clNone);
    line.Prepare();
    line.Color = {0.5f, 0, 0.2f, 0, 0.4f, 0, 0.6f, 0};
    RecordingGL gl;
    line.Draw();
    const auto colors = gl.Only("glColor4f");
    ASSERT_EQ(colors.size(), 1u);
    EXPECT_EQ(colors[0].Args, (std::vector<double>{0.6f, 0.4f, 0.2f, 0.5f}));
}

// Every kind: an element that is not prepared neither moves nor draws.
template <typename Kind> class UnpreparedElementTest : public ::testing::Test {};
using ElementKinds = ::testing::Types<TLine, TLine2, TLine3, TBezier, TBezier2, TCircle, TCircle2,
                                      TCircle3, TTriangle, TTriangle2>;
TYPED_TEST_SUITE(UnpreparedElementTest, ElementKinds);

TYPED_TEST(UnpreparedElementTest, NeitherMovesNorDraws) {
    TypeParam fresh;
    TypeParam changed;
    changed.SetFullScreen(true);
    changed.Prepare();
    changed.SetAlpha(true); // a changed setting unprepares it again
    for (TElement* element : {static_cast<TElement*>(&fresh), static_cast<TElement*>(&changed)}) {
        ASSERT_FALSE(element->Prepared);
        alignas(TypeParam) unsigned char before[sizeof(TypeParam)];
        std::memcpy(before, static_cast<void*>(element), sizeof(TypeParam));
        SetRandSeed(77);
        RecordingGL gl;
        element->Move();
        element->Draw();
        EXPECT_TRUE(gl.Empty());
        EXPECT_EQ(RandSeed, 77u);
        EXPECT_EQ(std::memcmp(before, static_cast<void*>(element), sizeof(TypeParam)), 0);
    }
}

// --- element list ----------------------------------------------------------------------------

namespace {
std::vector<int> destroyed;

class TCounted : public TLine {
  public:
    explicit TCounted(int id) : id_(id) {}
    ~TCounted() override { destroyed.push_back(id_); }

  private:
    int id_;
};

class ElementListTest : public ::testing::Test {
  protected:
    void SetUp() override { destroyed.clear(); }
};
} // namespace

TEST_F(ElementListTest, IndexErrorsNameTheIndexAndChangeNothing) {
    TElementList list;
    list.Add(new TCounted(1));
    for (std::int32_t bad : {-1, 1, 5}) {
        try {
            list.Get(bad);
            FAIL() << "no error for " << bad;
        } catch (const EListError& error) {
            EXPECT_EQ(std::string(error.what()),
                      "List index out of bounds (" + std::to_string(bad) + ")");
        }
    }
    auto spare = std::make_unique<TCounted>(9);
    EXPECT_THROW(list.Put(1, spare.get()), EListError);
    EXPECT_THROW(list.Delete(1), EListError);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_TRUE(destroyed.empty());
}

TEST_F(ElementListTest, PutHandsTheReplacedElementBack) {
    TElementList list;
    auto* old = new TCounted(1);
    auto* replacement = new TCounted(2);
    list.Add(old);
    std::unique_ptr<TElement> returned(list.Put(0, replacement));
    EXPECT_EQ(returned.get(), old);
    EXPECT_EQ(list.Get(0), replacement);
    EXPECT_TRUE(destroyed.empty()) << "the list no longer owns it, so it must not destroy it";
    returned.reset();
    list.Clear();
    EXPECT_EQ(destroyed, (std::vector<int>{1, 2}));
}

TEST_F(ElementListTest, RemoveDestroysEvenAnElementNotInTheList) {
    TElementList list;
    auto* kept = new TCounted(1);
    auto* removed = new TCounted(2);
    list.Add(kept);
    list.Add(removed);
    list.Remove(removed);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Get(0), kept);
    list.Remove(new TCounted(3));
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(destroyed, (std::vector<int>{2, 3}));
}

TEST_F(ElementListTest, DeleteMovesLaterElementsDown) {
    TElementList list;
    auto* third = new TCounted(3);
    EXPECT_EQ(list.Add(new TCounted(1)), 0);
    EXPECT_EQ(list.Add(new TCounted(2)), 1);
    EXPECT_EQ(list.Add(third), 2);
    list.Delete(1);
    EXPECT_EQ(destroyed, (std::vector<int>{2}));
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Get(1), third);
}

TEST_F(ElementListTest, ClearAndDestructionDestroyInIndexOrder) {
    {
        TElementList list;
        list.Clear();
        EXPECT_TRUE(destroyed.empty());
        for (int id = 1; id <= 3; ++id)
            list.Add(new TCounted(id));
        list.Clear();
        EXPECT_EQ(list.Count(), 0);
        EXPECT_EQ(destroyed, (std::vector<int>{1, 2, 3}));
        list.Add(new TCounted(4));
        list.Add(new TCounted(5));
    }
    EXPECT_EQ(destroyed, (std::vector<int>{1, 2, 3, 4, 5}));
}
