// The random generator and the geometry helpers. Expected values come from a short Python model
// of the generator (shown where used), never from the code under test:
//
//     def draw(n):  # seed is a module global
//         seed = (seed * 134775813 + 1) & 0xFFFFFFFF
//         return (n * seed) >> 32
#include "elements/GeometryGL_.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <set>

using namespace lumivex;

TEST(RandomTest, FirstDrawsOfAFixedSeed) {
    // seed 12345: [draw(100) for _ in range(5)] -> [38, 28, 7, 55, 63], seed then 2721613530
    SetRandSeed(12345);
    EXPECT_EQ(Random(100), 38);
    EXPECT_EQ(Random(100), 28);
    EXPECT_EQ(Random(100), 7);
    EXPECT_EQ(Random(100), 55);
    EXPECT_EQ(Random(100), 63);
    EXPECT_EQ(RandSeed, 2721613530u);
}

TEST(RandomTest, EmptyRangeGivesZeroButStillAdvances) {
    SetRandSeed(12345);
    EXPECT_EQ(Random(0), 0);
    EXPECT_EQ(RandSeed, 0x62A6551Eu); // 12345 * 134775813 + 1 mod 2^32
    EXPECT_EQ(Random(-5), 0);
}

TEST(RoundingTest, RoundTiesToEvenAndTruncTowardZero) {
    EXPECT_EQ(Round(0.5), 0);
    EXPECT_EQ(Round(1.5), 2);
    EXPECT_EQ(Round(2.5), 2);
    EXPECT_EQ(Round(-0.5), 0);
    EXPECT_EQ(Round(-1.5), -2);
    EXPECT_EQ(Round(22.5), 22);
    EXPECT_EQ(Round(57.29578), 57);
    EXPECT_EQ(Trunc(42.97), 42);
    EXPECT_EQ(Trunc(-1.7), -1);
    // Like the FPU with invalid operations masked: no trap, the integer "indefinite" value.
    EXPECT_EQ(Round(std::nan("")), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(Trunc(1e12), std::numeric_limits<std::int32_t>::min());
}

TEST(ClampToRangeTest, ReportsAWallHitAndAValueSittingOnOne) {
    float value = 1.3f;
    EXPECT_TRUE(ClampToRange(value, 0.2f, 1.0f));
    EXPECT_EQ(value, 1.0f);
    value = 0.7f;
    EXPECT_FALSE(ClampToRange(value, 0.2f, 1.0f));
    EXPECT_EQ(value, 0.7f);
    value = 0.2f;
    EXPECT_TRUE(ClampToRange(value, 0.2f, 1.0f));
    EXPECT_EQ(value, 0.2f);
    value = -3.0f;
    EXPECT_TRUE(ClampToRange(value, 0.2f, 1.0f));
    EXPECT_EQ(value, 0.2f);
}

TEST(PolarTest, AnglesGrowClockwiseOnScreen) {
    EXPECT_FLOAT_EQ(PolarX(10, 0), 10.0f);
    EXPECT_FLOAT_EQ(PolarY(10, 0), 0.0f);
    EXPECT_NEAR(PolarX(10, 90), 0.0f, 1e-6);
    EXPECT_FLOAT_EQ(PolarY(10, 90), -10.0f);
    // 10 cos 60 = 5, -10 sin 60 = -8.660254
    EXPECT_FLOAT_EQ(PolarX(10, 60), 5.0f);
    EXPECT_FLOAT_EQ(PolarY(10, 60), -8.660254f);
}

TEST(PolarTest, Distance) {
    EXPECT_EQ(PolarDistance(10, 33, 10, 33), 0.0f);
    EXPECT_FLOAT_EQ(PolarDistance(10, 0, 10, 180), 20.0f);
    // (3, 0) and (4, 90) are (3, 0) and (0, -4) on screen: 5 apart
    EXPECT_FLOAT_EQ(PolarDistance(3, 0, 4, 90), 5.0f);
}

TEST(ReflectionAngleTest, MirroredAndTurnedCopies) {
    EXPECT_FLOAT_EQ(ReflectionAngle(true, 0, 30, 10, 0), 20.0f);
    EXPECT_FLOAT_EQ(ReflectionAngle(true, 1, 30, 10, 0), 40.0f);
    EXPECT_FLOAT_EQ(ReflectionAngle(true, 2, 30, 10, 0), 80.0f);
    EXPECT_FLOAT_EQ(ReflectionAngle(true, 3, 30, 10, 0), 100.0f);
    EXPECT_FLOAT_EQ(ReflectionAngle(false, 0, 30, 10, 0), 20.0f);
    EXPECT_FLOAT_EQ(ReflectionAngle(false, 1, 30, 10, 0), 50.0f);
    // The base turns every copy alike.
    EXPECT_FLOAT_EQ(ReflectionAngle(true, 1, 30, 10, 5), 45.0f);
    EXPECT_FLOAT_EQ(ReflectionAngle(false, 0, 30, 10, 5), 25.0f);
}

TEST(ReflectionAngleTest, OddCopyCountLeavesTheLastCopyUnpaired) {
    // 5 copies of 72 degrees: copy 4 is mirrored (5 * 72 - 10), with no unmirrored partner.
    EXPECT_FLOAT_EQ(ReflectionAngle(true, 4, 72, 10, 0), 350.0f);
    EXPECT_FLOAT_EQ(ReflectionAngle(true, 3, 72, 10, 0), 226.0f);
}

TEST(RandomShapesTest, FractionDriftAndRangeDrawInOrder) {
    // seed 12345: draw(10000) x3 -> 3853, 2893, 797
    SetRandSeed(12345);
    EXPECT_FLOAT_EQ(RandomFraction(), 0.3853f);
    EXPECT_FLOAT_EQ(RandomDrift(), -0.002107f); // (2893 - 5000) * 1e-6
    // the third draw is draw(57) instead (Round(57.29578) = 57), which gives 4
    EXPECT_EQ(RandomInRange(0, 57.29578f), 4.0f);
}

TEST(RandomShapesTest, RangeWidthIsRoundedTiesToEven) {
    SetRandSeed(7);
    std::set<float> narrow;
    std::set<float> wide;
    for (int i = 0; i < 3000; ++i) {
        narrow.insert(RandomInRange(0, 0.4f));
        wide.insert(RandomInRange(0, 22.5f));
    }
    EXPECT_EQ(narrow, std::set<float>{0.0f});
    EXPECT_EQ(wide.size(), 22u); // 0..21: 22.5 rounds to 22
    EXPECT_EQ(*wide.rbegin(), 21.0f);
    EXPECT_EQ(RandomInRange(5, 5.2f), 5.0f);
}

TEST(SpeedTest, CountOneUsesOnlyTheFirstPrime) {
    SetRandSeed(3);
    std::set<float> seen;
    for (int i = 0; i < 2000; ++i)
        seen.insert(RandomRadialSpeed(1, true));
    // 53 * 0.0013 = 0.0689
    EXPECT_EQ(seen, (std::set<float>{-0.0689f, 0.0f, 0.0689f}));
}

TEST(SpeedTest, ZeroIsDrawnAgainUnlessTheRetryDrawSaysKeepIt) {
    // seed 4: draw(9), draw(3) = 1 (zero), draw(100) < 85 (retry), draw(9) -> 31, draw(3) -> +1:
    // 31 * 0.0013 = 0.0403 after five draws, seed then 3727404001.
    SetRandSeed(4);
    EXPECT_FLOAT_EQ(RandomRadialSpeed(9, true), 0.0403f);
    EXPECT_EQ(RandSeed, 3727404001u);
    // seed 3: draw(3) = 1 and draw(100) >= 85: zero is kept after three draws.
    SetRandSeed(3);
    EXPECT_EQ(RandomRadialSpeed(9, true), 0.0f);
    EXPECT_EQ(RandSeed, 3803820438u);
}

TEST(SpeedTest, MagnitudesFollowTheModeAndTheCount) {
    const std::set<float> primes = {53, 47, 43, 37, 31, 29, 23, 19, 17};
    SetRandSeed(11);
    for (int i = 0; i < 3000; ++i) {
        const double radialFast = std::fabs(RandomRadialSpeed(9, true)) / 0.0013;
        const double angularFast = std::fabs(RandomAngularSpeed(9, true)) / 0.0053;
        const double radialSlow = std::fabs(RandomRadialSpeed(9, false)) / 0.0053;
        const double angularSlow = std::fabs(RandomAngularSpeed(9, false)) / 0.0013;
        for (double prime : {radialFast, angularFast, radialSlow, angularSlow}) {
            const auto rounded = static_cast<float>(std::round(prime));
            ASSERT_NEAR(prime, rounded, 1e-3);
            ASSERT_TRUE(rounded == 0.0f || primes.count(rounded) == 1) << prime;
        }
    }
}

TEST(SpeedTest, ReversedSpeedPointsAgainstTheTravel) {
    SetRandSeed(21);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_LE(ReverseRadialSpeed(9, true, 0.0f), 0.0f);
        ASSERT_LE(ReverseAngularSpeed(9, true, 0.5f), 0.0f);
        ASSERT_GE(ReverseRadialSpeed(9, false, -0.1f), 0.0f);
        ASSERT_GE(ReverseAngularSpeed(9, false, -0.1f), 0.0f);
    }
}
