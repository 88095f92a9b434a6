// The saver window's handlers. With Caps Lock off any input ends the saver; with it on the keys
// edit the picture, and those edits become the stored settings.
#include "shell/fmCanvas.h"

#include "platform/ScopeExit.h"
#include "shell/unInitialize.h"
#include "system/unGlobals.h"
#include "system/unPassword.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace lumivex {

namespace {

// A mouse has to move this far on an axis, from the recorded position, to end the saver.
constexpr std::int64_t MouseJump = 5;
// Jitter that never jumps still ends the saver on this many events within one cursor period.
constexpr std::int32_t MaxMouseMovesPerPeriod = 3;
// The interactive keys can raise the element count only this far.
constexpr TNumOfElements MaxKeyboardElements = 5;

constexpr std::uint16_t VK_0 = '0';
constexpr std::uint16_t VK_9 = '9';
constexpr std::uint16_t VK_T = 'T';
constexpr std::uint16_t VK_V = 'V';
constexpr std::uint16_t VK_W = 'W';

// Edits of interactive mode; each says whether a new picture starts with it.
bool MoreElements(TCustomLumivexGL& view) {
    if (view.NumOfElements >= MaxKeyboardElements)
        return false;
    view.SetNumOfElements(static_cast<TNumOfElements>(view.NumOfElements + 1));
    return true;
}

bool FewerElements(TCustomLumivexGL& view) {
    if (view.NumOfElements <= 1)
        return false;
    view.SetNumOfElements(static_cast<TNumOfElements>(view.NumOfElements - 1));
    return true;
}

template <bool TCustomLumivexGL::*Field, void (TCustomLumivexGL::*Set)(bool)>
bool Toggle(TCustomLumivexGL& view) {
    (view.*Set)(!(view.*Field));
    return true;
}

constexpr bool NewPicture = true;
constexpr bool SamePicture = false;

template <void (TCustomLumivexGL::*Change)(), bool Restart> bool Step(TCustomLumivexGL& view) {
    (view.*Change)();
    return Restart;
}

bool NewPictureOnly(TCustomLumivexGL&) {
    return true;
}

// The interactive keys but the digits.
struct EditKey {
    std::uint16_t Key;
    bool (*Edit)(TCustomLumivexGL& view);
};

constexpr EditKey EditKeys[] = {
    {VK_ADD, MoreElements},
    {VK_SUBTRACT, FewerElements},
    {VK_T, Toggle<&TCustomLumivexGL::Alpha, &TCustomLumivexGL::SetAlpha>},
    {VK_V, Toggle<&TCustomLumivexGL::Reflected, &TCustomLumivexGL::SetReflected>},
    {VK_W, Toggle<&TCustomLumivexGL::FullScreen, &TCustomLumivexGL::SetFullScreen>},
    {VK_UP, Step<&TCustomLumivexGL::NextReflections, NewPicture>},
    {VK_DOWN, Step<&TCustomLumivexGL::PreviousReflections, NewPicture>},
    {VK_LEFT, Step<&TCustomLumivexGL::SlowDown, SamePicture>},
    {VK_RIGHT, Step<&TCustomLumivexGL::SpeedUp, SamePicture>},
    {VK_DELETE, NewPictureOnly},
};

// A key of interactive mode.
void EditPicture(TCustomLumivexGL& view, std::uint16_t key) {
    // Main keyboard and keypad digits pick the same colours.
    const int digit = (key >= VK_0 && key <= VK_9)               ? key - VK_0
                      : (key >= VK_NUMPAD0 && key <= VK_NUMPAD9) ? key - VK_NUMPAD0
                                                                 : -1;
    if (digit >= 0) {
        view.SetMonoColor(MonoColors[digit]);
        view.SetMonochrome(digit != 0);
        view.CreateElements();
        return;
    }
    for (const EditKey& edit : EditKeys) {
        if (edit.Key == key) {
            if (edit.Edit(view))
                view.CreateElements();
            return;
        }
    }
}

} // namespace

TfrmCanvas::TfrmCanvas() : LumivexGL([this] { FormClose(); }) {
    // The view as the window's description leaves it; FormCreate overwrites it from Settings.
    LumivexGL.SetBackColor(clBlack);
    LumivexGL.SetNumOfElements(3);
    LumivexGL.SetAlpha(false);
    LumivexGL.SetFullScreen(false);
    LumivexGL.SetMonochrome(true);
    LumivexGL.SetMonoColor(clBlue);
    LumivexGL.SetNumOfReflections(12);
    LumivexGL.SetReflected(true);
    LumivexGL.SetRest(20);
}

