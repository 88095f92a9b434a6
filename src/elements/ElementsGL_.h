// What the ten element kinds share: the base class with its settings and derived wedge, the
// drifting colour and moving polar point records with their motion helpers, the drawing
// skeleton (reflection copies and the 28-tile full-screen lattice), the owning element list,
// and the ten kinds themselves.
#pragma once

#include "elements/GeometryGL_.h"
#include "gl/OpenGL12.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

namespace lumivex {

using TColor = std::uint32_t; // COLORREF 0x00BBGGRR
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clBlack = 0x00000000;
constexpr TColor clBlue = 0x00FF0000;

struct TElementColor {
    float Opacity, OpacityDrift, Blue, BlueDrift, Green, GreenDrift, Red, RedDrift;
};

struct TPolarPoint {
    float Angle, AngleSpeed, Radius, RadiusSpeed;
};

void ZeroElementColor(TElementColor& color);
void ZeroPolarPoint(TPolarPoint& point);
void RandomElementColor(bool alpha, TElementColor& color);
void DriftElementColor(bool alpha, TElementColor& color);
void RandomPolarPoint(std::int32_t count, bool fastSpin, TPolarPoint& point, float radiusMin,
                      float radiusMax, float angleMin, float angleMax);
void MoveRadius(TPolarPoint& point, std::int32_t count, bool fastSpin, float lo, float hi);
void MoveAngle(TPolarPoint& point, std::int32_t count, bool fastSpin, float lo, float hi);
void MovePolarPoint(TPolarPoint& point, std::int32_t count, bool fastSpin, float radiusMin,
                    float radiusMax, float angleMin, float angleMax);
void LimitPointDistance(TPolarPoint& p, TPolarPoint& q, std::int32_t count, bool fastSpin,
                        float maxDistance, float radiusMin, float radiusMax, float angleMin,
                        float angleMax);

// Offsets of the full-screen tiles, in drawing order (bottom row first, left to right).
struct TileOffset {
    double dx, dy; // a shifted vertex is rounded to single once, after the shift
};
constexpr int FullScreenTileCount = 28;
extern const TileOffset FullScreenTiles[FullScreenTileCount];

// A drawing position in view units.
struct TDrawPoint {
    float x, y;
};

// The curve of the Bezier kinds at parameter t over the drawing positions c1..c4. Its third
// weight is t*t*s rather than 3*t*t*s, which pulls the middle of the curve toward the centre.
TDrawPoint BezierPoint(float t, TDrawPoint c1, TDrawPoint c2, TDrawPoint c3, TDrawPoint c4);

class TElement {
  public:
    TElement();
    virtual ~TElement() = default;
    TElement(const TElement&) = delete;
    TElement& operator=(const TElement&) = delete;

    void SetAlpha(bool value);
    void SetBaseAngle(float value);
    void SetFullScreen(bool value);
    void SetMonochrome(bool value);
    void SetMonoColor(TColor value);
    void SetNumOfReflections(TNumOfReflections value);
    void SetReflected(bool value);

    // Fresh random wedge, colour, points and speeds; the base part alone leaves Prepared false.
    virtual void Prepare();
    virtual void Move() = 0;
    virtual void Draw() = 0;

    float AngleStep = 0;
    float BaseAngle = 0;
    float AngleMax = 0;
    float RadiusMax = 0;
    float AngleMin = 0;
    float RadiusMin = 0;
    float MonoBlue = 0;
    float MonoGreen = 0;
    float MonoRed = 0;
    std::int32_t FastSpin = 1;
    bool Alpha = false;
    bool FullScreen = false;
    bool Monochrome = false;
    TColor MonoColor = clNone;
    TNumOfReflections NumOfReflections = 12;
    bool Reflected = true;
    bool Prepared = false;

  protected:
    struct TDrawColor {
        float Red, Green, Blue, Alpha;
    };
    struct TNoShift {};

    // Length limit of the kinds that keep points together: wide wedges never need one.
    float RandomMaxLength() const;
    // Point helpers over the element's own wedge and motion mode.
    void RandomPointInWedge(std::int32_t count, TPolarPoint& point) const {
        RandomPolarPoint(count, FastSpin != 0, point, RadiusMin, RadiusMax, AngleMin, AngleMax);
    }
    void MovePointInWedge(std::int32_t count, TPolarPoint& point) const {
        MovePolarPoint(point, count, FastSpin != 0, RadiusMin, RadiusMax, AngleMin, AngleMax);
    }
    void LimitPair(std::int32_t count, float maxLength, TPolarPoint& p, TPolarPoint& q) const {
        LimitPointDistance(p, q, count, FastSpin != 0, maxLength, RadiusMin, RadiusMax, AngleMin,
                           AngleMax);
    }
    // The element colour under the monochrome rule.
    TDrawColor DrawingColor(const TElementColor& color) const;
    // Near black and a little more transparent than the element.
    static TDrawColor ShadeColor(const TElementColor& color);
    // State every kind sets before glBegin; the circle kinds leave the line width alone.
    static void SetDrawState(bool setLineWidth);
    static void EndDraw();
    static void SetColor(const TDrawColor& color) {
        GL.glColor4f(color.Red, color.Green, color.Blue, color.Alpha);
    }
    // Drawing position of a point in reflection copy `copy`.
    TDrawPoint CopyPosition(std::int32_t copy, const TPolarPoint& point) const {
        const float angle = ReflectionAngle(Reflected, copy, AngleStep, point.Angle, BaseAngle);
        return {PolarX(point.Radius, angle), PolarY(point.Radius, angle)};
    }
    static void Vertex(TNoShift, TDrawPoint p) { GL.glVertex2f(p.x, p.y); }
    static void Vertex(const TileOffset& shift, TDrawPoint p) {
        GL.glVertex2f(static_cast<float>(p.x + shift.dx), static_cast<float>(p.y + shift.dy));
    }
    // Calls group(shift) once unshifted, or in full-screen mode once per tile in tiling order;
    // group passes shift on to Vertex.
    template <typename Group> void EmitTiled(Group&& group) const {
        if (!FullScreen) {
            group(TNoShift{});
            return;
        }
        for (const TileOffset& shift : FullScreenTiles)
            group(shift);
    }
    // The segments from each of `count` points to the next, in order; in full-screen mode each
    // segment at every tile before the next segment.
    void EmitChain(const TDrawPoint* points, int count) const {
        for (int k = 0; k + 1 < count; ++k)
            EmitTiled([&](const auto& shift) {
                Vertex(shift, points[k]);
                Vertex(shift, points[k + 1]);
            });
    }
};

// "List index out of bounds (%d)"
class EListError : public std::out_of_range {
  public:
    explicit EListError(std::int32_t index);
};

// Owns its elements: removing, deleting, clearing or destroying the list destroys them.
class TElementList {
  public:
    TElementList();
    virtual ~TElementList();
    TElementList(const TElementList&) = delete;
    TElementList& operator=(const TElementList&) = delete;

