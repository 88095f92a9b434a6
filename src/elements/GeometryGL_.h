// Numeric toolkit under every element: the program-wide random generator, random shapes of
// number (fraction, drift, stepped range, prime-table speeds), polar-to-drawing conversion,
// reflection angles and polar distances. Every helper takes and returns single precision,
// computes in double and rounds once on return.
#pragma once

#include <cstdint>

namespace lumivex {

using TNumOfElements = std::uint8_t;    // 1..10 by declaration, not enforced
using TNumOfReflections = std::uint8_t; // 1..72 by declaration, not enforced

// The 14 primes 53 down to 3; callers draw from the first Count entries only.
extern const std::uint8_t SpeedPrimes[14];

// --- the program-wide 32-bit linear congruential generator ---------------------------------
// seed := seed * 134775813 + 1 (mod 2^32) at every draw.
extern std::uint32_t RandSeed;
void SetRandSeed(std::uint32_t seed);
// Uniform integer in [0, n); 0 when n <= 0. Every call advances the seed.
std::int32_t Random(std::int32_t n);

// Round to nearest, ties to even.
std::int32_t Round(double value);
// Toward zero. Both give INT32_MIN for NaN and values outside the 32-bit range, as the FPU's
// masked invalid-operation result would.
std::int32_t Trunc(double value);

bool ClampToRange(float& value, float lo, float hi);
float PolarX(float radius, float angle);
float PolarY(float radius, float angle);
float ReflectionAngle(bool reflected, std::int32_t index, float step, float angle, float base);
float PolarDistance(float radius1, float angle1, float radius2, float angle2);
float RandomFraction();
float RandomDrift();
float RandomInRange(float lo, float hi);
float RandomRadialSpeed(std::int32_t count, bool fastSpin);
float RandomAngularSpeed(std::int32_t count, bool fastSpin);
float ReverseRadialSpeed(std::int32_t count, bool fastSpin, float current);
float ReverseAngularSpeed(std::int32_t count, bool fastSpin, float current);

} // namespace lumivex