void TfrmCanvas::ApplyDesignProperties() {
    Platform& platform = GetPlatform();
    platform.SetViewCursor(crNone);
    platform.SetTimerEnabled(TimerHideMouse, false);
    platform.SetTimerEnabled(TimerTick, true);
}

void TfrmCanvas::FormCreate() {
    Platform& platform = GetPlatform();
    platform.HideApplicationWindow();
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    platform.GetScreenOrigin(left, top);
    platform.GetScreenSize(width, height);
    platform.SetWindowBounds(left, top, width, height);
    platform.SetWindowColor(Settings.Background);

    CloseAllowed = false;
    LastMouseX = -1;
    LastMouseY = -1;
    MouseMoves = 0;
    Ticks = 0;
    RegeneratePeriod = 300;

    // The background is the one setting Caps Lock does not bring back; its place among the
    // setters changes nothing, as it only asks for a repaint.
    LumivexGL.SetBackColor(Settings.Background);
    SettingsToView();
    // Not a setting: only a kept picture's turn, given for this run.
    LumivexGL.SetBaseAngle(StartAngle);
    LumivexGL.CreateElements();

    platform.SetIdleHandler(true);
}

void TfrmCanvas::IdleFrame() {
    // Once the close is allowed the context may already be gone.
    if (CloseAllowed)
        return;
    LumivexGL.MoveElements();
    LumivexGL.DrawElements();
    LumivexGL.PresentFrame();
    ++FramesDrawn;
    LumivexGL.RestPause();
}

void TfrmCanvas::SettingsToView() {
    LumivexGL.SetAlpha(Settings.Alpha);
    LumivexGL.SetFullScreen(Settings.FullScreen);
    LumivexGL.SetMonochrome(Settings.Monochrome);
    LumivexGL.SetMonoColor(Settings.MonoColor);
    LumivexGL.SetNumOfElements(static_cast<TNumOfElements>(Settings.NumOfElements));
    LumivexGL.SetNumOfReflections(static_cast<TNumOfReflections>(Settings.NumOfReflections));
    LumivexGL.SetReflected(Settings.Reflected);
    LumivexGL.SetRest(Settings.Rest);
}

void TfrmCanvas::ViewToSettings() {
    Settings.Alpha = LumivexGL.Alpha;
    Settings.FullScreen = LumivexGL.FullScreen;
    Settings.Monochrome = LumivexGL.Monochrome;
    Settings.MonoColor = LumivexGL.MonoColor;
    Settings.NumOfElements = LumivexGL.NumOfElements;
    Settings.NumOfReflections = LumivexGL.NumOfReflections;
    Settings.Reflected = LumivexGL.Reflected;
    Settings.Rest = LumivexGL.Rest;
}

void TfrmCanvas::FormKeyDown(std::uint16_t key) {
    Platform& platform = GetPlatform();
    // By the time the key arrives the toggle already holds its new state.
    if (key == VK_CAPITAL) {
        if (platform.IsCapsLockOn()) {
            SettingsToView();
            LumivexGL.CreateElements();
        } else {
            ViewToSettings();
        }
        return;
    }
    if (key == VK_MENU)
        return;

    if (key == VK_ESCAPE)
        platform.RequestClose();
    if (key == VK_BACK) {
        LumivexGL.RandomizeSettings();
        LumivexGL.CreateElements();
        return;
    }
    if (!platform.IsCapsLockOn()) {
        platform.RequestClose();
        return;
    }

    Ticks = 0;
    EditPicture(LumivexGL, key);
}

void TfrmCanvas::FormMouseDown() {
    GetPlatform().RequestClose();
}

void TfrmCanvas::FormMouseMove(int x, int y) {
    Platform& platform = GetPlatform();
    platform.SetViewCursor(crDefault);
    // Counted from the first movement after the cursor was hidden, so never restarted.
    if (!platform.IsTimerEnabled(TimerHideMouse))
        platform.SetTimerEnabled(TimerHideMouse, true);

    // Widened so that no reported coordinate can overflow the comparison.
    const std::int64_t nx = x;
    const std::int64_t ny = y;
    // The first movement sets the reference; a slow drift carries it along.
    if ((LastMouseX == -1 && LastMouseY == -1) ||
        (nx - MouseJump < LastMouseX && LastMouseX < nx + MouseJump &&
         ny - MouseJump < LastMouseY && LastMouseY < ny + MouseJump)) {
        LastMouseX = x;
        LastMouseY = y;
    } else {
        LastMouseX = -1;
        LastMouseY = -1;
        platform.RequestClose();
    }

    if (MouseMoves < INT32_MAX)
        ++MouseMoves;
    if (MouseMoves > MaxMouseMovesPerPeriod)
        platform.RequestClose();
}