    virtual TElement* Get(std::int32_t index) const;
    // Stores element at index and hands the element that was there back to the caller, who
    // then owns it (it is not destroyed).
    virtual TElement* Put(std::int32_t index, TElement* element);
    // The list owns element from the call on, even when adding it fails.
    virtual std::int32_t Add(TElement* element);
    virtual void Remove(TElement* element);
    virtual void Delete(std::int32_t index);
    virtual void Clear();
    std::int32_t Count() const { return static_cast<std::int32_t>(items_.size()); }

  private:
    std::vector<std::unique_ptr<TElement>> items_;
};

// Speed counts: how many of SpeedPrimes a kind's speeds are drawn from.
constexpr std::int32_t LineSpeedCount = 9;
constexpr std::int32_t BezierSpeedCount = 6;

// What the line kinds and TBezier2 share: two points wandering the wedge, kept within
// MaxLength of each other; speeds drawn from the first Count primes.
template <std::int32_t SpeedCount> class TPointPairElement : public TElement {
  public:
    static constexpr std::int32_t Count = SpeedCount;

    TPointPairElement() {
        ZeroElementColor(Color);
        ZeroPolarPoint(P1);
        ZeroPolarPoint(P2);
    }
    void Prepare() override {
        TElement::Prepare();
        MaxLength = RandomMaxLength();
        RandomElementColor(Alpha, Color);
        RandomPointInWedge(Count, P1);
        RandomPointInWedge(Count, P2);
        Prepared = true;
    }
    void Move() override {
        if (!Prepared)
            return;
        DriftElementColor(Alpha, Color);
        MovePointInWedge(Count, P1);
        MovePointInWedge(Count, P2);
        LimitPair(Count, MaxLength, P1, P2);
    }

    float MaxLength = 0;
    TElementColor Color{};
    TPolarPoint P1{}, P2{};
};

// --- line kinds -----------------------------------------------------------------------------
class TLine : public TPointPairElement<LineSpeedCount> {
  public:
    void Draw() override;
};

class TLine2 : public TLine {
  public:
    void Move() override;
};

class TLine3 : public TLine {
  public:
    void Draw() override;
};

// --- Bezier kinds ---------------------------------------------------------------------------
class TBezier : public TElement {
  public:
    TBezier();
    void Prepare() override;
    void Move() override;
    void Draw() override;

    float MaxLength = 0;
    TElementColor Color{};
    TPolarPoint P1{}, P2{}, P3{}, P4{};
};

class TBezier2 : public TPointPairElement<BezierSpeedCount> {
  public:
    void Draw() override;
};

// --- circle kinds ---------------------------------------------------------------------------
class TCircle : public TElement {
  public:
    TCircle();
    void Prepare() override;
    void Move() override;
    void Draw() override;

    float CircleRadius = 0;
    TElementColor Color{};
    TPolarPoint Centre{};
    TPolarPoint Spoke{};

  protected:
    // One spoke per copy (per tile in full-screen mode) through emit(shift, centre, end), then
    // glEnd and glFlush. The spoke's direction is mirrored and turned like a point's angle.
    template <typename EmitSpoke> void DrawSpokes(EmitSpoke&& emit) const {
        for (std::int32_t copy = 0; copy < NumOfReflections; ++copy) {
            const TDrawPoint centre = CopyPosition(copy, Centre);
            const TDrawPoint spoke = CopyPosition(copy, Spoke);
            const TDrawPoint end{centre.x + spoke.x, centre.y + spoke.y};
            EmitTiled([&](const auto& shift) { emit(shift, centre, end); });
        }
        EndDraw();
    }
};

class TCircle2 : public TCircle {
  public:
    void Draw() override;
};

class TCircle3 : public TCircle {
  public:
    void Draw() override;
};

// --- triangle kinds -------------------------------------------------------------------------
class TTriangle : public TElement {
  public:
    TTriangle();
    void Prepare() override;
    void Move() override;
    void Draw() override;

    float MaxLength = 0;
    TElementColor Color{};
    TPolarPoint P1{}, P2{}, P3{};
};

class TTriangle2 : public TTriangle {
  public:
    void Draw() override;
};

} // namespace lumivex
