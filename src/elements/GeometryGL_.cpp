// Random generator and geometry helpers of the elements. Everything here is plain arithmetic on
// the caller's values: no allocation, no state besides the generator's seed.
#include "elements/GeometryGL_.h"

#include <cmath>
#include <limits>

namespace lumivex {

const std::uint8_t SpeedPrimes[14] = {53, 47, 43, 37, 31, 29, 23, 19, 17, 13, 11, 7, 5, 3};

namespace {
constexpr std::uint32_t RandMultiplier = 134775813u;
constexpr double DegreesToRadians = 0.017453292519943295;
constexpr double FractionStep = 0.0001;
constexpr double DriftStep = 0.000001;
constexpr double SlowFactor = 0.0013;
constexpr double FastFactor = 0.0053;
// Chance, in percent, that a zero speed is drawn again rather than kept.
constexpr std::int32_t RadialRetryPercent = 85;
constexpr std::int32_t AngularRetryPercent = 95;
constexpr std::int32_t SpeedPrimeCount = 14;

bool FitsInt32(double value) {
    return value >= static_cast<double>(std::numeric_limits<std::int32_t>::min()) &&
           value <= static_cast<double>(std::numeric_limits<std::int32_t>::max());
}

// Draws until the speed is non-zero or a zero survives the retry draw.
float RandomSpeed(std::int32_t count, double factor, std::int32_t retryPercent) {
    if (count > SpeedPrimeCount)
        count = SpeedPrimeCount;
    for (;;) {
        const double prime = SpeedPrimes[Random(count)];
        const double speed = prime * factor * static_cast<double>(Random(3) - 1);
        if (speed != 0.0)
            return static_cast<float>(speed);
        if (Random(100) >= retryPercent)
            return 0.0f;
    }
}
} // namespace

std::uint32_t RandSeed = 0;

void SetRandSeed(std::uint32_t seed) {
    RandSeed = seed;
}

std::int32_t Random(std::int32_t n) {
    // The seed advances on every draw, even one that can only give 0.
    RandSeed = RandSeed * RandMultiplier + 1u;
    if (n <= 0)
        return 0;
    return static_cast<std::int32_t>((static_cast<std::uint64_t>(n) * RandSeed) >> 32);
}

std::int32_t Round(double value) {
    const double rounded = std::nearbyint(value); // default mode: nearest, ties to even
    if (!FitsInt32(rounded))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(rounded);
}

std::int32_t Trunc(double value) {
    const double truncated = std::trunc(value);
    if (!FitsInt32(truncated))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(truncated);
}

bool ClampToRange(float& value, float lo, float hi) {
    if (value < lo)
        value = lo;
    else if (value > hi)
        value = hi;
    return value == lo || value == hi;
}

float PolarX(float radius, float angle) {
    return static_cast<float>(static_cast<double>(radius) *
                              std::cos(static_cast<double>(angle) * DegreesToRadians));
}

float PolarY(float radius, float angle) {
    return static_cast<float>(-static_cast<double>(radius) *
                              std::sin(static_cast<double>(angle) * DegreesToRadians));
}

float ReflectionAngle(bool reflected, std::int32_t index, float step, float angle, float base) {
    const double i = index;
    if (reflected && index % 2 != 0)
        return static_cast<float>(i * step + angle + base);
    return static_cast<float>((i + 1.0) * step - angle + base);
}

float PolarDistance(float radius1, float angle1, float radius2, float angle2) {
    const double dx = static_cast<double>(PolarX(radius2, angle2)) - PolarX(radius1, angle1);
    const double dy = static_cast<double>(PolarY(radius2, angle2)) - PolarY(radius1, angle1);
    return static_cast<float>(std::sqrt(dx * dx + dy * dy));
}

float RandomFraction() {
    return static_cast<float>(Random(10000) * FractionStep);
}

float RandomDrift() {
    return static_cast<float>((Random(10000) - 5000) * DriftStep);
}

float RandomInRange(float lo, float hi) {
    const double low = lo;
    return static_cast<float>(low + Random(Round(static_cast<double>(hi) - low)));
}

float RandomRadialSpeed(std::int32_t count, bool fastSpin) {
    return RandomSpeed(count, fastSpin ? SlowFactor : FastFactor, RadialRetryPercent);
}

float RandomAngularSpeed(std::int32_t count, bool fastSpin) {
    return RandomSpeed(count, fastSpin ? FastFactor : SlowFactor, AngularRetryPercent);
}

float ReverseRadialSpeed(std::int32_t count, bool fastSpin, float current) {
    const float magnitude = std::fabs(RandomRadialSpeed(count, fastSpin));
    return current >= 0.0f ? -magnitude : magnitude;
}

float ReverseAngularSpeed(std::int32_t count, bool fastSpin, float current) {
    const float magnitude = std::fabs(RandomAngularSpeed(count, fastSpin));
    return current >= 0.0f ? -magnitude : magnitude;
}

} // namespace lumivex
