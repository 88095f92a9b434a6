// The kaleidoscope view: context, projection, settings and the element set.
#include "view/LumivexGL_.h"

#include "gl/OpenGL12.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <utility>

namespace lumivex {

const TNumOfReflections ReflectionCounts[ReflectionCountsLength] = {2,  4,  6,  8,  10, 12, 18,
                                                                    20, 24, 30, 36, 40, 60, 72};

const TColor MonoColors[MonoColorsLength] = {clNone,     0x000000FF, 0x003366FF, 0x0033FFFF,
                                             0x0000CC00, 0x00CCCC33, 0x00FF0000, 0x00CC3333,
                                             0x00CC33CC, 0x006633FF};

namespace {

// Half the shorter side of the view in view units, 180/pi, held in extended precision.
constexpr long double K = 57.295779513082320876798154814105170332405472466564L;

// The slowest pace the left arrow reaches by stepping; larger values only come from settings.
constexpr std::int32_t SlowestSteppedRest = 200;
constexpr std::uint32_t RestSleepMilliseconds = 5;

// Elements by the kind number CreateElements draws.
TElement* NewElementOfKind(std::int32_t kind) {
    switch (kind) {
    case 0:
        return new TLine;
    case 1:
        return new TLine2;
    case 2:
        return new TLine3;
    case 3:
        return new TBezier;
    case 4:
        return new TBezier2;
    case 5:
        return new TTriangle;
    case 6:
        return new TTriangle2;
    case 7:
        return new TCircle;
    case 8:
        return new TCircle2;
    default:
        return new TCircle3;
    }
}

// The step SlowDown and SpeedUp change Rest by: coarser the slower the animation already is.
std::int32_t RestStep(std::int32_t rest) {
    if (rest <= 0)
        return 1;
    const auto step = static_cast<std::int32_t>(std::sqrt(static_cast<double>(rest)));
    return step < 1 ? 1 : step;
}

} // namespace

TCustomLumivexGL::TCustomLumivexGL(TCloseEvent savedOwnerClose)
    : SavedOwnerClose(std::move(savedOwnerClose)) {}

void TCustomLumivexGL::InitRendering() {
    Platform& platform = GetPlatform();
    DeviceContext = platform.GetViewDeviceContext();
    RenderContext = platform.CreateGLContext(DeviceContext, 32, 0, 0, 0, 0);
    if (RenderContext > 0) {
        ContextReady = true;
        platform.ActivateGLContext(DeviceContext, RenderContext);
        platform.GetViewSize(Width, Height);
        SetupProjection(static_cast<std::uint16_t>(Width), static_cast<std::uint16_t>(Height));
    }
}

void TCustomLumivexGL::HandleOwnerClose() {
    if (SavedOwnerClose)
        SavedOwnerClose();
    Platform& platform = GetPlatform();
    if (ContextReady) {
        ContextReady = false;
        platform.DeactivateGLContext();
        platform.DeleteGLContext(RenderContext);
    }
    if (DeviceContext > 0)
        platform.ReleaseViewDeviceContext(DeviceContext);
}

void TCustomLumivexGL::HandleResize(std::uint16_t width, std::uint16_t height) {
    Width = width;
    Height = height;
    SetupProjection(width, height);
    // Monitors that changed with the view (one more, another size or place) get a new picture,
    // each kaleidoscope centred on its monitor again.
    if (ElementsReady && MonitorsChanged())
        CreateElements();
}

bool TCustomLumivexGL::MonitorsChanged() const {
    std::vector<ViewRect> now = GetPlatform().GetViewMonitors();
    if (now.size() < 2)
        now.clear();
    return !std::equal(now.begin(), now.end(), Monitors.begin(), Monitors.end(),
                       [](const ViewRect& a, const ViewRect& b) {
                           return a.Left == b.Left && a.Top == b.Top && a.Width == b.Width &&
                                  a.Height == b.Height;
                       });
}

void TCustomLumivexGL::SetupProjection(std::uint16_t width, std::uint16_t height) {
    if (!ContextReady)
        return;
    Project(0, 0, width, height);
}

// The view's projection over a part of it; GL counts its rows from the bottom.
void TCustomLumivexGL::Project(int left, int bottom, std::uint16_t width, std::uint16_t height) {
    GL.glViewport(left, bottom, width, height);
    GL.glMatrixMode(GL_PROJECTION);
    GL.glLoadIdentity();
    if (width != 0 && height != 0) {
        const auto k = static_cast<GLdouble>(K);
        if (width > height) {
            const auto x = static_cast<GLdouble>(K * width / height);
            GL.glOrtho(-x, x, -k, k, -1.0, 1.0);
        } else {
            const auto y = static_cast<GLdouble>(K * height / width);
            GL.glOrtho(-k, k, -y, y, -1.0, 1.0);
        }
    }
    GL.glMatrixMode(GL_MODELVIEW);
    GL.glLoadIdentity();
}

void TCustomLumivexGL::PaintSurface() {
    if (ContextReady) {
        // The bytes are taken as they are: a system colour value is not looked up first.
        const auto byte = [this](int shift) {
            return static_cast<GLclampf>((BackColor >> shift) & 0xFF) / 255.0f;
        };
        GL.glClearColor(byte(0), byte(8), byte(16), 1.0f);
        GL.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        GL.glFlush();
    } else {
        GetPlatform().FillViewRect(BackColor, Width, Height);
    }
}

void TCustomLumivexGL::SetBackColor(TColor value) {
    if (value == BackColor)
        return;
    BackColor = value;
    GetPlatform().InvalidateView();
}

void TCustomLumivexGL::SetNumOfElements(TNumOfElements value) {
    if (value == NumOfElements)
        return;
    NumOfElements = value;
    ElementsReady = false;
}

void TCustomLumivexGL::SetAlpha(bool value) {
    if (value == Alpha)
        return;
    Alpha = value;
    ElementsReady = false;
}

void TCustomLumivexGL::SetBaseAngle(float value) {
    if (value == BaseAngle)
        return;
    BaseAngle = value;
    ElementsReady = false;
}

void TCustomLumivexGL::SetFullScreen(bool value) {
    if (value == FullScreen)
        return;
    FullScreen = value;
    ElementsReady = false;
}

void TCustomLumivexGL::SetMonochrome(bool value) {
    if (value == Monochrome)
        return;
    Monochrome = value;
    ElementsReady = false;
}

void TCustomLumivexGL::SetMonoColor(TColor value) {
    if (value == MonoColor)
        return;
    MonoColor = value;
    ElementsReady = false;
}

void TCustomLumivexGL::SetNumOfReflections(TNumOfReflections value) {
    if (value == NumOfReflections)
        return;
    NumOfReflections = value;
    ElementsReady = false;
}

void TCustomLumivexGL::SetReflected(bool value) {
    if (value == Reflected)
        return;
    Reflected = value;
    ElementsReady = false;
}

void TCustomLumivexGL::SetRest(std::int32_t value) {
    if (value == Rest)
        return;
    Rest = value;
    // The pace is part of what a kept picture gives.
    if (ElementsReady)
        GetPlatform().PictureChanged(Picture());
}

PictureState TCustomLumivexGL::Picture() const {
    return {PictureSeed, NumOfElements, NumOfReflections, Alpha, Reflected, FullScreen,
            Monochrome,  MonoColor,     BaseAngle,        Rest,  BackColor};
}

void TCustomLumivexGL::CreateElements() {
    ElementsReady = false;
    // Whatever drew from the generator before (RandomizeSettings, the passes of the last picture)
    // is in this state: it alone, with the settings, decides the elements and their motion.
    PictureSeed = RandSeed;
    Platform& platform = GetPlatform();
    platform.InvalidateView();
    // A new picture is made for the monitors as they are now.
    Monitors = platform.GetViewMonitors();
    if (Monitors.size() < 2)
        Monitors.clear();
    FillElements(Elements);
    // The other monitors' elements are made after monitor 0's, in monitor order.
    MonitorElements.resize(Monitors.empty() ? 0 : Monitors.size() - 1);
    for (std::unique_ptr<TElementList>& list : MonitorElements) {
        if (list == nullptr)
            list = std::make_unique<TElementList>();
        FillElements(*list);
    }
    ElementsReady = true;
    platform.PictureChanged(Picture());
}

void TCustomLumivexGL::FillElements(TElementList& list) {
    list.Clear();
    for (int i = 0; i < NumOfElements; ++i) {
        std::unique_ptr<TElement> element(NewElementOfKind(Random(10)));
        element->SetAlpha(Alpha);
        element->SetBaseAngle(BaseAngle);
        element->SetMonochrome(Monochrome);
        element->SetMonoColor(MonoColor);
        element->SetNumOfReflections(NumOfReflections);
        element->SetReflected(Reflected);
        element->SetFullScreen(FullScreen);
        element->Prepare();
        list.Add(element.release());
    }
}

void TCustomLumivexGL::MoveElements() {
    if (!ElementsReady || !ContextReady)
        return;
    MoveList(Elements);
    for (const std::unique_ptr<TElementList>& list : MonitorElements)
        MoveList(*list);
}

void TCustomLumivexGL::MoveList(TElementList& list) {
    const std::int32_t count = list.Count();
    for (std::int32_t i = 0; i < count; ++i) {
        TElement* element = list.Get(i);
        element->Move();
        if (FullScreen)
            element->Move();
    }
}

void TCustomLumivexGL::DrawElements() {
    if (!ElementsReady || !ContextReady)
        return;
    const auto draw = [](const TElementList& list) {
        const std::int32_t count = list.Count();
        for (std::int32_t i = 0; i < count; ++i)
            list.Get(i)->Draw();
    };
    if (Monitors.empty()) {
        draw(Elements);
        return;
    }
    for (std::size_t m = 0; m < Monitors.size() && m <= MonitorElements.size(); ++m) {
        const ViewRect& monitor = Monitors[m];
        Project(monitor.Left, Height - monitor.Top - monitor.Height,
                static_cast<std::uint16_t>(monitor.Width),
                static_cast<std::uint16_t>(monitor.Height));
        draw(m == 0 ? Elements : *MonitorElements[m - 1]);
    }
}

// Single-buffered on purpose: the trails are the picture, so there is nothing to present; the
// platform may still add to the frame.
void TCustomLumivexGL::PresentFrame() {
    if (GetPlatform().PresentView())
        SetupProjection(static_cast<std::uint16_t>(Width), static_cast<std::uint16_t>(Height));
}

void TCustomLumivexGL::PrepareElements() {
    if (!ElementsReady)
        return;
    const auto prepare = [](const TElementList& list) {
        const std::int32_t count = list.Count();
        for (std::int32_t i = 0; i < count; ++i)
            list.Get(i)->Prepare();
    };
    prepare(Elements);
    for (const std::unique_ptr<TElementList>& list : MonitorElements)
        prepare(*list);
    GetPlatform().InvalidateView();
}

void TCustomLumivexGL::RandomizeSettings() {
    ElementsReady = false;
    Platform& platform = GetPlatform();
    SetRandSeed(platform.MillisecondsSinceMidnightUTC());
    Alpha = Random(100) > 90;
    BaseAngle = static_cast<float>(Random(24)) * 15.0f;
    Monochrome = Random(100) > 95;
    MonoColor = MonoColors[Random(MonoColorsLength)];
    NumOfElements = static_cast<TNumOfElements>(Random(3) + 1);
    NumOfReflections = ReflectionCounts[Random(6)];
    if (NumOfReflections % 2 != 0)
        Reflected = false;
    else
        Reflected = Random(100) < 90;
    switch (NumOfReflections) {
    case 4:
    case 6:
    case 12:
    case 24:
        FullScreen = Random(100) > 20;
        break;
    default:
        FullScreen = Random(100) > 60;
        break;
    }
    platform.InvalidateView();
}

void TCustomLumivexGL::RestPause() {
    if (Rest == 0)
        return;
    Platform& platform = GetPlatform();
    const std::uint32_t start = platform.GetTickCount();
    // Tested before the first sleep, so a negative Rest costs one clock reading; the wrapped
    // difference is widened before its absolute value so that no tick count can overflow it.
    // An ending session cuts the pause short: a logout must not wait for the next frame.
    std::int64_t elapsed = 0;
    while (std::llabs(elapsed) < Rest && !platform.IsSessionEnding()) {
        platform.Sleep(RestSleepMilliseconds);
        platform.ProcessMessages();
        elapsed = static_cast<std::int32_t>(platform.GetTickCount() - start);
    }
}

void TCustomLumivexGL::NextReflections() {
    for (int j = 0; j < ReflectionCountsLength - 1; ++j) {
        if (ReflectionCounts[j] == NumOfReflections) {
            SetNumOfReflections(ReflectionCounts[j + 1]);
            return;
        }
    }
    SetNumOfReflections(ReflectionCounts[ReflectionCountsLength - 1]);
}

void TCustomLumivexGL::PreviousReflections() {
    for (int j = ReflectionCountsLength - 1; j >= 1; --j) {
        if (ReflectionCounts[j] == NumOfReflections) {
            SetNumOfReflections(ReflectionCounts[j - 1]);
            return;
        }
    }
    SetNumOfReflections(ReflectionCounts[0]);
}

void TCustomLumivexGL::SlowDown() {
    if (Rest < SlowestSteppedRest)
        SetRest(Rest + RestStep(Rest));
    else
        SetRest(SlowestSteppedRest);
}

void TCustomLumivexGL::SpeedUp() {
    if (Rest > 0)
        SetRest(Rest - RestStep(Rest));
    else
        SetRest(0);
}

} // namespace lumivex
