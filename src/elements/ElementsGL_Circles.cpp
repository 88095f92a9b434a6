// The circle kinds: one spoke per copy from a fixed centre, turning back and forth and breathing
// in length, so that the spokes of successive frames build a disc (TCircle), a glowing disc
// (TCircle2, dark at the rim) or a ring (TCircle3, dark at the centre).
#include "elements/ElementsGL_.h"

namespace lumivex {

namespace {
constexpr std::int32_t CentreSpeedCount = 9;
constexpr std::int32_t SpokeSpeedCount = 3;
constexpr double CentreRadiusShare = 0.8;
constexpr double MinCircleShare = 0.25;
constexpr double RandomCircleShare = 0.75;
constexpr float SpokeAngleMin = 0.0f;
constexpr float SpokeAngleMax = 3600.0f; // ten turns before the spoke bounces back
constexpr float SpokeLengthMinShare = 0.0625f;
// Spoke lengths change 53 times slower than point radii.
constexpr double SpokeRadialScale = 0.018867924528301886;
constexpr double SpokeBounceScale = 0.0188679245283;
} // namespace

TCircle::TCircle() {
    ZeroElementColor(Color);
    ZeroPolarPoint(Centre);
    ZeroPolarPoint(Spoke);
}

void TCircle::Prepare() {
    TElement::Prepare();
    const bool fastSpin = FastSpin != 0;
    RandomElementColor(Alpha, Color);
    RandomPolarPoint(CentreSpeedCount, fastSpin, Centre, RadiusMin,
                     static_cast<float>(CentreRadiusShare * RadiusMax), AngleMin, AngleMax);
    // Leaves at least one unit between the rim and the edge of the wedge.
    const double room = static_cast<double>(RadiusMax) - Centre.Radius;
    CircleRadius =
        static_cast<float>(room * MinCircleShare + Random(Trunc(room * RandomCircleShare)));
    do {
        RandomPolarPoint(SpokeSpeedCount, fastSpin, Spoke, RadiusMin, RadiusMax - CircleRadius,
                         SpokeAngleMin, SpokeAngleMax);
    } while (Spoke.AngleSpeed == 0.0f);
    Spoke.RadiusSpeed = static_cast<float>(Spoke.RadiusSpeed * SpokeRadialScale);
    Prepared = true;
}

void TCircle::Move() {
    if (!Prepared)
        return;
    DriftElementColor(Alpha, Color);
    const float radiusSpeed = Spoke.RadiusSpeed;
    MovePolarPoint(Spoke, SpokeSpeedCount, FastSpin != 0, CircleRadius * SpokeLengthMinShare,
                   CircleRadius, SpokeAngleMin, SpokeAngleMax);
    // A bounce of the length also reverses the sense of turning.
    if (Spoke.RadiusSpeed != radiusSpeed) {
        Spoke.RadiusSpeed = static_cast<float>(Spoke.RadiusSpeed * SpokeBounceScale);
        Spoke.AngleSpeed = -Spoke.AngleSpeed;
    }
}

void TCircle::Draw() {
    if (!Prepared)
        return;
    SetDrawState(false);
    GL.glBegin(GL_LINES);
    SetColor(DrawingColor(Color));
    DrawSpokes([](const auto& shift, TDrawPoint centre, TDrawPoint end) {
        Vertex(shift, centre);
        Vertex(shift, end);
    });
}

void TCircle2::Draw() {
    if (!Prepared)
        return;
    SetDrawState(false);
    const TDrawColor color = DrawingColor(Color);
    const TDrawColor shade = ShadeColor(Color);
    GL.glBegin(GL_LINES);
    DrawSpokes([&](const auto& shift, TDrawPoint centre, TDrawPoint end) {
        SetColor(color);
        Vertex(shift, centre);
        SetColor(shade);
        Vertex(shift, end);
    });
}

void TCircle3::Draw() {
    if (!Prepared)
        return;
    SetDrawState(false);
    const TDrawColor color = DrawingColor(Color);
    const TDrawColor shade = ShadeColor(Color);
    GL.glBegin(GL_LINES);
    DrawSpokes([&](const auto& shift, TDrawPoint centre, TDrawPoint end) {
        SetColor(shade);
        Vertex(shift, centre);
        SetColor(color);
        Vertex(shift, end);
    });
}

} // namespace lumivex
