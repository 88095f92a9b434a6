// The kaleidoscope view: owns the rendering context of the saver window's view, the projection,
// the element list and the picture settings, and offers the operations the saver window animates
// and edits the picture with. It draws nothing itself; the elements issue every drawing call.
// Relies on the platform for its window, clock and context, and on the GL table for the calls.
#pragma once

#include "elements/ElementsGL_.h"
#include "platform/Platform.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace lumivex {

// The reflection counts the arrow keys step through; RandomizeSettings picks from the first six.
constexpr int ReflectionCountsLength = 14;
extern const TNumOfReflections ReflectionCounts[ReflectionCountsLength];

// The colours of the digit keys; entry 0 (clNone) turns monochrome off.
constexpr int MonoColorsLength = 10;
extern const TColor MonoColors[MonoColorsLength];

// The owner's close handler that runs before the view lets go of its context.
using TCloseEvent = std::function<void()>;

class TCustomLumivexGL {
  public:
    // savedOwnerClose is the owner form's own close handler; HandleOwnerClose runs it first.
    explicit TCustomLumivexGL(TCloseEvent savedOwnerClose = nullptr);
    virtual ~TCustomLumivexGL() = default;
    TCustomLumivexGL(const TCustomLumivexGL&) = delete;
    TCustomLumivexGL& operator=(const TCustomLumivexGL&) = delete;

    // Makes the rendering context once the view's window exists; EPlatformError passes through.
    void InitRendering();
    // The owner's close event after an allowed close query: releases the rendering context.
    void HandleOwnerClose();
    void HandleResize(std::uint16_t width, std::uint16_t height);
    void PaintSurface();
    void SetupProjection(std::uint16_t width, std::uint16_t height);

    void SetBackColor(TColor value);
    void SetNumOfElements(TNumOfElements value);
    void SetAlpha(bool value);
    void SetBaseAngle(float value);
    void SetFullScreen(bool value);
    void SetMonochrome(bool value);
    void SetMonoColor(TColor value);
    void SetNumOfReflections(TNumOfReflections value);
    void SetReflected(bool value);
    void SetRest(std::int32_t value);

    virtual void CreateElements();
    virtual void MoveElements();
    virtual void DrawElements();
    virtual void PresentFrame();
    virtual void PrepareElements();
    virtual void RandomizeSettings();

    void RestPause();
    void NextReflections();
    void PreviousReflections();
    void SlowDown();
    void SpeedUp();

    ::lumivex::DeviceContext DeviceContext = 0;
    ::lumivex::RenderContext RenderContext = 0;
    bool ContextReady = false;
    TCloseEvent SavedOwnerClose;
    TElementList Elements;
    TColor BackColor = clBlack;
    bool Alpha = false;
    float BaseAngle = 0.0f;
    bool Monochrome = false;
    TColor MonoColor = clNone;
    TNumOfElements NumOfElements = 3;
    TNumOfReflections NumOfReflections = 12;
    bool Reflected = true;
    std::int32_t Rest = 20;
    bool FullScreen = false;
    bool ElementsReady = false;
    // The generator's state as the CreateElements that made the current picture began: with the
    // settings above it makes that picture again.
    std::uint32_t PictureSeed = 0;

    // Size of the view's window in pixels, as last reported to HandleResize or InitRendering.
    int Width = 120;
    int Height = 120;

    // The monitors of a view that spans several (Platform::GetViewMonitors, asked by
    // CreateElements), empty otherwise. Each shows a kaleidoscope of its own, centred and sized
    // to it, with elements of its own: monitor 0's are Elements, the others' MonitorElements,
    // made in monitor order after them.
    std::vector<ViewRect> Monitors;
    std::vector<std::unique_ptr<TElementList>> MonitorElements;

    // The current picture as the platform hears of it.
    PictureState Picture() const;

  private:
    void FillElements(TElementList& list);
    bool MonitorsChanged() const;
    void MoveList(TElementList& list);
    void Project(int left, int bottom, std::uint16_t width, std::uint16_t height);
};

// The view as the saver window's description uses it; every property is already public.
class TLumivexGL : public TCustomLumivexGL {
  public:
    using TCustomLumivexGL::TCustomLumivexGL;
};

} // namespace lumivex