void TfrmCanvas::tmrHideMouseTimer() {
    Platform& platform = GetPlatform();
    platform.SetTimerEnabled(TimerHideMouse, false);
    platform.SetViewCursor(crNone);
    MouseMoves = 0;
}

void TfrmCanvas::tmrTickTimer() {
    ++Ticks;
    if (RegeneratePeriod > 0 && Ticks % RegeneratePeriod == 0 && !GetPlatform().IsCapsLockOn()) {
        LumivexGL.RandomizeSettings();
        LumivexGL.CreateElements();
    }
}

bool TfrmCanvas::FormCloseQuery() {
    Platform& platform = GetPlatform();
    const bool canClose = VerifyPassword(Handle);
    CloseAllowed = canClose;
    if (canClose && platform.IsCapsLockOn())
        ViewToSettings();
    // A refused close must leave the saver taking keys and showing no cursor.
    platform.SetViewFocus();
    platform.SetViewCursor(crNone);
    return canClose;
}

// Logout or a signal must not wait for a password nobody will type, and must not cost the edits
// an allowed close would have kept.
void TfrmCanvas::FormEndSession() {
    CloseAllowed = true;
    if (GetPlatform().IsCapsLockOn())
        ViewToSettings();
}

void TfrmCanvas::FormClose() {
    Platform& platform = GetPlatform();
    platform.SetIdleHandler(false);
    platform.SetWindowBounds(0, 0, 0, 0);
}

void TfrmCanvas::OnKeyDown(std::uint16_t virtualKey) {
    FormKeyDown(virtualKey);
}
void TfrmCanvas::OnMouseDown() {
    FormMouseDown();
}
void TfrmCanvas::OnMouseMove(int x, int y) {
    FormMouseMove(x, y);
}

void TfrmCanvas::OnTimer(TimerId timer) {
    switch (timer) {
    case TimerHideMouse:
        tmrHideMouseTimer();
        break;
    case TimerTick:
        tmrTickTimer();
        break;
    }
}

void TfrmCanvas::OnPaint() {
    LumivexGL.PaintSurface();
}

// The platform reports sizes the way the window system's size message carries them.
void TfrmCanvas::OnResize(int width, int height) {
    LumivexGL.HandleResize(static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height));
}

bool TfrmCanvas::OnCloseQuery() {
    return FormCloseQuery();
}

// The view's close handler runs the form's own first, then lets go of the context.
void TfrmCanvas::OnClose() {
    LumivexGL.HandleOwnerClose();
}

void TfrmCanvas::OnIdle() {
    IdleFrame();
}

void TfrmCanvas::OnEndSession() {
    FormEndSession();
}

namespace {

// Where the back end shows pictures at the display's pace, how many it showed too.
void ReportFrameRate(std::uint64_t frames, std::uint32_t milliseconds, bool countsShown,
                     std::uint64_t shown) {
    const double seconds = milliseconds / 1000.0;
    const auto rate = [&](std::uint64_t count) {
        return milliseconds > 0 ? static_cast<double>(count) / seconds : 0.0;
    };
    std::fprintf(stderr, "lumivex-gl: %llu frames in %.2f s (%.1f fps)",
                 static_cast<unsigned long long>(frames), seconds, rate(frames));
    if (countsShown)
        std::fprintf(stderr, ", %llu shown (%.1f shown/s)", static_cast<unsigned long long>(shown),
                     rate(shown));
    std::fprintf(stderr, "\n");
}

} // namespace

void RunSaverWindow() {
    Platform& platform = GetPlatform();
    TfrmCanvas form;
    std::uint32_t started = 0;
    std::uint32_t ended = 0;
    std::uint64_t shown = 0;
    bool countsShown = false;
    {
        form.Handle = platform.CreateSaverWindow(&form);
        const ScopeExit destroy([&platform] { platform.DestroySaverWindow(); });
        form.ApplyDesignProperties();
        form.LumivexGL.InitRendering();
        form.FormCreate();
        started = platform.GetTickCount();
        platform.RunModal();
        ended = platform.GetTickCount();
        countsShown = platform.PicturesShown(shown);
    }
    if (std::getenv("LUMIVEX_FPS") != nullptr)
        ReportFrameRate(form.FramesDrawn, ended - started, countsShown, shown);
}

} // namespace lumivex
