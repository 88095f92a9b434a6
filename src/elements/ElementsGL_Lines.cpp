// The line kinds: a segment between two wandering points kept within MaxLength of each other.
// TLine2 now and then kicks a speed and a colour drift while the segment is long; TLine3 fades
// the segment from the element colour to near black.
#include "elements/ElementsGL_.h"

namespace lumivex {

namespace {
// A kick happens when Random(720) falls below the number of copies.
constexpr std::int32_t KickRange = 720;
} // namespace

void TLine::Draw() {
    if (!Prepared)
        return;
    SetDrawState(true);
    GL.glBegin(GL_LINES);
    SetColor(DrawingColor(Color));
    for (std::int32_t copy = 0; copy < NumOfReflections; ++copy) {
        const TDrawPoint v1 = CopyPosition(copy, P1);
        const TDrawPoint v2 = CopyPosition(copy, P2);
        EmitTiled([&](const auto& shift) {
            Vertex(shift, v1);
            Vertex(shift, v2);
        });
    }
    EndDraw();
}

void TLine2::Move() {
    if (!Prepared)
        return;
    const bool fastSpin = FastSpin != 0;
    DriftElementColor(Alpha, Color);
    MovePointInWedge(Count, P1);
    MovePointInWedge(Count, P2);
    // The longer the segment against its limit, the likelier a kick.
    const float length = PolarDistance(P1.Radius, P1.Angle, P2.Radius, P2.Angle);
    if (static_cast<float>(Random(Trunc(MaxLength))) < length &&
        Random(KickRange) < NumOfReflections) {
        const std::int32_t speed = Random(100);
        if (speed < 25)
            P1.RadiusSpeed = RandomRadialSpeed(Count, fastSpin);
        else if (speed < 50)
            P1.AngleSpeed = RandomAngularSpeed(Count, fastSpin);
        else if (speed < 75)
            P2.RadiusSpeed = RandomRadialSpeed(Count, fastSpin);
        else
            P2.AngleSpeed = RandomAngularSpeed(Count, fastSpin);
        const std::int32_t drift = Random(100);
        if (drift < 33)
            Color.RedDrift = RandomDrift();
        else if (drift < 66)
            Color.GreenDrift = RandomDrift();
        else
            Color.BlueDrift = RandomDrift();
    }
    LimitPair(Count, MaxLength, P1, P2);
}

void TLine3::Draw() {
    if (!Prepared)
        return;
    SetDrawState(true);
    const TDrawColor color = DrawingColor(Color);
    const TDrawColor shade = ShadeColor(Color);
    GL.glBegin(GL_LINES);
    for (std::int32_t copy = 0; copy < NumOfReflections; ++copy) {
        const TDrawPoint v1 = CopyPosition(copy, P1);
        const TDrawPoint v2 = CopyPosition(copy, P2);
        EmitTiled([&](const auto& shift) {
            SetColor(color);
            Vertex(shift, v1);
            SetColor(shade);
            Vertex(shift, v2);
        });
    }
    EndDraw();
}

} // namespace lumivex
