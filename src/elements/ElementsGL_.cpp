// The element base: settings and the wedge derived from them, colour drift, point motion with
// bouncing, the distance limit between two points, the pieces of the drawing skeleton, and the
// owning element list. Draws from the one random generator in a fixed order, so a given seed
// always gives the same picture.
#include "elements/ElementsGL_.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>

namespace lumivex {

namespace {
constexpr float FullAngle = 360.0f;
constexpr float WedgeRadius = 57.29578f;            // 180/pi: the shorter half-side of the view
constexpr float FullScreenWedgeRadius = 19.098593f; // a third of it, so 28 tiles cover the view
constexpr double OneRadianInDegrees = 57.29577951308232;
constexpr std::int32_t MaxLengthPrimeCount = 6;
constexpr float OpacityMin = 0.2f;
constexpr double ShadeLevel = 0.03;
constexpr double ShadeOpacity = 0.8;
// A stopped point wakes up with this chance per step (draw above 9995 of 10000).
constexpr std::int32_t RestartThreshold = 9995;

// The lattice of full-screen tiles: 0.87 tile widths apart, alternate rows shifted by half.
constexpr double TileWidth = 38.197186; // 120/pi: twice the full-screen wedge radius
constexpr double ColumnSpacing = 0.87;
constexpr double RowSpacing = 0.87;
constexpr double RowHeight = 0.866025; // sqrt(3)/2
constexpr TileOffset Tile(double column, double row) {
    return {column * ColumnSpacing * TileWidth, row * RowSpacing * TileWidth * RowHeight};
}

float ColorByte(TColor color, int shift) {
    return static_cast<float>(((color >> shift) & 0xFFu) / 255.0);
}
} // namespace

const TileOffset FullScreenTiles[FullScreenTileCount] = {
    Tile(-2.5, -2), Tile(-1.5, -2), Tile(-0.5, -2), Tile(0.5, -2), Tile(1.5, -2), Tile(2.5, -2),
    Tile(-2, -1),   Tile(-1, -1),   Tile(0, -1),    Tile(1, -1),   Tile(2, -1), //
    Tile(-2.5, 0),  Tile(-1.5, 0),  Tile(-0.5, 0),  Tile(0.5, 0),  Tile(1.5, 0),  Tile(2.5, 0),
    Tile(-2, 1),    Tile(-1, 1),    Tile(0, 1),     Tile(1, 1),    Tile(2, 1), //
    Tile(-2.5, 2),  Tile(-1.5, 2),  Tile(-0.5, 2),  Tile(0.5, 2),  Tile(1.5, 2),  Tile(2.5, 2),
};

// --- colour and point helpers ---------------------------------------------------------------

void ZeroElementColor(TElementColor& color) {
    color = TElementColor{};
}

void ZeroPolarPoint(TPolarPoint& point) {
    point = TPolarPoint{};
}

void RandomElementColor(bool alpha, TElementColor& color) {
    if (alpha) {
        color.Opacity = RandomFraction();
        color.OpacityDrift = RandomDrift();
    } else {
        color.Opacity = 1.0f;
        color.OpacityDrift = 0.0f;
    }
    color.Blue = RandomFraction();
    color.BlueDrift = RandomDrift();
    color.Green = RandomFraction();
    color.GreenDrift = RandomDrift();
    color.Red = RandomFraction();
    color.RedDrift = RandomDrift();
}

void DriftElementColor(bool alpha, TElementColor& color) {
    if (alpha) {
        color.Opacity += color.OpacityDrift;
        if (ClampToRange(color.Opacity, OpacityMin, 1.0f))
            color.OpacityDrift = RandomDrift();
    }
    color.Blue += color.BlueDrift;
    color.Green += color.GreenDrift;
    color.Red += color.RedDrift;
    if (ClampToRange(color.Blue, 0.0f, 1.0f))
        color.BlueDrift = RandomDrift();
    if (ClampToRange(color.Green, 0.0f, 1.0f))
        color.GreenDrift = RandomDrift();
    if (ClampToRange(color.Red, 0.0f, 1.0f))
        color.RedDrift = RandomDrift();
}

void RandomPolarPoint(std::int32_t count, bool fastSpin, TPolarPoint& point, float radiusMin,
                      float radiusMax, float angleMin, float angleMax) {
    point.Radius = RandomInRange(radiusMin, radiusMax);
    point.RadiusSpeed = RandomRadialSpeed(count, fastSpin);
    point.Angle = RandomInRange(angleMin, angleMax);
    point.AngleSpeed = RandomAngularSpeed(count, fastSpin);
}

void MoveRadius(TPolarPoint& point, std::int32_t count, bool fastSpin, float lo, float hi) {
    point.Radius += point.RadiusSpeed;
    if (ClampToRange(point.Radius, lo, hi))
        point.RadiusSpeed = ReverseRadialSpeed(count, fastSpin, point.RadiusSpeed);
}

void MoveAngle(TPolarPoint& point, std::int32_t count, bool fastSpin, float lo, float hi) {
    point.Angle += point.AngleSpeed;
    if (ClampToRange(point.Angle, lo, hi))
        point.AngleSpeed = ReverseAngularSpeed(count, fastSpin, point.AngleSpeed);
}

void MovePolarPoint(TPolarPoint& point, std::int32_t count, bool fastSpin, float radiusMin,
                    float radiusMax, float angleMin, float angleMax) {
    MoveRadius(point, count, fastSpin, radiusMin, radiusMax);
    MoveAngle(point, count, fastSpin, angleMin, angleMax);
    // A bounce can draw a zero speed; without this a point at rest would stay there for good.
    if (point.AngleSpeed == 0.0f && point.RadiusSpeed == 0.0f && Random(10000) > RestartThreshold) {
        if (Random(100) <= 50)
            point.AngleSpeed = RandomAngularSpeed(count, fastSpin);
        else
            point.RadiusSpeed = RandomRadialSpeed(count, fastSpin);
    }
}

void LimitPointDistance(TPolarPoint& p, TPolarPoint& q, std::int32_t count, bool fastSpin,
                        float maxDistance, float /*radiusMin*/, float /*radiusMax*/,
                        float /*angleMin*/, float /*angleMax*/) {
    const float distance = PolarDistance(p.Radius, p.Angle, q.Radius, q.Angle);
    if (distance < maxDistance)
        return;
    // All four trials look at the positions before any speed is turned round.
    const float d1 = PolarDistance(p.Radius + p.RadiusSpeed, p.Angle, q.Radius, q.Angle);
    const float d2 = PolarDistance(p.Radius, p.Angle + p.AngleSpeed, q.Radius, q.Angle);
    const float d3 = PolarDistance(p.Radius, p.Angle, q.Radius + q.RadiusSpeed, q.Angle);
    const float d4 = PolarDistance(p.Radius, p.Angle, q.Radius, q.Angle + q.AngleSpeed);
    if (d1 > distance)
        p.RadiusSpeed = ReverseRadialSpeed(count, fastSpin, p.RadiusSpeed);
    if (d2 > distance)
        p.AngleSpeed = ReverseAngularSpeed(count, fastSpin, p.AngleSpeed);
    if (d3 > distance)
        q.RadiusSpeed = ReverseRadialSpeed(count, fastSpin, q.RadiusSpeed);
    if (d4 > distance)
        q.AngleSpeed = ReverseAngularSpeed(count, fastSpin, q.AngleSpeed);
}

// --- TElement -------------------------------------------------------------------------------

TElement::TElement() = default;

void TElement::SetAlpha(bool value) {
    if (Alpha != value) {
        Alpha = value;
        Prepared = false;
    }
}

void TElement::SetBaseAngle(float value) {
    if (BaseAngle != value) {
        BaseAngle = value;
        Prepared = false;
    }
}

void TElement::SetFullScreen(bool value) {
    if (FullScreen != value) {
        FullScreen = value;
        Prepared = false;
    }
}

void TElement::SetMonochrome(bool value) {
    if (Monochrome != value) {
        Monochrome = value;
        Prepared = false;
    }
}

void TElement::SetMonoColor(TColor value) {
    if (MonoColor != value) {
        MonoColor = value;
        Prepared = false;
    }
}

void TElement::SetNumOfReflections(TNumOfReflections value) {
    if (NumOfReflections != value) {
        NumOfReflections = value;
        Prepared = false;
    }
}

void TElement::SetReflected(bool value) {
    if (Reflected != value) {
        Reflected = value;
        Prepared = false;
    }
}

void TElement::Prepare() {
    Prepared = false;
    AngleStep = NumOfReflections < 2
                    ? FullAngle
                    : static_cast<float>(360.0 / static_cast<double>(NumOfReflections));
    // More copies make slow spinning likelier, which keeps busy pictures calm.
    FastSpin = Random(100) < NumOfReflections ? 0 : 1;
    AngleMax = AngleStep;
    RadiusMax = FullScreen ? FullScreenWedgeRadius : WedgeRadius;
    AngleMin = 0.0f;
    RadiusMin = 0.0f;
    MonoBlue = ColorByte(MonoColor, 16);
    MonoGreen = ColorByte(MonoColor, 8);
    MonoRed = ColorByte(MonoColor, 0);
}

float TElement::RandomMaxLength() const {
    const double wedge = 360.0 / static_cast<double>(NumOfReflections);
    if (wedge > OneRadianInDegrees)
        return static_cast<float>(wedge);
    return SpeedPrimes[Random(MaxLengthPrimeCount)];
}

TElement::TDrawColor TElement::DrawingColor(const TElementColor& color) const {
    if (Monochrome && MonoColor != clNone) {
        const double luminance = 0.3 * color.Red + 0.59 * color.Green + 0.11 * color.Blue;
        return {static_cast<float>(luminance * MonoRed), static_cast<float>(luminance * MonoGreen),
                static_cast<float>(luminance * MonoBlue), color.Opacity};
    }
    return {color.Red, color.Green, color.Blue, color.Opacity};
}

TElement::TDrawColor TElement::ShadeColor(const TElementColor& color) {
    constexpr auto level = static_cast<float>(ShadeLevel);
    return {level, level, level, static_cast<float>(ShadeOpacity * color.Opacity)};
}

void TElement::SetDrawState(bool setLineWidth) {
    // Nothing is restored afterwards: every element wants smoothing and blending on.
    GL.glEnable(GL_LINE_SMOOTH);
    GL.glEnable(GL_BLEND);
    GL.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    GL.glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    if (setLineWidth)
        GL.glLineWidth(1.0f);
}

void TElement::EndDraw() {
    GL.glEnd();
    GL.glFlush();
}

// --- TElementList ---------------------------------------------------------------------------

EListError::EListError(std::int32_t index)
    : std::out_of_range("List index out of bounds (" + std::to_string(index) + ")") {}

TElementList::TElementList() = default;

TElementList::~TElementList() {
    Clear();
}

TElement* TElementList::Get(std::int32_t index) const {
    if (index < 0 || index >= Count())
        throw EListError(index);
    return items_[static_cast<std::size_t>(index)].get();
}

TElement* TElementList::Put(std::int32_t index, TElement* element) {
    if (index < 0 || index >= Count())
        throw EListError(index);
    // The list no longer owns the element it gives up; handing it back keeps it from leaking.
    std::unique_ptr<TElement>& slot = items_[static_cast<std::size_t>(index)];
    return std::exchange(slot, std::unique_ptr<TElement>(element)).release();
}

std::int32_t TElementList::Add(TElement* element) {
    // Owned before the list grows, so that an element is not lost when growing fails.
    items_.push_back(std::unique_ptr<TElement>(element));
    return Count() - 1;
}

void TElementList::Remove(TElement* element) {
    // Destroyed in any case, once it is out of the list.
    std::unique_ptr<TElement> removed;
    const auto found = std::find_if(items_.begin(), items_.end(),
                                    [element](const auto& item) { return item.get() == element; });
    if (found != items_.end()) {
        removed = std::move(*found);
        items_.erase(found);
    } else {
        removed.reset(element);
    }
}

void TElementList::Delete(std::int32_t index) {
    if (index < 0 || index >= Count())
        throw EListError(index);
    const auto position = items_.begin() + index;
    // Destroyed once the later elements have moved down.
    const std::unique_ptr<TElement> element = std::move(*position);
    items_.erase(position);
}

void TElementList::Clear() {
    // Destroyed in index order, then the list is emptied in one step.
    for (std::unique_ptr<TElement>& element : items_)
        element.reset();
    items_.clear();
}

} // namespace lumivex
