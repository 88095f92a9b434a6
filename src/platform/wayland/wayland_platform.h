// The Wayland back end: one full-screen xdg-shell surface per output, EGL with OpenGL ES 3 drawn
// through the batching GL table (the picture kept offscreen and presented every frame, paced by
// the compositor's frame callbacks), keys through xkbcommon. The POSIX services it shares with
// the X11 back end come from PosixPlatform. Its methods are spread over the wayland_*.cpp files,
// one concern per file; their shared state is in wayland_state.h.
#pragma once

#include "platform/posix/posix_platform.h"

#include <memory>
#include <string>

namespace lumivex {

class WaylandPlatform final : public PosixPlatform {
  public:
    WaylandPlatform();
    ~WaylandPlatform() override;

    // wayland_display.cpp
    // Connects to the compositor named by WAYLAND_DISPLAY and checks that it offers what the
    // saver needs (xdg-shell, an output, EGL with OpenGL ES 3). An empty answer, or why not in
    // one line; the platform is then unusable and nothing was shown. Every wait on the
    // compositor has a deadline and ends on a termination signal (TerminationRequested says so).
    std::string Connect();
    // The last Connect gave up on a compositor that did not answer: worth a line even where X11
    // takes over.
    bool Unanswered() const { return unanswered_; }
    // The saver has no other windows to tell apart.
    WindowHandle GetForegroundWindow() override { return 0; }
    void SetForegroundWindow(WindowHandle) override {}
    WindowHandle GetDesktopWindow() override { return 0; }
    WindowHandle GetActiveWindow() override { return 0; }
    void SetActiveWindow(WindowHandle) override {}

    // wayland_message.cpp
    void ShowMessage(const std::string& text, const std::string& caption,
                     std::uint32_t flags) override;

    // wayland_egl.cpp: the GL library is the batching layer over the context's ES 3; both
    // library names of the settings load it, whatever they say.
    LibraryHandle LoadLibrary(const std::string& name) override;
    void* GetProcAddress(LibraryHandle library, const char* name) override;
    void FreeLibrary(LibraryHandle library) override;
    DeviceContext GetViewDeviceContext() override;
    void ReleaseViewDeviceContext(DeviceContext) override {}
    RenderContext CreateGLContext(DeviceContext dc, int colorBits, int stencilBits, int accumBits,
                                  int auxBuffers, int layer) override;
    void ActivateGLContext(DeviceContext dc, RenderContext rc) override;
    void DeactivateGLContext() override;
    void DeleteGLContext(RenderContext rc) override;
    // After a pass: the frame rate on the picture (with --fps).
    bool PresentView() override;
    // The picture on every output whose compositor asked for a frame since it was last shown, if
    // anything was drawn since and the showing fits in the rest (PassPacer::ShowFits).
    void ShowPicture();
    bool PicturesShown(std::uint64_t& shown) override;
    // The rest after each pass, which the pictures are shown in.
    void PictureChanged(const PictureState& picture) override { rest_ = picture.Rest; }

    // wayland_window.cpp
    // While the saver window runs, a sleep shows the picture when a frame is due and wakes for
    // the compositor's messages.
    void Sleep(std::uint32_t milliseconds) override;
    WindowHandle CreateSaverWindow(WindowEvents* events) override;
    void RunModal() override;
    void DestroySaverWindow() override;
    void HideApplicationWindow() override {}
    void GetScreenSize(int& width, int& height) override;
    void SetWindowBounds(int left, int top, int width, int height) override;
    void SetWindowColor(std::uint32_t color) override { background_ = color; }
    void SetViewCursor(int cursor) override;
    void SetViewFocus() override {}
    void SetTimerEnabled(TimerId timer, bool enabled) override;
    bool IsTimerEnabled(TimerId timer) override;
    bool IsCapsLockOn() override;
    bool IsSessionEnding() override;
    void InvalidateView() override;
    void FillViewRect(std::uint32_t color, int width, int height) override;
    void GetViewSize(int& width, int& height) override;
    std::vector<ViewRect> GetViewMonitors() override;
    // The frame rate at the bottom left of the picture, as on X11.
    void SetFrameRateReport(bool on) override { frameRateReport_ = on; }

    // wayland_session.cpp
    // The compositor is gone: the edits of the saver window and the settings are saved, a line
    // goes to standard error and the program ends with 1, touching nothing of Wayland or EGL.
    [[noreturn]] void LoseDisplay();

    struct DisplayState;
    struct WindowState;
    struct EglState;
    struct StateDeleter {
        StateDeleter() = default;
        template <typename State> StateDeleter(std::default_delete<State> /*made*/) {}
        void operator()(DisplayState* state) const;
        void operator()(WindowState* state) const;
        void operator()(EglState* state) const;
    };
    template <typename State> using StatePtr = std::unique_ptr<State, StateDeleter>;

    DisplayState* Display() { return display_.get(); }
    EglState* Egl() { return egl_.get(); }
    WindowState* Window() { return window_.get(); }
    bool FrameRateReport() const { return frameRateReport_; }

  private:
    ModalLoop* SaverLoop() override;

    StatePtr<DisplayState> display_;
    StatePtr<EglState> egl_;
    StatePtr<WindowState> window_;
    bool frameRateReport_ = false;
    bool unanswered_ = false;
    std::uint32_t background_ = 0; // 0x00BBGGRR, under the frame rate's text
    std::int32_t rest_ = 0;        // ms, the view's Rest
};

} // namespace lumivex
