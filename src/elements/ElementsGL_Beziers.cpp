// The Bezier kinds: TBezier bends a curve over four wandering control points; TBezier2 runs a
// curve between two wandering points that bows toward the centre of the picture.
#include "elements/ElementsGL_.h"

namespace lumivex {

namespace {
// t is a single advanced by 0.04 while t <= 1: the sum is taken in double and rounded to single
// once per step (0.04 itself is not rounded first). That gives 25 samples: 1 itself is missed.
constexpr double CurveStep = 0.04;

constexpr float NextParameter(float t) {
    return static_cast<float>(t + CurveStep);
}

struct CurveWeights {
    double w1, w2, w3, w4;
};

constexpr CurveWeights Weights(float t) {
    const double u = t;
    const double s = 1.0 - u;
    return {s * s * s, 3.0 * u * s * s, u * u * s, u * u * u};
}

constexpr int CountSamples() {
    int count = 0;
    for (float t = 0.0f; t <= 1.0f; t = NextParameter(t))
        ++count;
    return count;
}
constexpr int CurveSamples = CountSamples();
static_assert(CurveSamples == 25);

struct CurveTable {
    CurveWeights at[CurveSamples];
};

constexpr CurveTable MakeCurveTable() {
    CurveTable table{};
    int index = 0;
    for (float t = 0.0f; t <= 1.0f; t = NextParameter(t))
        table.at[index++] = Weights(t);
    return table;
}
constexpr CurveTable Curve = MakeCurveTable();

TDrawPoint Blend(const CurveWeights& w, TDrawPoint c1, TDrawPoint c2, TDrawPoint c3,
                 TDrawPoint c4) {
    return {static_cast<float>(w.w1 * c1.x + w.w2 * c2.x + w.w3 * c3.x + w.w4 * c4.x),
            static_cast<float>(w.w1 * c1.y + w.w2 * c2.y + w.w3 * c3.y + w.w4 * c4.y)};
}

// The polyline of one copy: c1 followed by the 25 samples, so its first segment has zero length.
using CurvePolyline = TDrawPoint[CurveSamples + 1];

void SampleCurve(CurvePolyline& polyline, TDrawPoint c1, TDrawPoint c2, TDrawPoint c3,
                 TDrawPoint c4) {
    polyline[0] = c1;
    for (int k = 0; k < CurveSamples; ++k)
        polyline[k + 1] = Blend(Curve.at[k], c1, c2, c3, c4);
}
} // namespace

TDrawPoint BezierPoint(float t, TDrawPoint c1, TDrawPoint c2, TDrawPoint c3, TDrawPoint c4) {
    return Blend(Weights(t), c1, c2, c3, c4);
}

TBezier::TBezier() {
    ZeroElementColor(Color);
    ZeroPolarPoint(P1);
    ZeroPolarPoint(P2);
    ZeroPolarPoint(P3);
    ZeroPolarPoint(P4);
}

void TBezier::Prepare() {
    TElement::Prepare();
    MaxLength = RandomMaxLength();
    RandomElementColor(Alpha, Color);
    for (TPolarPoint* point : {&P1, &P2, &P3, &P4})
        RandomPointInWedge(BezierSpeedCount, *point);
    Prepared = true;
}

void TBezier::Move() {
    if (!Prepared)
        return;
    DriftElementColor(Alpha, Color);
    for (TPolarPoint* point : {&P1, &P2, &P3, &P4})
        MovePointInWedge(BezierSpeedCount, *point);
    LimitPair(BezierSpeedCount, MaxLength, P1, P2);
    LimitPair(BezierSpeedCount, MaxLength, P2, P3);
    LimitPair(BezierSpeedCount, MaxLength, P3, P4);
}

void TBezier::Draw() {
    if (!Prepared)
        return;
    SetDrawState(true);
    GL.glBegin(GL_LINES);
    SetColor(DrawingColor(Color));
    for (std::int32_t copy = 0; copy < NumOfReflections; ++copy) {
        const TDrawPoint c1 = CopyPosition(copy, P1);
        const TDrawPoint c2 = CopyPosition(copy, P2);
        const TDrawPoint c3 = CopyPosition(copy, P3);
        CurvePolyline polyline;
        // Samples are computed once per copy and only shifted per tile.
        SampleCurve(polyline, c1, c2, c3, CopyPosition(copy, P4));
        EmitChain(polyline, CurveSamples + 1);
    }
    EndDraw();
}

void TBezier2::Draw() {
    if (!Prepared)
        return;
    SetDrawState(true);
    GL.glBegin(GL_LINES);
    SetColor(DrawingColor(Color));
    for (std::int32_t copy = 0; copy < NumOfReflections; ++copy) {
        const TDrawPoint c1 = CopyPosition(copy, P1);
        const TDrawPoint c2 = CopyPosition(copy, P2);
        // Control sequence c1, c2, c1, c2: the odd third weight turns the chord into a curve.
        CurvePolyline polyline;
        SampleCurve(polyline, c1, c2, c1, c2);
        EmitChain(polyline, CurveSamples + 1);
    }
    EndDraw();
}

} // namespace lumivex
