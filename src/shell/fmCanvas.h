// The full-screen saver window: input, timers, the animation loop and the close rules.
// The platform owns the native window and its modal loop; this form is what that loop calls.
#pragma once

#include "platform/Platform.h"
#include "view/LumivexGL_.h"

#include <cstdint>

namespace lumivex {

class TfrmCanvas final : public WindowEvents {
  public:
    TfrmCanvas();

    // Values the window starts with before FormCreate: hidden cursor, tick timer only.
    void ApplyDesignProperties();

    void FormCreate();
    void IdleFrame();
    void FormKeyDown(std::uint16_t key);
    void FormMouseDown();
    void FormMouseMove(int x, int y);
    void tmrHideMouseTimer();
    void tmrTickTimer();
    bool FormCloseQuery();
    void FormClose();
    void FormEndSession();

    // WindowEvents: the platform's loop lands here.
    void OnKeyDown(std::uint16_t virtualKey) override;
    void OnMouseDown() override;
    void OnMouseMove(int x, int y) override;
    void OnTimer(TimerId timer) override;
    void OnPaint() override;
    void OnResize(int width, int height) override;
    bool OnCloseQuery() override;
    void OnClose() override;
    void OnIdle() override;
    void OnEndSession() override;

    TLumivexGL LumivexGL;
    WindowHandle Handle = 0;

    bool CloseAllowed = false;
    std::int32_t LastMouseX = -1;
    std::int32_t LastMouseY = -1;
    std::int32_t MouseMoves = 0;
    std::int32_t Ticks = 0;
    std::int32_t RegeneratePeriod = 300;

    // Frames drawn by IdleFrame, for the frame-rate report.
    std::uint64_t FramesDrawn = 0;

  private:
    void SettingsToView();
    void ViewToSettings();
};

// Creates the saver window, shows it modally and releases it when the modal loop ends
// (also when the loop ended by an error, which then propagates). With LUMIVEX_FPS set in the
// environment it reports the frames drawn and the time taken on standard error.
void RunSaverWindow();

} // namespace lumivex
