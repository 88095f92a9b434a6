// The X11 back end: X11 for windows and input, GLX for the rendering context; the POSIX services
// it shares with the Wayland back end come from PosixPlatform. Its methods are spread over the
// x11_*.cpp files, one concern per file.
#pragma once

#include "platform/posix/posix_platform.h"

#include <memory>
#include <string>
#include <utility>

struct _XDisplay; // NOLINT(bugprone-reserved-identifier): Xlib's own name for its Display

namespace lumivex {

class X11Platform final : public PosixPlatform {
  public:
    X11Platform();
    ~X11Platform() override;

    // x11_desktop.cpp
    // The one X connection, opened on first use; nullptr when there is no display. Closed by
    // the destructor after every other part has been released.
    _XDisplay* XConnection();
    // Why there is no display, in one line; after the problem of the Wayland compositor this
    // run tried first, if any.
    std::string NoDisplayProblem() const;
    void SetFallbackProblem(std::string problem) { fallbackProblem_ = std::move(problem); }
    WindowHandle GetForegroundWindow() override;
    void SetForegroundWindow(WindowHandle window) override;
    WindowHandle GetDesktopWindow() override;
    WindowHandle GetActiveWindow() override;
    void SetActiveWindow(WindowHandle window) override;

    // x11_message.cpp
    void ShowMessage(const std::string& text, const std::string& caption,
                     std::uint32_t flags) override;

    // x11_window.cpp
    WindowHandle CreateSaverWindow(WindowEvents* events) override;
    void RunModal() override;
    void DestroySaverWindow() override;
    void HideApplicationWindow() override;
    void GetScreenSize(int& width, int& height) override;
    void SetWindowBounds(int left, int top, int width, int height) override;
    void SetWindowColor(std::uint32_t color) override;
    void SetViewCursor(int cursor) override;
    void SetViewFocus() override;
    void SetTimerEnabled(TimerId timer, bool enabled) override;
    bool IsTimerEnabled(TimerId timer) override;
    bool IsCapsLockOn() override;
    bool IsSessionEnding() override;
    void InvalidateView() override;
    void FillViewRect(std::uint32_t color, int width, int height) override;
    void GetViewSize(int& width, int& height) override;
    // The X errors since the last look go to standard error, unless they are the end of a host's
    // window; at points where the program may talk to the server.
    void SettleXErrors();

    // x11_glx.cpp
    DeviceContext GetViewDeviceContext() override;
    void ReleaseViewDeviceContext(DeviceContext dc) override;
    RenderContext CreateGLContext(DeviceContext dc, int colorBits, int stencilBits, int accumBits,
                                  int auxBuffers, int layer) override;
    void ActivateGLContext(DeviceContext dc, RenderContext rc) override;
    void DeactivateGLContext() override;
    void DeleteGLContext(RenderContext rc) override;

    // Hosted by a screen-saver host: the view is made inside `window` (the root window when 0),
    // with nothing grabbed or listened to. An empty answer, or why it cannot be (no display, no
    // such window). Before the saver window is created.
    std::string HostIn(unsigned long window);
    // The frame rate on the picture, measured once a second (x11_frame_rate.cpp).
    void SetFrameRateReport(bool on) override;
    bool PresentView() override;

    // x11_monitors.cpp
    std::vector<ViewRect> GetViewMonitors() override;

    // x11_session.cpp
    // The X server is gone: the edits of the saver window and the settings are saved, a line
    // goes to standard error and the program ends with 1, touching nothing of X or GL again.
    [[noreturn]] void LoseDisplay();

    // Each concern keeps its state in a struct defined in its own file, made there on first use;
    // the struct's destructor releases what it holds.
    struct WindowState;
    struct GlxState;
    struct FrameRateState;
    // Deletes each state beside its definition, where its type is complete; takes over what
    // std::make_unique made there.
    struct StateDeleter {
        StateDeleter() = default;
        template <typename State> StateDeleter(std::default_delete<State> /*made*/) {}
        void operator()(WindowState* state) const;
        void operator()(GlxState* state) const;
        void operator()(FrameRateState* state) const;
    };
    template <typename State> using StatePtr = std::unique_ptr<State, StateDeleter>;

  private:
    // x11_window.cpp
    ModalLoop* SaverLoop() override;

    StatePtr<WindowState> window_;
    StatePtr<GlxState> glx_;
    StatePtr<FrameRateState> frameRate_;
    _XDisplay* display_ = nullptr;
    bool displayTried_ = false;
    bool displayLost_ = false;
    bool hosted_ = false;
    unsigned long hostWindow_ = 0; // 0 = the root window
    bool frameRateReport_ = false;
    std::string fallbackProblem_; // of the Wayland compositor tried first, if it is to be named
    bool capsLockSeen_ = false;   // the last Caps Lock state the server told, for when it is gone
};

} // namespace lumivex
