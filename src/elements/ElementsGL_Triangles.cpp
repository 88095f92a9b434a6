// The triangle kinds: the outline of a triangle whose corners wander independently, each side
// kept within MaxLength. TTriangle2 darkens its first corner so two sides fade toward it.
#include "elements/ElementsGL_.h"

namespace lumivex {

namespace {
constexpr std::int32_t TriangleSpeedCount = 6;
} // namespace

TTriangle::TTriangle() {
    ZeroElementColor(Color);
    ZeroPolarPoint(P1);
    ZeroPolarPoint(P2);
    ZeroPolarPoint(P3);
}

void TTriangle::Prepare() {
    TElement::Prepare();
    MaxLength = RandomMaxLength();
    RandomElementColor(Alpha, Color);
    for (TPolarPoint* corner : {&P1, &P2, &P3})
        RandomPointInWedge(TriangleSpeedCount, *corner);
    Prepared = true;
}

void TTriangle::Move() {
    if (!Prepared)
        return;
    DriftElementColor(Alpha, Color);
    for (TPolarPoint* corner : {&P1, &P2, &P3})
        MovePointInWedge(TriangleSpeedCount, *corner);
    LimitPair(TriangleSpeedCount, MaxLength, P1, P2);
    LimitPair(TriangleSpeedCount, MaxLength, P2, P3);
    LimitPair(TriangleSpeedCount, MaxLength, P3, P1);
}

void TTriangle::Draw() {
    if (!Prepared)
        return;
    SetDrawState(true);
    GL.glBegin(GL_LINES);
    SetColor(DrawingColor(Color));
    for (std::int32_t copy = 0; copy < NumOfReflections; ++copy) {
        const TDrawPoint v1 = CopyPosition(copy, P1);
        const TDrawPoint v2 = CopyPosition(copy, P2);
        const TDrawPoint v3 = CopyPosition(copy, P3);
        EmitTiled([&](const auto& shift) {
            Vertex(shift, v1);
            Vertex(shift, v2);
            Vertex(shift, v2);
            Vertex(shift, v3);
            Vertex(shift, v3);
            Vertex(shift, v1);
        });
    }
    EndDraw();
}

void TTriangle2::Draw() {
    if (!Prepared)
        return;
    SetDrawState(true);
    const TDrawColor color = DrawingColor(Color);
    const TDrawColor shade = ShadeColor(Color);
    GL.glBegin(GL_LINES);
    for (std::int32_t copy = 0; copy < NumOfReflections; ++copy) {
        const TDrawPoint v1 = CopyPosition(copy, P1);
        const TDrawPoint v2 = CopyPosition(copy, P2);
        const TDrawPoint v3 = CopyPosition(copy, P3);
        EmitTiled([&](const auto& shift) {
            SetColor(shade);
            Vertex(shift, v1);
            SetColor(color);
            Vertex(shift, v2);
            Vertex(shift, v2);
            Vertex(shift, v3);
            Vertex(shift, v3);
            SetColor(shade);
            Vertex(shift, v1);
        });
    }
    EndDraw();
}

} // namespace lumivex
